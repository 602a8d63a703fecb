// The popup: the web app's boxes over the same WebAssembly core, a key taken
// from the active tab's address, and a fill button. Everything lives in this
// page's memory; closing the popup forgets it.
import { loadCore } from './core.js';
import {
    $,
    checkNormalForm,
    copyCode16,
    fingerprintAfterPause,
    keepFirstLines,
    lblCopy,
    regenerate as showCodes,
    selectAllOnFocus,
    txtCode16,
    txtKey,
    txtPassword,
} from './form.js';
import { boxRule } from './boxrule.js';
import { acceptedLength, inFrame } from './frame.js';
import { siteName, siteOf, unicodeHost } from './site.js';
import { listedRule, sharedLogin } from './sites.js';
import { Description } from './description.js';

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
// The copy confirmation is drawn per language; the popup carries its
// pictures beside it, not in the site's art/ folder.
const copied = Description.pictureIn.ImgCopy?.[t('lang')];
if (copied) {
    const file = (path) => path.slice(path.lastIndexOf('/') + 1);
    $('ImgCopy').src = file(copied.src);
    $('ImgCopy').srcset = `${file(copied.src)} 1x, ${file(copied.src2x)} 2x`;
}

const btnFill = $('btnFill');
const btnFillShort = $('btnFillShort');
const btnFillPlain = $('btnFillPlain');
const message = $('message');
const fitNote = $('fitNote');
const txtRule = $('txtRule');
const selPreset = $('selPreset');
const numPreset = $('numPreset');
const ruleWords = $('ruleWords');
// The core words rules in English or Chinese.
const ruleLanguage = t('lang').startsWith('zh') ? 'zh' : 'en';

let core = null;
let tab = null; // the tab whose address gave the key, as it was when the popup opened
let insecureConfirmedFor = null;

function say(text, kind = '') {
    message.textContent = text;
    message.className = `message ${kind}`;
    // An offer to fill part of the code, or the plain code, stands only
    // beside the message that explains it.
    btnFillShort.hidden = true;
    btnFillPlain.hidden = true;
    fitNote.hidden = true;
    fitNote.textContent = '';
}

