// Runs inside a frame of the page, injected through chrome.scripting only when
// the user presses the fill button. The browser serialises this one function,
// so it is self-contained: no closure, no import. It reads nothing but the
// password fields and the focus, and writes only the chosen field.
//
// 'probe' describes the frame; 'focused' and 'first' put `code` into the
// focused password field or the first visible one, as the probe found them,
// provided the frame still has the origin the popup checked (a navigation in
// between must not receive it).
export function inFrame(action, code, expectedOrigin) {
    const isPassword = (el) =>
        el !== null && el.localName === 'input' && el.type === 'password' && !el.disabled && !el.readOnly;
    const isFrame = (el) => el !== null && (el.localName === 'iframe' || el.localName === 'frame');

    // The focused element, followed into open shadow roots (a closed root hides
    // its inside, and its host is what the page itself sees as focused).
    const deepActive = () => {
        let el = document.activeElement;
        while (el !== null && el.shadowRoot && el.shadowRoot.activeElement) {
            el = el.shadowRoot.activeElement;
        }
        return el;
    };

    const visible = (el) =>
        el.getClientRects().length > 0 &&
        (typeof el.checkVisibility !== 'function' ||
            el.checkVisibility({ checkOpacity: true, checkVisibilityCSS: true }));

    // Document order, descending into open shadow roots where they stand.
    const firstVisiblePassword = (root) => {
        const walker = document.createTreeWalker(root, NodeFilter.SHOW_ELEMENT);
        for (let el = walker.nextNode(); el !== null; el = walker.nextNode()) {
            if (isPassword(el) && visible(el)) {
                return el;
            }
            if (el.shadowRoot) {
                const inside = firstVisiblePassword(el.shadowRoot);
                if (inside !== null) {
                    return inside;
                }
            }
        }
        return null;
    };

    const active = deepActive();
    // Focus inside a frame this script cannot enter (another origin): the
    // user is pointing at a field that belongs to someone else.
    const focusInForeignFrame = isFrame(active) && active.contentDocument === null;

    if (action === 'probe') {
        return {
            origin: location.origin,
            protocol: location.protocol,
            top: window === window.top,
            focused: isPassword(active),
            focusInForeignFrame,
            foreignFrames: [...document.querySelectorAll('iframe, frame')].some((f) => f.contentDocument === null),
            visible: firstVisiblePassword(document) !== null,
        };
    }

    if (location.origin !== expectedOrigin) {
        return { filled: false };
    }
    const field = action === 'focused' ? (isPassword(active) ? active : null) : firstVisiblePassword(document);
    if (field === null) {
        return { filled: false };
    }
    if (field !== active) {
        field.focus();
    }
    // The prototype's own setter, not the element's `value`: frameworks such as
    // React shadow `value` on the element to track what they wrote, and only a
    // value set beneath them is seen as the user's input.
    const setter = Object.getOwnPropertyDescriptor(HTMLInputElement.prototype, 'value').set;
    setter.call(field, code);
    // Composed, so listeners outside a shadow root hear it too. The form is
    // never submitted: the user checks the page and submits it.
    field.dispatchEvent(new InputEvent('input', { bubbles: true, composed: true, inputType: 'insertReplacementText' }));
    field.dispatchEvent(new Event('change', { bubbles: true, composed: true }));
    return { filled: true };
}
