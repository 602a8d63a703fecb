// The popup: the web app's boxes over the same WebAssembly core, a key taken
// from the active tab's address, and a fill button. Everything lives in this
// page's memory; closing the popup forgets it.
import { loadCore } from './core.js';
import {
    $,
    checkNormalForm,
    copyCode16,
    fingerprintAfterPause,
    lblCopy,
    regenerate as showCodes,
    selectAllOnFocus,
    txtCode16,
    txtKey,
    txtPassword,
} from './form.js';
import { inFrame } from './frame.js';
import { siteName, siteOf } from './site.js';

const api = globalThis.browser ?? globalThis.chrome;

const btnFill = $('btnFill');
const message = $('message');

const refusedForeign = '这个密码框属于页面里另一个网站的框架：为免把代码交给别的网站，没有填入。';
const refusedPage = '无法在这个页面上填入。';

let core = null;
let tab = null; // the tab whose address gave the key, as it was when the popup opened
let insecureConfirmedFor = null;

function say(text, kind = '') {
    message.textContent = text;
    message.className = `message ${kind}`;
}

function regenerate() {
    const result = showCodes(core);
    btnFill.disabled = result.status !== 'ok' || tab === null;
    if (result.status === 'too-long') {
        say('密码或区分代号太长（UTF-8 超过 32767 字节），无法生成。', 'refused');
    } else if (message.classList.contains('refused') && message.textContent.startsWith('密码或区分代号太长')) {
        say('');
    }
}

function passwordChanged() {
    fingerprintAfterPause(() => core);
    checkNormalForm(txtPassword, $('nfcPassword'));
    regenerate();
}
function keyChanged() {
    checkNormalForm(txtKey, $('nfcKey'));
    regenerate();
}

// Which frame gets the code: the one holding the focused password field; if
// the focus is in a frame this extension cannot enter, none; otherwise the
// first frame with a visible password field, the page itself first.
function chooseFrame(frames) {
    const ordered = [...frames].sort((a, b) => Number(b.top) - Number(a.top) || a.frameId - b.frameId);
    const focused = ordered.find((f) => f.focused);
    if (focused) {
        return { frame: focused, field: 'focused' };
    }
    if (ordered.some((f) => f.focusInForeignFrame)) {
        return { refused: refusedForeign };
    }
    const first = ordered.find((f) => f.visible);
    if (first) {
        return { frame: first, field: 'first' };
    }
    const note = ordered.some((f) => f.foreignFrames) ? '（其他网址的框架里的密码框不会填入。）' : '';
    return { refused: `这个页面上没有可见的密码框。${note}` };
}

async function inject(target, args) {
    return api.scripting.executeScript({ target: { tabId: tab.id, ...target }, func: inFrame, args });
}

async function fill() {
    const code = txtCode16.value;
    if (code === '' || tab === null) {
        return;
    }
    let probes;
    try {
        probes = await inject({ allFrames: true }, ['probe', '', '']);
    } catch {
        say(refusedPage, 'refused');
        return;
    }
    const frames = probes.filter((p) => p.result).map((p) => ({ frameId: p.frameId, ...p.result }));
    const top = frames.find((f) => f.top);
    if (!top || top.origin !== tab.origin) {
        say('页面已转到别的网址：请重新打开 Mnemora，核对区分代号后再填入。', 'refused');
        return;
    }
    const choice = chooseFrame(frames);
    if (!choice.frame) {
        say(choice.refused, 'refused');
        return;
    }
    const target = choice.frame;
    // The key came from the tab's address: the field must belong to that site.
    if (siteOf(target.origin) !== tab.site) {
        say(refusedForeign, 'refused');
        return;
    }
    if (target.protocol !== 'https:' && insecureConfirmedFor !== target.origin) {
        insecureConfirmedFor = target.origin;
        say('这个页面没有使用 HTTPS，填入的代码可能在网络上被截获。确要填入，请再按一次“填入”。', 'refused');
        return;
    }
    let results;
    try {
        results = await inject({ frameIds: [target.frameId] }, [choice.field, code, target.origin]);
    } catch {
        say(refusedPage, 'refused');
        return;
    }
    if (results[0]?.result?.filled) {
        say(`已填入 ${new URL(target.origin).host} 的密码框，请核对后自行提交。`, 'ok');
    } else {
        say('页面已变化，没有填入：请再按一次“填入”。', 'refused');
    }
}

async function readActiveTab() {
    const [active] = await api.tabs.query({ active: true, currentWindow: true });
    const site = active?.url ? siteOf(active.url) : null;
    if (site === null) {
        return null;
    }
    return { id: active.id, url: active.url, origin: new URL(active.url).origin, site };
}

function presentTab() {
    if (tab === null) {
        $('keySource').textContent = '这不是网站的页面，不能填入。';
        return;
    }
    const url = new URL(tab.url);
    txtKey.value = siteName(tab.url);
    // Selected, so that typing one's own key replaces the suggestion.
    txtKey.setSelectionRange(0, txtKey.value.length);
    $('keySource').textContent =
        txtKey.value === '' ? `网址 ${url.hostname} 没有网站名，请自己输入区分代号。` : `取自网址 ${url.hostname}`;
    if (url.protocol !== 'https:') {
        const warning = $('warning');
        warning.textContent = '注意：这个页面没有使用 HTTPS。';
        warning.hidden = false;
    }
}

txtPassword.addEventListener('input', passwordChanged);
txtKey.addEventListener('input', keyChanged);
selectAllOnFocus();
lblCopy.addEventListener('click', () => copyCode16((refused) => say(refused, 'refused')));
btnFill.addEventListener('click', fill);
// Enter in either input box fills, as a login form's own Enter would submit.
for (const box of [txtPassword, txtKey]) {
    box.addEventListener('keydown', (event) => {
        if (event.key === 'Enter' && !event.isComposing && !btnFill.disabled) {
            fill();
        }
    });
}

// Typing starts in the password box. Firefox may give the popup the focus
// only after this module has run, and then focuses the page itself: the box
// takes the focus back whenever the popup gets it with nothing focused.
txtPassword.focus();
addEventListener('focus', () => {
    if (document.activeElement === document.body) {
        txtPassword.focus();
    }
});
try {
    [core, tab] = await Promise.all([loadCore(new URL('mnemora.wasm', import.meta.url).href), readActiveTab()]);
    presentTab();
    regenerate();
    if (txtPassword.value !== '') {
        passwordChanged();
    }
} catch (error) {
    // A core that fails its known answer must show no code at all.
    core = null;
    tab = null;
    regenerate();
    say(`Mnemora 无法启动：${error.message}`, 'refused');
}
document.documentElement.dataset.ready = 'true';
