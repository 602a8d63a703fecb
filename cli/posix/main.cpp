#include "Cli.h"
#include "ProcessHardening.h"
#include "SystemPasswordSource.h"

#include <csignal>
#include <iostream>
#include <string_view>
#include <vector>

int main(int argc, char **argv)
{
    mnemora::HardenProcess();
    return mnemora::cli::RunReportingFailures(std::cerr, [&] {
        // Made first: it keeps the signal dispositions the process started with.
        mnemora::cli::SystemPasswordSource password;
        // A reader that went away must not end the program silently with a
        // status beyond 0, 1 and 2: the write fails instead, and is reported.
        // While the password is typed, SIGPIPE restores the terminal and
        // kills as any terminating signal does.
        std::signal(SIGPIPE, SIG_IGN);
        const std::vector<std::string_view> args(argv + 1, argv + argc);
        return mnemora::cli::RunCli(args, password, std::cout, std::cerr);
    });
}
