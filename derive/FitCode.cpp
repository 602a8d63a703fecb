#include "FitCode.h"

#include "FirstDigest.h"
#include "SecureWipe.h"
#include "clsMD5.h"

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>

namespace mnemora {

namespace {

// A lower bound of the plain code's strength: 15 hex digits drawn uniformly,
// and a first character that is one of a-f or, for the ten digits, "K"
// (-10/16 log2(10/16) - 6/16 log2(1/16) = 1.924 bits). The case of its
// letters, drawn from a separate digest, is not counted.
constexpr double PlainCodeBits = 61.924;

// The bytes the fitting draws: block j is the engine's HMAC-MD5 of the text
// "<j>:<canonical rule>" (j in decimal from 0) under the first digest's 32 hex
// digits as the key, the 16 digest bytes in output order. The counter ends at
// the first ':' and the rule text follows whole, so no two (j, rule) pairs
// share a message.
//
// Both texts are ASCII, so their UTF-8 bytes are their characters, and the
// key is shorter than a block, so it is padded as it stands. The two pad
// blocks are the same for every block of the stream and are compressed once.
class ByteStream {
public:
    ByteStream(std::u16string_view key, std::string rule)
        : m_rule(std::move(rule))
    {
        std::array<std::uint8_t, PadBytes> innerPad;
        std::array<std::uint8_t, PadBytes> outerPad;
        innerPad.fill(0x36);
        outerPad.fill(0x5C);
        for (std::size_t i = 0; i < key.size(); ++i) {
            innerPad[i] ^= static_cast<std::uint8_t>(key[i]);
            outerPad[i] ^= static_cast<std::uint8_t>(key[i]);
        }
        m_inner.MD5Init();
        m_inner.MD5Update(PadBytes, innerPad);
        m_outer.MD5Init();
        m_outer.MD5Update(PadBytes, outerPad);
        SecureWipe(innerPad.data(), innerPad.size());
        SecureWipe(outerPad.data(), outerPad.size());
    }
    ~ByteStream() { SecureWipe(m_block.data(), m_block.size()); }
    ByteStream(const ByteStream &) = delete;
    ByteStream &operator=(const ByteStream &) = delete;

    // A number in [0, n) for 1 <= n <= 256, without bias: bytes at or above
    // the largest multiple of n are skipped.
    int Draw(int n)
    {
        const int limit = 256 - 256 % n;
        for (;;) {
            const int byte = Next();
            if (byte < limit)
                return byte % n;
        }
    }

private:
    static constexpr std::int32_t PadBytes = 64;

    int Next()
    {
        if (m_used == m_block.size())
            Refill();
        return m_block[m_used++];
    }

    void Refill()
    {
        std::array<std::uint8_t, 11> prefix;
        std::size_t at = prefix.size();
        prefix[--at] = ':';
        std::uint32_t n = m_counter++;
        do {
            prefix[--at] = static_cast<std::uint8_t>('0' + n % 10);
            n /= 10;
        } while (n > 0);
        m_md5.CopyStateFrom(m_inner);
        m_md5.MD5Update(static_cast<std::int32_t>(prefix.size() - at), std::span(prefix).subspan(at));
        m_md5.MD5Update(static_cast<std::int32_t>(m_rule.size()),
            {reinterpret_cast<const std::uint8_t *>(m_rule.data()), m_rule.size()});
        m_md5.MD5Final();
        std::array<std::uint8_t, 16> inner = m_md5.DigestBytes();
        m_md5.CopyStateFrom(m_outer);
        m_md5.MD5Update(static_cast<std::int32_t>(inner.size()), inner);
        m_md5.MD5Final();
        m_block = m_md5.DigestBytes();
        SecureWipe(inner.data(), inner.size());
        m_used = 0;
    }

