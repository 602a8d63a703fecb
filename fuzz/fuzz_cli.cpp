// The command line in-process on arbitrary arguments and standard input: it
// must never crash, must exit 0, 1 or 2, must print nothing on failure, and on
// success print only codes of the documented shape.

#include "Cli.h"
#include "PasswordSource.h"

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

bool IsCodeLine(const std::string &line, std::size_t length)
{
    if (line.size() != length)
        return false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (!hex && !(i == 0 && length == 16 && c == 'K'))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // Layout: arguments separated by NUL bytes, then a 0x01 byte, then stdin.
    const std::string input(reinterpret_cast<const char *>(data), size);
    const std::size_t split = input.find('\x01');
    const std::string argBlock = input.substr(0, split);
    const std::string stdinText = split == std::string::npos ? std::string() : input.substr(split + 1);

    std::vector<std::string> storage;
    std::size_t start = 0;
    for (std::size_t nul; (nul = argBlock.find('\0', start)) != std::string::npos; start = nul + 1)
        storage.push_back(argBlock.substr(start, nul - start));
    storage.push_back(argBlock.substr(start));
    if (storage.size() > 6)
        return 0;
    std::vector<std::string_view> args(storage.begin(), storage.end());

    std::istringstream in(stdinText);
    mnemora::cli::StreamPasswordSource password(in);
    std::ostringstream out, err;
    const int status = mnemora::cli::RunCli(args, password, out, err);

    Check(status == 0 || status == 1 || status == 2);
    if (status != 0) {
        Check(out.str().empty());
        Check(err.str().rfind("mnemora-cli: ", 0) == 0);
        return 0;
    }
    const std::string text = out.str();
    const bool informational = text.rfind("Usage", 0) == 0 || text.rfind("mnemora-cli ", 0) == 0;
    if (informational)
        return 0;
    std::istringstream lines(text);
    std::string first, second;
    std::getline(lines, first);
    if (std::getline(lines, second))
        Check(IsCodeLine(first, 16) && IsCodeLine(second, 32));
    else
        Check(IsCodeLine(first, 16) || IsCodeLine(first, 32));
    return 0;
}
