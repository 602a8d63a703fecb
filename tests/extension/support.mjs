// Shared by the extension suites: the built packages and a local login site
// served over HTTPS (a throw-away certificate) and plain HTTP.
import { execFileSync } from 'node:child_process';
import { existsSync, mkdtempSync, readFileSync, rmSync } from 'node:fs';
import http from 'node:http';
import https from 'node:https';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { dirname, extname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

export function extensionDir(flavour) {
    const dir = process.env.MNEMORA_EXTENSION_DIR;
    if (!dir || !existsSync(join(dir, flavour, 'manifest.json')))
        throw new Error('MNEMORA_EXTENSION_DIR must name the built extension (make extension)');
    return resolve(dir, flavour);
}

const pages = join(dirname(fileURLToPath(import.meta.url)), 'pages');

function certificate() {
    const dir = mkdtempSync(join(tmpdir(), 'mnemora-cert-'));
    try {
        execFileSync('openssl', ['req', '-x509', '-newkey', 'ec', '-pkeyopt', 'ec_paramgen_curve:P-256', '-nodes',
            '-subj', '/CN=mnemora test', '-days', '1', '-keyout', join(dir, 'key.pem'), '-out', join(dir, 'cert.pem')],
            { stdio: 'ignore' });
        return { key: readFileSync(join(dir, 'key.pem')), cert: readFileSync(join(dir, 'cert.pem')) };
    } finally {
        rmSync(dir, { recursive: true, force: true });
    }
}

// Serves tests/extension/pages under any host name; counts form submissions.
export async function startSite() {
    const site = { submissions: 0 };
    const handler = (request, response) => {
        if (request.method === 'POST') {
            site.submissions += 1;
            response.end('submitted');
            return;
        }
        const name = new URL(request.url, 'http://x').pathname.slice(1);
        if (!/^[a-z]+\.html$/.test(name)) {
            response.writeHead(404).end();
            return;
        }
        response.writeHead(200, { 'content-type': extname(name) === '.html' ? 'text/html; charset=utf-8' : 'text/plain' });
        response.end(readFileSync(join(pages, name)));
    };
    const secure = https.createServer(certificate(), handler);
    const plain = http.createServer(handler);
    await Promise.all([secure, plain].map((s) => new Promise((done) => s.listen(0, '127.0.0.1', done))));
    site.https = (host, page) => `https://${host}:${secure.address().port}/${page}`;
    site.http = (host, page) => `http://${host}:${plain.address().port}/${page}`;
    site.close = () => Promise.all([secure, plain].map((s) => new Promise((done) => s.close(done))));
    return site;
}

export const Code = 'a20caCf8Eb1b8B6d'; // test / taobao

// Fitted codes for the password "test", as mnemora-cli gives them for the
// rule (and key) each page's box or site should give.
export const Fitted = {
    // minlength: 8; maxlength: 12; required: upper; required: digit; required: [-!#]; allowed: lower; (taobao)
    rules: 'tFr-H2c9#xxS',
    // The list's rule for access.service.gov.uk (access: service.gov.uk is
    // a suffix of its own).
    listed: 'y}#O"\'$~x?m6`|9n',
    // maxlength: 12; allowed: upper, lower, digit; (taobao)
    short: '6Hn3EjGsZA9t',
    // minlength: 6; maxlength: 10; allowed: lower, digit; (taobao)
    pattern: 'mnud64o17z',
    // allowed: digit; (taobao)
    numeric: '1310999353804672',
    // The preset "with a symbol", 12: required: special; allowed: ascii-printable; minlength: 12; maxlength: 12; (taobao)
    own: 'q !jSmqUk9mC',
};
export const OwnRule = 'required: special; allowed: ascii-printable; minlength: 12; maxlength: 12;';

// The popup's texts in `locale`, as built.
export const messages = (locale) =>
    JSON.parse(readFileSync(join(extensionDir('chromium'), '_locales', locale, 'messages.json'), 'utf8'));

// The popup's text `name` in `locale` as a pattern, its $1… standing for
// anything.
export function messagePattern(name, locale = 'en') {
    const text = messages(locale)[name].message.replace(/[.*+?^${}()|[\]\\]/g, '\\$&').replace(/\\\$\d/g, '.+');
    return new RegExp(`^${text}$`);
}

// Fills the way a person would by hand, one page each: what the page's boxes
// hold afterwards (the page's own `values()`) and which message the popup
// gives; `then` is a second press, on the offer to fill part of the code.
export const fillCases = [
    { page: 'change.html', values: ['', Code, Code], message: 'filledPairNotCurrent' },
    { page: 'register.html', values: ['alice', Code, Code], message: 'filledPair' },
    { page: 'repeat.html', values: ['alice', Code, Code], message: 'filledPair' },
    { page: 'ownframe.html', values: [Code], message: 'filled' },
    { page: 'shown.html', values: ['', Code], message: 'filled' },
    { page: 'inner.html', values: ['', Code], message: 'filled' },
    { page: 'closed.html', values: ['', ''], message: 'refusedClosed' },
    { page: 'nobox.html', values: [''], message: 'noBoxForeign' },
    { page: 'unmarked.html', values: ['', Code, Code], message: 'filledPairNotCurrent' },
    { page: 'decoy.html', values: ['', Code], message: 'filled' },
    { page: 'dialog.html', values: ['', Code], message: 'filled' },
    { page: 'dots.html', values: [Code], message: 'filled' },
    { page: 'emptied.html', values: [''], message: 'emptied' },
    // Codes fitted to the rules the page or the list gives, filled with a
    // note of the rule (`note`); `host` where the site matters.
    {
        page: 'rules.html', values: [Fitted.rules], message: 'filled', note: 'fittedPage',
        then: { button: 'btnFillPlain', values: [Code], message: 'filled' },
    },
    { page: 'listed.html', host: 'access.service.gov.uk', values: [Fitted.listed], message: 'filled', note: 'fittedList' },
    { page: 'short.html', values: [Fitted.short], message: 'filled', note: 'fittedBox' },
    { page: 'pattern.html', values: [Fitted.pattern], message: 'filled', note: 'fittedBox' },
    { page: 'numeric.html', values: [Fitted.numeric], message: 'filled', note: 'fittedBox' },
    // `rule`: typed into the popup's rule box first.
    { page: 'own.html', rule: OwnRule, values: [Fitted.own], message: 'filled', note: 'fittedUser' },
    {
        page: 'cut.html', values: [''], message: 'tooShort',
        then: { values: [Code.slice(0, 12)], message: 'filledShort' },
    },
];

// The settings under which every character of both codes must show: zoom
// (device pixels per CSS pixel) and the browser's default font size, up to
// the largest its settings offer by name ("very large", 24 px).
export const displays = [
    { zoom: 1, font: 16 },
    { zoom: 1.25, font: 16 },
    { zoom: 1.5, font: 16 },
    { zoom: 1, font: 24 },
];

// Evaluated in the popup: the boxes whose code does not fit, by id.
export function clippedCodes() {
    const right = document.body.getBoundingClientRect().right;
    return ['txtCode16', 'txtCode32'].filter((id) => {
        const box = document.getElementById(id);
        return box.value === '' || box.scrollWidth > box.clientWidth || box.getBoundingClientRect().right > right;
    });
}

// Evaluated in the popup: its language and a few of its texts, to compare
// with `expectedTexts` of a locale.
export function popupTexts() {
    const text = (selector) => document.querySelector(selector).textContent;
    return [document.documentElement.lang, text('label[for=txtPassword]'), text('#lblCopy'), text('#btnFill')];
}
export function expectedTexts(locale) {
    const m = messages(locale);
    return [m.lang.message, m.passwordLabel.message, m.copy.message, m.fill.message];
}

// axe-core, evaluated into a page rather than added as a script (the
// popup's policy allows only its own), and its serious and critical faults.
export const axeSource = readFileSync(createRequire(import.meta.url).resolve('axe-core/axe.min.js'), 'utf8');
export async function axeFaults() {
    const { violations } = await globalThis.axe.run(document);
    return violations
        .filter((v) => ['serious', 'critical'].includes(v.impact))
        .map((v) => `${v.id}: ${v.nodes.map((n) => n.target.join(' ')).join(', ')}`);
}

// A page of the browser's own store, where no extension may run a script:
// served by the test site under the store's name, refused all the same.
export const storeHost = { chromium: 'chromewebstore.google.com', firefox: 'addons.mozilla.org' };
