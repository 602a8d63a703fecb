// The built mnemora-cli binary, run as a child process: first with a pipe on
// standard input, then on a pseudo-terminal as a person would use it.

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;

// Generous: only reached when something hangs, which is then the failure.
constexpr std::chrono::seconds Patience{10};

class Fd {
public:
    explicit Fd(int fd = -1) noexcept
        : m_fd(fd)
    { }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    ~Fd() { Close(); }
    int get() const noexcept { return m_fd; }
    void Close() noexcept
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
};

int MillisecondsLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Appends what arrives on fd until `needle` has been seen (an empty needle:
// until end of file). False on timeout, end of file or error first.
bool ReadUntil(int fd, std::string &collected, std::string_view needle, Clock::time_point deadline)
{
    while (needle.empty() || collected.find(needle) == std::string::npos) {
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, MillisecondsLeft(deadline));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        char buffer[256];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return needle.empty() && n == 0;
        collected.append(buffer, static_cast<std::size_t>(n));
    }
    return true;
}

void WriteAll(int fd, std::string_view text)
{
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR)
            continue;
        ASSERT_GT(n, 0) << "write: " << std::strerror(errno);
        text.remove_prefix(static_cast<std::size_t>(n));
    }
}

// The wait status, or nothing if the child outlived the deadline (it is then killed).
std::optional<int> WaitForExit(pid_t pid, Clock::time_point deadline)
{
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid)
            return status;
        if (done < 0 && errno != EINTR)
            return std::nullopt;
        if (MillisecondsLeft(deadline) == 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return std::nullopt;
        }
        ::poll(nullptr, 0, 5);
    }
}

std::vector<char *> Argv(std::vector<std::string> &args)
{
    std::vector<char *> argv{const_cast<char *>(MNEMORA_CLI_BINARY)};
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    return argv;
}

// --- On a pipe -------------------------------------------------------------------

struct PipeCase {
    std::vector<std::string> args;
    std::string input;
    int exitStatus;
    std::string out;
    std::string errPrefix;
    bool readerGone = false; // standard output is a pipe nobody reads any more
};

void PrintTo(const PipeCase &c, std::ostream *os)
{
    *os << testing::PrintToString(c.args);
}

class CliBinaryOnPipe : public testing::TestWithParam<PipeCase> { };

