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
    // Windows Error Reporting sends no report, and so no dump, of this
    // program. Looked up at run time from the system folder only: the
    // program imports nothing beyond what it needs to start.
    if (const HMODULE wer = ::LoadLibraryExW(L"wer.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        using Exclude = HRESULT(WINAPI *)(PCWSTR, BOOL);
        // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast): GetProcAddress's contract
        if (const auto exclude = reinterpret_cast<Exclude>(
                reinterpret_cast<void (*)()>(::GetProcAddress(wer, "WerAddExcludedApplication")))) {
            wchar_t path[MAX_PATH];
            const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
            if (length > 0 && length < MAX_PATH)
                exclude(path, FALSE);
        }
        ::FreeLibrary(wer);
    }

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
