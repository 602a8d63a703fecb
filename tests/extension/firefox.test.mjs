// The Firefox package in real headless Firefox over WebDriver BiDi. Puppeteer
// installs the add-on there, but BiDi has no way to press its toolbar button
// (Chromium's Extensions.triggerAction has no Firefox counterpart), so no
// popup can open over a tab with activeTab granted. What runs here is the
// popup page itself, opened in a tab of its own: the Firefox manifest, the
// CSP with the WebAssembly core, the bundled suffix list and the derivation.
import assert from 'node:assert/strict';
import { after, before, test } from 'node:test';
import puppeteer from 'puppeteer-core';
import { extensionDir } from './support.mjs';

// Firefox gives each add-on a random internal host unless this pref fixes it.
const AddonId = 'mnemora@mnemora.example.org';
const Uuid = '6f1d7e3a-0b1c-4d2e-9f3a-5b6c7d8e9f01';

let browser;

before(async () => {
    browser = await puppeteer.launch({
        browser: 'firefox',
        executablePath: '/usr/bin/firefox-esr',
        headless: true,
        // Lets the harness open an extension page; the add-on is unchanged.
        args: ['--remote-allow-system-access'],
        extraPrefsFirefox: { 'extensions.webextensions.uuids': JSON.stringify({ [AddonId]: Uuid }) },
    });
    assert.equal(await browser.installExtension(extensionDir('firefox')), AddonId);
});

after(async () => {
    await browser?.close();
});

test('the popup page derives through the core and stores nothing', async () => {
    const page = await browser.newPage();
    // Firefox loads the page but never reports the navigation as finished to
    // BiDi, so the test waits for the page itself instead.
    page.goto(`moz-extension://${Uuid}/popup.html`).catch(() => {});
    await page.waitForFunction(() => document.documentElement.dataset.ready === 'true');

    // Its own tab is no web site: no key is suggested and nothing can be filled.
    assert.equal(await page.$eval('#txtKey', (k) => k.value), '');
    await page.type('#txtPassword', 'test');
    await page.type('#txtKey', 'taobao');
    const codes = await page.evaluate(() => [txtCode16.value, txtCode32.value, btnFill.disabled]);
    assert.deepEqual(codes, ['a20caCf8Eb1b8B6d', 'a20caCf8Eb1b8B6d5b8a66996910E124', true]);
    await page.waitForFunction(() => document.querySelectorAll('#fingerprint span').length === 3);

    const stored = await page.evaluate(() => ({
        storageApi: typeof browser.storage,
        local: localStorage.length,
        session: sessionStorage.length,
    }));
    assert.deepEqual(stored, { storageApi: 'undefined', local: 0, session: 0 });
});
