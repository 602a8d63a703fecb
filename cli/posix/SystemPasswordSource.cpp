#include "SystemPasswordSource.h"

#include "SecureWipe.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstddef>
#include <istream>
#include <streambuf>
#include <string_view>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace mnemora::cli {

namespace {

constexpr std::string_view Prompt = "Password: ";

// A streambuf with a one-byte get area over a file descriptor. Read errors
// are thrown, which the owning istream turns into badbit.
class FdReadBuf final : public std::streambuf {
public:
    explicit FdReadBuf(int fd) noexcept
        : m_fd(fd)
    { }
    FdReadBuf(const FdReadBuf &) = delete;
    FdReadBuf &operator=(const FdReadBuf &) = delete;
    ~FdReadBuf() override { SecureWipe(&m_byte, sizeof m_byte); }

protected:
    int_type underflow() override
    {
        ssize_t n = 0;
        do {
            n = ::read(m_fd, &m_byte, 1);
        } while (n < 0 && errno == EINTR);
        if (n < 0)
            throw std::system_error(errno, std::generic_category(), "read");
        if (n == 0)
            return traits_type::eof();
        setg(&m_byte, &m_byte, &m_byte + 1);
        return traits_type::to_int_type(m_byte);
    }

private:
    int m_fd;
    char m_byte = '\0';
};

// The bytes of one read(2), handed to StreamPasswordSource so that the rules
// for line ends live in one place.
class ChunkBuf final : public std::streambuf {
public:
    ChunkBuf(char *begin, char *end) noexcept { setg(begin, begin, end); }
};

void WriteAll(int fd, std::string_view text) noexcept
{
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return; // a prompt that cannot be shown is no reason to fail
        text.remove_prefix(static_cast<std::size_t>(n));
    }
}

// --- Signals ----------------------------------------------------------------------

enum class Role { None, Terminate, Stop, Continue };

// Every signal whose default action ends or stops the process and that can
// be caught, plus SIGCONT.
Role RoleOf(int sig) noexcept
{
    switch (sig) {
    case SIGTSTP:
    case SIGTTIN:
    case SIGTTOU:
        return Role::Stop;
    case SIGCONT:
        return Role::Continue;
    case SIGHUP:
    case SIGINT:
    case SIGQUIT:
    case SIGILL:
    case SIGTRAP:
    case SIGABRT:
    case SIGBUS:
    case SIGFPE:
    case SIGUSR1:
    case SIGSEGV:
    case SIGUSR2:
    case SIGPIPE:
    case SIGALRM:
    case SIGTERM:
    case SIGXCPU:
    case SIGXFSZ:
    case SIGVTALRM:
    case SIGPROF:
    case SIGSYS:
#ifdef SIGSTKFLT
    case SIGSTKFLT:
#endif
#ifdef SIGIO
    case SIGIO:
#endif
#ifdef SIGPWR
    case SIGPWR:
#endif
        return Role::Terminate;
    default:
        return sig >= SIGRTMIN && sig <= SIGRTMAX ? Role::Terminate : Role::None;
    }
}

// State shared with the signal handlers. Normal code touches it only while
// every handled signal is blocked, and the handlers block one another.
static_assert(std::atomic<bool>::is_always_lock_free);
int g_in = -1;  // the terminal
int g_out = -1; // where the prompt goes: the terminal, or standard error without one
termios g_normal{};
termios g_quiet{};
struct sigaction g_action { };
// Our quiet settings are on the terminal and the normal ones not yet back.
std::atomic<bool> g_silenced{false};

bool SameSettings(const termios &a, const termios &b) noexcept
{
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag
        && a.c_lflag == b.c_lflag && std::equal(std::begin(a.c_cc), std::end(a.c_cc), std::begin(b.c_cc));
}

bool InForeground() noexcept
{
    // A terminal that is not our controlling one has no job control to obey.
    const pid_t group = ::tcgetpgrp(g_in);
    return group < 0 || group == ::getpgrp();
}

