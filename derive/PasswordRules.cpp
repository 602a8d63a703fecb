#include "PasswordRules.h"

namespace mnemora {

bool CharClass::Has(char32_t c) const noexcept
{
    if (unicode)
        return true;
    if (c < 64)
        return (low >> c) & 1;
    if (c < 128)
        return (high >> (c - 64)) & 1;
    return false;
}

void CharClass::Add(char32_t c) noexcept
{
    if (c < 64)
        low |= std::uint64_t{1} << c;
    else if (c < 128)
        high |= std::uint64_t{1} << (c - 64);
}

int CharClass::Count() const noexcept
{
    int n = 0;
    for (char32_t c = 0x20; c < 0x7F; ++c)
        n += Has(c);
    return n;
}

RuleError::RuleError(const RuleProblem &problem)
    : std::runtime_error(problem.part.empty() ? problem.message : "\"" + problem.part + "\": " + problem.message)
    , m_part(problem.part)
{ }

std::optional<PasswordRule> TryParsePasswordRule(std::string_view, RuleProblem &problem) noexcept
{
    problem = {"", "not implemented yet"};
    return std::nullopt;
}

PasswordRule ParsePasswordRule(std::string_view text)
{
    RuleProblem problem;
    auto rule = TryParsePasswordRule(text, problem);
    if (!rule)
        throw RuleError(problem);
    return *rule;
}

std::string CanonicalRule(const PasswordRule &)
{
    return {};
}

int FittedLength(const PasswordRule &) noexcept
{
    return 16;
}

bool RuleAccepts(const PasswordRule &, std::u16string_view) noexcept
{
    return false;
}

std::string DescribeRule(const PasswordRule &, RuleLanguage)
{
    return {};
}

std::string PresetRule(RulePreset, int)
{
    return {};
}

} // namespace mnemora
