#!/usr/bin/env node
// Builds the extension from extension/, the web app's core (build/web) and the
// window's icons into build/extension/{chromium,firefox}, each unpacked and
// zipped beside it (the Firefox one as an unsigned .xpi).
//
//   node extension/build.mjs [build-dir]
import { execFileSync } from 'node:child_process';
import { chmodSync, cpSync, existsSync, mkdirSync, readFileSync, readdirSync, rmSync, statSync, utimesSync, writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));
const root = resolve(here, '..');
const build = resolve(process.argv[2] ?? join(root, 'build'));
const web = join(build, 'web');
const out = join(build, 'extension');

const sources = ['popup.html', 'popup.css', 'popup.js', 'frame.js', 'site.js', 'boxrule.js'];
const fromWeb = ['core.js', 'form.js', 'texts.js', 'language.js', 'description.js', 'sites.js', 'site-rules.js', 'mnemora.wasm'];
// The pictures the window's description says the extension carries.
const art = execFileSync('python3', [join(root, 'tools', 'gen-description.py'), 'pictures', 'extension'], {
    encoding: 'utf8',
})
    .trim()
    .split('\n');
// The window's colours and faces, which the popup's style sheet reads.
const descriptionCss = execFileSync('python3', [join(root, 'tools', 'gen-description.py'), 'css'], { encoding: 'utf8' });

for (const f of fromWeb) {
    if (!existsSync(join(web, f))) {
        console.error(`extension: ${join(web, f)} is missing: build the web app first (make web-build)`);
        process.exit(1);
    }
}

// The Public Suffix List as the lock file pins it, one self-contained module.
const require = createRequire(import.meta.url);
const tldtsDir = dirname(require.resolve('tldts/package.json'));
const tldts = readFileSync(join(tldtsDir, 'dist', 'index.esm.min.js'), 'utf8').replace(/\n\/\/# sourceMappingURL=.*\s*$/, '\n');
const tldtsVersion = JSON.parse(readFileSync(join(tldtsDir, 'package.json'), 'utf8')).version;

// The browsers' own _locales: the extension's texts (extension/_locales)
// with the texts the popup shares with the web app (web/texts.js) and the
// language's tag in `lang`, in each language both speak. A `$` in a shared text is written as the `$$` that
// stands for it in messages.json.
const { Texts } = await import(pathToFileURL(join(web, 'texts.js')).href);
const { Description } = await import(pathToFileURL(join(web, 'description.js')).href);
const locales = readdirSync(join(here, '_locales')).map((folder) => {
    const own = JSON.parse(readFileSync(join(here, '_locales', folder, 'messages.json'), 'utf8'));
    const lang = folder.replace('_', '-');
    const shared = Texts[lang];
    if (!shared) {
        throw new Error(`extension: web/texts.js has no texts for ${folder}`);
    }
    // `lang` names the table's language, for <html lang> and for web/texts.js.
    const messages = { ...own, lang: { message: lang } };
    for (const [key, text] of Object.entries(shared)) {
        if (typeof text !== 'string') {
            continue;
        }
        if (key in own) {
            throw new Error(`extension: "${key}" is both in _locales/${folder} and in web/texts.js`);
        }
        messages[key] = { message: text.replaceAll('$', '$$$$') };
    }
    return { folder, messages };
});

// The version is the project's, from package.json.
const { version } = JSON.parse(readFileSync(join(root, 'package.json'), 'utf8'));
const manifest = {
    ...JSON.parse(readFileSync(join(here, 'manifest.json'), 'utf8')),
    version,
    homepage_url: Description.links.home,
};
const flavours = {
    chromium: { manifest, archive: 'mnemora-chromium.zip' },
    firefox: {
        // Firefox needs an add-on id to install the package; it runs no
        // background script here either, and collects nothing. Saying so
        // (data_collection_permissions) needs Firefox 140, and 142 on Android.
        manifest: {
            ...manifest,
            browser_specific_settings: {
                gecko: {
                    id: 'mnemora@mnemora.example.org',
                    strict_min_version: '140.0',
                    data_collection_permissions: { required: ['none'] },
                },
                gecko_android: { strict_min_version: '142.0' },
            },
        },
        archive: 'mnemora-firefox.xpi',
    },
};


// Fixed times make the archives depend on the content alone.
const epoch = new Date(Number(process.env.SOURCE_DATE_EPOCH ?? 1331683200) * 1000);

mkdirSync(out, { recursive: true });
for (const [name, { manifest: m, archive }] of Object.entries(flavours)) {
    const dir = join(out, name);
    rmSync(dir, { recursive: true, force: true });
    mkdirSync(dir);
    for (const f of sources) cpSync(join(here, f), join(dir, f));
    writeFileSync(join(dir, 'popup.css'), descriptionCss + readFileSync(join(here, 'popup.css'), 'utf8'));
    for (const { folder, messages } of locales) {
        mkdirSync(join(dir, '_locales', folder), { recursive: true });
        writeFileSync(join(dir, '_locales', folder, 'messages.json'), `${JSON.stringify(messages, null, 2)}\n`);
    }
    for (const f of fromWeb) cpSync(join(web, f), join(dir, f));
    for (const f of art) cpSync(join(root, 'assets', 'art', f), join(dir, f));
    writeFileSync(join(dir, 'tldts.js'), `// tldts ${tldtsVersion} (MIT licence, see tldts.LICENSE)\n${tldts}`);
    cpSync(join(tldtsDir, 'LICENSE'), join(dir, 'tldts.LICENSE'));
    writeFileSync(join(dir, 'manifest.json'), `${JSON.stringify(m, null, 2)}\n`);

    const files = readdirSync(dir, { recursive: true }).sort();
    for (const f of files) {
        const path = join(dir, f);
        // zip keeps the mode, which the umask would decide
        chmodSync(path, statSync(path).isDirectory() ? 0o755 : 0o644);
        utimesSync(path, epoch, epoch);
    }
    rmSync(join(out, archive), { force: true });
    execFileSync('zip', ['-X', '-q', '-9', join(out, archive), ...files], { cwd: dir });
    console.log(`extension: ${join(out, name)}/ and ${join(out, archive)}`);
}
