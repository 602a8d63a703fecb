// Where a first load's time goes, from Chromium's own trace, beside the blank
// page's and the window floor's (bench/blank-page.mjs): each load on a loopback address the browser
// has not seen, as in bench/web.mjs, up to the later of the ready mark and
// the first contentful paint. It prints the CPU time (thread time, which
// other work on a shared machine hardly changes) of the page's main thread
// by phase and of its renderer's other threads (images, raster, script
// streaming, the core's compiling), and the font look-ups the page waited
// for (each a round trip to the browser process) with their wall time.
// Medians; tracing itself slows the page, so these are for comparing
// changes, not for the targets bench/web.mjs checks.
// Usage: node bench/web-trace.mjs build/web [loads]
import { mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { loadavg, tmpdir } from 'node:os';
import { join, resolve } from 'node:path';

import { removeFloors, writeBlankPage, writeWindowFloor } from './blank-page.mjs';

const site = resolve(process.argv[2] ?? 'build/web');
const Loads = Number(process.argv[3] ?? 9);
process.env.MNEMORA_WEB_DIR = site;
const { launchChromium, serveSite } = await import('../tests/web/support.mjs');

const Categories = ['devtools.timeline', 'disabled-by-default-devtools.timeline', 'blink', 'blink.user_timing',
    'loading', 'v8', 'v8.wasm', 'toplevel', 'fonts'];
// Outermost events of the main thread, by phase.
const Phases = {
    'parse (with inline scripts)': /^ParseHTML$/,
    'style': /^UpdateLayoutTree$/,
    'layout': /^Layout$/,
    'paint': /^(PrePaint|Paint)$/,
    'module scripts': /^v8\.evaluateModule$/,
    'other scripts, callbacks': /^(FunctionCall|TimerFire|RunMicrotasks|EventDispatch)$/,
    'core compile, instantiate': /^(v8\.wasm\.compileConsume|wasm\.SyncInstantiate|wasm\.AsyncInstantiate)$/,
};
const FontLookUps = /^(FontDataManager::onMatchFamilyStyle|WebSandboxSupportLinux::GetWebFontRenderStyleForStrike|FontDataManager::onFallbackFontForCharacter)$/;

const ms = (us) => (us ?? 0) / 1000;
// Thread time of the outermost of the matching events.
function outermost(events, pattern) {
    let total = 0;
    let end = 0;
    for (const e of events.filter((x) => pattern.test(x.name))) {
        if (e.ts >= end) {
            total += ms(e.tdur ?? e.dur);
            end = e.ts + e.dur;
        }
    }
    return total;
}

function summarise(trace, until) {
    const events = JSON.parse(readFileSync(trace, 'utf8')).traceEvents;
    const paint = events.find((e) => e.name === 'firstContentfulPaint');
    const start = events.filter((e) => e.name === 'navigationStart' && e.pid === paint.pid && e.ts <= paint.ts)
        .sort((a, b) => b.ts - a.ts)[0];
    const end = start.ts + until * 1000;
    const renderer = events.filter((e) => e.pid === start.pid && e.ph === 'X' && e.ts >= start.ts && e.ts <= end)
        .sort((a, b) => a.ts - b.ts);
    const main = renderer.filter((e) => e.tid === start.tid);
    // Each thread's outermost tasks.
    const tasks = (list) => [...new Set(list.map((e) => e.tid))].reduce((sum, tid) => sum +
        outermost(list.filter((e) => e.tid === tid), /^ThreadControllerImpl::RunTask$|^ThreadPool_RunTask$|^TaskGraphRunner::RunTask$/), 0);
    const fonts = main.filter((e) => FontLookUps.test(e.name));
    return {
        'main thread CPU': tasks(main),
        ...Object.fromEntries(Object.entries(Phases).map(([name, pattern]) => [`  ${name}`, outermost(main, pattern)])),
        'other renderer threads CPU': tasks(renderer.filter((e) => e.tid !== start.tid)),
        'font look-ups (count)': fonts.length,
        'font look-ups, wall time': fonts.reduce((sum, e) => sum + ms(e.dur), 0),
    };
}

const blank = writeBlankPage(site);
let floor = null;
const traces = mkdtempSync(join(tmpdir(), 'mnemora-traces-'));
const browser = await launchChromium({ networkEnabled: false, issuesEnabled: false });
try {
    floor = await writeWindowFloor(browser, serveSite, site);
    const page = await browser.newPage();
    let address = 2;
    async function firstLoad(root, trace) {
        const server = await serveSite({ root, host: `127.0.0.${address++}` });
        try {
            await page.goto('about:blank');
            const path = join(traces, `${address}.json`);
            if (trace)
                await page.tracing.start({ path, categories: Categories });
            await page.goto(`${server.origin}/`);
            await page.waitForFunction(() => document.documentElement.dataset.ready &&
                performance.getEntriesByName('first-contentful-paint').length);
            const until = await page.evaluate(() => Math.max(performance.getEntriesByName('mnemora-ready')[0].startTime,
                performance.getEntriesByName('first-contentful-paint')[0].startTime));
            if (!trace)
                return null;
            await page.tracing.stop();
            return { 'interactive (traced)': until, ...summarise(path, until) };
        } finally {
            server.closeConnections();
            await server.stop();
        }
    }
    // As in bench/web.mjs, one untraced load of each first.
    await firstLoad(site, false);
    await firstLoad(blank, false);
    await firstLoad(floor, false);
    const rows = { site: [], floor: [], blank: [] };
    for (let i = 0; i < Loads; ++i) {
        rows.site.push(await firstLoad(site, true));
        rows.floor.push(await firstLoad(floor, true));
        rows.blank.push(await firstLoad(blank, true));
    }
    const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
    // window: the window's floor, without the page's code or pictures.
    console.log(`${'first load, medians of traced loads'.padEnd(40)}${['page', 'window', 'blank'].map((h) => h.padStart(10)).join('')}`);
    for (const key of Object.keys(rows.site[0])) {
        const unit = key.endsWith('(count)') ? '' : ' ms';
        const cells = [rows.site, rows.floor, rows.blank].map((r) => median(r.map((x) => x[key])).toFixed(unit ? 1 : 0) + unit);
        console.log(`${key.padEnd(40)}${cells.map((c) => c.padStart(10)).join('')}`);
    }
    console.log(`load average (1, 5, 15 min): ${loadavg().map((l) => l.toFixed(2)).join(', ')}`);
} finally {
    await browser.close();
    removeFloors(blank, floor);
    rmSync(traces, { recursive: true, force: true });
}
