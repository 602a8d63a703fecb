#!/usr/bin/env node
// Draws docs/extension.png: Chromium with the built extension under a private
// X server, its popup opened from the toolbar over the test site's login page
// reached as www.taobao.com, the password typed and the code filled in.
//
//   xvfb-run -a -s '-screen 0 1000x640x24' node tools/extension-screenshot.mjs [build-dir]
//
// after `make extension`; the screen is taken with ImageMagick's `import`.
import { execFileSync } from 'node:child_process';
import { resolve } from 'node:path';
import puppeteer from 'puppeteer-core';
import { startSite } from '../tests/extension/support.mjs';

const build = resolve(process.argv[2] ?? 'build');
const site = await startSite();
const browser = await puppeteer.launch({
    executablePath: '/usr/bin/chromium',
    headless: false,
    pipe: true,
    enableExtensions: true,
    defaultViewport: null,
    ignoreDefaultArgs: ['--enable-automation'],
    args: ['--no-sandbox', '--host-resolver-rules=MAP * 127.0.0.1', '--ignore-certificate-errors', '--no-first-run',
        '--disable-background-networking', '--window-position=0,0', '--window-size=1000,640',
        // Keeps the unsupported-flag bar away from the picture.
        '--test-type'],
});
try {
    const id = await browser.installExtension(resolve(build, 'extension', 'chromium'));
    const extension = (await browser.extensions()).get(id);
    const [page] = await browser.pages();
    await page.goto(site.https('www.taobao.com', 'login.html'));
    await page.focus('#pw');
    await page.triggerExtensionAction(extension);
    const target = await browser.waitForTarget((t) => t.url() === `chrome-extension://${id}/popup.html`);
    const popup = await target.asPage();
    await popup.waitForFunction(() => document.documentElement.dataset.ready === 'true');
    await popup.type('#txtPassword', 'test');
    await popup.click('#btnFill');
    await popup.waitForFunction(() => document.getElementById('message').textContent !== '');
    await popup.mouse.move(5, 5);
    await new Promise((done) => setTimeout(done, 800));
    execFileSync('import', ['-window', 'root', resolve('docs', 'extension.png')]);
} finally {
    await browser.close();
    await site.close();
}
