// The one door to the WebAssembly core (mnemora.wasm): every page and the
// extension derive through this module and nothing else.
//
// The module exports (wasm/Exports.cpp):
//   memory                         its linear memory
//   _initialize()                  run once before any other call
//   mnemora_password_buffer()      address of the password's UTF-16 buffer
//   mnemora_key_buffer()           address of the key's UTF-16 buffer
//   mnemora_buffer_units()         length of either buffer in UTF-16 units
//   mnemora_derive(pUnits, kUnits) status 0 ok, 1 empty, 2 too long; wipes the inputs
//   mnemora_codes()                address of 48 ASCII bytes: code16 then code32
//   mnemora_fingerprint(pUnits)    the password's 16-bit fingerprint, -1 when none; wipes the input
//   mnemora_rule_buffer()          address of the password rule's UTF-8 buffer
//   mnemora_rule_bytes()           its length in bytes
//   mnemora_describe_rule(rBytes, lang)
//                                  1 when the rule is sound, 0 when not; lang 0 en, 1 zh
//   mnemora_fit(pUnits, kUnits, rBytes, lang)
//                                  status as mnemora_derive plus 3 bad rule; +4 when
//                                  the code is the plain one; wipes the inputs
//   mnemora_text()                 address of four NUL-ended UTF-8 texts: canonical
//                                  rule, rule in words, part at fault, reason
//   mnemora_fitted()               address of the fitted code, ASCII, NUL-ended
//   mnemora_fitted_bits()          its strength in bits
//   mnemora_preset_rule(kind, n)   a preset's rule text into mnemora_text; kind 0
//                                  with a symbol, 1 at most n characters, 2 digits only
//   mnemora_wipe()                 wipes the codes once they have been read
// A text longer than a buffer is written cut to the buffer's length, which is
// one unit more than any text the core derives from, so the core refuses it.
// JavaScript strings cannot be wiped; only the module's copies are.

const Statuses = ['ok', 'empty', 'too-long', 'bad-rule'];
const Presets = { symbol: 0, 'at-most': 1, digits: 2 };
const Languages = { en: 0, zh: 1 };
const utf8 = new TextEncoder();
const fromUtf8 = new TextDecoder();

// A build that computes wrong codes must not hand any out.
const Anchor = { password: 'test', key: 'taobao', code32: 'a20caCf8Eb1b8B6d5b8a66996910E124' };

// The fingerprint's three symbols: 3 bits of shape and 2 of colour each
// (15 of the core's 16 bits). U+FE0E keeps the suits from turning into emoji.
const Shapes = [
    ['\u25B2', 'triangle'],
    ['\u25CF', 'circle'],
    ['\u25A0', 'square'],
    ['\u25C6', 'diamond'],
    ['\u2605', 'star'],
    ['\u2665\uFE0E', 'heart'],
    ['\u2663\uFE0E', 'club'],
    ['\u2660\uFE0E', 'spade'],
];
const Colours = [
    ['#C62828', 'red'],
    ['#2E7D32', 'green'],
    ['#1565C0', 'blue'],
    ['#EF6C00', 'orange'],
];

// A module served as application/wasm compiles while it downloads; any
// other type (a host that does not know .wasm) is compiled once it is whole.
// A module compiled already is only instantiated.
async function instantiate(source) {
    if (source instanceof WebAssembly.Module)
        return { instance: await WebAssembly.instantiate(source, {}) };
    if (source instanceof ArrayBuffer || ArrayBuffer.isView(source))
        return WebAssembly.instantiate(source, {});
    const response = await fetch(source);
    if (!response.ok)
        throw new Error(`cannot load ${source}: ${response.status}`);
    if (response.headers.get('Content-Type')?.split(';')[0].trim() === 'application/wasm')
        return WebAssembly.instantiateStreaming(response, {});
    return WebAssembly.instantiate(await response.arrayBuffer(), {});
}

class Core {
    #exports;
    #units;

    constructor(exports) {
        this.#exports = exports;
        this.#units = exports.mnemora_buffer_units();
    }

    // Writes text into one input buffer; returns the length to pass.
    #write(bufferAddress, text) {
        const n = Math.min(text.length, this.#units);
        const view = new Uint16Array(this.#exports.memory.buffer, bufferAddress, n);
        for (let i = 0; i < n; ++i)
            view[i] = text.charCodeAt(i);
        return n;
    }

    // Writes a rule into the rule buffer; returns the length to pass (one
    // byte more than the buffer when it does not fit, which the core refuses).
    #writeRule(text) {
        const e = this.#exports;
        const bytes = utf8.encode(String(text));
        const room = e.mnemora_rule_bytes();
        if (bytes.length > room)
            return room + 1;
        new Uint8Array(e.memory.buffer, e.mnemora_rule_buffer(), bytes.length).set(bytes);
        return bytes.length;
    }

