// Written into the page's head at build time as an inline script (allowed by
// its hash), before the style sheet, so that it runs as soon as it is parsed:
// a module script would wait for the whole page and its style. It starts
// compiling the core the page preloads while the page is still being parsed,
// laid out and painted, on the browser's compiling threads; the page's
// module takes the compiled module (web/files.js), or loads the core itself
// where this found none: a page without the preload (the offline edition
// carries the core inside it), or a host that serves the core under another
// type than application/wasm, which streaming compilation refuses.
//
// It also puts the reader's language on <html> before the style sheet is
// read, so that the sheet's per-language pictures (the panel's) and the
// drawings web/pictures.js chooses below are the reader's language's from
// the first request; and on a host it asks for the banner, the largest thing
// of the first screen, in this first task of the page, ahead of the sheet's
// pictures and before the parser reaches it. tools/inline-page.mjs bundles its imports in, in a
// function of its own: a classic script's names would be global.
import { preloadBanner } from './artwork.js';
import { DefaultLanguage, Languages } from './artwork-table.js';
import { chooseLanguage } from './language.js';

document.documentElement.lang = chooseLanguage(navigator.languages ?? [], Languages, DefaultLanguage);
{
    const preload = document.querySelector('link[rel="preload"][type="application/wasm"]');
    if (preload)
        preloadBanner(document, document.documentElement.lang);
    if (preload && WebAssembly.compileStreaming)
        globalThis.mnemoraCompiled = WebAssembly.compileStreaming(fetch(preload.href)).catch(() => null);
}
