// The site a page belongs to, from its address, by the Public Suffix List.
//
// The list comes from the tldts package pinned by the lock file and is copied
// beside this module when the extension is built, so nothing is fetched at run
// time and a new list arrives only with a new release. The key it suggests is
// always shown in the key box before anything is filled, so a change of the
// list can never change a code unseen.
import { parse } from './tldts.js';

// Private suffixes (github.io, blogspot.com, …) count: alice.github.io and
// bob.github.io are different people's sites and must get different keys.
const options = { allowPrivateDomains: true };

function webHost(url) {
    let parsed;
    try {
        parsed = new URL(url);
    } catch {
        return null;
    }
    if (parsed.protocol !== 'https:' && parsed.protocol !== 'http:') {
        return null;
    }
    return parsed.hostname;
}

// The suggested key: the registrable domain without its public suffix
// (www.taobao.com -> "taobao", passport.bbc.co.uk -> "bbc"), or '' where an
// address names no registrable domain (an IP address, localhost, a bare
// suffix, a browser page).
export function siteName(url) {
    const host = webHost(url);
    if (host === null) {
        return '';
    }
    const info = parse(host, options);
    if (info.isIp || !info.domainWithoutSuffix) {
        return '';
    }
    return info.domainWithoutSuffix;
}

// The site an origin belongs to, scheme included (http://taobao.com and
// https://taobao.com are different sites): a field is filled only where this
// equals the site of the tab whose address gave the key. Addresses without a
// registrable domain stand for themselves; an opaque origin matches nothing.
export function siteOf(url) {
    const host = webHost(url);
    if (host === null) {
        return null;
    }
    const scheme = new URL(url).protocol;
    const info = parse(host, options);
    const site = info.isIp || !info.domain ? host : info.domain;
    return `${scheme}//${site}`;
}
