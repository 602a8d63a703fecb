// The key suggested from a tab's address, and the same-site rule of fill,
// through the built extension's own modules and bundled Public Suffix List.
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { join } from 'node:path';
import { test } from 'node:test';
import { pathToFileURL } from 'node:url';
import { extensionDir } from './support.mjs';

const { siteName, siteOf } = await import(pathToFileURL(join(extensionDir('chromium'), 'site.js')).href);

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
