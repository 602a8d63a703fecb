// What assistive technology learns about the window: a Chinese name and
// description for every control, roles and actions that match what a mouse
// can do, the copy confirmation announced, and never the password itself.
// What reaches the real bus is checked by test_atspi_bus.py.

#include "UiTestSupport.h"

#include "Label.h"

#include <QAccessible>
#include <QAccessibleEvent>
#include <QClipboard>

#include <algorithm>

using uitest::Control;

namespace {

struct Announcement {
    QObject *object;
    QAccessible::Event type;
};

std::vector<Announcement> Announcements;

void RecordAnnouncement(QAccessibleEvent *event)
{
    Announcements.push_back({event->object(), event->type()});
}

} // namespace

class AccessibilityTest : public uitest::WindowTest {
    Q_OBJECT

private slots:
    void everyControlIsNamed_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("name");

        // clang-format off
        QTest::newRow("the password box is named after its caption") << "txtPassword" << QStringLiteral(u"记忆密码");
        QTest::newRow("the key box is named after its caption") << "txtKey" << QStringLiteral(u"区分代号");
        QTest::newRow("the 16-character box is named after its caption") << "txtCode16" << QStringLiteral(u"16位码（推荐）");
        QTest::newRow("the 32-character box is named after its caption") << "txtCode32" << QStringLiteral(u"32位完整MD5码");
        QTest::newRow("the copy label says click to copy") << "lblCopy" << QStringLiteral(u"点击复制");
        QTest::newRow("the confirmation says copied") << "ImgCopy" << QStringLiteral(u"复制成功");
        QTest::newRow("the donation button says donate") << "ImgDonation" << QStringLiteral(u"捐助Mnemora");
        QTest::newRow("Tarrow's avatar carries the nickname") << "ImgTarrow" << "Tarrow";
        QTest::newRow("Belmir's avatar carries the nickname") << "ImgBelmir" << "Belmir";
        QTest::newRow("Odrin's avatar carries the nickname") << "ImgOdrin" << "Odrin";
        QTest::newRow("Pelu's avatar carries the nickname") << "ImgPelu" << "Pelu";
        for (const char *other : {"FrmMain", "ImgLogo", "PicContrl", "lblCopyright"})
            QTest::addRow("%s has a name", other) << other << QString();
        // clang-format on
    }

    void everyControlIsNamed()
    {
        QFETCH(QString, control);
        QFETCH(QString, name);

        QWidget *widget = Control(window(), control);
        QAccessibleInterface *face = QAccessible::queryAccessibleInterface(widget);
        QVERIFY(face);
        if (name.isEmpty())
            QVERIFY(!face->text(QAccessible::Name).isEmpty());
        else
            QCOMPARE(face->text(QAccessible::Name), name);
        QVERIFY(!face->text(QAccessible::Description).isEmpty());
    }

    void everyControlHasItsRole_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QAccessible::Role>("role");

        QTest::newRow("the copy hot spot is a button") << "lblCopy" << QAccessible::Button;
        for (const char *link :
            {"ImgDonation", "ImgTarrow", "ImgBelmir", "ImgOdrin", "ImgPelu", "lblCopyright"})
            QTest::addRow("%s is a link", link) << link << QAccessible::Link;
        QTest::newRow("the panel is a grouping") << "PicContrl" << QAccessible::Grouping;
        QTest::newRow("the confirmation is a notification") << "ImgCopy" << QAccessible::Notification;
        QTest::newRow("the logo is a graphic") << "ImgLogo" << QAccessible::Graphic;
    }

    void everyControlHasItsRole()
    {
        QFETCH(QString, control);
        QFETCH(QAccessible::Role, role);

        QAccessibleInterface *face = QAccessible::queryAccessibleInterface(Control(window(), control));
        QVERIFY(face);
        QCOMPARE(face->role(), role);
        // Buttons and links can be pressed; nothing else pretends to be.
        const bool pressable = role == QAccessible::Button || role == QAccessible::Link;
        QCOMPARE(face->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()),
            pressable);
        // No control repeats the window's name.
        QVERIFY(face->text(QAccessible::Name) != window().accessibleName());
    }

    void pressingActsLikeAClick_data()
    {
        QTest::addColumn<QString>("control");

        QTest::newRow("pressing the copy button copies the code") << "lblCopy";
        QTest::newRow("pressing the donation link opens its page") << "ImgDonation";
    }

    void pressingActsLikeAClick()
    {
        QFETCH(QString, control);

        derive();
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        QAccessibleInterface *face = QAccessible::queryAccessibleInterface(Control(window(), control));
        face->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        if (control == QLatin1String("lblCopy")) {
            QTRY_COMPARE(QGuiApplication::clipboard()->text(), uitest::Code16);
        } else {
            QTRY_COMPARE(m_harness->opened.size(), std::size_t{1});
            QCOMPARE(m_harness->opened.front(), QUrl(QStringLiteral("https://mnemora.example.org/donate")));
        }
    }

    void theHighlightIsLeftOutOfTheTree()
    {
        QWidget *panel = widget("PicContrl");
        QAccessibleInterface *face = QAccessible::queryAccessibleInterface(panel);
        const QList<QWidget *> widgets = panel->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
        QCOMPARE(face->childCount(), widgets.size() - 1);
        for (int i = 0; i < face->childCount(); ++i) {
            QVERIFY(face->child(i)->object() != widget("ImgCode"));
            QCOMPARE(face->indexOfChild(face->child(i)), i);
        }
    }

    void theInputsControlTheCodes_data()
    {
        QTest::addColumn<QString>("input");

        QTest::newRow("the password box controls both code boxes") << "txtPassword";
        QTest::newRow("the key box controls both code boxes") << "txtKey";
    }

    void theInputsControlTheCodes()
    {
        QFETCH(QString, input);

        QAccessibleInterface *face = QAccessible::queryAccessibleInterface(Control(window(), input));
        QList<QObject *> controlled;
        for (const auto &[target, relation] : face->relations(QAccessible::Controlled))
            controlled << target->object();
        QCOMPARE(controlled.size(), 2);
        QVERIFY(controlled.contains(widget("txtCode16")));
        QVERIFY(controlled.contains(widget("txtCode32")));
    }

    void thePasswordIsNeverExposed_data()
    {
        QTest::addColumn<QString>("password");

        QTest::newRow("a Latin password stays hidden") << "s3cret-pass";
        QTest::newRow("a Chinese password stays hidden") << QStringLiteral(u"我的密码");
    }

    void thePasswordIsNeverExposed()
    {
        QFETCH(QString, password);

        QLineEdit *input = box("txtPassword");
        uitest::Type(input, password);
        QCOMPARE(input->text(), password);

        QAccessibleInterface *face = QAccessible::queryAccessibleInterface(input);
        QVERIFY(face);
        QCOMPARE(face->role(), QAccessible::EditableText);
        QVERIFY(face->state().passwordEdit);
        for (const QAccessible::Text kind :
            {QAccessible::Name, QAccessible::Description, QAccessible::Value, QAccessible::Help})
            QVERIFY2(!face->text(kind).contains(password.left(3)), qPrintable(face->text(kind)));
        if (QAccessibleTextInterface *text = face->textInterface())
            QVERIFY(!text->text(0, text->characterCount()).contains(password.left(3)));
    }

    void theKeyIsReadable()
    {
        // The contrast to the password box: the key box does expose its text.
        QLineEdit *key = box("txtKey");
        uitest::Type(key, QStringLiteral("taobao"));
        QCOMPARE(
            QAccessible::queryAccessibleInterface(key)->text(QAccessible::Value), QStringLiteral("taobao"));
    }

    void theConfirmationIsPerceivableOnlyWhileShown()
    {
        QAccessibleInterface *face = QAccessible::queryAccessibleInterface(widget("ImgCopy"));
        QVERIFY(face);
        QVERIFY(face->state().invisible);

        derive();
        QTest::mouseClick(widget("lblCopy"), Qt::LeftButton);
        QVERIFY(!face->state().invisible);
        QCOMPARE(face->text(QAccessible::Name), QStringLiteral(u"复制成功"));
    }

    void theCopyIsAnnounced_data()
    {
        QTest::addColumn<bool>("derived");
        QTest::addColumn<bool>("announced");

        QTest::newRow("a copy raises an alert on the confirmation") << true << true;
        QTest::newRow("a click with no code to copy raises none") << false << false;
    }

    void theCopyIsAnnounced()
    {
        QFETCH(bool, derived);
        QFETCH(bool, announced);

        // Qt hands events to assistive technology only while a platform
        // bridge is active; the offscreen platform has none.
        QAccessible::setActive(true);
        if (!QAccessible::isActive())
            QSKIP("no accessibility bridge is active on this platform");

        if (derived) {
            derive();
        }
        Announcements.clear();
        const QAccessible::UpdateHandler previous = QAccessible::installUpdateHandler(RecordAnnouncement);
        QTest::mouseClick(widget("lblCopy"), Qt::LeftButton);
        QAccessible::installUpdateHandler(previous);

        QWidget *confirmation = widget("ImgCopy");
        const bool alerted = std::any_of(Announcements.begin(), Announcements.end(),
            [&](const Announcement &a) { return a.object == confirmation && a.type == QAccessible::Alert; });
        QCOMPARE(alerted, announced);
    }
};

QTEST_MAIN(AccessibilityTest)
#include "tst_accessibility.moc"
