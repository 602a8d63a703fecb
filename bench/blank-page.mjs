// The floors the web app's first load is measured against (bench/web.mjs,
// bench/web-trace.mjs, bench/lighthouse.mjs), each written into a folder of
// its own to be served and loaded exactly as the app is:
// - the blank page: two boxes and one module script that marks itself ready;
// - the window's floor: the page's own window (its HTML, style sheet and
//   texts in the reader's language) with no script and no picture of its
//   own, and the blank page's script: what a first load would cost if the
//   page's code and pictures cost nothing.
// Each returns its site folder; beside it, host/nginx.conf is the built
// site's header file without its content policy, which allows the page's
// own inline scripts and style by their hashes and would refuse a floor's.
// removeFloors(...sites) deletes them; a site not written yet (null) is skipped.
import { existsSync, mkdirSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';

const ReadyScript = "document.documentElement.dataset.ready = 'true'; performance.mark('mnemora-ready');";

function floorFolder(builtSite) {
    const dir = mkdtempSync(join(tmpdir(), 'mnemora-floor-'));
    const site = join(dir, 'site');
    mkdirSync(site);
    mkdirSync(join(dir, 'host'));
    const headers = join(builtSite, '..', 'host', 'nginx.conf');
    if (existsSync(headers)) {
        const lines = readFileSync(headers, 'utf8').split('\n');
        writeFileSync(join(dir, 'host', 'nginx.conf'),
            lines.filter((line) => !line.includes('Content-Security-Policy')).join('\n'));
    }
    writeFileSync(join(site, 'ready.js'), ReadyScript);
    return site;
}

export function removeFloors(...sites) {
    for (const site of sites.filter(Boolean))
        rmSync(dirname(site), { recursive: true, force: true });
}

export function writeBlankPage(builtSite) {
    const site = floorFolder(builtSite);
    writeFileSync(join(site, 'index.html'),
        '<!DOCTYPE html><html><head><meta charset="utf-8"><title>blank</title>' +
        '<script type="module" src="ready.js"></script></head>' +
        '<body><p>blank</p><input id="txtPassword" type="password"><input id="txtKey"></body></html>');
    return site;
}

// The window as `browser` shows it once the page is parsed: the page is
// loaded with every request but its own refused, so that its inline scripts
// put its texts and language in place but no code or picture arrives, and
// then stripped of its scripts, links, policy and picture sources. A sheet
// picture's url() becomes `none`, which leaves the declaration without a
// picture, as a picture that never loads would.
export async function writeWindowFloor(browser, serveSite, builtSite) {
    const server = await serveSite({ root: builtSite, host: '127.0.0.254' });
    const page = await browser.newPage();
    let html;
    try {
        await page.setRequestInterception(true);
        page.on('request', (request) => (request.isNavigationRequest() ? request.continue() : request.abort()));
        await page.goto(`${server.origin}/`, { waitUntil: 'domcontentloaded' });
        html = await page.evaluate(() => {
            for (const element of document.querySelectorAll('script, link, meta[http-equiv]'))
                element.remove();
            for (const element of document.querySelectorAll('img, source')) {
                element.removeAttribute('src');
                element.removeAttribute('srcset');
            }
            for (const style of document.querySelectorAll('style'))
                style.textContent = style.textContent.replace(/url\([^)]*\)/g, 'none');
            const ready = document.createElement('script');
            ready.type = 'module';
            ready.src = 'ready.js';
            document.head.append(ready);
            return `<!DOCTYPE html>\n${document.documentElement.outerHTML}`;
        });
    } finally {
        await page.close();
        server.closeConnections();
        await server.stop();
    }
    const site = floorFolder(builtSite);
    writeFileSync(join(site, 'index.html'), html);
    return site;
}
