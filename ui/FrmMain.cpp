#include "FrmMain.h"

#include "Accessibility.h"
#include "Artwork.h"
#include "Clipboard.h"
#include "Fonts.h"
#include "Label.h"
#include "TextBox.h"
#include "Twips.h"

#include "DigestError.h"
#include "GenerateCodes.h"
#include "SecureWipe.h"
#include "SelfTest.h"

#include <QAccessible>
#include <QColor>
#include <QDesktopServices>
#include <QLabel>
#include <QMessageBox>
#include <QPalette>
#include <QProxyStyle>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QUrl>

#include <array>
#include <limits>
#include <string_view>

namespace mnemora {

namespace {

const QString Title = QStringLiteral("Mnemora v1.2 build 20120314");
const QString HomePage = QStringLiteral("https://mnemora.example.org/");
const QString CopyrightNotice = QStringLiteral(u"Copyright © 2012 Mnemora. All rights reserved.");

constexpr QRgb WindowColour = 0xF2F2F2;
constexpr QRgb InputColour = 0xFFFFFF;
// The panel colour of the background picture: the codes read as printed on it.
constexpr QRgb OutputColour = 0xFFFBF0;
constexpr QRgb CopyrightColour = 0xC0C0C0;

constexpr int TimerInterval = 200; // ms
// TmrShow ticks after which the copy confirmation goes away again.
constexpr int ConfirmationTicks = 5;

// Every character takes at least one UTF-8 byte, so a text of more UTF-16
// units than the digest accepts bytes is refused without converting it.
constexpr qsizetype MaxDigestUnits = 32767;

struct Link {
    const char *control;
    const char *address;
};

// The six controls that open a web page, and their pages.
constexpr std::array<Link, 6> Links{{
    {"ImgDonation", "https://mnemora.example.org/donate"},
    {"ImgTarrow", "https://mnemora.example.org/contributors/tarrow"},
    {"ImgBelmir", "https://mnemora.example.org/contributors/belmir"},
    {"ImgOdrin", "https://mnemora.example.org/contributors/odrin"},
    {"ImgPelu", "https://mnemora.example.org/contributors/pelu"},
    {"lblCopyright", "https://mnemora.example.org/"},
}};

struct Description {
    const char *control;
    const char *name;
    const char *description;
};

// What a screen reader says for each control, in the words painted on the
// window where there are any.
constexpr std::array<Description, 15> Descriptions{{
    {"FrmMain", "Mnemora", "可记忆 非存储 轻松管理个人密码"},
    {"ImgLogo", "可记忆 非存储 轻松管理个人密码", "Mnemora的标志和口号"},
    {"PicContrl", "输入与获取", "第一步输入记忆密码和区分代号，第二步获取密码"},
    {"txtPassword", "记忆密码", "选择一个与个人信息无关的密码，防止社会工程学破解。"},
    {"txtKey", "区分代号", "用于区别不同用途密码的简短代号，如淘宝账号可用“taobao”或“tb”等。"},
    {"txtCode16", "16位码（推荐）", "由记忆密码和区分代号生成的16位密码"},
    {"txtCode32", "32位完整MD5码", "由记忆密码和区分代号生成的32位密码"},
    {"lblCopy", "点击复制", "将16位码复制到剪贴板"},
    {"ImgCopy", "复制成功", "密码已复制到剪贴板，稍后自动清除"},
    {"ImgDonation", "捐助Mnemora", "了解并资助Mnemora的发展"},
    {"ImgTarrow", "Tarrow", "打开贡献者Tarrow的主页"},
    {"ImgBelmir", "Belmir", "打开贡献者Belmir的主页"},
    {"ImgOdrin", "Odrin", "打开贡献者Odrin的主页"},
    {"ImgPelu", "Pelu", "打开贡献者Pelu的主页"},
    {"lblCopyright", "版权信息", "打开Mnemora的主页"},
}};

// Shows every password character as one "*", whatever the platform's own
// mask character is.
class PasswordStyle final : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
        QStyleHintReturn *returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return u'*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

std::u16string_view View(const QString &text)
{
    return {reinterpret_cast<const char16_t *>(text.constData()), static_cast<std::size_t>(text.size())};
}

// The derived codes are secrets: their copies outside the boxes are wiped
// however the derivation ends.
struct WipeOnExit {
    Codes &codes;
    ~WipeOnExit()
    {
        SecureWipe(codes.code16);
        SecureWipe(codes.code32);
    }
};

void SetColour(QWidget *widget, QPalette::ColorRole role, QRgb colour)
{
    QPalette palette = widget->palette();
    palette.setColor(role, QColor(colour));
    widget->setPalette(palette);
}

Label *MakePicture(QWidget *parent, const char *name, const QString &fileName, const QRect &place,
    QAccessible::Role role = QAccessible::Graphic)
{
    auto *picture = new Label(role, parent);
    picture->setObjectName(QLatin1String(name));
    picture->setPixmap(LoadPicture(fileName, parent->devicePixelRatioF()));
    picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    picture->setGeometry(place);
    return picture;
}

TextBox *MakeTextBox(
    QWidget *parent, const char *name, const QRect &place, const QFont &font, QRgb background)
{
    auto *box = new TextBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setGeometry(place);
    box->setFrame(false);
    box->setFont(font);
    box->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QPalette palette = box->palette();
    palette.setColor(QPalette::Base, QColor(background));
    palette.setColor(QPalette::Text, Qt::black);
    box->setPalette(palette);
    // The style leaves the edge of a frameless box unpainted; the box's
    // colour must reach its edges to cover the painted frame's interior.
    box->setAutoFillBackground(true);
    return box;
}

void OpenInBrowser(const QUrl &address)
{
    // The page opening or not changes nothing in the window.
    QDesktopServices::openUrl(address);
}

} // namespace

FrmMain::FrmMain(FrmMainServices services, QWidget *parent)
    : QWidget(parent,
        Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
            | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
    , m_openUrl(services.openUrl ? std::move(services.openUrl) : OpenInBrowser)
{
    // Before anything can be typed: a build that computes wrong codes must
    // never show one.
    const std::string failure = services.selfTest ? services.selfTest() : RunSelfTest();
    m_derivingEnabled = failure.empty();

    setObjectName(QStringLiteral("FrmMain"));
    setWindowTitle(Title);
    setWindowIcon(WindowIcon());
    setFont(WindowFont());
    SetColour(this, QPalette::Window, WindowColour);
    setAutoFillBackground(true);
    setFixedSize(TwipsToPixels(9900), TwipsToPixels(7125));
    if (const QScreen *where = screen())
        setGeometry(
            QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), where->availableGeometry()));

