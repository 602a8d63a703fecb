#include "SecretClipboard.h"

#include "WindowBehaviour.h"

#include <cstdlib>
#include <cstring>
#include <iterator>

namespace mnemora::win {

namespace {

// At most about a quarter of a second on a busy clipboard for a copy or one
// clear on the timer; the clear at exit waits up to two seconds.
constexpr int OpenAttempts = 12;
constexpr int ExitAttempts = 100;
constexpr DWORD OpenPause = 20; // ms
// A clear the clipboard was busy for is tried again this often, and the user
// is told once it has been refused for about ten seconds.
constexpr UINT RetryDelay = 250; // ms
constexpr int RetriesBeforeTelling = 40;

bool OpenWithRetries(HWND owner, int attempts)
{
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (::OpenClipboard(owner))
            return true;
        ::Sleep(OpenPause);
    }
    return false;
}

HGLOBAL Global(const void *data, std::size_t size)
{
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, size);
    if (!memory)
        return nullptr;
    std::memcpy(::GlobalLock(memory), data, size);
    ::GlobalUnlock(memory);
    return memory;
}

// Sets a registered format; the clipboard owns the memory once it takes it.
void SetMarker(const wchar_t *format, DWORD value)
{
    const UINT id = ::RegisterClipboardFormatW(format);
    HGLOBAL memory = Global(&value, sizeof value);
    if (id != 0 && memory && !::SetClipboardData(id, memory))
        ::GlobalFree(memory);
}

// The delay may be shortened (never lengthened) for tests through the
// environment; 30 seconds otherwise.
UINT ClearDelay()
{
    const auto standard = static_cast<UINT>(WindowBehaviour::ClipboardClearDelay.count());
    if (const char *given = std::getenv("MNEMORA_CLIPBOARD_CLEAR_MS")) {
        const long value = std::strtol(given, nullptr, 10);
        if (value > 0 && static_cast<unsigned long>(value) < standard)
            return static_cast<UINT>(value);
    }
    return standard;
}

} // namespace

SecretClipboard::SecretClipboard(HWND owner)
    : m_owner(owner)
    , m_clearDelay(ClearDelay())
{ }

SecretClipboard::~SecretClipboard()
{
    ClearBeforeExit();
}

bool SecretClipboard::Copy(std::u16string_view secret)
{
    if (!OpenWithRetries(m_owner, OpenAttempts))
        return false;
    ::EmptyClipboard();
    const std::size_t bytes = (secret.size() + 1) * sizeof(char16_t);
    HGLOBAL text = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    if (text) {
        std::memcpy(::GlobalLock(text), secret.data(), secret.size() * sizeof(char16_t));
        ::GlobalUnlock(text);
        if (!::SetClipboardData(CF_UNICODETEXT, text))
            ::GlobalFree(text);
    }
    // Its presence alone keeps clipboard monitors away; a DWORD 0 keeps the
    // copy out of the history and the cloud clipboard.
    SetMarker(L"ExcludeClipboardContentFromMonitorProcessing", 0);
    SetMarker(L"CanIncludeInClipboardHistory", 0);
    SetMarker(L"CanUploadToCloudClipboard", 0);
    ::CloseClipboard();
    m_pending = true;
    m_busyRetries = 0;
    m_told = false;
    ::SetTimer(m_owner, TimerId, m_clearDelay, nullptr);
    return true;
}

bool SecretClipboard::Holds() const
{
    // Not the sequence number: Wine's X11 bridge changes it when it renders
    // a format an X program asks for, though the copy is still there. Every
    // new content starts with EmptyClipboard, which makes its program the owner.
    return m_pending && ::GetClipboardOwner() == m_owner;
}

SecretClipboard::Outcome SecretClipboard::TryClear(int attempts)
{
    if (!Holds()) {
        m_pending = false;
        return Outcome::Done;
    }
    if (!OpenWithRetries(m_owner, attempts))
        return Outcome::Busy;
    // Checked again once open: the copy may have been replaced meanwhile.
    if (Holds())
        ::EmptyClipboard();
    ::CloseClipboard();
    m_pending = false;
    return Outcome::Done;
}

void SecretClipboard::OnTimer()
{
    ::KillTimer(m_owner, TimerId);
    if (TryClear(OpenAttempts) == Outcome::Done)
        return;
    ::SetTimer(m_owner, TimerId, RetryDelay, nullptr);
    if (++m_busyRetries == RetriesBeforeTelling && !m_told) {
        // Told while the retries go on: the message box's loop runs the timer.
        m_told = true;
        TellStillHeld(false);
    }
}

void SecretClipboard::ClearBeforeExit()
{
    ::KillTimer(m_owner, TimerId);
    if (TryClear(ExitAttempts) == Outcome::Done)
        return;
    TellStillHeld(true);
    // The user may have closed the program that held it.
    if (TryClear(ExitAttempts) == Outcome::Busy)
        m_pending = false;
}

void SecretClipboard::TellStillHeld(bool closing) const
{
    // Titled as the window is.
    wchar_t title[128] = L"";
    ::GetWindowTextW(m_owner, title, static_cast<int>(std::size(title)));
    // A window on its way out owns no message box.
    ::MessageBoxW(closing ? nullptr : m_owner,
        L"剪贴板正被其他程序占用，复制的密码还留在剪贴板上，没能清除。请关闭占用剪贴板的程序，或复制别的内容"
        L"把它替换掉。",
        title, MB_OK | MB_ICONWARNING | (closing ? MB_TOPMOST : 0));
}

} // namespace mnemora::win
