// The unpacked extension in real headless Chromium, its action triggered on a
// tab as a click on its toolbar icon would be (which is what grants activeTab),
// against a local login site reached under real site names.
import assert from 'node:assert/strict';
import { after, before, test } from 'node:test';
import { inFrame } from '../../extension/frame.js';
import { launchChromium } from '../web/support.mjs';
import { cpSync, mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { axeFaults, axeSource, Code, clippedCodes, displays, expectedTexts, extensionDir, fillCases, messagePattern, popupTexts, startSite, storeHost } from './support.mjs';

let browser;
let extension;
let site;

before(async () => {
    site = await startSite();
    // Chromium no longer honours --load-extension; the unpacked extension
    // is loaded over the DevTools pipe instead (Extensions.loadUnpacked).
    browser = await launchChromium({
        pipe: true,
        enableExtensions: true,
        args: ['--host-resolver-rules=MAP * 127.0.0.1', '--ignore-certificate-errors'],
    });
    const id = await browser.installExtension(extensionDir('chromium'));
    extension = (await browser.extensions()).get(id);
});

after(async () => {
    await browser?.close();
    await site?.close();
});

// Opens a tab on `url`, lets `prepare` act on it (focus a field), then
// presses the toolbar icon: the popup opens over that tab.
async function openPopup(url, prepare = async () => {}, of = extension) {
    const page = await browser.newPage();
    await page.goto(url);
    await prepare(page);
    await page.triggerExtensionAction(of);
    const target = await browser.waitForTarget((t) => t.url() === `chrome-extension://${of.id}/popup.html`);
    const popup = await target.asPage();
    await popup.waitForFunction(() => document.documentElement.dataset.ready === 'true');
    return { page, popup };
}

async function closeAll({ page, popup }) {
    await popup.close();
    await page.close();
}

// Presses `button` and returns the popup's new message.
async function press(popup, button) {
    await popup.evaluate(() => {
        document.getElementById('message').textContent = '';
    });
    await popup.click(button);
    await popup.waitForFunction(() => document.getElementById('message').textContent !== '');
    return popup.$eval('#message', (m) => ({ text: m.textContent, kind: m.className }));
}

// Types the password (and a key of one's own, replacing the selected
// suggestion) and presses fill `presses` times; returns the popup's message.
async function fill(popup, { key, presses = 1 } = {}) {
    if (key !== undefined) {
        await popup.focus('#txtKey');
        await popup.keyboard.type(key);
    }
    await popup.type('#txtPassword', 'test');
    let said;
    for (let i = 0; i < presses; ++i) said = await press(popup, '#btnFill');
    return said;
}

const value = (page, selector) => page.$eval(selector, (e) => e.value);

test('the key box opens with the site name of the tab, selected', async () => {
    const cases = [
        [site.https('www.taobao.com', 'login.html'), 'taobao'],
        [site.https('passport.bbc.co.uk', 'login.html'), 'bbc'],
        [site.http('127.0.0.1', 'login.html'), ''],
        // The name and the host as the address bar shows them.
        [site.https('www.xn--bcher-kva.de', 'login.html'), 'bücher', 'www.bücher.de'],
        // Sites sharing one login share its key.
        [site.https('www.albertsons.com', 'login.html'), 'acmemarkets'],
    ];
    for (const [url, expected, host = new URL(url).hostname] of cases) {
        const opened = await openPopup(url);
        const key = await opened.popup.$eval('#txtKey', (k) => [k.value, k.selectionStart, k.selectionEnd]);
        assert.deepEqual(key, [expected, 0, expected.length], url);
        assert.ok((await opened.popup.$eval('#keySource', (k) => k.textContent)).includes(host), url);
        await closeAll(opened);
    }
});

test('fill puts the code into the password field, the page hears it, nothing is submitted', async () => {
    const opened = await openPopup(site.https('www.taobao.com', 'login.html'));
    const { kind } = await fill(opened.popup);
    assert.match(kind, /ok/);
    assert.equal(await value(opened.page, '#pw'), Code);
    assert.ok((await opened.page.evaluate(() => window.heard)).includes(Code));
    assert.equal(await value(opened.page, '[name=user]'), 'alice');
    assert.equal(site.submissions, 0);
    assert.equal(new URL(opened.page.url()).pathname, '/login.html');
    // Least privilege, nothing kept: no storage API at all, and nothing in
    // the origin's web storage either.
    const stored = await opened.popup.evaluate(async () => ({
        storageApi: typeof chrome.storage,
        local: localStorage.length,
        session: sessionStorage.length,
        databases: (await indexedDB.databases()).length,
        cookies: document.cookie,
    }));
    assert.deepEqual(stored, { storageApi: 'undefined', local: 0, session: 0, databases: 0, cookies: '' });
    await closeAll(opened);
});

test('the Enter that ends an input method\'s composition fills nothing; a paste keeps its first line', async () => {
    const opened = await openPopup(site.https('www.taobao.com', 'login.html'));
    const { popup } = opened;
    // The key is the tab's, taobao.
    await popup.focus('#txtPassword');
    await popup.keyboard.type('tes');
    // What Chromium sends for the Enter an input method takes: key code 229.
    const cdp = await popup.createCDPSession();
    for (const type of ['rawKeyDown', 'keyUp'])
        await cdp.send('Input.dispatchKeyEvent', { type, key: 'Enter', code: 'Enter', windowsVirtualKeyCode: 229 });
    await popup.keyboard.type('t');
    await popup.keyboard.press('Enter');
    await opened.page.waitForFunction((code) => document.getElementById('pw').value === code, {}, Code);
    assert.deepEqual([...new Set(await opened.page.evaluate(() => window.heard))], [Code]);

    await popup.$eval('#txtPassword', (box) => {
        box.select();
        const clipboardData = new DataTransfer();
        clipboardData.setData('text/plain', 'test\r\nsecond');
        box.dispatchEvent(new ClipboardEvent('paste', { clipboardData, bubbles: true, cancelable: true }));
    });
    const shown = await popup.evaluate(() => ['txtPassword', 'txtCode16', 'message'].map((id) => {
        const e = document.getElementById(id);
        return e.value ?? e.textContent;
    }));
    assert.deepEqual(shown.slice(0, 2), ['test', Code]);
    assert.match(shown[2], messagePattern('pasteCut'));
    await closeAll(opened);
});

test('of two password fields the focused one is filled', async () => {
    const opened = await openPopup(site.https('www.taobao.com', 'two.html'), (p) => p.focus('#new'));
    await fill(opened.popup);
    assert.deepEqual([await value(opened.page, '#old'), await value(opened.page, '#new')], ['', Code]);
    await closeAll(opened);
});

test('a controlled input keeps the filled value', async () => {
    const opened = await openPopup(site.https('www.taobao.com', 'controlled.html'));
    await fill(opened.popup);
    assert.deepEqual(await opened.page.evaluate(() => [window.state, document.getElementById('pw').value]), [Code, Code]);
    await closeAll(opened);
});

test('the focused field inside an open shadow root is filled', async () => {
    const opened = await openPopup(site.https('www.taobao.com', 'shadow.html'), (p) =>
        p.evaluate(() => document.querySelector('login-box').shadowRoot.getElementById('inner').focus()));
    await fill(opened.popup);
    const values = await opened.page.evaluate(() => [
        document.getElementById('decoy').value,
        document.querySelector('login-box').shadowRoot.getElementById('inner').value,
        window.heard.at(-1),
    ]);
    assert.deepEqual(values, ['', Code, Code]);
    await closeAll(opened);
});

test('a field in a frame of another site is refused', async () => {
    const opened = await openPopup(site.https('www.taobao.com', 'framed.html'), async (p) => {
        const frame = await p.waitForFrame((f) => f.url().includes('evil.example'));
        await frame.waitForSelector('#pw');
        await frame.focus('#pw');
        // The frame runs in a process of its own: wait until the page sees
        // the focus there before the popup looks for it.
        await p.waitForFunction(() => document.activeElement?.id === 'foreign');
    });
    const { text } = await fill(opened.popup);
    assert.match(text, messagePattern('refusedForeign'));
    assert.ok(text.includes('evil.example'), text);
    const frame = opened.page.frames().find((f) => f.url().includes('evil.example'));
    assert.deepEqual([await value(opened.page, '#pw'), await value(frame, '#pw')], ['', '']);
    await closeAll(opened);
});

test('a page without HTTPS is filled only when fill is pressed again after the warning', async () => {
    const opened = await openPopup(site.http('127.0.0.1', 'login.html'));
    assert.equal(await opened.popup.$eval('#warning', (w) => w.hidden), false);
    const warned = await fill(opened.popup, { key: 'taobao' });
    assert.match(warned.kind, /refused/);
    assert.equal(await value(opened.page, '#pw'), '');
    await opened.popup.click('#btnFill');
    await opened.page.waitForFunction((code) => document.getElementById('pw').value === code, {}, Code);
    await closeAll(opened);
});

test('the frame script passes over disabled and read-only fields, looks inside open shadow roots, fires input and change, and fills nothing once the frame has left the origin', async () => {
    const url = site.https('www.taobao.com', 'field.html');
    const page = await browser.newPage();
    await page.goto(url);
    const origin = new URL(url).origin;
    // The page's fields in document order, a field in #host's open shadow root last.
    const fillFirst = (html, expectedOrigin) =>
        page.evaluate(
            async (html, frameScript, code, expectedOrigin) => {
                document.body.innerHTML = html;
                const host = document.getElementById('host');
                host?.attachShadow({ mode: 'open' }).append(Object.assign(document.createElement('input'), { type: 'password' }));
                const fields = [...document.querySelectorAll('input'), ...(host?.shadowRoot.querySelectorAll('input') ?? [])];
                const heard = [];
                for (const field of fields)
                    for (const type of ['input', 'change'])
                        field.addEventListener(type, () => heard.push(type));
                const { filled } = await (0, eval)(`(${frameScript})`)('first', code, expectedOrigin);
                return { filled, values: fields.map((f) => f.value), heard };
            },
            html,
            inFrame.toString(),
            Code,
            expectedOrigin,
        );
    const cases = [
        ['<input type=password disabled><input type=password readonly><input type=password>', origin,
            { filled: true, values: ['', '', Code], heard: ['input', 'change'] }],
        ['<input type=password hidden><div id=host></div>', origin,
            { filled: true, values: ['', Code], heard: ['input', 'change'] }],
        ['<input type=password>', 'https://evil.example', { filled: false, values: [''], heard: [] }],
    ];
    for (const [html, expectedOrigin, expected] of cases)
        assert.deepEqual(await fillFirst(html, expectedOrigin), expected, `${html} for ${expectedOrigin}`);
    await page.close();
});

for (const { page, host = 'www.taobao.com', rule, values, message, note, then } of fillCases) {
    test(`fill by hand: ${page}`, async () => {
        const opened = await openPopup(site.https(host, page), (p) => p.evaluate(() => window.ready));
        if (rule) {
            await opened.popup.click('#rules summary');
            await opened.popup.type('#txtRule', rule);
        }
        assert.match((await fill(opened.popup)).text, messagePattern(message));
        assert.deepEqual(await opened.page.evaluate(() => window.values()), values);
        const fitNote = await opened.popup.$eval('#fitNote', (n) => (n.hidden ? '' : n.textContent));
        if (note) assert.match(fitNote, messagePattern(note));
        else assert.equal(fitNote, '');
        if (then) {
            assert.match((await press(opened.popup, `#${then.button ?? 'btnFillShort'}`)).text, messagePattern(then.message));
            assert.deepEqual(await opened.page.evaluate(() => window.values()), then.values);
        }
        await closeAll(opened);
    });
}

test('the popup\'s shortcut is registered; every character of both codes shows at 125 and 150 % and with the largest default font', async () => {
    // The popup's page in a tab of its own, where zoom can be set: zoom is
    // what a device scale factor is to a page, the same CSS layout with
    // glyphs drawn at another size.
    const popup = await browser.newPage();
    await popup.goto(`chrome-extension://${extension.id}/popup.html`);
    await popup.waitForFunction(() => document.documentElement.dataset.ready === 'true');
    // The shortcut that opens the popup, as the browser registered it.
    const commands = await popup.evaluate(() => chrome.commands.getAll());
    assert.deepEqual(commands.map((c) => [c.name, c.shortcut]), [['_execute_action', 'Alt+Shift+M']]);
    await popup.type('#txtPassword', 'test');
    await popup.type('#txtKey', 'taobao');
    const session = await popup.createCDPSession();
    for (const { zoom, font } of displays) {
        await popup.setViewport({ width: 600, height: 600, deviceScaleFactor: zoom });
        await session.send('Page.setFontSizes', { fontSizes: { standard: font, fixed: Math.round((font * 13) / 16) } });
        await popup.waitForFunction((size) => parseFloat(getComputedStyle(document.documentElement).fontSize) === size, {}, font);
        assert.deepEqual(await popup.evaluate(clippedCodes), [], `zoom ${zoom}, font ${font}`);
    }
    await popup.close();
});

test('the popup speaks the browser\'s English, and Chinese where the browser\'s language is missing; axe-core finds no serious fault', async () => {
    // This Chromium carries only its English interface; a package without
    // English stands for a browser whose language the extension lacks, which
    // gets the default, Chinese.
    const chineseOnly = mkdtempSync(join(tmpdir(), 'mnemora-zh-'));
    cpSync(extensionDir('chromium'), chineseOnly, { recursive: true });
    rmSync(join(chineseOnly, '_locales', 'en'), { recursive: true });
    const chineseId = await browser.installExtension(chineseOnly);
    const chinese = (await browser.extensions()).get(chineseId);
    for (const [locale, of] of [['en', extension], ['zh_CN', chinese]]) {
        const opened = await openPopup(site.https('www.taobao.com', 'login.html'), async () => {}, of);
        assert.deepEqual(await opened.popup.evaluate(popupTexts), expectedTexts(locale));
        // The copy confirmation drawn in the popup's language.
        assert.deepEqual(await opened.popup.$eval('#ImgCopy', (e) => [e.getAttribute('src'), e.getAttribute('srcset')]),
            locale === 'en' ? ['copy-en.gif', 'copy-en.gif 1x, copy-en@2x.png 2x'] : ['copy.gif', 'copy.gif 1x, copy@2x.png 2x']);
        // With a code and the confirmation of a fill on show.
        assert.match((await fill(opened.popup)).text, messagePattern('filled', locale));
        await opened.popup.evaluate(axeSource);
        assert.deepEqual(await opened.popup.evaluate(axeFaults), [], locale);
        await closeAll(opened);
    }
    rmSync(chineseOnly, { recursive: true, force: true });
});

test('the browser\'s own store is refused as a page of the browser', async () => {
    const opened = await openPopup(site.https(storeHost.chromium, 'login.html'));
    assert.match((await fill(opened.popup)).text, messagePattern('refusedBrowserPage'));
    assert.equal(await value(opened.page, '#pw'), '');
    await closeAll(opened);
});
