#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace mnemora {

// Overwrites n bytes with zeros in a way the optimiser may not elide, even
// when the memory is about to be freed or go out of scope.
void SecureWipe(void *data, std::size_t n) noexcept;

template <typename T, typename Traits, typename Alloc>
void SecureWipe(std::basic_string<T, Traits, Alloc> &s) noexcept
{
    // Wipe the whole capacity: a shorter text may have left older, longer
    // content behind its terminator (and small texts live inside the object).
    SecureWipe(s.data(), (s.capacity() + 1) * sizeof(T));
    s.clear();
}

// An allocator that wipes every block before handing it back, so a container
// of secrets leaves nothing behind on reallocation or destruction.
template <typename T> struct WipingAllocator {
    using value_type = T;

    WipingAllocator() noexcept = default;
    template <typename U> WipingAllocator(const WipingAllocator<U> &) noexcept { }

    T *allocate(std::size_t n) { return std::allocator<T>{}.allocate(n); }
    void deallocate(T *p, std::size_t n) noexcept
    {
        SecureWipe(p, n * sizeof(T));
        std::allocator<T>{}.deallocate(p, n);
    }

    template <typename U> bool operator==(const WipingAllocator<U> &) const noexcept { return true; }
};

// Zero-based byte array; it may carry secrets (password bytes, key blocks,
// digests that feed the next pass), so it is wiped when released.
using ByteArray = std::vector<std::uint8_t, WipingAllocator<std::uint8_t>>;

} // namespace mnemora
