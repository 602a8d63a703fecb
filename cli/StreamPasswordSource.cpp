#include "PasswordSource.h"

#include "FirstLine.h"

namespace mnemora::cli {

PasswordStatus StreamPasswordSource::ReadPassword(SecretString<char> &utf8)
{
    utf8.Wipe();

    bool gotAny = false;
    char c = '\0';
    while (m_in.get(c)) {
        gotAny = true;
        if (c == '\n')
            break;
        if (utf8.Size() == m_maxLineBytes) {
            utf8.Wipe();
            return PasswordStatus::TooLong;
        }
        utf8.PushBack(c);
    }
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
