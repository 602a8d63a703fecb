#pragma once

#include <windows.h>

#include <string_view>

namespace mnemora::win {

// Puts secrets on the Windows clipboard and takes them off again.
//
// A secret goes out as CF_UNICODETEXT together with the formats that keep it
// out of clipboard monitors, the clipboard history (Win+V) and the cloud
// clipboard. Some time after a copy, at exit and when the session ends, the
// clipboard is emptied, but only if it still holds that copy, as its
// sequence number tells: whatever the user copied since is theirs.
//
// Another program may hold the clipboard open; opening it is tried a few
// times for a bounded while, never waited on without end.
class SecretClipboard {
public:
    // owner: the window whose timer clears the clipboard (timer id TimerId).
    explicit SecretClipboard(HWND owner);
    ~SecretClipboard();

    SecretClipboard(const SecretClipboard &) = delete;
    SecretClipboard &operator=(const SecretClipboard &) = delete;

    static constexpr UINT_PTR TimerId = 0x3C1;

    // False when the clipboard stayed busy and nothing was copied.
    bool Copy(std::u16string_view secret);

    // Empties the clipboard if it still holds the last copy; called by the
    // owner on its timer, at exit and at the end of the session.
    void ClearIfUnchanged();

private:
    HWND m_owner;
    UINT m_clearDelay; // ms
    // The clipboard's sequence number right after the last copy; 0 once
    // there is nothing left to clear.
    DWORD m_sequence = 0;
};

} // namespace mnemora::win
