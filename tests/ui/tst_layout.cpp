// The window as it opens: its controls, their places, looks, pointers,
// keyboard order and initial state. Runs once at device pixel ratio 1 and
// once more with QT_SCALE_FACTOR=2.

#include "UiTestSupport.h"

#include "mnemora_layout.h"

#include <QCursor>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImageReader>
#include <QLabel>
#include <QScreen>
#include <QtMath>

#include <limits>
#include <string_view>

using uitest::PixelAt;

namespace {

constexpr QRgb White = 0xFFFFFF;
constexpr QRgb Panel = 0xFFFBF0;
constexpr QRgb Teal = 0x00A0C0;
constexpr QRgb Orange = 0xFF881C;
constexpr QRgb WindowGrey = 0xF2F2F2;

enum class Pointer { Arrow, IBeam, Hand };

namespace layout = mnemora::layout;
using uitest::Control;

// Where assets/layout.json says an element is painted into the panel's picture,
// named by the control it lies under: pixels of the panel at 1x, inclusive.
QRect PaintedBox(layout::Control under, std::string_view role)
{
    for (const layout::PaintedElement &element : layout::Painted)
        if (element.pictureOf == layout::Control::PicContrl && element.under == under && role == element.role)
            return QRect(QPoint(element.x0, element.y0), QPoint(element.x1, element.y1));
    qFatal("no painted element %.*s", static_cast<int>(role.size()), role.data());
}

} // namespace

Q_DECLARE_METATYPE(Pointer)

class LayoutTest : public uitest::WindowTest {
    Q_OBJECT

private:
    // The background picture as the panel shows it, in device pixels.
    QImage background()
    {
        auto *panel = Control<QLabel>(window(), "PicContrl");
        return panel->pixmap().toImage();
    }

private slots:
    void controlTree_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QString>("kind");

