// Offline play (index.html, after page.js): the page's service worker (sw.js) keeps this
// build whole in the browser once the program has loaded, so that the page starts and plays
// with no network, and can be added to a phone's home screen (manifest.webmanifest).
//
// A newer build, once the browser holds all of it, takes over at the next load of the page:
// a page that has not started its game yet asks the newer worker to take over and loads
// again from it; a page whose game runs keeps its own build to the end, and so does every
// other page of the game meanwhile, however many are open.
//
// vextral.offline says how it stands: 'no' (not kept, or no service workers here), 'keeping'
// or 'kept' (this build plays offline). vextral.newer is 'waiting' while a newer build waits
// for another page's game to end.
'use strict';
(() => {
  vextral.offline = 'no';
  const workers = navigator.serviceWorker;
  if (!workers) return;
  const buildLine = document.getElementById('build');

  function sayNotKept(why) {
    vextral.showNotice('offline', `The browser could not keep the game for playing without a ` +
                                  `network (${why}); it plays while this page is open.`);
  }

  async function lookWhetherKept() {
    const name = `vextral-${vextral.build}`;
    const kept = (await caches.has(name)) && (await caches.match('build-complete', { cacheName: name }));
    if (!kept) return;
    vextral.offline = 'kept';
    buildLine.textContent = `Build ${vextral.build}, kept in this browser for playing offline.`;
    vextral.showNotice('offline', '');
  }

  // The waiting worker this page asked to take over.
  let asked = null;
  function takeOverIfWaiting(registration) {
    if (!registration.waiting || vextral.started || asked === registration.waiting) return;
    asked = registration.waiting;
    asked.postMessage('take over');
  }
  // The newer build took over: a page that has not started its game loads it.
  workers.addEventListener('controllerchange', () => {
    if (!vextral.started) location.reload();
  });
  workers.addEventListener('message', (event) => {
    if (event.data === 'waiting') vextral.newer = 'waiting';
  });
  workers.startMessages();
  vextral.onStart.push(() => {
    if (asked && asked.state === 'installed') asked.postMessage('playing');
  });

  // Follows a worker being installed: it becomes the one waiting, or the active one (this
  // build kept), or is thrown away (its install failed).
  function follow(registration, worker) {
    worker.addEventListener('statechange', () => {
      if (worker.state === 'installed') takeOverIfWaiting(registration);
      else if (worker.state === 'activated') lookWhetherKept();
      else if (worker.state === 'redundant' && vextral.offline !== 'kept' &&
               !registration.installing && !registration.waiting) {
        sayNotKept('its files could not all be stored');
      }
    });
  }

  // A newer build already waiting takes over before this page loads its program.
  workers.getRegistration().then((registration) => {
    if (registration) takeOverIfWaiting(registration);
  });

  vextral.onReady.push(() => {
    vextral.offline = 'keeping';
    workers.register('sw.js').then((registration) => {
      if (registration.installing) follow(registration, registration.installing);
      registration.addEventListener('updatefound', () => follow(registration, registration.installing));
      takeOverIfWaiting(registration);
      lookWhetherKept();
    }, async (error) => {
      // Also when the browser could not look for a newer build (no network): this one may
      // be kept all the same.
      await lookWhetherKept();
      if (vextral.offline !== 'kept') {
        vextral.offline = 'no';
        sayNotKept(error.message || error);
      }
    });
  });
})();
