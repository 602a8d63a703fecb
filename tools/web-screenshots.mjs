// Takes the README's pictures of the web app in headless Chromium: a desktop
// browser window and a 360 × 640 phone, both with test / taobao typed.
// Usage: node tools/web-screenshots.mjs build/web docs
import { resolve } from 'node:path';

const [site = 'build/web', out = 'docs'] = process.argv.slice(2);
process.env.MNEMORA_WEB_DIR = resolve(site);
const { launchChromium, serveSite } = await import('../tests/web/support.mjs');

const server = await serveSite();
const browser = await launchChromium();
try {
    const shots = [
        ['web-desktop.png', { width: 760, height: 580, deviceScaleFactor: 1 }],
        ['web-phone.png', { width: 360, height: 640, deviceScaleFactor: 2, isMobile: true, hasTouch: true }],
    ];
    for (const [name, viewport] of shots) {
        const page = await browser.newPage();
        await page.setViewport(viewport);
        await page.goto(`${server.origin}/`);
        await page.waitForSelector('html[data-ready]');
        await page.focus('#txtPassword');
        await page.keyboard.type('test');
        await page.focus('#txtKey');
        await page.keyboard.type('taobao');
        await page.waitForFunction(() => document.getElementById('strength').textContent !== '', { timeout: 10000 });
        await page.$eval('#txtKey', (e) => e.blur());
        await page.screenshot({ path: `${out}/${name}` });
        await page.close();
    }
} finally {
    await browser.close();
    await server.stop();
}
