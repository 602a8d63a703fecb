#pragma once

namespace mnemora {

// A program that links the mnemora_heap_wipe object overwrites every heap
// block with zeros before glibc takes it back: its free, realloc and
// reallocarray replace the C library's for the whole process, so the
// toolkit's strings, the C++ runtime's operator delete and every shared
// library's frees are wiped as well as this project's own buffers.
//
// It does not reach memory glibc frees internally without going through the
// exported functions, nor memory that is never freed (a live text box, a
// stack frame): see the README.
//
// Off in sanitizer builds, whose runtimes replace the allocator themselves,
// and on C libraries other than glibc.

// True when the replacement is compiled in and switched on.
bool HeapWipingActive() noexcept;

// Switches the wiping off and on again, process-wide. For measuring its cost
// only: a program that handles secrets leaves it on.
void SetHeapWiping(bool on) noexcept;

} // namespace mnemora
