#include "FrmMain.h"

#include "Accessibility.h"
#include "Artwork.h"
#include "Clipboard.h"
#include "FitDialog.h"
#include "Fonts.h"
#include "Label.h"
#include "TextBox.h"
#include "Twips.h"

#include "mnemora_layout.h"

#include "SelfTest.h"

#include <QAccessible>
#include <QColor>
#include <QDesktopServices>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QPalette>
#include <QProxyStyle>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QToolTip>
#include <QUrl>

#include <array>
#include <limits>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace mnemora {

namespace {

// A control of the window and the member that holds it; what it is comes
// from the shared table of control facts, where it lies from assets/layout.json.
struct Declaration {
    std::variant<Label * FrmMain::*, TextBox * FrmMain::*> member;
    layout::Control control;
};

// Shows every password character as one "*", whatever the platform's own
// mask character is.
class PasswordStyle final : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
        QStyleHintReturn *returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return PasswordCharacter;
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

QCursor PointerOf(ControlPointer pointer)
{
    switch (pointer) {
    case ControlPointer::Arrow:
        return Qt::ArrowCursor;
    case ControlPointer::TextCursor:
        return Qt::IBeamCursor;
    case ControlPointer::Hand:
    case ControlPointer::Inherited:
        break;
    }
    return HandCursor();
}

QAccessible::Role RoleOf(ControlRole role)
{
    switch (role) {
    case ControlRole::Graphic:
        return QAccessible::Graphic;
    case ControlRole::Grouping:
        return QAccessible::Grouping;
    case ControlRole::EditableText:
        return QAccessible::EditableText;
    case ControlRole::Link:
        return QAccessible::Link;
    case ControlRole::Button:
        return QAccessible::Button;
    case ControlRole::Notification:
        return QAccessible::Notification;
    case ControlRole::None:
        break;
    }
    return QAccessible::NoRole;
}

void SetUpTextBox(TextBox *box, ControlKind kind)
{
    const bool input = kind != ControlKind::Output;
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
    if (kind != ControlKind::Password)
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
    QDesktopServices::openUrl(address);
}

// The system's languages as Qt reads them (LANGUAGE, LC_ALL, LC_MESSAGES,
// LANG); the C locale asks for none, so it gets the default.
Language SystemLanguage()
{
    const QLocale system = QLocale::system();
    if (system.language() == QLocale::C)
        return layout::DefaultLanguage;
    std::vector<std::string> preferred;
    for (const QString &tag : system.uiLanguages())
        preferred.push_back(tag.toStdString());
    return ChooseLanguage(preferred);
}

} // namespace

