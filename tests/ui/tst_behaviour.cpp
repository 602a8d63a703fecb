// What the window does while the user types, moves the pointer and clicks:
// regeneration of the codes, select-all on focus, the hover highlight, the
// links and the refusal to derive after a failed self-test.

#include "UiTestSupport.h"

#include "GenerateCodes.h"
#include "Label.h"

#include <QClipboard>
#include <QLabel>
#include <QMessageBox>
#include <QSignalSpy>

using uitest::Control;

namespace {

QString Str(const std::u16string &text)
{
    return QString::fromStdU16String(text);
}

// How a test changes an input box after typing into it.
enum class Edit { Typing, DeletingTheSelection, Pasting, InputMethod };

} // namespace

Q_DECLARE_METATYPE(Edit)

class BehaviourTest : public uitest::WindowTest {
    Q_OBJECT

private slots:
    void typingFillsTheCodesOnceBothBoxesHoldText_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("code16");
        QTest::addColumn<QString>("code32");

        // clang-format off
        QTest::newRow("test with the key taobao gives its known codes") << "test" << "taobao" << "a20caCf8Eb1b8B6d" << "a20caCf8Eb1b8B6d5b8a66996910E124";
        QTest::newRow("taobao with the key test starts its short code with K") << "taobao" << "test" << "KA55784DDe9C7632" << "5A55784DDe9C7632Fcb5685EB6F6F1DE";
        QTest::newRow("a Chinese password with a Chinese key gives its known codes") << QStringLiteral(u"密码") << QStringLiteral(u"淘宝") << "B992378745248eCD" << "B992378745248eCD44c7062dA515FdBc";
        // clang-format on
    }

    void typingFillsTheCodesOnceBothBoxesHoldText()
    {
        QFETCH(QString, password);
        QFETCH(QString, key);
        QFETCH(QString, code16);
        QFETCH(QString, code32);

        uitest::Type(box("txtPassword"), password.left(1));
        QVERIFY(box("txtCode16")->text().isEmpty());
        QVERIFY(box("txtCode32")->text().isEmpty());

        uitest::Type(box("txtPassword"), password.mid(1));
        QVERIFY(box("txtCode16")->text().isEmpty());

        box("txtKey")->setFocus();
        uitest::Type(box("txtKey"), key);
        QCOMPARE(box("txtCode16")->text(), code16);
        QCOMPARE(box("txtCode32")->text(), code32);
    }

    void everyKeystrokeRegenerates()
    {
        box("txtPassword")->setText(QStringLiteral("test"));
        QString key;
        for (const QChar c : QStringLiteral("taobao")) {
            QTest::keyClick(box("txtKey"), c.toLatin1());
            key += c;
            const mnemora::Codes expected = mnemora::GenerateCodes(u"test", key.toStdU16String());
            QCOMPARE(box("txtCode16")->text(), Str(expected.code16));
            QCOMPARE(box("txtCode32")->text(), Str(expected.code32));
        }
    }

    void deletingEitherInputEmptiesBothCodes_data()
    {
        QTest::addColumn<QString>("emptied");

        QTest::newRow("deleting the whole password empties both codes") << "txtPassword";
        QTest::newRow("deleting the whole key empties both codes") << "txtKey";
    }

    void deletingEitherInputEmptiesBothCodes()
    {
        QFETCH(QString, emptied);

        derive();
        QCOMPARE(box("txtCode16")->text(), uitest::Code16);

        auto *input = Control<QLineEdit>(window(), emptied);
        input->setFocus();
        input->end(false);
        while (!input->text().isEmpty()) {
            QTest::keyClick(input, Qt::Key_Backspace);
            // Every shorter text derives again until the box is empty.
            QCOMPARE(box("txtCode16")->text().isEmpty(), input->text().isEmpty());
        }
        QVERIFY(box("txtCode16")->text().isEmpty());
        QVERIFY(box("txtCode32")->text().isEmpty());
    }

    void the16CharacterCodeIsWrittenFirst_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("then");

        // clang-format off
        QTest::newRow("deriving writes the 16-character code before the 32-character one") << "test" << "taobao" << "taobaox";
        QTest::newRow("emptying clears the 16-character code before the 32-character one") << "test" << "taobao" << "";
        // clang-format on
    }

    void the16CharacterCodeIsWrittenFirst()
    {
        QFETCH(QString, password);
        QFETCH(QString, key);
        QFETCH(QString, then);

        box("txtPassword")->setText(password);
        box("txtKey")->setText(key);

        QStringList writes;
        connect(
            box("txtCode16"), &QLineEdit::textChanged, this, [&writes] { writes << QStringLiteral("16"); });
        connect(
            box("txtCode32"), &QLineEdit::textChanged, this, [&writes] { writes << QStringLiteral("32"); });
        box("txtKey")->setText(then);
        QCOMPARE(writes, (QStringList{"16", "32"}));
    }

    void outputBoxesIgnoreTyping()
    {
        derive();
        for (const char *name : {"txtCode16", "txtCode32"}) {
            QLineEdit *output = box(name);
            const QString before = output->text();
            output->setFocus();
            uitest::Type(output, QStringLiteral("xyz"));
            QTest::keyClick(output, Qt::Key_Backspace);
            QTest::keyClick(output, Qt::Key_Delete);
            QCOMPARE(output->text(), before);
        }
    }

    void gettingTheFocusSelectsTheWholeText_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("from");
        QTest::addColumn<bool>("byClick");

        // clang-format off
        QTest::newRow("tabbing into the password box selects the password") << "txtPassword" << "txtCode32" << false;
        QTest::newRow("tabbing into the key box selects the key") << "txtKey" << "txtPassword" << false;
        QTest::newRow("tabbing into the 16-character box selects the code") << "txtCode16" << "txtKey" << false;
        QTest::newRow("tabbing into the 32-character box selects the code") << "txtCode32" << "txtCode16" << false;
        QTest::newRow("clicking into the password box selects the password") << "txtPassword" << "txtKey" << true;
        QTest::newRow("clicking into the key box selects the key") << "txtKey" << "txtPassword" << true;
        QTest::newRow("clicking into the 16-character box selects the code") << "txtCode16" << "txtKey" << true;
        QTest::newRow("clicking into the 32-character box selects the code") << "txtCode32" << "txtKey" << true;
        // clang-format on
    }

    void gettingTheFocusSelectsTheWholeText()
    {
        QFETCH(QString, target);
        QFETCH(QString, from);
        QFETCH(bool, byClick);

        derive();
        auto *destination = Control<QLineEdit>(window(), target);
        auto *origin = Control<QLineEdit>(window(), from);
        destination->deselect();
        origin->setFocus();
        QCOMPARE(QApplication::focusWidget(), origin);

        if (byClick)
            QTest::mouseClick(destination, Qt::LeftButton, {}, QPoint(4, destination->height() / 2));
        else
            QTest::keyClick(origin, Qt::Key_Tab);

        QCOMPARE(QApplication::focusWidget(), destination);
        QVERIFY(!destination->text().isEmpty());
        QCOMPARE(destination->selectedText(), destination->text());
    }

    void hoverHighlight_data()
    {
        QTest::addColumn<bool>("shownBefore");
        QTest::addColumn<QString>("over");
        QTest::addColumn<bool>("shownAfter");

        QTest::newRow("moving over the copy label shows the highlight") << false << "lblCopy" << true;
        QTest::newRow("moving over the panel hides the highlight") << true << "PicContrl" << false;
        QTest::newRow("moving over the 16-character box hides the highlight") << true << "txtCode16" << false;
        QTest::newRow("moving over the highlight itself keeps it") << true << "ImgCode" << true;
        QTest::newRow("moving over the 32-character box keeps it") << true << "txtCode32" << true;
        QTest::newRow("moving over the donation button keeps it") << true << "ImgDonation" << true;
        QTest::newRow("moving over the password box keeps it hidden") << false << "txtPassword" << false;
    }

    void hoverHighlight()
    {
        QFETCH(bool, shownBefore);
        QFETCH(QString, over);
        QFETCH(bool, shownAfter);

        QWidget *highlight = widget("ImgCode");
        highlight->setVisible(shownBefore);
        uitest::SendMouseMove(Control(window(), over));
        QCOMPARE(highlight->isVisible(), shownAfter);
    }

    void linksOpenTheirPages_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("address");

        // clang-format off
        QTest::newRow("the donation button opens the donation page") << "ImgDonation" << "https://mnemora.example.org/donate";
        QTest::newRow("Tarrow's avatar opens Tarrow's page") << "ImgTarrow" << "https://mnemora.example.org/contributors/tarrow";
        QTest::newRow("Belmir's avatar opens Belmir's page") << "ImgBelmir" << "https://mnemora.example.org/contributors/belmir";
        QTest::newRow("Odrin's avatar opens Odrin's page") << "ImgOdrin" << "https://mnemora.example.org/contributors/odrin";
        QTest::newRow("Pelu's avatar opens Pelu's page") << "ImgPelu" << "https://mnemora.example.org/contributors/pelu";
        QTest::newRow("the copyright line opens the home page") << "lblCopyright" << "https://mnemora.example.org/";
        // clang-format on
    }

    void linksOpenTheirPages()
    {
        QFETCH(QString, control);
        QFETCH(QString, address);

        QTest::mouseClick(Control(window(), control), Qt::LeftButton);
        QCOMPARE(m_harness->opened.size(), std::size_t{1});
        QCOMPARE(m_harness->opened.front(), QUrl(address));
    }

    void aDoubleClickActsOnce_data()
    {
        QTest::addColumn<QString>("control");

        QTest::newRow("a double-click on an avatar opens its page once") << "ImgPelu";
        QTest::newRow("a double-click on the copyright line opens the home page once") << "lblCopyright";
        QTest::newRow("a double-click on the copy button copies once") << "lblCopy";
    }

    void aDoubleClickActsOnce()
    {
        QFETCH(QString, control);

        derive();
        auto *label = Control<mnemora::Label>(window(), control);
        QSignalSpy clicks(label, &mnemora::Label::clicked);
        // Through the window, as the platform delivers it: press, release,
        // press and double-click, release.
        const QPoint at = label->mapTo(&window(), label->rect().center());
        QTest::mouseDClick(window().windowHandle(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(window().windowHandle(), Qt::LeftButton, {}, at);
        QCOMPARE(clicks.size(), 1);
        if (control != QLatin1String("lblCopy"))
            QCOMPARE(m_harness->opened.size(), std::size_t{1});
    }

    void onlyALeftClickOnTheControlOpensAPage_data()
    {
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<bool>("releasedOutside");

        QTest::newRow("a right click opens nothing") << Qt::RightButton << false;
        QTest::newRow("a press released off the control opens nothing") << Qt::LeftButton << true;
    }

    void onlyALeftClickOnTheControlOpensAPage()
    {
        QFETCH(Qt::MouseButton, button);
        QFETCH(bool, releasedOutside);

        QWidget *avatar = widget("ImgPelu");
        QTest::mousePress(avatar, button, {}, QPoint(10, 10));
        QTest::mouseRelease(avatar, button, {}, releasedOutside ? QPoint(40, 10) : QPoint(10, 10));
        QVERIFY(m_harness->opened.empty());
        // The same control still opens its page on a real click.
        QTest::mouseClick(avatar, Qt::LeftButton);
        QCOMPARE(m_harness->opened.size(), std::size_t{1});
    }

    void overLongInputEmptiesTheCodes_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("derives");

        const QString han(1, QChar(0x5BC6)); // three bytes in UTF-8
        QTest::newRow("40,000 Chinese characters in the password give no codes")
            << "txtPassword" << han.repeated(40000) << false;
        // clang-format off
        QTest::newRow("40,000 Chinese characters in the key give no codes") << "txtKey" << han.repeated(40000) << false;
        QTest::newRow("10,923 Chinese characters are one byte too many") << "txtPassword" << han.repeated(10923) << false;
        QTest::newRow("10,922 Chinese characters still fit") << "txtPassword" << han.repeated(10922) << true;
        QTest::newRow("32,767 letters still fit") << "txtKey" << QString(32767, QLatin1Char('k')) << true;
        QTest::newRow("32,767 letters still fit in the password") << "txtPassword" << QString(32767, QLatin1Char('p')) << true;
        QTest::newRow("32,768 letters are one too many") << "txtKey" << QString(32768, QLatin1Char('k')) << false;
        // clang-format on
    }

    void overLongInputEmptiesTheCodes()
    {
        QFETCH(QString, target);
        QFETCH(QString, text);
        QFETCH(bool, derives);

        derive();
        QVERIFY(!box("txtCode16")->text().isEmpty());

        Control<QLineEdit>(window(), target)->setText(text);
        QCOMPARE(Control<QLineEdit>(window(), target)->text().size(), text.size());
        QCOMPARE(box("txtCode16")->text().isEmpty(), !derives);
        QCOMPARE(box("txtCode32")->text().isEmpty(), !derives);

        // The window stays usable: the next valid input derives again.
        box("txtPassword")->setText(QStringLiteral("taobao"));
        box("txtKey")->setText(QStringLiteral("test"));
        QCOMPARE(box("txtCode16")->text(), QStringLiteral("KA55784DDe9C7632"));
    }

    void pastingAMegabyteEmptiesTheCodes_data()
    {
        QTest::addColumn<QString>("target");

        QTest::newRow("a megabyte pasted into the password gives no codes") << "txtPassword";
        QTest::newRow("a megabyte pasted into the key gives no codes") << "txtKey";
    }

    void pastingAMegabyteEmptiesTheCodes()
    {
        QFETCH(QString, target);

        derive();
        auto *input = Control<QLineEdit>(window(), target);
        QGuiApplication::clipboard()->setText(QString(1 << 20, QLatin1Char('m')));
        input->setFocus();
        input->end(false);
        QTest::keyClick(input, Qt::Key_V, Qt::ControlModifier);
        QVERIFY(input->text().size() > 1 << 20);
        QVERIFY(box("txtCode16")->text().isEmpty());
        QVERIFY(box("txtCode32")->text().isEmpty());

        input->setText(QStringLiteral("ok"));
        QCOMPARE(box("txtCode16")->text().size(), 16);
    }

    void unusualCharactersReachTheDerivation_data()
    {
        QTest::addColumn<QString>("password");

        QTest::newRow("a lone high surrogate") << QString::fromUtf16(u"ab") + QChar(0xD800);
        QTest::newRow("a lone low surrogate") << QChar(0xDC00) + QString::fromUtf16(u"ab");
        QTest::newRow("a NUL character") << QString::fromUtf16(u"a") + QChar(0) + QString::fromUtf16(u"b");
        QTest::newRow("a right-to-left override") << QString::fromUtf16(u"\u202Etest");
        QTest::newRow("a combining accent") << QString::fromUtf16(u"e\u0301");
        QTest::newRow("an emoji") << QString::fromUtf16(u"\U0001F511key");
        QTest::newRow("leading spaces") << QString::fromUtf16(u"  test");
        QTest::newRow("trailing spaces") << QString::fromUtf16(u"test  ");
    }

    void unusualCharactersReachTheDerivation()
    {
        QFETCH(QString, password);

        box("txtKey")->setText(QStringLiteral("taobao"));
        box("txtPassword")->setText(password);
        // Nothing trimmed, normalised or replaced on the way to the derivation.
        QCOMPARE(box("txtPassword")->text(), password);
        const mnemora::Codes expected = mnemora::GenerateCodes(password.toStdU16String(), u"taobao");
        QCOMPARE(box("txtCode16")->text(), Str(expected.code16));
        QCOMPARE(box("txtCode32")->text(), Str(expected.code32));
        QCOMPARE(box("txtCode16")->text().size(), 16);
        QCOMPARE(box("txtCode32")->text().size(), 32);
    }

    void editsOfTheInputsLeaveNoUndoHistory_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<Edit>("edit");

        for (const char *input : {"txtPassword", "txtKey"}) {
            QTest::addRow("typing into %s", input) << input << Edit::Typing;
            QTest::addRow("deleting the selection of %s", input) << input << Edit::DeletingTheSelection;
            QTest::addRow("pasting into %s", input) << input << Edit::Pasting;
            QTest::addRow("an input method's text in %s", input) << input << Edit::InputMethod;
        }
    }

    void editsOfTheInputsLeaveNoUndoHistory()
    {
        QFETCH(QString, input);
        QFETCH(Edit, edit);

        // An undo history holds every character typed or deleted, freed only
        // with the box: a password could be read from it after it is cleared.
        auto *box = Control<QLineEdit>(window(), input);
        box->setFocus();
        uitest::Type(box, QStringLiteral("secret"));
        QString expected = QStringLiteral("secret");
        switch (edit) {
        case Edit::DeletingTheSelection:
            box->selectAll();
            QTest::keyClick(box, Qt::Key_Backspace);
            expected.clear();
            break;
        case Edit::Pasting:
            uitest::SystemClipboard()->setText(QStringLiteral("!"));
            QTest::keySequence(box, QKeySequence::Paste);
            expected += QLatin1Char('!');
            break;
        case Edit::InputMethod: {
            QInputMethodEvent composed(QStringLiteral("x"), {});
            QApplication::sendEvent(box, &composed);
            QInputMethodEvent committed;
            committed.setCommitString(QStringLiteral("!"));
            QApplication::sendEvent(box, &committed);
            expected += QLatin1Char('!');
            break;
        }
        case Edit::Typing:
            break;
        }
        QCOMPARE(box->text(), expected);
        QVERIFY(!box->isUndoAvailable());
    }

    void aTrailingSpaceChangesTheCodes()
    {
        box("txtKey")->setText(QStringLiteral("taobao"));
        box("txtPassword")->setText(QStringLiteral("test"));
        const QString without = box("txtCode32")->text();
        QTest::keyClick(box("txtPassword"), Qt::Key_Space);
        QCOMPARE(box("txtPassword")->text(), QStringLiteral("test "));
        QVERIFY(box("txtCode32")->text() != without);
        QCOMPARE(box("txtCode32")->text().size(), 32);
    }

    // The self-test runs before the first keystroke; a failed one keeps
    // every code off the screen.
    void aFailedSelfTestShowsNoCodes()
    {
        int runs = 0;
        mnemora::FrmMainServices services;
        services.selfTest = [&runs] {
            ++runs;
            return std::string("digest of \"abc\" is wrong");
        };
        uitest::Harness harness(std::move(services));
        QCOMPARE(runs, 1);
        QVERIFY(!harness.window->derivingEnabled());
        harness.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(harness.window.get()));

        QTRY_VERIFY(harness.window->findChild<QMessageBox *>(QStringLiteral("SelfTestFailure")));
        auto *message = harness.window->findChild<QMessageBox *>(QStringLiteral("SelfTestFailure"));
        QTRY_VERIFY(message->isVisible());
        QCOMPARE(message->icon(), QMessageBox::Critical);
        QVERIFY(message->informativeText().contains(QStringLiteral("wrong codes")));

        harness.box("txtPassword")->setText(QStringLiteral("test"));
        harness.box("txtKey")->setText(QStringLiteral("taobao"));
        for (const char *name : {"txtCode16", "txtCode32"}) {
            QVERIFY2(harness.box(name)->text().isEmpty(), name);
            QVERIFY2(!harness.box(name)->isEnabled(), name);
            QVERIFY2(!harness.box(name)->placeholderText().isEmpty(), name);
        }
        message->close();
    }

    void aPassedSelfTestDerives()
    {
        int runs = 0;
        mnemora::FrmMainServices services;
        services.selfTest = [&runs] {
            ++runs;
            return std::string();
        };
        uitest::Harness harness(std::move(services));
        QCOMPARE(runs, 1);
        QVERIFY(harness.window->derivingEnabled());
        QVERIFY(!harness.window->findChild<QMessageBox *>());
        harness.box("txtPassword")->setText(QStringLiteral("test"));
        harness.box("txtKey")->setText(QStringLiteral("taobao"));
        QCOMPARE(harness.box("txtCode16")->text(), uitest::Code16);
    }

    void theBuiltInSelfTestPasses()
    {
        uitest::Harness harness;
        QVERIFY(harness.window->derivingEnabled());
    }
};

QTEST_MAIN(BehaviourTest)

#include "tst_behaviour.moc"
