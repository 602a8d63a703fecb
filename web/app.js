// The page's behaviour: live codes, select-all on focus, copy with a timed
// confirmation and clipboard hygiene, the hover highlight, the typo
// fingerprint, the strength estimate and the NFC notice. It stores nothing
// and asks nothing of any other origin.
import { loadCore } from './core.js';

const ConfirmationMs = 1200;
const FingerprintStillMs = 500;
// After this long a copied code is taken off the clipboard, if it is still there.
const ClipboardClearMs = 30000;
const StrengthWords = ['很弱', '弱', '一般', '强', '很强'];

const $ = (id) => document.getElementById(id);
const txtPassword = $('txtPassword');
const txtKey = $('txtKey');
const txtCode16 = $('txtCode16');
const txtCode32 = $('txtCode32');
const lblCopy = $('lblCopy');
const ImgCode = $('ImgCode');
const ImgCopy = $('ImgCopy');
const fingerprint = $('fingerprint');
const strength = $('strength');

let core = null;
let fingerprintTimer = 0;
let confirmationTimer = 0;
let clearTimer = 0;
let estimator = null;

function showStatus(message) {
    const status = $('status');
    status.textContent = message;
    status.hidden = false;
}

function regenerate() {
    const { code16, code32 } = core.derive(txtPassword.value, txtKey.value);
    txtCode16.value = code16;
    txtCode32.value = code32;
}

// Codes are computed from the exact characters typed; a text that is not in
// NFC (decomposed accents) is said so, never rewritten.
function checkNormalForm(box, notice) {
    notice.hidden = box.value === box.value.normalize('NFC');
}

// No picture without a password, and only a neutral one while it changes.
function hideFingerprint(neutral) {
    if (fingerprint.classList.contains('neutral') === neutral && !fingerprint.firstChild)
        return;
    fingerprint.replaceChildren();
    fingerprint.classList.toggle('neutral', neutral);
    fingerprint.setAttribute('aria-label', neutral ? '记忆密码的指纹：停止输入后显示' : '记忆密码的指纹：尚无密码');
}

function showFingerprint() {
    const picture = core.fingerprint(txtPassword.value);
    if (!picture)
        return;
    fingerprint.replaceChildren(
        ...picture.symbols.map((symbol, i) => {
            const span = document.createElement('span');
            span.textContent = symbol;
            span.style.color = picture.colours[i];
            return span;
        }),
    );
    fingerprint.classList.remove('neutral');
    fingerprint.setAttribute('aria-label', picture.label);
}

// The estimator is large (its dictionaries) and not needed to derive, so it
// loads after the page is usable, from this site like everything else.
function loadScript(src) {
    return new Promise((resolve, reject) => {
        const script = document.createElement('script');
        script.src = src;
        script.onload = resolve;
        script.onerror = () => reject(new Error(`cannot load ${src}`));
        document.head.append(script);
    });
}

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
        strength.textContent = `强度：${StrengthWords[result.score]}（约 10^${Math.round(result.guessesLog10)} 次猜测）`;
    } catch {
        strength.textContent = '';
    }
}

function onPasswordInput() {
    regenerate();
    checkNormalForm(txtPassword, $('nfcPassword'));
    // Never a picture per keystroke: only once the box has been still.
    hideFingerprint(txtPassword.value !== '');
    if (strength.textContent) {
        strength.textContent = '';
        delete strength.dataset.score;
    }
    clearTimeout(fingerprintTimer);
    if (txtPassword.value)
        fingerprintTimer = setTimeout(() => {
            showFingerprint();
            showStrength();
        }, FingerprintStillMs);
}

function onKeyInput() {
    regenerate();
    checkNormalForm(txtKey, $('nfcKey'));
}

// Whole content selected on focus, also when the focus comes with a click
// (whose mouseup would otherwise put the caret back).
function selectAllOnFocus(box) {
    box.addEventListener('focus', () => box.select());
    box.addEventListener('mousedown', () => {
        if (document.activeElement !== box)
            box.addEventListener('mouseup', (event) => event.preventDefault(), { once: true });
    });
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
    const code = txtCode16.value;
    if (!code)
        return;
    try {
        await navigator.clipboard.writeText(code);
    } catch {
        showStatus('浏览器拒绝写入剪贴板：请选中16位码后手动复制。');
        return;
    }
    // A second copy does not lengthen the confirmation.
    if (!confirmationTimer)
        confirmationTimer = setTimeout(() => {
            ImgCopy.hidden = true;
            confirmationTimer = 0;
        }, ConfirmationMs);
    ImgCopy.hidden = false;
    $('copied').textContent = '16位码已复制到剪贴板';
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

async function start() {
    try {
        core = await loadCore(new URL('mnemora.wasm', import.meta.url));
    } catch (error) {
        showStatus(`Mnemora 无法启动：${error.message}`);
        return;
    }
    txtPassword.addEventListener('input', onPasswordInput);
    txtKey.addEventListener('input', onKeyInput);
    for (const box of [txtPassword, txtKey, txtCode16, txtCode32])
        selectAllOnFocus(box);
    lblCopy.addEventListener('click', copyCode);
    $('PicContrl').addEventListener('pointermove', onPanelPointerMove);
    // Boxes the browser refilled (back/forward) get their codes too.
    onPasswordInput();
    onKeyInput();
    document.documentElement.dataset.ready = 'true';
    performance.mark('mnemora-ready');
    // As in the window, typing starts in the password box; not on phones,
    // where focusing would throw the keyboard over the page.
    if (matchMedia('(min-width: 660px)').matches && document.activeElement === document.body)
        txtPassword.focus();

    if ('serviceWorker' in navigator)
        navigator.serviceWorker.register('sw.js').catch(() => {});
}

start();
