#pragma once

#include "SecureWipe.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace mnemora {

// UTF-8 bytes of a UTF-16 text: no byte order mark, no terminating zero. An
// unpaired surrogate becomes U+FFFD (EF BF BD). The empty text gives an empty
// array. Throws Overflow for texts longer than 715,827,882 units.
ByteArray StrToUTF8Bytes(std::u16string_view text);

// Writes the UTF-8 form of text to out, which must have room for
// 3 × text.size() bytes, and returns the number of bytes written. The same
// encoding as StrToUTF8Bytes, for callers that supply their own buffer.
std::size_t EncodeUtf8(std::u16string_view text, std::uint8_t *out) noexcept;

// The number of bytes EncodeUtf8 writes for text, without writing them.
std::size_t Utf8Length(std::u16string_view text) noexcept;

// The 16 bytes written as the first 32 hex digits of text (either case);
// anything after them is ignored. Throws TypeMismatch for a pair that is not
// two hex digits, or for a text shorter than 32 characters.
ByteArray HexStrToBytes(std::u16string_view text);

// The Windows-1252 code of one UTF-16 unit, "?" where that code page has none.
std::uint8_t UnicodeToWindows1252(char16_t unit) noexcept;

} // namespace mnemora
