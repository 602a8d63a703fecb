#include "FitDialogBehaviour.h"

#include "FitCode.h"
#include "GenerateCodes.h"

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <utility>

namespace mnemora {

namespace {

// clang-format off
constexpr FitDialogTexts Chinese{
    "按网站规则生成(&F)…",
    "按网站规则生成密码",
    "网站(&S)：",
    "网址或域名，如 example.com；已知网站的规则会自动填入",
    "规则(&R)：",
    "网站的密码规则，如 minlength: 8; required: upper; required: special;",
    "常用规则：",
    "带符号(&Y)",
    "最多 N 个字符(&M)",
    "仅数字，N 位(&D)",
    "&N：",
    "生成的密码(&P)：",
    "规则说明",
    "强度约 %d 比特",
    "（即16位码）",
    "复制(&C)",
    "关闭",
    "请先在主窗口输入记忆密码。",
    "请先在主窗口输入区分代号。",
    "记忆密码或区分代号太长。",
    "请输入网站的密码规则，或选择一个常用规则。",
    "没有 %s 的规则，请输入规则或选择一个常用规则。",
    "规则有误（%s）：%s",
    "无法按此规则生成密码",
};

constexpr FitDialogTexts English{
    "&fit to a site's rules…",
    "Fit to a site's rules",
    "&Site:",
    "an address or domain, such as example.com; a known site's rules are filled in",
    "&Rule:",
    "the site's password rules, such as minlength: 8; required: upper; required: special;",
    "Presets:",
    "with a s&ymbol",
    "at &most N characters",
    "&digits only, N",
    "&N:",
    "Fitted &password:",
    "The rule in words",
    "strength: about %d bits",
    " (the plain 16-character code)",
    "&Copy",
    "Close",
    "Type your password in the main window first.",
    "Type the key in the main window first.",
    "The password or the key is too long.",
    "Type the site's password rules, or choose a preset.",
    "No rules are known for %s; type them or choose a preset.",
    "The rule is wrong at \"%s\": %s",
    "no password can be made to this rule",
};
// clang-format on

// Fills the "%s" and "%d" of a text in order.
std::string Format(std::string_view text, std::initializer_list<std::string_view> values)
{
    std::string out;
    auto next = values.begin();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && (text[i + 1] == 's' || text[i + 1] == 'd')
            && next != values.end()) {
            out += *next++;
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && IsSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

} // namespace

const FitDialogTexts &FitTexts(RuleLanguage language) noexcept
{
    return language == RuleLanguage::English ? English : Chinese;
}

std::string AccessibleText(std::string_view label)
{
    std::string out;
    for (std::size_t i = 0; i < label.size(); ++i) {
        if (label.compare(i, 2, "(&") == 0 && i + 3 < label.size() && label[i + 3] == ')') {
            i += 3;
            continue;
        }
        if (label[i] == '&' && i + 1 < label.size() && label[i + 1] != '&')
            continue;
        if (label[i] == '&')
            ++i;
        out += label[i];
    }
    for (std::string_view colon : {std::string_view(":"), std::string_view("：")})
        if (out.size() >= colon.size() && out.compare(out.size() - colon.size(), colon.size(), colon) == 0)
            out.resize(out.size() - colon.size());
    return out;
}

FitDialogBehaviour::FitDialogBehaviour(FitDialogPort &port, RuleLanguage language) noexcept
    : m_port(port)
    , m_texts(FitTexts(language))
    , m_language(language)
{ }

std::string FitDialogBehaviour::SiteHost(std::string_view site)
{
    site = Trimmed(site);
    if (const auto scheme = site.find("://"); scheme != std::string_view::npos)
        site.remove_prefix(scheme + 3);
    site = site.substr(0, site.find_first_of("/?#"));
    if (const auto user = site.rfind('@'); user != std::string_view::npos)
        site.remove_prefix(user + 1);
    site = site.substr(0, site.find(':'));
    while (!site.empty() && site.back() == '.')
        site.remove_suffix(1);
    std::string host(site);
    std::transform(host.begin(), host.end(), host.begin(),
        [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return host;
}

void FitDialogBehaviour::Opened(std::u16string_view password, std::u16string_view key, std::string_view rule)
{
    Fit(password, key, rule);
}

void FitDialogBehaviour::SiteEdited(
    std::u16string_view password, std::u16string_view key, std::string_view site, std::string_view rule)
{
    const std::string host = SiteHost(site);
    if (host.empty())
        return Fit(password, key, rule);
    const std::optional<std::string_view> bundled = BundledSiteRule(host);
    if (!bundled)
        return m_port.ShowProblem(Format(m_texts.unknownSite, {host}));
    WriteRule(password, key, rule, *bundled);
}

void FitDialogBehaviour::RuleEdited(
    std::u16string_view password, std::u16string_view key, std::string_view rule)
{
    Fit(password, key, rule);
}

void FitDialogBehaviour::PresetChosen(std::u16string_view password, std::u16string_view key,
    std::string_view rule, RulePreset preset, int length)
{
    length = std::clamp(length, LengthMinimum, LengthMaximum);
    WriteRule(password, key, rule, PresetRule(preset, length));
}

void FitDialogBehaviour::WriteRule(
    std::u16string_view password, std::u16string_view key, std::string_view shown, std::string_view rule)
{
    // Writing the text the field already holds reports no change.
    if (shown == rule)
        return Fit(password, key, rule);
    m_port.SetRuleText(rule);
}

void FitDialogBehaviour::Fit(std::u16string_view password, std::u16string_view key, std::string_view rule)
{
    // A rule is checked before the inputs, so its mistakes show while the
    // main window is still empty.
    std::optional<PasswordRule> parsed;
    if (!Trimmed(rule).empty()) {
        RuleProblem problem;
        parsed = TryParsePasswordRule(rule, problem);
        if (!parsed)
            return m_port.ShowProblem(Format(m_texts.badRule,
                {problem.part.empty() ? Trimmed(rule) : std::string_view(problem.part), problem.message}));
    }
    for (const auto &[text, empty] :
        {std::pair{password, m_texts.needPassword}, std::pair{key, m_texts.needKey}}) {
        const DeriveStatus status = CheckDerivationText(text);
        if (status == DeriveStatus::Empty)
            return m_port.ShowProblem(empty);
        if (status != DeriveStatus::Ok)
            return m_port.ShowProblem(m_texts.tooLong);
    }
    if (!parsed)
        return m_port.ShowProblem(m_texts.needRule);

    FittedCode fitted;
    switch (TryFitCode(password, key, *parsed, fitted)) {
    case DeriveStatus::Ok:
        break;
    case DeriveStatus::BadRule:
        return m_port.ShowProblem(Format(m_texts.badRule, {Trimmed(rule), m_texts.unfit}));
    default:
        return m_port.ShowProblem(m_texts.tooLong);
    }
    std::string words = DescribeRule(*parsed, m_language);
    if (fitted.plain)
        words += m_texts.plain;
    m_port.ShowFitted(
        fitted.code, words, Format(m_texts.strength, {std::to_string(static_cast<int>(fitted.bits))}));
}

} // namespace mnemora
