// The WebAssembly core, loaded in Node through web/core.js, against the
// recorded derivations: the web app must give the codes the programs give.
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { test } from 'node:test';
import { fileURLToPath } from 'node:url';

import { loadCore } from '../../web/core.js';
import { chooseLanguage } from '../../web/texts.js';
import { siteDir } from './support.mjs';

const wasm = readFileSync(`${siteDir()}/mnemora.wasm`);
const core = await loadCore(wasm);

// loadCore over the module, with its exports passed through `tamper` on the
// way in; returns the core and the exports it uses, whose memory can be read.
async function loadInspected(tamper = (exports) => exports) {
    const instantiate = WebAssembly.instantiate;
    let exports;
    WebAssembly.instantiate = async (...args) => {
        const { module, instance } = await instantiate(...args);
        exports = tamper(instance.exports);
        return { module, instance: { exports } };
    };
    try {
        return { core: await loadCore(wasm), exports };
    } finally {
        WebAssembly.instantiate = instantiate;
    }
}

function unescape(s) {
    return s.replace(/\\(.)/g, (_, c) => (c === 't' ? '\t' : c === 'n' ? '\n' : c));
}

const derivations = readFileSync(fileURLToPath(new URL('../data/derivations.txt', import.meta.url)), 'utf8')
    .split('\n')
    .filter((line) => line && !line.startsWith('#'))
    .map((line) => line.split('\t'))
    .map(([password, key, code16, code32]) => ({ password: unescape(password), key: unescape(key), code16, code32 }));

test('the recorded derivations, anchors first', () => {
    assert.deepEqual(derivations.slice(0, 3).map((d) => [d.password, d.key, d.code16, d.code32]), [
        ['test', 'taobao', 'a20caCf8Eb1b8B6d', 'a20caCf8Eb1b8B6d5b8a66996910E124'],
        ['taobao', 'test', 'KA55784DDe9C7632', '5A55784DDe9C7632Fcb5685EB6F6F1DE'],
        ['密码', '淘宝', 'B992378745248eCD', 'B992378745248eCD44c7062dA515FdBc'],
    ]);
    for (const d of derivations)
        assert.deepEqual(core.derive(d.password, d.key), { status: 'ok', code16: d.code16, code32: d.code32 },
            `${d.password} / ${d.key}`);
});

// 32,767 UTF-8 bytes is the limit; a text is cut to the module's buffer on
// the way in, so the longest texts must still be refused, not derived cut.
const x = (n) => 'x'.repeat(n);
const limits = [
    ['', 'key', 'empty'],
    ['password', '', 'empty'],
    ['', x(40000), 'empty'],
    [x(32767), 'k', 'ok'],
    ['k', x(32767), 'ok'],
    [x(32768), 'k', 'too-long'],
    ['k', x(100000), 'too-long'],
    ['é'.repeat(16383) + 'x', 'k', 'ok'],
    ['é'.repeat(16384), 'k', 'too-long'],
    ['k', '😀'.repeat(8192), 'too-long'],
    ['\uD800'.repeat(10923), 'k', 'too-long'],
];
test('empty and over-long texts give empty codes', () => {
    for (const [password, key, status] of limits) {
        const result = core.derive(password, key);
        const what = `${password.length} / ${key.length} units`;
        assert.equal(result.status, status, what);
        if (status === 'ok')
            assert.match(result.code16 + result.code32, /^[0-9a-fA-FK][0-9a-fA-F]{47}$/, what);
        else
            assert.deepEqual([result.code16, result.code32], ['', ''], what);
    }
});

test('the fingerprint: none without a derivable password, else three coloured symbols', () => {
    assert.equal(core.fingerprint(''), null);
    assert.equal(core.fingerprint(x(32768)), null);
    const seen = new Set(derivations.map((d) => core.fingerprint(d.password).label));
    assert.equal(seen.size, new Set(derivations.map((d) => d.password)).size, 'distinct passwords, distinct pictures');
    const f = core.fingerprint('test');
    assert.deepEqual([f.symbols.length, f.colours.length], [3, 3]);
    assert.deepEqual(core.fingerprint('test'), f);
});

test('a module that computes one wrong character is refused', async () => {
    const wrong = (e) => ({
        ...e,
        mnemora_derive: (...units) => {
            const status = e.mnemora_derive(...units);
            new Uint8Array(e.memory.buffer, e.mnemora_codes(), 48)[47] ^= 1;
            return status;
        },
    });
    await assert.rejects(loadInspected(wrong), /computes wrong codes/);
});

test('after a derivation and a fingerprint the module holds no password, key or code', async () => {
    const { core: inspected, exports } = await loadInspected();
    const [password, key] = ['qzvx7jwk3pfm', 'wqxkzj9v'];
    const held = (...secrets) => {
        const memory = Buffer.from(exports.memory.buffer);
        return secrets.filter((s) => memory.includes(Buffer.from(s, 'utf16le')) || memory.includes(Buffer.from(s, 'latin1')));
    };
    const { code16, code32 } = inspected.derive(password, key);
    assert.deepEqual(held(password, key, code16, code32), [], 'after a derivation');
    inspected.fingerprint(password);
    assert.deepEqual(held(password), [], 'after a fingerprint');
});

test('the language of a browser that names regions only', () => {
    const rows = [
        [['en-US'], 'en'],
        [['en-GB'], 'en'],
        [['zh-TW'], 'zh-CN'],
        [['fr-FR', 'en-GB', 'zh-CN'], 'en'],
        [['fr-FR'], 'zh-CN'],
    ];
    for (const [preferred, language] of rows)
        assert.equal(chooseLanguage(preferred), language, preferred.join());
});
