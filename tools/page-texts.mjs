#!/usr/bin/env node
// Writes the script that puts the reader's language into the page as it is
// parsed: the texts the page names (data-t, data-t-title, …) in each
// language other than the default, which the page carries already, with
// the language rule (language.js) and texts.js's own localise().
// tools/inline-page.mjs writes it at the end of the page's body, allowed by
// its hash, so that it runs before the page is first laid out: a reader of another language is never shown,
// laid out and fontified in the default language first, and the page's
// module has no texts left to change.
//
//   node tools/page-texts.mjs web/index.html build/web-modules/texts.js >build/web-modules/page-texts.js
import { readFileSync } from 'node:fs';
import { dirname, join, resolve } from 'node:path';
import { pathToFileURL } from 'node:url';
import { runInNewContext } from 'node:vm';

const [page, textsModule] = process.argv.slice(2);
const { DefaultLanguage, Texts, localise } = await import(pathToFileURL(resolve(textsModule)).href);
const { chooseLanguage } = await import(pathToFileURL(resolve(join(dirname(textsModule), 'language.js'))).href);

const keys = [...new Set(Array.from(readFileSync(page, 'utf8').matchAll(/\sdata-t(?:-[a-z-]+)?="([^"]+)"/g), (m) => m[1]))].sort();
// Every language is a key of the table, as the language rule asks; the
// default's texts are in the page already.
const table = Object.fromEntries(Object.entries(Texts).map(([lang, texts]) => [lang, lang === DefaultLanguage ? null
    : Object.fromEntries(keys.map((key) => {
        if (typeof texts[key] !== 'string')
            throw new Error(`${page} names the text "${key}", which ${lang} lacks`);
        return [key, texts[key]];
    }))]));

// A classic script's names are global: the block keeps its own.
const script = `{
const DefaultLanguage = ${JSON.stringify(DefaultLanguage)};
const Texts = ${JSON.stringify(table)};
const chooseLanguage = ${chooseLanguage};
const localise = ${localise};
const lang = chooseLanguage(navigator.languages ?? [], Object.keys(Texts), DefaultLanguage);
if (Texts[lang])
    localise(document, lang, Texts[lang]);
}
`;

// The functions are taken as their text: one that names anything outside
// itself would fail in the page, so the script is tried here first, for
// each language, on a page without elements.
for (const lang of Object.keys(Texts)) {
    const document = { documentElement: { lang: DefaultLanguage }, querySelectorAll: () => [] };
    runInNewContext(script, { document, navigator: { languages: [lang] } });
    if (document.documentElement.lang !== lang)
        throw new Error(`the page's texts script put ${document.documentElement.lang} in place of ${lang}`);
}
process.stdout.write(script);
