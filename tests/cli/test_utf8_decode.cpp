// The strict UTF-8 decoder: every well-formed sequence and nothing else.

#include "Utf8Decode.h"

#include <gtest/gtest.h>

#include <string>

namespace mnemora::cli {
namespace {

using namespace std::string_literals;

std::u16string Decoded(std::string_view utf8, bool &ok)
{
    SecretString<char16_t> out;
    ok = DecodeUtf8(utf8, out);
    return std::u16string(out.View());
}

// An encoder written independently of the decoder, used as its oracle.
std::string Encode(char32_t cp)
{
    std::string s;
    if (cp < 0x80) {
        s += static_cast<char>(cp);
    } else if (cp < 0x800) {
        s += static_cast<char>(0xC0 | (cp >> 6));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        s += static_cast<char>(0xE0 | (cp >> 12));
        s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        s += static_cast<char>(0xF0 | (cp >> 18));
        s += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return s;
}

struct Valid {
    std::string utf8;
    std::u16string utf16;
};

void PrintTo(const Valid &v, std::ostream *os)
{
    *os << testing::PrintToString(v.utf8);
}

class Utf8DecodeValid : public testing::TestWithParam<Valid> { };

TEST_P(Utf8DecodeValid, GivesUtf16)
{
    bool ok = false;
    EXPECT_EQ(Decoded(GetParam().utf8, ok), GetParam().utf16);
    EXPECT_TRUE(ok);
}

// The first and last value of every sequence length and around the surrogates.
INSTANTIATE_TEST_SUITE_P(Boundaries, Utf8DecodeValid,
    testing::Values(Valid{"", u""}, Valid{"\0"s, u"\0"s}, Valid{"\x7F", u"\x7F"}, Valid{"\xC2\x80", u"\x80"},
        Valid{"\xDF\xBF", u"\x7FF"}, Valid{"\xE0\xA0\x80", u"\x800"}, Valid{"\xED\x9F\xBF", u"\xD7FF"},
        Valid{"\xEE\x80\x80", u"\xE000"}, Valid{"\xEF\xBF\xBF", u"\xFFFF"},
        Valid{"\xF0\x90\x80\x80", u"\xD800\xDC00"}, Valid{"\xF4\x8F\xBF\xBF", u"\xDBFF\xDFFF"},
        Valid{"a \xE5\xAF\x86\xF0\x9F\x98\x80 z", u"a \u5BC6\U0001F600 z"}));

class Utf8DecodeInvalid : public testing::TestWithParam<std::string> { };

TEST_P(Utf8DecodeInvalid, IsRejectedAndLeavesNothing)
{
    SecretString<char16_t> out;
    ASSERT_TRUE(DecodeUtf8("stale", out));
    EXPECT_FALSE(DecodeUtf8(GetParam(), out));
    EXPECT_TRUE(out.Empty());
}

INSTANTIATE_TEST_SUITE_P(Overlong, Utf8DecodeInvalid,
    testing::Values("\xC0\x80", "\xC0\xAF", "\xC1\xBF", "\xE0\x80\x80", "\xE0\x9F\xBF", "\xF0\x80\x80\x80",
        "\xF0\x8F\xBF\xBF"));
INSTANTIATE_TEST_SUITE_P(Surrogates, Utf8DecodeInvalid,
    testing::Values(
        "\xED\xA0\x80", "\xED\xAF\xBF", "\xED\xB0\x80", "\xED\xBF\xBF", "\xED\xA0\xBD\xED\xB8\x80"));
INSTANTIATE_TEST_SUITE_P(AboveU10FFFF, Utf8DecodeInvalid,
    testing::Values("\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xF7\xBF\xBF\xBF", "\xF8\x88\x80\x80\x80",
        "\xFC\x84\x80\x80\x80\x80", "\xFE", "\xFF"));
INSTANTIATE_TEST_SUITE_P(Truncated, Utf8DecodeInvalid,
    testing::Values(
        "\xC3", "\xE6\xB7", "\xF0\x9F\x98", "abc\xC3", "\xE6\xB7z", "\xF0\x9F\x98z", "\xC3\xC3\xA9"));
INSTANTIATE_TEST_SUITE_P(StrayContinuation, Utf8DecodeInvalid,
    testing::Values("\x80", "\xBF", "a\x80", "\xC3\xA9\xA9", "\xE6\xB7\x98\x80"));

TEST(Utf8DecodeExhaustive, EveryScalarValueRoundTrips)
{
    for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF)
            continue;
        std::u16string expected;
        if (cp < 0x10000) {
            expected = std::u16string(1, static_cast<char16_t>(cp));
        } else {
            expected += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            expected += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        }
        bool ok = false;
        const std::u16string got = Decoded(Encode(cp), ok);
        ASSERT_TRUE(ok) << std::hex << static_cast<unsigned long>(cp);
        ASSERT_EQ(got, expected) << std::hex << static_cast<unsigned long>(cp);
    }
}

// Among all two-byte strings, exactly the shortest encodings of what they
// decode to are accepted: no two byte strings can give the same text.
TEST(Utf8DecodeExhaustive, TwoByteStringsAreAcceptedOnlyInShortestForm)
{
    for (unsigned first = 0; first < 256; ++first) {
        for (unsigned second = 0; second < 256; ++second) {
            const std::string bytes{static_cast<char>(first), static_cast<char>(second)};
            bool ok = false;
            const std::u16string text = Decoded(bytes, ok);
            std::string reencoded;
            for (const char16_t unit : text)
                reencoded += Encode(unit);
            const bool canonical = first < 0x80
                ? second < 0x80
                : (first >= 0xC2 && first <= 0xDF && second >= 0x80 && second <= 0xBF);
            ASSERT_EQ(ok, canonical) << first << ' ' << second;
            if (ok) {
                ASSERT_EQ(reencoded, bytes);
            }
        }
    }
}

} // namespace
} // namespace mnemora::cli
