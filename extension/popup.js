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
import { acceptedLength, inFrame } from './frame.js';
import { siteName, siteOf, unicodeHost } from './site.js';

const api = globalThis.browser ?? globalThis.chrome;

// The popup's texts, in the language the browser chose among _locales.
const t = (name, ...values) => api.i18n.getMessage(name, values.map(String));
document.documentElement.lang = t('lang');
for (const el of document.querySelectorAll('[data-i18n]')) {
    el.textContent = t(el.dataset.i18n);
}
for (const attribute of ['title', 'aria-label', 'alt']) {
    for (const el of document.querySelectorAll(`[data-i18n-${attribute}]`)) {
        el.setAttribute(attribute, t(el.getAttribute(`data-i18n-${attribute}`)));
    }
}

const btnFill = $('btnFill');
const btnFillShort = $('btnFillShort');
const message = $('message');

let core = null;
let tab = null; // the tab whose address gave the key, as it was when the popup opened
let insecureConfirmedFor = null;

function say(text, kind = '') {
    message.textContent = text;
    message.className = `message ${kind}`;
    // An offer to fill part of the code stands only beside the message that
    // explains it.
    btnFillShort.hidden = true;
}

function regenerate() {
    const result = showCodes(core);
    btnFill.disabled = result.status !== 'ok' || tab === null;
    if (result.status === 'too-long') {
        say(t('tooLong'), 'refused');
    } else if (message.classList.contains('refused') || !btnFillShort.hidden) {
        // A refusal or an offer was about codes that are gone now.
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

const hostOf = (origin) => unicodeHost(new URL(origin).host);

// Which fields get the code: the focused password field with its partner;
// if the focus is somewhere this extension cannot enter, none, saying why;
// otherwise the first visible password field with its partner.
function choose(probe) {
    if (probe.focused) {
        return { action: 'focused', limits: probe.focused };
    }
    const blocked = probe.focusBlocked;
    if (blocked?.reason === 'closed') {
        return { refused: t('refusedClosed') };
    }
    if (blocked?.reason === 'frame') {
        return { refused: refusedFrame(blocked) };
    }
    if (probe.first) {
        return { action: 'first', limits: probe.first };
    }
    const foreign = [...new Set(probe.foreignFrames.map((f) => f.host).filter((h) => h !== ''))];
    return { refused: foreign.length ? t('noBoxForeign', foreign.map(unicodeHost).join(', ')) : t('noBox') };
}

function refusedFrame({ host, sandboxed }) {
    if (sandboxed) {
        return t('refusedSandboxed');
    }
    if (host === '') {
        return t('refusedForeignUnnamed');
    }
    const url = `${new URL(tab.origin).protocol}//${host}`;
    return siteOf(url) === tab.site ? t('refusedOtherAddress', unicodeHost(host)) : t('refusedForeign', unicodeHost(host));
}

async function inject(args) {
    // The page itself; frames of its own origin are reached through it.
    return api.scripting.executeScript({ target: { tabId: tab.id }, func: inFrame, args });
}

// `short` is the length the user agreed to fill, after the offer; 0 for the
// whole code.
async function fill(short = 0) {
    const whole = txtCode16.value;
    if (whole === '' || tab === null) {
        return;
    }
    let probe;
    try {
        [{ result: probe }] = await inject(['probe', '', '', []]);
    } catch {
        say(t('refusedBrowserPage'), 'refused');
        return;
    }
    if (probe?.origin !== tab.origin) {
        say(t('navigated'), 'refused');
        return;
    }
    const choice = choose(probe);
    if (!choice.action) {
        say(choice.refused, 'refused');
        return;
    }
    if (new URL(tab.origin).protocol !== 'https:' && insecureConfirmedFor !== tab.origin) {
        insecureConfirmedFor = tab.origin;
        say(t('insecureConfirm'), 'refused');
        return;
    }
    // Nothing goes into a box that would keep, or refuse, something other
    // than what the user is told: a shorter code is filled only on a second,
    // explicit press that names its length.
    const fits = Math.min(...choice.limits.map((limits) => acceptedLength(limits, whole)));
    if (fits === 0) {
        say(t('noneFits'), 'refused');
        return;
    }
    if (fits < whole.length && short !== fits) {
        say(t('tooShort', fits), 'refused');
        btnFillShort.textContent = t('fillShort', fits);
        btnFillShort.dataset.length = fits;
        btnFillShort.hidden = false;
        return;
    }
    const code = whole.slice(0, fits);
    let count;
    try {
        [{ result: { count } }] = await inject([choice.action, code, tab.origin, choice.limits]);
    } catch {
        say(t('refusedBrowserPage'), 'refused');
        return;
    }
    const host = hostOf(tab.origin);
    if (count === 0) {
        say(t('changed'), 'refused');
    } else if (fits < whole.length) {
        say(t('filledShort', fits, host), 'ok');
    } else {
        say(count > 1 ? t('filledPair', host) : t('filled', host), 'ok');
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
        $('keySource').textContent = t('notWebPage');
        return;
    }
    const url = new URL(tab.url);
    txtKey.value = siteName(tab.url);
    // Selected, so that typing one's own key replaces the suggestion.
    txtKey.setSelectionRange(0, txtKey.value.length);
    const host = unicodeHost(url.hostname);
    $('keySource').textContent = txtKey.value === '' ? t('noSiteName', host) : t('keyFrom', host);
    if (url.protocol !== 'https:') {
        const warning = $('warning');
        warning.textContent = t('insecurePage');
        warning.hidden = false;
    }
}

txtPassword.addEventListener('input', passwordChanged);
txtKey.addEventListener('input', keyChanged);
selectAllOnFocus();
lblCopy.addEventListener('click', () => copyCode16((refused) => say(refused, 'refused')));
btnFill.addEventListener('click', () => fill());
btnFillShort.addEventListener('click', () => fill(Number(btnFillShort.dataset.length)));
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
    say(`${t('cannotStart')}${error.message}`, 'refused');
}
document.documentElement.dataset.ready = 'true';
