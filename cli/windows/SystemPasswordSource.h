#pragma once

#include "PasswordSource.h"

namespace mnemora::cli {

// The password source of the Windows program.
//
// When standard input is a console, the prompt "Password: " goes to the
// console and the password is read from it as UTF-16 (ReadConsoleW), so any
// character the keyboard or an input method gives is kept, whatever the
// console's code page. Echo is off while it is typed; the console's mode is
// put back when the line is read and on every way out a console offers:
// Ctrl-C, Ctrl-Break and closing the console window (the process then ends
// as Windows ends it, status STATUS_CONTROL_C_EXIT), with the typed line
// discarded so that a half-typed password never reaches the shell. A line of
// Ctrl-Z alone is the end of input, as in any Windows console program.
//
// Otherwise the first line of standard input is the password, in UTF-8, read
// as StreamPasswordSource does, one ReadFile per byte.
class SystemPasswordSource final : public PasswordSource {
public:
    PasswordStatus ReadPassword(SecretString<char> &utf8) override;
};

} // namespace mnemora::cli