TEST_P(CliBinaryOnPipe, ExitsWithStatusAndOutput)
{
    PipeCase c = GetParam();
    int in[2], out[2], err[2];
    ASSERT_EQ(::pipe2(in, O_CLOEXEC), 0);
    ASSERT_EQ(::pipe2(out, O_CLOEXEC), 0);
    ASSERT_EQ(::pipe2(err, O_CLOEXEC), 0);
    Fd inRead(in[0]), inWrite(in[1]), outRead(out[0]), outWrite(out[1]), errRead(err[0]), errWrite(err[1]);
    // All of it before the child starts, which may exit without reading:
    // small enough for the pipe buffer, so this cannot block.
    WriteAll(inWrite.get(), c.input);
    inWrite.Close();
    if (c.readerGone)
        outRead.Close();

    posix_spawn_file_actions_t actions;
    ASSERT_EQ(posix_spawn_file_actions_init(&actions), 0);
    posix_spawn_file_actions_adddup2(&actions, inRead.get(), STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, outWrite.get(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errWrite.get(), STDERR_FILENO);
    // Every signal as a fresh login shell would leave it, whatever this test process did.
    posix_spawnattr_t attributes;
    ASSERT_EQ(posix_spawnattr_init(&attributes), 0);
    sigset_t all, none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    std::vector<char *> argv = Argv(c.args);
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, MNEMORA_CLI_BINARY, &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ASSERT_EQ(spawned, 0) << std::strerror(spawned);
    inRead.Close();
    outWrite.Close();
    errWrite.Close();

    const auto deadline = Clock::now() + Patience;
    std::string stdoutText, stderrText;
    if (!c.readerGone) {
        EXPECT_TRUE(ReadUntil(outRead.get(), stdoutText, "", deadline));
    }
    EXPECT_TRUE(ReadUntil(errRead.get(), stderrText, "", deadline));
    const std::optional<int> status = WaitForExit(pid, deadline);
    ASSERT_TRUE(status.has_value()) << "mnemora-cli did not exit";
    ASSERT_TRUE(WIFEXITED(*status)) << *status;
    EXPECT_EQ(WEXITSTATUS(*status), c.exitStatus);
    EXPECT_EQ(stdoutText, c.out);
    EXPECT_EQ(stderrText.rfind(c.errPrefix, 0), 0u) << stderrText;
}

INSTANTIATE_TEST_SUITE_P(Cases, CliBinaryOnPipe,
    testing::Values(PipeCase{{"--all", "taobao"}, "test\r\nnot the password\n", 0,
                        "a20caCf8Eb1b8B6d\na20caCf8Eb1b8B6d5b8a66996910E124\n", ""},
        PipeCase{{"--long", "--all", "taobao"}, "test\n", 2, "", "mnemora-cli: "},
        PipeCase{{"taobao"}, "\n", 2, "", "mnemora-cli: the password is empty\n"},
        PipeCase{{"taobao"}, "test\n", 1, "", "mnemora-cli: could not write to standard output\n", true},
        PipeCase{{"--site", "WWW.Access.Service.gov.uk.", "taobao"}, "test\n", 0, "kxFF7ciPW.(/R)J%\n", ""},
        PipeCase{{"--rules", "required: [abc", "taobao"}, "test\n", 2, "",
            "mnemora-cli: bad rule: \"[abc\": the set is not closed with ']'\n"}));

// --- On a terminal ----------------------------------------------------------------

struct TerminalSetup {
    bool stderrToPipe = false; // as with 2>file
    int ignored = 0;           // a signal ignored from the start, as under nohup
};

// mnemora-cli as a shell runs a foreground job: in a process group of its own
// on a pseudo-terminal that is its controlling terminal, as standard input
// and (unless redirected) standard error, with a pipe as standard output.
// Its parent leads the session and stays in it, so the job's process group
// is not orphaned and can really be stopped; the parent reports every change
// of the job's state through a pipe. The test keeps the terminal's slave side
// open to inspect its settings.
class TerminalChild {
public:
    explicit TerminalChild(std::vector<std::string> args, TerminalSetup setup = {})
    {
        int master = -1, slave = -1;
        if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0)
            return;
        m_master = std::make_unique<Fd>(master);
        m_slave = std::make_unique<Fd>(slave);
        termios t{};
        ::tcgetattr(slave, &t);
        t.c_lflag |= ECHO | ICANON | ISIG;
        ::tcsetattr(slave, TCSANOW, &t);

        int out[2], err[2], report[2];
        if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0 || ::pipe2(report, O_CLOEXEC) != 0)
            return;
        m_out = std::make_unique<Fd>(out[0]);
        m_err = std::make_unique<Fd>(err[0]);
        m_report = std::make_unique<Fd>(report[0]);
        Fd outWrite(out[1]), errWrite(err[1]), reportWrite(report[1]);
        std::vector<char *> argv = Argv(args);

        // Async-signal-safe calls only in the children.
        m_leader = ::fork();
        if (m_leader == 0) {
            ::setsid();
            ::ioctl(slave, TIOCSCTTY, 0);
            ::close(master);
            const pid_t job = ::fork();
            if (job == 0) {
                ::setpgid(0, 0);
                sigset_t set;
                sigemptyset(&set);
                sigaddset(&set, SIGTTOU);
                ::sigprocmask(SIG_BLOCK, &set, nullptr);
                ::tcsetpgrp(slave, ::getpid());
                struct sigaction action { };
                action.sa_handler = SIG_DFL;
                for (int sig = 1; sig < NSIG; ++sig)
                    ::sigaction(sig, &action, nullptr);
                if (setup.ignored != 0) {
                    action.sa_handler = SIG_IGN;
                    ::sigaction(setup.ignored, &action, nullptr);
                }
                sigemptyset(&set);
                ::sigprocmask(SIG_SETMASK, &set, nullptr);
                ::dup2(slave, STDIN_FILENO);
                ::dup2(setup.stderrToPipe ? err[1] : slave, STDERR_FILENO);
                ::dup2(out[1], STDOUT_FILENO);
                ::close(master);
                ::close(slave);
                ::execv(MNEMORA_CLI_BINARY, argv.data());
                ::_exit(127);
            }
            ::setpgid(job, job);
            ::close(out[1]);
            ::close(err[1]);
            if (::write(report[1], &job, sizeof job) != sizeof job)
                ::_exit(1);
            int status = 0;
            do {
                if (::waitpid(job, &status, WUNTRACED) < 0) {
                    if (errno == EINTR)
                        continue;
                    ::_exit(1);
                }
                if (::write(report[1], &status, sizeof status) != sizeof status)
                    ::_exit(1);
            } while (WIFSTOPPED(status));
            ::_exit(0);
        }
        if (m_leader > 0 && !ReadValue(m_job))
            m_job = -1;
    }

    TerminalChild(const TerminalChild &) = delete;
    TerminalChild &operator=(const TerminalChild &) = delete;

    ~TerminalChild()
    {
        if (m_job > 0 && !m_done)
            ::kill(m_job, SIGKILL);
        else if (m_job <= 0 && m_leader > 0)
            ::kill(m_leader, SIGKILL);
        if (m_leader > 0)
            ::waitpid(m_leader, nullptr, 0);
    }

    bool Started() const { return m_job > 0; }
    pid_t Pid() const { return m_job; }
    int Master() const { return m_master->get(); }

    bool Echoing() const
    {
        termios t{};
        ::tcgetattr(m_slave->get(), &t);
        return (t.c_lflag & ECHO) != 0;
    }

    // The job's next change of state as a wait status (stopped or ended), or
    // nothing if none came before the deadline (the job is then killed).
    std::optional<int> NextState(Clock::time_point deadline)
    {
        int status = 0;
        if (!ReadValue(status, deadline)) {
            ::kill(m_job, SIGKILL);
            m_done = true;
            return std::nullopt;
        }
        m_done = !WIFSTOPPED(status);
        return status;
    }

    std::optional<int> Wait(Clock::time_point deadline) { return NextState(deadline); }

    std::string Stdout(Clock::time_point deadline) { return ReadToEnd(*m_out, deadline); }
    std::string Stderr(Clock::time_point deadline) { return ReadToEnd(*m_err, deadline); }

