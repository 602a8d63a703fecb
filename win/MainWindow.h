#pragma once

#include "Pictures.h"
#include "SecretClipboard.h"
#include "SecureWipe.h"
#include "WindowBehaviour.h"

#include <windows.h>

#include <array>
#include <memory>
#include <string>
#include <string_view>

namespace mnemora::win {

// The program's one window on Windows, made of plain Win32 controls placed
// from the shared layout table and driven by the shared WindowBehaviour:
// a panel that paints the background picture, picture and label controls
// of its own class, borderless edit controls for the password and the key,
// a read-only text control of its own for each code (CodeBox), tooltips.
//
// Everything is measured in twips and scaled to the window's dots per inch
// (per monitor, through the application manifest); at 200 % the pictures
// drawn for 200 % are shown.
class MainWindow final : private WindowPort {
public:
    MainWindow(HINSTANCE instance, std::string selfTestFailure);
    ~MainWindow();

    MainWindow(const MainWindow &) = delete;
    MainWindow &operator=(const MainWindow &) = delete;

    // Creates the window centred on its screen and shows it.
    bool Create(int show);

private:
    static constexpr std::size_t ControlCount = std::size(layout::Controls);
    static constexpr UINT_PTR ConfirmationTimer = 0x3C0;
    static constexpr UINT_PTR PasteCutTimer = 0x3C2;

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM w, LPARAM l);
    static LRESULT CALLBACK ControlProc(HWND window, UINT message, WPARAM w, LPARAM l);
    static LRESULT CALLBACK EditProc(HWND edit, UINT message, WPARAM w, LPARAM l);
    LRESULT EditDefault(HWND edit, UINT message, WPARAM w, LPARAM l) const;

    LRESULT OnWindowMessage(UINT message, WPARAM w, LPARAM l);
    LRESULT OnControlMessage(layout::Control control, HWND window, UINT message, WPARAM w, LPARAM l);
    LRESULT OnEditMessage(layout::Control box, HWND edit, UINT message, WPARAM w, LPARAM l);

    void CreateControls();
    // What the window needs only once it shows: the tooltips and the
    // pictures hidden at start.
    void FinishStart();
    Picture PictureOf(layout::Control control) const;
    void SetUpAccessibility();
    void ApplyDpi();
    RECT Place(layout::Control control) const;
    int Scaled(int twips) const;
    void PaintControl(layout::Control control, HWND window, HDC dc);
    void DrawPicture(HDC dc, layout::Control control, int x, int y);
    void Regenerate();
    void CopyCode16();
    void MoveFocus(layout::Control from, bool backwards);
    // A code box's context menu: Copy, Select All and the dialog that fits a
    // code to a site's rules. at: where the pointer was, or -1 from the keyboard.
    void ShowCodeMenu(HWND edit, LPARAM at);
    void OpenFitDialog();
    static bool TakesFocus(layout::Control control);
    // What a click does: the copy button copies, a link opens its address.
    void Activate(layout::Control control);
    void WipeBoxes();
    // The password box holds filler only; the password is kept here.
    void TypeIntoPassword(HWND edit, std::u16string_view text);
    void FollowPasswordBox();
    void ClearPassword();
    // A paste into the password or key box keeps the text before the first
    // line break, and says so below the box when it cut any.
    void Paste(layout::Control box, HWND edit);
    void ShowPasteCut(layout::Control box);
    void HidePasteCut();

    HWND Edit(layout::Control box) const { return m_edits[static_cast<std::size_t>(box)]; }
    HWND WindowOf(layout::Control control) const { return m_controls[static_cast<std::size_t>(control)]; }

    // WindowPort
    void ShowCodes(std::u16string_view code16, std::u16string_view code32) override;
    void Select(layout::Control box, std::size_t start, std::size_t length) override;
    bool CopyToClipboard(std::u16string_view code) override;
    void SetTimerRunning(bool running) override;
    void SetPictureVisible(layout::Control picture, bool visible) override;
    void OpenAddress(const char *address) override;
    void ShowSelfTestFailure(const char *notice, const char *headline, const std::string &details) override;

    HINSTANCE m_instance;
    // The language the window speaks, chosen once from the system's.
    Language m_language;
    WindowBehaviour m_behaviour;
    HWND m_window = nullptr;
    // One window per control (a host window for each text box), and the
    // edit control inside each host.
    std::array<HWND, ControlCount> m_controls{};
    std::array<HWND, ControlCount> m_edits{};
    std::array<Picture, ControlCount> m_pictures{};
    HWND m_toolTips = nullptr;
    // The line saying a paste was cut: a tooltip of its own, placed by the window.
    HWND m_pasteCut = nullptr;
    std::unique_ptr<SecretClipboard> m_clipboard;
    UINT m_dpi = 96;
    HFONT m_windowFont = nullptr;
    HFONT m_inputFont = nullptr;
    HFONT m_outputFont = nullptr;
    HBRUSH m_inputBrush = nullptr;
    HBRUSH m_outputBrush = nullptr;
    HCURSOR m_hand = nullptr;
    // The edit class's own procedure, which the boxes' procedure passes on to.
    WNDPROC m_editProc = nullptr;
    // The box that had the focus when the window was deactivated.
    HWND m_lastFocus = nullptr;
    bool m_restoringFocus = false;
    // A box got the focus from a press of the mouse: its text is selected
    // once the button is released, which would otherwise place the caret.
    bool m_focusByClick = false;
    bool m_fitDialogOpen = false;
    // The left button went down on a clickable control.
    HWND m_pressed = nullptr;
    std::wstring m_failureMessage;
    // The password typed into its box, which holds as many filler characters
    // instead: whatever copies the edit control makes of its text (undo,
    // deleted text, a reallocated buffer), none holds the password.
    std::basic_string<char16_t, std::char_traits<char16_t>, WipingAllocator<char16_t>> m_password;
    // The window changes a box's text itself: the box acts as it would alone.
    bool m_boxAsIs = false;
    bool m_closing = false;
    bool m_started = false;
};

} // namespace mnemora::win
