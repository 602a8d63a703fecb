#include "PasswordRules.h"
#include "RuleText.h"

#include <array>

namespace mnemora {

namespace {

// The words of both languages, indexed by RuleLanguage.
struct Words {
    std::string_view to, atLeast, atMost, characters, anyLength;
    std::string_view with, either, only, listSeparator, lastSeparator, inARowBefore, inARowAfter;
    std::string_view separator, oneOf, noRepeat;
    std::array<std::string_view, 6> one;  // upper, lower, digit, special, any, letter
    std::array<std::string_view, 6> many; // the same, in "only ..."
};

constexpr std::array<Words, 2> Languages = {{
    {" 到 ", "至少 ", "最多 ", " 个字符", "长度不限", "含", "或", "只用", "、", "和", "同一字符最多连续 ",
        " 个", "，", "以下之一：", "同一字符不连续",
        {"大写字母", "小写字母", "数字", "符号", "任意字符", "字母"},
        {"大写字母", "小写字母", "数字", "符号", "任意字符", "字母"}},
    {" to ", "at least ", "at most ", " characters", "any length", "with ", " or ", "only ", ", ", " and ",
        "no character more than ", " times in a row", ", ", "one of ", "no character twice in a row",
        {"an upper-case letter", "a lower-case letter", "a digit", "a symbol", "any character", "a letter"},
        {"upper-case letters", "lower-case letters", "digits", "symbols", "any character", "letters"}},
}};

// The set as a list of its kinds: whole named classes by name, the rest as
// the characters themselves.
void AppendSetWords(std::string &out, const CharClass &set, const Words &words, bool plural,
    std::string_view separator, std::string_view last)
{
    const auto &names = plural ? words.many : words.one;
    if (set.unicode || set.Count() == 95) {
        out += names[4];
        return;
    }
    static constexpr std::array<std::pair<char32_t, char32_t>, 3> Ranges
        = {{{'A', 'Z'}, {'a', 'z'}, {'0', '9'}}};
    std::array<std::string_view, 4> parts{};
    std::size_t partCount = 0;
    CharClass rest = set;
    const auto whole = [&](char32_t from, char32_t to) {
        for (char32_t c = from; c <= to; ++c)
            if (!set.Has(c))
                return false;
        return true;
    };
    const auto drop = [&](char32_t c) {
        if (c < 64)
            rest.low &= ~(std::uint64_t{1} << c);
        else
            rest.high &= ~(std::uint64_t{1} << (c - 64));
    };
    for (std::size_t i = 0; i < Ranges.size(); ++i)
        if (whole(Ranges[i].first, Ranges[i].second)) {
            parts[partCount++] = names[i];
            for (char32_t c = Ranges[i].first; c <= Ranges[i].second; ++c)
                drop(c);
        }
    // Both cases whole make one kind: letters.
    if (partCount >= 2 && parts[0] == names[0] && parts[1] == names[1]) {
        parts[0] = names[5];
        parts[1] = parts[2];
        --partCount;
    }
    bool allSpecial = true;
    for (char32_t c = 0x20; c < 0x7F; ++c)
        if (!(c >= '0' && c <= '9') && !(c >= 'A' && c <= 'Z') && !(c >= 'a' && c <= 'z') && !set.Has(c))
            allSpecial = false;
    std::string characters;
    for (char32_t c = 0x20; c < 0x7F; ++c)
        if (rest.Has(c))
            characters += static_cast<char>(c);
    if (allSpecial && !characters.empty()) {
        // Every symbol is there; letters or digits of a partial range are not a kind.
        bool onlySymbols = true;
        for (const char c : characters)
            if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))
                onlySymbols = false;
        if (onlySymbols) {
            parts[partCount++] = names[3];
            characters.clear();
        }
    }
    for (std::size_t i = 0; i < partCount; ++i) {
        if (i > 0)
            out += i + 1 == partCount && characters.empty() ? last : separator;
        out += parts[i];
    }
    if (!characters.empty()) {
        if (partCount > 0)
            out += last;
        out += words.oneOf;
        out += characters;
    }
}

} // namespace

std::string DescribeRule(const PasswordRule &rule, RuleLanguage language)
{
    const Words &words = Languages[language == RuleLanguage::Chinese ? 0 : 1];
    std::string out;
    if (rule.minLength > 0 && rule.minLength == rule.maxLength) {
        AppendNumber(out, rule.minLength);
        out += words.characters;
    } else if (rule.minLength > 0 && rule.maxLength > 0) {
        AppendNumber(out, rule.minLength);
        out += words.to;
        AppendNumber(out, rule.maxLength);
        out += words.characters;
    } else if (rule.minLength > 0) {
        out += words.atLeast;
        AppendNumber(out, rule.minLength);
        out += words.characters;
    } else if (rule.maxLength > 0) {
        out += words.atMost;
        AppendNumber(out, rule.maxLength);
        out += words.characters;
    } else {
        out += words.anyLength;
    }
    for (const CharClass &set : rule.required) {
        out += words.separator;
        out += words.with;
        AppendSetWords(out, set, words, false, words.either, words.either);
    }
    if (!(rule.allowed.unicode || rule.allowed.Count() == 95)) {
        out += words.separator;
        out += words.only;
        AppendSetWords(out, rule.allowed, words, true, words.listSeparator, words.lastSeparator);
    }
    if (rule.maxConsecutive == 1) {
        out += words.separator;
        out += words.noRepeat;
    } else if (rule.maxConsecutive > 0) {
        out += words.separator;
        out += words.inARowBefore;
        AppendNumber(out, rule.maxConsecutive);
        out += words.inARowAfter;
    }
    return out;
}

} // namespace mnemora
