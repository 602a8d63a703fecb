#pragma once

#include "FitDialogBehaviour.h"

#include <windows.h>

#include <functional>
#include <string_view>

namespace mnemora::win {

// The small dialog that fits a code to a site's rules, opened from the code
// boxes' context menu: a dialog of plain Win32 controls built in code,
// carrying out FitDialogBehaviour. The dialog manager gives it Tab, the
// access keys and Escape.
class FitDialog final : private FitDialogPort {
public:
    // The controls' ids, which tests and scripts may use too.
    enum Id : int {
        Site = 101,
        Rule,
        WithSymbol,
        AtMost,
        DigitsOnly,
        Length,
        LengthSpin,
        Code,
        Words,
        Strength,
        Message,
        Copy,
        // Close is IDCANCEL, which Escape sends.
    };

    // password: the main window's password (its box shows filler only); key:
    // the main window's key box; both read whenever the code is fitted again.
    // copy: the main window's copy of a code.
    FitDialog(HINSTANCE instance, std::u16string_view password, HWND key,
        std::function<void(std::u16string_view)> copy, RuleLanguage language);

    FitDialog(const FitDialog &) = delete;
    FitDialog &operator=(const FitDialog &) = delete;

    // Shows the dialog over owner and returns once it is closed.
    void Run(HWND owner);

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM w, LPARAM l);
    static LRESULT CALLBACK CodeProc(HWND edit, UINT message, WPARAM w, LPARAM l, UINT_PTR, DWORD_PTR self);

    INT_PTR OnMessage(UINT message, WPARAM w, LPARAM l);
    void CreateControls();
    void SetUpAccessibility();
    HWND Item(int id) const { return ::GetDlgItem(m_dialog, id); }
    void Edited(int id);
    void CopyCode(bool selectionOnly);
    void ClearCode();
    void Close();

    // FitDialogPort
    void SetRuleText(std::string_view rule) override;
    void ShowFitted(std::u16string_view code, const std::string &words, const std::string &strength) override;
    void ShowProblem(const std::string &message) override;

    HINSTANCE m_instance;
    std::u16string_view m_password;
    HWND m_key;
    std::function<void(std::u16string_view)> m_copy;
    FitDialogBehaviour m_behaviour;
    HWND m_dialog = nullptr;
    HFONT m_codeFont = nullptr;
};

} // namespace mnemora::win
