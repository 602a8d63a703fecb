#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace mnemora::win {

// UTF-8 to UTF-16 for Win32 calls; an invalid sequence becomes U+FFFD.
std::wstring Wide(std::string_view utf8);

// UTF-16 from Win32 to UTF-8.
std::string Narrow(std::wstring_view text);

// A control's text in a buffer that is wiped when it goes.
class BoxText {
public:
    explicit BoxText(HWND control);
    ~BoxText();
    BoxText(const BoxText &) = delete;
    BoxText &operator=(const BoxText &) = delete;

    std::u16string_view View() const
    {
        return {reinterpret_cast<const char16_t *>(m_text.data()), m_text.size() - 1};
    }
    std::wstring_view WideView() const { return {m_text.data(), m_text.size() - 1}; }

private:
    std::vector<wchar_t> m_text;
};

// Wipes an edit control's own text buffer, which outlives every text read
// from it, and its undo buffer.
void WipeEdit(HWND edit);

// Writes a secret into a control without leaving a copy behind.
void SetSecretText(HWND control, std::u16string_view text);

} // namespace mnemora::win
