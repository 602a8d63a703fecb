// The MD5 engine: RFC 1321 where its finishing rule is standard, the engine's
// own digests where it is not, buffering over every split point, and limits.

#include "DigestError.h"
#include "ErrorKind.h"
#include "OpenSslOracle.h"
#include "TestData.h"
#include "clsMD5.h"

#include <gtest/gtest.h>

#include <sstream>

using mnemora::clsMD5;
using mnemora::DigestError;
using mnemora::ErrorKind;
using namespace mnemora::test;

namespace {

std::string EngineDigest(const std::vector<std::uint8_t> &message, std::size_t chunk = 32767)
{
    clsMD5 md5;
    md5.MD5Init();
    for (std::size_t at = 0; at < message.size(); at += chunk) {
        const std::size_t n = std::min(chunk, message.size() - at);
        md5.MD5Update(static_cast<std::int32_t>(n), std::span(message).subspan(at, n));
    }
    md5.MD5Final();
    return Narrow(md5.GetValues());
}

struct Rfc1321Case {
    std::string message;
    std::string digest;
};

std::vector<Rfc1321Case> Rfc1321Cases()
{
    std::vector<Rfc1321Case> cases;
    for (const std::string &line : DataLines("rfc1321.txt")) {
        const auto close = line.rfind('"');
        cases.push_back({line.substr(1, close - 1), line.substr(close + 2)});
    }
    return cases;
}

} // namespace

class Rfc1321Suite : public testing::TestWithParam<Rfc1321Case> { };

TEST_P(Rfc1321Suite, DigestOfTheTextMatchesTheRfc)
{
    clsMD5 md5;
    EXPECT_EQ(Narrow(md5.DigestStrToHexStr(AsciiText(GetParam().message))), GetParam().digest);
}

INSTANTIATE_TEST_SUITE_P(AppendixA5, Rfc1321Suite, testing::ValuesIn(Rfc1321Cases()));

struct LengthCase {
    std::size_t length;
    std::string digest;
    bool standard;
};

static std::vector<LengthCase> LengthCases()
{
    std::vector<LengthCase> cases;
    for (const std::string &line : DataLines("engine_lengths.txt")) {
        std::istringstream in(line);
        LengthCase c;
        std::string kind;
        in >> c.length >> c.digest >> kind;
        c.standard = kind == "rfc";
        cases.push_back(c);
    }
    return cases;
}

class EngineLengthSweep : public testing::TestWithParam<LengthCase> { };

TEST_P(EngineLengthSweep, AgreesWithOpenSslExactlyWhereTheFinishingRuleIsStandard)
{
    const auto message = MessageOf(GetParam().length);
    const std::string ours = EngineDigest(message);
    EXPECT_EQ(ours, GetParam().digest);
    if (GetParam().standard)
        EXPECT_EQ(ours, OpenSslMd5(message));
    else
        EXPECT_NE(ours, OpenSslMd5(message));
}

TEST_P(EngineLengthSweep, FeedingInPiecesGivesTheSameDigestAsOneCall)
{
    const auto message = MessageOf(GetParam().length);
    const bool longMessage = message.size() > 1000;
    for (std::size_t chunk : {longMessage ? 1000u : 1u, 3u * (longMessage ? 1001u : 1u), 63u, 64u, 65u})
        EXPECT_EQ(EngineDigest(message, chunk), GetParam().digest) << "chunk " << chunk;
}

INSTANTIATE_TEST_SUITE_P(KnownAnswers, EngineLengthSweep, testing::ValuesIn(LengthCases()),
    [](const auto &row) { return "length_" + std::to_string(row.param.length); });

TEST(EngineSplits, EverySplitPointOfATwoBlockMessageGivesTheSameDigest)
{
    for (const std::size_t length : {119u, 120u, 127u, 200u}) {
        const auto message = MessageOf(length);
        const std::string whole = EngineDigest(message);
        for (std::size_t a = 0; a <= length; ++a) {
            for (std::size_t b = a; b <= length; b += 7) {
                clsMD5 md5;
                md5.MD5Init();
                md5.MD5Update(static_cast<std::int32_t>(a), message);
                md5.MD5Update(static_cast<std::int32_t>(b - a), std::span(message).subspan(a));
                md5.MD5Update(static_cast<std::int32_t>(length - b), std::span(message).subspan(b));
                md5.MD5Final();
                ASSERT_EQ(Narrow(md5.GetValues()), whole) << length << " split " << a << "/" << b;
            }
        }
    }
}

// A negative count moves the block position back into the last compressed
// block; what is found there must not depend on how the input was split.
TEST(EngineSplits, ARewindIntoTheLastBlockFindsTheSameBytesAfterAnySplit)
{
    const auto message = MessageOf(128);
    const auto rewoundDigest = [&](std::size_t firstCall) {
        clsMD5 md5;
        md5.MD5Init();
        md5.MD5Update(static_cast<std::int32_t>(firstCall), message);
        md5.MD5Update(static_cast<std::int32_t>(128 - firstCall), std::span(message).subspan(firstCall));
        md5.MD5Update(-10, {});
        md5.MD5Final();
        return Narrow(md5.GetValues());
    };
    EXPECT_EQ(rewoundDigest(128), rewoundDigest(64));
}

// For totals of 64 bytes or more with a remainder of 57 to 63, the length
// field overwrites the last (remainder - 56) message bytes.
class IgnoredTail : public testing::TestWithParam<std::size_t> { };

