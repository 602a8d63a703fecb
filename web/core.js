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
//   mnemora_wipe()                 wipes the codes once they have been read
// A text longer than a buffer is written cut to the buffer's length, which is
// one unit more than any text the core derives from, so the core refuses it.
// JavaScript strings cannot be wiped; only the module's copies are.

const Statuses = ['ok', 'empty', 'too-long'];

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
async function instantiate(source) {
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

// Loads the module from a URL (fetched) or from its bytes.
export async function loadCore(wasmUrl) {
    const { instance } = await instantiate(wasmUrl);
    instance.exports._initialize();
    const core = new Core(instance.exports);
    if (core.derive(Anchor.password, Anchor.key).code32 !== Anchor.code32)
        throw new Error('this build computes wrong codes; do not use the codes it shows');
    return core;
}
