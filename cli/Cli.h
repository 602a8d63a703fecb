#pragma once

#include "PasswordSource.h"
#include "SelfTest.h"

#include <functional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

namespace mnemora::cli {

// Exit statuses of mnemora-cli.
enum ExitStatus : int {
    ExitSuccess = 0,
    ExitFailure = 1, // the codes could not be derived or the password not read
    ExitUsage = 2,   // bad arguments or an unusable password
};

// The whole command line program:
//
//     mnemora-cli [--long | --all] KEY
//
// `args` are the arguments without the program name. The password is asked
// from `password` only once the arguments are known to be valid. The codes,
// --help and --version go to `out`; every failure writes one "mnemora-cli: "
// line (plus a hint where the arguments were at fault) to `err` and nothing
// to `out`. Returns the process exit status.
//
// `selfTest` runs before the password is asked for; when it reports a failure
// the build computes wrong codes, and the program says so and exits 1.
using SelfTestFunction = std::string (*)() noexcept;
int RunCli(std::span<const std::string_view> args, PasswordSource &password, std::ostream &out,
    std::ostream &err, SelfTestFunction selfTest = RunSelfTest);

// Runs `body` and returns its status; an exception that escapes it (out of
// memory, a failed conversion) is reported as one "mnemora-cli: " line on
// `err` and ends in ExitFailure, never in a status that passes for success.
// RunCli and each system's main run through it.
int RunReportingFailures(std::ostream &err, const std::function<int()> &body);

} // namespace mnemora::cli
