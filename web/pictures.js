// Written into the page as an inline script (allowed by its hash) right after
// the last picture drawn per language, so that the browser asks for the
// reader's language's drawings as the page is parsed, the banner first. The
// language is on <html> already (web/boot.js). The offline edition has no
// preload and carries its pictures in data blocks further down; there
// web/app.js puts them in place.
import { showArtwork } from './artwork.js';

if (document.querySelector('link[rel="preload"][type="application/wasm"]'))
    showArtwork(document, document.documentElement.lang);
