// The page in a real browser, one launch per suite. Text reaches the boxes as
// key events (characters off the keyboard as the text input an IME or a
// phone keyboard produces), never by setting values.

// The page globals these tests plant from page.evaluate to watch it from inside.
/* global watch, confirmed, heldTimers */
import assert from 'node:assert/strict';
import { existsSync, readdirSync, readFileSync } from 'node:fs';
import { after, before, test } from 'node:test';
import { pathToFileURL } from 'node:url';

import { loadCore } from '../../web/core.js';
import { serveSite, siteDir } from './support.mjs';

// The built page's texts: web/texts.js reads the description the build writes beside it.
const { Texts } = await import(pathToFileURL(`${siteDir()}/texts.js`).href);

const Samples = [
    ['test', 'taobao', 'a20caCf8Eb1b8B6d', 'a20caCf8Eb1b8B6d5b8a66996910E124'],
    ['taobao', 'test', 'KA55784DDe9C7632', '5A55784DDe9C7632Fcb5685EB6F6F1DE'],
    ['密码', '淘宝', 'B992378745248eCD', 'B992378745248eCD44c7062dA515FdBc'],
    ['P@ssw0rd!', 'mail.example.com', 'KE887DCb5f249AAb', '8E887DCb5f249AAbb254aa00Cc677Aaa'],
];

// The bundled list's rule for access.service.gov.uk, and a row of the
// fitted codes' known answers (password, key, rule, code) for another rule.
const Listed = 'minlength: 10; required: lower; required: upper; required: digit; required: special;';
const FittedSample = readFileSync(new URL('../data/fitted.txt', import.meta.url), 'utf8')
    .split('\n')
    .map((line) => line.split('\t'))
    .find((row) => row.length === 6 && row[5] === 'fitted' && row[2] !== Listed && !row.join('').includes('\\'))
    .filter((_, i) => i !== 3 && i !== 5);

