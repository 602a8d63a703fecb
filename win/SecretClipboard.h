#pragma once

#include <windows.h>

#include <string_view>

namespace mnemora::win {

// Puts secrets on the Windows clipboard and takes them off again.
//
// A secret goes out as CF_UNICODETEXT together with the formats that keep it
// out of clipboard monitors, the clipboard history (Win+V) and the cloud
// clipboard. Some time after a copy, at exit and when the session ends, the
// clipboard is emptied, but only while it still holds that copy: the window
// is still its owner. Whatever the user copied since is theirs.
//
// Another program may hold the clipboard open. A copy tries for a bounded
// while; a clear that finds the clipboard busy tries again on the timer
// until the copy is gone, and at exit for a little longer. The user is told
// when a copy could not be taken off.
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

    // The owner's timer: empties the clipboard if it still holds the last
    // copy, or tries again shortly when it is busy.
    void OnTimer();

    // At exit and at the end of the session: the last chance to take the
    // copy off. Tells the user when the clipboard may still hold it.
    void ClearBeforeExit();

private:
    enum class Outcome { Done, Busy };
    Outcome TryClear(int attempts);
    bool Holds() const;
    void TellStillHeld(bool closing) const;

    HWND m_owner;
    UINT m_clearDelay; // ms
    // A copy was made and may still be on the clipboard.
    bool m_pending = false;
    // Retries of a clear the clipboard was too busy for, since the copy.
    int m_busyRetries = 0;
    bool m_told = false;
};

} // namespace mnemora::win
