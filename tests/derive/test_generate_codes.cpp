// The code generator: known derivations, the shape of the codes, and its
// agreement with a plain HMAC-MD5 chain wherever every pass is standard.

#include "DigestError.h"
#include "Fingerprint.h"
#include "GenerateCodes.h"
#include "OpenSslOracle.h"
#include "SelfTest.h"
#include "TestData.h"

#include <gtest/gtest.h>

#include <cctype>
#include <random>

using mnemora::Codes;
using mnemora::DeriveStatus;
using mnemora::DigestError;
using mnemora::ErrorKind;
using mnemora::GenerateCodes;
using namespace mnemora::test;

namespace {

struct Derivation {
    std::string password; // UTF-8
    std::string key;      // UTF-8
    std::string code16;
    std::string code32;
};

std::string Unescape(const std::string &s)
{
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            const char next = s[++i];
            out += next == 't' ? '\t' : next == 'n' ? '\n' : next;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::vector<Derivation> KnownDerivations()
{
    std::vector<Derivation> rows;
    for (const std::string &line : DataLines("derivations.txt")) {
        std::vector<std::string> fields;
        std::size_t start = 0;
        for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
            fields.push_back(line.substr(start, tab - start));
        fields.push_back(line.substr(start));
        rows.push_back({Unescape(fields.at(0)), Unescape(fields.at(1)), fields.at(2), fields.at(3)});
    }
    return rows;
}

std::vector<std::uint8_t> Bytes(const std::string &s)
{
    return {s.begin(), s.end()};
}

std::string Lower(std::string s)
{
    for (char &c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The generator rebuilt from OpenSSL's HMAC and the documented case rule; valid
// only where no pass falls under the engine's own finishing rule.
Codes ViaOpenSsl(const std::string &password, const std::string &key)
{
    const std::string one = Lower(OpenSslHmacMd5(Bytes(key), Bytes(password)));
    const std::string two = Lower(OpenSslHmacMd5(Bytes("dusk"), Bytes(one)));
    const std::string rule = Lower(OpenSslHmacMd5(Bytes("fjor"), Bytes(one)));
    const std::string alphabet = "treehidesky2003110846qmvjd";
    std::string code32;
    for (std::size_t i = 0; i < 32; ++i) {
        const bool letter = two[i] >= 'a';
        code32 += letter && alphabet.find(rule[i]) != std::string::npos
            ? static_cast<char>(std::toupper(two[i]))
            : two[i];
    }
    const std::string code16 = code32[0] <= '9' ? "K" + code32.substr(1, 15) : code32.substr(0, 16);
    return {AsciiText(code16), AsciiText(code32)};
}

} // namespace

class KnownDerivation : public testing::TestWithParam<Derivation> { };

TEST_P(KnownDerivation, GivesTheRecordedCodes)
{
    const Codes codes = GenerateCodes(Utf8ToText(GetParam().password), Utf8ToText(GetParam().key));
    EXPECT_EQ(Narrow(codes.code16), GetParam().code16);
    EXPECT_EQ(Narrow(codes.code32), GetParam().code32);
}

TEST_P(KnownDerivation, CodesHaveTheDocumentedShape)
{
    const Codes codes = GenerateCodes(Utf8ToText(GetParam().password), Utf8ToText(GetParam().key));
    ASSERT_EQ(codes.code32.size(), 32u);
    ASSERT_EQ(codes.code16.size(), 16u);
    for (const char16_t c : codes.code32)
        EXPECT_TRUE((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F'));
    EXPECT_EQ(codes.code16.substr(1), codes.code32.substr(1, 15));
    if (codes.code32[0] <= u'9')
        EXPECT_EQ(codes.code16[0], u'K');
    else
        EXPECT_EQ(codes.code16[0], codes.code32[0]);
}

INSTANTIATE_TEST_SUITE_P(RecordedByTheModel, KnownDerivation, testing::ValuesIn(KnownDerivations()));

TEST(KnownDerivations, TheFileHoldsTheThreeAnchorDerivationsFirst)
{
    const auto rows = KnownDerivations();
    ASSERT_GE(rows.size(), 3u);
    EXPECT_EQ(rows[0].code32, "a20caCf8Eb1b8B6d5b8a66996910E124");
    EXPECT_EQ(rows[1].code16, "KA55784DDe9C7632");
    EXPECT_EQ(rows[2].code16, "B992378745248eCD");
}

TEST(GeneratorAgainstOpenSsl, AgreesOnRandomShortAsciiPairs)
{
    std::mt19937 rng(20120314);
    std::uniform_int_distribution<int> length(1, 55), printable(0x20, 0x7E);
    for (int round = 0; round < 300; ++round) {
        std::string password, key;
        for (int i = length(rng); i > 0; --i)
            password += static_cast<char>(printable(rng));
        for (int i = length(rng); i > 0; --i)
            key += static_cast<char>(printable(rng));
        const Codes ours = GenerateCodes(AsciiText(password), AsciiText(key));
        const Codes theirs = ViaOpenSsl(password, key);
        ASSERT_EQ(ours.code32, theirs.code32) << password << " / " << key;
        ASSERT_EQ(ours.code16, theirs.code16) << password << " / " << key;
    }
}

TEST(GeneratorProperties, SwappingPasswordAndKeyChangesTheCodes)
{
    EXPECT_NE(GenerateCodes(u"alpha", u"beta").code32, GenerateCodes(u"beta", u"alpha").code32);
}

TEST(GeneratorProperties, TheLast4BytesOfA60BytePasswordDoNotChangeTheCodes)
{
    const std::u16string base(56, u'p');
    const Codes a = GenerateCodes(base + u"AAAA", u"site");
    const Codes b = GenerateCodes(base + u"ZZZZ", u"site");
    EXPECT_EQ(a.code32, b.code32);
    EXPECT_NE(GenerateCodes(std::u16string(55, u'p') + u"qAAAA", u"site").code32, a.code32);
}

TEST(GeneratorProperties, SpacesAroundThePasswordArePartOfIt)
{
    const auto plain = GenerateCodes(u"secret", u"site").code32;
    EXPECT_NE(GenerateCodes(u"secret ", u"site").code32, plain);
    EXPECT_NE(GenerateCodes(u" secret", u"site").code32, plain);
}

TEST(GeneratorProperties, LowerCasingTheLongCodeGivesTheSecondDigest)
{
    const Codes codes = GenerateCodes(u"test", u"taobao");
    const std::string one = Lower(OpenSslHmacMd5(Bytes("taobao"), Bytes("test")));
    EXPECT_EQ(Lower(Narrow(codes.code32)), Lower(OpenSslHmacMd5(Bytes("dusk"), Bytes(one))));
}

struct OverLong {
    const char *name;
    std::u16string password;
    std::u16string key;
};

class OverLongInput : public testing::TestWithParam<OverLong> { };

TEST_P(OverLongInput, FailsWithOverflow)
{
    try {
        GenerateCodes(GetParam().password, GetParam().key);
        ADD_FAILURE() << "derived codes from an over-long input";
    } catch (const DigestError &e) {
        EXPECT_EQ(e.kind(), ErrorKind::Overflow);
    }
    Codes codes;
    EXPECT_EQ(mnemora::TryGenerateCodes(GetParam().password, GetParam().key, codes), DeriveStatus::TooLong);
    EXPECT_TRUE(codes.code16.empty() && codes.code32.empty());
}

INSTANTIATE_TEST_SUITE_P(Inputs, OverLongInput,
    testing::Values(OverLong{"ascii_password", std::u16string(32768, u'a'), u"k"},
        OverLong{"chinese_password", std::u16string(40000, u'\u5BC6'), u"k"},
        OverLong{"ascii_key", u"p", std::u16string(32768, u'k')},
        OverLong{"emoji_key", u"p",
            [] {
                std::u16string s;
                for (int i = 0; i < 8192; ++i)
                    s += u"\U0001F511"; // 4 bytes each: 32,768
                return s;
            }()}),
    [](const auto &row) { return std::string(row.param.name); });

TEST(GeneratorLimits, The32767BytePasswordStillDerives)
{
    EXPECT_EQ(GenerateCodes(std::u16string(32767, u'a'), u"k").code32.size(), 32u);
}

struct Checked {
    const char *name;
    std::u16string password;
    std::u16string key;
    DeriveStatus status;
};

class CheckedDerivation : public testing::TestWithParam<Checked> { };

// The checks count UTF-8 bytes without encoding: they must agree with the
// engine's own encoder at the limit, or an input would reach its failure.
TEST_P(CheckedDerivation, RefusesExactlyWhatTheEngineRefuses)
{
    Codes codes;
    ASSERT_EQ(mnemora::TryGenerateCodes(GetParam().password, GetParam().key, codes), GetParam().status);
    if (GetParam().status == DeriveStatus::Ok) {
        const Codes direct = GenerateCodes(GetParam().password, GetParam().key);
        EXPECT_EQ(codes.code32, direct.code32);
        EXPECT_EQ(codes.code16, direct.code16);
    } else {
        EXPECT_TRUE(codes.code16.empty() && codes.code32.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Inputs, CheckedDerivation,
    testing::Values(Checked{"empty_password", u"", u"k", DeriveStatus::Empty},
        Checked{"empty_key_wins_over_long_password", std::u16string(40000, u'a'), u"", DeriveStatus::Empty},
        Checked{"two_byte_characters_at_the_limit", std::u16string(16383, u'\u00E9') + u"x", u"k",
            DeriveStatus::Ok},
        Checked{"two_byte_characters_over_it", std::u16string(16384, u'\u00E9'), u"k", DeriveStatus::TooLong},
        Checked{"unpaired_surrogates_at_the_limit", std::u16string(10922, u'\xD800') + u"x", u"k",
            DeriveStatus::Ok},
        Checked{
            "unpaired_surrogates_over_it", u"p", std::u16string(10923, u'\xDC00'), DeriveStatus::TooLong}),
    [](const auto &row) { return std::string(row.param.name); });

// The typo fingerprint is the first two bytes of a plain HMAC-MD5 of the
// password under its own key: nothing of the site key or the codes enters it.
TEST(Fingerprint, IsTheFirstTwoBytesOfTheHmacOfThePasswordAlone)
{
    const std::string hex = OpenSslHmacMd5(Bytes("mnemora typo fingerprint"), Bytes("correct horse"));
    EXPECT_EQ(mnemora::PasswordFingerprint(u"correct horse"), std::stoi(hex.substr(0, 4), nullptr, 16));
    EXPECT_EQ(mnemora::PasswordFingerprint(u""), std::nullopt);
    EXPECT_EQ(mnemora::PasswordFingerprint(std::u16string(32768, u'a')), std::nullopt);
}

TEST(SelfTest, PassesOnThisBuild)
{
    EXPECT_EQ(mnemora::RunSelfTest(), "");
}

// A generator whose 16-character code is off by one character, for one of
// the checked keys only, while its 32-character code is right.
TEST(SelfTest, FailsOnOneWrongCharacterOfTheShortCode)
{
    const mnemora::CodeGenerator wrongShortCode = [](std::u16string_view password, std::u16string_view key) {
        mnemora::Codes codes = mnemora::GenerateCodes(password, key);
        if (key == u"test")
            codes.code16.back() ^= 1;
        return codes;
    };
    EXPECT_EQ(mnemora::RunSelfTest(wrongShortCode), "codes for key \"test\" are wrong");
}
