#include "PasswordRules.h"

#include <algorithm>
#include <string>

namespace mnemora {

namespace {

using SiteRule = BundledSite;
struct PreviousRule {
    std::string_view domain;
    std::string_view until;
    std::string_view rule;
};

#include "SiteRulesTable.inc"

// A host as the list writes it: lower case, no trailing dot. Empty for what
// cannot be a host name.
std::string NormalHost(std::string_view host)
{
    if (!host.empty() && host.back() == '.')
        host.remove_suffix(1);
    if (host.empty() || host.size() > 253)
        return {};
    std::string out(host);
    for (char &c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// Calls found(suffix) for the host and each parent domain, nearest first,
// until it returns true.
template <typename Found> bool EachDomain(std::string_view host, Found found)
{
    for (;;) {
        if (found(host))
            return true;
        const std::size_t dot = host.find('.');
        if (dot == std::string_view::npos)
            return false;
        host.remove_prefix(dot + 1);
    }
}

} // namespace

std::optional<std::string_view> BundledSiteRule(std::string_view hostOrDomain)
{
    const std::string host = NormalHost(hostOrDomain);
    std::optional<std::string_view> rule;
    if (host.empty())
        return rule;
    EachDomain(host, [&](std::string_view domain) {
        const auto it = std::lower_bound(std::begin(Sites), std::end(Sites), domain,
            [](const SiteRule &site, std::string_view d) { return site.domain < d; });
        if (it == std::end(Sites) || it->domain != domain)
            return false;
        rule = it->rule;
        return true;
    });
    return rule;
}

std::span<const BundledSite> BundledSites()
{
    return Sites;
}

std::vector<PreviousSiteRule> PreviousSiteRules(std::string_view hostOrDomain)
{
    const std::string host = NormalHost(hostOrDomain);
    std::vector<PreviousSiteRule> found;
    if (host.empty())
        return found;
    EachDomain(host, [&](std::string_view domain) {
        for (const PreviousRule &previous : Previous)
            if (!previous.domain.empty() && previous.domain == domain)
                found.push_back({previous.domain, previous.until, previous.rule});
        return !found.empty();
    });
    return found;
}

} // namespace mnemora