TEST_P(IgnoredTail, OnlyTheBytesThatTheLengthFieldOverwritesAreIgnored)
{
    const std::size_t length = GetParam();
    const std::size_t ignored = length >= 64 && length % 64 > 56 ? length % 64 - 56 : 0;
    const auto message = MessageOf(length);
    const std::string original = EngineDigest(message);
    for (std::size_t pos = length - std::min<std::size_t>(length, 9); pos < length; ++pos) {
        auto changed = message;
        changed[pos] ^= 0x5A;
        if (pos >= length - ignored)
            EXPECT_EQ(EngineDigest(changed), original) << "byte " << pos << " should not count";
        else
            EXPECT_NE(EngineDigest(changed), original) << "byte " << pos << " must count";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, IgnoredTail, testing::Values(56u, 57u, 63u, 64u, 120u, 121u, 124u, 127u, 185u, 191u, 32831u));

TEST(EngineLimits, OneUpdateTakesAtMost32767Bytes)
{
    const std::vector<std::uint8_t> big(32768, 0x61);
    clsMD5 md5;
    md5.MD5Init();
    EXPECT_NO_THROW(md5.MD5Update(32767, big));
    md5.MD5Init();
    EXPECT_EQ(KindOf([&] { md5.MD5Update(32768, big); }), ErrorKind::Overflow);
}

TEST(EngineLimits, ABufferShorterThanItsCountIsRefused)
{
    const std::vector<std::uint8_t> bytes(10);
    clsMD5 md5;
    md5.MD5Init();
    EXPECT_EQ(KindOf([&] { md5.MD5Update(11, bytes); }), ErrorKind::SubscriptOutOfRange);
}

struct FinalCase {
    std::size_t total;
    bool succeeds;
};

class FinalLimits : public testing::TestWithParam<FinalCase> { };

// The large totals feed a quarter of a gigabyte: the limits sit at the edge
// of the bit count, and only real data gets the counter there.
TEST_P(FinalLimits, FinalSucceedsOrOverflowsByTheTotalLength)
{
    clsMD5 md5;
    md5.MD5Init();
    std::vector<std::uint8_t> fill(32767, 0x42);
    std::size_t fed = 0;
    while (fed < GetParam().total) {
        const std::size_t n = std::min<std::size_t>(32767, GetParam().total - fed);
        md5.MD5Update(static_cast<std::int32_t>(n), fill);
        fed += n;
    }
    if (GetParam().succeeds) {
        EXPECT_NO_THROW(md5.MD5Final());
    } else {
        const std::string before = Narrow(md5.GetValues());
        EXPECT_EQ(KindOf([&] { md5.MD5Final(); }), ErrorKind::Overflow);
        EXPECT_EQ(Narrow(md5.GetValues()), before) << "a failed finish must not produce a digest";
    }
}

INSTANTIATE_TEST_SUITE_P(Totals, FinalLimits,
    testing::Values(FinalCase{32831, true}, FinalCase{32888, true}, FinalCase{32889, false},
        FinalCase{32895, false}, FinalCase{32896, true}, FinalCase{268435448, true},
        FinalCase{268435449, false}, FinalCase{268435455, false}, FinalCase{268435456, false}));

TEST(EngineLimits, ANegativeCountBelowMinus32767Overflows)
{
    clsMD5 md5;
    md5.MD5Init();
    EXPECT_NO_THROW(md5.MD5Update(-32767, {}));
    EXPECT_EQ(KindOf([&] { md5.MD5Update(-32768, {}); }), ErrorKind::Overflow);
}

TEST(EngineState, ANewObjectReadsAsZeros)
{
    clsMD5 md5;
    EXPECT_EQ(Narrow(md5.GetValues()), std::string(32, '0'));
    EXPECT_EQ(Narrow(md5.RegisterA()), "0");
}

TEST(EngineState, RegistersAfterInitShowTheSignedReadingOfTheRfcWords)
{
    clsMD5 md5;
    md5.MD5Init();
    EXPECT_EQ(Narrow(md5.RegisterA()), "1732584193");
    EXPECT_EQ(Narrow(md5.RegisterB()), "-271733879");
    EXPECT_EQ(Narrow(md5.RegisterC()), "-1732584194");
    EXPECT_EQ(Narrow(md5.RegisterD()), "271733878");
    EXPECT_EQ(Narrow(md5.GetValues()), "0123456789ABCDEFFEDCBA9876543210");
}

TEST(EngineState, InitForgetsAnEarlierDigest)
{
    clsMD5 md5;
    const auto first = md5.DigestStrToHexStr(u"something else entirely");
    EXPECT_EQ(Narrow(md5.DigestStrToHexStr(u"abc")), "900150983CD24FB0D6963F7D28E17F72");
    EXPECT_NE(first, md5.GetValues());
}

struct RotateCase {
    std::uint32_t value;
    std::int32_t bits;
    std::uint32_t result;
    std::int32_t bitsAfter;
};

class Rotate : public testing::TestWithParam<RotateCase> { };

TEST_P(Rotate, RotatesByTheSignedRemainderAndReturnsItThroughBits)
{
    std::uint32_t value = GetParam().value;
    std::int32_t bits = GetParam().bits;
    EXPECT_EQ(clsMD5::LongLeftRotate(value, bits), GetParam().result);
    EXPECT_EQ(value, GetParam().result);
    EXPECT_EQ(bits, GetParam().bitsAfter);
}

INSTANTIATE_TEST_SUITE_P(Amounts, Rotate,
    testing::Values(RotateCase{0x12345678, 0, 0x12345678, 0}, RotateCase{0x12345678, 32, 0x12345678, 0},
        RotateCase{0x80000001, 33, 0x00000003, 1}, RotateCase{0x80000001, 1, 0x00000003, 1},
        RotateCase{0x12345678, -3, 0x12345678, -3}, RotateCase{1, 31, 0x80000000, 31},
        RotateCase{0xF0000000, 4, 0x0000000F, 4}, RotateCase{0x12345678, -35, 0x12345678, -3}));
