// The Firefox package in real headless Firefox over WebDriver BiDi. Puppeteer
// installs the add-on, but BiDi has no command that presses an add-on's
// toolbar button (Chromium's Extensions.triggerAction has no counterpart),
// so the suite asks Firefox itself, in the browser window's privileged scope
// (opened to the harness by --remote-allow-system-access): its own
// action handler opens the popup over the tab and grants activeTab as a
// click would, its text-input processor types real key events into the
// popup, and a frame script reads the popup's boxes back.
import assert from 'node:assert/strict';
import { after, before, test } from 'node:test';
import { launchFirefox } from '../web/support.mjs';
import { axeFaults, axeSource, Code, clippedCodes, displays, expectedTexts, extensionDir, fillCases, messagePattern, popupTexts, startSite, storeHost } from './support.mjs';

const AddonId = 'mnemora@mnemora.example.org';

let browser;
let site;
let windowContext;

before(async () => {
    site = await startSite();
    browser = await launchFirefox({
        acceptInsecureCerts: true,
        args: ['--remote-allow-system-access'],
        // Every host name reaches the local site, as Chromium's resolver rule does.
        extraPrefsFirefox: { 'network.dns.forceResolve': '127.0.0.1' },
    });
    assert.equal(await browser.installExtension(extensionDir('firefox')), AddonId);
    const { result } = await browser.connection.send('browsingContext.getTree', { 'moz:scope': 'chrome' });
    windowContext = result.contexts[0].context;
});

after(async () => {
    await browser?.close();
    await site?.close();
});

// Evaluates `expression` in the browser window's privileged scope.
async function inWindow(expression) {
    const { result } = await browser.connection.send('script.evaluate', {
        expression,
        target: { context: windowContext },
        awaitPromise: true,
    });
    if (result.type !== 'success')
        throw new Error(result.exceptionDetails.text);
    return result.result.value;
}

const popupBrowser = "document.querySelector('.webextension-popup-browser')";

// Evaluates `expression` in the popup page and returns its JSON value.
let replies = 0;
async function inPopup(expression) {
    const reply = `mnemora:reply${++replies}`;
    const script = `const document = content.document; const window = content.wrappedJSObject;
        let value; try { value = (() => ${expression})(); } catch (e) { value = String(e); }
        sendAsyncMessage(${JSON.stringify(reply)}, JSON.stringify(value));`;
    return JSON.parse(await inWindow(`new Promise((resolve) => {
        const mm = ${popupBrowser}.messageManager;
        mm.addMessageListener(${JSON.stringify(reply)}, function got(m) {
            mm.removeMessageListener(${JSON.stringify(reply)}, got);
            resolve(m.data);
        });
        mm.loadFrameScript('data:,' + encodeURIComponent(${JSON.stringify(script)}), false);
        setTimeout(() => resolve('"no reply from the popup"'), 5000);
    })`));
}

// On a timeout the popup's state is reported with the condition.
async function until(condition) {
    for (const end = Date.now() + 15000; Date.now() < end; ) {
        if (await condition())
            return;
        await new Promise((done) => setTimeout(done, 50));
    }
    const state = await inPopup(`[document.activeElement?.id, document.getElementById('txtPassword').value.length,
        document.getElementById('btnFill').disabled, document.getElementById('message').textContent]`).catch(String);
    throw new Error(`timed out: ${condition}; popup [focus, password length, fill disabled, message]: ${JSON.stringify(state)}`);
}

// Opens a tab on `url`, lets `prepare` focus a field, presses the toolbar
// button and waits until the popup has its core and its tab.
async function openPopup(url, prepare = async () => {}) {
    const page = await browser.newPage();
    await page.goto(url);
    await prepare(page);
    await inWindow(`(async () => {
        const { ExtensionParent } = ChromeUtils.importESModule('resource://gre/modules/ExtensionParent.sys.mjs');
        const extension = ExtensionParent.GlobalManager.getExtension(${JSON.stringify(AddonId)});
        await ExtensionParent.apiManager.global.browserActionFor(extension).triggerAction(window);
        return '';
    })()`);
    await until(async () => (await inWindow(`String(${popupBrowser} !== null)`)) === 'true');
    await until(async () => (await inPopup("document.documentElement.dataset.ready ?? ''")) === 'true');
    return page;
}

// Key events into the popup's focused box, as a keyboard would send them.
async function typeInPopup(keys) {
    // Focus crosses into the popup's own process, and only then returns to
    // the box that had it: keys sent before it lands go to the tab, and a Tab
    // sent before the box has it again starts from the top of the page (both
    // seen on a loaded machine).
    await inWindow(`${popupBrowser}.focus() ?? ''`);
    await until(async () => (await inPopup("String(document.hasFocus() && document.activeElement?.localName === 'input')")) === 'true');
    await inWindow(`(() => {
        const tip = Cc['@mozilla.org/text-input-processor;1'].createInstance(Ci.nsITextInputProcessor);
        tip.beginInputTransactionForTests(window);
        for (const key of ${JSON.stringify(keys)}) {
            const event = new KeyboardEvent('', key === 'Enter' ? { key, code: 'Enter', keyCode: 13 } : { key });
            tip.keydown(event);
            tip.keyup(event);
        }
        return '';
    })()`);
}