FrmMain::FrmMain(FrmMainServices services, QWidget *parent)
    : QWidget(parent,
        Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
            | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
    , m_openUrl(services.openUrl ? std::move(services.openUrl) : OpenInBrowser)
    // Before anything can be typed: a build that computes wrong codes must
    // never show one.
    , m_language(SystemLanguage())
    , m_behaviour(*this, services.selfTest ? services.selfTest() : RunSelfTest(), m_language)
{
    setObjectName(QStringLiteral("FrmMain"));
    setWindowTitle(QString::fromUtf8(WindowTitle));
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
    setAccessibleDescription(QString::fromUtf8(layout::WindowTextsIn(m_language).slogan));
    createControls();
    connectHandlers();
    m_behaviour.Start();
}

FrmMain::~FrmMain() = default;

void FrmMain::createControls()
{
    using layout::Control;
    static constexpr Declaration Declarations[] = {
        {&FrmMain::ImgLogo, Control::ImgLogo},
        {&FrmMain::PicContrl, Control::PicContrl},
        {&FrmMain::txtCode16, Control::txtCode16},
        {&FrmMain::txtCode32, Control::txtCode32},
        {&FrmMain::txtPassword, Control::txtPassword},
        {&FrmMain::txtKey, Control::txtKey},
        {&FrmMain::ImgDonation, Control::ImgDonation},
        {&FrmMain::ImgOdrin, Control::ImgOdrin},
        {&FrmMain::ImgBelmir, Control::ImgBelmir},
        {&FrmMain::ImgTarrow, Control::ImgTarrow},
        {&FrmMain::ImgPelu, Control::ImgPelu},
        {&FrmMain::lblCopyright, Control::lblCopyright},
        {&FrmMain::lblCopy, Control::lblCopy},
        {&FrmMain::ImgCode, Control::ImgCode},
        {&FrmMain::ImgCopy, Control::ImgCopy},
    };
    static_assert(
        [] {
            for (std::size_t i = 0; i < std::size(Declarations); ++i)
                if (static_cast<std::size_t>(Declarations[i].control) != i)
                    return false;
            return std::size(Declarations) == std::size(layout::Controls);
        }(),
        "one declaration per control, in the order of assets/layout.json");

    // Built in the order of the layout: parents first, and later siblings above earlier ones.
    std::array<QWidget *, std::size(Declarations)> built{};
    for (const Declaration &declared : Declarations) {
        const layout::ControlPlace &place = layout::Place(declared.control);
        const ControlFacts facts = Facts(declared.control, m_language);
        QWidget *parent = place.parent < 0 ? this : built.at(static_cast<std::size_t>(place.parent));
        QWidget *control = nullptr;
        if (const auto *member = std::get_if<TextBox * FrmMain::*>(&declared.member)) {
            auto *box = new TextBox(parent);
            this->*(*member) = box;
            SetUpTextBox(box, facts.kind);
            if (const int longest = layout::RulesOf(declared.control).maxLength)
                box->setMaxLength(longest);
            control = box;
        } else {
            auto *label = new Label(RoleOf(facts.role), parent);
            this->*std::get<Label * FrmMain::*>(declared.member) = label;
            if (const char *picture = layout::TextsOf(declared.control, m_language).picture; *picture)
                label->setPixmap(LoadPicture(QString::fromLatin1(picture), parent->devicePixelRatioF()));
            if (facts.kind == ControlKind::Caption) {
                label->setText(QString::fromUtf8(facts.caption));
                SetColour(label, QPalette::WindowText, CopyrightColour);
            }
            // The panel paints the window's colour under its picture.
            label->setAutoFillBackground(facts.kind == ControlKind::Panel);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            label->setFocusPolicy(Qt::NoFocus);
            if (facts.link)
                connect(label, &Label::clicked, this,
                    [this, control = declared.control] { m_behaviour.Clicked(control); });
            control = label;
        }
        built.at(static_cast<std::size_t>(declared.control)) = control;
        control->setObjectName(QLatin1String(place.name));
        control->setGeometry(TwipsRect(place.left, place.top, place.width, place.height));
        if (facts.pointer != ControlPointer::Inherited)
            control->setCursor(PointerOf(facts.pointer));
        if (facts.toolTip)
            control->setToolTip(QString::fromUtf8(facts.toolTip));
        if (facts.accessibleName) {
            control->setAccessibleName(QString::fromUtf8(facts.accessibleName));
            control->setAccessibleDescription(QString::fromUtf8(facts.accessibleDescription));
        }
    }

    TmrShow = new QTimer(PicContrl);
    TmrShow->setObjectName(QStringLiteral("TmrShow"));
    TmrShow->setInterval(WindowBehaviour::ConfirmationTick);
    // A coarse timer may fire up to 5 % early, cutting the confirmation short.
    TmrShow->setTimerType(Qt::PreciseTimer);

    // The highlight lies over the code frame and the button; the code stays
    // readable above it and clicks on the button still reach lblCopy.
    for (layout::Control raised : layout::Raised)
        built.at(static_cast<std::size_t>(raised))->raise();
    for (std::size_t i = 0; i < built.size(); ++i)
        if (layout::Rules[i].hiddenAtStart)
            built[i]->hide();

    // Mouse movement is reported to the topmost control under the pointer
    // only, never passed on to the panel beneath.
    for (QObject *child : PicContrl->children())
        if (auto *control = qobject_cast<QWidget *>(child))
            control->setAttribute(Qt::WA_NoMousePropagation);
    for (QWidget *hover : {static_cast<QWidget *>(PicContrl), static_cast<QWidget *>(lblCopy),
             static_cast<QWidget *>(txtCode16)})
        hover->setMouseTracking(true);

    // Only the boxes take the focus, so Tab cycles through them alone.
    for (std::size_t i = 1; i < std::size(layout::TabOrder); ++i)
        setTabOrder(textBox(layout::TabOrder[i - 1]), textBox(layout::TabOrder[i]));
    textBox(layout::TabOrder[0])->setFocus();
}

void FrmMain::connectHandlers()
{
    // textChanged, not textEdited: a paste, an undo or a program's setText
    // change the codes as much as typing does. Qt tells assistive technology
    // that a box controls the receivers of its textChanged, so the code boxes
    // receive it; the second connection exists for that relation alone.
    for (TextBox *input : {txtPassword, txtKey}) {
        connect(input, &QLineEdit::textChanged, txtCode16, [this] {
            hidePasteCut();
            regenerate();
        });
        connect(input, &QLineEdit::textChanged, txtCode32, [] {});
        connect(input, &TextBox::pasteCut, this, [this, input] { showPasteCut(input); });
    }
    using layout::Control;
    for (Control control : {Control::txtPassword, Control::txtKey, Control::txtCode16, Control::txtCode32}) {
        TextBox *box = textBox(control);
        connect(box, &TextBox::gotFocus, this, [this, control, box] {
            m_behaviour.FocusGained(control, static_cast<std::size_t>(box->text().size()));
        });
    }
    for (TextBox *output : {txtCode16, txtCode32}) {
        connect(
            output, &TextBox::copyRequested, this, [this, output] { copySecret(output->selectedText()); });
        output->setMenuExtension([this](QMenu *menu) {
            menu->addSeparator();
            QAction *fit = menu->addAction(QString::fromUtf8(FitTexts(RuleLanguageOf(m_language)).menuEntry),
                this, &FrmMain::openFitDialog);
            fit->setObjectName(QStringLiteral("fit-to-rules"));
            fit->setEnabled(m_behaviour.DerivingEnabled());
        });
    }
    connect(lblCopy, &Label::clicked, this, [this] {
        copySecret(
            textBox(static_cast<layout::Control>(layout::RulesOf(layout::Control::lblCopy).copies))->text());
    });
    connect(TmrShow, &QTimer::timeout, this, [this] { m_behaviour.Tick(); });

    for (QWidget *watched : {static_cast<QWidget *>(PicContrl), static_cast<QWidget *>(txtCode16),
             static_cast<QWidget *>(lblCopy)})
        watched->installEventFilter(this);
}

TextBox *FrmMain::textBox(layout::Control box) const
{
    switch (box) {
    case layout::Control::txtPassword:
        return txtPassword;
    case layout::Control::txtKey:
        return txtKey;
    case layout::Control::txtCode16:
        return txtCode16;
    case layout::Control::txtCode32:
        return txtCode32;
    default:
        return nullptr;
    }
}

bool FrmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseMove) {
        if (watched == lblCopy)
            m_behaviour.PointerMoved(layout::Control::lblCopy);
        else if (watched == PicContrl)
            m_behaviour.PointerMoved(layout::Control::PicContrl);
        else if (watched == txtCode16)
            m_behaviour.PointerMoved(layout::Control::txtCode16);
    }
    return QWidget::eventFilter(watched, event);
}

