#include "ProcessHardening.h"

#include <windows.h>

namespace mnemora {

namespace {

// werapi.h's WER_FAULT_REPORTING_FLAG_NOHEAP: reports of this process leave
// its heap out of the dump.
constexpr DWORD WerNoHeap = 1;

} // namespace

void HardenProcess() noexcept
{
    // No error dialog that would hold the process, and its memory, open
    // while it waits for a click; a fault ends the process at once.
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    // A corrupted heap ends the process instead of being walked further.
    ::HeapSetInformation(nullptr, HeapEnableTerminationOnCorruption, nullptr, 0);
    // Windows Error Reporting may still write a dump of a crashed process;
    // asked here, it leaves out the heap, where the secrets live. Looked up
    // at run time: not every system (nor Wine) exports it.
    if (const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll")) {
        using SetFlags = HRESULT(WINAPI *)(DWORD);
        // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast): GetProcAddress's contract
        if (const auto werSetFlags = reinterpret_cast<SetFlags>(
                reinterpret_cast<void (*)()>(::GetProcAddress(kernel, "WerSetFlags"))))
            werSetFlags(WerNoHeap);
    }
}

} // namespace mnemora
