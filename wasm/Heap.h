#pragma once

#include <cstdint>

namespace mnemora {

// Every exported call holds one, made before anything else: when it goes, the
// heap is cut back to where it stood when it was made, and the memory given
// back is zeroed. No block allocated in the scope may outlive it.
class HeapScope {
public:
    HeapScope() noexcept;
    ~HeapScope();
    HeapScope(const HeapScope &) = delete;
    HeapScope &operator=(const HeapScope &) = delete;

private:
    std::uintptr_t m_mark;
};

} // namespace mnemora
