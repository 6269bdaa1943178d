// The site's offline copy: every file of the build in one cache named after their contents;
// answers from the cache first, so the page starts without a network after one visit.
const CACHE = 'tarvex-@VERSION@';
// clang-format off
const FILES = [@FILES@];
// clang-format on

self.addEventListener('install', (event) => {
    event.waitUntil(
        caches.open(CACHE).then((cache) => cache.addAll(FILES)).then(() => self.skipWaiting()));
});

self.addEventListener('activate', (event) => {
    event.waitUntil(
        caches.keys()
            .then(
                (names) => Promise.all(names.filter((n) => n.startsWith('tarvex-') && n !== CACHE)
                                           .map((n) => caches.delete(n))))
            .then(() => self.clients.claim()));
});

self.addEventListener('fetch', (event) => {
    const request = event.request;
    if (request.method !== 'GET' || new URL(request.url).origin !== self.location.origin) return;
    event.respondWith(caches.open(CACHE).then(async (cache) => {
        const hit = await cache.match(request, {ignoreSearch: true});
        if (hit) return hit;
        const response = await fetch(request);
        if (response.ok) cache.put(request, response.clone());
        return response;
    }));
});