        // clang-format off
        QTest::newRow("the logo band lies on the window") << "ImgLogo" << "FrmMain" << "QLabel";
        QTest::newRow("the panel lies on the window") << "PicContrl" << "FrmMain" << "QLabel";
        QTest::newRow("the timer belongs to the panel") << "TmrShow" << "PicContrl" << "QTimer";
        for (const char *box : {"txtCode16", "txtCode32", "txtPassword", "txtKey"})
            QTest::addRow("the text box %s lies on the panel", box) << box << "PicContrl"
                                                                    << "QLineEdit";
        for (const char *label : {"ImgDonation", "ImgOdrin", "ImgBelmir", "ImgTarrow", "ImgPelu",
                 "lblCopyright", "lblCopy", "ImgCode", "ImgCopy"})
            QTest::addRow("the control %s lies on the panel", label) << label << "PicContrl"
                                                                     << "QLabel";
        // clang-format on
    }

    void controlTree()
    {
        QFETCH(QString, control);
        QFETCH(QString, parent);
        QFETCH(QString, kind);

        const auto matches = window().findChildren<QObject *>(control);
        QCOMPARE(matches.size(), 1);
        QObject *found = matches.front();
        QVERIFY2(found->inherits(kind.toLatin1().constData()), found->metaObject()->className());
        QCOMPARE(found->parent()->objectName(), parent);
    }

    void geometry_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QRect>("place");

        // Pixels at 96 dpi, twips / 15 with the edges rounded to the nearest pixel.
        // clang-format off
        QTest::newRow("the logo band fills the top 156 pixels") << "ImgLogo" << QRect(0, 0, 660, 156);
        QTest::newRow("the panel starts under the logo band and is 664 wide") << "PicContrl" << QRect(0, 156, 664, 318);
        QTest::newRow("the 16-character box lies in the copy row") << "txtCode16" << QRect(120, 247, 131, 17);
        QTest::newRow("the 32-character box lies right of its caption") << "txtCode32" << QRect(113, 287, 265, 19);
        QTest::newRow("the password box lies in the first frame") << "txtPassword" << QRect(84, 71, 209, 25);
        QTest::newRow("the key box lies in the second frame") << "txtKey" << QRect(434, 71, 208, 24);
        QTest::newRow("the donation button stands at the right of section 2") << "ImgDonation" << QRect(552, 224, 92, 39);
        QTest::newRow("Tarrow's avatar opens the row of avatars") << "ImgTarrow" << QRect(528, 280, 20, 20);
        QTest::newRow("Belmir's avatar is second") << "ImgBelmir" << QRect(560, 280, 20, 20);
        QTest::newRow("Odrin's avatar is third") << "ImgOdrin" << QRect(592, 280, 20, 20);
        QTest::newRow("Pelu's avatar ends the row") << "ImgPelu" << QRect(624, 280, 20, 20);
        QTest::newRow("the copyright line runs along the top right") << "lblCopyright" << QRect(352, 8, 300, 13);
        QTest::newRow("the copy label covers the painted button") << "lblCopy" << QRect(255, 243, 60, 23);
        QTest::newRow("the highlight covers the copy row") << "ImgCode" << QRect(112, 243, 204, 24);
        QTest::newRow("the confirmation stands right of the button") << "ImgCopy" << QRect(336, 243, 75, 24);
        // clang-format on
    }

    void geometry()
    {
        QFETCH(QString, control);
        QFETCH(QRect, place);
        QCOMPARE(Control(window(), control)->geometry(), place);
    }

    void windowFrame()
    {
        QCOMPARE(window().windowTitle(), QStringLiteral("Mnemora v1.2 build 20120314"));
        QCOMPARE(window().size(), QSize(660, 475));
        QCOMPARE(window().minimumSize(), QSize(660, 475));
        QCOMPARE(window().maximumSize(), QSize(660, 475));

        const Qt::WindowFlags flags = window().windowFlags();
        QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));

        // The icon comes once the window has been painted.
        QTRY_VERIFY(!window().windowIcon().isNull());
        const QList<QSize> sizes = window().windowIcon().availableSizes();
        for (const QSize size : {QSize(16, 16), QSize(32, 32), QSize(48, 48), QSize(256, 256)})
            QVERIFY2(sizes.contains(size), qPrintable(QStringLiteral("no %1 px icon").arg(size.width())));
    }

    void centredOnScreen()
    {
        const QRect screen = window().screen()->availableGeometry();
        const QPoint offset = window().geometry().center() - screen.center();
        // Rounding of odd differences at a fractional scale allows two pixels.
        QVERIFY2(qAbs(offset.x()) <= 2 && qAbs(offset.y()) <= 2,
            qPrintable(QStringLiteral("off centre by %1,%2").arg(offset.x()).arg(offset.y())));
    }

    void panelIsCutByTheWindowEdge()
    {
        const QImage shot = window().grab().toImage();
        // The window's own colour shows in the one-pixel strip under the panel...
        for (const int x : {0, 300, 659})
            QCOMPARE(PixelAt(shot, {x, 474}), WindowGrey);
        // ...and the panel's last four columns are not on the window at all.
        QVERIFY(Control(window(), "PicContrl")->geometry().right() > window().rect().right());
        QCOMPARE(PixelAt(shot, {659, 300}), PixelAt(background(), {659, 300 - 156}));
    }

    void stacking_data()
    {
        QTest::addColumn<QPoint>("probe");
        QTest::addColumn<QString>("topmost");

        const QRect frame = PaintedBox(layout::Control::ImgCode, "frame");
        // clang-format off
        QTest::newRow("the copy label lies above the highlight") << PaintedBox(layout::Control::lblCopy, "button").center() << "lblCopy";
        QTest::newRow("the 16-character box lies above the highlight") << PaintedBox(layout::Control::txtCode16, "interior").center() << "txtCode16";
        QTest::newRow("the highlight's frame shows around the box") << QPoint(frame.left(), frame.center().y()) << "ImgCode";
        // clang-format on
    }

    void stacking()
    {
        QFETCH(QPoint, probe);
        QFETCH(QString, topmost);

        Control(window(), "ImgCode")->show();
        QWidget *hit = Control(window(), "PicContrl")->childAt(probe);
        QVERIFY(hit);
        QCOMPARE(hit->objectName(), topmost);
    }

    void boxesLieInsidePaintedFrames_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QRgb>("interior");
        QTest::addColumn<QRect>("frame");

        // frame: the painted interior the box lies in; none for a box on the open panel.
        // clang-format off
        QTest::newRow("the password box lies in the white frame") << "txtPassword" << White << PaintedBox(layout::Control::txtPassword, "interior");
        QTest::newRow("the key box lies in the white frame") << "txtKey" << White << PaintedBox(layout::Control::txtKey, "interior");
        QTest::newRow("the 16-character box lies in the teal frame") << "txtCode16" << Panel << PaintedBox(layout::Control::txtCode16, "interior");
        QTest::newRow("the 32-character box lies on the open panel") << "txtCode32" << Panel << QRect();
        // clang-format on
    }

    void boxesLieInsidePaintedFrames()
    {
        QFETCH(QString, box);
        QFETCH(QRgb, interior);
        QFETCH(QRect, frame);

        const QImage picture = background();
        const qreal ratio = picture.devicePixelRatio();
        const QRect place = Control(window(), box)->geometry();
        const QRect device(qRound(place.x() * ratio), qRound(place.y() * ratio),
            qRound(place.width() * ratio), qRound(place.height() * ratio));
        for (int y = device.top(); y <= device.bottom(); ++y)
            for (int x = device.left(); x <= device.right(); ++x)
                if ((picture.pixel(x, y) & 0xFFFFFF) != interior)
                    QFAIL(qPrintable(QStringLiteral("device pixel %1,%2 under %3 is not the frame's interior")
                                         .arg(x)
                                         .arg(y)
                                         .arg(box)));
        if (frame.isNull()) {
            // Right of its painted caption, on the same line.
            const QRect caption = PaintedBox(layout::Control::PicContrl, "code32.caption");
            QVERIFY(place.left() > caption.right());
            QVERIFY(place.top() <= caption.top() && place.bottom() >= caption.bottom());
            return;
        }
        // The layout file's interior is the picture's: its own colour up to
        // its edges, the frame's border right outside them.
        const int row = frame.center().y();
        for (int x = frame.left(); x <= frame.right(); ++x)
            QCOMPARE(PixelAt(picture, {x, row}), interior);
        QVERIFY(PixelAt(picture, {frame.left() - 1, row}) != interior);
        QVERIFY(PixelAt(picture, {frame.right() + 1, row}) != interior);
        // The box fills its frame, within a few pixels on either side.
        QVERIFY(frame.contains(place));
        QVERIFY2(place.left() - frame.left() <= 8 && frame.right() - place.right() <= 8,
            qPrintable(QStringLiteral("box %1..%2 in frame %3..%4")
                           .arg(place.left())
                           .arg(place.right())
                           .arg(frame.left())
                           .arg(frame.right())));
    }

    void copyLabelLiesExactlyOnThePaintedButton()
    {
        const QImage picture = background();
        const QRect label = Control(window(), "lblCopy")->geometry();
        const QRect button = PaintedBox(layout::Control::lblCopy, "button");
        const int row = button.center().y();

        // The layout file's button is the picture's...
        QCOMPARE(PixelAt(picture, {button.left(), row}), Teal);
        QVERIFY(PixelAt(picture, {button.left() - 1, row}) != Teal);
        QCOMPARE(PixelAt(picture, {button.right(), row}), Teal);
        QVERIFY(PixelAt(picture, {button.right() + 1, row}) != Teal);
        QCOMPARE(PixelAt(picture, {button.center().x(), button.top()}), Teal);
        QCOMPARE(PixelAt(picture, {button.center().x(), button.bottom()}), Teal);
        // ...and the label lies exactly on it, its top and bottom rows included.
        QCOMPARE(label.left(), button.left());
        QCOMPARE(label.right(), button.right());
        QVERIFY(label.contains(button));
    }

    void theWindowShowsThroughTheInvisibleControls()
    {
        QWidget *panel = Control(window(), "PicContrl");
        // Left of the painted caption, on the button's colour.
        const QRect button = PaintedBox(layout::Control::lblCopy, "button");
        const QPoint onButton(button.left() + 2, button.center().y());

        QImage shot = panel->grab().toImage();
        QCOMPARE(PixelAt(shot, onButton), Teal);
        QCOMPARE(PixelAt(shot, Control(window(), "txtPassword")->geometry().center()), White);
        QCOMPARE(PixelAt(shot, Control(window(), "txtCode16")->geometry().center()), Panel);

        Control(window(), "ImgCode")->show();
        shot = panel->grab().toImage();
        QCOMPARE(PixelAt(shot, onButton), Orange);
        // The 16-character box keeps its own colour above the highlight.
        QCOMPARE(PixelAt(shot, Control(window(), "txtCode16")->geometry().center()), Panel);
    }

    void pictures_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("twiceSize");

        // clang-format off
        QTest::newRow("the panel shows the background GIF") << "PicContrl" << "background.gif" << QByteArray("gif") << QSize(664, 318) << true;
        QTest::newRow("the logo band is a GIF") << "ImgLogo" << "logo.gif" << QByteArray("gif") << QSize(660, 156) << true;
        QTest::newRow("the highlight is a GIF") << "ImgCode" << "code.gif" << QByteArray("gif") << QSize(204, 24) << true;
        QTest::newRow("the confirmation is a GIF") << "ImgCopy" << "copy.gif" << QByteArray("gif") << QSize(75, 24) << true;
        QTest::newRow("the donation button is a GIF") << "ImgDonation" << "donation.gif" << QByteArray("gif") << QSize(92, 39) << true;
        QTest::newRow("Tarrow's avatar is a GIF") << "ImgTarrow" << "tarrow.gif" << QByteArray("gif") << QSize(20, 20) << false;
        QTest::newRow("Belmir's avatar is a GIF") << "ImgBelmir" << "belmir.gif" << QByteArray("gif") << QSize(20, 20) << false;
        QTest::newRow("Odrin's avatar is a GIF") << "ImgOdrin" << "odrin.gif" << QByteArray("gif") << QSize(20, 20) << false;
        QTest::newRow("Pelu's avatar is a JPEG") << "ImgPelu" << "pelu.jpg" << QByteArray("jpeg") << QSize(20, 20) << false;
        // clang-format on
    }

    void pictures()
    {
        QFETCH(QString, control);
        QFETCH(QString, file);
        QFETCH(QByteArray, format);
        QFETCH(QSize, size);
        QFETCH(bool, twiceSize);

        QImageReader reader(QStringLiteral(":/art/") + file);
        QCOMPARE(reader.format(), format);
        QCOMPARE(reader.size(), size);

        auto *label = Control<QLabel>(window(), control);
        const QPixmap shown = label->pixmap();
        QVERIFY(!label->hasScaledContents());
        // Natural size: the picture fills its control exactly.
        QCOMPARE(shown.deviceIndependentSize().toSize(), size);
        QCOMPARE(label->size(), size);

        const qreal ratio = window().devicePixelRatioF();
        QCOMPARE(shown.devicePixelRatio(), ratio);
        QCOMPARE(shown.size(), size * ratio);
        if (ratio == 1.0) {
            // The pixels the window copies at start are those of the picture as drawn.
            const QImage drawn(QStringLiteral(":/art/") + file);
            QCOMPARE(shown.toImage().convertToFormat(QImage::Format_ARGB32),
                drawn.convertToFormat(QImage::Format_ARGB32));
        }
        if (ratio == 2.0 && twiceSize) {
            // Drawn for 2x, not scaled up: it matches the 2x file pixel for pixel.
            const QImage sharp(
                QStringLiteral(":/art/") + file.section(QLatin1Char('.'), 0, 0) + QStringLiteral("@2x.png"));
            QCOMPARE(shown.toImage().convertToFormat(QImage::Format_RGB32),
                sharp.convertToFormat(QImage::Format_RGB32));
        }
    }

    void fonts_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("family");
        QTest::addColumn<qreal>("points");

        // clang-format off
        QTest::newRow("the window is set in Tahoma") << "FrmMain" << "Tahoma" << 8.25;
        QTest::newRow("the panel inherits the window's font") << "PicContrl" << "Tahoma" << 8.25;
        QTest::newRow("the copyright line inherits the window's font") << "lblCopyright" << "Tahoma" << 8.25;
        QTest::newRow("the copy label inherits the window's font") << "lblCopy" << "Tahoma" << 8.25;
        QTest::newRow("the password box uses large Courier New") << "txtPassword" << "Courier New" << 15.75;
        QTest::newRow("the key box uses large Courier New") << "txtKey" << "Courier New" << 15.75;
        QTest::newRow("the 16-character box uses small Courier New") << "txtCode16" << "Courier New" << 9.75;
        QTest::newRow("the 32-character box uses small Courier New") << "txtCode32" << "Courier New" << 9.75;
        // clang-format on
    }

    void fonts()
    {
        QFETCH(QString, control);
        QFETCH(QString, family);
        QFETCH(qreal, points);

        const QFont font = Control(window(), control)->font();
        QCOMPARE(font.pointSizeF(), points);
        QCOMPARE(font.weight(), QFont::Normal);
        QVERIFY(!font.italic() && !font.underline() && !font.strikeOut());

        // The family itself where installed, else a stand-in of the same build.
        if (QFontDatabase::families().contains(family))
            QCOMPARE(font.family(), family);
        const QFontInfo resolved(font);
        if (family == QLatin1String("Courier New")) {
            QVERIFY2(resolved.fixedPitch(), qPrintable(resolved.family()));
        } else {
            const QStringList standIns{QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans")};
            QVERIFY2(standIns.contains(resolved.family()), qPrintable(resolved.family()));
        }
    }

    // The window speaks the language the system asks for, read here the way
    // gettext reads it (LANGUAGE, unless the locale is C; then LC_ALL,
    // LC_MESSAGES, LANG): English where it asks for English, Chinese
    // otherwise. Its banner shows the slogan drawn in that language, pixel
    // for pixel, and its tooltips speak it.
    void speaksTheSystemLanguage()
    {
        QString locale;
        for (const char *variable : {"LC_ALL", "LC_MESSAGES", "LANG"})
            if (locale.isEmpty())
                locale = qEnvironmentVariable(variable);
        const bool cLocale
            = locale.isEmpty() || locale == QStringLiteral("POSIX") || locale.startsWith(QStringLiteral("C"));
        const QString asked = qEnvironmentVariable("LANGUAGE").section(QLatin1Char(':'), 0, 0);
        const bool english = !cLocale && (asked.isEmpty() ? locale : asked).startsWith(QStringLiteral("en"));

        QCOMPARE(window().language(), english ? layout::Language::English : layout::Language::Chinese);
        QCOMPARE(Control<QLabel>(window(), "ImgDonation")->toolTip(),
            english ? QStringLiteral("Learn about Mnemora and fund its development")
                    : QStringLiteral("了解并资助Mnemora的发展"));

        // The banner whole, and the panel's painted captions where no control
        // lies over them: the hints, in the language's own drawing.
        const qreal ratio = window().devicePixelRatioF();
        const QString suffix = english ? QStringLiteral("-en") : QString();
        const auto drawn = [&](const char *stem) {
            return QImage(QStringLiteral(":/art/") + QLatin1String(stem) + suffix
                + (ratio == 2.0 ? QStringLiteral("@2x.png") : QStringLiteral(".gif")))
                .convertToFormat(QImage::Format_RGB32);
        };
        auto *banner = Control<QLabel>(window(), "ImgLogo");
        QCOMPARE(
            window().grab(banner->geometry()).toImage().convertToFormat(QImage::Format_RGB32), drawn("logo"));

        auto *panel = Control<QWidget>(window(), "PicContrl");
        for (const layout::PaintedElement &element : layout::Painted) {
            const std::string_view role(element.role);
            if (element.pictureOf != layout::Control::PicContrl || !role.ends_with(".hint"))
                continue;
            const QRect box(QPoint(element.x0, element.y0), QPoint(element.x1, element.y1));
            const QRect pixels(box.topLeft() * ratio, box.size() * ratio);
            QCOMPARE(panel->grab(box).toImage().convertToFormat(QImage::Format_RGB32),
                drawn("background").copy(pixels));
        }
    }

    void copyrightLineFitsItsPlace()
    {
        auto *label = Control<QLabel>(window(), "lblCopyright");
        QVERIFY(label->text().startsWith(QStringLiteral("Copyright")));
        const QFontMetrics metrics(label->font());
        QVERIFY2(metrics.horizontalAdvance(label->text()) <= label->width(),
            qPrintable(QString::number(metrics.horizontalAdvance(label->text()))));
        QVERIFY(!label->autoFillBackground());
        QCOMPARE(label->palette().color(QPalette::WindowText), QColor(0xC0C0C0));
        QVERIFY(label->alignment().testFlag(Qt::AlignLeft));
    }

    void colours_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QPalette::ColorRole>("role");
        QTest::addColumn<QRgb>("colour");

        // clang-format off
        QTest::newRow("the window is light grey") << "FrmMain" << QPalette::Window << WindowGrey;
        QTest::newRow("the panel is light grey where its picture ends") << "PicContrl" << QPalette::Window << WindowGrey;
        QTest::newRow("the password box is white") << "txtPassword" << QPalette::Base << White;
        QTest::newRow("the key box is white") << "txtKey" << QPalette::Base << White;
        QTest::newRow("the 16-character box has the panel's colour") << "txtCode16" << QPalette::Base << Panel;
        QTest::newRow("the 32-character box has the panel's colour") << "txtCode32" << QPalette::Base << Panel;
        QTest::newRow("the password is written in black") << "txtPassword" << QPalette::Text << QRgb(0);
        QTest::newRow("the codes are written in black") << "txtCode32" << QPalette::Text << QRgb(0);
        // clang-format on
    }

    void colours()
    {
        QFETCH(QString, control);
        QFETCH(QPalette::ColorRole, role);
        QFETCH(QRgb, colour);
        QCOMPARE(Control(window(), control)->palette().color(role).rgb() & 0xFFFFFF, colour);
    }

    void textBoxes_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<int>("maxLength");
        QTest::addColumn<bool>("masked");

        // clang-format off
        QTest::newRow("the password box is masked and unlimited") << "txtPassword" << false << std::numeric_limits<int>::max() << true;
        QTest::newRow("the key box is plain and unlimited") << "txtKey" << false << std::numeric_limits<int>::max() << false;
        QTest::newRow("the 16-character box is read-only") << "txtCode16" << true << 16 << false;
        QTest::newRow("the 32-character box is read-only") << "txtCode32" << true << 32 << false;
        // clang-format on
    }

    void textBoxes()
    {
        QFETCH(QString, box);
        QFETCH(bool, readOnly);
        QFETCH(int, maxLength);
        QFETCH(bool, masked);

        auto *edit = Control<QLineEdit>(window(), box);
        QVERIFY(!edit->hasFrame());
        QCOMPARE(edit->isReadOnly(), readOnly);
        QCOMPARE(edit->maxLength(), maxLength);
        QCOMPARE(edit->echoMode(), masked ? QLineEdit::Password : QLineEdit::Normal);
        QVERIFY(edit->alignment().testFlag(Qt::AlignLeft));
        // Read-only boxes still take the focus, so their text can be selected and copied.
        QVERIFY(edit->focusPolicy() & Qt::TabFocus);
        QVERIFY(edit->focusPolicy() & Qt::ClickFocus);
    }

    void passwordShowsOneStarPerCharacter_data()
    {
        QTest::addColumn<QString>("typed");

        QTest::newRow("letters show as stars") << "test";
        QTest::newRow("Chinese characters show as stars") << QStringLiteral(u"密码");
        QTest::newRow("spaces show as stars") << " a b ";
    }

    void passwordShowsOneStarPerCharacter()
    {
        QFETCH(QString, typed);
        auto *password = Control<QLineEdit>(window(), "txtPassword");
        uitest::Type(password, typed);
        QCOMPARE(password->text(), typed);
        QCOMPARE(password->displayText(), QString(typed.size(), QLatin1Char('*')));
    }

    void passwordBoxBypassesTheInputMethod()
    {
        auto *password = Control<QLineEdit>(window(), "txtPassword");
        QVERIFY(!password->testAttribute(Qt::WA_InputMethodEnabled));
        const Qt::InputMethodHints hints = password->inputMethodHints();
        QVERIFY(hints.testFlag(Qt::ImhHiddenText));
        QVERIFY(hints.testFlag(Qt::ImhSensitiveData));
        QVERIFY(hints.testFlag(Qt::ImhNoPredictiveText));
        // The key box leaves the input method to the user.
        QVERIFY(Control(window(), "txtKey")->testAttribute(Qt::WA_InputMethodEnabled));
    }

    void passwordTakesFortyThousandCharacters()
    {
        auto *password = Control<QLineEdit>(window(), "txtPassword");
        password->insert(QString(40000, QLatin1Char('p')));
        QCOMPARE(password->text().size(), 40000);
        uitest::Type(password, QStringLiteral("xy"));
        QCOMPARE(password->text().size(), 40002);
    }

    void pointers_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<Pointer>("pointer");

        QTest::newRow("the window shows the arrow") << "FrmMain" << Pointer::Arrow;
        QTest::newRow("the logo band shows the arrow") << "ImgLogo" << Pointer::Arrow;
        QTest::newRow("the panel shows the arrow") << "PicContrl" << Pointer::Arrow;
        QTest::newRow("the confirmation shows the arrow") << "ImgCopy" << Pointer::Arrow;
        QTest::newRow("the password box shows the text cursor") << "txtPassword" << Pointer::IBeam;
        QTest::newRow("the key box shows the text cursor") << "txtKey" << Pointer::IBeam;
        QTest::newRow("the 16-character box shows the arrow") << "txtCode16" << Pointer::Arrow;
        QTest::newRow("the 32-character box shows the arrow") << "txtCode32" << Pointer::Arrow;
        for (const char *hand : {"ImgDonation", "ImgTarrow", "ImgBelmir", "ImgOdrin", "ImgPelu", "ImgCode",
                 "lblCopyright", "lblCopy"})
            QTest::addRow("%s shows the hand", hand) << hand << Pointer::Hand;
    }

    void pointers()
    {
        QFETCH(QString, control);
        QFETCH(Pointer, pointer);

        QWidget *widget = Control(window(), control);
        const QCursor cursor = widget->cursor();
        switch (pointer) {
        case Pointer::Arrow:
            QCOMPARE(cursor.shape(), Qt::ArrowCursor);
            break;
        case Pointer::IBeam:
            QCOMPARE(cursor.shape(), Qt::IBeamCursor);
            break;
        case Pointer::Hand:
            QCOMPARE(cursor.shape(), Qt::BitmapCursor);
            QCOMPARE(cursor.pixmap().size(), QSize(32, 32));
            QCOMPARE(cursor.hotSpot(), QPoint(6, 0));
            QCOMPARE(cursor.pixmap().toImage().convertToFormat(QImage::Format_ARGB32),
                QImage(QStringLiteral(":/art/hand.png")).convertToFormat(QImage::Format_ARGB32));
            break;
        }
    }

    void tooltips_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("tooltip");

        // clang-format off
        QTest::newRow("the donation button invites support") << "ImgDonation" << QStringLiteral(u"了解并资助Mnemora的发展");
        QTest::newRow("Tarrow's avatar names Tarrow") << "ImgTarrow" << "Tarrow";
        QTest::newRow("Belmir's avatar names Belmir") << "ImgBelmir" << "Belmir";
        QTest::newRow("Odrin's avatar names Odrin") << "ImgOdrin" << "Odrin";
        QTest::newRow("Pelu's avatar names Pelu") << "ImgPelu" << "Pelu";
        QTest::newRow("the copyright line shows the home page") << "lblCopyright" << "https://mnemora.example.org/";
        for (const char *silent : {"lblCopy", "ImgLogo", "ImgCode", "ImgCopy", "PicContrl", "txtPassword",
                 "txtKey", "txtCode16", "txtCode32"})
            QTest::addRow("%s has no tooltip", silent) << silent << QString();
        // clang-format on
    }

    void tooltips()
    {
        QFETCH(QString, control);
        QFETCH(QString, tooltip);
        QCOMPARE(Control(window(), control)->toolTip(), tooltip);
    }

    void tabCyclesThroughTheFourBoxes_data()
    {
        QTest::addColumn<Qt::Key>("key");
        QTest::addColumn<QStringList>("visits");

        // clang-format off
        QTest::newRow("Tab goes password, key, 16, 32 and round") << Qt::Key_Tab << QStringList{"txtKey", "txtCode16", "txtCode32", "txtPassword"};
        QTest::newRow("Shift+Tab goes the other way") << Qt::Key_Backtab << QStringList{"txtCode32", "txtCode16", "txtKey", "txtPassword"};
        // clang-format on
    }

    void tabCyclesThroughTheFourBoxes()
    {
        QFETCH(Qt::Key, key);
        QFETCH(QStringList, visits);

        QCOMPARE(QApplication::focusWidget(), Control(window(), "txtPassword"));
        QStringList seen;
        for (qsizetype i = 0; i < visits.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), key);
            seen << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(seen, visits);
    }

    void focusChainFollowsTheTabIndexes()
    {
        const QStringList boxes{"txtPassword", "txtKey", "txtCode16", "txtCode32"};
        QStringList chain;
        QWidget *start = Control(window(), "txtPassword");
        QWidget *widget = start;
        do {
            if (widget->focusPolicy() & Qt::TabFocus)
                chain << widget->objectName();
            widget = widget->nextInFocusChain();
        } while (widget != start);
        QCOMPARE(chain, boxes);

        // The panel and the labels that follow in the order are passed over.
        for (const char *name : {"PicContrl", "lblCopy", "lblCopyright"})
            QCOMPARE(Control(window(), name)->focusPolicy(), Qt::NoFocus);
    }

    void clickingALabelLeavesTheFocus_data()
    {
        QTest::addColumn<QString>("label");

        QTest::newRow("clicking the copy label leaves the focus where it was") << "lblCopy";
        QTest::newRow("clicking the copyright line leaves the focus where it was") << "lblCopyright";
    }

    void clickingALabelLeavesTheFocus()
    {
        QFETCH(QString, label);
        QWidget *key = Control(window(), "txtKey");
        key->setFocus();
        QTest::mouseClick(Control(window(), label), Qt::LeftButton);
        QCOMPARE(QApplication::focusWidget(), key);
    }

    void initialState()
    {
        QCOMPARE(QApplication::focusWidget(), Control(window(), "txtPassword"));
        for (const char *box : {"txtPassword", "txtKey", "txtCode16", "txtCode32"})
            QVERIFY2(Control<QLineEdit>(window(), box)->text().isEmpty(), box);
        QVERIFY(!Control(window(), "ImgCode")->isVisible());
        QVERIFY(!Control(window(), "ImgCopy")->isVisible());
        for (const char *shown : {"ImgLogo", "PicContrl", "txtCode16", "txtCode32", "txtPassword", "txtKey",
                 "ImgDonation", "ImgOdrin", "ImgBelmir", "ImgTarrow", "ImgPelu", "lblCopyright", "lblCopy"}) {
            QVERIFY2(Control(window(), shown)->isVisible(), shown);
            QVERIFY2(Control(window(), shown)->isEnabled(), shown);
        }
        QTimer *tmrShow = timer("TmrShow");
        QVERIFY(!tmrShow->isActive());
        QCOMPARE(tmrShow->interval(), 200);
        QVERIFY(!tmrShow->isSingleShot());
    }
};

QTEST_MAIN(LayoutTest)
#include "tst_layout.moc"
