#include "FrmMain.h"

#include "Accessibility.h"
#include "Artwork.h"
#include "Clipboard.h"
#include "Fonts.h"
#include "Label.h"
#include "TextBox.h"
#include "Twips.h"

#include "mnemora_layout.h"

#include "GenerateCodes.h"
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
#include <variant>

namespace mnemora {

namespace {

const QString Title = QStringLiteral("Mnemora v1.2 build 20120314");
constexpr char HomePage[] = "https://mnemora.example.org/";
constexpr char DonationPage[] = "https://mnemora.example.org/donate";
constexpr const char *ContributorPages[] = {
    "https://mnemora.example.org/contributors/tarrow",
    "https://mnemora.example.org/contributors/belmir",
    "https://mnemora.example.org/contributors/odrin",
    "https://mnemora.example.org/contributors/pelu",
};
constexpr char CopyrightNotice[] = "Copyright © 2012 Mnemora. All rights reserved.";

constexpr QRgb WindowColour = 0xF2F2F2;
constexpr QRgb InputColour = 0xFFFFFF;
// The panel colour of the background picture: the codes read as printed on it.
constexpr QRgb OutputColour = 0xFFFBF0;
constexpr QRgb CopyrightColour = 0xC0C0C0;

constexpr int TimerInterval = 200; // ms
// TmrShow ticks after which the copy confirmation goes away again.
constexpr int ConfirmationTicks = 5;

// What the window is called on the accessibility bus.
constexpr char AccessibleTitle[] = "Mnemora";
constexpr char AccessibleSlogan[] = "可记忆 非存储 轻松管理个人密码";

enum class Kind {
    Panel, // the picture container under the other controls
    Picture,
    Caption, // a text on the panel
    HotSpot, // invisible, over a button painted in the panel's picture
    Input,
    Password, // an input shown as stars, typed without an input method
    Output,   // read-only, and every copy of it is handed to the window
};

enum class Pointer { Inherited, Arrow, TextCursor, Hand };

// A control of the window: everything about it but its name, parent, place
// and picture, which ui/layout.json gives. Accessible texts are what a screen
// reader says, in the words painted on the window where there are any.
struct Declaration {
    std::variant<Label * FrmMain::*, TextBox * FrmMain::*> member;
    layout::Control control;
    Kind kind;
    QAccessible::Role role; // of a picture or label
    Pointer pointer;
    const char *caption;
    const char *toolTip;
    const char *link; // the web page a click opens
    const char *accessibleName;
    const char *accessibleDescription;
};

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

void SetColour(QWidget *widget, QPalette::ColorRole role, QRgb colour)
{
    QPalette palette = widget->palette();
    palette.setColor(role, QColor(colour));
    widget->setPalette(palette);
}

QCursor PointerOf(Pointer pointer)
{
    switch (pointer) {
    case Pointer::Arrow:
        return Qt::ArrowCursor;
    case Pointer::TextCursor:
        return Qt::IBeamCursor;
    case Pointer::Hand:
    case Pointer::Inherited:
        break;
    }
    return HandCursor();
}

void SetUpTextBox(TextBox *box, Kind kind)
{
    const bool input = kind != Kind::Output;
    box->setFrame(false);
    box->setFont(input ? InputFont() : OutputFont());
    box->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QPalette palette = box->palette();
    palette.setColor(QPalette::Base, QColor(input ? InputColour : OutputColour));
    palette.setColor(QPalette::Text, Qt::black);
    box->setPalette(palette);
    // The style leaves the edge of a frameless box unpainted; the box's
    // colour must reach its edges to cover the painted frame's interior.
    box->setAutoFillBackground(true);

    if (!input) {
        box->setReadOnly(true);
        box->setCopyHandedOver(true);
        return;
    }
    // QLineEdit's default limit of 32,767 would cut a pasted text short
    // without a word; an over-long text is refused when deriving instead.
    box->setMaxLength(std::numeric_limits<int>::max());
    box->setHistoryKept(false);
    if (kind != Kind::Password)
        return;
    box->setEchoMode(QLineEdit::Password);
    auto *mask = new PasswordStyle;
    mask->setParent(box);
    box->setStyle(mask);
    // A password is typed as plain keystrokes, never composed by an input
    // method. Set after the echo mode, which would switch it back on.
    box->setAttribute(Qt::WA_InputMethodEnabled, false);
    box->setInputMethodHints(
        Qt::ImhHiddenText | Qt::ImhSensitiveData | Qt::ImhNoPredictiveText | Qt::ImhNoAutoUppercase);
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
    SetWindowIconOncePainted(this);
    setFont(WindowFont());
    SetColour(this, QPalette::Window, WindowColour);
    setAutoFillBackground(true);
    setFixedSize(TwipsToPixels(layout::WindowWidth), TwipsToPixels(layout::WindowHeight));
    if (const QScreen *where = screen())
        setGeometry(
            QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), where->availableGeometry()));

