// Every text the web app and the extension's popup show or say, in each
// language they speak, from the window's description (assets/layout.json,
// written out as description.js by tools/gen-description.py). Simplified
// Chinese is the default; the browser's preferred languages
// (navigator.languages) choose another.
//
// The page carries keys, not texts: `data-t="key"` names an element's text,
// `data-t-title`, `data-t-alt`, `data-t-aria-label` and `data-t-content`
// its attributes, `data-link` the description's link an anchor opens
// (`data-link-title` its title).
// tools/build-web writes the default language into the built page
// (`fillPage`), and the page puts another in place when the browser asks for
// it (`localise`).

import { Description } from './description.js';
import { chooseLanguage as choose } from './language.js';

export const DefaultLanguage = Description.defaultLanguage;

// The lines the page fills in, and the names of their blanks in the order
// the functions made of them take their values.
const Templates = {
    strengthLine: ['word', 'log10'],
    siteListed: ['domain'],
    ruleInWords: ['words', 'bits'],
    ruleError: ['part', 'error'],
};

// The description's tables, with the lines the page fills in made functions
// and the copyright line (the same in every language) beside them.
export const Texts = Object.fromEntries(
    Object.entries(Description.texts).map(([lang, texts]) => [
        lang,
        {
            ...texts,
            copyright: Description.copyright,
            ...Object.fromEntries(
                Object.entries(Templates).map(([key, names]) => [
                    key,
                    (...values) => names.reduce((line, name, i) => line.replace(`{${name}}`, String(values[i])), texts[key]),
                ]),
            ),
        },
    ]),
);

// The first of the browser's languages that has texts here (web/language.js).
export const chooseLanguage = (preferred) => choose(preferred, Object.keys(Texts), DefaultLanguage);

// An extension page: the browser has already chosen among the extension's
// _locales, which are written from this table with its language's tag in
// the message `lang`; the shared texts follow that choice.
const extensionLanguage = (globalThis.browser ?? globalThis.chrome)?.i18n?.getMessage?.('lang');
export const language =
    extensionLanguage in Texts ? extensionLanguage : chooseLanguage(globalThis.navigator?.languages ?? []);
export const text = Texts[language];

// Puts the texts of `lang` into the document, and its language on <html>.
// It names nothing outside itself: the build writes it into the page's own
// inline script with the page's texts (tools/page-texts.mjs), so that a
// reader of another language has them before the page is first laid out.
export function localise(document, lang = language, texts = Texts[lang]) {
    const textOf = (key) => {
        if (typeof texts[key] !== 'string')
            throw new Error(`no text "${key}"`);
        return texts[key];
    };
    document.documentElement.lang = lang;
    for (const element of document.querySelectorAll('[data-t]'))
        element.textContent = textOf(element.dataset.t);
    for (const attribute of ['title', 'alt', 'aria-label', 'content'])
        for (const element of document.querySelectorAll(`[data-t-${attribute}]`))
            element.setAttribute(attribute, textOf(element.getAttribute(`data-t-${attribute}`)));
}

function lookUp(texts, key) {
    if (typeof texts[key] !== 'string')
        throw new Error(`no text "${key}"`);
    return texts[key];
}

const escape = (s) => s.replace(/[&<>"]/g, (c) => `&#${c.charCodeAt(0)};`);

// The same for the page's source, as text: an element that names its text
// must be empty in the source, and gets it; a named attribute is added.
export function fillPage(html, lang = DefaultLanguage) {
    const texts = Texts[lang];
    let elements = 0;
    const filled = html
        .replace(/(<(\w+)\b[^>]*\sdata-t="([^"]+)"[^>]*>)(<\/\2>)/g, (_, open, tag, key, close) => {
            ++elements;
            return `${open}${escape(lookUp(texts, key))}${close}`;
        })
        .replace(/\sdata-t-(title|alt|aria-label|content)="([^"]+)"/g,
            (named, attribute, key) => `${named} ${attribute}="${escape(lookUp(texts, key))}"`)
        .replace(/\sdata-link(-title)?="([^"]+)"/g, (named, title, key) => {
            if (typeof Description.links[key] !== 'string')
                throw new Error(`no link "${key}"`);
            return `${named} ${title ? 'title' : 'href'}="${escape(Description.links[key])}"`;
        })
        .replace(/<html lang="[^"]*"/, `<html lang="${lang}"`);
    if (elements !== (html.match(/\sdata-t="/g) ?? []).length)
        throw new Error('an element that names its text is not empty in the page\'s source');
    return filled;
}