// launch: starts the browser. grantClipboard: grants the page clipboard
// access and returns true, or returns false where the browser has no way to
// (then the copy is checked through the page's own confirmation only).
// installabilityErrors: what keeps the page from installing, where the
// browser can say.
// With MNEMORA_OFFLINE_PAGE set, the suite runs on the offline edition (one
// file, tools/build-offline.mjs) opened from disk: no server at all, and no
// request may leave the file, not even to the folder it lies in.
export function pageSuite({ launch, grantClipboard, installabilityErrors }) {
    const offlinePage = process.env.MNEMORA_OFFLINE_PAGE;
    let browser;
    let page;
    let site;
    const requests = [];

    function openFile(path) {
        if (!existsSync(path))
            throw new Error(`${path} is missing (make web-build)`);
        const url = pathToFileURL(path).href;
        return { url, origin: 'file://', ownRequest: (u) => u === url, stop: async () => {} };
    }

    async function open() {
        await page.goto(site.url);
        await page.waitForSelector('html[data-ready]');
    }

    // Gaining the focus selects the whole box, so typing replaces what it held.
    async function typeInto(id, text) {
        await page.$eval(`#${id}`, (e) => e.blur());
        await page.focus(`#${id}`);
        await page.keyboard.type(text);
    }

    const value = (id) => page.$eval(`#${id}`, (e) => e.value);
    const fingerprint = () =>
        page.$eval('#fingerprint', (e) => ({
            neutral: e.classList.contains('neutral'),
            symbols: e.children.length,
            label: e.getAttribute('aria-label'),
        }));

    before(async () => {
        if (offlinePage) {
            site = openFile(offlinePage);
        } else {
            site = await serveSite();
            site.url = `${site.origin}/`;
            site.ownRequest = (url) => url.startsWith(`${site.origin}/`);
        }
        browser = await launch();
        page = await browser.newPage();
        page.on('request', (request) => requests.push(request.url()));
        // Anything the Content-Security-Policy had to block is a fault of the page.
        // Timers of 10 s and more (the clipboard's clearing) wait in heldTimers
        // until a test runs them.
        await page.evaluateOnNewDocument(() => {
            globalThis.violations = [];
            document.addEventListener('securitypolicyviolation', (e) => globalThis.violations.push(e.violatedDirective));
            globalThis.heldTimers = [];
            const setTimeoutOf = globalThis.setTimeout;
            globalThis.setTimeout = (run, ms, ...args) =>
                ms >= 10000 ? (globalThis.heldTimers.push(() => run(...args)), 0) : setTimeoutOf(run, ms, ...args);
        });
        await page.setViewport({ width: 800, height: 600 });
        await open();
    });

    after(async () => {
        await browser?.close();
        await site?.stop();
    });

    test('typed pairs give the recorded codes', async () => {
        for (const [password, key, code16, code32] of Samples) {
            await typeInto('txtPassword', password);
            await typeInto('txtKey', key);
            assert.deepEqual([await value('txtCode16'), await value('txtCode32')], [code16, code32], `${password} / ${key}`);
        }
        // Emptying a box empties both codes.
        await typeInto('txtKey', '');
        await page.keyboard.press('Backspace');
        assert.deepEqual([await value('txtCode16'), await value('txtCode32')], ['', '']);
    });

    test('decomposed text gets the notice and is derived as typed', async () => {
        const core = await loadCore(readFileSync(`${siteDir()}/mnemora.wasm`));
        await typeInto('txtPassword', 'test');
        await typeInto('txtKey', 'cafe\u0301');
        assert.equal(await page.$eval('#nfcKey', (e) => e.hidden), false);
        assert.equal(await page.$eval('#nfcPassword', (e) => e.hidden), true);
        assert.equal(await value('txtCode16'), core.derive('test', 'cafe\u0301').code16);
        assert.notEqual(await value('txtCode16'), core.derive('test', 'caf\u00E9').code16);
        await typeInto('txtKey', 'caf\u00E9');
        assert.equal(await page.$eval('#nfcKey', (e) => e.hidden), true);
    });

    test('a paste keeps the text before its first line break, and the page says so', async () => {
        await typeInto('txtKey', 'taobao');
        for (const pasted of ['test\n', 'test\nsecond', 'test\r\nsecond', 'test\rsecond']) {
            await typeInto('txtPassword', 'x');
            await page.$eval('#txtPassword', (box) => box.select());
            const shown = await page.$eval('#txtPassword', (box, pasted) => {
                // Firefox takes the event's data from its own two fields.
                const clipboardData = new DataTransfer();
                clipboardData.setData('text/plain', pasted);
                box.dispatchEvent(new ClipboardEvent('paste', { clipboardData, dataType: 'text/plain', data: pasted, bubbles: true, cancelable: true }));
                const id = (i) => document.getElementById(i);
                return [box.value, id('txtCode16').value, id('codesNote').textContent, document.documentElement.lang];
            }, pasted);
            assert.deepEqual(shown.slice(0, 3), ['test', 'a20caCf8Eb1b8B6d', Texts[shown[3]].pasteCut], JSON.stringify(pasted));
        }
        // A paste of one line is the browser's own, and said nothing of.
        await typeInto('txtPassword', 'test');
        assert.equal(await page.$eval('#codesNote', (e) => e.textContent), '');
    });

    test('the fingerprint: neutral while typing, shown after a pause, one character changes it', async () => {
        // Watched inside the page, so a slow machine cannot blur the timing:
        // its state at every input event, and when a picture appears.
        await page.evaluate(() => {
            const box = document.getElementById('txtPassword');
            const picture = document.getElementById('fingerprint');
            globalThis.watch = { atInput: [], lastInput: 0, shownAt: 0 };
            box.addEventListener('input', () => {
                watch.atInput.push(picture.classList.contains('neutral') && picture.children.length === 0);
                watch.lastInput = performance.now();
            });
            new MutationObserver(() => {
                if (picture.children.length)
                    watch.shownAt = performance.now();
            }).observe(picture, { childList: true });
        });
        const typeAndSettle = async (keys) => {
            await page.evaluate(() => Object.assign(watch, { atInput: [], shownAt: 0 }));
            await keys();
            await page.waitForFunction(() => watch.shownAt > 0, { timeout: 5000 });
            const { atInput, lastInput, shownAt } = await page.evaluate(() => watch);
            assert.ok(atInput.length > 0 && atInput.every(Boolean), 'neutral at every keystroke');
            assert.ok(shownAt - lastInput >= 499, `shown ${shownAt - lastInput} ms after the last keystroke`);
            return fingerprint();
        };

        await typeInto('txtPassword', '');
        const first = await typeAndSettle(() => page.keyboard.type('correct horse'));
        assert.equal(first.symbols, 3);
        assert.match(first.label, /fingerprint/);
        const element = await page.$eval('#fingerprint', (e) => [e.tagName, e.getAttribute('role'), e.tabIndex]);
        assert.deepEqual(element, ['SPAN', 'img', -1], 'a picture, not a button');

        // The strength estimate follows the same pause (its scripts load then).
        await page.waitForFunction(() => document.getElementById('strength').dataset.score, { timeout: 10000 });

        const typo = await typeAndSettle(() => page.keyboard.type('y'));
        assert.notEqual(typo.label, first.label);
        assert.deepEqual(await typeAndSettle(() => page.keyboard.press('Backspace')), first);
    });

    test('the copy button: highlight on hover, exactly the 16-character code on the clipboard', async () => {
        const canRead = await grantClipboard(browser, site.origin);
        await typeInto('txtPassword', 'test');
        await typeInto('txtKey', 'taobao');
        const highlighted = () => page.$eval('#ImgCode', (e) => !e.hidden);
        await page.hover('#lblCopy');
        assert.equal(await highlighted(), true);
        // Fetched only once shown, and then drawn.
        await page.waitForFunction(() => {
            const picture = document.getElementById('ImgCode');
            return picture.complete && picture.naturalWidth > 0;
        }, { timeout: 5000 });
        await page.hover('#txtCode16');
        assert.equal(await highlighted(), false);
        await page.evaluate(() => {
            const confirmation = document.getElementById('ImgCopy');
            globalThis.confirmed = {};
            new MutationObserver(() => {
                confirmed[confirmation.hidden ? 'hidden' : 'shown'] = performance.now();
            }).observe(confirmation, { attributeFilter: ['hidden'] });
        });
        await page.click('#lblCopy');
        await page.waitForFunction(() => !document.getElementById('ImgCopy').hidden, { timeout: 3000 });
        const clipboard = () => page.evaluate(() => navigator.clipboard.readText());
        const clearingDelayPasses = () => page.evaluate(() => Promise.all(heldTimers.splice(0).map((run) => run())));
        if (canRead)
            assert.equal(await clipboard(), 'a20caCf8Eb1b8B6d');
        // The confirmation goes again after 1.2 s.
        await page.waitForFunction(() => document.getElementById('ImgCopy').hidden, { timeout: 5000 });
        const { shown, hidden } = await page.evaluate(() => confirmed);
        assert.ok(hidden - shown >= 1150, `the confirmation lasted ${hidden - shown} ms`);
        if (canRead) {
            // The clearing takes the code away, but not a text copied since.
            await page.evaluate(() => navigator.clipboard.writeText('copied since'));
            await clearingDelayPasses();
            assert.equal(await clipboard(), 'copied since');
            await page.click('#lblCopy');
            await page.waitForFunction(async () => (await navigator.clipboard.readText()) !== 'copied since');
            await clearingDelayPasses();
            assert.equal(await clipboard(), '');
        }
    });

    test('the site rules section: closed at first; the fitted code of the known answer, its rule in words and bits; a listed site brings its rule; a bad rule names its part; a preset; the copy', async () => {
        const [password, key, rule, fitted] = FittedSample;
        const section = () =>
            page.evaluate(() => ({
                open: document.getElementById('siteRules').open,
                rule: document.getElementById('txtRule').value,
                fitted: document.getElementById('txtFitted').value,
                words: document.getElementById('ruleWords').textContent,
                site: document.getElementById('siteSource').textContent,
            }));
        assert.equal((await section()).open, false);
        // The bundled list is read when the section opens, and suggests its sites.
        const suggested = () => page.$eval('#listedSites', (e) => e.options.length);
        assert.equal(await suggested(), 0);
        await page.click('#siteRules summary');
        await page.waitForFunction(() => document.getElementById('listedSites').options.length > 100);
        await typeInto('txtPassword', password);
        await typeInto('txtKey', key);
        await typeInto('txtRule', rule);
        const core = await loadCore(readFileSync(`${siteDir()}/mnemora.wasm`));
        const lang = (await page.evaluate(() => document.documentElement.lang)).startsWith('zh') ? 'zh' : 'en';
        const { words } = core.describeRule(rule, lang);
        const { bits } = core.fit(password, key, rule, lang);
        let shown = await section();
        assert.deepEqual([shown.open, shown.fitted], [true, fitted]);
        assert.ok(shown.words.includes(words) && shown.words.includes(String(Math.floor(bits))), shown.words);
        // The site's rule from the bundled list, whatever the case typed.
        await typeInto('txtSite', 'Access.Service.GOV.uk');
        shown = await section();
        assert.equal(shown.rule, Listed);
        assert.ok(shown.site.includes('access.service.gov.uk'), shown.site);
        assert.equal(shown.fitted, core.fit(password, key, Listed, lang).code);
        await typeInto('txtRule', 'minlength: 8; required: digits;');
        shown = await section();
        assert.equal(shown.fitted, '');
        assert.ok(shown.words.includes('digits'), shown.words);
        await page.select('#selPreset', 'symbol');
        assert.equal((await section()).rule, core.presetRule('symbol', 12));
        const canRead = await grantClipboard(browser, site.origin);
        await page.click('#btnCopyFitted');
        await page.waitForFunction(() => document.getElementById('fittedCopied').textContent !== '');
        if (canRead)
            assert.equal(await page.evaluate(() => navigator.clipboard.readText()), (await section()).fitted);
        await page.click('#siteRules summary');
    });

    test('at 360 × 640 nothing scrolls sideways and every box and button is at least 44 px tall', async () => {
        await page.setViewport({ width: 360, height: 640 });
        // The closed section's boxes count too.
        await page.evaluate(() => {
            document.getElementById('siteRules').open = true;
        });
        const layout = await page.evaluate(() => ({
            overflow: document.documentElement.scrollWidth - document.documentElement.clientWidth,
            short: [...document.querySelectorAll('input, button, a')]
                .filter((e) => e.getBoundingClientRect().height < 44)
                .map((e) => e.id),
        }));
        await page.evaluate(() => {
            document.getElementById('siteRules').open = false;
        });
        await page.setViewport({ width: 800, height: 600 });
        assert.deepEqual(layout, { overflow: 0, short: [] });
    });

    test('nothing is stored, no request leaves the origin, nothing breaks the policy', async () => {
        const stored = await page.evaluate(async () => ({
            violations: globalThis.violations,
            cookies: document.cookie,
            local: localStorage.length,
            session: sessionStorage.length,
            databases: indexedDB.databases ? (await indexedDB.databases()).length : 0,
            cached: (
                await Promise.all((await caches.keys()).map(async (name) => (await caches.open(name)).keys()))
            )
                .flat()
                .map((request) => new URL(request.url).pathname),
        }));
        const files = readdirSync(siteDir(), { recursive: true }).map((f) => `/${f}`);
        assert.deepEqual(
            { ...stored, cached: [] },
            { violations: [], cookies: '', local: 0, session: 0, databases: 0, cached: [] },
        );
        for (const path of stored.cached)
            assert.ok(path === '/' || files.includes(path), `cached ${path} is a file of the site`);
        // data: URLs (a font Firefox makes for itself) never leave the machine.
        assert.deepEqual(
            requests.filter((url) => !url.startsWith('data:') && !site.ownRequest(url)),
            [],
        );
    });

    // For the suites that follow in the same file: the browser, open until
    // its end, and whether the page is the offline edition.
    const suite = { browser: () => browser, offline: Boolean(offlinePage) };
    if (offlinePage)
        return suite; // a file has no service worker and nothing to install

    test('it installs, and after the first visit it works with the server gone, its site list too', async () => {
        // The page registers its worker once loaded and idle, which a page
        // left open is within moments; a page that never does fails here,
        // not by the suite's time limit.
        await page.evaluate(async () => {
            const never = new Promise((resolve, reject) =>
                setTimeout(() => reject(new Error('no service worker registered 9 s after loading')), 9000));
            await Promise.race([navigator.serviceWorker.ready, never]);
            if (!navigator.serviceWorker.controller)
                await new Promise((resolve) => navigator.serviceWorker.addEventListener('controllerchange', resolve));
        });
        if (installabilityErrors)
            assert.deepEqual(await installabilityErrors(page), []);
        // A new version's worker deletes the caches of the versions before it.
        const cachesAfterUpdate = await page.evaluate(async () => {
            await (await caches.open('mnemora-old')).put('/old', new Response('old'));
            const registration = await navigator.serviceWorker.register('sw.js?next', { scope: './next/' });
            const worker = registration.installing ?? registration.waiting ?? registration.active;
            while (worker.state !== 'activated')
                await new Promise((resolve) => worker.addEventListener('statechange', resolve, { once: true }));
            await registration.unregister();
            return caches.keys();
        });
        assert.equal(cachesAfterUpdate.length, 1, `caches: ${cachesAfterUpdate}`);
        assert.notEqual(cachesAfterUpdate[0], 'mnemora-old');
        site.closeConnections();
        await site.stop();
        await page.reload();
        await page.waitForSelector('html[data-ready]');
        await typeInto('txtPassword', 'taobao');
        await typeInto('txtKey', 'test');
        assert.equal(await value('txtCode16'), 'KA55784DDe9C7632');
        // The site list too, which the page reads only once its section opens.
        await page.click('#siteRules summary');
        await typeInto('txtSite', 'access.service.gov.uk');
        await page.waitForFunction((rule) => document.getElementById('txtRule').value === rule, {}, Listed);
    });

    return suite;
}