    // The NUL-ended texts at mnemora_text.
    #texts(count) {
        const e = this.#exports;
        const memory = new Uint8Array(e.memory.buffer);
        const texts = [];
        let at = e.mnemora_text();
        for (let i = 0; i < count; ++i) {
            const end = memory.indexOf(0, at);
            texts.push(fromUtf8.decode(memory.subarray(at, end)));
            at = end + 1;
        }
        return texts;
    }

    // A rule in the passwordrules syntax, checked: its canonical text and its
    // words, or the part at fault and why. lang: 'en' | 'zh'.
    describeRule(ruleText, lang = 'en') {
        const e = this.#exports;
        const ok = e.mnemora_describe_rule(this.#writeRule(ruleText), Languages[lang] ?? 0) === 1;
        const [canonical, words, part, error] = this.#texts(4);
        return ok ? { ok, canonical, words } : { ok, part, error };
    }

    // The code fitted to a rule (docs/fitted-code.md): the plain 16-character
    // code where the rule takes it. Every field is present; those that do not
    // apply are empty.
    fit(password, key, ruleText, lang = 'en') {
        const e = this.#exports;
        const ruleBytes = this.#writeRule(ruleText);
        const passwordUnits = this.#write(e.mnemora_password_buffer(), String(password));
        const keyUnits = this.#write(e.mnemora_key_buffer(), String(key));
        const result = e.mnemora_fit(passwordUnits, keyUnits, ruleBytes, Languages[lang] ?? 0);
        const status = Statuses[result & 3];
        const [canonical, words, part, error] = this.#texts(4);
        let code = '';
        let bits = 0;
        if (status === 'ok') {
            const memory = new Uint8Array(e.memory.buffer);
            const at = e.mnemora_fitted();
            code = String.fromCharCode(...memory.subarray(at, memory.indexOf(0, at)));
            bits = e.mnemora_fitted_bits();
        }
        e.mnemora_wipe();
        return { status, code, plain: status === 'ok' && (result & 4) !== 0, bits, canonical, words, part, error };
    }

    // A preset's rule text: name 'symbol' (n characters, any length when n is
    // 0), 'at-most' (at most n characters) or 'digits' (n digits).
    presetRule(name, n = 0) {
        if (!(name in Presets))
            throw new RangeError(`unknown preset ${name}`);
        this.#exports.mnemora_preset_rule(Presets[name], Math.trunc(Number(n)) || 0);
        return this.#texts(1)[0];
    }

    derive(password, key) {
        const e = this.#exports;
        const passwordUnits = this.#write(e.mnemora_password_buffer(), String(password));
        const keyUnits = this.#write(e.mnemora_key_buffer(), String(key));
        const status = Statuses[e.mnemora_derive(passwordUnits, keyUnits)];
        let code16 = '';
        let code32 = '';
        if (status === 'ok') {
            const bytes = new Uint8Array(e.memory.buffer, e.mnemora_codes(), 48);
            code16 = String.fromCharCode(...bytes.subarray(0, 16));
            code32 = String.fromCharCode(...bytes.subarray(16, 48));
        }
        e.mnemora_wipe();
        return { status, code16, code32 };
    }

    fingerprint(password) {
        const e = this.#exports;
        const bits = e.mnemora_fingerprint(this.#write(e.mnemora_password_buffer(), String(password)));
        e.mnemora_wipe();
        if (bits < 0)
            return null;
        const symbols = [];
        const colours = [];
        const names = [];
        for (let i = 0; i < 3; ++i) {
            const part = (bits >> (5 * i)) & 0x1F;
            const [shape, shapeName] = Shapes[part & 7];
            const [colour, colourName] = Colours[part >> 3];
            symbols.push(shape);
            colours.push(colour);
            names.push(`${colourName} ${shapeName}`);
        }
        return { symbols, colours, label: `Password fingerprint: ${names.join(', ')}` };
    }
}

// Loads the module from a URL (fetched), from its bytes, or compiled.
export async function loadCore(wasmUrl) {
    const { instance } = await instantiate(wasmUrl);
    instance.exports._initialize();
    const core = new Core(instance.exports);
    if (core.derive(Anchor.password, Anchor.key).code32 !== Anchor.code32)
        throw new Error('this build computes wrong codes; do not use the codes it shows');
    return core;
}
