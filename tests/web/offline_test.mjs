// The installable page offline and across builds, in Debian's Chromium, headless, served by
// a static server of its own that the test can take off the network and give another build:
// after one visit the browser keeps the build, and with the server gone a reload reaches
// the title and starts a game; a newer build served in its place (the built page with one
// file changed, stamped as the build stamps it) is the one that runs after a reload, and
// the older build's files are gone from the browser; and a build newer still, found by a
// second page while the first plays, waits until no page plays the older one.
//
//   node tests/web/offline_test.mjs BUILD_FOLDER OUTPUT_FOLDER

import { execFileSync } from 'node:child_process';
import { appendFileSync, cpSync, mkdirSync, readFileSync, readdirSync, rmSync, statSync } from 'node:fs';
import { createServer } from 'node:http';
import { dirname, extname, join, resolve, sep } from 'node:path';
import { fileURLToPath } from 'node:url';
import { DEADLINE, MENU, STATE, assert, checks, keepLog, launch, pagePoint, waitOn,
         waitForState } from './helpers.mjs';

const [build, output] = process.argv.slice(2);
if (!build || !output) {
  console.error('usage: node offline_test.mjs BUILD_FOLDER OUTPUT_FOLDER');
  process.exit(2);
}
mkdirSync(output, { recursive: true });
const stamp = resolve(dirname(fileURLToPath(import.meta.url)), '../../tools/web/stamp.py');

// The server: files of the folder served, or, off the network, every connection dropped.
const TYPES = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css',
                '.wasm': 'application/wasm', '.png': 'image/png', '.ogg': 'audio/ogg',
                '.webmanifest': 'application/manifest+json' };
let served = resolve(build);
let online = true;
const server = createServer((request, response) => {
  if (!online) {
    request.socket.destroy();
    return;
  }
  let path = decodeURIComponent(new URL(request.url, 'http://server').pathname);
  if (path.endsWith('/')) path += 'index.html';
  const file = resolve(served, `.${path}`);
  let bytes = null;
  try {
    if (file.startsWith(served + sep)) bytes = readFileSync(file);
  } catch (missing) {
    bytes = null;
  }
  if (!bytes) {
    response.writeHead(404).end();
    return;
  }
  response.writeHead(200, { 'Content-Type': TYPES[extname(file)] || 'application/octet-stream',
                            'Content-Length': bytes.length });
  response.end(bytes);
});
await new Promise((listening) => server.listen(0, '127.0.0.1', listening));
const url = `http://127.0.0.1:${server.address().port}/`;

// A copy of the built page (its files at the top and its music) with page.css marked,
// stamped anew: another build.
function newerBuild(mark) {
  const folder = resolve(output, `build-${mark}`);
  rmSync(folder, { recursive: true, force: true });
  mkdirSync(join(folder, 'music'), { recursive: true });
  for (const name of readdirSync(build)) {
    if (statSync(join(build, name)).isFile()) cpSync(join(build, name), join(folder, name));
  }
  cpSync(join(build, 'music'), join(folder, 'music'), { recursive: true });
  appendFileSync(join(folder, 'page.css'), `/* build ${mark} */\n`);
  return { folder, id: execFileSync(stamp, [folder], { encoding: 'utf8' }).trim() };
}

const { check, fail, finish } = checks();
const browser = await launch();
const page = await browser.newPage();
await page.setViewport({ width: 900, height: 700 });
const log = [];
keepLog(page, log);

// The page's state once it has loaded its program (of the build named, if one is), through
// any loads of its own meanwhile.
async function loaded(build = null, tab = page) {
  const deadline = Date.now() + DEADLINE;
  for (;;) {
    try {
      await tab.waitForFunction((id) => window.vextral?.ready && (!id || vextral.build === id),
                                 { timeout: 10000, polling: 100 }, build);
      return await tab.evaluate(() => ({ build: vextral.build, offline: vextral.offline }));
    } catch (gone) {
      // The page loaded anew meanwhile, or is not there yet.
      assert(Date.now() < deadline, `the page never came: ${gone.message}`);
    }
  }
}

// Starts the page's game and a game from its title.
async function play() {
  await page.click('#overlay');
  await waitForState(page, STATE.title);
  const start = await pagePoint(page, MENU.start);
  await page.mouse.click(start.x, start.y);
  await waitForState(page, STATE.play);
}

// The second build's id, once a game of it plays.
let second = null;
try {
  await page.goto(url, { waitUntil: 'load' });
  const first = await loaded();

  await check('after one visit the page plays with no network', async () => {
    await waitOn(page, () => vextral.offline === 'kept');
    online = false;
    await page.reload({ waitUntil: 'load' });
    const again = await loaded();
    assert(again.build === first.build, `build ${again.build} after the reload, was ${first.build}`);
    await play();
    await page.screenshot({ path: join(output, 'offline-00-playing.png') });
    const notices = await page.$$eval('#notices p', (lines) => lines.map((line) => line.textContent));
    assert(notices.length === 0, `the page says: ${notices.join(' | ')}`);
  });

  await check('a newer build served in its place is the one that runs after a reload', async () => {
    const newer = newerBuild('second');
    assert(newer.id !== first.build, 'the changed build has the same id');
    served = newer.folder;
    online = true;
    await page.reload({ waitUntil: 'load' });
    await loaded(newer.id);
    // Its own files, the changed one too, and no older build's left in the browser.
    const seen = await page.evaluate(async () => ({
      style: await (await fetch('page.css')).text(),
      caches: await caches.keys(),
    }));
    assert(seen.style.includes('build second'), 'the newer build runs with an older page.css');
    assert(seen.caches.length === 1 && seen.caches[0] === `vextral-${newer.id}`,
           `the browser keeps ${seen.caches.join(', ')}`);
    await waitOn(page, () => vextral.offline === 'kept');
    await play();
    second = newer.id;
  });

  await check('a page still playing keeps its build whole while a second page finds a newer one', async () => {
    assert(second, 'no game plays the second build');
    const third = newerBuild('third');
    served = third.folder;
    const other = await browser.newPage();
    keepLog(other, log, 'second page');
    await other.goto(url, { waitUntil: 'load' });
    // The third build installs and waits behind the page that plays (or, wrongly, takes over).
    await waitOn(other, (id) => vextral.newer === 'waiting' || vextral.build === id, third.id);
    const seen = await page.evaluate(async () => ({
      style: await (await fetch('page.css')).text(),
      caches: await caches.keys(),
    }));
    assert(seen.style.includes('build second') && !seen.style.includes('build third'),
           'the page playing the second build is served the third build\'s page.css');
    assert(seen.caches.includes(`vextral-${second}`),
           `the browser keeps ${seen.caches.join(', ')}, not the build that plays`);
    // Once no page plays the second build, the next load plays the third.
    await page.close();
    await other.reload({ waitUntil: 'load' });
    await loaded(third.id, other);
    const after = await other.evaluate(async () => ({
      style: await (await fetch('page.css')).text(),
      caches: await caches.keys(),
    }));
    assert(after.style.includes('build third'), 'the third build runs with an older page.css');
    assert(after.caches.length === 1 && after.caches[0] === `vextral-${third.id}`,
           `the browser keeps ${after.caches.join(', ')}`);
  });
} catch (error) {
  fail(error);
}
server.close();
server.closeAllConnections?.();
await finish(browser, log);
