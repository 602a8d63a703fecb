// The WebAssembly core, loaded in Node through web/core.js, against the
// recorded derivations: the web app must give the codes the programs give.
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { test } from 'node:test';
import { fileURLToPath, pathToFileURL } from 'node:url';

import { loadCore } from '../../web/core.js';
import { siteDir } from './support.mjs';

// The built page's texts: web/texts.js reads the description the build writes beside it.
const { chooseLanguage } = await import(pathToFileURL(`${siteDir()}/texts.js`).href);

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

// The known fitted codes (tests/data/fitted.txt), the same in the module as in
// the core and through mnemora-cli.
const fittedVectors = readFileSync(fileURLToPath(new URL('../data/fitted.txt', import.meta.url)), 'utf8')
    .split('\n')
    .filter((line) => line && !line.startsWith('#'))
    .map((line) => line.split('\t').map(unescape))
    .map(([password, key, rule, canonical, code, plain]) => ({ password, key, rule, canonical, code, plain: plain === 'plain' }));

test('fitted codes: the known answers', () => {
    assert.ok(fittedVectors.length >= 10);
    for (const v of fittedVectors) {
        const r = core.fit(v.password, v.key, v.rule, 'en');
        assert.deepEqual([r.status, r.code, r.plain, r.canonical], ['ok', v.code, v.plain, v.canonical], v.rule);
        assert.ok(typeof r.bits === 'number' && r.words.length > 0, v.rule);
    }
});

const ruleCases = [
    // [what, call, expected subset]
    ['words in English', () => core.describeRule(core.presetRule('symbol', 12), 'en'),
        { ok: true, words: '12 characters, with a symbol' }],
    ['required sets alone are all that is allowed', () => core.describeRule('required: special; maxlength: 12', 'en'),
        { ok: true, words: 'at most 12 characters, with a symbol, only symbols' }],
    ['words in Chinese', () => core.describeRule(core.presetRule('digits', 6), 'zh'),
        { ok: true, canonical: 'allowed: digit; minlength: 6; maxlength: 6;', words: '6 个字符，只用数字' }],
    ['a bad rule names its part', () => core.describeRule('minlength: 8; maxlength: 0', 'en'),
        { ok: false, part: 'maxlength: 0', error: 'a password cannot be empty' }],
    ['a non-ASCII part comes back whole', () => core.describeRule('required: [§]', 'zh'),
        { ok: false, part: '[§]' }],
    ['a rule too long for the module', () => core.describeRule(`minlength: 8;${' '.repeat(5000)}`, 'en'),
        { ok: false, part: '', error: 'the rule is too long' }],
    ['fitting to a bad rule', () => core.fit('test', 'taobao', 'required: [abc', 'en'),
        { status: 'bad-rule', code: '', part: '[abc', error: "the set is not closed with ']'" }],
    ['an empty password still gives the rule in words', () => core.fit('', 'taobao', 'maxlength: 8', 'en'),
        { status: 'empty', code: '', canonical: 'allowed: ascii-printable; maxlength: 8;', words: 'at most 8 characters' }],
    ['an unfittable rule', () => core.fit('pw', 'k', 'required: [a]; required: [a]; allowed: [b]; max-consecutive: 1; maxlength: 2'),
        { status: 'bad-rule', code: '', error: 'no password that meets the rule could be made' }],
    ['a preset with a symbol', () => ({ text: core.presetRule('symbol', 12) }),
        { text: 'required: special; allowed: ascii-printable; minlength: 12; maxlength: 12;' }],
    ['a preset of at most n', () => ({ text: core.presetRule('at-most', 10) }),
        { text: 'allowed: upper, lower, digit; maxlength: 10;' }],
];
test('rules: words, problems, presets', () => {
    for (const [what, call, expected] of ruleCases) {
        const result = call();
        for (const [field, value] of Object.entries(expected))
            assert.equal(result[field], value, `${what}: ${field}`);
    }
    assert.throws(() => core.presetRule('vowels', 3), RangeError);
});

test('after fitting the module holds no password, key or fitted code', async () => {
    const { core: inspected, exports } = await loadInspected();
    const [password, key] = ['qzvx7jwk3pfm', 'wqxkzj9v'];
    const { code } = inspected.fit(password, key, 'required: special; maxlength: 12', 'en');
    assert.equal(code.length, 12);
    const memory = Buffer.from(exports.memory.buffer);
    const held = [password, key, code].filter((s) => memory.includes(Buffer.from(s, 'utf16le')) || memory.includes(Buffer.from(s, 'latin1')));
    assert.deepEqual(held, []);
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

test('the module heap is given back after every call', async () => {
    const { core: inspected, exports } = await loadInspected();
    const fitLongest = () => inspected.fit('qzvx7jwk3pfm', 'wqxkzj9v', 'required: special; minlength: 128', 'en');
    assert.equal(fitLongest().code.length, 128);
    const bytes = exports.memory.buffer.byteLength;
    for (let i = 0; i < 300; ++i)
        fitLongest();
    assert.equal(exports.memory.buffer.byteLength, bytes);
});
