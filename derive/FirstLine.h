#pragma once

#include <string_view>

namespace mnemora {

// The text an input takes from a paste, a drop or a line read: the text
// before its first line break (CR, LF or CR LF), as a single-line Windows
// edit box keeps a paste. A password copied from a note with its line's end
// thus gives the same codes in every front end.
template <typename Char>
constexpr std::basic_string_view<Char> FirstLine(std::basic_string_view<Char> text) noexcept
{
    constexpr Char Breaks[] = {static_cast<Char>('\r'), static_cast<Char>('\n')};
    return text.substr(0, text.find_first_of(std::basic_string_view<Char>(Breaks, 2)));
}

} // namespace mnemora
