// The module's heap: a stack of blocks above __heap_base in place of the C
// library's general allocator, which would be a third of the module.
//
// Nothing the core allocates outlives an exported call, so every call cuts
// the heap back as it returns (HeapScope) and zeroes the memory it used: no
// secret a block once held survives the call. Within a call the derivation
// frees mostly in reverse order, so freeing the top block gives its memory
// back at once; a block freed out of order waits for the scope's end.

#include "Heap.h"

#include "SecureWipe.h"

#include <cstddef>
#include <cstdint>
#include <new>

// The linker names where the heap starts; the name is not ours to choose.
extern "C" unsigned char __heap_base; // NOLINT(bugprone-reserved-identifier)

namespace {

constexpr std::size_t Align = 16;
constexpr std::size_t PageBytes = 65536;

// Each block is preceded by one Align-sized header holding its size.
std::uintptr_t Top = 0;
// The highest address any block reached since the last scope ended.
std::uintptr_t HighWater = 0;

std::uintptr_t Base()
{
    return (reinterpret_cast<std::uintptr_t>(&__heap_base) + Align - 1) & ~(Align - 1);
}

void *Allocate(std::size_t size)
{
    if (Top == 0)
        Top = HighWater = Base();
    const std::size_t rounded = (size + Align - 1) & ~(Align - 1);
    const std::uintptr_t end = Top + Align + rounded;
    if (rounded < size || end < Top)
        __builtin_trap();
    const std::size_t memoryEnd = __builtin_wasm_memory_size(0) * PageBytes;
    if (end > memoryEnd) {
        const std::size_t pages = (end - memoryEnd + PageBytes - 1) / PageBytes;
        if (__builtin_wasm_memory_grow(0, pages) == static_cast<std::size_t>(-1))
            __builtin_trap(); // out of memory: no exceptions to report it with
    }
    *reinterpret_cast<std::size_t *>(Top) = rounded;
    void *block = reinterpret_cast<void *>(Top + Align);
    Top = end;
    if (Top > HighWater)
        HighWater = Top;
    return block;
}

void Free(void *block) noexcept
{
    if (block == nullptr)
        return;
    const auto at = reinterpret_cast<std::uintptr_t>(block);
    const std::size_t size = *reinterpret_cast<std::size_t *>(at - Align);
    if (at + size == Top)
        Top = at - Align;
}

} // namespace

namespace mnemora {

// Out of line, as link-time optimisation would otherwise copy both into every
// exported function.
__attribute__((noinline)) HeapScope::HeapScope() noexcept
{
    if (Top == 0)
        Top = HighWater = Base();
    m_mark = Top;
}

__attribute__((noinline)) HeapScope::~HeapScope()
{
    SecureWipe(reinterpret_cast<void *>(m_mark), HighWater - m_mark);
    Top = HighWater = m_mark;
}

} // namespace mnemora

void *operator new(std::size_t size)
{
    return Allocate(size);
}

void *operator new[](std::size_t size)
{
    return Allocate(size);
}

void operator delete(void *block) noexcept
{
    Free(block);
}

void operator delete[](void *block) noexcept
{
    Free(block);
}

void operator delete(void *block, std::size_t) noexcept
{
    Free(block);
}

void operator delete[](void *block, std::size_t) noexcept
{
    Free(block);
}
