// A password rule, in the `passwordrules` syntax, from what a password box
// says of itself: its maxlength and minlength, inputmode=numeric, and a
// pattern when that is one character class with a length, which a rule can
// say exactly. A pattern that says more (alternatives, groups, look-aheads,
// a negated class) is not turned into a rule: a guess could give a code the
// box refuses.

const Printable = Array.from({ length: 0x7f - 0x21 }, (_, i) => String.fromCharCode(0x21 + i));
const Classes = [
    ['lower', (c) => c >= 'a' && c <= 'z', 26],
    ['upper', (c) => c >= 'A' && c <= 'Z', 26],
    ['digit', (c) => c >= '0' && c <= '9', 10],
];

// The characters of a class's inside ("a-z0-9_"), or null where it uses
// what this reading does not know.
function classCharacters(inside) {
    const chars = new Set();
    const items = [];
    for (let i = 0; i < inside.length; ++i) {
        let c = inside[i];
        if (c === '\\') {
            const e = inside[++i];
            if (e === 'd') {
                items.push(...'0123456789');
                continue;
            }
            if (e === 'w') {
                items.push(...Printable.filter((p) => /\w/.test(p)));
                continue;
            }
            if (e === undefined || /[a-zA-Z0-9]/.test(e)) {
                return null;
            }
            c = e;
        } else if (c === '[') {
            return null;
        }
        if (inside[i + 1] === '-' && i + 2 < inside.length) {
            const end = inside[i + 2] === '\\' ? inside[i + 3] : inside[i + 2];
            if (end === undefined || end < c) {
                return null;
            }
            for (let code = c.charCodeAt(0); code <= end.charCodeAt(0); ++code) {
                items.push(String.fromCharCode(code));
            }
            i += inside[i + 2] === '\\' ? 3 : 2;
            continue;
        }
        items.push(c);
    }
    for (const c of items) {
        if (!Printable.includes(c)) {
            // A space or a character beyond ASCII: not for a code.
            if (c !== ' ') {
                return null;
            }
            continue;
        }
        chars.add(c);
    }
    return chars;
}

// `pattern` as { chars, min, max }, or null. The browser anchors a pattern
// at both ends itself; explicit anchors change nothing.
function readPattern(pattern) {
    const m = /^\^?(?:\[(?!\^)((?:\\.|[^\]\\])+)\]|\\(d|w))(?:\{(\d+)(?:(,)(\d*))?\}|([+*]))?\$?$/.exec(pattern);
    if (m === null) {
        return null;
    }
    const [, inside, escape, low, comma, high, repeat] = m;
    const chars = classCharacters(inside ?? `\\${escape}`);
    if (chars === null || chars.size === 0) {
        return null;
    }
    let min = 1;
    let max = 1;
    if (low !== undefined) {
        min = Number(low);
        max = comma === undefined ? min : high === '' ? Infinity : Number(high);
    } else if (repeat !== undefined) {
        min = repeat === '+' ? 1 : 0;
        max = Infinity;
    }
    return { chars, min, max };
}

// The custom set's form in the rule syntax: a '-' only first, a ']' only
// last, doubled.
function customSet(chars) {
    const list = [...chars].sort();
    const dash = list.includes('-') ? '-' : '';
    const bracket = list.includes(']') ? ']]' : ']';
    return `[${dash}${list.filter((c) => c !== '-' && c !== ']').join('')}${bracket}`;
}

// The rule the box's own attributes give, or null where they limit nothing
// a rule would say. `limits` is what the page's probe reports of a box.
export function boxRule({ maxLength = -1, minLength = -1, pattern, numeric }) {
    let allowed = null;
    let min = minLength > 0 ? minLength : 0;
    let max = maxLength >= 0 ? maxLength : Infinity;
    if (pattern !== undefined) {
        const read = readPattern(pattern);
        if (read === null) {
            return null;
        }
        allowed = read.chars;
        min = Math.max(min, read.min);
        max = Math.min(max, read.max);
    } else if (numeric) {
        allowed = new Set('0123456789');
    } else if (min <= 16 && max >= 16) {
        // The plain code fits.
        return null;
    }
    const parts = [];
    if (min > 1) {
        parts.push(`minlength: ${min};`);
    }
    if (max !== Infinity) {
        parts.push(`maxlength: ${max};`);
    }
    if (allowed === null) {
        // A box that limits only the length says nothing of characters:
        // those of the plain code, which sites take, and no others.
        parts.push('allowed: upper, lower, digit;');
    } else {
        const names = Classes.filter(([, is, size]) => [...allowed].filter(is).length === size).map(([name]) => name);
        const rest = [...allowed].filter((c) => !Classes.some(([name, is]) => names.includes(name) && is(c)));
        parts.push(`allowed: ${[...names, ...(rest.length ? [customSet(rest)] : [])].join(', ')};`);
    }
    return parts.join(' ');
}