void FrmMain::regenerate()
{
    // Implicitly shared with the boxes: reading them copies no characters.
    const QString password = txtPassword->text();
    const QString key = txtKey->text();
    m_behaviour.InputChanged(View(password), View(key));
}

void FrmMain::openFitDialog()
{
    if (m_fitDialog)
        return m_fitDialog->activateWindow();
    m_fitDialog = new FitDialog(
        [this] {
            return std::pair{txtPassword->text(), txtKey->text()};
        },
        [this](const QString &code) { copySecret(code); }, RuleLanguageOf(m_language), this);
    m_fitDialog->setAttribute(Qt::WA_DeleteOnClose);
    m_fitDialog->open();
}

void FrmMain::showPasteCut(TextBox *box)
{
    // A window of its own, drawn as a tooltip, but not QToolTip's: that one
    // goes at the release of the very key that pasted.
    if (!m_pasteCut) {
        m_pasteCut
            = new QLabel(QString::fromUtf8(layout::WindowTextsIn(m_language).pasteCut), this, Qt::ToolTip);
        m_pasteCut->setPalette(QToolTip::palette());
        m_pasteCut->setFont(QToolTip::font());
        m_pasteCut->setAutoFillBackground(true);
        m_pasteCut->setFrameStyle(QFrame::Box | QFrame::Plain);
        m_pasteCut->setMargin(2);
        m_pasteCut->setAccessibleName(m_pasteCut->text());
        m_pasteCut->adjustSize();
        m_pasteCutTimer = new QTimer(this);
        m_pasteCutTimer->setSingleShot(true);
        m_pasteCutTimer->setInterval(layout::PasteCutMs);
        connect(m_pasteCutTimer, &QTimer::timeout, this, &FrmMain::hidePasteCut);
    }
    m_pasteCut->move(box->mapToGlobal(QPoint(0, box->height())));
    m_pasteCut->show();
    m_pasteCutTimer->start();
}

