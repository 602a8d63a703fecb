#include "Cli.h"
#include "HandleStreams.h"
#include "ProcessHardening.h"
#include "SystemPasswordSource.h"
#include "modUTF8.h"

#include <windows.h>

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace {

// An argument of the wide command line as UTF-8, unpaired surrogates becoming
// U+FFFD as the core encodes them, so that a key gives the codes the window
// gives for it.
std::string ToUtf8(std::wstring_view wide)
{
    const std::u16string_view text(reinterpret_cast<const char16_t *>(wide.data()), wide.size());
    mnemora::ByteArray bytes(3 * text.size());
    const std::size_t size = mnemora::EncodeUtf8(text, bytes.data());
    return std::string(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
}

} // namespace

// The wide entry point: the arguments arrive as the UTF-16 command line
// holds them, so any key (Chinese, emoji) reaches the program whatever the
// system's code page.
int wmain(int argc, wchar_t **argv)
{
    mnemora::HardenProcess();
    mnemora::cli::HandleWriteBuf outBuffer(::GetStdHandle(STD_OUTPUT_HANDLE));
    mnemora::cli::HandleWriteBuf errBuffer(::GetStdHandle(STD_ERROR_HANDLE));
    std::ostream out(&outBuffer);
    std::ostream err(&errBuffer);
    std::vector<std::string> utf8Args;
    const int status = mnemora::cli::RunReportingFailures(err, [&] {
        for (int i = 1; i < argc; ++i)
            utf8Args.push_back(ToUtf8(argv[i]));
        const std::vector<std::string_view> args(utf8Args.begin(), utf8Args.end());
        mnemora::cli::SystemPasswordSource password;
        return mnemora::cli::RunCli(args, password, out, err);
    });
    for (std::string &arg : utf8Args)
        mnemora::SecureWipe(arg);
    err.flush();
    return status;
}
