// The page's service worker: keeps one build of the game whole in the browser, so that
// the page starts and plays with no network, and hands over to a newer build without ever
// serving a page a mix of two.
//
// tools/web/stamp.py writes in the build's id and its files, each with the hash of its
// bytes. Installing fetches every file into a cache named for the build, each checked
// against its hash (a file of another build, the server having changed meanwhile, fails
// the install, which the browser tries again at a later visit), and marks the cache
// complete last. The worker serves its build's files only from its complete cache, and the
// network for anything else. A newer build's worker waits, as the browser has it, until no
// page of the older one is open, or until every page of the game open has asked it to take
// over, which a page does while it has not started its game (offline.js): a page that plays
// on is never served a file of the newer build. Once active, the worker deletes the caches
// of older builds.
'use strict';
const BUILD = '@VEXTRAL_BUILD@';
const FILES = {/* @VEXTRAL_FILES@ */};
const CACHE = `vextral-${BUILD}`;
// Put into the cache after every file: a cache without it is not served from.
const COMPLETE = 'build-complete';

async function keepBuild() {
  const cache = await caches.open(CACHE);
  if (await cache.match(COMPLETE)) return;
  await Promise.all(Object.entries(FILES).map(async ([path, integrity]) => {
    // Asked of the server again (it may answer that the browser's copy is still good),
    // never taken from the browser's cache unasked.
    const response = await fetch(path, { cache: 'no-cache', integrity });
    if (!response.ok) throw new Error(`${path}: ${response.status} ${response.statusText}`);
    await cache.put(path, response);
  }));
  await cache.put(COMPLETE, new Response(BUILD));
}

self.addEventListener('install', (event) => event.waitUntil(keepBuild()));

self.addEventListener('activate', (event) => event.waitUntil(
  caches.keys().then((names) => Promise.all(names
    .filter((name) => name.startsWith('vextral-') && name !== CACHE)
    .map((name) => caches.delete(name))))));

// The pages that have asked this worker, while it waits, to take over: none of them plays
// yet. Held only while the worker runs; a page asks again at its next load.
const asking = new Set();

self.addEventListener('message', (event) => {
  const page = event.source;
  if (event.data === 'take over') asking.add(page.id);
  else if (event.data === 'playing') asking.delete(page.id);
  else return;
  event.waitUntil(self.clients.matchAll({ type: 'window', includeUncontrolled: true })
    .then((pages) => {
      if (pages.every((open) => asking.has(open.id))) return self.skipWaiting();
      if (event.data === 'take over') page.postMessage('waiting');
      return undefined;
    }));
});

// The build's file a request asks for, or null.
function fileOf(url) {
  const scope = self.registration.scope;
  if (!url.startsWith(scope)) return null;
  const path = url.slice(scope.length).replace(/[?#].*$/, '') || 'index.html';
  return Object.hasOwn(FILES, path) ? path : null;
}

async function fromBuild(path, request) {
  const cache = await caches.open(CACHE);
  if (await cache.match(COMPLETE)) {
    const kept = await cache.match(path);
    if (kept) return kept;
  }
  return fetch(request);
}

self.addEventListener('fetch', (event) => {
  if (event.request.method !== 'GET') return;
  const path = fileOf(event.request.url);
  if (path !== null) event.respondWith(fromBuild(path, event.request));
});
