#include "GenerateCodes.h"
#include "FirstDigest.h"

#include "SecureWipe.h"
#include "clsMD5.h"
#include "modUTF8.h"

#include <array>
#include <memory>

namespace mnemora {

namespace {

// Fixed values of the scheme. Changing any of them changes every code.
constexpr std::u16string_view SecondDigestKey = u"dusk";
constexpr std::u16string_view ThirdDigestKey = u"fjor";
// Letters a-f of the code are upper-cased where the rule digest holds one of
// these characters at the same position (case-sensitive).
constexpr std::u16string_view CaseAlphabet = u"treehidesky2003110846qmvjd";
constexpr char16_t DigitReplacement = u'K';

// Membership in CaseAlphabet for every ASCII character; the rule digest holds
// only hex digits, and anything else is simply not in the alphabet.
constexpr std::array<bool, 128> InCaseAlphabet = [] {
    std::array<bool, 128> table{};
    for (const char16_t c : CaseAlphabet)
        table[c] = true;
    return table;
}();

constexpr bool IsDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

void LowerHex(std::u16string &hex)
{
    for (char16_t &c : hex)
        if (c >= u'A' && c <= u'F')
            c = static_cast<char16_t>(c - u'A' + u'a');
}

} // namespace

std::u16string FirstDigest(std::u16string_view password, std::u16string_view key)
{
    clsMD5 md5;
    std::u16string one = md5.Hmac_MD5(password, key);
    LowerHex(one);
    return one;
}

Codes CodesFromFirstDigest(std::u16string_view one)
{
    // A fresh engine per derivation: nothing carries over from one run to the next.
    const auto cMD5 = std::make_unique<clsMD5>();
    // Both later digests take the 32 hex characters of the first as their message.
    std::u16string two = cMD5->Hmac_MD5(one, SecondDigestKey);
    LowerHex(two);
    std::u16string rule = cMD5->Hmac_MD5(one, ThirdDigestKey);
    LowerHex(rule);

    Codes codes;
    // Reserved up front: growing a code would leave copies in freed memory.
    codes.code32.reserve(two.size());
    codes.code16.reserve(16);
    for (std::size_t i = 0; i < two.size(); ++i) {
        const char16_t c = two[i];
        if (!IsDigit(c) && rule[i] < InCaseAlphabet.size() && InCaseAlphabet[rule[i]])
            codes.code32 += static_cast<char16_t>(c - u'a' + u'A');
        else
            codes.code32 += c;
    }

    // The short code always begins with a letter: a leading digit becomes "K".
    codes.code16.assign(codes.code32, 0, 16);
    if (IsDigit(codes.code16.front()))
        codes.code16.front() = DigitReplacement;

    SecureWipe(two);
    SecureWipe(rule);
    return codes;
}

Codes GenerateCodes(std::u16string_view password, std::u16string_view key)
{
    std::u16string one = FirstDigest(password, key);
    Codes codes = CodesFromFirstDigest(one);
    SecureWipe(one);
    return codes;
}

static_assert(MaxTextBytes == static_cast<std::size_t>(clsMD5::MaxUpdateLength),
    "a text the derivation accepts must fit one update of the engine");

void Codes::Wipe() noexcept
{
    SecureWipe(code16);
    SecureWipe(code32);
}

DeriveStatus CheckDerivationText(std::u16string_view text) noexcept
{
    if (text.empty())
        return DeriveStatus::Empty;
    // Every unit takes at least one UTF-8 byte, so a longer text is refused
    // without counting its bytes.
    if (text.size() > MaxTextBytes || Utf8Length(text) > MaxTextBytes)
        return DeriveStatus::TooLong;
    return DeriveStatus::Ok;
}

DeriveStatus CheckDerivationTexts(std::u16string_view password, std::u16string_view key) noexcept
{
    const DeriveStatus passwordStatus = CheckDerivationText(password);
    const DeriveStatus keyStatus = CheckDerivationText(key);
    if (passwordStatus == DeriveStatus::Empty || keyStatus == DeriveStatus::Empty)
        return DeriveStatus::Empty;
    if (passwordStatus != DeriveStatus::Ok || keyStatus != DeriveStatus::Ok)
        return DeriveStatus::TooLong;
    return DeriveStatus::Ok;
}

DeriveStatus TryGenerateCodes(std::u16string_view password, std::u16string_view key, Codes &out) noexcept
{
    out.Wipe();
    if (const DeriveStatus status = CheckDerivationTexts(password, key); status != DeriveStatus::Ok)
        return status;
    // Within the limits the engine has no failure left to reach: every count
    // fits its integer width and every array holds what its count says.
    out = GenerateCodes(password, key);
    return DeriveStatus::Ok;
}

} // namespace mnemora
