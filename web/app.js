// The page's own behaviour over the shared form (form.js): clipboard hygiene
// after a copy, the hover highlight and the strength estimate. It stores
// nothing and asks nothing of any other origin.
import { showArtwork } from './artwork.js';
import { loadCore } from './core.js';
import { Description } from './description.js';
import { loadScript, pictureSource, selfContained, wasmSource } from './files.js';
import {
    $,
    checkNormalForm,
    copyCode16,
    copyText,
    fingerprintAfterPause,
    keepFirstLines,
    lblCopy,
    regenerate,
    selectAllOnFocus,
    txtKey,
    txtPassword,
    whyNoCodes,
} from './form.js';
import { language, text } from './texts.js';

// After this long a copied code is taken off the clipboard, if it is still there.
const ClipboardClearMs = Description.clipboardClearMs;

const ImgCode = $('ImgCode');
const strength = $('strength');

let core = null;
let clearTimer = 0;
let estimator = null;

function showStatus(message) {
    const status = $('status');
    status.textContent = message;
    status.hidden = false;
}

// The estimator is large (its dictionaries) and not needed to derive, so it
// loads after the page is usable, from this site like everything else.
async function loadEstimator() {
    await loadScript('vendor/zxcvbn-core.js');
    await Promise.all([loadScript('vendor/zxcvbn-common.js'), loadScript('vendor/zxcvbn-en.js')]);
    const { core: zxcvbnCore, 'language-common': common, 'language-en': en } = globalThis.zxcvbnts;
    const factory = new zxcvbnCore.ZxcvbnFactory({
        dictionary: { ...common.dictionary, ...en.dictionary },
        graphs: common.adjacencyGraphs,
        translations: en.translations,
    });
    return (password) => factory.check(password);
}

async function showStrength() {
    const password = txtPassword.value;
    if (!password) {
        strength.textContent = '';
        delete strength.dataset.score;
        return;
    }
    try {
        estimator ??= loadEstimator();
        const check = await estimator;
        if (password !== txtPassword.value)
            return; // typed on meanwhile; the next pause shows it
        const result = check(password);
        strength.dataset.score = String(result.score);
        strength.textContent = text.strengthLine(text.strength[result.score], Math.round(result.guessesLog10));
    } catch {
        strength.textContent = '';
    }
}

function showCodes() {
    $('codesNote').textContent = whyNoCodes(regenerate(core));
}

function onPasswordInput() {
    showCodes();
    checkNormalForm(txtPassword, $('nfcPassword'));
    if (strength.textContent) {
        strength.textContent = '';
        delete strength.dataset.score;
    }
    fingerprintAfterPause(() => core, showStrength);
}

function onKeyInput() {
    showCodes();
    checkNormalForm(txtKey, $('nfcKey'));
}

// The site rules section: a rule from the bundled list, typed, or a preset,
// in words, and the code fitted to it.
const txtSite = $('txtSite');
const txtRule = $('txtRule');
const selPreset = $('selPreset');
const numPreset = $('numPreset');
const txtFitted = $('txtFitted');
const ruleLanguage = language.startsWith('zh') ? 'zh' : 'en';

function showFitted() {
    const words = $('ruleWords');
    txtFitted.value = '';
    words.textContent = '';
    if (txtRule.value.trim() === '')
        return;
    const fit = core.fit(txtPassword.value, txtKey.value, txtRule.value, ruleLanguage);
    if (fit.status === 'bad-rule') {
        words.textContent = text.ruleError(fit.part, fit.error);
        return;
    }
    // Without a code the rule is still worth reading.
    const described = fit.status === 'ok' ? fit : core.describeRule(txtRule.value, ruleLanguage);
    if (fit.status === 'ok') {
        txtFitted.value = fit.code;
        words.textContent = `${text.ruleInWords(fit.words, Math.floor(fit.bits))}${fit.plain ? ` ${text.fittedIsPlain}` : ''}`;
    } else if (described.ok) {
        words.textContent = described.words;
    }
}

// The bundled site list (some 60 KB of rules) is read only once the section
// that uses it opens: a first visit parses none of it before the page is
// usable. A failed load is tried again on the next use.
let sites = null;
function loadSites() {
    sites ??= import('./sites.js').then(
        (module) => {
            $('listedSites').replaceChildren(...module.listedDomains().map((domain) => new Option('', domain)));
            return module;
        },
        (error) => {
            sites = null;
            throw error;
        },
    );
    return sites;
}

async function onSiteInput() {
    const source = $('siteSource');
    const typed = txtSite.value;
    if (typed.trim() === '') {
        source.textContent = '';
        return;
    }
    let listed;
    try {
        listed = (await loadSites()).listedRule(typed);
    } catch {
        source.textContent = text.siteListUnavailable;
        return;
    }
    if (txtSite.value !== typed)
        return; // typed on meanwhile; that input looks it up
    source.textContent = listed ? text.siteListed(listed.domain) : text.siteNotListed;
    if (listed) {
        txtRule.value = listed.rule;
        selPreset.value = '';
        showFitted();
    }
}

