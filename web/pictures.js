// Written into the page as an inline script (allowed by its hash) right after
// the banner, so that the <img> takes the banner the page's head asked for
// (web/boot.js) as soon as it is parsed, before the page's first layout; the
// other pictures drawn per language, all lazily loaded, once the whole page
// is parsed, before the page's module runs. The language is on <html>
// already. The offline edition has no preload and carries its pictures in
// data blocks further down; there web/app.js puts them in place.
import { showArtwork } from './artwork.js';

if (document.querySelector('link[rel="preload"][type="application/wasm"]')) {
    const show = () => showArtwork(document, document.documentElement.lang);
    show();
    document.addEventListener('readystatechange', show, { once: true });
}