    std::string m_rule;
    clsMD5 m_inner; // after the inner pad block
    clsMD5 m_outer; // after the outer pad block
    clsMD5 m_md5;
    std::array<std::uint8_t, 16> m_block{};
    std::size_t m_used = 16;
    std::uint32_t m_counter = 0;
};

// A rule the parser accepted fails an attempt only when a character a required
// set must supply is ruled out where it landed (a lone space at an end, or the
// one character of a set that would make a run too long); a fresh attempt
// places the sets elsewhere. Reaching this many means no code exists.
constexpr int MaxAttempts = 100;

// Draws the fitted code into code; false when no attempt succeeded.
bool Draw(ByteStream &stream, const PasswordRule &rule, std::u16string &code)
{
    const int length = FittedLength(rule);
    std::array<const CharClass *, MaxFittedLength> slots{};
    for (int attempt = 0; attempt < MaxAttempts; ++attempt) {
        // Required sets first, the allowed set in the other places, shuffled
        // (Fisher-Yates from the last place down).
        for (std::size_t i = 0; i < static_cast<std::size_t>(length); ++i)
            slots[i] = i < rule.required.size() ? &rule.required[i] : &rule.allowed;
        for (int i = length - 1; i > 0; --i)
            std::swap(
                slots[static_cast<std::size_t>(i)], slots[static_cast<std::size_t>(stream.Draw(i + 1))]);
        code.clear();
        int run = 0;
        bool stuck = false;
        for (int at = 0; at < length && !stuck; ++at) {
            const bool end = at == 0 || at == length - 1;
            const bool runFull = rule.maxConsecutive > 0 && run >= rule.maxConsecutive;
            CharClass candidates = slots[static_cast<std::size_t>(at)]->Drawable();
            if (end)
                candidates.Remove(u' ');
            if (runFull)
                candidates.Remove(code.back());
            const int lowCount = std::popcount(candidates.low);
            const int count = lowCount + std::popcount(candidates.high);
            if (count == 0) {
                stuck = true;
                break;
            }
            // The candidate of that rank in ascending code order.
            int rank = stream.Draw(count);
            std::uint64_t bits = candidates.low;
            int base = 0;
            if (rank >= lowCount) {
                bits = candidates.high;
                base = 64;
                rank -= lowCount;
            }
            for (; rank > 0; --rank)
                bits &= bits - 1;
            const auto c = static_cast<char16_t>(base + std::countr_zero(bits));
            run = at > 0 && c == code.back() ? run + 1 : 1;
            code += c;
        }
        if (!stuck)
            return true;
    }
    SecureWipe(code);
    return false;
}

// log2(x) for x >= 1, without the C library's version (the WebAssembly
// module has no room for it): x = m 2^e with m in [1, 2), and
// ln m = 2 atanh t, t = (m - 1) / (m + 1) <= 1/3, summed to 1e-12.
double Log2(double x)
{
    int e = 0;
    while (x >= 2) {
        x /= 2;
        ++e;
    }
    const double t = (x - 1) / (x + 1);
    double term = t;
    double sum = 0;
    for (int k = 1; k < 40; k += 2) {
        sum += term / k;
        term *= t * t;
    }
    return e + 2 * sum / 0.6931471805599453;
}

// The construction's strength: each place's draw, a required set's where one
// landed, counting one choice fewer where a run or an end may rule one out.
// Where the required sets land adds to it and is not counted.
double FittedBits(const PasswordRule &rule)
{
    const int length = FittedLength(rule);
    const auto bits = [&](const CharClass &set) {
        const int ruledOut = rule.maxConsecutive > 0 || set.Has(u' ') ? 1 : 0;
        return Log2(static_cast<double>(std::max(1, set.Count() - ruledOut)));
    };
    double total = 0;
    for (const CharClass &set : rule.required)
        total += bits(set);
    total += (length - static_cast<int>(rule.required.size())) * bits(rule.allowed);
    return total;
}

// The fitting from the first digest; false when no code could be drawn.
bool Fit(std::u16string_view one, const PasswordRule &rule, FittedCode &out)
{
    {
        Codes codes = CodesFromFirstDigest(one);
        if (RuleAccepts(rule, codes.code16)) {
            out.code.reserve(codes.code16.size());
            out.code.assign(codes.code16);
            out.bits = PlainCodeBits;
            out.plain = true;
            return true;
        }
    }
    ByteStream stream(one, CanonicalRule(rule));
    out.code.reserve(static_cast<std::size_t>(FittedLength(rule)));
    if (!Draw(stream, rule, out.code))
        return false;
    out.bits = FittedBits(rule);
    out.plain = false;
    return true;
}

} // namespace

void FittedCode::Wipe() noexcept
{
    SecureWipe(code);
    bits = 0;
    plain = false;
}

FittedCode FitCode(std::u16string_view password, std::u16string_view key, const PasswordRule &rule)
{
    std::u16string one = FirstDigest(password, key);
    FittedCode fitted;
    const bool ok = Fit(one, rule, fitted);
    SecureWipe(one);
    if (!ok)
        RaiseRuleError({CanonicalRule(rule), "no password that meets the rule could be made"});
    return fitted;
}

DeriveStatus TryFitCode(
    std::u16string_view password, std::u16string_view key, const PasswordRule &rule, FittedCode &out) noexcept
{
    out.Wipe();
    if (const DeriveStatus status = CheckDerivationTexts(password, key); status != DeriveStatus::Ok)
        return status;
    std::u16string one = FirstDigest(password, key);
    const bool ok = Fit(one, rule, out);
    SecureWipe(one);
    if (!ok) {
        out.Wipe();
        return DeriveStatus::BadRule;
    }
    return DeriveStatus::Ok;
}

} // namespace mnemora