async function closeAll(page) {
    await inWindow(`${popupBrowser}?.closest('panel')?.hidePopup() ?? ''`);
    await page.close();
}

test('the popup over a login tab suggests the key, fills on Enter and stores nothing', async () => {
    const page = await openPopup(site.https('passport.bbc.co.uk', 'login.html'));
    const key = await inPopup("[document.getElementById('txtKey').value, document.getElementById('txtKey').selectionEnd]");
    assert.deepEqual(key, ['bbc', 3]);
    // Typing into the selected key replaces the suggestion.
    await typeInPopup(['Tab', ...'taobao', 'Enter']);
    await until(async () => (await inPopup("document.getElementById('txtKey').value")) === 'taobao');
    await inPopup("document.getElementById('txtPassword').focus() ?? 0");
    await typeInPopup([...'test', 'Enter']);
    await page.waitForFunction((code) => document.getElementById('pw').value === code, {}, Code);
    assert.ok((await page.evaluate(() => window.heard)).includes(Code));
    assert.equal(site.submissions, 0);
    const stored = await inPopup('[typeof window.browser, typeof window.browser?.storage, window.localStorage.length, window.sessionStorage.length]');
    assert.deepEqual(stored, ['object', 'undefined', 0, 0]);
    await closeAll(page);
});

test('the Enter that ends an input method\'s composition fills nothing; a paste keeps its first line', async () => {
    const page = await openPopup(site.https('www.taobao.com', 'login.html'));
    // The key is the tab's, taobao; the popup opens in the password box.
    await typeInPopup([...'test']);
    // Pinyin under way after "test": its Enter ends the composition, which
    // is then dropped; only the Enter after it fills.
    await inWindow(`(() => {
        const tip = Cc['@mozilla.org/text-input-processor;1'].createInstance(Ci.nsITextInputProcessor);
        tip.beginInputTransactionForTests(window);
        tip.setPendingCompositionString('ce');
        tip.appendClauseToPendingComposition(2, tip.ATTR_RAW_CLAUSE);
        tip.flushPendingComposition();
        const enter = new KeyboardEvent('', { key: 'Enter', code: 'Enter', keyCode: 13 });
        tip.keydown(enter);
        tip.keyup(enter);
        tip.commitCompositionWith('');
        return '';
    })()`);
    await typeInPopup(['Enter']);
    await page.waitForFunction((code) => document.getElementById('pw').value === code, {}, Code);
    assert.deepEqual([...new Set(await page.evaluate(() => window.heard))], [Code]);

    const shown = await inPopup(`(() => {
        const box = document.getElementById('txtPassword');
        box.select();
        // Firefox takes the event's data from its own two fields.
        const init = { dataType: 'text/plain', data: 'test\\nsecond', bubbles: true, cancelable: true };
        box.dispatchEvent(new content.ClipboardEvent('paste', init));
        return [box.value, document.getElementById('txtCode16').value, document.getElementById('message').textContent];
    })()`);
    assert.deepEqual(shown.slice(0, 2), ['test', Code]);
    assert.match(shown[2], messagePattern('pasteCut'));
    await closeAll(page);
});

test('a field in a frame of another site is refused', async () => {
    const page = await openPopup(site.https('www.taobao.com', 'framed.html'), async (p) => {
        const frame = await p.waitForFrame((f) => f.url().includes('evil.example'));
        await frame.waitForSelector('#pw');
        await frame.focus('#pw');
        // The frame runs in a process of its own: wait until the page sees
        // the focus there before the popup looks for it.
        await p.waitForFunction(() => document.activeElement?.id === 'foreign');
    });
    // The popup opens with the password box focused.
    await until(async () => (await inPopup('document.activeElement?.id')) === 'txtPassword');
    await typeInPopup([...'test', 'Enter']);
    await until(async () => (await inPopup("document.getElementById('message').className")).includes('refused'));
    const text = await inPopup("document.getElementById('message').textContent");
    assert.match(text, messagePattern('refusedForeign'));
    assert.ok(text.includes('evil.example'), text);
    const frame = page.frames().find((f) => f.url().includes('evil.example'));
    assert.deepEqual([await page.$eval('#pw', (e) => e.value), await frame.$eval('#pw', (e) => e.value)], ['', '']);
    await closeAll(page);
});

// Presses the popup's button `id` and returns the message it gives.
async function pressInPopup(id) {
    await inPopup(`(document.getElementById('message').textContent = '', document.getElementById('${id}').click(), 0)`);
    await until(async () => (await inPopup("document.getElementById('message').textContent")) !== '');
    return inPopup("document.getElementById('message').textContent");
}

