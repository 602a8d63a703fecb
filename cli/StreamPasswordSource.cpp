#include "PasswordSource.h"

namespace mnemora::cli {

PasswordStatus StreamPasswordSource::ReadPassword(SecretString<char> &utf8)
{
    utf8.Wipe();

    bool gotAny = false;
    bool endedByNewline = false;
    char c = '\0';
    while (m_in.get(c)) {
        gotAny = true;
        if (c == '\n') {
            endedByNewline = true;
            break;
        }
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
    // "\r" belongs to the line end only in front of "\n"; a lone trailing
    // "\r" on an unterminated last line is a character of the password.
    if (endedByNewline && !utf8.Empty() && utf8.Back() == '\r')
        utf8.PopBack();
    return PasswordStatus::Read;
}

} // namespace mnemora::cli
