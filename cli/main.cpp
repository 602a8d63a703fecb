#include "Cli.h"
#include "ProcessHardening.h"
#include "TerminalPasswordSource.h"

#include <exception>
#include <iostream>
#include <string_view>
#include <vector>

int main(int argc, char **argv)
{
    mnemora::HardenProcess();
    try {
        const std::vector<std::string_view> args(argv + 1, argv + argc);
        mnemora::cli::TerminalPasswordSource password;
        return mnemora::cli::RunCli(args, password, std::cout, std::cerr);
    } catch (const std::exception &e) {
        std::cerr << "mnemora-cli: " << e.what() << '\n';
        return mnemora::cli::ExitFailure;
    }
}
