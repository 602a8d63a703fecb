// The window program for Windows.
#include "MainWindow.h"

#include "ProcessHardening.h"
#include "SelfTest.h"

// windows.h first: the other Windows headers rely on its definitions.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show)
{
    mnemora::HardenProcess();
    // Nothing goes into the registry: the portable program leaves no trace.
    // The installer excludes the installed programs from error reporting.

    if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)))
        return 1;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);

    int status = 1;
    {
        // Before anything can be typed: a build that computes wrong codes must
        // never show one.
        mnemora::win::MainWindow window(instance, mnemora::RunSelfTest());
        if (window.Create(show)) {
            MSG message;
            while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
                ::TranslateMessage(&message);
                ::DispatchMessageW(&message);
            }
            status = static_cast<int>(message.wParam);
        }
    }
    ::CoUninitialize();
    return status;
}
