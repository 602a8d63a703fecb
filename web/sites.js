// Lookups in the bundled site list (site-rules.js, generated at build time
// from the vendored list): a site's published password rule, and the domain
// whose name is the key of a site that shares its login with others.
import { SharedLogins, SiteRules } from './site-rules.js';

// `host` and its parent domains, nearest first; a name typed by a person
// may carry a scheme, a path, a port, a trailing dot or capitals.
function domains(host) {
    let name = host.trim().toLowerCase();
    try {
        if (/^[a-z][a-z0-9+.-]*:\/\//.test(name)) {
            name = new URL(name).hostname;
        }
    } catch {
        return [];
    }
    name = name.replace(/[/:?#].*$/, '').replace(/\.$/, '');
    const labels = name.split('.');
    if (labels.some((label) => label === '')) {
        return [];
    }
    return labels.slice(0, -1).map((_, i) => labels.slice(i).join('.'));
}

// The listed rule for `host` or its nearest listed parent domain:
// { domain, rule }, or null where the list names neither.
export function listedRule(host) {
    const domain = domains(host).find((d) => SiteRules.has(d));
    return domain === undefined ? null : { domain, rule: SiteRules.get(domain) };
}

// The domain whose key `host` shares, with the login of its group; null
// where it shares none.
export function sharedLogin(host) {
    const domain = domains(host).find((d) => SharedLogins.has(d));
    return domain === undefined ? null : SharedLogins.get(domain);
}

// Every listed domain, for a field's suggestions.
export const listedDomains = () => [...SiteRules.keys()];
