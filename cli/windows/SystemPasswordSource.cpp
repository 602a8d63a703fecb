#include "SystemPasswordSource.h"

#include "FirstLine.h"
#include "HandleStreams.h"
#include "modUTF8.h"

#include <windows.h>

#include <array>
#include <atomic>
#include <istream>

namespace mnemora::cli {

namespace {

constexpr std::string_view Prompt = "Password: ";

// Console lines are far shorter; this bounds them above the longest usable
// password (32,767 UTF-8 bytes), so that an over-long line is reported as such.
constexpr std::size_t ConsoleLineUnits = std::size_t{1} << 16;

// What the control handler, which Windows runs on a thread of its own, needs
// to put the console back.
HANDLE g_input = nullptr;
DWORD g_savedMode = 0;
std::atomic<bool> g_echoOff{false};
std::atomic<bool> g_interrupted{false};

void RestoreConsole() noexcept
{
    if (g_echoOff.exchange(false)) {
        ::FlushConsoleInputBuffer(g_input);
        ::SetConsoleMode(g_input, g_savedMode);
    }
}

// Ctrl-C, Ctrl-Break, the console closing, the session ending: the console
// gets its echo back and the process ends, as it would have without this
// handler: interrupted, with the status Windows gives an interrupted program,
// or by Windows itself when the console or the session goes.
BOOL WINAPI OnConsoleControl(DWORD event) noexcept
{
    g_interrupted = true;
    RestoreConsole();
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT)
        ::ExitProcess(static_cast<UINT>(STATUS_CONTROL_C_EXIT));
    return FALSE;
}

class EchoOff {
public:
    EchoOff(HANDLE input, DWORD mode) noexcept
    {
        g_input = input;
        g_savedMode = mode;
        ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
        g_echoOff = true;
        // Line editing and Ctrl-C stay as they were; only echo goes.
        ::SetConsoleMode(
            input, (mode | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT) & ~DWORD{ENABLE_ECHO_INPUT});
    }
    EchoOff(const EchoOff &) = delete;
    EchoOff &operator=(const EchoOff &) = delete;
    ~EchoOff()
    {
        // Whatever was typed or pasted after the password's line is dropped:
        // left in the console, the shell would read it as its next commands.
        if (g_echoOff.exchange(false)) {
            ::FlushConsoleInputBuffer(g_input);
            ::SetConsoleMode(g_input, g_savedMode);
        }
        ::SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    }
};

// The typed line without its "\r\n", as UTF-8: unpaired surrogates become
// U+FFFD, as the core encodes them.
PasswordStatus ReadConsoleLine(HANDLE input, SecretString<char> &utf8)
{
    SecretString<char16_t> line;
    std::array<wchar_t, 256> chunk{};
    bool ended = false;
    bool tooLong = false;
    bool failed = false;
    while (!ended) {
        DWORD n = 0;
        const BOOL ok = ::ReadConsoleW(input, chunk.data(), static_cast<DWORD>(chunk.size()), &n, nullptr);
        if (g_interrupted)
            ::Sleep(INFINITE); // the control handler is ending the process
        if (!ok) {
            failed = true;
            break;
        }
        if (n == 0)
            break;
        for (DWORD i = 0; i < n; ++i) {
            const auto unit = static_cast<char16_t>(chunk[i]);
            if (unit == u'\n') {
                ended = true;
                break;
            }
            if (line.Size() == ConsoleLineUnits)
                tooLong = true; // read on to the line's end, so none of it reaches the shell
            else
                line.PushBack(unit);
        }
    }
    SecureWipe(chunk.data(), sizeof chunk);
    if (failed)
        return PasswordStatus::Failed;
    if (tooLong)
        return PasswordStatus::TooLong;
    if (!ended && line.Empty())
        return PasswordStatus::NoInput;
    // The console ends the line at "\r\n"; a carriage return pasted within
    // it ends the password there too (FirstLine).
    const std::size_t kept = FirstLine(line.View()).size();
    while (line.Size() > kept)
        line.PopBack();
    if (line.View() == u"\x1a")
        return PasswordStatus::NoInput;

    // Wiped by its allocator when released.
    ByteArray bytes(3 * line.Size());
    const std::size_t size = EncodeUtf8(line.View(), bytes.data());
    utf8.Reserve(size);
    for (std::size_t i = 0; i < size; ++i)
        utf8.PushBack(static_cast<char>(bytes[i]));
    return PasswordStatus::Read;
}

} // namespace

PasswordStatus SystemPasswordSource::ReadPassword(SecretString<char> &utf8)
{
    utf8.Wipe();
    HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (input == nullptr || input == INVALID_HANDLE_VALUE || !::GetConsoleMode(input, &mode)) {
        HandleReadBuf buffer(input);
        std::istream in(&buffer);
        return StreamPasswordSource(in).ReadPassword(utf8);
    }

    // The prompt goes to the console, whatever standard output and standard
    // error are.
    HANDLE console = ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    PasswordStatus status = PasswordStatus::Failed;
    {
        // Echo goes off before the prompt shows: what is typed (or pasted)
        // the moment it appears is already hidden.
        EchoOff echoOff(input, mode);
        if (console != INVALID_HANDLE_VALUE)
            WriteConsoleUtf8(console, Prompt);
        status = ReadConsoleLine(input, utf8);
    }
    if (console != INVALID_HANDLE_VALUE) {
        // The Enter that ended the line was not echoed.
        WriteConsoleUtf8(console, "\n");
        ::CloseHandle(console);
    }
    if (status != PasswordStatus::Read)
        utf8.Wipe();
    return status;
}

} // namespace mnemora::cli
