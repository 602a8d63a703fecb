// Plays another program on the desktop to mnemora.exe's window, for the
// window's tests under Wine.
//
//     window_probe.exe peek TITLE
//         Asks the password box of the window titled TITLE for its text
//         (WM_GETTEXTLENGTH, WM_GETTEXT, EM_GETLINE), then to show it
//         (EM_SETPASSWORDCHAR 0), and prints what it got, one line each:
//         "length N", "text T", "line T", "passwordchar C" (decimal).
//     window_probe.exe fits TITLE
//         Prints "fits 1" when the whole 16-character code is in view in its
//         box (its last character ends within the box), "fits 0" otherwise.
//     window_probe.exe notice TITLE
//         Prints "notice T", T the text of the shown tooltip the window
//         titled TITLE placed itself (one that follows no pointer), or
//         "notice" alone when none shows.
//     window_probe.exe click-while-held TITLE ID MS
//         Opens the clipboard, clicks the control of that window whose
//         identifier is ID, keeps the clipboard open for MS milliseconds.
//     window_probe.exe hold-clipboard TEXT MS
//         Prints "ready"; once the clipboard holds TEXT, opens it, prints
//         "held", keeps it open for MS milliseconds and prints "released".
//
// Texts are printed and given as UTF-8.

#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

std::string Utf8(const wchar_t *text, int length)
{
    if (length <= 0)
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), n, nullptr, nullptr);
    return out;
}

void Say(const std::string &line)
{
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

BOOL CALLBACK FindPasswordBox(HWND window, LPARAM found)
{
    wchar_t name[16] = L"";
    GetClassNameW(window, name, 16);
    if (_wcsicmp(name, L"Edit") == 0 && (GetWindowLongW(window, GWL_STYLE) & ES_PASSWORD)) {
        *reinterpret_cast<HWND *>(found) = window;
        return FALSE;
    }
    return TRUE;
}

int Peek(const wchar_t *title)
{
    HWND window = FindWindowW(nullptr, title);
    HWND box = nullptr;
    if (window)
        EnumChildWindows(window, FindPasswordBox, reinterpret_cast<LPARAM>(&box));
    if (!box) {
        Say("no password box");
        return 1;
    }
    wchar_t text[256] = L"";
    const auto length = SendMessageW(box, WM_GETTEXTLENGTH, 0, 0);
    const auto got = SendMessageW(box, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text));
    Say("length " + std::to_string(length));
    Say("text " + Utf8(text, static_cast<int>(got)));
    wchar_t line[256] = L"";
    line[0] = 255; // EM_GETLINE: the buffer's size in its first WORD
    const auto lineLength = SendMessageW(box, EM_GETLINE, 0, reinterpret_cast<LPARAM>(line));
    Say("line " + Utf8(line, static_cast<int>(lineLength)));
    SendMessageW(box, EM_SETPASSWORDCHAR, 0, 0);
    Say("passwordchar " + std::to_string(SendMessageW(box, EM_GETPASSWORDCHAR, 0, 0)));
    return 0;
}

BOOL CALLBACK FindCode16Box(HWND window, LPARAM found)
{
    wchar_t name[16] = L"";
    GetClassNameW(window, name, 16);
    if (_wcsicmp(name, L"MnemoraCodeBox") == 0 && SendMessageW(window, EM_GETLIMITTEXT, 0, 0) == 16) {
        *reinterpret_cast<HWND *>(found) = window;
        return FALSE;
    }
    return TRUE;
}

int Fits(const wchar_t *title)
{
    HWND window = FindWindowW(nullptr, title);
    HWND box = nullptr;
    if (window)
        EnumChildWindows(window, FindCode16Box, reinterpret_cast<LPARAM>(&box));
    const auto length = box ? SendMessageW(box, WM_GETTEXTLENGTH, 0, 0) : -1;
    if (length != 16) {
        Say("no 16-character code");
        return 1;
    }
    // The last character's left edge, and its width as the one before's.
    const auto last = SendMessageW(box, EM_POSFROMCHAR, 15, 0);
    const auto before = SendMessageW(box, EM_POSFROMCHAR, 14, 0);
    const int left = static_cast<short>(LOWORD(last));
    const int width = left - static_cast<short>(LOWORD(before));
    RECT client{};
    GetClientRect(box, &client);
    Say(std::string("fits ") + (left >= 0 && left + width <= client.right ? "1" : "0"));
    return 0;
}

