#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace mnemora {

// Password rules in the `passwordrules` syntax that sites publish and put on
// their password boxes:
//
//   minlength: 8; maxlength: 20; required: lower; required: digit;
//   allowed: upper, [-!#$%]; max-consecutive: 2;
//
// Classes: upper, lower, digit, special (the ASCII punctuation and the space),
// ascii-printable, unicode, and sets written in square brackets ('-' only
// first, a literal ']' written as "]]" at the end; characters other than ASCII
// printable ones are passed over, since codes never hold them). Property names are
// lower-case; class names are not case-sensitive.
//
// As with the rules' reference parser, every required set is also allowed, and
// a rule that allows nothing explicitly allows every ASCII printable character.

// A set of ASCII printable characters, or any character at all (unicode).
struct CharClass {
    std::uint64_t low = 0;  // bit c for characters 0..63
    std::uint64_t high = 0; // bit c - 64 for characters 64..127
    bool unicode = false;   // any character; codes still draw from ASCII printable

    constexpr bool Has(char32_t c) const noexcept
    {
        if (unicode && c >= 0x20)
            return true;
        // The index masked to 0..63, which it is already: the analyser cannot
        // tell a char32_t from the signed char it may have been made from.
        if (c < 64)
            return (low >> (c & 63U)) & 1;
        if (c < 128)
            return (high >> (c & 63U)) & 1; // c - 64
        return false;
    }
    constexpr void Add(char32_t c) noexcept
    {
        if (c < 64)
            low |= std::uint64_t{1} << c;
        else if (c < 128)
            high |= std::uint64_t{1} << (c & 63U);
    }
    constexpr void Remove(char32_t c) noexcept
    {
        if (c < 64)
            low &= ~(std::uint64_t{1} << c);
        else if (c < 128)
            high &= ~(std::uint64_t{1} << (c & 63U));
    }
    // The ASCII printable members, all 95 for unicode, without the flag.
    CharClass Drawable() const noexcept;
    int Count() const noexcept; // ASCII printable members (95 for unicode)
    bool operator==(const CharClass &) const = default;
};

struct PasswordRule {
    int minLength = 0;               // 0: no minimum
    int maxLength = 0;               // 0: no maximum
    int maxConsecutive = 0;          // 0: runs of any length
    std::vector<CharClass> required; // each needs one character of the set, in rule order
    CharClass allowed;               // every required set is part of it

    bool operator==(const PasswordRule &) const = default;
};

// What is wrong with a rule: the part of its text at fault, as written (for
// example "maxlength: 0" or "[abc"), and the reason in plain English.
struct RuleProblem {
    std::string part;
    std::string message;
};

class RuleError : public std::runtime_error {
public:
    explicit RuleError(const RuleProblem &problem);
    const std::string &Part() const { return m_part; }

private:
    std::string m_part;
};

// Throws RuleError; a build without exceptions stops at once instead, and
// reaches the rules only through the Try functions.
[[noreturn]] void RaiseRuleError(const RuleProblem &problem);

// The longest code a rule may ask for; a longer minlength is refused.
inline constexpr int MaxFittedLength = 128;

// Parses a rule (UTF-8). A malformed rule, or one no code can meet (minlength
// over maxlength, more required kinds than characters, nothing allowed but
// spaces...), gives nullopt and fills problem; nothing is guessed.
std::optional<PasswordRule> TryParsePasswordRule(std::string_view text, RuleProblem &problem) noexcept;

// The same, throwing RuleError.
PasswordRule ParsePasswordRule(std::string_view text);

// The rule's canonical text: required sets in their order, then allowed,
// max-consecutive, minlength and maxlength, each set written as its named
// classes (upper, lower, digit, special) then one bracketed set of the other
// characters. Equal rules have equal canonical texts, and the text parses back
// to the same rule. The fitted code depends on this text.
std::string CanonicalRule(const PasswordRule &rule);

// The length of the code fitted to the rule: the longest the rule allows up to
// 16, more only where minlength asks.
int FittedLength(const PasswordRule &rule) noexcept;

// Whether a code meets the rule.
bool RuleAccepts(const PasswordRule &rule, std::u16string_view code) noexcept;

enum class RuleLanguage { Chinese, English };

// The rule in words (UTF-8), for example "12 characters, with a symbol", so
// the user can ask for the same rule elsewhere.
std::string DescribeRule(const PasswordRule &rule, RuleLanguage language);

// The plain presets, as canonical rule texts:
//   WithSymbol  "with a symbol": n characters (any length when n <= 0), one a symbol
//   AtMost      "at most N characters": letters and digits
//   DigitsOnly  "digits only, N": exactly n digits
enum class RulePreset { WithSymbol, AtMost, DigitsOnly };
std::string PresetRule(RulePreset preset, int n);

// The bundled list's rule for a host: its own or its nearest listed parent
// domain's (leading labels stripped one at a time), not case-sensitive, a
// trailing dot ignored. Not in the WebAssembly module.
std::optional<std::string_view> BundledSiteRule(std::string_view hostOrDomain);

// Every site of the bundled list, sorted by domain, with its rule as listed.
struct BundledSite {
    std::string_view domain;
    std::string_view rule;
};
std::span<const BundledSite> BundledSites();

// Rules a listed site had in earlier releases, newest first, kept so that the
// codes fitted to them can still be had.
struct PreviousSiteRule {
    std::string_view domain;
    std::string_view until; // the release that replaced it
    std::string_view rule;
};
std::vector<PreviousSiteRule> PreviousSiteRules(std::string_view hostOrDomain);

} // namespace mnemora
