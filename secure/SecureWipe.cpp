#include "SecureWipe.h"

#include <cstring>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace mnemora {

void SecureWipe(void *data, std::size_t n) noexcept
{
    if (data == nullptr || n == 0)
        return;
#if defined(__GLIBC__) || defined(__OpenBSD__) || defined(__FreeBSD__)
    explicit_bzero(data, n);
#elif defined(_WIN32)
    SecureZeroMemory(data, n);
#else
    // A volatile function pointer hides memset from dead-store elimination.
    static void *(*const volatile wipe)(void *, int, std::size_t) = std::memset;
    wipe(data, 0, n);
#endif
}

} // namespace mnemora
