// The unpacked extension in real headless Chromium, its action triggered on a
// tab as a click on its toolbar icon would be (which is what grants activeTab),
// against a local login site reached under real site names.
import assert from 'node:assert/strict';
import { after, before, test } from 'node:test';
import { inFrame } from '../../extension/frame.js';
import { launchChromium } from '../web/support.mjs';
import { extensionDir, startSite } from './support.mjs';

const Code = 'a20caCf8Eb1b8B6d'; // test / taobao

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
async function openPopup(url, prepare = async () => {}) {
    const page = await browser.newPage();
    await page.goto(url);
    await prepare(page);
    await page.triggerExtensionAction(extension);
    const target = await browser.waitForTarget((t) => t.url() === `chrome-extension://${extension.id}/popup.html`);
    const popup = await target.asPage();
    await popup.waitForFunction(() => document.documentElement.dataset.ready === 'true');
    return { page, popup };
}

async function closeAll({ page, popup }) {
    await popup.close();
    await page.close();
}

// Types the password (and a key of one's own, replacing the selected
// suggestion) and presses fill `presses` times; returns the popup's message.
async function fill(popup, { key, presses = 1 } = {}) {
    if (key !== undefined) {
        await popup.focus('#txtKey');
        await popup.keyboard.type(key);
    }
    await popup.type('#txtPassword', 'test');
    for (let i = 0; i < presses; ++i) {
        await popup.evaluate(() => {
            document.getElementById('message').textContent = '';
        });
        await popup.click('#btnFill');
        await popup.waitForFunction(() => document.getElementById('message').textContent !== '');
    }
    return popup.$eval('#message', (m) => ({ text: m.textContent, kind: m.className }));
}

const value = (page, selector) => page.$eval(selector, (e) => e.value);

test('the key box opens with the site name of the tab, selected', async () => {
    const cases = [
        [site.https('www.taobao.com', 'login.html'), 'taobao'],
        [site.https('passport.bbc.co.uk', 'login.html'), 'bbc'],
        [site.http('127.0.0.1', 'login.html'), ''],
    ];
    for (const [url, expected] of cases) {
        const opened = await openPopup(url);
        const key = await opened.popup.$eval('#txtKey', (k) => [k.value, k.selectionStart, k.selectionEnd]);
        assert.deepEqual(key, [expected, 0, expected.length], url);
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
    const { kind } = await fill(opened.popup);
    assert.match(kind, /refused/);
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
            (html, frameScript, code, expectedOrigin) => {
                document.body.innerHTML = html;
                const host = document.getElementById('host');
                host?.attachShadow({ mode: 'open' }).append(Object.assign(document.createElement('input'), { type: 'password' }));
                const fields = [...document.querySelectorAll('input'), ...(host?.shadowRoot.querySelectorAll('input') ?? [])];
                const heard = [];
                for (const field of fields)
                    for (const type of ['input', 'change'])
                        field.addEventListener(type, () => heard.push(type));
                const { filled } = (0, eval)(`(${frameScript})`)('first', code, expectedOrigin);
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