    m_clipboard = new Clipboard(services.clipboardClearDelay, this);

    SetUpAccessibility();
    setAccessibleName(QString::fromUtf8(AccessibleTitle));
    setAccessibleDescription(QString::fromUtf8(AccessibleSlogan));
    createControls();
    connectHandlers();

    if (!m_derivingEnabled)
        reportSelfTestFailure(failure);
}

FrmMain::~FrmMain() = default;

void FrmMain::createControls()
{
    using layout::Control;
    // clang-format off
    static constexpr Declaration Declarations[] = {
        // member, control, kind, role, pointer, caption, tooltip, link,
        //     accessible name, accessible description
        {&FrmMain::ImgLogo,      Control::ImgLogo,      Kind::Picture,  QAccessible::Graphic,      Pointer::Inherited,  nullptr,         nullptr,           nullptr,
            AccessibleSlogan, "Mnemora的标志和口号"},
        {&FrmMain::PicContrl,    Control::PicContrl,    Kind::Panel,    QAccessible::Grouping,     Pointer::Inherited,  nullptr,         nullptr,           nullptr,
            "输入与获取", "第一步输入记忆密码和区分代号，第二步获取密码"},
        {&FrmMain::txtCode16,    Control::txtCode16,    Kind::Output,   QAccessible::EditableText, Pointer::Arrow,      nullptr,         nullptr,           nullptr,
            "16位码（推荐）", "由记忆密码和区分代号生成的16位密码"},
        {&FrmMain::txtCode32,    Control::txtCode32,    Kind::Output,   QAccessible::EditableText, Pointer::Arrow,      nullptr,         nullptr,           nullptr,
            "32位完整MD5码", "由记忆密码和区分代号生成的32位密码"},
        {&FrmMain::txtPassword,  Control::txtPassword,  Kind::Password, QAccessible::EditableText, Pointer::TextCursor, nullptr,         nullptr,           nullptr,
            "记忆密码", "选择一个与个人信息无关的密码，防止社会工程学破解。"},
        {&FrmMain::txtKey,       Control::txtKey,       Kind::Input,    QAccessible::EditableText, Pointer::TextCursor, nullptr,         nullptr,           nullptr,
            "区分代号", "用于区别不同用途密码的简短代号，如淘宝账号可用“taobao”或“tb”等。"},
        {&FrmMain::ImgDonation,  Control::ImgDonation,  Kind::Picture,  QAccessible::Link,         Pointer::Hand,       nullptr,         "了解并资助Mnemora的发展", DonationPage,
            "捐助Mnemora", "了解并资助Mnemora的发展"},
        {&FrmMain::ImgOdrin,     Control::ImgOdrin,     Kind::Picture,  QAccessible::Link,         Pointer::Hand,       nullptr,         "Odrin",           ContributorPages[2],
            "Odrin", "打开贡献者Odrin的主页"},
        {&FrmMain::ImgBelmir,    Control::ImgBelmir,    Kind::Picture,  QAccessible::Link,         Pointer::Hand,       nullptr,         "Belmir",          ContributorPages[1],
            "Belmir", "打开贡献者Belmir的主页"},
        {&FrmMain::ImgTarrow,    Control::ImgTarrow,    Kind::Picture,  QAccessible::Link,         Pointer::Hand,       nullptr,         "Tarrow",          ContributorPages[0],
            "Tarrow", "打开贡献者Tarrow的主页"},
        {&FrmMain::ImgPelu,      Control::ImgPelu,      Kind::Picture,  QAccessible::Link,         Pointer::Hand,       nullptr,         "Pelu",            ContributorPages[3],
            "Pelu", "打开贡献者Pelu的主页"},
        {&FrmMain::lblCopyright, Control::lblCopyright, Kind::Caption,  QAccessible::Link,         Pointer::Hand,       CopyrightNotice, HomePage,          HomePage,
            "版权信息", "打开Mnemora的主页"},
        {&FrmMain::lblCopy,      Control::lblCopy,      Kind::HotSpot,  QAccessible::Button,       Pointer::Hand,       nullptr,         nullptr,           nullptr,
            "点击复制", "将16位码复制到剪贴板"},
        // The highlight only repeats the copy button in another colour; a screen
        // reader speaks a notification when the confirmation shows.
        {&FrmMain::ImgCode,      Control::ImgCode,      Kind::Picture,  QAccessible::NoRole,       Pointer::Hand,       nullptr,         nullptr,           nullptr,
            nullptr, nullptr},
        {&FrmMain::ImgCopy,      Control::ImgCopy,      Kind::Picture,  QAccessible::Notification, Pointer::Inherited,  nullptr,         nullptr,           nullptr,
            "复制成功", "密码已复制到剪贴板，稍后自动清除"},
    };
    // clang-format on
    static_assert(std::size(Declarations) == std::size(layout::Controls));
    static_assert(
        [] {
            for (std::size_t i = 0; i < std::size(Declarations); ++i)
                if (static_cast<std::size_t>(Declarations[i].control) != i
                    || layout::Controls[i].parent >= static_cast<int>(i))
                    return false;
            return true;
        }(),
        "one declaration per control, in the order of ui/layout.json, parents first");

    // Built in the order of the layout: parents first, and later siblings above earlier ones.
    std::array<QWidget *, std::size(Declarations)> built{};
    for (const Declaration &declared : Declarations) {
        const layout::ControlPlace &place = layout::Place(declared.control);
        QWidget *parent = place.parent < 0 ? this : built.at(static_cast<std::size_t>(place.parent));
        QWidget *control = nullptr;
        if (const auto *member = std::get_if<TextBox * FrmMain::*>(&declared.member)) {
            auto *box = new TextBox(parent);
            this->*(*member) = box;
            SetUpTextBox(box, declared.kind);
            control = box;
        } else {
            auto *label = new Label(declared.role, parent);
            this->*std::get<Label * FrmMain::*>(declared.member) = label;
            if (*place.picture)
                label->setPixmap(
                    LoadPicture(QString::fromLatin1(place.picture), parent->devicePixelRatioF()));
            if (declared.kind == Kind::Caption) {
                label->setText(QString::fromUtf8(declared.caption));
                SetColour(label, QPalette::WindowText, CopyrightColour);
            }
            // The panel paints the window's colour under its picture.
            label->setAutoFillBackground(declared.kind == Kind::Panel);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            label->setFocusPolicy(Qt::NoFocus);
            if (declared.link)
                connect(label, &Label::clicked, this,
                    [this, address = QUrl(QString::fromUtf8(declared.link))] { m_openUrl(address); });
            control = label;
        }
        built.at(static_cast<std::size_t>(declared.control)) = control;
        control->setObjectName(QLatin1String(place.name));
        control->setGeometry(TwipsRect(place.left, place.top, place.width, place.height));
        if (declared.pointer != Pointer::Inherited)
            control->setCursor(PointerOf(declared.pointer));
        if (declared.toolTip)
            control->setToolTip(QString::fromUtf8(declared.toolTip));
        if (declared.accessibleName) {
            control->setAccessibleName(QString::fromUtf8(declared.accessibleName));
            control->setAccessibleDescription(QString::fromUtf8(declared.accessibleDescription));
        }
    }
    txtCode16->setMaxLength(16);
    txtCode32->setMaxLength(32);

    TmrShow = new QTimer(PicContrl);
    TmrShow->setObjectName(QStringLiteral("TmrShow"));
    TmrShow->setInterval(TimerInterval);
    // A coarse timer may fire up to 5 % early, cutting the confirmation short.
    TmrShow->setTimerType(Qt::PreciseTimer);

    // The highlight lies over the code frame and the button; the code stays
    // readable above it and clicks on the button still reach lblCopy.
    txtCode16->raise();
    lblCopy->raise();
    ImgCode->hide();
    ImgCopy->hide();

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
    setTabOrder(txtPassword, txtKey);
    setTabOrder(txtKey, txtCode16);
    setTabOrder(txtCode16, txtCode32);
    txtPassword->setFocus();
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

    // An over-long text (or an empty one) shows no code rather than a stale one.
    Codes codes;
    if (m_derivingEnabled && TryGenerateCodes(View(password), View(key), codes) == DeriveStatus::Ok) {
        txtCode16->setText(QString::fromStdU16String(codes.code16));
        txtCode32->setText(QString::fromStdU16String(codes.code32));
        return;
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

} // namespace mnemora
