// The floor the web app's first load is measured against (bench/web.mjs,
// bench/web-trace.mjs): a page with two boxes and one module script that
// marks itself ready, written into a folder of its own to be served and
// loaded exactly as the app is. Returns the folder.
import { mkdtempSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

export function writeBlankPage() {
    const blank = mkdtempSync(join(tmpdir(), 'mnemora-blank-'));
    writeFileSync(`${blank}/index.html`,
        '<!DOCTYPE html><html><head><meta charset="utf-8"><title>blank</title>' +
        '<script type="module" src="ready.js"></script></head>' +
        '<body><p>blank</p><input id="txtPassword" type="password"><input id="txtKey"></body></html>');
    writeFileSync(`${blank}/ready.js`,
        "document.documentElement.dataset.ready = 'true'; performance.mark('mnemora-ready');");
    return blank;
}
