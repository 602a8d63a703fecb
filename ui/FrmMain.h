#pragma once

#include "WindowBehaviour.h"

#include <QPointer>
#include <QWidget>

class QLabel;

#include <chrono>
#include <functional>
#include <string>

class QTimer;
class QUrl;

namespace mnemora {

class Clipboard;
class FitDialog;
class Label;
class TextBox;

// What the main window needs from outside itself. Every member may be left
// empty for the real thing; tests put in their own.
struct FrmMainServices {
    // The known-answer check of the code generator; returns an empty string
    // when it passes, otherwise what failed. Empty: mnemora::RunSelfTest.
    std::function<std::string()> selfTest;
    // Opens a web address. Empty: the desktop's browser.
    std::function<void(const QUrl &)> openUrl;
    // How long a copied code may stay on the clipboard.
    std::chrono::milliseconds clipboardClearDelay = WindowBehaviour::ClipboardClearDelay;
};

// The program's one window. The user types the memorised password and a
// distinguishing key; after every change the two codes derived from them are
// shown, and one click copies the short code.
//
// The design is a background picture with the headings, captions, input
// frames and the copy button painted in, and borderless controls lying over
// the painted spots. Every control is a child object named after its member
// (txtPassword, lblCopy, TmrShow, ...).
//
// If the self-test fails, the window never derives: both code boxes stay
// empty and disabled, and a message tells the user that this build computes
// wrong codes.
//
// What happens on each event is decided by WindowBehaviour, which every
// window of Mnemora shares; this class carries it out with Qt's widgets.
class FrmMain : public QWidget, private WindowPort {
    Q_OBJECT

public:
    explicit FrmMain(FrmMainServices services = {}, QWidget *parent = nullptr);
    ~FrmMain() override;

    // False once the self-test has failed.
    bool derivingEnabled() const noexcept { return m_behaviour.DerivingEnabled(); }
    Language language() const noexcept { return m_language; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void createControls();
    void connectHandlers();

    void regenerate();
    // The dialog that fits a code to a site's rules, over the window; one at a time.
    void openFitDialog();
    // Every copy of a code: the copy button's and the code boxes' own.
    void copySecret(const QString &code);
    // The line under a box whose paste was cut at its first line break; it
    // goes with the next change of either input, a deactivation or 5 s.
    void showPasteCut(TextBox *box);
    void hidePasteCut();

    TextBox *textBox(layout::Control box) const;

    // WindowPort
    void ShowCodes(std::u16string_view code16, std::u16string_view code32) override;
    void Select(layout::Control box, std::size_t start, std::size_t length) override;
    bool CopyToClipboard(std::u16string_view code) override;
    void SetTimerRunning(bool running) override;
    void SetPictureVisible(layout::Control picture, bool visible) override;
    void OpenAddress(const char *address) override;
    void ShowSelfTestFailure(const char *notice, const char *headline, const std::string &details) override;

    // Controls, named as in the window's design.
    Label *ImgLogo = nullptr;
    Label *PicContrl = nullptr;
    QTimer *TmrShow = nullptr;
    TextBox *txtCode16 = nullptr;
    TextBox *txtCode32 = nullptr;
    TextBox *txtPassword = nullptr;
    TextBox *txtKey = nullptr;
    Label *ImgDonation = nullptr;
    Label *ImgOdrin = nullptr;
    Label *ImgBelmir = nullptr;
    Label *ImgTarrow = nullptr;
    Label *ImgPelu = nullptr;
    Label *lblCopyright = nullptr;
    Label *lblCopy = nullptr;
    Label *ImgCode = nullptr;
    Label *ImgCopy = nullptr;

    QLabel *m_pasteCut = nullptr;
    QTimer *m_pasteCutTimer = nullptr;
    Clipboard *m_clipboard = nullptr;
    QPointer<FitDialog> m_fitDialog;
    std::function<void(const QUrl &)> m_openUrl;
    // The language the window speaks, chosen once from the system's.
    Language m_language;
    WindowBehaviour m_behaviour;
};

} // namespace mnemora
