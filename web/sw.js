// Keeps the app working without a network after the first visit: every file
// of the site is cached on install and served from the cache, with the
// network only as a fallback. tools/build-web writes the file list and a
// version made from the files' contents, so a new build replaces the cache.
const Version = 'dev';
const Files = ['./'];

const CacheName = `mnemora-${Version}`;

self.addEventListener('install', (event) => {
    event.waitUntil(
        caches
            .open(CacheName)
            .then((cache) => cache.addAll(Files))
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

self.addEventListener('fetch', (event) => {
    const url = new URL(event.request.url);
    if (event.request.method !== 'GET' || url.origin !== self.location.origin)
        return;
    event.respondWith(
        caches
            .match(event.request, { ignoreSearch: true })
            .then((hit) => hit ?? fetch(event.request)),
    );
});
