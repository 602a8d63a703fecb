// Loaded with LD_PRELOAD into a Qt widget program that knows nothing of it:
// records, on CLOCK_MONOTONIC, when the program reaches main (this library's
// constructor runs just before), when the application object starts, when the
// first event reaches the top-level window (it is being built), when the
// window is shown, and when its first paint is over (a zero timer queued by
// the first paint runs once the whole window has been painted and flushed).
// Writes them to the file MNEMORA_PROBE_OUT and ends the process at once.

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <unistd.h>

namespace {

long long Now()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1'000'000'000LL + t.tv_nsec;
}

struct Marks {
    long long main = 0;
    long long application = 0;
    long long window = 0;
    long long shown = 0;
    long long painted = 0;
} g_marks;

void Report()
{
    g_marks.painted = Now();
    if (const char *path = std::getenv("MNEMORA_PROBE_OUT")) {
        if (FILE *out = std::fopen(path, "w")) {
            std::fprintf(out, "main %lld\napplication %lld\nwindow %lld\nshown %lld\npainted %lld\n",
                g_marks.main, g_marks.application, g_marks.window, g_marks.shown, g_marks.painted);
            std::fclose(out);
        }
    }
    _exit(0);
}

class Probe final : public QObject {
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!watched->isWidgetType() || !static_cast<QWidget *>(watched)->isWindow())
            return false;
        if (g_marks.window == 0)
            g_marks.window = Now();
        if (event->type() == QEvent::Show && g_marks.shown == 0)
            g_marks.shown = Now();
        if (event->type() == QEvent::Paint && !m_painting) {
            m_painting = true;
            QTimer::singleShot(0, Report);
        }
        return false;
    }

private:
    bool m_painting = false;
};

void Attach()
{
    g_marks.application = Now();
    QCoreApplication::instance()->installEventFilter(new Probe);
}

__attribute__((constructor)) void Start()
{
    g_marks.main = Now();
    qAddPreRoutine(Attach);
}

} // namespace