void FrmMain::hidePasteCut()
{
    if (m_pasteCut)
        m_pasteCut->hide();
}

void FrmMain::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && !isActiveWindow())
        hidePasteCut();
    QWidget::changeEvent(event);
}

void FrmMain::copySecret(const QString &code)
{
    m_behaviour.Copy(View(code));
}

void FrmMain::ShowCodes(std::u16string_view code16, std::u16string_view code32)
{
    txtCode16->setText(QString::fromUtf16(code16.data(), static_cast<qsizetype>(code16.size())));
    txtCode32->setText(QString::fromUtf16(code32.data(), static_cast<qsizetype>(code32.size())));
}

void FrmMain::Select(layout::Control box, std::size_t start, std::size_t length)
{
    if (TextBox *control = textBox(box))
        control->setSelection(static_cast<int>(start), static_cast<int>(length));
}

bool FrmMain::CopyToClipboard(std::u16string_view code)
{
    // Qt hands the text to the platform's clipboard later; it never refuses.
    m_clipboard->copySecret(QString::fromUtf16(code.data(), static_cast<qsizetype>(code.size())));
    return true;
}

void FrmMain::SetTimerRunning(bool running)
{
    if (running)
        TmrShow->start();
    else
        TmrShow->stop();
}

void FrmMain::SetPictureVisible(layout::Control picture, bool visible)
{
    Label *shown = picture == layout::Control::ImgCopy ? ImgCopy : ImgCode;
    shown->setVisible(visible);
    if (shown == ImgCopy && visible) {
        // Showing the notification is what the accessibility bus announces;
        // the alert is for bridges that listen for alerts.
        QAccessibleEvent announcement(ImgCopy, QAccessible::Alert);
        QAccessible::updateAccessibility(&announcement);
    }
}

void FrmMain::OpenAddress(const char *address)
{
    m_openUrl(QUrl(QString::fromUtf8(address)));
}

void FrmMain::ShowSelfTestFailure(const char *notice, const char *headline, const std::string &details)
{
    for (TextBox *output : {txtCode16, txtCode32}) {
        output->setEnabled(false);
        output->setPlaceholderText(QString::fromUtf8(notice));
    }

    auto *message = new QMessageBox(QMessageBox::Critical, QString::fromUtf8(WindowTitle),
        QString::fromUtf8(headline), QMessageBox::Ok, this);
    message->setObjectName(QStringLiteral("SelfTestFailure"));
    message->setInformativeText(QString::fromStdString(details));
    message->setWindowModality(Qt::WindowModal);
    // Opened once the event loop runs, so that it stands over the shown window.
    QTimer::singleShot(0, message, [message] { message->open(); });
}

} // namespace mnemora
