// HMAC-MD5 over texts: RFC 2202, OpenSSL on the standard paths, and the
// engine's own results where one of its passes hits the finishing rule.

#include "DigestError.h"
#include "ErrorKind.h"
#include "OpenSslOracle.h"
#include "TestData.h"
#include "clsMD5.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

using mnemora::clsMD5;
using mnemora::DigestError;
using mnemora::ErrorKind;
using namespace mnemora::test;

namespace {

struct Rfc2202Case {
    int number;
    std::vector<std::uint8_t> key;
    std::vector<std::uint8_t> data;
    std::string digest;
};

bool IsAscii(const std::vector<std::uint8_t> &bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b < 0x80; });
}

std::vector<Rfc2202Case> AsciiRfc2202Cases()
{
    std::vector<Rfc2202Case> cases;
    for (const std::string &line : DataLines("rfc2202.txt")) {
        std::istringstream in(line);
        Rfc2202Case c;
        std::string key, data;
        in >> c.number >> key >> data >> c.digest;
        c.key = FromHex(key);
        c.data = FromHex(data);
        // Texts reach the engine as UTF-8, so only cases whose bytes are all
        // ASCII can be expressed through the text interface.
        if (IsAscii(c.key) && IsAscii(c.data))
            cases.push_back(c);
    }
    return cases;
}

std::string Hmac(const std::vector<std::uint8_t> &message, const std::vector<std::uint8_t> &key)
{
    clsMD5 md5;
    return Narrow(md5.Hmac_MD5(AsciiText(message), AsciiText(key)));
}

// ASCII filler for length tests (MessageOf has bytes above 0x7F).
std::vector<std::uint8_t> AsciiOf(std::size_t length, std::uint8_t salt = 0)
{
    std::vector<std::uint8_t> m(length);
    for (std::size_t i = 0; i < length; ++i)
        m[i] = static_cast<std::uint8_t>(0x21 + (i * 13 + salt) % 94);
    return m;
}

} // namespace

class Rfc2202 : public testing::TestWithParam<Rfc2202Case> { };

TEST_P(Rfc2202, DataAsFirstArgumentAndKeyAsSecondGiveTheRfcValue)
{
    EXPECT_EQ(Hmac(GetParam().data, GetParam().key), GetParam().digest);
}

INSTANTIATE_TEST_SUITE_P(Section2, Rfc2202, testing::ValuesIn(AsciiRfc2202Cases()),
    [](const auto &row) { return "case_" + std::to_string(row.param.number); });

TEST(Rfc2202Cases, AtLeastTheThreeAsciiCasesAreRun)
{
    EXPECT_EQ(AsciiRfc2202Cases().size(), 3u);
}

struct Lengths {
    std::size_t message;
    std::size_t key;
};

class StandardHmac : public testing::TestWithParam<Lengths> { };

TEST_P(StandardHmac, EqualsOpenSslWhenNoPassHitsTheFinishingRule)
{
    const auto message = AsciiOf(GetParam().message, 1);
    const auto key = AsciiOf(GetParam().key, 2);
    EXPECT_EQ(Hmac(message, key), OpenSslHmacMd5(key, message));
}

INSTANTIATE_TEST_SUITE_P(MessageAndKeyLengths, StandardHmac,
    testing::Values(Lengths{1, 1}, Lengths{55, 4}, Lengths{64, 4}, Lengths{65, 4}, Lengths{119, 4},
        Lengths{128, 4}, Lengths{8, 63}, Lengths{8, 64}, Lengths{8, 65}, Lengths{8, 119}, Lengths{8, 128},
        Lengths{8, 183}, Lengths{8, 192}, Lengths{32704, 5}));

class OwnHmac : public testing::TestWithParam<Lengths> { };

TEST_P(OwnHmac, DiffersFromOpenSslWhenTheInnerOrKeyPassHitsTheFinishingRule)
{
    const auto message = AsciiOf(GetParam().message, 1);
    const auto key = AsciiOf(GetParam().key, 2);
    EXPECT_NE(Hmac(message, key), OpenSslHmacMd5(key, message));
}

INSTANTIATE_TEST_SUITE_P(MessageAndKeyLengths, OwnHmac,
    testing::Values(Lengths{56, 4}, Lengths{57, 4}, Lengths{60, 4}, Lengths{63, 4}, Lengths{120, 4},
        Lengths{127, 4}, Lengths{8, 120}, Lengths{8, 121}, Lengths{8, 127}, Lengths{8, 184}, Lengths{8, 191},
        Lengths{32767, 5}));

