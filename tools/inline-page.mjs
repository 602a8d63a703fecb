#!/usr/bin/env node
// Writes into a page, minified, what must not wait for a request of its own:
// each `<script data-inline="NAME"></script>` becomes an inline script
// holding web/NAME, and each `<link rel="stylesheet" href="NAME" data-inline>`
// a <style> holding web/NAME. The page's Content-Security-Policy allows
// exactly those texts by their hashes, and keeps refusing any other inline
// script or style. For the style sheet, which would otherwise hold the first
// paint back by a request, and the few lines that must run before the page's
// module can (web/boot.js). The texts are read from FOLDER, where the build
// has put them as the page takes them (web/ by default).
//
//   node tools/inline-page.mjs build/web/index.html [FOLDER]
import { createHash } from 'node:crypto';
import { readFileSync, writeFileSync } from 'node:fs';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

import { buildSync, transformSync } from 'esbuild';

const page = process.argv[2];
const web = process.argv[3] ?? join(resolve(dirname(fileURLToPath(import.meta.url)), '..'), 'web');
const hashes = { 'script-src': [], 'style-src': [] };

// A script comes with what it imports, in a function of its own.
function minified(name, loader) {
    const options = { minify: true, legalComments: 'none' };
    if (loader !== 'js')
        return transformSync(readFileSync(join(web, name), 'utf8'), { ...options, loader }).code;
    const built = buildSync({ ...options, entryPoints: [join(web, name)], bundle: true, format: 'iife', target: 'es2022',
        write: false, charset: 'utf8' });
    return built.outputFiles[0].text;
}

function inline(name, loader, directive, tag) {
    const text = minified(name, loader).trim();
    if (new RegExp(`</${tag}|<!--`, 'i').test(text))
        throw new Error(`${name} holds </${tag} or <!--, which an inline <${tag}> cannot carry`);
    hashes[directive].push(`'sha256-${createHash('sha256').update(text, 'utf8').digest('base64')}'`);
    return `<${tag}>${text}</${tag}>`;
}

let html = readFileSync(page, 'utf8')
    .replace(/<script data-inline="([\w-]+\.js)"><\/script>/g, (_, name) => inline(name, 'js', 'script-src', 'script'))
    .replace(/<link rel="stylesheet" href="([\w-]+\.css)" data-inline>/g, (_, name) =>
        inline(name, 'css', 'style-src', 'style'));
for (const [directive, allowed] of Object.entries(hashes)) {
    if (!allowed.length)
        continue;
    const policy = new RegExp(`(<meta http-equiv="Content-Security-Policy" content="[^"]*${directive} [^;"]*)`);
    if (!policy.test(html))
        throw new Error(`${page}: no ${directive} in the page's policy to allow its inline parts in`);
    html = html.replace(policy, (directives) => `${directives} ${allowed.join(' ')}`);
}
writeFileSync(page, html);
