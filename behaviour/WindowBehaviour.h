#pragma once

#include "WindowLayout.h"

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace mnemora {

// What a window does when its behaviour asks. Each window implements it with
// its own toolkit; none of these calls can fail in a way the behaviour sees.
class WindowPort {
public:
    // Writes both code boxes, the 16-character one first; two empty texts
    // empty them.
    virtual void ShowCodes(std::u16string_view code16, std::u16string_view code32) = 0;
    // Selects length characters of a text box from start.
    virtual void Select(layout::Control box, std::size_t start, std::size_t length) = 0;
    // Puts a code on the clipboard in place of whatever it held; false when
    // the clipboard could not be had, which the port has told the user.
    virtual bool CopyToClipboard(std::u16string_view code) = 0;
    // Starts or stops the timer that calls Tick() every ConfirmationTick.
    virtual void SetTimerRunning(bool running) = 0;
    // Shows or hides the highlight ImgCode or the confirmation ImgCopy; the
    // confirmation's showing is also announced to assistive technology.
    virtual void SetPictureVisible(layout::Control picture, bool visible) = 0;
    // Hands a web address to the desktop's browser; whether a page opens
    // changes nothing in the window.
    virtual void OpenAddress(const char *address) = 0;
    // The self-test failed: the code boxes show the notice and take no
    // focus, and a message tells the user (headline, then details).
    virtual void ShowSelfTestFailure(const char *notice, const char *headline, const std::string &details)
        = 0;

protected:
    ~WindowPort() = default;
};

// The rules of the main window, whatever draws it: when the codes are
// derived, what a focused box selects, the copy and its confirmation, the
// hover highlight and the links. The window reports its events here and lets
// the port carry out what follows.
class WindowBehaviour {
public:
    // The timer's interval, and the ticks after which the confirmation of a
    // copy goes away again: it shows from the copy until the tick that ends
    // layout::ConfirmationMs.
    static constexpr std::chrono::milliseconds ConfirmationTick{layout::TickMs};
    static constexpr int ConfirmationTicks = layout::ConfirmationMs / layout::TickMs - 1;
    // How long a copied code may stay on the clipboard.
    static constexpr std::chrono::milliseconds ClipboardClearDelay{layout::ClipboardClearMs};

    // selfTestFailure: what RunSelfTest() returned; empty when it passed.
    // language: the one the window speaks, for the texts this reports.
    WindowBehaviour(
        WindowPort &port, std::string selfTestFailure, Language language = layout::DefaultLanguage);

    WindowBehaviour(const WindowBehaviour &) = delete;
    WindowBehaviour &operator=(const WindowBehaviour &) = delete;

    // False once the self-test has failed: the window never derives.
    bool DerivingEnabled() const noexcept { return m_selfTestFailure.empty(); }

    // Once the window's controls exist: reports a failed self-test.
    void Start();

    // Either input box changed, by typing, pasting or a program: both codes
    // are derived again, or emptied when either input is empty, too long, or
    // this build failed its self-test (never a stale code).
    void InputChanged(std::u16string_view password, std::u16string_view key);

    // A text box got the focus: its whole text is selected.
    void FocusGained(layout::Control box, std::size_t textLength);

    // The copy button, or a copy in a code box: an empty code does nothing,
    // and a copy the clipboard refused shows no confirmation. A copy while
    // the confirmation shows does not lengthen it.
    void Copy(std::u16string_view code);

    // The timer fired.
    void Tick();

    // The pointer moved over a control (the topmost one under it).
    void PointerMoved(layout::Control over);

    // A control was clicked: a link opens its page.
    void Clicked(layout::Control control);

    // Ticks of the timer since the confirmation was last hidden.
    int Ticks() const noexcept { return m_ticks; }
    bool TimerRunning() const noexcept { return m_timerRunning; }

private:
    WindowPort &m_port;
    std::string m_selfTestFailure;
    Language m_language;
    int m_ticks = 0;
    bool m_timerRunning = false;
};

} // namespace mnemora
