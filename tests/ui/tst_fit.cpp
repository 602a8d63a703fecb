// The dialog that fits a code to a site's rules, opened from a code box's
// context menu with the keyboard alone: it shows the command line's fitted
// code for the same password, key and rule, and names the wrong part of a
// bad rule.

#include "UiTestSupport.h"

#include "Clipboard.h"

#include <QAccessible>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>

namespace {

// The fitted code the command line prints for the password "test".
QString CommandLineCode(const QString &rule, const QString &key)
{
    QProcess cli;
    cli.start(QStringLiteral(MNEMORA_CLI), {QStringLiteral("--rules"), rule, key});
    cli.write("test\n");
    cli.closeWriteChannel();
    if (!cli.waitForFinished(30000) || cli.exitCode() != 0)
        return QStringLiteral("(mnemora-cli failed: %1)").arg(QString::fromUtf8(cli.readAllStandardError()));
    return QString::fromUtf8(cli.readAllStandardOutput()).trimmed();
}

} // namespace

class FitTest : public uitest::WindowTest {
    Q_OBJECT

    // Opens the dialog from the 16-character box's menu with the keys given.
    QDialog *openDialog(Qt::Key key, Qt::KeyboardModifiers modifiers)
    {
        QWidget *code16 = widget("txtCode16");
        code16->setFocus();
        QTest::keyClick(code16, key, modifiers);
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu || !menu->findChild<QAction *>(QStringLiteral("fit-to-rules")))
            return nullptr;
        QTest::keyClick(menu, Qt::Key_F);
        auto *dialog = window().findChild<QDialog *>(QStringLiteral("FitDialog"));
        return dialog && QTest::qWaitForWindowActive(dialog) ? dialog : nullptr;
    }

private slots:
    void theDialogShowsTheCommandLinesCode_data()
    {
        QTest::addColumn<Qt::Key>("key");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<QString>("rule");

        QTest::newRow("the menu key, a rule the plain code misses")
            << Qt::Key_Menu << Qt::KeyboardModifiers() << QStringLiteral("required: special; maxlength: 12;");
        QTest::newRow("Shift+F10, a rule of digits")
            << Qt::Key_F10 << Qt::KeyboardModifiers(Qt::ShiftModifier)
            << QStringLiteral("allowed: digit; minlength: 6; maxlength: 6;");
    }

    void theDialogShowsTheCommandLinesCode()
    {
        QFETCH(Qt::Key, key);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(QString, rule);

        derive();
        QDialog *dialog = openDialog(key, modifiers);
        QVERIFY(dialog);
        auto *ruleField = dialog->findChild<QLineEdit *>(QStringLiteral("rule"));
        QTest::keyClick(dialog->focusWidget(), Qt::Key_Tab);
        QCOMPARE(dialog->focusWidget(), ruleField);
        uitest::Type(ruleField, rule);
        const QString fitted = dialog->findChild<QLineEdit *>(QStringLiteral("code"))->text();
        QCOMPARE(fitted, CommandLineCode(rule, QStringLiteral("taobao")));
        QVERIFY(!dialog->findChild<QLabel *>(QStringLiteral("words"))->text().isEmpty());

        // The copy button copies it as the window copies a code: marked as a secret.
        dialog->findChild<QPushButton *>(QStringLiteral("copy"))->click();
        QCOMPARE(uitest::SystemClipboard()->text(), fitted);
        QVERIFY(uitest::SystemClipboard()->mimeData()->hasFormat(
            QString::fromLatin1(mnemora::Clipboard::KdeHintFormat)));

        // Escape closes it, and the code goes with it.
        QTest::keyClick(ruleField, Qt::Key_Escape);
        QTRY_VERIFY(!window().findChild<QDialog *>(QStringLiteral("FitDialog")));
    }

    // Keyboard alone, with a screen reader: Tab visits every control in
    // the order shown, and each has a name without its access key's mark.
    void tabVisitsNamedControlsInOrder()
    {
        derive();
        QDialog *dialog = openDialog(Qt::Key_F10, Qt::ShiftModifier);
        QVERIFY(dialog);
        uitest::Type(dialog->focusWidget(), QStringLiteral("example.com"));
        QTest::keyClick(dialog->focusWidget(), Qt::Key_Tab);
        uitest::Type(dialog->focusWidget(), QStringLiteral("required: digit;"));
        QStringList visited;
        for (int i = 0; i < 9; ++i) {
            QWidget *focus = dialog->focusWidget();
            const QString name = QAccessible::queryAccessibleInterface(focus)->text(QAccessible::Name);
            QVERIFY2(!name.isEmpty() && !name.contains(QLatin1Char('&')), qPrintable(name));
            visited << focus->objectName();
            QTest::keyClick(focus, Qt::Key_Tab);
        }
        QCOMPARE(visited,
            QStringList(
                {"rule", "withSymbol", "atMost", "digitsOnly", "length", "code", "copy", "close", "site"}));
    }

    void aBadRuleNamesItsWrongPart()
    {
        derive();
        QDialog *dialog = openDialog(Qt::Key_Menu, Qt::NoModifier);
        QVERIFY(dialog);
        uitest::Type(dialog->findChild<QLineEdit *>(QStringLiteral("rule")), QStringLiteral("maxlength: 0;"));
        QVERIFY(dialog->findChild<QLineEdit *>(QStringLiteral("code"))->text().isEmpty());
        QVERIFY2(dialog->findChild<QLabel *>(QStringLiteral("message"))
                     ->text()
                     .contains(QStringLiteral("maxlength")),
            qPrintable(dialog->findChild<QLabel *>(QStringLiteral("message"))->text()));
    }
};

QTEST_MAIN(FitTest)
#include "tst_fit.moc"
