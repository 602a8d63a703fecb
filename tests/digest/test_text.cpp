// Text conversion: UTF-8 encoding at every encoding boundary, hex decoding,
// and the single-byte codes behind the digest of a text.

#include "DigestError.h"
#include "OpenSslOracle.h"
#include "TestData.h"
#include "clsMD5.h"
#include "modUTF8.h"

#include <gtest/gtest.h>

using mnemora::ByteArray;
using mnemora::clsMD5;
using mnemora::DigestError;
using mnemora::ErrorKind;
using mnemora::HexStrToBytes;
using mnemora::StrToUTF8Bytes;
using namespace mnemora::test;

namespace {

std::vector<std::uint8_t> Plain(const ByteArray &bytes)
{
    return {bytes.begin(), bytes.end()};
}

} // namespace

struct Utf8Case {
    const char *name;
    std::u16string text;
    std::vector<std::uint8_t> bytes;
};

class Utf8Encoding : public testing::TestWithParam<Utf8Case> { };

TEST_P(Utf8Encoding, GivesTheStandardBytes)
{
    EXPECT_EQ(Plain(StrToUTF8Bytes(GetParam().text)), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(Boundaries, Utf8Encoding,
    testing::Values(Utf8Case{"empty", u"", {}}, Utf8Case{"abc", u"abc", {0x61, 0x62, 0x63}},
        Utf8Case{"nul", std::u16string(1, u'\0'), {0x00}}, Utf8Case{"last_one_byte", u"\u007F", {0x7F}},
        Utf8Case{"first_two_byte", u"\u0080", {0xC2, 0x80}}, Utf8Case{"e_acute", u"\u00E9", {0xC3, 0xA9}},
        Utf8Case{"last_two_byte", u"\u07FF", {0xDF, 0xBF}},
        Utf8Case{"first_three_byte", u"\u0800", {0xE0, 0xA0, 0x80}},
        Utf8Case{"zhong", u"\u4E2D", {0xE4, 0xB8, 0xAD}},
        Utf8Case{"before_surrogates", u"\uD7FF", {0xED, 0x9F, 0xBF}},
        Utf8Case{"after_surrogates", u"\uE000", {0xEE, 0x80, 0x80}},
        Utf8Case{"last_bmp", u"\uFFFF", {0xEF, 0xBF, 0xBF}},
        Utf8Case{"first_supplementary", u"\U00010000", {0xF0, 0x90, 0x80, 0x80}},
        Utf8Case{"grinning_face", u"\U0001F600", {0xF0, 0x9F, 0x98, 0x80}},
        Utf8Case{"last_code_point", u"\U0010FFFF", {0xF4, 0x8F, 0xBF, 0xBF}},
        Utf8Case{"lone_high", std::u16string{u'a', char16_t(0xD83D), u'b'}, {0x61, 0xEF, 0xBF, 0xBD, 0x62}},
        Utf8Case{"lone_low", std::u16string{char16_t(0xDE00)}, {0xEF, 0xBF, 0xBD}},
        Utf8Case{"high_at_end", std::u16string{u'a', char16_t(0xD800)}, {0x61, 0xEF, 0xBF, 0xBD}},
        Utf8Case{"reversed_pair", std::u16string{char16_t(0xDE00), char16_t(0xD83D)},
            {0xEF, 0xBF, 0xBD, 0xEF, 0xBF, 0xBD}},
        Utf8Case{"two_highs_then_low", std::u16string{char16_t(0xD83D), char16_t(0xD83D), char16_t(0xDE00)},
            {0xEF, 0xBF, 0xBD, 0xF0, 0x9F, 0x98, 0x80}}),
    [](const auto &row) { return std::string(row.param.name); });

TEST(Utf8Encoding, ThreeByteTextsFillTheirBufferExactly)
{
    for (const std::size_t length : {1u, 2u, 100u, 10923u}) {
        const std::u16string text(length, u'\uFFFD');
        EXPECT_EQ(StrToUTF8Bytes(text).size(), 3 * length);
    }
}

TEST(Utf8Encoding, AgreesWithTheTestsOwnDecoderOnEveryPlane)
{
    // Every 97th code point; the decoder in TestData.h shares no code with the encoder.
    std::string utf8;
    for (std::uint32_t cp = 1; cp <= 0x10FFFF; cp += 97) {
        if (cp >= 0xD800 && cp <= 0xDFFF)
            continue;
        if (cp < 0x80) {
            utf8 += static_cast<char>(cp);
        } else if (cp < 0x800) {
            utf8 += static_cast<char>(0xC0 | cp >> 6);
            utf8 += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            utf8 += static_cast<char>(0xE0 | cp >> 12);
            utf8 += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
            utf8 += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            utf8 += static_cast<char>(0xF0 | cp >> 18);
            utf8 += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
            utf8 += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
            utf8 += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    const ByteArray ours = StrToUTF8Bytes(Utf8ToText(utf8));
    EXPECT_EQ(std::string(ours.begin(), ours.end()), utf8);
}

struct HexCase {
    const char *name;
    std::u16string text;
};

class HexDecoding : public testing::TestWithParam<HexCase> { };

TEST_P(HexDecoding, ReadsTheFirst32DigitsInEitherCase)
{
    const std::vector<std::uint8_t> expected{
        0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
    EXPECT_EQ(Plain(HexStrToBytes(GetParam().text)), expected);
}

INSTANTIATE_TEST_SUITE_P(Texts, HexDecoding,
    testing::Values(HexCase{"upper", u"00112233445566778899AABBCCDDEEFF"},
        HexCase{"lower", u"00112233445566778899aabbccddeeff"},
        HexCase{"forty_characters", u"00112233445566778899AABBCCDDEEFF01234567"},
        HexCase{"garbage_after_32", u"00112233445566778899AABBCCDDEEFFzz"}),
    [](const auto &row) { return std::string(row.param.name); });

class HexRefusals : public testing::TestWithParam<HexCase> { };

TEST_P(HexRefusals, AreTypeMismatches)
{
    try {
        HexStrToBytes(GetParam().text);
        ADD_FAILURE() << "accepted";
    } catch (const DigestError &e) {
        EXPECT_EQ(e.kind(), ErrorKind::TypeMismatch);
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, HexRefusals,
    testing::Values(HexCase{"g_digit", u"0G112233445566778899AABBCCDDEEFF"},
        HexCase{"space", u"0 112233445566778899AABBCCDDEEFF"},
        HexCase{"sign", u"+1112233445566778899AABBCCDDEEFF"},
        HexCase{"last_pair", u"00112233445566778899AABBCCDDEEF?"},
        HexCase{"fullwidth_digit", u"\uFF10\uFF10112233445566778899AABBCCDDEEFF"}, HexCase{"short", u"0011"}),
    [](const auto &row) { return std::string(row.param.name); });

struct AnsiCase {
    const char *name;
    std::u16string text;
    std::vector<std::uint8_t> bytes;
};

class TextDigest : public testing::TestWithParam<AnsiCase> { };

TEST_P(TextDigest, HashesTheWindows1252CodesOfTheText)
{
    clsMD5 md5;
    EXPECT_EQ(Narrow(md5.DigestStrToHexStr(GetParam().text)), OpenSslMd5(GetParam().bytes));
}

INSTANTIATE_TEST_SUITE_P(Texts, TextDigest,
    testing::Values(AnsiCase{"empty", u"", {}}, AnsiCase{"abc", u"abc", {0x61, 0x62, 0x63}},
        AnsiCase{"latin1", u"caf\u00E9 \u00FF", {0x63, 0x61, 0x66, 0xE9, 0x20, 0xFF}},
        AnsiCase{"euro_and_quotes", u"\u20AC\u201C\u201D\u2122", {0x80, 0x93, 0x94, 0x99}},
        AnsiCase{"unassigned_slots", u"\u0081\u008D\u008F\u0090\u009D", {0x81, 0x8D, 0x8F, 0x90, 0x9D}},
        AnsiCase{"unrepresentable", u"\u4E2D\u0080\u0100", {'?', '?', '?'}}),
    [](const auto &row) { return std::string(row.param.name); });

TEST(TextDigestLimits, TextsOver32767UnitsOverflow)
{
    clsMD5 md5;
    EXPECT_NO_THROW(md5.DigestStrToHexStr(std::u16string(32767, u'a')));
    try {
        md5.DigestStrToHexStr(std::u16string(32768, u'a'));
        ADD_FAILURE() << "accepted";
    } catch (const DigestError &e) {
        EXPECT_EQ(e.kind(), ErrorKind::Overflow);
    }
}