struct NoticeSearch {
    HWND owner;
    std::wstring text;
};

BOOL CALLBACK FindNotice(HWND window, LPARAM search)
{
    auto *wanted = reinterpret_cast<NoticeSearch *>(search);
    wchar_t name[32] = L"";
    GetClassNameW(window, name, 32);
    if (_wcsicmp(name, TOOLTIPS_CLASSW) != 0 || GetWindow(window, GW_OWNER) != wanted->owner
        || !IsWindowVisible(window) || (GetWindowLongW(window, GWL_STYLE) & TTS_ALWAYSTIP))
        return TRUE;
    wchar_t text[512] = L"";
    const auto length = SendMessageW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
    wanted->text.assign(text, static_cast<std::size_t>(length));
    return FALSE;
}

int Notice(const wchar_t *title)
{
    NoticeSearch search{FindWindowW(nullptr, title), {}};
    if (search.owner)
        EnumWindows(FindNotice, reinterpret_cast<LPARAM>(&search));
    Say(search.text.empty() ? "notice"
                            : "notice " + Utf8(search.text.data(), static_cast<int>(search.text.size())));
    return 0;
}

struct ControlSearch {
    int id;
    HWND found;
};

BOOL CALLBACK FindControl(HWND window, LPARAM search)
{
    auto *wanted = reinterpret_cast<ControlSearch *>(search);
    if (GetDlgCtrlID(window) != wanted->id)
        return TRUE;
    wanted->found = window;
    return FALSE;
}

int ClickWhileHeld(const wchar_t *title, int id, DWORD ms)
{
    ControlSearch search{id, nullptr};
    if (HWND window = FindWindowW(nullptr, title))
        EnumChildWindows(window, FindControl, reinterpret_cast<LPARAM>(&search));
    if (!search.found) {
        Say("no such control");
        return 1;
    }
    while (!OpenClipboard(nullptr))
        Sleep(5);
    const LPARAM at = MAKELPARAM(2, 2);
    PostMessageW(search.found, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(search.found, WM_LBUTTONUP, 0, at);
    Sleep(ms);
    CloseClipboard();
    Say("released");
    return 0;
}

std::wstring ClipboardText()
{
    std::wstring text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto *chars = static_cast<const wchar_t *>(GlobalLock(data))) {
            text = chars;
            GlobalUnlock(data);
        }
    }
    return text;
}

int HoldClipboard(const wchar_t *expected, DWORD ms)
{
    Say("ready");
    const ULONGLONG deadline = GetTickCount64() + 120000;
    DWORD seen = 0;
    while (GetTickCount64() < deadline) {
        const DWORD sequence = GetClipboardSequenceNumber();
        if (sequence != seen && OpenClipboard(nullptr)) {
            if (ClipboardText() == expected) {
                Say("held");
                Sleep(ms);
                CloseClipboard();
                Say("released");
                return 0;
            }
            seen = sequence;
            CloseClipboard();
        }
        Sleep(5);
    }
    Say("never saw the text");
    return 1;
}

} // namespace

int wmain(int argc, wchar_t **argv)
{
    if (argc == 3 && std::wcscmp(argv[1], L"peek") == 0)
        return Peek(argv[2]);
    if (argc == 3 && std::wcscmp(argv[1], L"fits") == 0)
        return Fits(argv[2]);
    if (argc == 3 && std::wcscmp(argv[1], L"notice") == 0)
        return Notice(argv[2]);
    if (argc == 5 && std::wcscmp(argv[1], L"click-while-held") == 0)
        return ClickWhileHeld(argv[2], static_cast<int>(std::wcstol(argv[3], nullptr, 10)),
            static_cast<DWORD>(std::wcstoul(argv[4], nullptr, 10)));
    if (argc == 4 && std::wcscmp(argv[1], L"hold-clipboard") == 0)
        return HoldClipboard(argv[2], static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10)));
    std::fprintf(stderr,
        "usage: window_probe peek TITLE | fits TITLE | notice TITLE | click-while-held TITLE ID MS | "
        "hold-clipboard TEXT MS\n");
    return 2;
}
