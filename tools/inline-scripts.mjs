#!/usr/bin/env node
// Writes each `<script data-inline="NAME"></script>` of a page as an inline
// script holding web/NAME, minified, and allows exactly that text in the
// page's Content-Security-Policy by its hash: the policy keeps refusing every
// other inline script. For the few lines that must run before the page's
// module can (web/boot.js).
//
//   node tools/inline-scripts.mjs build/web/index.html
import { createHash } from 'node:crypto';
import { readFileSync, writeFileSync } from 'node:fs';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

import { transformSync } from 'esbuild';

const web = join(resolve(dirname(fileURLToPath(import.meta.url)), '..'), 'web');
const page = process.argv[2];
const hashes = [];
let html = readFileSync(page, 'utf8').replace(/<script data-inline="([\w-]+\.js)"><\/script>/g, (_, name) => {
    const { code } = transformSync(readFileSync(join(web, name), 'utf8'), {
        minify: true,
        target: 'es2022',
        legalComments: 'none',
    });
    const text = code.trim();
    if (/<\/script|<!--/i.test(text))
        throw new Error(`${name} holds </script or <!--, which an inline script cannot carry`);
    hashes.push(`'sha256-${createHash('sha256').update(text, 'utf8').digest('base64')}'`);
    return `<script>${text}</script>`;
});
if (hashes.length) {
    let allowed = false;
    html = html.replace(/(<meta http-equiv="Content-Security-Policy" content="[^"]*script-src [^;"]*)/, (policy) => {
        allowed = true;
        return `${policy} ${hashes.join(' ')}`;
    });
    if (!allowed)
        throw new Error(`${page}: no script-src in the page's policy to allow its inline scripts in`);
}
writeFileSync(page, html);
