#include "TerminalPasswordSource.h"

#include "SecureWipe.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <istream>
#include <streambuf>
#include <string_view>
#include <system_error>

#include <termios.h>
#include <unistd.h>

namespace mnemora::cli {

namespace {

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

PasswordStatus ReadFirstLine(int fd, SecretString<char> &utf8)
{
    FdReadBuf buffer(fd);
    std::istream in(&buffer);
    return StreamPasswordSource(in).ReadPassword(utf8);
}

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

constexpr std::array<int, 4> RestoringSignals = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// The settings the signal handler puts back. Written only before the handler
// is installed, read only by it.
termios g_savedTermios{};

void RestoreTerminalAndReraise(int sig)
{
    // Async-signal-safe calls only. The signal is blocked while its handler
    // runs, so raise() leaves it pending and it is delivered, now with its
    // default effect, as soon as the handler returns.
    const int savedErrno = errno;
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_savedTermios);
    std::signal(sig, SIG_DFL);
    std::raise(sig);
    errno = savedErrno;
}

// Echo off on standard input for the lifetime of the object. The signal
// handlers go in before echo goes off and come out after it is back on, so
// there is no moment where a signal could leave the terminal silent.
class EchoOff {
public:
    EchoOff() noexcept
    {
        if (::tcgetattr(STDIN_FILENO, &g_savedTermios) != 0)
            return;

        struct sigaction restoring { };
        restoring.sa_handler = RestoreTerminalAndReraise;
        sigemptyset(&restoring.sa_mask);
        for (const int sig : RestoringSignals)
            sigaddset(&restoring.sa_mask, sig);
        for (std::size_t i = 0; i < RestoringSignals.size(); ++i) {
            ::sigaction(RestoringSignals[i], nullptr, &m_previous[i]);
            // A signal the caller chose to ignore (nohup) stays ignored.
            if (m_previous[i].sa_handler != SIG_IGN)
                ::sigaction(RestoringSignals[i], &restoring, nullptr);
        }
        m_handlersInstalled = true;

        termios quiet = g_savedTermios;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL);
        m_echoOff = ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
    }

    EchoOff(const EchoOff &) = delete;
    EchoOff &operator=(const EchoOff &) = delete;

    ~EchoOff()
    {
        if (m_echoOff)
            ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_savedTermios);
        if (m_handlersInstalled)
            for (std::size_t i = 0; i < RestoringSignals.size(); ++i)
                ::sigaction(RestoringSignals[i], &m_previous[i], nullptr);
    }

    bool Active() const noexcept { return m_echoOff; }

private:
    std::array<struct sigaction, RestoringSignals.size()> m_previous{};
    bool m_handlersInstalled = false;
    bool m_echoOff = false;
};

} // namespace

PasswordStatus TerminalPasswordSource::ReadPassword(SecretString<char> &utf8)
{
    if (::isatty(STDIN_FILENO) == 0)
        return ReadFirstLine(STDIN_FILENO, utf8);

    const EchoOff echoOff;
    if (!echoOff.Active()) {
        // Reading anyway would show the password on the screen.
        utf8.Wipe();
        return PasswordStatus::Failed;
    }
    WriteAll(STDERR_FILENO, "Password: ");
    const PasswordStatus status = ReadFirstLine(STDIN_FILENO, utf8);
    // The Enter that ended the line was not echoed either.
    WriteAll(STDERR_FILENO, "\n");
    return status;
}

} // namespace mnemora::cli
