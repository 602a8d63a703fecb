#!/usr/bin/env node
// Draws the extension's pictures in docs/: Chromium with the built extension
// under a private X server, its popup opened from the toolbar over a page of
// the test site reached as www.taobao.com, the password typed and fill
// pressed:
//   extension.png          the login page, the code filled in (English)
//   extension-zh.png       the same in Chinese
//   extension-refusal.png  a box that takes 12 characters and a pattern no
//                          rule can say: nothing filled, the offer to fill
//                          the first 12
//   extension-fitted.png   a box with its own password rules: the fitted
//                          code filled, the rule in words, the plain code
//                          offered
//
//   xvfb-run -a -s '-screen 0 1000x640x24' node tools/extension-screenshot.mjs [build-dir]
//
// after `make extension`; the screen is taken with ImageMagick's `import`.
// Debian's Chromium carries only its English interface, so the Chinese
// picture comes from a copy of the package without English, which such a
// browser shows in the default language, Chinese.
import { execFileSync } from 'node:child_process';
import { cpSync, mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import puppeteer from 'puppeteer-core';
import { startSite } from '../tests/extension/support.mjs';

const build = resolve(process.argv[2] ?? 'build');
const chromiumPackage = resolve(build, 'extension', 'chromium');
const chineseOnly = mkdtempSync(join(tmpdir(), 'mnemora-zh-'));
cpSync(chromiumPackage, chineseOnly, { recursive: true });
rmSync(join(chineseOnly, '_locales', 'en'), { recursive: true });

const shots = [
    { file: 'extension.png', extension: chromiumPackage, page: 'login.html' },
    { file: 'extension-zh.png', extension: chineseOnly, page: 'login.html' },
    { file: 'extension-refusal.png', extension: chromiumPackage, page: 'cut.html' },
    { file: 'extension-fitted.png', extension: chromiumPackage, page: 'rules.html' },
];

const site = await startSite();
try {
    for (const shot of shots) {
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
            const id = await browser.installExtension(shot.extension);
            const extension = (await browser.extensions()).get(id);
            const [page] = await browser.pages();
            await page.goto(site.https('www.taobao.com', shot.page));
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
            execFileSync('import', ['-window', 'root', resolve('docs', shot.file)]);
        } finally {
            await browser.close();
        }
    }
} finally {
    await site.close();
    rmSync(chineseOnly, { recursive: true, force: true });
}
