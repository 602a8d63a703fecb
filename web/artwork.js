// The pictures drawn per language (the banner's slogan, the buttons' faces):
// each <img> of the table gets its language's drawing with its 200 %
// rendition, and on a host the <picture>'s WebP renditions the build makes
// beside it. The page's source names none of them, so that the browser asks
// for no drawing before the language is known. The panel's picture is the
// style sheet's, chosen by the language on <html>.
import { DefaultLanguage, ImgLogo, Pictures } from './artwork-table.js';

// The banner's width: the page's on a wide screen, the screen's below it
// (web/style.css).
const BannerSizes = '(max-width: 659.98px) 100vw, 660px';

// source(path): where the file is read from (the offline edition: a data:
// URL); webp: whether the renditions exist there. Pictures not parsed yet,
// or showing the language's drawing already, are left as they are: the page
// calls this again once it has them all, and a picture set again to the same
// file could be asked for again.
export function showArtwork(document, language, source = (path) => path, webp = true) {
    for (const [id, pictures] of Object.entries(Pictures)) {
        const picture = pictures[language] ?? pictures[DefaultLanguage];
        const element = document.getElementById(id);
        const img = element?.tagName === 'IMG' ? element : element?.querySelector('img');
        const src = source(picture.src);
        if (!img || img.getAttribute('src') === src)
            continue;
        for (const rendition of img.parentElement.tagName === 'PICTURE' ? img.parentElement.querySelectorAll('source') : []) {
            if (webp && picture.webp) {
                rendition.sizes = BannerSizes;
                rendition.srcset = picture.webp;
            } else {
                rendition.remove();
            }
        }
        img.srcset = `${src} 1x, ${source(picture.src2x)} 2x`;
        img.src = src;
    }
}

// The banner's WebP renditions, asked for from the page's head as the <img>
// will ask for them, so that it takes the response.
export function preloadBanner(document, language) {
    const link = document.createElement('link');
    link.rel = 'preload';
    link.as = 'image';
    link.type = 'image/webp';
    link.fetchPriority = 'high';
    link.imageSizes = BannerSizes;
    link.imageSrcset = (ImgLogo[language] ?? ImgLogo[DefaultLanguage]).webp;
    document.head.append(link);
}
