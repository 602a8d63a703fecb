// Lighthouse (pinned in package.json) over the web app as a host serves it:
// Debian's nginx with the header file the build writes (build/host/nginx.conf),
// audited in Debian's Chromium under the mobile preset (a simulated phone on a
// slow network) and the desktop preset. Targets: 100 in every category on
// both, and the largest paint within 1 s on the phone. Prints every category,
// the paints, and each audit that cost points; exits non-zero on a miss.
// Beside them, the phone preset's figures for the floors (bench/blank-page.mjs)
// served the same way: the blank page, and the window without the page's
// code or pictures.
// Usage: node bench/lighthouse.mjs build/web
import { loadavg } from 'node:os';
import { resolve } from 'node:path';

import lighthouse from 'lighthouse';

import { removeFloors, writeBlankPage, writeWindowFloor } from './blank-page.mjs';
import desktopConfig from 'lighthouse/core/config/desktop-config.js';

const site = resolve(process.argv[2] ?? 'build/web');
process.env.MNEMORA_WEB_DIR = site;
const { launchChromium, serveSite, serveWithNginx } = await import('../tests/web/support.mjs');

const Presets = [
    ['mobile', undefined, 1000],
    ['desktop', desktopConfig, undefined],
];

let missed = false;
// target: its text and whether it was met, or nothing for a figure shown as it is.
const line = (name, value, target) => {
    if (target && !target.met)
        missed = true;
    const verdict = target ? `(target ${target.text}) ${target.met ? 'ok' : 'MISSED'}` : '';
    console.log(`${name.padEnd(52)} ${String(value).padStart(6)}  ${verdict}`);
};

const browser = await launchChromium({ args: ['--remote-debugging-port=0'] });
const server = await serveWithNginx({ root: site });
try {
    const port = Number(new URL(browser.wsEndpoint()).port);
    for (const [preset, config, paintLimit] of Presets) {
        const { lhr } = await lighthouse(`${server.origin}/`, { port, output: 'json', logLevel: 'error' }, config);
        if (lhr.runtimeError) {
            // A busy machine can spoil a trace; the other preset still reports.
            console.log(`Lighthouse ${preset}: no figures: ${lhr.runtimeError.message}`);
            missed = true;
            continue;
        }
        for (const category of Object.values(lhr.categories)) {
            const score = Math.round(category.score * 100);
            line(`Lighthouse ${preset}: ${category.title}`, score, { text: '100', met: score === 100 });
        }
        const paint = (id) => Math.round(lhr.audits[id].numericValue);
        line(`Lighthouse ${preset}: first contentful paint (ms)`, paint('first-contentful-paint'));
        const largest = paint('largest-contentful-paint');
        line(`Lighthouse ${preset}: largest contentful paint (ms)`, largest,
            paintLimit && { text: `≤ ${paintLimit}`, met: largest <= paintLimit });
        for (const audit of Object.values(lhr.audits)) {
            if (audit.score !== null && audit.score < 1 && audit.scoreDisplayMode !== 'informative'
                && audit.scoreDisplayMode !== 'manual')
            {
                const items = (audit.details?.items ?? []).map((item) => item.url).filter(Boolean);
                console.log(`  ${preset}: ${audit.id}: ${audit.displayValue ?? ''} ${audit.title}`
                    + (items.length ? ` (${items.map((url) => url.replace(/^.*\//, '')).join(', ')})` : ''));
            }
        }
    }
    const floors = [['the blank page', writeBlankPage(site)], ['the window without code or pictures',
        await writeWindowFloor(browser, serveSite, site)]];
    // Each in a browser of its own, as the page's first audit is: a page
    // audited after others in the same browser was charged for their
    // leftovers (a blank page with 400 ms of blocking time).
    for (const [name, root] of floors) {
        const floor = await serveWithNginx({ root });
        const own = await launchChromium({ args: ['--remote-debugging-port=0'] });
        try {
            const { lhr } = await lighthouse(`${floor.origin}/`,
                { port: Number(new URL(own.wsEndpoint()).port), output: 'json', logLevel: 'error' });
            const figure = (id) => Math.round(lhr.audits[id]?.numericValue ?? NaN);
            line(`  mobile, ${name}: performance`, Math.round((lhr.categories.performance?.score ?? NaN) * 100));
            line(`  mobile, ${name}: largest paint (ms)`, figure('largest-contentful-paint'));
            line(`  mobile, ${name}: blocking time (ms)`, figure('total-blocking-time'));
        } finally {
            await own.close();
            await floor.stop();
            removeFloors(root);
        }
    }
    console.log(`load average (1, 5, 15 min): ${loadavg().map((l) => l.toFixed(2)).join(', ')}`);
} finally {
    await server.stop();
    await browser.close();
}
process.exitCode = missed ? 1 : 0;
