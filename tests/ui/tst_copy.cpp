// The copy action: what reaches the clipboard, the confirmation's six ticks,
// and the clipboard being emptied again later.

#include "UiTestSupport.h"

#include "Clipboard.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QProcess>

using uitest::Code16;
using uitest::Code32;
using uitest::SystemClipboard;

class CopyTest : public uitest::WindowTest {
    Q_OBJECT

private:
    void clickCopy() { QTest::mouseClick(widget("lblCopy"), Qt::LeftButton); }
    bool confirmationShown() { return widget("ImgCopy")->isVisible(); }
    QTimer *tmrShow() { return timer("TmrShow"); }
    QTimer *clearTimer() { return window().findChild<QTimer *>(QStringLiteral("ClipboardClearTimer")); }

private slots:
    void init()
    {
        SystemClipboard()->setText(QStringLiteral("the user's own text"));
        openWindow();
    }

    void copyingNothingLeavesTheClipboardAlone()
    {
        clickCopy();
        QCOMPARE(SystemClipboard()->text(), QStringLiteral("the user's own text"));
        QVERIFY(!confirmationShown());
        QVERIFY(!tmrShow()->isActive());
        QVERIFY(!clearTimer()->isActive());
    }

    void copyPutsExactlyTheShortCodeOnTheClipboard()
    {
        derive();
        clickCopy();
        QCOMPARE(SystemClipboard()->text(), Code16);
        QVERIFY(SystemClipboard()->text() != Code32);
        QVERIFY(confirmationShown());
        QVERIFY(tmrShow()->isActive());
    }

    void copyMarksTheCodeAsASecret_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QByteArray>("content");

