#include "modUTF8.h"

#include "DigestError.h"

#include <array>
#include <cstddef>

namespace mnemora {

namespace {

// 3 × L + 1 must fit a signed 32-bit size.
constexpr std::size_t MaxUtf8Units = 715827882;

constexpr bool IsHighSurrogate(char16_t u)
{
    return u >= 0xD800 && u <= 0xDBFF;
}
constexpr bool IsLowSurrogate(char16_t u)
{
    return u >= 0xDC00 && u <= 0xDFFF;
}

int HexValue(char16_t c) noexcept
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    return -1;
}

} // namespace

std::size_t EncodeUtf8(std::u16string_view text, std::uint8_t *out) noexcept
{
    std::size_t n = 0;
    auto put = [&](std::uint32_t byte) { out[n++] = static_cast<std::uint8_t>(byte); };

    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t cp = text[i];
        if (cp < 0x80) { // the common case, and every byte of a hex digest
            put(cp);
            continue;
        }
        if (IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (std::uint32_t{text[i + 1]} - 0xDC00);
            ++i;
        } else if (IsHighSurrogate(text[i]) || IsLowSurrogate(text[i])) {
            cp = 0xFFFD; // unpaired surrogate: the replacement character
        }

        if (cp < 0x80) {
            put(cp);
        } else if (cp < 0x800) {
            put(0xC0 | cp >> 6);
            put(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            put(0xE0 | cp >> 12);
            put(0x80 | (cp >> 6 & 0x3F));
            put(0x80 | (cp & 0x3F));
        } else {
            put(0xF0 | cp >> 18);
            put(0x80 | (cp >> 12 & 0x3F));
            put(0x80 | (cp >> 6 & 0x3F));
            put(0x80 | (cp & 0x3F));
        }
    }
    return n;
}

std::size_t Utf8Length(std::u16string_view text) noexcept
{
    std::size_t n = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t u = text[i];
        if (u < 0x80) {
            n += 1;
        } else if (u < 0x800) {
            n += 2;
        } else if (IsHighSurrogate(u) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            n += 4;
            ++i;
        } else {
            n += 3; // the rest of the basic plane, and U+FFFD for an unpaired surrogate
        }
    }
    return n;
}

ByteArray StrToUTF8Bytes(std::u16string_view text)
{
    if (text.empty())
        return {};
    if (text.size() > MaxUtf8Units)
        RaiseDigestError(ErrorKind::Overflow, "text longer than 715,827,882 characters");

    // Three bytes per unit is the most UTF-8 needs: a character above U+FFFF
    // takes two units and four bytes. The spare byte mirrors the converter
    // contract the rest of the system was written against.
    ByteArray out(3 * text.size() + 1);
    out.resize(EncodeUtf8(text, out.data()));
    return out;
}

ByteArray HexStrToBytes(std::u16string_view text)
{
    if (text.size() < 32)
        RaiseDigestError(ErrorKind::TypeMismatch, "hex digest text shorter than 32 characters");
    ByteArray bytes(16);
    for (std::size_t k = 0; k < 16; ++k) {
        const int high = HexValue(text[2 * k]);
        const int low = HexValue(text[2 * k + 1]);
        if (high < 0 || low < 0)
            RaiseDigestError(ErrorKind::TypeMismatch, "not a hexadecimal pair");
        bytes[k] = static_cast<std::uint8_t>(high << 4 | low);
    }
    return bytes;
}

std::uint8_t UnicodeToWindows1252(char16_t unit) noexcept
{
    // Latin-1 agrees with Windows-1252 outside 0x80-0x9F.
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF))
        return static_cast<std::uint8_t>(unit);

    // 0x80-0x9F hold typographic characters; the five unassigned bytes
    // (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 controls of the same value.
    static constexpr std::array<char16_t, 32> upper{0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020,
        0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019,
        0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E,
        0x0178};
    for (std::size_t i = 0; i < upper.size(); ++i)
        if (upper[i] == unit)
            return static_cast<std::uint8_t>(0x80 + i);
    return '?';
}

} // namespace mnemora
