// The site's offline copy: every file of the build in one cache named after their contents;
// answers from the cache first, so the page starts without a network after one visit.
const CACHE = 'tarvex-@VERSION@';
// clang-format off
const FILES = [@FILES@];
// clang-format on

// Every file of the version is fetched past the HTTP cache, so a host's max-age never puts
// an older file into a newer version. A new version waits until the page lets it take over
// (the page's Reload); the first one takes over at once.
self.addEventListener('install', (event) => {
    event.waitUntil(caches.open(CACHE).then(
        (cache) => cache.addAll(FILES.map((file) => new Request(file, {cache: 'reload'})))));
});

self.addEventListener('message', (event) => {
    if (event.data === 'skipWaiting') self.skipWaiting();
});

self.addEventListener('activate', (event) => {
    event.waitUntil(
        caches.keys()
            .then(
                (names) => Promise.all(names.filter((n) => n.startsWith('tarvex-') && n !== CACHE)
                                           .map((n) => caches.delete(n))))
            .then(() => self.clients.claim()));
});

// A .tcf file shared to the installed app (the manifest's share_target posts it to ./share):
// kept for the page, which ./?shared opens.
self.addEventListener('fetch', (event) => {
    const request = event.request;
    const url = new URL(request.url);
    if (request.method !== 'POST' || url.origin !== self.location.origin ||
        !url.pathname.endsWith('/share'))
        return;
    event.respondWith((async () => {
        const file = (await request.formData()).get('tcf');
        if (file && typeof file !== 'string') {
            const cache = await caches.open('shared-file');
            await cache.put('./shared.tcf', new Response(file, {
                                headers: {'X-File-Name': encodeURIComponent(file.name || '')}
                            }));
        }
        return Response.redirect('./?shared', 303);
    })());
});

self.addEventListener('fetch', (event) => {
    const request = event.request;
    if (request.method !== 'GET' || new URL(request.url).origin !== self.location.origin) return;
    event.respondWith(caches.open(CACHE).then(async (cache) => {
        const hit = await cache.match(request, {ignoreSearch: true});
        if (hit) return hit;
        // Not a file of the version (the page and its module always are): from the network,
        // never kept, so the cache holds one build only.
        return fetch(request);
    }));
});