    m_clipboard = new Clipboard(services.clipboardClearDelay, this);

    SetUpAccessibility();
    createControls();
    describeForAccessibility();
    connectHandlers();

    if (!m_derivingEnabled)
        reportSelfTestFailure(failure);
}

FrmMain::~FrmMain() = default;

void FrmMain::createControls()
{
    ImgLogo = MakePicture(this, "ImgLogo", QStringLiteral("logo.gif"), TwipsRect(0, 0, 9900, 2340));

    // 4 px wider than the window: the window's edge cuts off the rest.
    PicContrl = MakePicture(this, "PicContrl", QStringLiteral("background.gif"),
        TwipsRect(0, 2340, 9960, 4770), QAccessible::Grouping);
    PicContrl->setAutoFillBackground(true);

    TmrShow = new QTimer(PicContrl);
    TmrShow->setObjectName(QStringLiteral("TmrShow"));
    TmrShow->setInterval(TimerInterval);
    // A coarse timer may fire up to 5 % early, cutting the confirmation short.
    TmrShow->setTimerType(Qt::PreciseTimer);

    txtCode16
        = MakeTextBox(PicContrl, "txtCode16", TwipsRect(1805, 3700, 1960, 260), OutputFont(), OutputColour);
    txtCode32
        = MakeTextBox(PicContrl, "txtCode32", TwipsRect(1700, 4300, 3975, 285), OutputFont(), OutputColour);
    txtPassword
        = MakeTextBox(PicContrl, "txtPassword", TwipsRect(1260, 1058, 3135, 375), InputFont(), InputColour);
    txtKey = MakeTextBox(PicContrl, "txtKey", TwipsRect(6510, 1058, 3120, 360), InputFont(), InputColour);

    ImgDonation = MakePicture(PicContrl, "ImgDonation", QStringLiteral("donation.gif"),
        TwipsRect(8280, 3360, 1380, 585), QAccessible::Link);
    ImgOdrin = MakePicture(PicContrl, "ImgOdrin", QStringLiteral("odrin.gif"),
        TwipsRect(8880, 4200, 300, 300), QAccessible::Link);
    ImgBelmir = MakePicture(PicContrl, "ImgBelmir", QStringLiteral("belmir.gif"),
        TwipsRect(8400, 4200, 300, 300), QAccessible::Link);
    ImgTarrow = MakePicture(PicContrl, "ImgTarrow", QStringLiteral("tarrow.gif"),
        TwipsRect(7920, 4200, 300, 300), QAccessible::Link);
    ImgPelu = MakePicture(
        PicContrl, "ImgPelu", QStringLiteral("pelu.jpg"), TwipsRect(9360, 4200, 300, 300), QAccessible::Link);

    lblCopyright = new Label(QAccessible::Link, PicContrl);
    lblCopyright->setText(CopyrightNotice);
    lblCopyright->setObjectName(QStringLiteral("lblCopyright"));
    lblCopyright->setGeometry(TwipsRect(5280, 120, 4500, 195));
    lblCopyright->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    SetColour(lblCopyright, QPalette::WindowText, CopyrightColour);

    // An invisible hot spot over the copy button painted in the background.
    lblCopy = new Label(QAccessible::Button, PicContrl);
    lblCopy->setObjectName(QStringLiteral("lblCopy"));
    lblCopy->setGeometry(TwipsRect(3820, 3640, 900, 345));

    // The highlight only repeats the copy button in another colour.
    ImgCode = MakePicture(PicContrl, "ImgCode", QStringLiteral("code.gif"), TwipsRect(1680, 3640, 3060, 360),
        QAccessible::NoRole);
    // A screen reader speaks a notification when it shows.
    ImgCopy = MakePicture(PicContrl, "ImgCopy", QStringLiteral("copy.gif"), TwipsRect(5040, 3640, 1125, 360),
        QAccessible::Notification);

    // The highlight lies over the code frame and the button; the code stays
    // readable above it and clicks on the button still reach lblCopy.
    txtCode16->raise();
    lblCopy->raise();
    ImgCode->hide();
    ImgCopy->hide();

    for (TextBox *input : {txtPassword, txtKey}) {
        // QLineEdit's default limit of 32,767 would cut a pasted text short
        // without a word; an over-long text is refused when deriving instead.
        input->setMaxLength(std::numeric_limits<int>::max());
        input->setCursor(Qt::IBeamCursor);
        input->setHistoryKept(false);
    }
    for (TextBox *output : {txtCode16, txtCode32}) {
        output->setReadOnly(true);
        output->setCopyHandedOver(true);
        output->setCursor(Qt::ArrowCursor);
    }
    txtCode16->setMaxLength(16);
    txtCode32->setMaxLength(32);

    txtPassword->setEchoMode(QLineEdit::Password);
    auto *mask = new PasswordStyle;
    mask->setParent(txtPassword);
    txtPassword->setStyle(mask);
    // A password is typed as plain keystrokes, never composed by an input
    // method. Set after the echo mode, which would switch it back on.
    txtPassword->setAttribute(Qt::WA_InputMethodEnabled, false);
    txtPassword->setInputMethodHints(
        Qt::ImhHiddenText | Qt::ImhSensitiveData | Qt::ImhNoPredictiveText | Qt::ImhNoAutoUppercase);

    const QCursor hand = HandCursor();
    for (Label *handPointed :
        {ImgDonation, ImgTarrow, ImgBelmir, ImgOdrin, ImgPelu, ImgCode, lblCopyright, lblCopy})
        handPointed->setCursor(hand);

    ImgDonation->setToolTip(QStringLiteral(u"了解并资助Mnemora的发展"));
    ImgTarrow->setToolTip(QStringLiteral("Tarrow"));
    ImgBelmir->setToolTip(QStringLiteral("Belmir"));
    ImgOdrin->setToolTip(QStringLiteral("Odrin"));
    ImgPelu->setToolTip(QStringLiteral("Pelu"));
    lblCopyright->setToolTip(HomePage);

    // Mouse movement is reported to the topmost control under the pointer
    // only, never passed on to the panel beneath.
    for (QObject *child : PicContrl->children())
        if (auto *control = qobject_cast<QWidget *>(child))
            control->setAttribute(Qt::WA_NoMousePropagation);
    for (QWidget *hover : {static_cast<QWidget *>(PicContrl), static_cast<QWidget *>(lblCopy),
             static_cast<QWidget *>(txtCode16)})
        hover->setMouseTracking(true);

    // The tab order is password, key, 16, 32, then the panel and the two
    // labels; those three take no focus, so Tab cycles through the four boxes.
    PicContrl->setFocusPolicy(Qt::NoFocus);
    lblCopy->setFocusPolicy(Qt::NoFocus);
    lblCopyright->setFocusPolicy(Qt::NoFocus);
    setTabOrder(txtPassword, txtKey);
    setTabOrder(txtKey, txtCode16);
    setTabOrder(txtCode16, txtCode32);
    txtPassword->setFocus();
}

