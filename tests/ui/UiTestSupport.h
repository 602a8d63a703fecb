#pragma once

// The one base of the window tests: a fresh window per test function, the
// controls by name, the system clipboard, and the event helpers.

#include "Fonts.h"
#include "FrmMain.h"

#include <QApplication>
#include <QClipboard>
#include <QColor>
#include <QImage>
#include <QLineEdit>
#include <QMetaObject>
#include <QPoint>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <memory>
#include <vector>

namespace uitest {

// The codes of the password "test" with the key "taobao".
inline const QString Code16 = QStringLiteral("a20caCf8Eb1b8B6d");
inline const QString Code32 = QStringLiteral("a20caCf8Eb1b8B6d5b8a66996910E124");

inline QClipboard *SystemClipboard()
{
    return QGuiApplication::clipboard();
}

// A control of the window by its name; the window itself answers to "FrmMain".
template <typename T = QWidget> T *Control(QWidget &window, const QString &name)
{
    if (window.objectName() == name)
        return qobject_cast<T *>(&window);
    return window.findChild<T *>(name);
}

template <typename T = QWidget> T *Control(QWidget &window, const char *name)
{
    return Control<T>(window, QString::fromLatin1(name));
}

// A window whose links and self-test are under the test's control.
struct Harness {
    std::vector<QUrl> opened;
    std::unique_ptr<mnemora::FrmMain> window;

    explicit Harness(mnemora::FrmMainServices services = {})
    {
        if (!services.openUrl)
            services.openUrl = [this](const QUrl &address) { opened.push_back(address); };
        window = std::make_unique<mnemora::FrmMain>(std::move(services));
    }

    // Shows the window and waits until it has the keyboard focus, which Tab
    // and focus-by-click need.
    [[nodiscard]] bool showActive()
    {
        window->show();
        window->activateWindow();
        return QTest::qWaitForWindowActive(window.get());
    }

    QLineEdit *box(const char *name) { return Control<QLineEdit>(*window, name); }
    QWidget *widget(const char *name) { return Control<QWidget>(*window, name); }
    QTimer *timer(const char *name) { return window->findChild<QTimer *>(QString::fromLatin1(name)); }

    // Types the password "test" and the key "taobao" at once: Code16, Code32.
    void derive()
    {
        box("txtPassword")->setText(QStringLiteral("test"));
        box("txtKey")->setText(QStringLiteral("taobao"));
    }
};

// Base of a window test: every test function gets a fresh, shown and active
// window. A test that needs something done first declares its own init()
// and calls openWindow().
class WindowTest : public QObject {
    Q_OBJECT

protected:
    std::unique_ptr<Harness> m_harness;

    mnemora::FrmMain &window() { return *m_harness->window; }
    QLineEdit *box(const char *name) { return m_harness->box(name); }
    QWidget *widget(const char *name) { return m_harness->widget(name); }
    QTimer *timer(const char *name) { return m_harness->timer(name); }
    void derive() { m_harness->derive(); }

    void openWindow()
    {
        m_harness = std::make_unique<Harness>();
        QVERIFY(m_harness->showActive());
    }

private slots:
    void initTestCase() { mnemora::SetUpFonts(); }
    void init() { openWindow(); }
    void cleanup() { m_harness.reset(); }
};

// One tick of a timer, delivered the way the running timer delivers it.
inline bool Fire(QTimer *timer)
{
    return timer && QMetaObject::invokeMethod(timer, "timeout");
}

// The colour of the picture at a point given in device-independent pixels.
inline QRgb PixelAt(const QImage &image, QPoint logical)
{
    const qreal ratio = image.devicePixelRatio();
    return image.pixel(qRound(logical.x() * ratio), qRound(logical.y() * ratio)) & 0xFFFFFF;
}

// Types the text key by key. Unlike QTest::keyClicks it also types
// characters outside Latin-1, each surrogate pair as one keystroke.
inline void Type(QWidget *widget, const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.unicode() >= 0x20 && c.unicode() < 0x7F) {
            QTest::keyClick(widget, static_cast<char>(c.unicode()));
            continue;
        }
        const qsizetype units = c.isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, text.mid(i, units), Qt::NoModifier);
        i += units - 1;
    }
}

inline void SendMouseMove(QWidget *widget)
{
    const QPointF centre = QRectF(widget->rect()).center();
    QMouseEvent move(
        QEvent::MouseMove, centre, widget->mapToGlobal(centre), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

} // namespace uitest