// Async-signal-safe. Turns echo off and shows the prompt, unless another job
// owns the terminal: a background process never changes its settings (the
// read then stops it, and the prompt comes when it is brought back).
void ShowPrompt() noexcept
{
    if (!InForeground())
        return;
    termios now{};
    if (::tcgetattr(g_in, &now) != 0)
        return;
    if (!g_silenced || !SameSettings(now, g_quiet)) {
        // What the terminal has now is what the user wants back, changes made
        // while the program was stopped included.
        g_normal = now;
        g_quiet = now;
        g_quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL);
        // The whole line, ended by Enter, must arrive in one read.
        g_quiet.c_lflag |= ICANON;
        g_quiet.c_iflag |= ICRNL;
    }
    // Flushing drops anything typed before this prompt.
    if (::tcsetattr(g_in, TCSAFLUSH, &g_quiet) != 0) {
        g_silenced = false;
        return;
    }
    // As the driver keeps them, which is what RestoreTerminal compares with.
    ::tcgetattr(g_in, &g_quiet);
    g_silenced = true;
    WriteAll(g_out, Prompt);
}

// Async-signal-safe. Gives the terminal its settings back, dropping what was
// typed so that half a password never reaches the next reader (the shell).
void RestoreTerminal() noexcept
{
    if (!g_silenced)
        return;
    g_silenced = false;
    termios now{};
    // Settings someone changed since, such as a shell that took the terminal
    // back while the program was stopped, are theirs and stay.
    if (::tcgetattr(g_in, &now) != 0 || !SameSettings(now, g_quiet))
        return;
    ::tcsetattr(g_in, TCSAFLUSH, &g_normal);
    // The Enter, or the key that interrupted, was not echoed.
    WriteAll(g_out, "\n");
}

void SetDisposition(int sig, const struct sigaction &action) noexcept
{
    ::sigaction(sig, &action, nullptr);
}

void OnSignal(int sig)
{
    // Every handled signal is blocked while this runs.
    const int savedErrno = errno;
    struct sigaction byDefault { };
    byDefault.sa_handler = SIG_DFL;
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, sig);

    switch (RoleOf(sig)) {
    case Role::Terminate:
        // Pending until this handler returns, then fatal.
        RestoreTerminal();
        SetDisposition(sig, byDefault);
        ::raise(sig);
        break;
    case Role::Stop: {
        RestoreTerminal();
        SetDisposition(sig, byDefault);
        ::sigprocmask(SIG_UNBLOCK, &only, nullptr);
        // Stops here. The kernel discards the stop in an orphaned process
        // group, and then nothing continues us but this line.
        ::raise(sig);
        ::sigprocmask(SIG_BLOCK, &only, nullptr);
        SetDisposition(sig, g_action);
        // The SIGCONT that resumed us is pending, blocked while we are here,
        // and its handler shows the prompt; without one, show it now.
        sigset_t pending;
        if (::sigpending(&pending) != 0 || sigismember(&pending, SIGCONT) != 1)
            ShowPrompt();
        break;
    }
    case Role::Continue:
        ShowPrompt();
        break;
    case Role::None:
        break;
    }
    errno = savedErrno;
}

// For the duration of one password read: the handlers, echo off and the
// prompt shown; on the way out the terminal and the dispositions as they were.
class TerminalSession {
public:
    TerminalSession(int in, int out, const sigset_t &ignoredAtStart) noexcept
    {
        sigemptyset(&m_handled);
        sigemptyset(&m_taken);
        for (int sig = 1; sig < NSIG; ++sig)
            if (RoleOf(sig) != Role::None)
                sigaddset(&m_handled, sig);
        ::sigprocmask(SIG_BLOCK, &m_handled, &m_mask);

        g_in = in;
        g_out = out;
        g_silenced = false;
        g_action = {};
        g_action.sa_handler = OnSignal;
        g_action.sa_mask = m_handled;
        // No SA_RESTART: a read interrupted by a stop must come back to be
        // retried.
        g_action.sa_flags = 0;
        for (int sig = 1; sig < NSIG; ++sig) {
            if (sigismember(&m_handled, sig) != 1)
                continue;
            struct sigaction &previous = m_previous[static_cast<std::size_t>(sig)];
            ::sigaction(sig, nullptr, &previous);
            const bool plain = (previous.sa_flags & SA_SIGINFO) == 0
                && (previous.sa_handler == SIG_DFL || previous.sa_handler == SIG_IGN);
            if (!plain || sigismember(&ignoredAtStart, sig) == 1)
                continue;
            SetDisposition(sig, g_action);
            sigaddset(&m_taken, sig);
        }
        ShowPrompt();
        ::sigprocmask(SIG_SETMASK, &m_mask, nullptr);
    }

