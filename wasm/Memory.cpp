// The C library's memory functions, as plain loops: the module copies and
// clears a few hundred bytes at a time, and wasi-libc's unrolled versions
// would be a tenth of it. The attribute keeps the compiler from turning the
// loops back into calls to themselves.

#include <cstddef>

#define MNEMORA_PLAIN_LOOP(name) __attribute__((no_builtin(name)))

extern "C" {

MNEMORA_PLAIN_LOOP("memcpy") void *memcpy(void *to, const void *from, std::size_t n)
{
    auto *out = static_cast<unsigned char *>(to);
    const auto *in = static_cast<const unsigned char *>(from);
    for (std::size_t i = 0; i < n; ++i)
        out[i] = in[i];
    return to;
}

MNEMORA_PLAIN_LOOP("memmove") void *memmove(void *to, const void *from, std::size_t n)
{
    auto *out = static_cast<unsigned char *>(to);
    const auto *in = static_cast<const unsigned char *>(from);
    if (out < in) {
        for (std::size_t i = 0; i < n; ++i)
            out[i] = in[i];
    } else {
        for (std::size_t i = n; i > 0; --i)
            out[i - 1] = in[i - 1];
    }
    return to;
}

MNEMORA_PLAIN_LOOP("memset") void *memset(void *to, int value, std::size_t n)
{
    auto *out = static_cast<unsigned char *>(to);
    for (std::size_t i = 0; i < n; ++i)
        out[i] = static_cast<unsigned char>(value);
    return to;
}

MNEMORA_PLAIN_LOOP("memchr") void *memchr(const void *from, int value, std::size_t n)
{
    const auto *in = static_cast<const unsigned char *>(from);
    for (std::size_t i = 0; i < n; ++i)
        if (in[i] == static_cast<unsigned char>(value))
            return const_cast<unsigned char *>(in + i);
    return nullptr;
}

} // extern "C"
