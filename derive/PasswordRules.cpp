#include "PasswordRules.h"
#include "RuleText.h"

#include <algorithm>
#include <array>
#include <bit>

namespace mnemora {

namespace {

constexpr char32_t FirstPrintable = 0x20;
constexpr char32_t LastPrintable = 0x7E;
// A number beyond this is read as this: no length the rules can mean is near it.
constexpr int NumberCeiling = 1000000000;
// The plain code's length, and the fitted code's unless the rule asks otherwise.
constexpr int PlainLength = 16;

constexpr CharClass Range(char32_t first, char32_t last)
{
    CharClass set;
    for (char32_t c = first; c <= last; ++c)
        set.Add(c);
    return set;
}

constexpr CharClass Union(CharClass a, const CharClass &b)
{
    a.low |= b.low;
    a.high |= b.high;
    a.unicode = a.unicode || b.unicode;
    return a;
}

constexpr bool Contains(const CharClass &outer, const CharClass &inner)
{
    return (outer.low & inner.low) == inner.low && (outer.high & inner.high) == inner.high;
}

constexpr CharClass Printable = Range(FirstPrintable, LastPrintable);

// The named classes, in canonical order. The special class is every ASCII
// printable character that is not a letter or digit, the space included.
struct NamedClass {
    std::string_view name;
    CharClass set;
};
constexpr std::array<NamedClass, 4> Named = {{
    {"upper", Range('A', 'Z')},
    {"lower", Range('a', 'z')},
    {"digit", Range('0', '9')},
    {"special", Union(Union(Union(Range(' ', '/'), Range(':', '@')), Range('[', '`')), Range('{', '~'))},
}};

constexpr bool IsIdentifierChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-';
}

constexpr bool IsWhitespace(char c)
{
    return c == ' ' || c == '\f' || c == '\n' || c == '\r' || c == '\t';
}

constexpr char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsFolded(std::string_view a, std::string_view b)
{
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

constexpr const char *TooManyRequired
    = "the rule requires more kinds of character than the password may have characters";

enum class Property { MinLength, MaxLength, MaxConsecutive, Required, Allowed };
constexpr std::array<std::string_view, 5> PropertyNames
    = {"minlength", "maxlength", "max-consecutive", "required", "allowed"};

// Where a property's text lies, so that a problem found later can name it.
struct Span {
    std::size_t from = 0;
    std::size_t to = 0;
};

class Parser {
public:
    Parser(std::string_view text, RuleProblem &problem)
        : m_text(text)
        , m_problem(problem)
    { }

    std::optional<PasswordRule> Parse();

private:
    std::size_t SkipWhitespace(std::size_t at) const
    {
        while (at < m_text.size() && IsWhitespace(m_text[at]))
            ++at;
        return at;
    }
    // The end of the property that starts before `at`: the next ';' or the end.
    std::size_t PropertyEnd(std::size_t at) const
    {
        const std::size_t semicolon = m_text.find(';', at);
        return semicolon == std::string_view::npos ? m_text.size() : semicolon;
    }
    bool Fail(Span span, const char *message)
    {
        std::size_t to = std::min(span.to, m_text.size());
        while (to > span.from && IsWhitespace(m_text[to - 1]))
            --to;
        m_problem.part.assign(m_text.substr(span.from, to - span.from));
        m_problem.message = message;
        return false;
    }
    bool ParseNumber(Span property, int &value);
    bool ParseClasses(Span property, CharClass &set);
    bool ParseSet(CharClass &set);
    bool Check(PasswordRule &rule);

    std::string_view m_text;
    RuleProblem &m_problem;
    std::size_t m_at = 0;

    Span m_minLength, m_maxLength, m_maxConsecutive, m_allowed;
    // A rule with more required sets than this is refused before another is read.
    std::array<Span, MaxFittedLength + 1> m_required{};
    bool m_hasAllowed = false;
};

bool Parser::ParseNumber(Span property, int &value)
{
    value = 0;
    const std::size_t start = m_at;
    while (m_at < m_text.size() && m_text[m_at] >= '0' && m_text[m_at] <= '9') {
        const int digit = m_text[m_at] - '0';
        value = value > (NumberCeiling - digit) / 10 ? NumberCeiling : value * 10 + digit;
        ++m_at;
    }
    m_at = SkipWhitespace(m_at);
    if (m_at == start || (m_at < m_text.size() && m_text[m_at] != ';'))
        return Fail({property.from, PropertyEnd(start)}, "the value must be a whole number");
    return true;
}

bool Parser::ParseSet(CharClass &set)
{
    const std::size_t start = m_at++;
    const std::size_t first = m_at;
    bool closed = false;
    CharClass custom;
    while (m_at < m_text.size()) {
        const char c = m_text[m_at];
        if (c == ']') {
            // "]]" is a literal ']' that ends the set.
            if (m_at + 1 < m_text.size() && m_text[m_at + 1] == ']') {
                custom.Add(']');
                ++m_at;
            }
            ++m_at;
            closed = true;
            break;
        }
        // Codes are ASCII: other characters a site allows (the lists name
        // letters such as "ä" or "§") can never be drawn, so they are passed over.
        const auto byte = static_cast<unsigned char>(c);
        if (byte < FirstPrintable || byte > LastPrintable) {
            ++m_at;
            continue;
        }
        if (c == '-' && m_at != first)
            return Fail({start, PropertyEnd(m_at)}, "a '-' may only come first in a set");
        custom.Add(static_cast<char32_t>(byte));
        ++m_at;
    }
    if (!closed)
        return Fail({start, PropertyEnd(start)}, "the set is not closed with ']'");
    if (custom == CharClass{})
        return Fail({start, m_at}, "the set holds no ASCII printable character");
    if (m_at < m_text.size() && !IsWhitespace(m_text[m_at]) && m_text[m_at] != ',' && m_text[m_at] != ';')
        return Fail({start, PropertyEnd(m_at)}, "a ']' inside a set must be written as \"]]\" at its end");
    set = Union(set, custom);
    return true;
}

bool Parser::ParseClasses(Span property, CharClass &set)
{
    for (;;) {
        if (m_at >= m_text.size() || m_text[m_at] == ';')
            return Fail({property.from, m_at}, "a character class must follow ','");
        if (m_text[m_at] == '[') {
            if (!ParseSet(set))
                return false;
        } else if (IsIdentifierChar(m_text[m_at])) {
            const std::size_t start = m_at;
            while (m_at < m_text.size() && IsIdentifierChar(m_text[m_at]))
                ++m_at;
            const std::string_view name = m_text.substr(start, m_at - start);
            if (EqualsFolded(name, "unicode")) {
                set = Union(set, Printable);
                set.unicode = true;
            } else if (EqualsFolded(name, "ascii-printable")) {
                set = Union(set, Printable);
            } else {
                const auto named = std::find_if(Named.begin(), Named.end(),
                    [&](const NamedClass &n) { return EqualsFolded(name, n.name); });
                if (named == Named.end())
                    return Fail({start, m_at},
                        "unknown character class; the classes are upper, lower, digit, special, "
                        "ascii-printable, unicode and sets in [ ]");
                set = Union(set, named->set);
            }
        } else {
            return Fail({m_at, PropertyEnd(m_at)}, "a character class or a set in [ ] was expected");
        }
        m_at = SkipWhitespace(m_at);
        if (m_at >= m_text.size() || m_text[m_at] == ';')
            return true;
        if (m_text[m_at] != ',')
            return Fail({m_at, PropertyEnd(m_at)}, "classes are separated by ',' and properties by ';'");
        m_at = SkipWhitespace(m_at + 1);
    }
}

std::optional<PasswordRule> Parser::Parse()
{
    PasswordRule rule;
    CharClass allowed;
    bool any = false;
    m_at = SkipWhitespace(0);
    while (m_at < m_text.size()) {
        const std::size_t start = m_at;
        while (m_at < m_text.size() && IsIdentifierChar(m_text[m_at]))
            ++m_at;
        const std::string_view name = m_text.substr(start, m_at - start);
        const auto known = std::find(PropertyNames.begin(), PropertyNames.end(), name);
        if (known == PropertyNames.end()) {
            Fail(name.empty() ? Span{start, PropertyEnd(start + 1)} : Span{start, m_at},
                "unknown property; the properties are minlength, maxlength, max-consecutive, required "
                "and allowed");
            return std::nullopt;
        }
        const auto property = static_cast<Property>(known - PropertyNames.begin());
        if (m_at >= m_text.size() || m_text[m_at] != ':') {
            Fail({start, PropertyEnd(start)}, "a ':' must follow the property's name");
            return std::nullopt;
        }
        m_at = SkipWhitespace(m_at + 1);
        const Span span{start, PropertyEnd(start)};
        if (m_at >= m_text.size() || m_text[m_at] == ';') {
            Fail(span, "the property has no value");
            return std::nullopt;
        }
        int number = 0;
        switch (property) {
        case Property::MinLength:
            if (!ParseNumber(span, number))
                return std::nullopt;
            if (number >= rule.minLength) {
                rule.minLength = number;
                m_minLength = span;
            }
            break;
        case Property::MaxLength:
            if (!ParseNumber(span, number))
                return std::nullopt;
            if (number == 0) {
                Fail(span, "a password cannot be empty");
                return std::nullopt;
            }
            if (rule.maxLength == 0 || number < rule.maxLength) {
                rule.maxLength = number;
                m_maxLength = span;
            }
            break;
        case Property::MaxConsecutive:
            if (!ParseNumber(span, number))
                return std::nullopt;
            if (number == 0) {
                Fail(span, "at least one character must be allowed in a row");
                return std::nullopt;
            }
            if (rule.maxConsecutive == 0 || number < rule.maxConsecutive) {
                rule.maxConsecutive = number;
                m_maxConsecutive = span;
            }
            break;
        case Property::Required: {
            CharClass set;
            if (!ParseClasses(span, set))
                return std::nullopt;
            if (rule.required.size() > MaxFittedLength) {
                Fail(span, TooManyRequired);
                return std::nullopt;
            }
            m_required[rule.required.size()] = span;
            rule.required.push_back(set);
            allowed = Union(allowed, set);
            break;
        }
        case Property::Allowed:
            if (!ParseClasses(span, allowed))
                return std::nullopt;
            m_allowed = span;
            m_hasAllowed = true;
            break;
        }
        any = true;
        m_at = SkipWhitespace(m_at);
        if (m_at < m_text.size())
            m_at = SkipWhitespace(m_at + 1); // past the ';' every value parser stops at
    }
    if (!any) {
        Fail({0, m_text.size()}, "the rule is empty");
        return std::nullopt;
    }
    rule.allowed = allowed == CharClass{} ? Printable : allowed;
    if (!Check(rule))
        return std::nullopt;
    return rule;
}

// Whether some code meets the rule; the fitting relies on what passes here.
bool Parser::Check(PasswordRule &rule)
{
    if (rule.minLength > MaxFittedLength)
        return Fail(m_minLength, "codes longer than 128 characters cannot be made");
    if (rule.maxLength != 0 && rule.minLength > rule.maxLength)
        return Fail(m_minLength, "the minimum length is more than the maximum length");
    const int length = FittedLength(rule);
    if (rule.required.size() > static_cast<std::size_t>(length))
        return Fail(m_required[static_cast<std::size_t>(length)], TooManyRequired);
    CharClass space;
    space.Add(' ');
    const Span allowedSpan = m_hasAllowed ? m_allowed : m_required.front();
    if (Contains(space, rule.allowed))
        return Fail(allowedSpan, "a password of spaces alone cannot be made: forms trim them");
    if (rule.maxConsecutive != 0 && rule.maxConsecutive < length && rule.allowed.Count() == 1)
        return Fail(m_maxConsecutive, "with only one allowed character, no password can avoid repeating it");
    for (std::size_t i = 0; i < rule.required.size(); ++i)
        if (rule.required[i] == space && length < 3)
            return Fail(m_required[i], "a space can be neither first nor last, so it needs 3 characters");
    return true;
}

// The set in canonical form: named classes it holds whole, then one bracketed
// set of the rest, '-' first and ']' last so that the text parses back.
void AppendSet(std::string &out, const CharClass &set)
{
    if (set.unicode) {
        out += "unicode";
        return;
    }
    if (Contains(set, Printable)) {
        out += "ascii-printable";
        return;
    }
    CharClass rest = set;
    std::string_view separator;
    for (const NamedClass &named : Named)
        if (Contains(set, named.set)) {
            out += separator;
            out += named.name;
            separator = ", ";
            rest.low &= ~named.set.low;
            rest.high &= ~named.set.high;
        }
    if (rest == CharClass{})
        return;
    out += separator;
    out += '[';
    if (rest.Has('-'))
        out += '-';
    // Letters, then digits, then the other characters, as the lists write them.
    constexpr std::array<std::pair<char, char>, 3> Order = {{{'A', 'Z'}, {'a', 'z'}, {'0', '9'}}};
    for (const auto &[first, last] : Order)
        for (char c = first; c <= last; ++c)
            if (rest.Has(static_cast<char32_t>(c)))
                out += c;
    for (char32_t c = FirstPrintable; c <= LastPrintable; ++c)
        if (rest.Has(c) && Named[3].set.Has(c) && c != '-' && c != ']')
            out += static_cast<char>(c);
    if (rest.Has(']'))
        out += ']';
    out += ']';
}

} // namespace

CharClass CharClass::Drawable() const noexcept
{
    if (unicode)
        return Printable;
    CharClass members;
    members.low = low & Printable.low;
    members.high = high & Printable.high;
    return members;
}

int CharClass::Count() const noexcept
{
    const CharClass members = Drawable();
    return std::popcount(members.low) + std::popcount(members.high);
}

RuleError::RuleError(const RuleProblem &problem)
    : std::runtime_error(
        problem.part.empty() ? problem.message : "\"" + problem.part + "\": " + problem.message)
    , m_part(problem.part)
{ }

void RaiseRuleError(const RuleProblem &problem)
{
#if defined(__cpp_exceptions)
    throw RuleError(problem);
#else
    static_cast<void>(problem);
    __builtin_trap();
#endif
}

std::optional<PasswordRule> TryParsePasswordRule(std::string_view text, RuleProblem &problem) noexcept
{
    problem = {};
    return Parser(text, problem).Parse();
}

PasswordRule ParsePasswordRule(std::string_view text)
{
    RuleProblem problem;
    auto rule = TryParsePasswordRule(text, problem);
    if (!rule)
        RaiseRuleError(problem);
    return *rule;
}

std::string CanonicalRule(const PasswordRule &rule)
{
    std::string out;
    for (const CharClass &set : rule.required) {
        out += "required: ";
        AppendSet(out, set);
        out += "; ";
    }
    out += "allowed: ";
    AppendSet(out, rule.allowed);
    out += ';';
    const std::array<std::pair<std::string_view, int>, 3> numbers = {{
        {"max-consecutive", rule.maxConsecutive},
        {"minlength", rule.minLength},
        {"maxlength", rule.maxLength},
    }};
    for (const auto &[name, value] : numbers)
        if (value > 0) {
            out += ' ';
            out += name;
            out += ": ";
            AppendNumber(out, value);
            out += ';';
        }
    return out;
}

int FittedLength(const PasswordRule &rule) noexcept
{
    const int upTo = rule.maxLength > 0 ? std::min(rule.maxLength, PlainLength) : PlainLength;
    return std::max(upTo, rule.minLength);
}

bool RuleAccepts(const PasswordRule &rule, std::u16string_view code) noexcept
{
    const auto length = static_cast<int>(std::min<std::size_t>(code.size(), NumberCeiling));
    if (length < rule.minLength || (rule.maxLength > 0 && length > rule.maxLength) || code.empty())
        return false;
    int run = 0;
    for (std::size_t i = 0; i < code.size(); ++i) {
        if (!rule.allowed.Has(code[i]))
            return false;
        run = i > 0 && code[i] == code[i - 1] ? run + 1 : 1;
        if (rule.maxConsecutive > 0 && run > rule.maxConsecutive)
            return false;
    }
    for (const CharClass &set : rule.required)
        if (std::none_of(code.begin(), code.end(), [&](char16_t c) { return set.Has(c); }))
            return false;
    return true;
}

std::string PresetRule(RulePreset preset, int n)
{
    std::string out;
    const auto lengths = [&](bool exact) {
        if (exact) {
            out += " minlength: ";
            AppendNumber(out, std::max(n, 0));
            out += ';';
        }
        out += " maxlength: ";
        AppendNumber(out, std::max(n, 0));
        out += ';';
    };
    switch (preset) {
    case RulePreset::WithSymbol:
        out = "required: special; allowed: ascii-printable;";
        if (n > 0)
            lengths(true);
        break;
    case RulePreset::AtMost:
        out = "allowed: upper, lower, digit;";
        lengths(false);
        break;
    case RulePreset::DigitsOnly:
        out = "allowed: digit;";
        lengths(true);
        break;
    }
    return out;
}

void AppendNumber(std::string &out, int n)
{
    char digits[12];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + n % 10);
        n /= 10;
    } while (n > 0);
    while (count > 0)
        out += digits[--count];
}

} // namespace mnemora