    TerminalSession(const TerminalSession &) = delete;
    TerminalSession &operator=(const TerminalSession &) = delete;

    ~TerminalSession()
    {
        // A signal arriving now waits for the old dispositions, and finds the
        // terminal restored.
        ::sigprocmask(SIG_BLOCK, &m_handled, nullptr);
        RestoreTerminal();
        for (int sig = 1; sig < NSIG; ++sig)
            if (sigismember(&m_taken, sig) == 1)
                SetDisposition(sig, m_previous[static_cast<std::size_t>(sig)]);
        ::sigprocmask(SIG_SETMASK, &m_mask, nullptr);
    }

private:
    sigset_t m_handled{};
    sigset_t m_taken{};
    sigset_t m_mask{};
    std::array<struct sigaction, NSIG> m_previous{};
};

// Terminal lines are far shorter (4,096 bytes on Linux); this bounds systems
// with longer ones, above the longest usable password so that an over-long
// line is reported as such.
constexpr std::size_t TerminalLineBytes = std::size_t{1} << 16;

PasswordStatus ReadTerminalLine(SecretString<char> &utf8)
{
    utf8.Wipe();
    // Wiped by its allocator when released.
    std::vector<char, WipingAllocator<char>> line(TerminalLineBytes);
    for (;;) {
        if (!g_silenced && InForeground())
            return PasswordStatus::Failed; // reading now would show the password
        // In canonical mode one read returns one whole line, so a line is
        // never pieced together across a suspension.
        const ssize_t n = ::read(g_in, line.data(), line.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return PasswordStatus::Failed;
        if (n == 0)
            return PasswordStatus::NoInput;
        const auto size = static_cast<std::size_t>(n);
        if (size == line.size() && line.back() != '\n')
            return PasswordStatus::TooLong;
        ChunkBuf chunk(line.data(), line.data() + size);
        std::istream in(&chunk);
        return StreamPasswordSource(in).ReadPassword(utf8);
    }
}

PasswordStatus ReadFirstLine(int fd, SecretString<char> &utf8)
{
    FdReadBuf buffer(fd);
    std::istream in(&buffer);
    return StreamPasswordSource(in).ReadPassword(utf8);
}

class Descriptor {
public:
    explicit Descriptor(int fd) noexcept
        : m_fd(fd)
    { }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int Get() const noexcept { return m_fd; }

private:
    int m_fd;
};

} // namespace

SystemPasswordSource::SystemPasswordSource() noexcept
{
    sigemptyset(&m_ignoredAtStart);
    for (int sig = 1; sig < NSIG; ++sig) {
        struct sigaction current { };
        if (::sigaction(sig, nullptr, &current) == 0 && (current.sa_flags & SA_SIGINFO) == 0
            && current.sa_handler == SIG_IGN)
            sigaddset(&m_ignoredAtStart, sig);
    }
}

PasswordStatus SystemPasswordSource::ReadPassword(SecretString<char> &utf8)
{
    // Pipes and files keep their first line as the password.
    if (::isatty(STDIN_FILENO) == 0)
        return ReadFirstLine(STDIN_FILENO, utf8);

    // As ssh and sudo do: the controlling terminal, whatever standard error is.
    const Descriptor tty(::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC));
    const int in = tty.Get() >= 0 ? tty.Get() : STDIN_FILENO;
    const int out = tty.Get() >= 0 ? tty.Get() : STDERR_FILENO;

    const TerminalSession session(in, out, m_ignoredAtStart);
    return ReadTerminalLine(utf8);
}

} // namespace mnemora::cli
