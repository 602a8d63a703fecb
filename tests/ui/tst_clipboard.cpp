// The clipboard helper on its own: the secret's markers, and the clipboard
// emptied again after a delay the test drives.

#include "Clipboard.h"
#include "UiTestSupport.h"

#include <QApplication>
#include <QClipboard>
#include <QMetaObject>
#include <QMimeData>
#include <QTest>
#include <QTimer>

using mnemora::Clipboard;

using uitest::Fire;
using uitest::SystemClipboard;

class ClipboardTest : public QObject {
    Q_OBJECT

private:
    static QTimer *clearTimer(Clipboard &clipboard)
    {
        return clipboard.findChild<QTimer *>(QStringLiteral("ClipboardClearTimer"));
    }

private slots:
    void init() { SystemClipboard()->setText(QStringLiteral("before")); }

    void theDelayIsInjectable()
    {
        Clipboard clipboard(std::chrono::milliseconds(1234));
        QCOMPARE(clipboard.clearDelay(), std::chrono::milliseconds(1234));
        QCOMPARE(clearTimer(clipboard)->interval(), 1234);
        QCOMPARE(Clipboard().clearDelay(), std::chrono::milliseconds(30000));
    }

    void clearingAfterTheDelay_data()
    {
        QTest::addColumn<QStringList>("copiedByUs");
        QTest::addColumn<QString>("copiedByTheUserSince");
        QTest::addColumn<QString>("left");

        // clang-format off
        QTest::newRow("the code still on the clipboard is cleared") << QStringList{"secret1"} << QString() << QString();
        QTest::newRow("what the user copied since is kept") << QStringList{"secret1"} << "mine" << "mine";
        QTest::newRow("the user copying the same text again still clears it") << QStringList{"secret1"} << "secret1" << QString();
        QTest::newRow("a newer copy is the one cleared") << QStringList{"secret1", "secret2"} << QString() << QString();
        // clang-format on
    }

    void clearingAfterTheDelay()
    {
        QFETCH(QStringList, copiedByUs);
        QFETCH(QString, copiedByTheUserSince);
        QFETCH(QString, left);

        Clipboard clipboard;
        for (const QString &secret : copiedByUs)
            clipboard.copySecret(secret);
        QCOMPARE(SystemClipboard()->text(), copiedByUs.back());
        if (!copiedByTheUserSince.isNull())
            SystemClipboard()->setText(copiedByTheUserSince);

        QVERIFY(clearTimer(clipboard)->isActive());
        QVERIFY(Fire(clearTimer(clipboard)));
        QCOMPARE(SystemClipboard()->text(), left);
        QVERIFY(!clearTimer(clipboard)->isActive());
    }

    void anOlderSecretIsNotCleared()
    {
        // After the newer secret has been replaced by the user, the older one
        // must not count as "still on the clipboard" either.
        Clipboard clipboard;
        clipboard.copySecret(QStringLiteral("old"));
        clipboard.copySecret(QStringLiteral("new"));
        SystemClipboard()->setText(QStringLiteral("old"));
        clipboard.clearIfUnchanged();
        QCOMPARE(SystemClipboard()->text(), QStringLiteral("old"));
    }

    void clearingTwiceDoesNothingMore()
    {
        Clipboard clipboard;
        clipboard.copySecret(QStringLiteral("secret"));
        clipboard.clearIfUnchanged();
        SystemClipboard()->setText(QStringLiteral("secret"));
        clipboard.clearIfUnchanged();
        QCOMPARE(SystemClipboard()->text(), QStringLiteral("secret"));
    }

    void anEmptySecretIsIgnored()
    {
        Clipboard clipboard;
        clipboard.copySecret(QString());
        QCOMPARE(SystemClipboard()->text(), QStringLiteral("before"));
        QVERIFY(!clearTimer(clipboard)->isActive());
    }

    void aNewCopyRestartsTheDelay()
    {
        Clipboard clipboard(std::chrono::seconds(10));
        QTimer *timer = clearTimer(clipboard);
        // A coarse timer's expiry snaps to a grid that would hide the difference.
        timer->setTimerType(Qt::PreciseTimer);
        clipboard.copySecret(QStringLiteral("one"));
        QTest::qWait(300);
        const int leftBefore = timer->remainingTime();
        clipboard.copySecret(QStringLiteral("two"));
        QVERIFY(timer->isActive());
        QVERIFY2(timer->remainingTime() > leftBefore,
            qPrintable(
                QStringLiteral("%1 ms left before, %2 after").arg(leftBefore).arg(timer->remainingTime())));
    }
};

QTEST_MAIN(ClipboardTest)
#include "tst_clipboard.moc"