private:
    template <typename T> bool ReadValue(T &value, Clock::time_point deadline = Clock::now() + Patience)
    {
        auto *next = reinterpret_cast<char *>(&value);
        std::size_t left = sizeof value;
        while (left > 0) {
            pollfd p{m_report->get(), POLLIN, 0};
            const int ready = ::poll(&p, 1, MillisecondsLeft(deadline));
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready <= 0)
                return false;
            const ssize_t n = ::read(m_report->get(), next, left);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            next += n;
            left -= static_cast<std::size_t>(n);
        }
        return true;
    }

    static std::string ReadToEnd(Fd &fd, Clock::time_point deadline)
    {
        std::string text;
        ReadUntil(fd.get(), text, "", deadline);
        return text;
    }

    pid_t m_leader = -1;
    pid_t m_job = -1;
    bool m_done = false;
    std::unique_ptr<Fd> m_master, m_slave, m_out, m_err, m_report;
};

std::string WithoutCarriageReturns(std::string s)
{
    std::erase(s, '\r');
    return s;
}

struct Session {
    const char *name;
    TerminalSetup setup;
};

void PrintTo(const Session &s, std::ostream *os)
{
    *os << s.name;
}

class CliBinaryOnTerminal : public testing::TestWithParam<Session> { };

TEST_P(CliBinaryOnTerminal, PromptsReadsWithoutEchoAndRestoresEcho)
{
    const TerminalSetup &setup = GetParam().setup;
    TerminalChild child({"taobao"}, setup);
    ASSERT_TRUE(child.Started());
    const auto deadline = Clock::now() + Patience;

    std::string screen;
    ASSERT_TRUE(ReadUntil(child.Master(), screen, "Password: ", deadline)) << screen;
    EXPECT_FALSE(child.Echoing());
    // What was ignored at the start stays ignored: a handler would kill here.
    if (setup.ignored != 0) {
        ASSERT_EQ(::kill(child.Pid(), setup.ignored), 0);
    }
    WriteAll(child.Master(), "test\n");

    EXPECT_EQ(child.Stdout(deadline), "a20caCf8Eb1b8B6d\n");
    const std::optional<int> status = child.Wait(deadline);
    ASSERT_TRUE(status.has_value());
    ASSERT_TRUE(WIFEXITED(*status)) << *status;
    EXPECT_EQ(WEXITSTATUS(*status), 0);
    if (setup.stderrToPipe) {
        EXPECT_EQ(child.Stderr(deadline), "");
    }

    // The line break the program writes itself; an echoed password would come first.
    ASSERT_TRUE(ReadUntil(child.Master(), screen, "\n", deadline)) << screen;
    EXPECT_EQ(WithoutCarriageReturns(screen), "Password: \n");
    EXPECT_TRUE(child.Echoing());
}

