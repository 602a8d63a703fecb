#pragma once

#include <QObject>

class QSocketNotifier;

namespace mnemora {

// Turns the signals that ask a program to end (TERM from a session or a
// service manager, INT, HUP from a closed terminal) into an orderly quit of
// the event loop, so the window's own clean-up runs: the clipboard is
// cleared before Qt would hand a code to a clipboard manager. A signal that
// was ignored when the program started (nohup) stays ignored, and a second
// one while quitting ends the program at once.
//
// One instance per program, created after the application object.
class QuitOnSignals : public QObject {
    Q_OBJECT

public:
    explicit QuitOnSignals(QObject *parent = nullptr);
    ~QuitOnSignals() override;

    QuitOnSignals(const QuitOnSignals &) = delete;
    QuitOnSignals &operator=(const QuitOnSignals &) = delete;

    // The signal that asked the program to quit; 0 if none did.
    int received() const noexcept { return m_received; }

    // Ends the process by that signal, as if it had not been caught, so the
    // parent sees the true cause. Call once Qt has shut down; returns at
    // once for 0.
    static void Reraise(int signal);

private:
    void readSignal();

    QSocketNotifier *m_notifier = nullptr;
    int m_received = 0;
};

} // namespace mnemora