function onPresetChange() {
    if (selPreset.value === '')
        return;
    txtRule.value = core.presetRule(selPreset.value, Number(numPreset.value));
    showFitted();
}

async function copyFitted() {
    const code = await copyText(txtFitted.value, showStatus);
    if (!code)
        return;
    $('fittedCopied').textContent = text.fittedCopied;
    setTimeout(() => {
        $('fittedCopied').textContent = '';
    }, Description.confirmationMs);
    clearTimeout(clearTimer);
    clearTimer = setTimeout(() => clearClipboardIfUnchanged(code), ClipboardClearMs);
}

function startSiteRules() {
    const section = $('siteRules');
    const opened = () => {
        if (section.open)
            loadSites().catch(() => {});
    };
    section.addEventListener('toggle', opened);
    opened();
    txtSite.addEventListener('input', onSiteInput);
    txtRule.addEventListener('input', () => {
        selPreset.value = '';
        showFitted();
    });
    selPreset.addEventListener('change', onPresetChange);
    numPreset.addEventListener('input', onPresetChange);
    $('btnCopyFitted').addEventListener('click', copyFitted);
    for (const box of [txtPassword, txtKey])
        box.addEventListener('input', showFitted);
    txtFitted.addEventListener('focus', () => txtFitted.select());
    onSiteInput();
    showFitted();
}

// Takes the code off the clipboard only if the browser lets this page read
// the clipboard without asking and it still holds that very code.
async function clearClipboardIfUnchanged(code) {
    try {
        const permission = await navigator.permissions.query({ name: 'clipboard-read' });
        if (permission.state !== 'granted')
            return;
        if ((await navigator.clipboard.readText()) === code)
            await navigator.clipboard.writeText('');
    } catch {
        // No permission API for it, no focus, or no reading: leave it alone.
    }
}

async function copyCode() {
    const code = await copyCode16(showStatus);
    if (!code)
        return;
    clearTimeout(clearTimer);
    clearTimer = setTimeout(() => clearClipboardIfUnchanged(code), ClipboardClearMs);
}

// The highlight shows while the pointer was last over the copy button and
// goes when it moves over the rest of the panel or the code box.
function onPanelPointerMove(event) {
    if (event.target === lblCopy)
        ImgCode.hidden = false;
    else if (event.target !== ImgCode)
        ImgCode.hidden = true;
}

// Inside another site's frame the page could be dressed as a look-alike
// around the real one: it takes no password there, and offers itself on its
// own instead. Frames of its own origin (none today) would be welcome.
function framedByAnotherSite() {
    try {
        for (let w = window; w !== w.top; w = w.parent) {
            if (w.parent.location.origin !== location.origin)
                return true;
        }
        return false;
    } catch {
        return true; // a foreign ancestor's location cannot even be read
    }
}

function refuseFrame() {
    $('FrmMain').remove();
    $('siteRules').remove();
    const link = document.createElement('a');
    link.href = location.href;
    link.target = '_top';
    link.textContent = text.openAlone;
    const status = $('status');
    status.replaceChildren(text.framed, ' ', link);
    status.hidden = false;
    document.documentElement.dataset.refused = 'framed';
}

async function start() {
    if (framedByAnotherSite()) {
        refuseFrame();
        return;
    }
    try {
        core = await loadCore(await wasmSource('mnemora.wasm'));
    } catch (error) {
        showStatus(`${text.cannotStart}${error.message}`);
        return;
    }
    txtPassword.addEventListener('input', onPasswordInput);
    txtKey.addEventListener('input', onKeyInput);
    // Said beside the codes, until the next change of either box.
    keepFirstLines((message) => {
        $('codesNote').textContent = message;
    });
    selectAllOnFocus();
    lblCopy.addEventListener('click', copyCode);
    $('PicContrl').addEventListener('pointermove', onPanelPointerMove);
    startSiteRules();
    // Boxes the browser refilled (back/forward) get their codes too.
    onPasswordInput();
    onKeyInput();
    document.documentElement.dataset.ready = 'true';
    performance.mark('mnemora-ready');
    // As in the window, typing starts in the password box; not on phones,
    // where focusing would throw the keyboard over the page.
    if (matchMedia('(min-width: 660px)').matches && document.activeElement === document.body)
        txtPassword.focus();

    // Installing caches every file of the site (the estimator's dictionaries
    // too): not while the page is still loading, laying out or painting its
    // own, but once it is loaded and the browser is idle (or in the loaded
    // page's next task where it never says so). The offline edition has every file inside it
    // already.
    if (!selfContained && 'serviceWorker' in navigator) {
        const register = () => navigator.serviceWorker.register('sw.js').catch(() => {});
        const whenIdle = () =>
            globalThis.requestIdleCallback ? requestIdleCallback(register, { timeout: 2000 }) : setTimeout(register);
        if (document.readyState === 'complete')
            whenIdle();
        else
            addEventListener('load', whenIdle, { once: true });
    }
}

// On a host the page's own inline scripts put its texts (tools/page-texts.mjs)
// and the pictures drawn per language (web/pictures.js) in the reader's
// language as it was parsed; the offline edition carries its pictures here.
if (selfContained)
    showArtwork(document, language, pictureSource, false);
start();
