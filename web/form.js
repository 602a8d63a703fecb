// The form the web page and the extension's popup share: both pages carry the
// same boxes under the same ids, so the codes, the NFC notices, the typo
// fingerprint, select-all on focus and the copy confirmation behave alike in
// both. Each page adds its own parts (strength, clipboard clearing and hover
// highlight on the web; key from the tab and fill in the extension).

import { Description } from './description.js';
import { text } from './texts.js';

// The confirmation stays as long as in the window.
const ConfirmationMs = Description.confirmationMs;
const FingerprintStillMs = 500;

export const $ = (id) => document.getElementById(id);
export const txtPassword = $('txtPassword');
export const txtKey = $('txtKey');
export const txtCode16 = $('txtCode16');
export const txtCode32 = $('txtCode32');
export const lblCopy = $('lblCopy');
const ImgCopy = $('ImgCopy');
const fingerprint = $('fingerprint');

// The boxes hold exactly the codes written into them, as in the window.
for (const [id, longest] of Object.entries(Description.maxLength))
    $(id).maxLength = longest;

const NoCodes = { status: 'empty', code16: '', code32: '' };

// Without a core (still loading, or failed its known answer) no code shows.
export function regenerate(core) {
    const result = core ? core.derive(txtPassword.value, txtKey.value) : NoCodes;
    txtCode16.value = result.code16;
    txtCode32.value = result.code32;
    return result;
}

// The text of a box is the text before its first line break (CR, LF or
// CR LF), as a single-line edit box of the desktop keeps a paste: a password
// copied from a note with its line's end gives the same codes here as in the
// windows and the command line. Browsers would keep the break, join the lines
// or turn the break into a space, each its own way.
export function firstLine(pasted) {
    const end = pasted.search(/[\r\n]/);
    return end < 0 ? pasted : pasted.slice(0, end);
}

// Pastes and drops into the input boxes keep their first line only, in place
// of the selection, as an input event like the browser's own; `cut` is given
// the line that says so whenever a line break cut one.
export function keepFirstLines(cut) {
    for (const box of [txtPassword, txtKey]) {
        const insert = (event, data) => {
            const pasted = data?.getData('text/plain') ?? '';
            const line = firstLine(pasted);
            if (line === pasted)
                return;
            event.preventDefault();
            box.focus();
            box.setRangeText(line, box.selectionStart, box.selectionEnd, 'end');
            box.dispatchEvent(new InputEvent('input', { inputType: 'insertFromPaste', bubbles: true }));
            cut(text.pasteCut);
        };
        box.addEventListener('paste', (event) => insert(event, event.clipboardData));
        box.addEventListener('drop', (event) => insert(event, event.dataTransfer));
    }
}

// Why a derivation gave no codes, when the person needs telling: the empty
// boxes say enough for an empty text, not for one that is too long.
export function whyNoCodes(result) {
    return result.status === 'too-long' ? text.tooLong : '';
}

// Codes are computed from the exact characters typed; a text that is not in
// NFC (decomposed accents) is said so, never rewritten.
export function checkNormalForm(box, notice) {
    notice.hidden = box.value === box.value.normalize('NFC');
}

// No picture without a password, and only a neutral one while it changes.
function hideFingerprint(neutral) {
    if (fingerprint.classList.contains('neutral') === neutral && !fingerprint.firstChild)
        return;
    fingerprint.replaceChildren();
    fingerprint.classList.toggle('neutral', neutral);
    fingerprint.setAttribute('aria-label', neutral ? text.fingerprintTyping : text.fingerprintNone);
}

function showFingerprint(core) {
    const picture = core ? core.fingerprint(txtPassword.value) : null;
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

// Never a picture per keystroke: only once the password box has been still.
// The core is asked for when the pause ends, since it may arrive meanwhile.
let fingerprintTimer = 0;
export function fingerprintAfterPause(coreOf, onStill = () => {}) {
    clearTimeout(fingerprintTimer);
    hideFingerprint(txtPassword.value !== '');
    if (txtPassword.value)
        fingerprintTimer = setTimeout(() => {
            showFingerprint(coreOf());
            onStill();
        }, FingerprintStillMs);
}

// Whole content selected on focus, also when the focus comes with a click
// (whose mouseup would otherwise put the caret back).
export function selectAllOnFocus() {
    for (const box of [txtPassword, txtKey, txtCode16, txtCode32]) {
        box.addEventListener('focus', () => box.select());
        box.addEventListener('mousedown', () => {
            if (document.activeElement !== box)
                box.addEventListener('mouseup', (event) => event.preventDefault(), { once: true });
        });
    }
}

// Puts the 16-character code on the clipboard and confirms it; a second copy
// does not lengthen the confirmation. Returns the code copied, or '' when
// there was none or the browser refused (then `refused` gets the message).
let confirmationTimer = 0;
export async function copyCode16(refused) {
    const code = await copyText(txtCode16.value, refused);
    if (!code)
        return '';
    if (!confirmationTimer)
        confirmationTimer = setTimeout(() => {
            ImgCopy.hidden = true;
            $('copied').textContent = '';
            confirmationTimer = 0;
        }, ConfirmationMs);
    ImgCopy.hidden = false;
    $('copied').textContent = text.copied;
    return code;
}

// Puts `code` on the clipboard; returns it, or '' when there was none or the
// browser refused (then `refused` gets the message).
export async function copyText(code, refused) {
    if (!code)
        return '';
    try {
        await navigator.clipboard.writeText(code);
    } catch {
        refused(text.copyRefused);
        return '';
    }
    return code;
}
