#pragma once

#include "PasswordSource.h"

namespace mnemora::cli {

// The password source of the real program, reading file descriptor 0.
//
// On a terminal it turns echo off, prompts "Password: " on standard error,
// reads one line and puts the terminal settings back. They are put back on
// every way out, including SIGINT, SIGTERM, SIGHUP and SIGQUIT, after which
// the signal takes its default effect. Anything typed but not yet read is
// discarded with the settings restored, so a half-typed password never
// reaches the shell.
//
// Otherwise it reads the first line as StreamPasswordSource does, one read(2)
// per byte: only the first line is consumed and no hidden buffer keeps it.
class TerminalPasswordSource final : public PasswordSource {
public:
    PasswordStatus ReadPassword(SecretString<char> &utf8) override;
};

} // namespace mnemora::cli
