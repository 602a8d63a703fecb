#pragma once

#include <windows.h>

#include <oleacc.h>

#include <string>

namespace mnemora::win {

// What a screen reader or another MSAA client sees of one of the window's
// own controls (the copy button, the links, the code boxes): its role, name,
// description and default action, which does what a click does. Everything
// else (place, state, parent, children) is the system's standard object for
// the control's window.
struct AccessibleFacts {
    LONG role = 0;
    std::wstring name;
    std::wstring description;
    std::wstring defaultAction;
    // Posted to the control's window when the default action is asked for:
    // the client's call returns at once, as a click's would, and a window
    // already gone receives nothing.
    UINT actionMessage = 0;
    // Read-only text, as a read-only edit control's object: its value is
    // the window's text, its state read-only; it has no default action.
    bool readOnlyText = false;
};

// The answer to WM_GETOBJECT with OBJID_CLIENT for `window`, or 0 when the
// standard object cannot be had (the caller then lets DefWindowProc answer).
LRESULT AnswerGetObject(HWND window, WPARAM flags, AccessibleFacts facts);

} // namespace mnemora::win
