#include "Utf8Decode.h"

#include <cstddef>
#include <optional>

namespace mnemora::cli {

namespace {

constexpr char32_t MaxCodePoint = 0x10FFFF;
constexpr char32_t FirstSurrogate = 0xD800;
constexpr char32_t LastSurrogate = 0xDFFF;
constexpr char32_t FirstSupplementary = 0x10000;

// Decodes the sequence starting at utf8[pos] and moves pos past it. Returns
// nothing, leaving pos alone, when the bytes there are not well-formed.
// Precondition: pos < utf8.size().
std::optional<char32_t> NextCodePoint(std::string_view utf8, std::size_t &pos) noexcept
{
    const auto lead = static_cast<unsigned char>(utf8[pos]);
    std::size_t length = 0;
    char32_t value = 0;
    char32_t shortestFrom = 0; // below this the same value fits a shorter form
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        value = lead & 0x1Fu;
        shortestFrom = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        value = lead & 0x0Fu;
        shortestFrom = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        value = lead & 0x07u;
        shortestFrom = FirstSupplementary;
    } else {
        return std::nullopt; // a continuation byte, or F8..FF which never occur
    }

    if (utf8.size() - pos < length)
        return std::nullopt;
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(utf8[pos + i]);
        if ((next & 0xC0) != 0x80)
            return std::nullopt;
        value = (value << 6) | (next & 0x3Fu);
    }

    if (value < shortestFrom || (value >= FirstSurrogate && value <= LastSurrogate) || value > MaxCodePoint)
        return std::nullopt;
    pos += length;
    return value;
}

} // namespace

bool DecodeUtf8(std::string_view utf8, SecretString<char16_t> &out)
{
    out.Wipe();

    // Validate and size first, so the output is allocated once and no
    // partial copy is left behind by growth.
    std::size_t units = 0;
    for (std::size_t pos = 0; pos < utf8.size();) {
        const std::optional<char32_t> cp = NextCodePoint(utf8, pos);
        if (!cp)
            return false;
        units += *cp >= FirstSupplementary ? std::size_t{2} : std::size_t{1};
    }

    out.Reserve(units);
    for (std::size_t pos = 0; pos < utf8.size();) {
        const char32_t cp = *NextCodePoint(utf8, pos);
        if (cp >= FirstSupplementary) {
            const char32_t offset = cp - FirstSupplementary;
            out.PushBack(static_cast<char16_t>(0xD800 + (offset >> 10)));
            out.PushBack(static_cast<char16_t>(0xDC00 + (offset & 0x3FF)));
        } else {
            out.PushBack(static_cast<char16_t>(cp));
        }
    }
    return true;
}

} // namespace mnemora::cli
