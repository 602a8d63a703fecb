// Shared by the web suites: the built site, a server for it that can be
// stopped, and the two browsers, Debian's own, launched without a download.
import { spawn } from 'node:child_process';
import { existsSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { createServer } from 'node:http';
import { createServer as createNetServer } from 'node:net';
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
    '.webp': 'image/webp',
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

async function freePort(host) {
    const probe = createNetServer();
    await new Promise((resolve) => probe.listen(0, host, resolve));
    const { port } = probe.address();
    await new Promise((resolve) => probe.close(resolve));
    return port;
}

// Debian's nginx over the site, with the headers the build wrote for hosts
// (build/host/nginx.conf beside the site), in one process of this user, its
// configuration and prefix in a folder of its own. Throws when nginx does not
// start or answer.
export async function serveWithNginx({ root = siteDir(), host = '127.0.0.1' } = {}) {
    const snippet = join(root, '..', 'host', 'nginx.conf');
    if (!existsSync(snippet))
        throw new Error(`${snippet} is missing (make web-build)`);
    const prefix = mkdtempSync(join(tmpdir(), 'mnemora-nginx-'));
    const port = await freePort(host);
    writeFileSync(join(prefix, 'nginx.conf'), `
daemon off;
master_process off;
pid ${prefix}/nginx.pid;
error_log stderr;
events {}
http {
    access_log off;
    client_body_temp_path ${prefix}/body;
    proxy_temp_path ${prefix}/proxy;
    fastcgi_temp_path ${prefix}/fastcgi;
    uwsgi_temp_path ${prefix}/uwsgi;
    scgi_temp_path ${prefix}/scgi;
    server {
        listen ${host}:${port};
        root ${root};
        include ${snippet};
    }
}
`);
    const nginx = spawn('/usr/sbin/nginx', ['-e', 'stderr', '-p', prefix, '-c', join(prefix, 'nginx.conf')],
        { stdio: ['ignore', 'ignore', 'pipe'] });
    let errors = '';
    nginx.stderr.on('data', (chunk) => (errors += chunk));
    const exited = new Promise((resolve) => nginx.on('close', resolve));
    nginx.on('error', (error) => (errors += error.message));
    const origin = `http://${host}:${port}`;
    const stop = async () => {
        nginx.kill();
        await exited;
        rmSync(prefix, { recursive: true, force: true });
    };
    for (const deadline = Date.now() + 20000; ; await new Promise((resolve) => setTimeout(resolve, 100))) {
        if (nginx.exitCode !== null || errors.includes('spawn'))
            throw new Error(`nginx did not start: ${errors}`);
        try {
            await fetch(`${origin}/`);
            return { origin, stop };
        } catch (error) {
            if (Date.now() > deadline) {
                await stop();
                throw new Error(`nginx does not answer on ${origin}: ${errors || error.message}`, { cause: error });
            }
        }
    }
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
