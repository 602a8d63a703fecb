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

// One Punycode label (RFC 3492, section 6.2) back to its Unicode text; null
// where the label is not valid Punycode.
function decodeLabel(label) {
    const base = 36;
    const tMin = 1;
    const tMax = 26;
    const basic = label.lastIndexOf('-');
    const output = [...label.slice(0, Math.max(basic, 0))].map((c) => c.codePointAt(0));
    if (output.some((c) => c >= 0x80)) {
        return null;
    }
    let n = 128;
    let bias = 72;
    let i = 0;
    for (let at = basic + 1; at < label.length; ) {
        const before = i;
        for (let w = 1, k = base; ; k += base) {
            if (at >= label.length) {
                return null;
            }
            const c = label.charCodeAt(at++);
            const digit = c - 48 < 10 ? c - 22 : c - 97 < 26 ? c - 97 : base;
            if (digit >= base) {
                return null;
            }
            i += digit * w;
            const threshold = k <= bias ? tMin : k >= bias + tMax ? tMax : k - bias;
            if (digit < threshold) {
                break;
            }
            w *= base - threshold;
            if (i > 0x7fffffff) {
                return null;
            }
        }
        const length = output.length + 1;
        // Bias adaptation (section 6.1).
        let delta = before === 0 ? Math.floor((i - before) / 700) : (i - before) >> 1;
        delta += Math.floor(delta / length);
        let k = 0;
        for (; delta > ((base - tMin) * tMax) >> 1; k += base) {
            delta = Math.floor(delta / (base - tMin));
        }
        bias = k + Math.floor(((base - tMin + 1) * delta) / (delta + 38));
        n += Math.floor(i / length);
        i %= length;
        if (n > 0x10ffff) {
            return null;
        }
        output.splice(i++, 0, n);
    }
    return String.fromCodePoint(...output);
}

// A host name as the address bar shows it: each xn-- label in Unicode. A
// label that does not decode stays as it is.
export function unicodeHost(host) {
    return host
        .split('.')
        .map((label) => (/^xn--/i.test(label) ? decodeLabel(label.slice(4).toLowerCase()) || label : label))
        .join('.');
}

// The suggested key: the registrable domain without its public suffix
// (www.taobao.com -> "taobao", passport.bbc.co.uk -> "bbc", www.bücher.de ->
// "bücher"), or '' where an address names no registrable domain (an IP
// address, localhost, a bare suffix, a browser page).
export function siteName(url) {
    const host = webHost(url);
    if (host === null) {
        return '';
    }
    const info = parse(host, options);
    if (info.isIp || !info.domainWithoutSuffix) {
        return '';
    }
    return unicodeHost(info.domainWithoutSuffix);
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