TEST(OwnHmacValues, MatchTheIndependentModel)
{
    for (const std::string &line : DataLines("hmac_lengths.txt")) {
        std::istringstream in(line);
        std::size_t n = 0, k = 0;
        std::string digest;
        in >> n >> k >> digest;
        auto key = MessageOf(k);
        std::reverse(key.begin(), key.end());
        // The model's messages have bytes above 0x7F, so go through the
        // engine's byte interface the same way HMAC does.
        const auto message = MessageOf(n);
        clsMD5 md5;
        std::vector<std::uint8_t> block(64, 0);
        if (key.size() > 64) {
            md5.MD5Init();
            md5.MD5Update(static_cast<std::int32_t>(key.size()), key);
            md5.MD5Final();
            const auto d = md5.DigestBytes();
            key.assign(d.begin(), d.end());
        }
        std::copy(key.begin(), key.end(), block.begin());
        auto pad = [&](std::uint8_t x) {
            auto p = block;
            for (auto &b : p)
                b ^= x;
            return p;
        };
        md5.MD5Init();
        md5.MD5Update(64, pad(0x36));
        md5.MD5Update(static_cast<std::int32_t>(n), message);
        md5.MD5Final();
        const auto inner = md5.DigestBytes();
        md5.MD5Init();
        md5.MD5Update(64, pad(0x5C));
        md5.MD5Update(16, inner);
        md5.MD5Final();
        EXPECT_EQ(Narrow(md5.GetValues()), digest) << "message " << n << ", key " << k;
    }
}

TEST(HmacProperties, TheLastBytesOfA60ByteMessageDoNotCountButByte56Does)
{
    const auto message = AsciiOf(60);
    const auto key = AsciiOf(6);
    const std::string original = Hmac(message, key);
    for (std::size_t pos = 55; pos < 60; ++pos) {
        auto changed = message;
        changed[pos] = changed[pos] == 'x' ? 'y' : 'x';
        if (pos >= 56)
            EXPECT_EQ(Hmac(changed, key), original) << "byte " << pos + 1;
        else
            EXPECT_NE(Hmac(changed, key), original) << "byte " << pos + 1;
    }
}

TEST(HmacProperties, SwappingMessageAndKeyChangesTheResult)
{
    clsMD5 md5;
    EXPECT_NE(md5.Hmac_MD5(u"password", u"site"), md5.Hmac_MD5(u"site", u"password"));
}

TEST(HmacProperties, NonAsciiTextsAreHashedAsTheirUtf8Bytes)
{
    clsMD5 md5;
    const std::vector<std::uint8_t> key{'k', 0xC3, 0xA9};
    const std::vector<std::uint8_t> message{0xE4, 0xB8, 0xAD, 'x', 0xF0, 0x9F, 0x98, 0x80};
    EXPECT_EQ(Narrow(md5.Hmac_MD5(u"\u4E2Dx\U0001F600", u"k\u00E9")), OpenSslHmacMd5(key, message));
}

TEST(HmacProperties, GetValuesAfterwardsReturnsTheResult)
{
    clsMD5 md5;
    const auto result = md5.Hmac_MD5(u"message", u"key");
    EXPECT_EQ(md5.GetValues(), result);
}

struct Refusal {
    std::size_t message;
    std::size_t key;
    ErrorKind kind;
};

class HmacRefusals : public testing::TestWithParam<Refusal> { };

TEST_P(HmacRefusals, FailWithTheirKind)
{
    const std::u16string message(GetParam().message, u'm');
    const std::u16string key(GetParam().key, u'k');
    clsMD5 md5;
    EXPECT_EQ(KindOf([&] { md5.Hmac_MD5(message, key); }), GetParam().kind);
}

INSTANTIATE_TEST_SUITE_P(Inputs, HmacRefusals,
    testing::Values(Refusal{0, 3, ErrorKind::SubscriptOutOfRange},
        Refusal{3, 0, ErrorKind::SubscriptOutOfRange}, Refusal{32768, 3, ErrorKind::Overflow},
        Refusal{3, 32768, ErrorKind::Overflow}));

TEST(HmacLimits, ALongestKeyOf32767BytesIsAccepted)
{
    const std::u16string key(32767, u'k');
    clsMD5 md5;
    EXPECT_NO_THROW(md5.Hmac_MD5(u"m", key));
}

TEST(HmacLimits, ThreeByteCharactersCountAsThreeBytes)
{
    const std::u16string fits(10922, u'\u4E2D'); // 32,766 bytes
    const std::u16string over(10923, u'\u4E2D'); // 32,769 bytes
    clsMD5 md5;
    EXPECT_NO_THROW(md5.Hmac_MD5(fits, u"k"));
    EXPECT_EQ(KindOf([&] { md5.Hmac_MD5(over, u"k"); }), ErrorKind::Overflow);
}
