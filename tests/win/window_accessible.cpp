// The window's clickable controls as an MSAA client finds them, asked in the
// window's own process: Wine answers AccessibleObjectFromWindow across
// processes with nothing.
//
//     window_accessible.exe PASSWORD KEY
//
// Shows the window with PASSWORD and KEY in their boxes; for the copy button,
// then the copyright line, prints
//
//     NAME role R name N action A
//
// (R decimal), asks for the default action and lets the window act on it.
// After the copy button's, prints "clipboard T", the clipboard's text. First,
// for the 16-character code box, prints
//
//     txtCode16 role R name N readonly B value V
//
// B 1 when its state says read-only. Texts are printed and given as UTF-8.

#include "MainWindow.h"

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>
#include <oleacc.h>

#include <cstdio>
#include <string>
#include <string_view>

namespace {

// The window gives each control its place in the description's list, from here.
constexpr int FirstControlId = 1000;

std::string Utf8(std::wstring_view text)
{
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, out.data(), n, nullptr, nullptr);
    return out;
}

void Say(const std::string &line)
{
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

// Lets the window handle what is queued for it, for `ms` milliseconds.
void Pump(DWORD ms)
{
    const ULONGLONG end = GetTickCount64() + ms;
    while (GetTickCount64() < end) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Sleep(10);
    }
}

struct Search {
    int id;
    const wchar_t *className;
    HWND found;
};

BOOL CALLBACK FindControl(HWND window, LPARAM search)
{
    auto *wanted = reinterpret_cast<Search *>(search);
    wchar_t name[32] = L"";
    GetClassNameW(window, name, 32);
    if (GetDlgCtrlID(window) != wanted->id || _wcsicmp(name, wanted->className) != 0)
        return TRUE;
    wanted->found = window;
    return FALSE;
}

BOOL CALLBACK FindMain(HWND window, LPARAM found)
{
    *reinterpret_cast<HWND *>(found) = window;
    return GetWindow(window, GW_OWNER) != nullptr;
}

HWND Find(HWND main, mnemora::layout::Control control, const wchar_t *className)
{
    Search search{FirstControlId + static_cast<int>(control), className, nullptr};
    EnumChildWindows(main, FindControl, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring Take(BSTR text)
{
    std::wstring out = text ? std::wstring(text, SysStringLen(text)) : std::wstring();
    SysFreeString(text);
    return out;
}

// The control's own MSAA object, or nothing, said as missing.
IAccessible *AccessibleOf(HWND control, const char *label)
{
    IAccessible *accessible = nullptr;
    if (!control
        || FAILED(AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
            reinterpret_cast<void **>(&accessible)))
        || !accessible) {
        Say(std::string(label) + " no accessible object");
        return nullptr;
    }
    return accessible;
}

// The object itself, not one of its children.
VARIANT Self()
{
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    return self;
}

bool Press(HWND control, const char *label)
{
    IAccessible *accessible = AccessibleOf(control, label);
    if (!accessible)
        return false;
    VARIANT self = Self();
    VARIANT role;
    VariantInit(&role);
    BSTR name = nullptr;
    BSTR action = nullptr;
    accessible->get_accRole(self, &role);
    accessible->get_accName(self, &name);
    accessible->get_accDefaultAction(self, &action);
    Say(std::string(label) + " role " + std::to_string(role.vt == VT_I4 ? role.lVal : -1) + " name "
        + Utf8(Take(name)) + " action " + Utf8(Take(action)));
    const HRESULT done = accessible->accDoDefaultAction(self);
    accessible->Release();
    Pump(1000);
    return SUCCEEDED(done);
}

void Describe(HWND box, const char *label)
{
    IAccessible *accessible = AccessibleOf(box, label);
    if (!accessible)
        return;
    VARIANT self = Self();
    VARIANT role;
    VariantInit(&role);
    VARIANT state;
    VariantInit(&state);
    BSTR name = nullptr;
    BSTR value = nullptr;
    accessible->get_accRole(self, &role);
    accessible->get_accState(self, &state);
    accessible->get_accName(self, &name);
    accessible->get_accValue(self, &value);
    accessible->Release();
    const bool readOnly = state.vt == VT_I4 && (state.lVal & STATE_SYSTEM_READONLY);
    Say(std::string(label) + " role " + std::to_string(role.vt == VT_I4 ? role.lVal : -1) + " name "
        + Utf8(Take(name)) + " readonly " + (readOnly ? "1" : "0") + " value " + Utf8(Take(value)));
}

std::wstring ClipboardText()
{
    std::wstring text;
    if (!OpenClipboard(nullptr))
        return text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto *chars = static_cast<const wchar_t *>(GlobalLock(data))) {
            text = chars;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

} // namespace

int wmain(int argc, wchar_t **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: window_accessible PASSWORD KEY\n");
        return 2;
    }
    using mnemora::layout::Control;
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 1;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    int status = 1;
    {
        mnemora::win::MainWindow window(GetModuleHandleW(nullptr), "");
        HWND main = nullptr;
        if (window.Create(SW_SHOWNORMAL))
            EnumThreadWindows(GetCurrentThreadId(), FindMain, reinterpret_cast<LPARAM>(&main));
        HWND password = main ? Find(main, Control::txtPassword, L"Edit") : nullptr;
        HWND key = main ? Find(main, Control::txtKey, L"Edit") : nullptr;
        if (password && key) {
            SendMessageW(password, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[1]));
            SendMessageW(key, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[2]));
            Pump(200);
            Describe(Find(main, Control::txtCode16, L"MnemoraCodeBox"), "txtCode16");
            const bool copied = Press(Find(main, Control::lblCopy, L"MnemoraControl"), "lblCopy");
            Say("clipboard " + Utf8(ClipboardText()));
            const bool opened = Press(Find(main, Control::lblCopyright, L"MnemoraControl"), "lblCopyright");
            status = copied && opened ? 0 : 1;
        } else {
            Say("no window");
        }
        if (main) {
            DestroyWindow(main);
            Pump(200);
        }
    }
    CoUninitialize();
    return status;
}
