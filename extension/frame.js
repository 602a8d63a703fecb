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
    // A text box the page draws as dots is a password box to the person in
    // front of it.
    const dotted = (el) => {
        const style = el.ownerDocument.defaultView.getComputedStyle(el);
        const security = style.getPropertyValue('-webkit-text-security');
        return security !== '' && security !== 'none';
    };
    // A password shown as text (behind a page's "show password" eye) still
    // says what it is in its autocomplete tokens.
    const isPasswordBox = (el) =>
        writable(el) &&
        (el.type === 'password' ||
            (el.type === 'text' && (hasToken(el, 'current-password') || hasToken(el, 'new-password') || dotted(el))));
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
            if (isPasswordBox(el)) {
                return true;
            }
        }
    };

    // The element holding `el`, across shadow roots and out of frames of the
    // page's origin.
    const holder = (el) => el.parentElement ?? el.getRootNode().host ?? el.ownerDocument.defaultView.frameElement ?? null;
    const within = (container, el) => {
        for (let at = el; at !== null; at = holder(at)) {
            if (at === container) {
                return true;
            }
        }
        return false;
    };
    // While a modal dialog is open, everything outside the one on top is
    // inert: no person can reach it. The one on top is the modal dialog that
    // shows at its own centre; all of them are in the top layer, in the order
    // they were opened, which no script can read.
    const modals = new Map();
    const topModal = (doc) => {
        if (!modals.has(doc)) {
            const open = [...doc.querySelectorAll('dialog[open]')].filter((d) => d.matches(':modal'));
            const shows = (d) => {
                const r = d.getBoundingClientRect();
                const hit = doc.elementFromPoint(r.left + r.width / 2, r.top + r.height / 2);
                return hit !== null && within(d, hit);
            };
            modals.set(doc, open.find(shows) ?? open.at(-1) ?? null);
        }
        return modals.get(doc);
    };
    const blockedByModal = (el) => {
        for (let at = el; at !== null; at = at.ownerDocument.defaultView.frameElement) {
            const modal = topModal(at.ownerDocument);
            if (modal !== null && !within(modal, at)) {
                return true;
            }
        }
        return false;
    };
    const visible = (el) =>
        el.getClientRects().length > 0 &&
        (typeof el.checkVisibility !== 'function' ||
            el.checkVisibility({ checkOpacity: true, checkVisibilityCSS: true }));
    // Pages hide decoy boxes from people but not from scripts: placed where
    // no scrolling reaches (above or before the document's start), or a
    // pixel or two in size.
    const onPage = (el) => {
        const view = el.ownerDocument.defaultView;
        const r = el.getBoundingClientRect();
        if (r.width < 4 || r.height < 4 || r.bottom + view.scrollY <= 0) {
            return false;
        }
        const rtl = view.getComputedStyle(el.ownerDocument.documentElement).direction === 'rtl';
        return rtl ? r.left + view.scrollX < el.ownerDocument.documentElement.clientWidth : r.right + view.scrollX > 0;
    };
    // A box a person could see and type into.
    const typeable = (el) => visible(el) && onPage(el) && el.closest('[inert]') === null && !blockedByModal(el);

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
    const firstVisible = walk(document, (el) => isPasswordBox(el) && typeable(el), foreignFrames);
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

    // The fields a person would fill by hand, starting from `field`, and
    // what they are: 'one' box; a new password typed twice, 'pair'; or
    // 'pairNotCurrent', the pair of a change form whose current password is
    // left alone. A new-password box's partner is another new-password box
    // of the same form, or, when the focused box is the first of two
    // unmarked password boxes side by side, the next one; of three unmarked
    // boxes in a form, the first asks for the current password. A
    // current-password box is never a partner.
    const withPartner = (field, focused) => {
        const container = field.form ?? field.getRootNode();
        const boxes = [];
        walk(container, (el) => {
            if ((el.form ?? el.getRootNode()) === container && isPasswordBox(el) && typeable(el)) {
                boxes.push(el);
            }
            return false;
        }, []);
        const at = boxes.indexOf(field);
        const byPlace = (a, b) => boxes.indexOf(a) - boxes.indexOf(b);
        if (hasToken(field, 'new-password')) {
            const pair = boxes.filter((el) => hasToken(el, 'new-password'));
            const i = pair.indexOf(field);
            const partner = pair[i + 1] ?? pair[i - 1];
            const current = boxes.some((el) => hasToken(el, 'current-password'));
            return partner
                ? { fields: [field, partner].sort(byPlace), kind: current ? 'pairNotCurrent' : 'pair' }
                : { fields: [field], kind: 'one' };
        }
        const unmarked = (el) => !hasToken(el, 'current-password') && !hasToken(el, 'new-password');
        if (boxes.length === 3 && boxes.every(unmarked) && at >= 0) {
            return { fields: boxes.slice(1), kind: 'pairNotCurrent' };
        }
        const next = boxes[at + 1];
        if (focused && next && boxes.length === 2 && unmarked(field) && unmarked(next)) {
            return { fields: [field, next], kind: 'pair' };
        }
        return { fields: [field], kind: 'one' };
    };
    // What the probe reports of each box, for the popup to choose a code
    // that fits it. Absent attributes are left out: the browsers pass no
    // null through the injection's arguments alike.
    const limitsOf = (fields) =>
        fields.map((el) => {
            const limits = { maxLength: el.maxLength, minLength: el.minLength };
            for (const name of ['pattern', 'passwordrules']) {
                if (el.hasAttribute(name)) {
                    limits[name] = el.getAttribute(name);
                }
            }
            if ((el.getAttribute('inputmode') ?? '').toLowerCase() === 'numeric') {
                limits.numeric = true;
            }
            return limits;
        });

    const active = deepActive();
    const focused = isPasswordBox(active) && typeable(active) ? withPartner(active, true) : null;
    const first = firstVisible === null ? null : withPartner(firstVisible, false);

    if (action === 'probe') {
        let focusBlocked = null;
        if (isFrame(active)) {
            focusBlocked = { reason: 'frame', ...frameInfo(active) };
        } else if (focusedInClosedRoot(active)) {
            focusBlocked = { reason: 'closed' };
        }
        const described = (found) => found && { kind: found.kind, limits: limitsOf(found.fields) };
        return {
            origin: self.origin,
            focused: described(focused),
            focusBlocked,
            first: described(first),
            foreignFrames: foreignFrames.map(frameInfo),
        };
    }

    const fields = (action === 'focused' ? focused : first)?.fields ?? null;
    const unchanged = limits === undefined || JSON.stringify(limitsOf(fields ?? [])) === JSON.stringify(limits);
    // Whatever the caller believes, no box is given more than it takes.
    const fits = fields?.every((el) => el.maxLength < 0 || code.length <= el.maxLength);
    if (self.origin !== expectedOrigin || fields === null || !unchanged || !fits) {
        return { filled: false, count: 0, kept: 0 };
    }
    if (fields[0] !== active) {
        fields[0].focus();
    }
    const setValue = (field, text) => {
        // The prototype's own setter, not the element's `value`: frameworks
        // such as React shadow `value` on the element to track what they
        // wrote, and only a value set beneath them is seen as the user's input.
        const view = field.ownerDocument.defaultView;
        Object.getOwnPropertyDescriptor(view.HTMLInputElement.prototype, 'value').set.call(field, text);
    };
    for (const field of fields) {
        setValue(field, code);
        // Composed, so listeners outside a shadow root hear it too. The form
        // is never submitted: the user checks the page and submits it.
        field.dispatchEvent(new InputEvent('input', { bubbles: true, composed: true, inputType: 'insertReplacementText' }));
        field.dispatchEvent(new Event('change', { bubbles: true, composed: true }));
    }
    // When the popup closes, the page gets the focus back and its box hears
    // of it again: some pages empty the box then. What the boxes hold once
    // the page has done so is what is reported, never what was written.
    const view = fields[0].ownerDocument.defaultView;
    fields[0].dispatchEvent(new view.FocusEvent('focus'));
    fields[0].dispatchEvent(new view.FocusEvent('focusin', { bubbles: true, composed: true }));
    return new Promise((settled) =>
        setTimeout(() => settled({ filled: true, count: fields.length, kept: fields.filter((el) => el.value === code).length }), 20),
    );
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
// (a numeric box without a pattern: all or none)
// (compiled as the browser does, anchored; a pattern the browser cannot
// compile is ignored by the browser too). 0: none fits.
export function acceptedLength({ maxLength, pattern, numeric }, code) {
    let n = maxLength >= 0 ? Math.min(code.length, maxLength) : code.length;
    if (pattern === undefined) {
        // A box for digits only, whatever else it would take: a beginning
        // of digits cut from a code would be a weaker password than the box
        // deserves, so only a code all of digits is offered.
        return numeric && !/^[0-9]+$/.test(code.slice(0, n)) ? 0 : n;
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
