// Runs in the tab's page, injected through chrome.scripting only when the user
// presses a fill button. The browser serialises this one function, so it is
// self-contained: no closure, no import. It reads nothing but the password
// fields, their limits and the focus, and writes only the chosen fields.
//
// Frames of the page's own origin (about:blank, srcdoc, same-origin iframes)
// are reached through their documents, so they count as the page itself; a
// frame whose document the page cannot reach belongs to another origin and is
// only ever named, never entered.
//
// 'probe' describes what a fill would do; 'focused' and 'first' put `code`
// into the fields the probe found, provided the page still has the origin the
// popup checked (a navigation in between must not receive it) and the fields
// still have the limits the popup accepted (`limits`, as the probe gave them;
// without them, the fields as they are now).
export function inFrame(action, code, expectedOrigin, limits) {
    const hasToken = (el, token) =>
        (el.getAttribute('autocomplete') ?? '').toLowerCase().split(/\s+/).includes(token);
    const writable = (el) => el !== null && el.localName === 'input' && !el.disabled && !el.readOnly;
    const isPassword = (el) => writable(el) && el.type === 'password';
    // A password shown as text (behind a page's "show password" eye) still
    // says what it is in its autocomplete tokens.
    const isFocusedPassword = (el) =>
        isPassword(el) ||
        (writable(el) && el.type === 'text' && (hasToken(el, 'current-password') || hasToken(el, 'new-password')));
    const isFrame = (el) => el !== null && (el.localName === 'iframe' || el.localName === 'frame');
    const frameDocument = (el) => {
        try {
            return el.contentDocument;
        } catch {
            return null;
        }
    };

    // The focused element, followed into open shadow roots and frames of the
    // page's origin. It stops at a closed shadow root (whose host is what the
    // page itself sees as focused) and at a frame of another origin.
    const deepActive = () => {
        let el = document.activeElement;
        for (;;) {
            if (el?.shadowRoot?.activeElement) {
                el = el.shadowRoot.activeElement;
            } else if (isFrame(el) && frameDocument(el)?.activeElement) {
                el = frameDocument(el).activeElement;
            } else {
                return el;
            }
        }
    };
    // A password box focused inside a closed shadow root (`el` is where the
    // open ones end): the page keeps that part to itself, so nothing is put
    // there; only the extensions' own API sees what has the focus inside.
    const focusedInClosedRoot = (el) => {
        const dom = globalThis.chrome?.dom ?? globalThis.browser?.dom;
        for (;;) {
            const root = el === null ? null : (el.shadowRoot ?? dom?.openOrClosedShadowRoot?.(el) ?? el.openOrClosedShadowRoot);
            if (!root?.activeElement) {
                return false;
            }
            el = root.activeElement;
            if (isFocusedPassword(el)) {
                return true;
            }
        }
    };

    const visible = (el) =>
        el.getClientRects().length > 0 &&
        (typeof el.checkVisibility !== 'function' ||
            el.checkVisibility({ checkOpacity: true, checkVisibilityCSS: true }));

    // Document order, descending into open shadow roots and reachable frames
    // where they stand; frames of other origins are collected by `foreign`.
    const walk = (root, visit, foreign) => {
        const doc = root.ownerDocument ?? root;
        const walker = doc.createTreeWalker(root, NodeFilter.SHOW_ELEMENT);
        for (let el = walker.nextNode(); el !== null; el = walker.nextNode()) {
            if (visit(el)) {
                return el;
            }
            const inner = el.shadowRoot ?? (isFrame(el) ? frameDocument(el) : null);
            if (inner) {
                const found = walk(inner, visit, foreign);
                if (found !== null) {
                    return found;
                }
            } else if (isFrame(el)) {
                foreign.push(el);
            }
        }
        return null;
    };
    const foreignFrames = [];
    const firstVisible = walk(document, (el) => isPassword(el) && visible(el), foreignFrames);
    // What the page can tell of a frame it cannot enter: where its address
    // points, and whether a sandbox gives it an origin of its own.
    const frameInfo = (el) => {
        // A frame without an address of its own was sent elsewhere by a
        // script: where to, the page cannot tell.
        let host = '';
        try {
            host = el.getAttribute('src') ? new URL(el.src, el.baseURI).host : '';
        } catch {
            // An address the URL parser refuses names no host.
        }
        return { host, sandboxed: el.hasAttribute('sandbox') && !el.sandbox?.contains('allow-same-origin') };
    };

    // The fields a person would fill by hand, starting from `field`: a new
    // password is typed twice. Its partner is another new-password box of the
    // same form, or, when the focused box is the first of two password boxes
    // side by side, the next one; a current-password box is never a partner.
    const withPartner = (field, focused) => {
        const container = field.form ?? field.getRootNode();
        const boxes = [];
        walk(container, (el) => {
            if ((el.form ?? el.getRootNode()) === container && isFocusedPassword(el) && visible(el)) {
                boxes.push(el);
            }
            return false;
        }, []);
        const at = boxes.indexOf(field);
        if (hasToken(field, 'new-password')) {
            const pair = boxes.filter((el) => hasToken(el, 'new-password'));
            const i = pair.indexOf(field);
            const partner = pair[i + 1] ?? pair[i - 1];
            return partner ? [field, partner].sort((a, b) => boxes.indexOf(a) - boxes.indexOf(b)) : [field];
        }
        const next = boxes[at + 1];
        const unmarked = (el) => !hasToken(el, 'current-password') && !hasToken(el, 'new-password');
        if (focused && next && isPassword(field) && isPassword(next) && unmarked(field) && unmarked(next)) {
            return [field, next];
        }
        return [field];
    };
    // Without a pattern the key is left out: the browsers pass no null
    // through the injection's arguments alike.
    const limitsOf = (fields) =>
        fields.map((el) =>
            el.hasAttribute('pattern') ? { maxLength: el.maxLength, pattern: el.getAttribute('pattern') } : { maxLength: el.maxLength });

    const active = deepActive();
    const focused = isFocusedPassword(active) ? withPartner(active, true) : null;
    const first = firstVisible === null ? null : withPartner(firstVisible, false);

    if (action === 'probe') {
        let focusBlocked = null;
        if (isFrame(active)) {
            focusBlocked = { reason: 'frame', ...frameInfo(active) };
        } else if (focusedInClosedRoot(active)) {
            focusBlocked = { reason: 'closed' };
        }
        return {
            origin: self.origin,
            focused: focused && limitsOf(focused),
            focusBlocked,
            first: first && limitsOf(first),
            foreignFrames: foreignFrames.map(frameInfo),
        };
    }

    const fields = action === 'focused' ? focused : first;
    const unchanged = limits === undefined || JSON.stringify(limitsOf(fields ?? [])) === JSON.stringify(limits);
    // Whatever the caller believes, no box is given more than it takes.
    const fits = fields?.every((el) => el.maxLength < 0 || code.length <= el.maxLength);
    if (self.origin !== expectedOrigin || fields === null || !unchanged || !fits) {
        return { filled: false, count: 0 };
    }
    if (fields[0] !== active) {
        fields[0].focus();
    }
    for (const field of fields) {
        // The prototype's own setter, not the element's `value`: frameworks
        // such as React shadow `value` on the element to track what they
        // wrote, and only a value set beneath them is seen as the user's input.
        const view = field.ownerDocument.defaultView;
        Object.getOwnPropertyDescriptor(view.HTMLInputElement.prototype, 'value').set.call(field, code);
        // Composed, so listeners outside a shadow root hear it too. The form
        // is never submitted: the user checks the page and submits it.
        field.dispatchEvent(new InputEvent('input', { bubbles: true, composed: true, inputType: 'insertReplacementText' }));
        field.dispatchEvent(new Event('change', { bubbles: true, composed: true }));
    }
    return { filled: true, count: fields.length };
}

// Browsers compile a pattern with the v flag; an engine without it (Node 18)
// takes u, its predecessor.
const patternFlags = (() => {
    try {
        return new RegExp('', 'v').flags;
    } catch {
        return 'u';
    }
})();

// How many characters of `code` a box with these limits takes: all of them,
// or the longest beginning that fits its maxlength and matches its pattern
// (compiled as the browser does, anchored; a pattern the browser cannot
// compile is ignored by the browser too). 0: none fits.
export function acceptedLength({ maxLength, pattern }, code) {
    let n = maxLength >= 0 ? Math.min(code.length, maxLength) : code.length;
    if (pattern === undefined) {
        return n;
    }
    let rule;
    try {
        rule = new RegExp(`^(?:${pattern})$`, patternFlags);
    } catch {
        return n;
    }
    while (n > 0 && !rule.test(code.slice(0, n))) {
        --n;
    }
    return n;
}
