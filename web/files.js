// Where the page's own files come from. On a host they are beside the page.
// The offline edition (tools/build-offline.mjs) is one HTML file that carries
// each of them in a data block, a script as it is and any other file in
// base64:
//   <script type="text/plain" data-file="vendor/x.js">…</script>
//   <script type="application/octet-stream" data-file="mnemora.wasm">…</script>
// and its scripts are allowed by their hashes; there nothing is fetched,
// nothing is loaded from elsewhere and no service worker is registered.
const blocks = new Map(Array.from(document.querySelectorAll('script[data-file]'), (e) => [e.dataset.file, e]));

export const selfContained = blocks.size > 0;

function block(path) {
    const element = blocks.get(path);
    if (!element)
        throw new Error(`${path} is missing from this page`);
    return element;
}

function embeddedBytes(path) {
    const element = block(path);
    if (element.type === 'text/plain')
        return new TextEncoder().encode(element.textContent);
    return Uint8Array.from(atob(element.textContent.trim()), (c) => c.charCodeAt(0));
}

const PictureTypes = { '.gif': 'image/gif', '.png': 'image/png', '.jpg': 'image/jpeg' };

// Where a picture of the site is read from: beside the page, or its data
// block as a data: URL.
export function pictureSource(path) {
    if (!selfContained)
        return path;
    const type = PictureTypes[path.slice(path.lastIndexOf('.'))];
    return `data:${type};base64,${block(path).textContent.trim()}`;
}

function embeddedText(path) {
    const element = block(path);
    return element.type === 'text/plain' ? element.textContent : new TextDecoder().decode(embeddedBytes(path));
}

// What core.js's loadCore takes: the module the page's head compiled while
// the page loaded (web/boot.js), or else its address, or its bytes.
export async function wasmSource(path) {
    const compiled = await globalThis.mnemoraCompiled;
    if (compiled)
        return compiled;
    return selfContained ? embeddedBytes(path) : new URL(path, document.baseURI);
}

// Runs a classic script of the site once; resolves when it has run.
export function loadScript(path) {
    return new Promise((resolve, reject) => {
        const script = document.createElement('script');
        if (selfContained) {
            // An inline script runs as it is inserted, if the policy knows its hash.
            script.textContent = embeddedText(path);
            document.head.append(script);
            resolve();
            return;
        }
        script.src = path;
        script.onload = resolve;
        script.onerror = () => reject(new Error(`cannot load ${path}`));
        document.head.append(script);
    });
}
