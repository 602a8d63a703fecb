#include "SecretClipboard.h"

#include "WindowBehaviour.h"

#include <cstdlib>
#include <cstring>

namespace mnemora::win {

namespace {

// At most about a quarter of a second on a busy clipboard.
constexpr int OpenAttempts = 12;
constexpr DWORD OpenPause = 20; // ms

bool OpenWithRetries(HWND owner)
{
    for (int attempt = 0; attempt < OpenAttempts; ++attempt) {
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
    ClearIfUnchanged();
}

bool SecretClipboard::Copy(std::u16string_view secret)
{
    if (!OpenWithRetries(m_owner))
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
    m_sequence = ::GetClipboardSequenceNumber();
    ::SetTimer(m_owner, TimerId, m_clearDelay, nullptr);
    return true;
}

void SecretClipboard::ClearIfUnchanged()
{
    ::KillTimer(m_owner, TimerId);
    if (m_sequence == 0)
        return;
    if (::GetClipboardSequenceNumber() == m_sequence && OpenWithRetries(m_owner)) {
        ::EmptyClipboard();
        ::CloseClipboard();
    }
    m_sequence = 0;
}

} // namespace mnemora::win
