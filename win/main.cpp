// The window program for Windows.
#include "MainWindow.h"

#include "ProcessHardening.h"
#include "SelfTest.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

// mingw-w64's werapi.h does not compile on its own; wer.dll's export.
extern "C" HRESULT WINAPI WerAddExcludedApplication(PCWSTR exeName, BOOL allUsers);

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show)
{
    mnemora::HardenProcess();
    // Windows Error Reporting sends no report, and so no dump, of this program.
    wchar_t path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length > 0 && length < MAX_PATH)
        ::WerAddExcludedApplication(path, FALSE);

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
