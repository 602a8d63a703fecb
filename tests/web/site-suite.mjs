// The page as the world meets it: in each language it speaks, checked by
// axe-core at phone and desktop widths; inside another site's frame; served
// by Debian's nginx with the headers the build writes for hosts; and a new
// version deployed under a returning visitor.
import assert from 'node:assert/strict';
import { cpSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { pathToFileURL } from 'node:url';
import { after, before, describe, test } from 'node:test';

import { serveSite, serveWithNginx, siteDir } from './support.mjs';

// The texts as built, from the window's description.
const { DefaultLanguage, Texts } = await import(pathToFileURL(join(siteDir(), 'texts.js')).href);
const { Description } = await import(pathToFileURL(join(siteDir(), 'description.js')).href);

// The pictures drawn per language, by name: a language's drawing is
// name-<language>.gif (with its renditions), the default language's name.gif.
const drawn = Object.values(Description.pictureIn).flatMap((languages) =>
    Object.entries(languages).map(([language, { src }]) => src.match(new RegExp(`/(.+)-${language}\\.`))[1]));
const drawingName = (url) => url.match(/\/art\/([^/.@]+?)(?:-\d+w)?(?:@\dx)?\.\w+$/)?.[1] ?? '';
function drawingLanguage(url) {
    const name = drawingName(url);
    const language = Object.keys(Texts).find((l) => name.endsWith(`-${l}`));
    return language ?? (drawn.includes(name) ? DefaultLanguage : null);
}

const axeSource = readFileSync(createRequire(import.meta.url).resolve('axe-core/axe.min.js'), 'utf8');
const Long = 'x'.repeat(32768); // one byte over the longest text the core derives from

async function ready(page, url) {
    await page.goto(url);
    await page.waitForSelector('html[data-ready]');
}

// Typed text as an input method inserts it, in one piece.
async function insertText(page, id, text) {
    await page.$eval(`#${id}`, (e) => e.blur());
    await page.focus(`#${id}`);
    await page.evaluate((t) => document.execCommand('insertText', false, t), text);
}

// launch(languages): a browser asking pages for `languages`. defaultBrowser:
// one already open that asks for the default language.
export function siteSuite({ launch, defaultBrowser }) {
    let site;
    before(async () => (site = await serveSite()));
    after(() => {
        site?.closeConnections();
        return site?.stop();
    });

    // The English browser names a region only, as most do.
    for (const [languages, language] of [['zh-CN', 'zh-CN'], ['en-US', 'en']]) {
        describe(`a browser that asks for ${languages}`, () => {
            let browser;
            let page;
            before(async () => {
                browser = language === DefaultLanguage ? defaultBrowser() : await launch(languages);
                page = await browser.newPage();
            });
            after(() => (language === DefaultLanguage ? page?.close() : browser?.close()));

            test(`the page speaks ${language}, fetches no other language's drawing, and says why the codes are empty for a text too long, only then`, async () => {
                await page.setViewport({ width: 800, height: 600 });
                const requested = [];
                const record = (request) => requested.push(request.url());
                page.on('request', record);
                await ready(page, `${site.origin}/`);
                await page.waitForNetworkIdle({ idleTime: 200 });
                page.off('request', record);
                const drawings = requested.filter(drawingLanguage);
                assert.ok(drawings.length >= 3, `${drawings}`);
                assert.deepEqual(drawings.filter((url) => drawingLanguage(url) !== language), []);
                // One rendition of each: the banner the head asks for is the one the page shows.
                assert.equal(new Set(drawings.map(drawingName)).size, drawings.length, `${drawings}`);
                const shown = await page.evaluate(() => ({
                    lang: document.documentElement.lang,
                    texts: [...document.querySelectorAll('[data-t]')].map((e) => [e.dataset.t, e.textContent]),
                    attributes: ['title', 'alt', 'aria-label', 'content'].flatMap((a) =>
                        [...document.querySelectorAll(`[data-t-${a}]`)].map((e) => [e.getAttribute(`data-t-${a}`), e.getAttribute(a)])),
                }));
                const texts = Texts[language];
                assert.equal(shown.lang, language);
                for (const [key, value] of [...shown.texts, ...shown.attributes])
                    assert.equal(value, texts[key], key);
                // The banner's slogan is drawn per language; each drawing
                // comes as WebP in several widths, which both browsers take.
                const banner = await page.$eval('#ImgLogo', (e) => e.complete && e.naturalWidth > 0 && e.currentSrc);
                const drawn = { 'zh-CN': /\/art\/logo(@2x|-\d+w)?\.webp$/, en: /\/art\/logo-en(@2x|-\d+w)?\.webp$/ };
                assert.match(banner, drawn[language]);
                // So is every painted caption: the donation button's, and the
                // panel's behind the boxes (an image-set of its renditions).
                const painted = await page.evaluate(() => [
                    document.querySelector('#ImgDonation img').currentSrc,
                    getComputedStyle(document.getElementById('PicContrl')).backgroundImage,
                ]);
                const own = language === DefaultLanguage ? '' : `-${language}`;
                assert.match(painted[0], new RegExp(`/art/donation${own}(@2x)?\\.(gif|png)$`));
                assert.match(painted[1], new RegExp(`/art/background${own}(@2x)?\\.(gif|png|webp)\\b`));
                // The boxes hold the derivation's lengths, from the description.
                assert.deepEqual(await page.evaluate(() => ['txtCode16', 'txtCode32'].map((id) => document.getElementById(id).maxLength)), [16, 32]);

                const codes = () => page.evaluate(() => ['txtCode16', 'txtCode32', 'codesNote']
                    .map((id) => document.getElementById(id)).map((e) => e.value ?? e.textContent));
                // Empty boxes, on a fresh page and with one box filled, say nothing.
                assert.deepEqual(await codes(), ['', '', '']);
                await insertText(page, 'txtPassword', 'test');
                assert.deepEqual(await codes(), ['', '', '']);
                await insertText(page, 'txtKey', Long);
                assert.deepEqual(await codes(), ['', '', texts.tooLong]);
                assert.equal(await page.$eval('#codesNote', (e) => e.checkVisibility()), true);
                await page.keyboard.press('Backspace');
                const [code16, code32, note] = await codes();
                assert.deepEqual([code16.length, code32.length, note], [16, 32, '']);
            });

            test('axe-core finds no serious or critical fault, and a top-level heading, at 360 and 660 px', async () => {
                for (const width of [360, 660]) {
                    await page.setViewport({ width, height: 720 });
                    await ready(page, `${site.origin}/`);
                    // Evaluated, not added as a script: the page's policy allows only its own.
                    await page.evaluate(axeSource);
                    const faults = await page.evaluate(async () => {
                        const { violations } = await globalThis.axe.run(document);
                        return violations
                            .filter((v) => ['serious', 'critical'].includes(v.impact) || v.id === 'page-has-heading-one')
                            .map((v) => `${v.id}: ${v.nodes.map((n) => n.target.join(' ')).join(', ')}`);
                    });
                    assert.deepEqual(faults, [], `at ${width} px`);
                }
                await page.setViewport({ width: 800, height: 600 });
            });

            if (language === DefaultLanguage)
                hosting(() => page);
        });
    }

    // In the default language's browser.
    function hosting(pageOf) {
        let page;
        before(() => (page = pageOf()));

        test('inside another site\'s frame the page takes no password and offers itself on its own', async () => {
            const framing = mkdtempSync(join(tmpdir(), 'mnemora-framing-'));
            writeFileSync(join(framing, 'index.html'),
                `<!DOCTYPE html><title>look-alike</title><iframe src="${site.origin}/" width="700" height="500"></iframe>`);
            const other = await serveSite({ root: framing, host: '127.0.0.2' });
            try {
                await page.goto(`${other.origin}/`);
                const frame = await (await page.waitForSelector('iframe')).contentFrame();
                await frame.waitForSelector('html[data-refused="framed"]');
                assert.deepEqual(await frame.$$eval('input', (e) => e.length), 0);
                const link = await frame.$eval('#status a', (a) => [a.href, a.target, a.textContent]);
                assert.deepEqual(link, [`${site.origin}/`, '_top', Texts['zh-CN'].openAlone]);
                await frame.click('#status a');
                await page.waitForFunction((origin) => location.origin === origin && document.documentElement.dataset.ready,
                    {}, site.origin);
            } finally {
                other.closeConnections();
                await other.stop();
                rmSync(framing, { recursive: true, force: true });
            }
        });

        test('served by nginx: the headers a host should send, and the page works under them', async () => {
            const nginx = await serveWithNginx();
            try {
                const html = readFileSync(join(siteDir(), 'index.html'), 'utf8');
                const pagePolicy = html.match(/http-equiv="Content-Security-Policy" content="([^"]+)"/)[1];
                for (const [path, type] of [['/', 'text/html'], ['/app.js', 'text/javascript'], ['/mnemora.wasm', 'application/wasm']]) {
                    const { headers } = await fetch(`${nginx.origin}${path}`);
                    assert.equal(headers.get('content-type').split(';')[0], type, path);
                    assert.equal(headers.get('content-security-policy'), `${pagePolicy}; frame-ancestors 'none'`, path);
                    assert.equal(headers.get('x-content-type-options'), 'nosniff', path);
                    assert.equal(headers.get('referrer-policy'), 'no-referrer', path);
                    assert.ok(Number(headers.get('strict-transport-security')?.match(/max-age=(\d+)/)?.[1]) >= 31536000, path);
                }
                await page.evaluateOnNewDocument(() => {
                    globalThis.violations = [];
                    document.addEventListener('securitypolicyviolation', (e) => globalThis.violations.push(e.violatedDirective));
                });
                await ready(page, `${nginx.origin}/`);
                await insertText(page, 'txtPassword', 'test');
                await insertText(page, 'txtKey', 'taobao');
                assert.equal(await page.$eval('#txtCode16', (e) => e.value), 'a20caCf8Eb1b8B6d');
                assert.deepEqual(await page.evaluate(() => globalThis.violations), []);
            } finally {
                await nginx.stop();
            }
        });

        test('a new version deployed reaches a returning visitor on the next load, and still opens offline', async () => {
            const deployed = mkdtempSync(join(tmpdir(), 'mnemora-deployed-'));
            cpSync(siteDir(), deployed, { recursive: true });
            const host = await serveSite({ root: deployed, host: '127.0.0.3' });
            try {
                await ready(page, `${host.origin}/`);
                await page.evaluate(async () => {
                    await navigator.serviceWorker.ready;
                    if (!navigator.serviceWorker.controller)
                        await new Promise((resolve) => navigator.serviceWorker.addEventListener('controllerchange', resolve));
                });
                // The next build: a changed page, and so a service worker of another version.
                const edit = (file, from, to) => {
                    const path = join(deployed, file);
                    const before = readFileSync(path, 'utf8');
                    assert.notEqual(before.replace(from, to), before, file);
                    writeFileSync(path, before.replace(from, to));
                };
                edit('index.html', '<title>Mnemora</title>', '<title>Mnemora next</title>');
                edit('sw.js', /^const Version = .*$/m, "const Version = 'next';");
                await ready(page, `${host.origin}/`);
                assert.equal(await page.title(), 'Mnemora next');

                // Offline once the new version is in place.
                await page.waitForFunction(async () => (await caches.keys()).join() === 'mnemora-next', { polling: 100 });
                host.closeConnections();
                await host.stop();
                await page.reload();
                await page.waitForSelector('html[data-ready]');
                assert.equal(await page.title(), 'Mnemora next');
            } finally {
                await host.stop();
                rmSync(deployed, { recursive: true, force: true });
            }
        });
    }
}