void FrmMain::describeForAccessibility()
{
    for (const Description &entry : Descriptions) {
        QWidget *control = objectName() == QLatin1String(entry.control)
            ? this
            : findChild<QWidget *>(QLatin1String(entry.control));
        if (!control)
            continue;
        control->setAccessibleName(QString::fromUtf8(entry.name));
        control->setAccessibleDescription(QString::fromUtf8(entry.description));
    }
}

void FrmMain::connectHandlers()
{
    // textChanged, not textEdited: a paste, an undo or a program's setText
    // change the codes as much as typing does. Qt tells assistive technology
    // that a box controls the receivers of its textChanged, so the code boxes
    // receive it; the second connection exists for that relation alone.
    for (TextBox *input : {txtPassword, txtKey}) {
        connect(input, &QLineEdit::textChanged, txtCode16, [this] { regenerate(); });
        connect(input, &QLineEdit::textChanged, txtCode32, [] {});
    }
    for (TextBox *box : {txtPassword, txtKey, txtCode16, txtCode32})
        connect(box, &TextBox::gotFocus, this, [this, box] { selectAll(box); });
    for (TextBox *output : {txtCode16, txtCode32})
        connect(
            output, &TextBox::copyRequested, this, [this, output] { copySecret(output->selectedText()); });
    connect(lblCopy, &Label::clicked, this, [this] { copySecret(txtCode16->text()); });
    for (Label *link : {ImgDonation, ImgTarrow, ImgBelmir, ImgOdrin, ImgPelu, lblCopyright})
        connect(link, &Label::clicked, this, [this, link] { openLink(link); });
    connect(TmrShow, &QTimer::timeout, this, &FrmMain::tick);

    for (QWidget *watched : {static_cast<QWidget *>(PicContrl), static_cast<QWidget *>(txtCode16),
             static_cast<QWidget *>(lblCopy)})
        watched->installEventFilter(this);
}

