#!/usr/bin/env node
// Builds the offline edition: the built web app (tools/build-web) as one HTML
// file that works opened from disk, with no server and no network.
//
//   node tools/build-offline.mjs [web-dir] [out-file]
//
// Whatever the page references is taken into it: the stylesheet as a <style>
// (its pictures as data: URLs), the module script with everything it imports
// as one inline module, pictures as data: URLs, and every file of the site
// that the scripts name (the WebAssembly core, the estimator) as a data block
// that web/files.js reads (scripts as text, other files in base64). Links that would only fetch (manifest, preloads)
// go; so does the service worker, which a file cannot have. The page's
// Content-Security-Policy keeps its directives, with 'self' replaced by the
// hashes of the inline parts (scripts, styles) or data: (pictures) or nothing.
// A reference the builder cannot take in is an error, never a silent fetch.
import { createHash } from 'node:crypto';
import { existsSync, mkdirSync, readFileSync, readdirSync, statSync, writeFileSync } from 'node:fs';
import { dirname, extname, join, posix, relative, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

import { build } from 'esbuild';

const root = resolve(dirname(fileURLToPath(import.meta.url)), '..');
const web = resolve(process.argv[2] ?? join(root, 'build', 'web'));
const out = resolve(process.argv[3] ?? join(root, 'build', 'offline', 'mnemora.html'));

const Types = {
    '.png': 'image/png',
    '.gif': 'image/gif',
    '.jpg': 'image/jpeg',
    '.jpeg': 'image/jpeg',
    '.svg': 'image/svg+xml',
    '.webp': 'image/webp',
    '.ico': 'image/x-icon',
    '.woff2': 'font/woff2',
};

function fail(message) {
    console.error(`build-offline: ${message}`);
    process.exit(1);
}

if (!existsSync(join(web, 'index.html')))
    fail(`${web}/index.html is missing: build the web app first (make web-build)`);

const sha256 = (text) => `'sha256-${createHash('sha256').update(text, 'utf8').digest('base64')}'`;
const isLocal = (ref) => !/^[a-z][a-z0-9+.-]*:|^\/\/|^#/i.test(ref);

// A path of the site from a reference made inside `from` (a path of the site).
function sitePath(ref, from = 'index.html') {
    const path = posix.normalize(posix.join(posix.dirname(from), ref.split(/[?#]/)[0]));
    if (path.startsWith('..') || !existsSync(join(web, path)) || !statSync(join(web, path)).isFile())
        fail(`${from} names ${ref}, which is not a file of the site`);
    return path;
}

function dataUrl(path) {
    const type = Types[extname(path).toLowerCase()];
    if (!type)
        fail(`no type known for ${path}`);
    return `data:${type};base64,${readFileSync(join(web, path)).toString('base64')}`;
}

const srcsetToData = (value, from) =>
    value
        .split(',')
        .map((candidate) => {
            const [ref, ...descriptors] = candidate.trim().split(/\s+/);
            return [isLocal(ref) ? dataUrl(sitePath(ref, from)) : ref, ...descriptors].join(' ');
        })
        .join(', ');

const cssToData = (css, from) =>
    css.replace(/url\(\s*(["']?)([^"')]+)\1\s*\)/g, (whole, quote, ref) =>
        isLocal(ref) ? `url("${dataUrl(sitePath(ref, from))}")` : whole,
    );

// The text must reach the DOM unchanged, or its hash would not match: nothing
// that ends or escapes the element, no carriage return (the parser turns CR LF
// into LF) and no NUL.
function assertEmbeddable(text, tag, what) {
    if (new RegExp(`</${tag}|<!--|[\\r\\0]`, 'i').test(text))
        fail(`${what} contains </${tag}, <!--, CR or NUL, which an inline <${tag}> cannot carry as it is`);
    return text;
}

// Start tags, their attributes, and how to write them back.
const attrPattern = /([^\s"'>/=]+)(?:\s*=\s*(?:"([^"]*)"|'([^']*)'|([^\s"'>]+)))?/g;
function parseAttributes(text) {
    const attributes = new Map();
    for (const m of text.matchAll(attrPattern))
        attributes.set(m[1].toLowerCase(), m[2] ?? m[3] ?? m[4] ?? null);
    return attributes;
}
const escapeAttribute = (value) => value.replace(/&/g, '&amp;').replace(/"/g, '&quot;');
function startTag(name, attributes) {
    const parts = [...attributes].map(([k, v]) => (v === null ? k : `${k}="${escapeAttribute(v)}"`));
    return `<${[name, ...parts].join(' ')}>`;
}
// Attribute values are HTML-escaped in the source.
const unescapeAttribute = (value) =>
    value.replace(/&quot;/g, '"').replace(/&#39;/g, "'").replace(/&lt;/g, '<').replace(/&gt;/g, '>').replace(/&amp;/g, '&');

const inline = { script: [], style: [] };
const runtimeFiles = new Set();
let entry = null;

let html = readFileSync(join(web, 'index.html'), 'utf8');

// Removes <script ...></script> pairs of external scripts, so that the
// rewritten start tag below can carry the inline text.
html = html.replace(/<script\b([^>]*)>\s*<\/script>/gi, (whole, attrs) => {
    const attributes = parseAttributes(attrs);
    const src = attributes.get('src');
    if (!src || !isLocal(src))
        return whole;
    const path = sitePath(unescapeAttribute(src));
    if (attributes.get('type') === 'module') {
        if (entry)
            fail('more than one module script: the page has one entry point');
        entry = path;
        return '<!--module-->';
    }
    const text = assertEmbeddable(readFileSync(join(web, path), 'utf8'), 'script', path);
    inline.script.push(text);
    attributes.delete('src');
    return `${startTag('script', attributes)}${text}</script>`;
});

// A style sheet the page carries already (tools/inline-page.mjs) gets its
// pictures inside it too; the policy allows it by its new hash.
html = html.replace(/<style>([\s\S]*?)<\/style>/gi, (_, text) => {
    const css = assertEmbeddable(cssToData(text, 'index.html'), 'style', 'the page\'s style');
    inline.style.push(css);
    return `<style>${css}</style>`;
});

let policyTag = null;
html = html.replace(/<(img|source|link|meta|a|iframe|video|audio|object|embed|input)\b([^>]*?)\/?>/gi, (whole, name, attrs) => {
    const tag = name.toLowerCase();
    const attributes = parseAttributes(attrs);
    if (tag === 'meta') {
        if ((attributes.get('http-equiv') ?? '').toLowerCase() !== 'content-security-policy')
            return whole;
        policyTag = unescapeAttribute(attributes.get('content'));
        return '<!--policy-->';
    }
    if (tag === 'a')
        return whole; // links are navigations the user chooses, not loads
    if (!['src', 'srcset', 'poster', 'data', 'href'].some((key) => attributes.has(key)))
        return whole;
    if (tag === 'link') {
        const rel = (attributes.get('rel') ?? '').toLowerCase().split(/\s+/);
        const href = unescapeAttribute(attributes.get('href') ?? '');
        if (!isLocal(href))
            fail(`the page links to ${href}, which the offline edition cannot carry`);
        const path = sitePath(href);
        if (rel.includes('stylesheet')) {
            const css = assertEmbeddable(cssToData(readFileSync(join(web, path), 'utf8'), path), 'style', path);
            inline.style.push(css);
            return `<style>${css}</style>`;
        }
        if (rel.some((r) => r.endsWith('icon'))) {
            attributes.set('href', dataUrl(path));
            return startTag(tag, attributes);
        }
        // Preloads, module preloads, the app manifest: they only fetch. A
        // preloaded file is one the scripts load, so it comes along.
        if (rel.includes('preload'))
            runtimeFiles.add(path);
        return '';
    }
    for (const key of ['src', 'srcset', 'poster', 'data']) {
        const value = attributes.get(key);
        if (value === undefined || value === null)
            continue;
        const plain = unescapeAttribute(value);
        if (key === 'srcset')
            attributes.set(key, srcsetToData(plain, 'index.html'));
        else if (isLocal(plain))
            attributes.set(key, dataUrl(sitePath(plain)));
    }
    return startTag(tag, attributes);
});

if (!entry)
    fail('the page has no module script');
if (!policyTag)
    fail('the page has no Content-Security-Policy');

// The module with everything it imports, as one module.
const bundled = await build({
    entryPoints: [join(web, entry)],
    bundle: true,
    format: 'esm',
    write: false,
    charset: 'utf8',
    legalComments: 'inline',
    logLevel: 'error',
});
const sources = bundled.outputFiles[0].text;
const moduleText = assertEmbeddable(sources, 'script', entry);
inline.script.push(moduleText);
html = html.replace('<!--module-->', () => `<script type="module">${moduleText}</script>`);

// Files the scripts name by their path in the site: a service worker is left
// out (a page from disk cannot have one, and web/files.js registers none).
const serviceWorkers = new Set(
    [...sources.matchAll(/serviceWorker\s*\.\s*register\(\s*(["'`])([^"'`]+)\1/g)].map((m) => m[2]),
);
const siteFiles = new Set(
    readdirSync(web, { recursive: true })
        .map((f) => f.split('\\').join('/'))
        .filter((f) => statSync(join(web, f)).isFile()),
);
for (const m of sources.matchAll(/(["'`])([\w@./-]+)\1/g)) {
    const path = posix.normalize(m[2]);
    if (siteFiles.has(path) && !serviceWorkers.has(path) && path !== entry && extname(path) !== '.html')
        runtimeFiles.add(path);
}

// Scripts go in as they are (they run as inline scripts, so the policy gets
// their hashes); anything else in base64.
const blocks = [...runtimeFiles].sort().map((path) => {
    const bytes = readFileSync(join(web, path));
    const file = escapeAttribute(path);
    if (extname(path) !== '.js')
        return `<script type="application/octet-stream" data-file="${file}">${bytes.toString('base64')}</script>`;
    const text = bytes.toString('utf8');
    if (!Buffer.from(text, 'utf8').equals(bytes) || text.charCodeAt(0) === 0xfeff)
        fail(`${path} is not plain UTF-8 without a byte order mark`);
    inline.script.push(assertEmbeddable(text, 'script', path));
    return `<script type="text/plain" data-file="${file}">${text}</script>`;
});
html = html.replace(/<\/body>/i, () => `${blocks.join('\n')}\n</body>`);

// The page's own policy, for a page that loads nothing: 'self' becomes the
// inline parts' hashes for scripts and styles, data: for pictures, and
// nothing elsewhere; a directive left empty allows nothing.
const hashes = {
    'script-src': [...new Set(inline.script.map(sha256))],
    'style-src': [...new Set(inline.style.map(sha256))],
    'img-src': ['data:'],
};
const policy = policyTag
    .split(';')
    .map((d) => d.trim().split(/\s+/))
    .filter(([name]) => name)
    .map(([name, ...sources]) => {
        // The page's own hashes of its styles are for their text before
        // their pictures went inside them.
        const own = (s) => name === 'style-src' && s.startsWith("'sha256-");
        const kept = sources.flatMap((s) => (s === "'self'" ? (hashes[name] ?? []) : own(s) ? [] : [s]));
        if (sources.includes("'unsafe-inline'"))
            fail(`${name} allows 'unsafe-inline'`);
        return [name, ...(kept.length ? kept : ["'none'"])].join(' ');
    })
    .join('; ');
for (const needed of ['script-src', 'style-src', 'img-src'])
    if (!policy.split('; ').some((d) => d.startsWith(`${needed} `)))
        fail(`the page's policy has no ${needed}, so the inline parts would fall back to default-src`);
html = html.replace('<!--policy-->', () => `<meta http-equiv="Content-Security-Policy" content="${escapeAttribute(policy)}">`);

mkdirSync(dirname(out), { recursive: true });
writeFileSync(out, html);
const kb = (statSync(out).size / 1024).toFixed(0);
console.log(`build-offline: ${relative(process.cwd(), out) || out} ready (${kb} KiB, ${runtimeFiles.size} files inside)`);
