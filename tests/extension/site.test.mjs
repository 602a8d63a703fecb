// The key suggested from a tab's address, and the same-site rule of fill,
// through the built extension's own modules and bundled Public Suffix List.
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { join } from 'node:path';
import { test } from 'node:test';
import { domainToASCII, domainToUnicode, pathToFileURL } from 'node:url';
import { extensionDir } from './support.mjs';

const built = (module) => import(pathToFileURL(join(extensionDir('chromium'), module)).href);
const { siteName, siteOf, unicodeHost } = await built('site.js');
const { acceptedLength } = await built('frame.js');

test('site name: the registrable domain without its public suffix', () => {
    const cases = [
        ['https://www.taobao.com/', 'taobao'],
        ['https://passport.bbc.co.uk/signin', 'bbc'],
        ['https://login.live.com/', 'live'],
        ['https://WWW.TAOBAO.COM./', 'taobao'],
        ['https://taobao.com:8443/x?y#z', 'taobao'],
        // Private suffixes count: two people's pages are two sites.
        ['https://alice.github.io/', 'alice'],
        ['https://a.b.blogspot.com/', 'b'],
        // Suffixes match whole labels only: evilco.uk is not under co.uk,
        // and a look-alike domain gets its own name.
        ['https://evilco.uk/', 'evilco'],
        ['https://taobao-login.example/', 'taobao-login'],
        ['https://taobao.com.evil.example/', 'evil'],
        // International names as the address bar shows them.
        ['https://www.xn--bcher-kva.de/', 'bücher'],
        ['https://xn--fsqu00a.xn--fiqs8s/', '例子'],
        ['https://shop.xn--e1afmkfd.xn--p1ai/', 'пример'],
        // Wildcard and exception rules of the list.
        ['https://shop.example.ck/', 'shop'],
        ['https://www.ck/', 'www'],
        // No registrable domain: nothing to suggest.
        ['http://127.0.0.1:8080/', ''],
        ['http://[::1]/', ''],
        ['http://localhost:3000/', ''],
        ['https://github.io/', ''],
        ['https://co.uk/', ''],
        ['chrome://settings/', ''],
        ['file:///home/alice/login.html', ''],
        ['not a url', ''],
    ];
    for (const [url, expected] of cases) {
        assert.equal(siteName(url), expected, url);
    }
});

test('same site: scheme and registrable domain, or the bare host', () => {
    const cases = [
        ['https://www.taobao.com/a', 'https://login.taobao.com', true],
        ['https://www.taobao.com/', 'http://www.taobao.com', false],
        ['https://www.taobao.com/', 'https://taobao.cn', false],
        ['https://alice.github.io/', 'https://bob.github.io', false],
        ['http://127.0.0.1:8000/', 'http://127.0.0.1:9000', true],
        ['http://127.0.0.1/', 'http://127.0.0.2', false],
    ];
    for (const [page, frame, same] of cases) {
        assert.equal(siteOf(page) === siteOf(frame), same, `${page} ${frame}`);
    }
    assert.equal(siteOf('null'), null);
});

test('both packages ask for activeTab and scripting only and allow no inline or remote script', () => {
    for (const flavour of ['chromium', 'firefox']) {
        const manifest = JSON.parse(readFileSync(join(extensionDir(flavour), 'manifest.json'), 'utf8'));
        assert.equal(manifest.manifest_version, 3);
        assert.deepEqual(manifest.permissions, ['activeTab', 'scripting'], flavour);
        for (const key of ['host_permissions', 'optional_permissions', 'optional_host_permissions', 'background', 'content_scripts', 'web_accessible_resources'])
            assert.equal(manifest[key], undefined, `${flavour}: ${key}`);
        const scriptSrc = manifest.content_security_policy.extension_pages.match(/script-src ([^;]*)/)[1].trim();
        assert.equal(scriptSrc, "'self' 'wasm-unsafe-eval'", flavour);
    }
});

