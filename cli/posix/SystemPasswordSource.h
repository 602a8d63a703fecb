#pragma once

#include "PasswordSource.h"

#include <csignal>

namespace mnemora::cli {

// The password source of the real program.
//
// When standard input is a terminal, the password is read from the
// controlling terminal (/dev/tty) and the prompt "Password: " written to it,
// whatever standard output and standard error are; only a process without a
// controlling terminal falls back to standard input and standard error. Echo
// is off while the password is typed and the settings are put back on every
// way out:
//   - a terminating signal (INT, TERM, HUP, QUIT, USR1, USR2, ALRM, PIPE and
//     the others that end a process) restores the terminal, then the process
//     dies of that same signal;
//   - a stop (Ctrl-Z, or a read or settings change from the background)
//     restores the terminal and stops; when the job is continued in the
//     foreground, echo goes off again and the prompt is shown again.
// Settings are restored with the input queue flushed: a half-typed password
// never reaches the shell. Anything typed before a stop is discarded, and the
// password is the line typed after the new prompt.
//
// Otherwise it reads the first line of standard input as StreamPasswordSource
// does, one read(2) per byte: only the first line is consumed and no hidden
// buffer keeps it.
//
// A signal that was ignored when the object was made (as under nohup) stays
// ignored, even if the program ignores more signals afterwards; a signal with
// a handler of its own (a sanitiser's, say) keeps it.
class SystemPasswordSource final : public PasswordSource {
public:
    // Call before the program changes any signal's disposition.
    SystemPasswordSource() noexcept;

    PasswordStatus ReadPassword(SecretString<char> &utf8) override;

private:
    sigset_t m_ignoredAtStart{};
};

} // namespace mnemora::cli
