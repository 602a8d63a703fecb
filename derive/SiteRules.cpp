#include "PasswordRules.h"

namespace mnemora {

std::optional<std::string_view> BundledSiteRule(std::string_view)
{
    return std::nullopt;
}

std::vector<PreviousSiteRule> PreviousSiteRules(std::string_view)
{
    return {};
}

} // namespace mnemora
