// The floor of the start-up benchmark: the least a window with the
// program's look needs, a bare Win32 window with one picture (decoded by the
// same codec from the same resources) and one edit box.
#include "Pictures.h"

#include <objbase.h>
#include <windows.h>

namespace {

mnemora::win::Picture background;

LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM w, LPARAM l)
{
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint{};
        HDC dc = ::BeginPaint(window, &paint);
        HDC source = ::CreateCompatibleDC(dc);
        HGDIOBJ old = ::SelectObject(source, background.bitmap);
        ::BitBlt(dc, 0, 156, background.width, background.height, source, 0, 0, SRCCOPY);
        ::SelectObject(source, old);
        ::DeleteDC(source);
        ::EndPaint(window, &paint);
        return 0;
    }
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcW(window, message, w, l);
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show)
{
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    background = mnemora::win::LoadPicture("background.gif", 1);
    WNDCLASSEXW type{};
    type.cbSize = sizeof type;
    type.lpfnWndProc = Proc;
    type.hInstance = instance;
    type.lpszClassName = L"MnemoraFloor";
    ::RegisterClassExW(&type);
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT frame{0, 0, 660, 475};
    ::AdjustWindowRectEx(&frame, style, FALSE, 0);
    HWND window = ::CreateWindowExW(0, L"MnemoraFloor", L"Mnemora floor", style, CW_USEDEFAULT, CW_USEDEFAULT,
        frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
    ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 84, 225, 209, 25, window,
        nullptr, instance, nullptr);
    ::ShowWindow(window, show);
    ::UpdateWindow(window);
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return 0;
}
