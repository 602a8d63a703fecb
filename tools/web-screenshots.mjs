// Takes the README's pictures of the web app in headless Chromium: a desktop
// browser window and a 360 × 640 phone in Chinese, the phone in English, all
// with test / taobao typed; and the page refusing to work in another site's
// frame; and the site rules section open, in English, at both sizes, with
// a listed site chosen.
// Usage: node tools/web-screenshots.mjs build/web docs
import { mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';

const [site = 'build/web', out = 'docs'] = process.argv.slice(2);
process.env.MNEMORA_WEB_DIR = resolve(site);
const { launchChromium, serveSite } = await import('../tests/web/support.mjs');

const desktop = { width: 760, height: 580, deviceScaleFactor: 1 };
const phone = { width: 360, height: 640, deviceScaleFactor: 2, isMobile: true, hasTouch: true };

const server = await serveSite();
const framing = mkdtempSync(join(tmpdir(), 'mnemora-framing-'));
writeFileSync(join(framing, 'index.html'),
    `<!DOCTYPE html><title>look-alike</title><iframe src="${server.origin}/" width="700" height="220"></iframe>`);
const other = await serveSite({ root: framing, host: '127.0.0.2' });
try {
    for (const [languages, shots] of [
        ['zh-CN', [['web-desktop.png', desktop], ['web-phone.png', phone]]],
        ['en-GB,en', [['web-phone-en.png', phone], ['web-rules-desktop.png', desktop, true], ['web-rules-phone.png', phone, true]]],
    ]) {
        const browser = await launchChromium({ args: [`--accept-lang=${languages}`] });
        try {
            for (const [name, viewport, rules = false] of shots) {
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
                if (rules) {
                    await page.click('#siteRules summary');
                    await page.focus('#txtSite');
                    await page.keyboard.type('access.service.gov.uk');
                    await page.$eval('#txtSite', (e) => e.blur());
                    await page.$eval('#siteRules', (e) => e.scrollIntoView({ block: 'end' }));
                }
                await page.screenshot({ path: `${out}/${name}` });
                await page.close();
            }
            if (languages === 'zh-CN') {
                const page = await browser.newPage();
                await page.setViewport({ width: 720, height: 240, deviceScaleFactor: 1 });
                await page.goto(`${other.origin}/`);
                const frame = await (await page.waitForSelector('iframe')).contentFrame();
                await frame.waitForSelector('html[data-refused]');
                await page.screenshot({ path: `${out}/web-framed.png` });
                await page.close();
            }
        } finally {
            await browser.close();
        }
    }
} finally {
    await other.stop();
    await server.stop();
    rmSync(framing, { recursive: true, force: true });
}
