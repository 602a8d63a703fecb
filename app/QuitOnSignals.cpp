#include "QuitOnSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace mnemora {

namespace {

constexpr std::array<int, 3> QuitSignals{SIGTERM, SIGINT, SIGHUP};

// Written by the handler, read by the event loop: the only async-signal-safe
// way from a handler into Qt.
std::array<int, 2> g_pipe{-1, -1};

extern "C" void OnQuitSignal(int signal)
{
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

} // namespace

QuitOnSignals::QuitOnSignals(QObject *parent)
    : QObject(parent)
{
    if (::pipe2(g_pipe.data(), O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &QuitOnSignals::readSignal);

    for (const int signal : QuitSignals) {
        struct sigaction old { };
        if (::sigaction(signal, nullptr, &old) != 0 || old.sa_handler == SIG_IGN)
            continue;
        struct sigaction action { };
        action.sa_handler = OnQuitSignal;
        ::sigemptyset(&action.sa_mask);
        // The handler runs once; a second signal meets the default action.
        action.sa_flags = static_cast<int>(SA_RESTART | SA_RESETHAND);
        ::sigaction(signal, &action, nullptr);
    }
}

QuitOnSignals::~QuitOnSignals()
{
    for (const int signal : QuitSignals) {
        struct sigaction current { };
        if (::sigaction(signal, nullptr, &current) == 0 && current.sa_handler == OnQuitSignal)
            ::signal(signal, SIG_DFL);
    }
    for (int &end : g_pipe) {
        if (end >= 0)
            ::close(end);
        end = -1;
    }
}

void QuitOnSignals::readSignal()
{
    unsigned char byte = 0;
    while (::read(g_pipe[0], &byte, 1) == 1)
        if (m_received == 0)
            m_received = byte;
    if (m_received != 0)
        QCoreApplication::quit();
}

void QuitOnSignals::Reraise(int signal)
{
    if (signal == 0)
        return;
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

} // namespace mnemora