for (const { page: name, host = 'www.taobao.com', rule = '', values, message, note, then } of fillCases) {
    test(`fill by hand: ${name}`, async () => {
        const page = await openPopup(site.https(host, name), (p) => p.evaluate(() => window.ready));
        await inPopup(`(() => {
            for (const [id, value] of [['txtRule', ${JSON.stringify(rule)}], ['txtPassword', 'test']]) {
                const box = document.getElementById(id);
                box.value = value;
                box.dispatchEvent(new content.Event('input'));
            }
            return 0;
        })()`);
        assert.match(await pressInPopup('btnFill'), messagePattern(message));
        assert.deepEqual(await page.evaluate(() => window.values()), values);
        const fitNote = await inPopup("(n => (n.hidden ? '' : n.textContent))(document.getElementById('fitNote'))");
        if (note) assert.match(fitNote, messagePattern(note));
        else assert.equal(fitNote, '');
        if (then) {
            assert.match(await pressInPopup(then.button ?? 'btnFillShort'), messagePattern(then.message));
            assert.deepEqual(await page.evaluate(() => window.values()), then.values);
        }
        await closeAll(page);
    });
}

test('the popup\'s shortcut is registered; every character of both codes shows at 125 and 150 % and with the largest default font', async () => {
    const page = await openPopup(site.https('www.taobao.com', 'login.html'));
    // The shortcut, as the browser registered it.
    const commands = JSON.parse(await inWindow(`(async () => {
        const { ExtensionParent } = ChromeUtils.importESModule('resource://gre/modules/ExtensionParent.sys.mjs');
        const extension = ExtensionParent.GlobalManager.getExtension(${JSON.stringify(AddonId)});
        return JSON.stringify((await extension.shortcuts.allCommands()).map((c) => [c.name, c.shortcut]));
    })()`));
    assert.deepEqual(commands, [['_execute_action', 'Alt+Shift+M']]);
    await typeInPopup([...'test']);
    for (const { zoom, font } of displays) {
        await inWindow(`(Services.prefs.setCharPref('layout.css.devPixelsPerPx', '${zoom}'),
            Services.prefs.setIntPref('font.size.variable.x-western', ${font}), '')`);
        await until(async () => (await inPopup('[content.devicePixelRatio, content.getComputedStyle(document.documentElement).fontSize]')).join() === `${zoom},${font}px`);
        assert.deepEqual(await inPopup(`(${clippedCodes})()`), [], `zoom ${zoom}, font ${font}`);
    }
    await inWindow(`(Services.prefs.clearUserPref('layout.css.devPixelsPerPx'), Services.prefs.clearUserPref('font.size.variable.x-western'), '')`);
    await closeAll(page);
});

test('the browser\'s own store is refused as a page of the browser', async () => {
    const page = await openPopup(site.https(storeHost.firefox, 'login.html'));
    await inPopup(`(() => {
        const box = document.getElementById('txtPassword');
        box.value = 'test';
        box.dispatchEvent(new content.Event('input'));
        return 0;
    })()`);
    assert.match(await pressInPopup('btnFill'), messagePattern('refusedBrowserPage'));
    assert.equal(await page.$eval('#pw', (e) => e.value), '');
    await closeAll(page);
});

// axe-core over the popup, loaded into a sandbox over the popup's window by a
// frame script (the popup's policy allows no other script); its serious and
// critical faults.
async function axeInPopup() {
    const script = `const sandbox = Components.utils.Sandbox(content, { sandboxPrototype: content, wantXrays: false });
        Components.utils.evalInSandbox(${JSON.stringify(axeSource)}, sandbox);
        Components.utils.evalInSandbox('(' + ${JSON.stringify(String(axeFaults))} + ')()', sandbox).then(
            (faults) => sendAsyncMessage('mnemora:axe', JSON.stringify(faults)),
            (error) => sendAsyncMessage('mnemora:axe', JSON.stringify(String(error))));`;
    return JSON.parse(await inWindow(`new Promise((resolve) => {
        const mm = ${popupBrowser}.messageManager;
        mm.addMessageListener('mnemora:axe', function got(m) {
            mm.removeMessageListener('mnemora:axe', got);
            resolve(m.data);
        });
        mm.loadFrameScript('data:,' + encodeURIComponent(${JSON.stringify(script)}), false);
    })`));
}

test('the popup speaks the browser\'s language, English and then Chinese; axe-core finds no serious fault', async () => {
    for (const locale of ['en', 'zh_CN']) {
        if (locale === 'zh_CN') {
            // The browser switched to Chinese; the add-on reads its
            // language when it starts.
            await inWindow(`(async () => {
                Services.locale.availableLocales = ['en-US', 'zh-CN'];
                Services.locale.requestedLocales = ['zh-CN'];
                const { AddonManager } = ChromeUtils.importESModule('resource://gre/modules/AddonManager.sys.mjs');
                await (await AddonManager.getAddonByID(${JSON.stringify(AddonId)})).reload();
                return '';
            })()`);
        }
        const page = await openPopup(site.https('www.taobao.com', 'login.html'));
        assert.deepEqual(await inPopup(`(${popupTexts})()`), expectedTexts(locale));
        assert.deepEqual(await axeInPopup(), [], locale);
        await closeAll(page);
    }
});
