#pragma once

namespace mnemora {

// Keeps the memory of this process, which holds the memorised password, out
// of core dumps and away from same-user debuggers: the process becomes
// non-dumpable (which also denies ptrace attach and /proc/<pid>/mem to other
// unprivileged processes) and its core file size limit drops to zero, hard
// limit included, so it cannot be raised again later.
//
// On Windows, where no process can keep a same-user debugger out, the process
// shows no fault dialog, ends on heap corruption, and asks Windows Error
// Reporting to leave its heap out of any crash dump.
//
// Call first thing in main, before any secret is read. Failures are ignored:
// both calls only remove abilities, and the programs must work where they are
// unavailable.
void HardenProcess() noexcept;

} // namespace mnemora