        // clang-format off
        QTest::newRow("plain text holds the code") << "text/plain" << Code16.toUtf8();
        QTest::newRow("KDE's clipboard manager is told it is a secret") << "x-kde-passwordManagerHint" << QByteArray("secret");
        QTest::newRow("macOS conceals it") << "application/x-nspasteboard-concealed-type" << Code16.toUtf8();
        QTest::newRow("Windows keeps it from clipboard monitors") << "ExcludeClipboardContentFromMonitorProcessing" << QByteArray(1, '\0');
        QTest::newRow("Windows keeps it out of the clipboard history") << "CanIncludeInClipboardHistory" << QByteArray(4, '\0');
        QTest::newRow("Windows keeps it off the cloud clipboard") << "CanUploadToCloudClipboard" << QByteArray(4, '\0');
        // clang-format on
    }

    void copyMarksTheCodeAsASecret()
    {
        QFETCH(QString, format);
        QFETCH(QByteArray, content);

        derive();
        clickCopy();
        const QMimeData *data = SystemClipboard()->mimeData(QClipboard::Clipboard);
        QVERIFY(data);
        QVERIFY2(data->hasFormat(format), qPrintable(data->formats().join(QLatin1Char(' '))));
        QCOMPARE(data->data(format), content);
    }

    void everyCopyOfACodeIsProtected_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<bool>("byMenu");
        QTest::addColumn<QString>("expected");

        QTest::newRow("Ctrl+C in the 16-character box") << "txtCode16" << false << Code16;
        QTest::newRow("Ctrl+C in the 32-character box") << "txtCode32" << false << Code32;
        QTest::newRow("Copy in the 16-character box's menu") << "txtCode16" << true << Code16;
        QTest::newRow("Copy in the 32-character box's menu") << "txtCode32" << true << Code32;
    }

    void everyCopyOfACodeIsProtected()
    {
        QFETCH(QString, box);
        QFETCH(bool, byMenu);
        QFETCH(QString, expected);

        derive();
        auto *output = uitest::Control<QLineEdit>(window(), box);
        output->setFocus(Qt::TabFocusReason);
        if (byMenu) {
            QContextMenuEvent request(QContextMenuEvent::Keyboard, output->rect().center(),
                output->mapToGlobal(output->rect().center()));
            QApplication::sendEvent(output, &request);
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            QVERIFY(menu);
            QAction *copy = menu->findChild<QAction *>(QStringLiteral("edit-copy"));
            QVERIFY(copy);
            copy->trigger();
            menu->close();
        } else {
            QTest::keyClick(output, Qt::Key_C, Qt::ControlModifier);
        }
        QCOMPARE(SystemClipboard()->text(), expected);
        QVERIFY(
            SystemClipboard()->mimeData()->hasFormat(QString::fromLatin1(mnemora::Clipboard::KdeHintFormat)));
        QVERIFY(clearTimer()->isActive());
        QVERIFY(confirmationShown());
    }

    void copyLeavesTheSelectionAlone()
    {
        if (!SystemClipboard()->supportsSelection())
            QSKIP("this platform has no selection clipboard");
        SystemClipboard()->setText(QStringLiteral("selected elsewhere"), QClipboard::Selection);
        derive();
        clickCopy();
        QCOMPARE(SystemClipboard()->text(QClipboard::Selection), QStringLiteral("selected elsewhere"));
    }

    void theConfirmationLastsSixTicks_data()
    {
        QTest::addColumn<int>("ticks");
        QTest::addColumn<bool>("shown");

        QTest::newRow("one tick keeps the confirmation") << 1 << true;
        QTest::newRow("five ticks keep the confirmation") << 5 << true;
        QTest::newRow("the sixth tick hides the confirmation") << 6 << false;
    }

    void theConfirmationLastsSixTicks()
    {
        QFETCH(int, ticks);
        QFETCH(bool, shown);

        derive();
        clickCopy();
        for (int i = 0; i < ticks; ++i)
            QVERIFY(uitest::Fire(tmrShow()));
        QCOMPARE(confirmationShown(), shown);
        QCOMPARE(tmrShow()->isActive(), shown);
        QCOMPARE(tmrShow()->interval(), 200);
        // A coarse timer fires up to 5 % early: 1.14 s instead of 1.2 s.
        QCOMPARE(tmrShow()->timerType(), Qt::PreciseTimer);
    }

    void aSecondCopyDoesNotLengthenTheConfirmation()
    {
        derive();
        clickCopy();
        for (int i = 0; i < 3; ++i)
            QVERIFY(uitest::Fire(tmrShow()));
        clickCopy();
        QVERIFY(confirmationShown());
        for (int i = 0; i < 3; ++i)
            QVERIFY(uitest::Fire(tmrShow()));
        QVERIFY(!confirmationShown());
        QVERIFY(!tmrShow()->isActive());
    }

    void theCountStartsAfreshOnceHidden()
    {
        derive();
        clickCopy();
        for (int i = 0; i < 6; ++i)
            QVERIFY(uitest::Fire(tmrShow()));
        QVERIFY(!confirmationShown());

        clickCopy();
        for (int i = 0; i < 5; ++i)
            QVERIFY(uitest::Fire(tmrShow()));
        QVERIFY(confirmationShown());
        QVERIFY(uitest::Fire(tmrShow()));
        QVERIFY(!confirmationShown());
    }

    void theCopyLabelStillWorksUnderTheHighlight()
    {
        derive();
        uitest::SendMouseMove(widget("lblCopy"));
        QVERIFY(widget("ImgCode")->isVisible());
        clickCopy();
        QCOMPARE(SystemClipboard()->text(), Code16);
    }

    void aSilentClipboardOwnerDoesNotFreezeTheWindow()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs an X11 display, where another program can own the clipboard");
        derive();
        clickCopy();
        // Another program takes the clipboard over and never answers a request.
        QProcess owner;
        owner.start(QStringLiteral(MNEMORA_PYTHON), {QStringLiteral(MNEMORA_X11_CLIPBOARD_PEER), "mute"});
        QVERIFY2(owner.waitForReadyRead(10000), owner.readAllStandardError().constData());
        QTRY_VERIFY(!SystemClipboard()->ownsClipboard());

        // A keystroke arriving as the clearing check starts is answered at once.
        QLineEdit *key = box("txtKey");
        QElapsedTimer clock;
        qint64 answeredAfter = -1;
        connect(key, &QLineEdit::textChanged, this, [&] { answeredAfter = clock.elapsed(); });
        QTimer::singleShot(0, this, [&] {
            clock.start();
            QCoreApplication::postEvent(
                key, new QKeyEvent(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x")));
            QVERIFY(uitest::Fire(clearTimer()));
        });
        QTRY_VERIFY_WITH_TIMEOUT(answeredAfter >= 0, 20000);
        QVERIFY2(answeredAfter < 100, qPrintable(QStringLiteral("answered after %1 ms").arg(answeredAfter)));
        owner.closeWriteChannel();
        QVERIFY(owner.waitForFinished(5000));
    }

    void theWindowClearsItsCodeThirtySecondsLater()
    {
        QCOMPARE(clearTimer()->interval(), 30000);
        derive();
        clickCopy();
        QVERIFY(clearTimer()->isActive());
        QVERIFY(clearTimer()->isSingleShot());
        QVERIFY(uitest::Fire(clearTimer()));
        QVERIFY(SystemClipboard()->text().isEmpty());
    }
};

QTEST_MAIN(CopyTest)
#include "tst_copy.moc"
