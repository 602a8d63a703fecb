#include "PasswordSource.h"

#include "FirstLine.h"

#include <string_view>

namespace mnemora::cli {

PasswordStatus StreamPasswordSource::ReadPassword(SecretString<char> &utf8)
{
    utf8.Wipe();

    bool gotAny = false;
    // The UTF-8 byte-order mark that Windows editors and PowerShell 5.1 put
    // at the start of a file is no part of the password.
    constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";
    std::size_t markBytes = 0; // of the mark matched so far at the start
    bool atStart = true;
    char c = '\0';
    while (m_in.get(c)) {
        gotAny = true;
        if (atStart && c == ByteOrderMark[markBytes]) {
            if (++markBytes == ByteOrderMark.size())
                atStart = false;
            continue;
        }
        if (atStart) {
            // Not the mark after all: the bytes held back are the password's.
            atStart = false;
            for (std::size_t i = 0; i < markBytes; ++i)
                utf8.PushBack(ByteOrderMark[i]);
        }
        if (c == '\n')
            break;
        if (utf8.Size() >= m_maxLineBytes) {
            utf8.Wipe();
            return PasswordStatus::TooLong;
        }
        utf8.PushBack(c);
    }
    if (atStart)
        for (std::size_t i = 0; i < markBytes; ++i)
            utf8.PushBack(ByteOrderMark[i]);
    SecureWipe(&c, sizeof c);

    // A streambuf that fails reports it by throwing, which the stream turns
    // into badbit; a plain end of input only sets eofbit.
    if (m_in.bad()) {
        utf8.Wipe();
        return PasswordStatus::Failed;
    }
    if (!gotAny)
        return PasswordStatus::NoInput;
    // The password is the line's text before its first line break, a lone
    // "\r" too, as the windows keep a paste.
    const std::size_t kept = FirstLine(utf8.View()).size();
    while (utf8.Size() > kept)
        utf8.PopBack();
    return PasswordStatus::Read;
}

} // namespace mnemora::cli
