#pragma once

#include "SecretString.h"

#include <string_view>

namespace mnemora::cli {

// Decodes UTF-8 into UTF-16, code points above U+FFFF becoming surrogate
// pairs. Only well-formed UTF-8 is accepted: overlong forms, encoded
// surrogates (U+D800..U+DFFF), values above U+10FFFF, stray continuation
// bytes and sequences cut short are all rejected, because two different byte
// strings must never decode to the same password. U+0000 is an ordinary
// character.
//
// Returns false, leaving `out` empty, when the text is not well-formed;
// otherwise replaces the content of `out` with the decoded text.
bool DecodeUtf8(std::string_view utf8, SecretString<char16_t> &out);

} // namespace mnemora::cli
