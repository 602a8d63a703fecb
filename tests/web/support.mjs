// Shared by the web suites: the built site, a server for it that can be
// stopped, and the two browsers, Debian's own, launched without a download.
import { existsSync, mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { createServer } from 'node:http';
import { tmpdir } from 'node:os';
import { extname, join, normalize } from 'node:path';

import puppeteer from 'puppeteer-core';

export function siteDir() {
    const dir = process.env.MNEMORA_WEB_DIR;
    if (!dir || !existsSync(`${dir}/mnemora.wasm`))
        throw new Error('MNEMORA_WEB_DIR must name the built site (make web-build)');
    return dir;
}

const Types = {
    '.html': 'text/html; charset=utf-8',
    '.js': 'text/javascript; charset=utf-8',
    '.css': 'text/css; charset=utf-8',
    '.wasm': 'application/wasm',
    '.webmanifest': 'application/manifest+json',
    '.png': 'image/png',
    '.gif': 'image/gif',
    '.jpg': 'image/jpeg',
};

// A plain static server over the site (or another folder), as any host would
// be; it records the paths asked for. `host` may be any loopback address.
export async function serveSite({ root = siteDir(), host = '127.0.0.1' } = {}) {
    const paths = [];
    const server = createServer((request, response) => {
        const path = decodeURIComponent(new URL(request.url, 'http://x').pathname);
        paths.push(path);
        const file = join(root, normalize(path.endsWith('/') ? `${path}index.html` : path));
        if (!file.startsWith(root) || !existsSync(file)) {
            response.writeHead(404).end();
            return;
        }
        response.writeHead(200, { 'Content-Type': Types[extname(file)] ?? 'application/octet-stream' });
        response.end(readFileSync(file));
    });
    await new Promise((resolve) => server.listen(0, host, resolve));
    return {
        origin: `http://${host}:${server.address().port}`,
        paths,
        stop: () => new Promise((resolve) => server.close(resolve)),
        closeConnections: () => server.closeAllConnections(),
    };
}

function profileDir() {
    const dir = mkdtempSync(join(tmpdir(), 'mnemora-browser-'));
    process.on('exit', () => rmSync(dir, { recursive: true, force: true }));
    return dir;
}

// `extra` adds launch options; its `args` are added to the browser's own.
export function launchChromium({ args = [], ...extra } = {}) {
    return puppeteer.launch({
        executablePath: '/usr/bin/chromium',
        headless: true,
        userDataDir: profileDir(),
        args: [
            '--no-sandbox',
            '--disable-gpu',
            '--no-first-run',
            '--disable-background-networking',
            '--disable-component-update',
            '--disable-sync',
            ...args,
        ],
        ...extra,
    });
}

export function launchFirefox(extra = {}) {
    return puppeteer.launch({
        browser: 'firefox',
        protocol: 'webDriverBiDi',
        executablePath: '/usr/bin/firefox-esr',
        headless: true,
        userDataDir: profileDir(),
        ...extra,
    });
}
