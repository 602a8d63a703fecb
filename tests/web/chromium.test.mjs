// The page in Debian's headless Chromium.
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { join } from 'node:path';
import { test } from 'node:test';
import { pathToFileURL } from 'node:url';

import { removeFloors, writeWindowFloor } from '../../bench/blank-page.mjs';
import { pageSuite } from './page-suite.mjs';
import { siteSuite } from './site-suite.mjs';
import { launchChromium, serveSite, siteDir } from './support.mjs';

const launch = (languages = 'zh-CN') => launchChromium({ args: [`--accept-lang=${languages}`] });
const { browser, offline } = pageSuite({
    launch,
    grantClipboard: async (browser, origin) => {
        await browser
            .defaultBrowserContext()
            .overridePermissions(origin, ['clipboard-read', 'clipboard-write', 'clipboard-sanitized-write']);
        return true;
    },
    installabilityErrors: async (page) => {
        const session = await page.createCDPSession();
        const { installabilityErrors } = await session.send('Page.getInstallabilityErrors');
        await session.detach();
        return installabilityErrors.map((e) => e.errorId);
    },
});

// Served from a host only: the offline edition has none.
if (!offline)
    siteSuite({ launch, defaultBrowser: browser });

const { Texts } = await import(pathToFileURL(join(siteDir(), 'texts.js')).href);

// The benchmarks' floor of the window (bench/blank-page.mjs) must be the whole
// window in the reader's language and nothing of the page's code or
// pictures: a floor that kept either, or lost part of the window, would
// mislead every figure compared with it.
if (!offline) {
    test('the benchmarks\' window floor is the whole window without code or pictures', async () => {
        const english = await launch('en-US');
        const floor = await writeWindowFloor(english, serveSite, siteDir());
        try {
            const html = readFileSync(join(floor, 'index.html'), 'utf8');
            const ids = (text) => [...text.matchAll(/\sid="([^"]+)"/g)].map((m) => m[1]).sort();
            assert.deepEqual(ids(html), ids(readFileSync(join(siteDir(), 'index.html'), 'utf8')));
            assert.deepEqual([...html.matchAll(/<script\b[^>]*>/g)].map((m) => m[0]),
                ['<script type="module" src="ready.js">']);
            assert.doesNotMatch(html, /<link\b|url\(|\ssrc(set)?="[^"]*\.(gif|png|jpg|webp)\b/);
            assert.match(html, /<html\b[^>]*\slang="en"/);
            assert.ok(html.includes(Texts.en.slogan));
        } finally {
            await english.close();
            removeFloors(floor);
        }
    });
}
