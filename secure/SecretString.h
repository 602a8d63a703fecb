#pragma once

#include "SecureWipe.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace mnemora {

// A growable text that never leaves a copy of its content behind: every
// buffer it outgrows is wiped by the allocator, and the last one is wiped on
// destruction. It cannot be copied, so the only copies of a secret are the
// ones the caller makes on purpose.
template <typename CharT> class SecretString {
public:
    // Invariant: the content always lives on the heap. Were it to start in
    // the string's in-object buffer, growing past that buffer would move it to
    // the heap and leave the first characters behind in the object, where
    // neither the allocator nor Wipe() would reach them.
    SecretString() { m_text.reserve(InitialCapacity); }
    SecretString(const SecretString &) = delete;
    SecretString &operator=(const SecretString &) = delete;
    ~SecretString() { Wipe(); }

    void Wipe() noexcept { SecureWipe(m_text); }

    void Reserve(std::size_t n) { m_text.reserve(n); }
    void PushBack(CharT c) { m_text.push_back(c); }
    void PopBack() noexcept { m_text.pop_back(); }

    std::basic_string_view<CharT> View() const noexcept { return m_text; }
    std::size_t Size() const noexcept { return m_text.size(); }
    bool Empty() const noexcept { return m_text.empty(); }
    CharT Back() const noexcept { return m_text.back(); }

private:
    // Larger than the in-object buffer of any standard library's string.
    static constexpr std::size_t InitialCapacity = 64;

    std::basic_string<CharT, std::char_traits<CharT>, WipingAllocator<CharT>> m_text;
};

} // namespace mnemora
