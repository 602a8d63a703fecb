// Keeps the app working without a network after the first visit: every file
// of the site is cached on install. Pages and files come from the network
// first, revalidated, so a new version shows on the first load after it is
// deployed; the cache answers when the network does not (offline, host down).
// tools/build-web writes the file list and a version made from the files'
// contents, so a new build replaces the cache.
const Version = 'dev';
const Files = ['./'];

const CacheName = `mnemora-${Version}`;

// Past the browser's HTTP cache, which may hold the previous version's files.
const fresh = (request) => new Request(request, { cache: 'no-cache' });

self.addEventListener('install', (event) => {
    event.waitUntil(
        caches
            .open(CacheName)
            .then((cache) => cache.addAll(Files.map(fresh)))
            .then(() => self.skipWaiting()),
    );
});

self.addEventListener('activate', (event) => {
    event.waitUntil(
        caches
            .keys()
            .then((names) => Promise.all(names.filter((n) => n !== CacheName).map((n) => caches.delete(n))))
            .then(() => self.clients.claim()),
    );
});

async function networkFirst(request) {
    const cached = () => caches.match(request, { ignoreSearch: true });
    let response;
    try {
        response = await fetch(fresh(request));
    } catch (error) {
        const hit = await cached();
        if (hit)
            return hit;
        throw error;
    }
    return response.ok ? response : ((await cached()) ?? response);
}

self.addEventListener('fetch', (event) => {
    const url = new URL(event.request.url);
    if (event.request.method !== 'GET' || url.origin !== self.location.origin)
        return;
    event.respondWith(networkFirst(event.request));
});