function regenerate() {
    const result = showCodes(core);
    btnFill.disabled = result.status !== 'ok' || tab === null;
    if (result.status === 'too-long') {
        say(t('tooLong'), 'refused');
    } else if (message.classList.contains('refused') || !btnFillShort.hidden || !btnFillPlain.hidden) {
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
        return { action: 'focused', ...probe.focused };
    }
    const blocked = probe.focusBlocked;
    if (blocked?.reason === 'closed') {
        return { refused: t('refusedClosed') };
    }
    if (blocked?.reason === 'frame') {
        return { refused: refusedFrame(blocked) };
    }
    if (probe.first) {
        return { action: 'first', ...probe.first };
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

// The rule a code for these boxes is fitted to, from the strongest source
// that gives one: the box's own passwordrules, the bundled list for the
// site, the box's limits, the user's rule. null: none, the plain code.
function ruleFor(limits) {
    const own = limits.find((l) => (l.passwordrules ?? '').trim() !== '');
    if (own) {
        return { rule: own.passwordrules, source: 'fittedPage' };
    }
    const listed = listedRule(new URL(tab.url).hostname);
    if (listed) {
        return { rule: listed.rule, source: 'fittedList', domain: unicodeHost(listed.domain) };
    }
    // A pair of boxes takes what both take.
    const lengths = limits.map((l) => l.maxLength).filter((n) => n >= 0);
    const fromBox = boxRule({ ...limits[0], maxLength: lengths.length ? Math.min(...lengths) : -1 });
    if (fromBox) {
        return { rule: fromBox, source: 'fittedBox' };
    }
    return txtRule.value.trim() === '' ? null : { rule: txtRule.value, source: 'fittedUser' };
}

// The code to fill for the chosen boxes: { code, fitted } (fitted: the
// rule it was fitted to, its source, words and bits), or { refused } where
// the user's own rule cannot be read.
function codeFor(limits, plain) {
    const chosen = plain ? null : ruleFor(limits);
    if (chosen === null) {
        return { code: txtCode16.value, fitted: null };
    }
    const fit = core.fit(txtPassword.value, txtKey.value, chosen.rule, ruleLanguage);
    if (fit.status === 'ok') {
        return { code: fit.code, fitted: fit.plain ? null : { ...chosen, ...fit } };
    }
    if (fit.status === 'bad-rule') {
        // A page's or the list's rule that cannot be read counts for
        // nothing; the user's own is theirs to mend.
        return chosen.source === 'fittedUser'
            ? { refused: t('ruleBad', fit.part, fit.error) }
            : { code: txtCode16.value, fitted: null, unread: t('ruleUnread', fit.part, fit.error) };
    }
    return { code: txtCode16.value, fitted: null };
}

// `short` is the length the user agreed to fill, after the offer; 0 for the
// whole code. `plain`: the plain 16-character code, whatever rule there is.
async function fill(short = 0, plain = false) {
    if (txtCode16.value === '' || tab === null) {
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
    const chosen = codeFor(choice.limits, plain);
    if (chosen.refused) {
        say(chosen.refused, 'refused');
        return;
    }
    const whole = chosen.code;
    // Nothing goes into a box that would keep, or refuse, something other
    // than what the user is told: a shorter code is filled only on a second,
    // explicit press that names its length.
    const fits = Math.min(...choice.limits.map((limits) => acceptedLength(limits, whole)));
    if (fits === 0) {
        const numeric = choice.limits.some((limits) => limits.numeric && limits.pattern === undefined);
        say(t(numeric ? 'numericOnly' : 'noneFits'), 'refused');
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
    let kept;
    try {
        [{ result: { count, kept } }] = await inject([choice.action, code, tab.origin, choice.limits]);
    } catch {
        say(t('refusedBrowserPage'), 'refused');
        return;
    }
    const [text, kind] = filledMessage({ count, kept, kind: choice.kind, short: fits < whole.length ? fits : 0 });
    say(text, kind);
    const { fitted } = chosen;
    if (kept > 0 && (fitted || chosen.unread)) {
        fitNote.textContent = fitted ? t(fitted.source, fitted.words, Math.floor(fitted.bits), fitted.domain ?? '') : chosen.unread;
        fitNote.hidden = false;
        // The plain code is the user's to choose, where the site takes it.
        btnFillPlain.hidden = !fitted;
    }
}

// What the page's boxes hold after a fill, in words: the message names
// every box that holds the code, and says so when the page emptied one.
function filledMessage({ count, kept, kind, short }) {
    const host = hostOf(tab.origin);
    if (count === 0) {
        return [t('changed'), 'refused'];
    }
    if (kept === 0) {
        return [t(count > 1 ? 'emptiedAll' : 'emptied', host), 'refused'];
    }
    if (kept < count) {
        return [t('emptiedSome', host), 'refused'];
    }
    if (short) {
        return [t('filledShort', short, host), 'ok'];
    }
    const name = { one: 'filled', pair: 'filledPair', pairNotCurrent: 'filledPairNotCurrent' }[kind];
    return [t(name, host), 'ok'];
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
    // Sites that share one login share its key: the name of the group's
    // domain, shown beside the key so that it never changes unseen.
    const shared = sharedLogin(url.hostname);
    txtKey.value = shared === null ? siteName(tab.url) : siteName(`https://${shared}/`);
    // Selected, so that typing one's own key replaces the suggestion.
    txtKey.setSelectionRange(0, txtKey.value.length);
    const host = unicodeHost(url.hostname);
    $('keySource').textContent =
        txtKey.value === '' ? t('noSiteName', host) : shared === null ? t('keyFrom', host) : t('keyShared', host, unicodeHost(shared));
    if (url.protocol !== 'https:') {
        const warning = $('warning');
        warning.textContent = t('insecurePage');
        warning.hidden = false;
    }
}

txtPassword.addEventListener('input', passwordChanged);
txtKey.addEventListener('input', keyChanged);
// Said where the popup speaks, until the next change of either box.
keepFirstLines((cut) => say(cut, 'refused'));
selectAllOnFocus();
lblCopy.addEventListener('click', () => copyCode16((refused) => say(refused, 'refused')));
btnFill.addEventListener('click', () => fill());
btnFillShort.addEventListener('click', () => fill(Number(btnFillShort.dataset.length)));
btnFillPlain.addEventListener('click', () => fill(0, true));

// The user's own rule, in words as it is typed; a preset writes its rule
// into the box.
function describeUserRule() {
    if (core === null || txtRule.value.trim() === '') {
        ruleWords.textContent = '';
        return;
    }
    const described = core.describeRule(txtRule.value, ruleLanguage);
    ruleWords.textContent = described.ok ? described.words : t('ruleBad', described.part, described.error);
}
txtRule.addEventListener('input', describeUserRule);
for (const control of [selPreset, numPreset]) {
    control.addEventListener('change', () => {
        if (selPreset.value !== '' && core !== null) {
            txtRule.value = core.presetRule(selPreset.value, Number(numPreset.value));
            describeUserRule();
        }
    });
}
// Enter in either input box fills, as a login form's own Enter would submit;
// not the Enter that ends an input method's composition (pinyin), which some
// browsers send flagged as composing and others only as key code 229.
for (const box of [txtPassword, txtKey]) {
    box.addEventListener('keydown', (event) => {
        const composing = event.isComposing || event.keyCode === 229;
        if (event.key === 'Enter' && !composing && !btnFill.disabled) {
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