INSTANTIATE_TEST_SUITE_P(Sessions, CliBinaryOnTerminal,
    testing::Values(Session{"Plain", {}}, Session{"StderrToFile", {.stderrToPipe = true}},
        Session{"HangUpIgnored", {.ignored = SIGHUP}}),
    [](const testing::TestParamInfo<Session> &param) { return param.param.name; });

TEST(CliBinarySuspended, GivesTheTerminalBackAndAsksAgainWhenContinued)
{
    TerminalChild child({"taobao"});
    ASSERT_TRUE(child.Started());
    const auto deadline = Clock::now() + Patience;

    std::string screen;
    ASSERT_TRUE(ReadUntil(child.Master(), screen, "Password: ", deadline)) << screen;
    WriteAll(child.Master(), "wrong\x1a"); // half a password, then Ctrl-Z
    const std::optional<int> stopped = child.NextState(deadline);
    ASSERT_TRUE(stopped.has_value());
    ASSERT_TRUE(WIFSTOPPED(*stopped)) << *stopped;
    EXPECT_EQ(WSTOPSIG(*stopped), SIGTSTP);
    // The shell gets a terminal that shows what is typed.
    EXPECT_TRUE(child.Echoing());

    ASSERT_EQ(::kill(child.Pid(), SIGCONT), 0);
    screen.clear();
    ASSERT_TRUE(ReadUntil(child.Master(), screen, "Password: ", deadline)) << screen;
    EXPECT_FALSE(child.Echoing());
    WriteAll(child.Master(), "test\n");

    // The code of "test": what was typed before the stop is gone.
    EXPECT_EQ(child.Stdout(deadline), "a20caCf8Eb1b8B6d\n");
    const std::optional<int> status = child.Wait(deadline);
    ASSERT_TRUE(status.has_value());
    ASSERT_TRUE(WIFEXITED(*status)) << *status;
    EXPECT_EQ(WEXITSTATUS(*status), 0);
    EXPECT_TRUE(child.Echoing());
}

struct Interruption {
    const char *name;
    int signal;
    bool fromKeyboard; // typed as the terminal's interrupt character
};

void PrintTo(const Interruption &i, std::ostream *os)
{
    *os << i.name;
}

class CliBinaryInterrupted : public testing::TestWithParam<Interruption> { };

TEST_P(CliBinaryInterrupted, RestoresEchoAndDiesOfTheSignal)
{
    const Interruption &p = GetParam();
    TerminalChild child({"taobao"});
    ASSERT_TRUE(child.Started());
    const auto deadline = Clock::now() + Patience;

    std::string screen;
    ASSERT_TRUE(ReadUntil(child.Master(), screen, "Password: ", deadline)) << screen;
    ASSERT_FALSE(child.Echoing());
    if (p.fromKeyboard)
        WriteAll(child.Master(), "tes\x03");
    else
        ASSERT_EQ(::kill(child.Pid(), p.signal), 0);

    const std::optional<int> status = child.Wait(deadline);
    ASSERT_TRUE(status.has_value());
    ASSERT_TRUE(WIFSIGNALED(*status)) << *status;
    EXPECT_EQ(WTERMSIG(*status), p.signal);
    EXPECT_TRUE(child.Echoing());
    EXPECT_EQ(child.Stdout(deadline), "");
}

INSTANTIATE_TEST_SUITE_P(Signals, CliBinaryInterrupted,
    testing::Values(Interruption{"CtrlC", SIGINT, true}, Interruption{"Interrupt", SIGINT, false},
        Interruption{"Terminate", SIGTERM, false}, Interruption{"HangUp", SIGHUP, false},
        Interruption{"Quit", SIGQUIT, false}, Interruption{"User1", SIGUSR1, false},
        Interruption{"BrokenPipe", SIGPIPE, false}),
    [](const testing::TestParamInfo<Interruption> &param) { return param.param.name; });

} // namespace
