#include "WinText.h"

#include "SecureWipe.h"

namespace mnemora::win {

std::wstring Wide(std::string_view utf8)
{
    if (utf8.empty())
        return {};
    const int size = static_cast<int>(utf8.size());
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, text.data(), length);
    return text;
}

std::string Narrow(std::wstring_view text)
{
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, utf8.data(), length, nullptr, nullptr);
    return utf8;
}

BoxText::BoxText(HWND control)
{
    const int length = ::GetWindowTextLengthW(control);
    m_text.resize(static_cast<std::size_t>(length) + 1);
    m_text.resize(static_cast<std::size_t>(::GetWindowTextW(control, m_text.data(), length + 1)) + 1);
}

BoxText::~BoxText()
{
    SecureWipe(m_text.data(), m_text.capacity() * sizeof(wchar_t));
}

void WipeEdit(HWND edit)
{
    // A single-line edit control gives no handle to its buffer (EM_GETHANDLE
    // answers 0): its text is overwritten in place with as many filler
    // characters instead, and the undo buffer that kept the old text emptied.
    const int length = ::GetWindowTextLengthW(edit);
    if (length > 0) {
        const std::wstring filler(static_cast<std::size_t>(length), L'0');
        ::SendMessageW(edit, EM_SETSEL, 0, -1);
        ::SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(filler.c_str()));
    }
    ::SendMessageW(edit, EM_EMPTYUNDOBUFFER, 0, 0);
}

void SetSecretText(HWND control, std::u16string_view text)
{
    std::wstring shown(text.begin(), text.end());
    ::SetWindowTextW(control, shown.c_str());
    SecureWipe(shown);
}

} // namespace mnemora::win