void FrmMain::reportSelfTestFailure(const std::string &failure)
{
    const QString notice = QStringLiteral(u"自检失败：本版本计算的密码有误");
    for (TextBox *output : {txtCode16, txtCode32}) {
        output->setEnabled(false);
        output->setPlaceholderText(notice);
    }

    auto *message = new QMessageBox(QMessageBox::Critical, Title,
        QStringLiteral(u"自检失败：本版本计算出的密码是错误的，请不要使用它显示的任何密码。"),
        QMessageBox::Ok, this);
    message->setObjectName(QStringLiteral("SelfTestFailure"));
    message->setInformativeText(QString::fromUtf8(SelfTestFailureMessage) + QStringLiteral(" (")
        + QString::fromStdString(failure) + QLatin1Char(')'));
    message->setWindowModality(Qt::WindowModal);
    // Opened once the event loop runs, so that it stands over the shown window.
    QTimer::singleShot(0, message, [message] { message->open(); });
}

bool FrmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseMove) {
        if (watched == lblCopy)
            ImgCode->show();
        else if (watched == PicContrl || watched == txtCode16)
            ImgCode->hide();
    }
    return QWidget::eventFilter(watched, event);
}

void FrmMain::regenerate()
{
    // Implicitly shared with the boxes: reading them copies no characters.
    const QString password = txtPassword->text();
    const QString key = txtKey->text();

    const bool derive = m_derivingEnabled && !password.isEmpty() && !key.isEmpty()
        && password.size() <= MaxDigestUnits && key.size() <= MaxDigestUnits;
    if (derive) {
        try {
            Codes codes = GenerateCodes(View(password), View(key));
            const WipeOnExit wipe{codes};
            txtCode16->setText(QString::fromStdU16String(codes.code16));
            txtCode32->setText(QString::fromStdU16String(codes.code32));
            return;
        } catch (const DigestError &) {
            // Too long in UTF-8 (or an engine fault the self-test missed):
            // no code rather than a stale one.
        }
    }
    txtCode16->setText(QString());
    txtCode32->setText(QString());
}

void FrmMain::selectAll(TextBox *box)
{
    box->setSelection(0, static_cast<int>(box->text().size()));
}

void FrmMain::copySecret(const QString &code)
{
    if (code.isEmpty())
        return;
    m_clipboard->copySecret(code);
    // The counter is not reset: a second copy does not lengthen the confirmation.
    if (!TmrShow->isActive())
        TmrShow->start();
    // Showing the notification is what the accessibility bus announces; the
    // alert is for bridges that listen for alerts.
    ImgCopy->show();
    QAccessibleEvent announcement(ImgCopy, QAccessible::Alert);
    QAccessible::updateAccessibility(&announcement);
}

void FrmMain::tick()
{
    ++m_ticks;
    if (m_ticks > ConfirmationTicks) {
        m_ticks = 0;
        TmrShow->stop();
        ImgCopy->hide();
    }
}

void FrmMain::openLink(const Label *control)
{
    for (const Link &link : Links)
        if (control->objectName() == QLatin1String(link.control))
            m_openUrl(QUrl(QString::fromLatin1(link.address)));
}

} // namespace mnemora
