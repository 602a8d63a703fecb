#pragma once

namespace mnemora {

// Every exported call holds one, made before anything else: when it goes, the
// module's heap is emptied and the memory it held zeroed. No block may outlive
// the call that allocated it.
class HeapScope {
public:
    HeapScope() = default;
    ~HeapScope();
    HeapScope(const HeapScope &) = delete;
    HeapScope &operator=(const HeapScope &) = delete;
};

} // namespace mnemora
