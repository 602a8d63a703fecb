// Password rules and site-fitted codes: the known answers, the parser over the
// whole bundled list and over malformed rules, the fitted code's properties
// checked by a checker of its own, and the pinned canonical rule of every site.

#include "FitCode.h"
#include "PasswordRules.h"
#include "TestData.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <random>
#include <sstream>

using namespace mnemora;
using namespace mnemora::test;

namespace {

// Whether code meets rule, written from the rule's fields alone (not from the
// core's RuleAccepts, which decides whether the plain code is kept).
testing::AssertionResult Meets(const PasswordRule &rule, const std::u16string &code)
{
    const auto fail = [&](const std::string &why) {
        return testing::AssertionFailure()
            << Narrow(code) << ": " << why << " (" << CanonicalRule(rule) << ")";
    };
    const int n = static_cast<int>(code.size());
    if (n < rule.minLength || (rule.maxLength > 0 && n > rule.maxLength))
        return fail("length");
    if (code.front() == u' ' || code.back() == u' ')
        return fail("space at an end");
    for (const char16_t c : code)
        if (c < 0x20 || c > 0x7E || !rule.allowed.Has(c))
            return fail("character not allowed");
    for (const CharClass &set : rule.required)
        if (std::none_of(code.begin(), code.end(), [&](char16_t c) { return set.Has(c); }))
            return fail("required set missing");
    for (int i = 0; rule.maxConsecutive > 0 && i + rule.maxConsecutive < n; ++i)
        if (std::all_of(code.begin() + i + 1, code.begin() + i + rule.maxConsecutive + 1,
                [&](char16_t c) { return c == code[static_cast<std::size_t>(i)]; }))
            return fail("run too long");
    return testing::AssertionSuccess();
}

std::u16string RandomText(std::mt19937 &random)
{
    std::u16string text(1 + random() % 12, u'a');
    for (char16_t &c : text)
        c = static_cast<char16_t>(random() % 4 == 0 ? 0x4E00 + random() % 500 : 0x21 + random() % 94);
    return text;
}

TEST(FittedCode, KnownAnswers)
{
    const std::vector<FittedVector> vectors = FittedVectors();
    ASSERT_GE(vectors.size(), 10u);
    for (const FittedVector &v : vectors) {
        SCOPED_TRACE(v.rule);
        const PasswordRule rule = ParsePasswordRule(v.rule);
        EXPECT_EQ(CanonicalRule(rule), v.canonical);
        const FittedCode fitted = FitCode(Utf8ToText(v.password), Utf8ToText(v.key), rule);
        EXPECT_EQ(Narrow(fitted.code), v.code);
        EXPECT_EQ(fitted.plain, v.plain);
        EXPECT_TRUE(Meets(rule, fitted.code));
    }
}

// Every site of the list and random pairs: the code meets the rule, the plain
// code is kept wherever the rule takes it, and a code fitted anew has the
// rule's length.
TEST(FittedCode, MeetsEveryListedRule)
{
    std::mt19937 random(20261208);
    int fitted = 0;
    for (const BundledSite &site : BundledSites()) {
        const PasswordRule rule = ParsePasswordRule(site.rule);
        for (int pair = 0; pair < 25; ++pair) {
            const std::u16string password = RandomText(random);
            const std::u16string key = RandomText(random);
            const FittedCode code = FitCode(password, key, rule);
            ASSERT_TRUE(Meets(rule, code.code)) << site.domain;
            const Codes plain = GenerateCodes(password, key);
            ASSERT_EQ(code.plain, bool(Meets(rule, plain.code16))) << site.domain;
            if (code.plain)
                ASSERT_EQ(code.code, plain.code16);
            else
                ASSERT_EQ(static_cast<int>(code.code.size()), FittedLength(rule)) << site.domain;
            fitted += !code.plain;
        }
    }
    EXPECT_GT(fitted, 0);
}

// Random rules from the grammar's parts: each that parses is met.
TEST(FittedCode, MeetsRandomRules)
{
    const std::vector<std::string> sets = {"upper", "lower", "digit", "special", "[-ab]", "[ ]", "[!]]",
        "[xy]", "ascii-printable", "unicode", "[;,]"};
    std::mt19937 random(7);
    int parsed = 0;
    for (int i = 0; i < 1500; ++i) {
        std::string text;
        for (int n = static_cast<int>(random() % 5); n > 0; --n) {
            const int kind = static_cast<int>(random() % 5);
            if (kind < 2) {
                text += kind == 0 ? "required: " : "allowed: ";
                for (int m = 1 + static_cast<int>(random() % 2); m > 0; --m)
                    text += sets[random() % sets.size()] + (m > 1 ? ", " : "; ");
            } else {
                text += std::string(kind == 2 ? "minlength: "
                                : kind == 3   ? "maxlength: "
                                              : "max-consecutive: ")
                    + std::to_string(1 + random() % 24) + "; ";
            }
        }
        RuleProblem problem;
        const auto rule = TryParsePasswordRule(text, problem);
        if (!rule) {
            EXPECT_FALSE(problem.message.empty()) << text;
            continue;
        }
        ++parsed;
        FittedCode code;
        const DeriveStatus status = TryFitCode(u"pw", RandomText(random), *rule, code);
        if (status == DeriveStatus::BadRule)
            continue; // a few single-character sets cannot avoid a run; checked below
        ASSERT_EQ(status, DeriveStatus::Ok) << text;
        ASSERT_TRUE(Meets(*rule, code.code)) << text;
    }
    EXPECT_GT(parsed, 300);
}

TEST(FittedCode, StatusesAndUnfittableRule)
{
    const PasswordRule rule = ParsePasswordRule("required: digit;");
    FittedCode code;
    EXPECT_EQ(TryFitCode(u"", u"k", rule, code), DeriveStatus::Empty);
    EXPECT_EQ(TryFitCode(std::u16string(32768, u'a'), u"k", rule, code), DeriveStatus::TooLong);
    // Two places, both needing the one character 'a', which may not repeat.
    const PasswordRule stuck
        = ParsePasswordRule("required: [a]; required: [a]; allowed: [b]; max-consecutive: 1; maxlength: 2;");
    EXPECT_EQ(TryFitCode(u"pw", u"k", stuck, code), DeriveStatus::BadRule);
    EXPECT_TRUE(code.code.empty());
    EXPECT_THROW(FitCode(u"pw", u"k", stuck), RuleError);
}

// Each list rule parses, and its canonical text parses back to the same rule.
TEST(PasswordRules, EveryListedRuleRoundTrips)
{
    ASSERT_GE(BundledSites().size(), 400u);
    for (const BundledSite &site : BundledSites()) {
        RuleProblem problem;
        const auto rule = TryParsePasswordRule(site.rule, problem);
        ASSERT_TRUE(rule) << site.domain << ": " << problem.part << ": " << problem.message;
        const std::string canonical = CanonicalRule(*rule);
        EXPECT_EQ(ParsePasswordRule(canonical), *rule) << site.domain << ": " << canonical;
    }
}

struct Malformed {
    const char *text;
    const char *part;
};

class MalformedRule : public testing::TestWithParam<Malformed> { };

TEST_P(MalformedRule, NamesThePartAtFault)
{
    RuleProblem problem;
    EXPECT_FALSE(TryParsePasswordRule(GetParam().text, problem));
    EXPECT_EQ(problem.part, GetParam().part);
    EXPECT_FALSE(problem.message.empty());
    try {
        ParsePasswordRule(GetParam().text);
        ADD_FAILURE() << "no RuleError";
    } catch (const RuleError &e) {
        EXPECT_EQ(e.Part(), GetParam().part);
        EXPECT_NE(std::string(e.what()).find(GetParam().part), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(Rules, MalformedRule,
    testing::Values(Malformed{"", ""}, Malformed{"minlength: 8; maxlength: 0;", "maxlength: 0"},
        Malformed{"required: [abc", "[abc"}, Malformed{"required: [abc; maxlength: 4", "[abc"},
        Malformed{"required: []; minlength: 4", "[]"}, Malformed{"required: [é]", "[é]"},
        Malformed{"required: [a-z]", "[a-z]"}, Malformed{"required: [ab]c]", "[ab]c]"},
        Malformed{"minimum: 8", "minimum"}, Malformed{"minlength 8", "minlength 8"},
        Malformed{"minlength: ;", "minlength:"}, Malformed{"minlength: eight;", "minlength: eight"},
        Malformed{"minlength: 8 9;", "minlength: 8 9"}, Malformed{"required: vowels;", "vowels"},
        Malformed{"required: upper lower;", "lower"}, Malformed{"required: upper,;", "required: upper,"},
        Malformed{"minlength: 20; maxlength: 10;", "minlength: 20"},
        Malformed{"minlength: 129;", "minlength: 129"},
        Malformed{"maxlength: 99999999999999999999; minlength: 99999999999999999999;",
            "minlength: 99999999999999999999"},
        Malformed{"max-consecutive: 0;", "max-consecutive: 0"}, Malformed{"allowed: [ ];", "allowed: [ ]"},
        Malformed{"allowed: [a]; max-consecutive: 2; maxlength: 3;", "max-consecutive: 2"},
        Malformed{"required: [ ]; allowed: lower; maxlength: 2;", "required: [ ]"},
        Malformed{"maxlength: 2; required: upper; required: lower; required: digit;", "required: digit"},
        Malformed{"; minlength: 4", "; minlength: 4"}));

struct Words {
    const char *rule;
    const char *english;
    const char *chinese;
};

class RuleWords : public testing::TestWithParam<Words> { };

TEST_P(RuleWords, InBothLanguages)
{
    const PasswordRule rule = ParsePasswordRule(GetParam().rule);
    EXPECT_EQ(DescribeRule(rule, RuleLanguage::English), GetParam().english);
    EXPECT_EQ(DescribeRule(rule, RuleLanguage::Chinese), GetParam().chinese);
}

INSTANTIATE_TEST_SUITE_P(Rules, RuleWords,
    testing::Values(Words{"required: special; minlength: 12; maxlength: 12; allowed: ascii-printable;",
                        "12 characters, with a symbol", "12 个字符，含符号"},
        Words{
            "allowed: digit; minlength: 6; maxlength: 6;", "6 characters, only digits", "6 个字符，只用数字"},
        Words{"maxlength: 10; allowed: upper, lower, digit;",
            "at most 10 characters, only letters and digits", "最多 10 个字符，只用字母和数字"},
        Words{"minlength: 8; required: upper, [#$]; max-consecutive: 2;",
            "at least 8 characters, with an upper-case letter or one of #$, only upper-case letters and one "
            "of "
            "#$, no character more than 2 times in a row",
            "至少 8 个字符，含大写字母或以下之一：#$，只用大写字母和以下之一：#$，同一字符最多连续 2 个"}));

// The presets are written once, in the core; each must be a canonical rule.
TEST(PasswordRules, PresetsAreCanonical)
{
    for (const auto &[preset, n] : {std::pair{RulePreset::WithSymbol, 12}, {RulePreset::WithSymbol, 0},
             {RulePreset::AtMost, 10}, {RulePreset::DigitsOnly, 6}}) {
        const std::string text = PresetRule(preset, n);
        EXPECT_EQ(CanonicalRule(ParsePasswordRule(text)), text);
    }
    EXPECT_EQ(PresetRule(RulePreset::DigitsOnly, 6), "allowed: digit; minlength: 6; maxlength: 6;");
}

TEST(SiteRules, NearestListedDomain)
{
    const std::optional<std::string_view> own = BundledSiteRule("access.service.gov.uk");
    ASSERT_TRUE(own);
    EXPECT_EQ(BundledSiteRule("WWW.Access.Service.GOV.uk."), own);
    EXPECT_FALSE(BundledSiteRule("service.gov.uk"));
    EXPECT_FALSE(BundledSiteRule("example.invalid"));
    EXPECT_FALSE(BundledSiteRule(""));
    EXPECT_FALSE(BundledSiteRule("."));
    EXPECT_FALSE(BundledSiteRule("xaccess.service.gov.uk"));
}

// A site's fitted code follows its canonical rule, so a new release of the
// list must not change one silently: each site's rule is pinned, and a change
// passes only when NEWS names the site and the previous rule stays selectable.
TEST(SiteRules, CanonicalRulesArePinned)
{
    std::map<std::string, std::string, std::less<>> pinned;
    for (const std::string &line : DataLines("site-rules.snapshot")) {
        const std::vector<std::string> f = DataFields(line);
        pinned[f.at(0)] = f.at(1);
    }
    std::ifstream newsFile(std::string(MNEMORA_SOURCE_DIR) + "/NEWS");
    std::stringstream news;
    news << newsFile.rdbuf();
    ASSERT_FALSE(news.str().empty());
    std::map<std::string_view, std::string_view> listed;
    for (const BundledSite &site : BundledSites()) {
        listed[site.domain] = site.rule;
        EXPECT_TRUE(pinned.contains(site.domain)) << site.domain << " is new: add it to site-rules.snapshot";
    }
    for (const auto &[domain, canonical] : pinned) {
        const auto now = listed.find(domain);
        if (now != listed.end() && CanonicalRule(ParsePasswordRule(now->second)) == canonical)
            continue;
        const std::vector<PreviousSiteRule> previous = PreviousSiteRules(domain);
        const bool kept = std::any_of(previous.begin(), previous.end(), [&](const PreviousSiteRule &p) {
            return p.domain == domain && CanonicalRule(ParsePasswordRule(p.rule)) == canonical;
        });
        EXPECT_TRUE(kept && news.str().find(domain) != std::string::npos)
            << domain << ": its rule changed from \"" << canonical
            << "\"; name it in NEWS and keep the old rule in derive/previous-site-rules.txt";
    }
}

} // namespace
