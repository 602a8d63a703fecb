#include "HeapWipe.h"

#include "SecureWipe.h"

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstring>

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer) || __has_feature(thread_sanitizer)
#define MNEMORA_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define MNEMORA_SANITIZED 1
#endif

#if defined(__GLIBC__) && !defined(MNEMORA_SANITIZED)
#define MNEMORA_HEAP_WIPE 1
#include <malloc.h>
#endif

namespace {

// Constant-initialised: the loader and other libraries' constructors free
// memory before any of this program's constructors run.
std::atomic<bool> g_wiping{true};

} // namespace

namespace mnemora {

bool HeapWipingActive() noexcept
{
#if defined(MNEMORA_HEAP_WIPE)
    return g_wiping.load(std::memory_order_relaxed);
#else
    return false;
#endif
}

void SetHeapWiping(bool on) noexcept
{
    g_wiping.store(on, std::memory_order_relaxed);
}

} // namespace mnemora

#if defined(MNEMORA_HEAP_WIPE)

// glibc's own entry points, exported for exactly this purpose: a program
// that wraps the allocator reaches the real one through them.
// NOLINTBEGIN(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
extern "C" {
void *__libc_malloc(std::size_t size) noexcept;
void __libc_free(void *block) noexcept;
void *__libc_realloc(void *block, std::size_t size) noexcept;
}
// NOLINTEND(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)

// The executable's definitions come first in the dynamic linker's search
// order, so every shared library's calls land here. malloc and calloc stay
// glibc's: only giving memory back needs a change.
extern "C" {

void free(void *block) noexcept
{
    if (block != nullptr && g_wiping.load(std::memory_order_relaxed))
        mnemora::SecureWipe(block, malloc_usable_size(block));
    __libc_free(block);
}

void *realloc(void *block, std::size_t size) noexcept
{
    if (!g_wiping.load(std::memory_order_relaxed))
        return __libc_realloc(block, size);
    if (block == nullptr)
        return __libc_malloc(size);
    if (size == 0) {
        free(block);
        return nullptr;
    }
    // glibc's realloc moves a block, or gives a shrunk block's tail back,
    // without wiping. A block that still fits and is not mostly wasted stays;
    // otherwise the content moves to a new block and the old one is wiped.
    const std::size_t usable = malloc_usable_size(block);
    if (size <= usable && size >= usable / 2)
        return block;
    void *moved = __libc_malloc(size);
    if (moved == nullptr)
        return nullptr; // errno is ENOMEM; the old block stays valid
    std::memcpy(moved, block, size < usable ? size : usable);
    free(block);
    return moved;
}

void *reallocarray(void *block, std::size_t count, std::size_t size) noexcept
{
    std::size_t total = 0;
    if (__builtin_mul_overflow(count, size, &total)) {
        errno = ENOMEM;
        return nullptr;
    }
    return realloc(block, total);
}

} // extern "C"

#endif