test('host names in Unicode, as Node decodes them', () => {
    const names = ['bücher.de', '例子.中国', 'www.淘宝.com', 'пример.рф', 'δοκιμή.gr', 'مثال.إختبار', 'xn--ls8h.la', 'a.b.c', 'ñandú.es'];
    for (const name of names) {
        const ascii = domainToASCII(name);
        assert.equal(unicodeHost(ascii), domainToUnicode(ascii), ascii);
    }
    // Not Punycode at all: left as it is.
    assert.equal(unicodeHost('xn--.example'), 'xn--.example');
});

test('a box takes the longest beginning of the code its maxlength and pattern admit', () => {
    const code = 'a20caCf8Eb1b8B6d';
    const cases = [
        [{ maxLength: -1 }, 16],
        [{ maxLength: 20 }, 16],
        [{ maxLength: 12 }, 12],
        [{ maxLength: 0 }, 0],
        [{ maxLength: -1, pattern: '[A-Za-z0-9]{6,10}' }, 10],
        [{ maxLength: 8, pattern: '.{6,}' }, 8],
        [{ maxLength: -1, pattern: '.{20,}' }, 0],
        [{ maxLength: -1, pattern: '[0-9]+' }, 0],
        // An empty pattern admits only an empty value; one the browser
        // cannot compile is ignored.
        [{ maxLength: -1, pattern: '' }, 0],
        [{ maxLength: -1, pattern: '[a-z' }, 16],
    ];
    for (const [limits, expected] of cases) {
        assert.equal(acceptedLength(limits, code), expected, JSON.stringify(limits));
    }
});

test('every text the popup and the manifest name is there in both languages', () => {
    const dir = extensionDir('chromium');
    const used = [
        ...readFileSync(join(dir, 'popup.html'), 'utf8').matchAll(/data-i18n(?:-[a-z-]+)?="([^"]+)"/g),
        ...readFileSync(join(dir, 'popup.js'), 'utf8').matchAll(/\bt\('(\w+)'/g),
        ...readFileSync(join(dir, 'manifest.json'), 'utf8').matchAll(/__MSG_(\w+)__/g),
    ].map((m) => m[1]);
    assert.ok(used.length > 20);
    const manifest = JSON.parse(readFileSync(join(dir, 'manifest.json'), 'utf8'));
    for (const locale of ['zh_CN', 'en']) {
        const messages = JSON.parse(readFileSync(join(dir, '_locales', locale, 'messages.json'), 'utf8'));
        assert.deepEqual(used.filter((key) => !(key in messages)), [], locale);
    }
    assert.equal(manifest.default_locale, 'zh_CN');
});

test('a box\'s pattern becomes a rule only where it is one class with a length, and the code fitted to it matches the pattern as the browser reads it', async () => {
    const { boxRule } = await built('boxrule.js');
    const { loadCore } = await built('core.js');
    const core = await loadCore(readFileSync(join(extensionDir('chromium'), 'mnemora.wasm')));
    const readable = ['[0-9]{6}', '^[A-Za-z0-9_-]{8,20}$', '[a-f0-9]+', '\\d{4,8}', '[-!#a-z]{10}', '[a-z\\]]{12,}', '[A-Z0-9.]{5,9}'];
    for (const pattern of readable) {
        const rule = boxRule({ maxLength: -1, minLength: -1, pattern });
        assert.ok(rule, pattern);
        const fit = core.fit('test', 'taobao', rule);
        assert.equal(fit.status, 'ok', `${pattern}: ${rule}: ${fit.error}`);
        assert.match(fit.code, new RegExp(`^(?:${pattern})$`, 'u'), `${pattern}: ${rule}`);
    }
    for (const pattern of ['(?=.*\\d).{8,}', '[^a]+', '[a-z]+[0-9]', 'abc|[0-9]{6}', '[a-zé]{8}', '[\\p{L}]{8}'])
        assert.equal(boxRule({ maxLength: -1, minLength: -1, pattern }), null, pattern);
});
