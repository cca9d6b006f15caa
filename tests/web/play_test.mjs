// Plays the browser build in Debian's Chromium, headless, as a player would: the loading bar
// counts the program's download as well as the data's, the page before any gesture is
// silent and has fetched no music, the first click starts the game, whose music (its first
// download failing, as the page says) comes with a second try, the splash and then the
// title show, stereo drawing tints the title's two edges apart, Start Game begins a game
// whose ship turns and whose shots score (keys, then a gamepad), a page that loses the
// focus holds the game until it has it back, Escape pauses, a second page downloads the
// best game the first page kept after its own, and its save, made while the first page's
// is under way, waits for it and keeps both; after the browser clears the page's storage
// the saves go on, a reload keeps the best score and the stereo scheme, and a browser
// without IndexedDB, or with its storage full, still plays and says so on the page. With
// the Linux simulator given, the game abandoned from the pause menu is downloaded from the
// page and replayed by it to the same score.
//
//   node tests/web/play_test.mjs URL OUTPUT_FOLDER [VEXTRAL_SIM]
//
// Screenshots go to OUTPUT_FOLDER. Every wait is for something the page shows, with a
// generous deadline for a loaded machine. Ends with "N passed, N failed".

import { mkdirSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { DEADLINE, MENU, STATE, assert, checks, game as gameOn, keepLog, launch, nextFrame,
         pagePoint as pagePointOn, replayed, waitOn, waitForState as waitForStateOn,
         waitUntil as waitUntilOn, watchDownloads } from './helpers.mjs';

const [url, output, simulator] = process.argv.slice(2);
if (!url || !output) {
  console.error('usage: node play_test.mjs URL OUTPUT_FOLDER');
  process.exit(2);
}
mkdirSync(output, { recursive: true });

// The big title, its row and how far it reaches on either side.
const TITLE_ROW = { y: 100, left: 120, right: 520 };

const { check, fail, finish } = checks();
const browser = await launch();
const page = await browser.newPage();
await page.setViewport({ width: 900, height: 700 });
const log = [];
keepLog(page, log);
// A gamepad as the browser's Gamepad API shows one (headless Chromium has no pads to plug
// in): SDL's browser joystick reads it through navigator.getGamepads like a real one.
await page.evaluateOnNewDocument(() => {
  const buttons = Array.from({ length: 17 }, () => ({ pressed: false, touched: false, value: 0 }));
  window.testPad = {
    id: 'Test pad', index: 0, connected: true, mapping: 'standard', timestamp: 1,
    axes: [0, 0, 0, 0], buttons,
    // Each change is a new sample, as a browser's pad shows it.
    set({ stickX = this.axes[0], fire = buttons[0].pressed }) {
      this.axes = [stickX, 0, 0, 0];
      buttons[0] = { pressed: fire, touched: fire, value: fire ? 1 : 0 };
      this.timestamp++;
    },
  };
  navigator.getGamepads = () => [window.testPad];
});
const requested = [];
page.on('request', (request) => requested.push(new URL(request.url()).pathname));
const finished = [];
page.on('requestfinished', (request) => finished.push(new URL(request.url()).pathname));

// The first page's first download of the program is held until the test lets it go, and its
// first download of the title's music fails as a dropped connection does.
const interception = await page.createCDPSession();
let heldProgram = null;
let musicFailed = false;
interception.on('Fetch.requestPaused', async ({ requestId, request }) => {
  const path = new URL(request.url).pathname;
  if (path === '/vextral.wasm' && heldProgram === null) {
    heldProgram = requestId;
  } else if (path === '/music/p_track.ogg' && !musicFailed) {
    musicFailed = true;
    await interception.send('Fetch.failRequest', { requestId, errorReason: 'InternetDisconnected' });
  } else {
    await interception.send('Fetch.continueRequest', { requestId });
  }
});
await interception.send('Fetch.enable', {
  patterns: [{ urlPattern: '*/vextral.wasm' }, { urlPattern: '*/music/p_track.ogg' }],
});

// Downloads land in OUTPUT_FOLDER/downloads under the browser's name for each.
const downloads = await watchDownloads(browser, join(output, 'downloads'));

const game = (target = page) => gameOn(target);
const waitFor = (test, ...args) => waitOn(page, test, ...args);
const waitForState = (state, target = page) => waitForStateOn(target, state);
const waitUntil = (test, what) => waitUntilOn(page, test, what);

// The page's notice whose text holds part (on target's page), or null.
const notice = (part, target = page) => target.evaluate((wanted) => Array.from(
  document.querySelectorAll('#notices p'), (line) => line.textContent).find((text) => text.includes(wanted)) ?? null, part);

// Clicks target's download link (#last or #best) and returns the bytes the browser saved.
const download = (target, id) => downloads.take(page, () => target.click(`#${id}`), id);

// A file of the player's folder as the browser's storage keeps it (IDBFS keeps each file of
// the folder mounted at PATH under its path in the IndexedDB database PATH): its bytes, or
// null (a database it finds missing is not made).
const storedFile = (name) => page.evaluate(async (file) => {
  const folder = Module.vextralSaves.folder;
  const database = await new Promise((done, failed) => {
    const opening = indexedDB.open(folder);
    opening.onupgradeneeded = () => opening.transaction.abort();
    opening.onsuccess = () => done(opening.result);
    opening.onerror = (event) => {
      event.preventDefault();
      if (opening.error?.name === 'AbortError') done(null);
      else failed(opening.error);
    };
  });
  if (!database) return null;
  try {
    const entry = await new Promise((done, failed) => {
      const reading = database.transaction('FILE_DATA').objectStore('FILE_DATA')
                              .get(`${folder}/${file}`);
      reading.onsuccess = () => done(reading.result);
      reading.onerror = () => failed(reading.error);
    });
    return entry?.contents ? Array.from(new Uint8Array(entry.contents)) : null;
  } finally {
    database.close();
  }
}, name);
const storedInt = (bytes) => (bytes ? Buffer.from(bytes).readInt32LE(0) : null);

const pagePoint = (point, target = page) => pagePointOn(target, point);

// The canvas as the page shows it, as RGB pixels read back by the page itself.
async function canvasPixels(name) {
  const png = await (await page.$('#canvas')).screenshot({ path: join(output, `${name}.png`) });
  return page.evaluate(async (data) => {
    const image = new Image();
    image.src = `data:image/png;base64,${data}`;
    await image.decode();
    const scratch = document.createElement('canvas');
    scratch.width = 640;
    scratch.height = 480;
    const context = scratch.getContext('2d');
    context.drawImage(image, 0, 0, 640, 480);
    return Array.from(context.getImageData(0, 0, 640, 480).data);
  }, Buffer.from(png).toString('base64'));
}

const pixel = (pixels, x, y) => pixels.slice((y * 640 + x) * 4, (y * 640 + x) * 4 + 3);

// Sums the colour of the outermost bright pixels of the title's row, from one side inwards.
function titleEdge(pixels, from, step) {
  const sum = [0, 0, 0];
  let found = 0;
  for (let x = from; found < 6 && x > 0 && x < 639; x += step) {
    for (let y = TITLE_ROW.y - 30; y <= TITLE_ROW.y + 30; y += 2) {
      const [r, g, b] = pixel(pixels, x, y);
      if (r + g + b > 150) {
        sum[0] += r;
        sum[1] += g;
        sum[2] += b;
        found++;
      }
    }
  }
  assert(found > 0, 'no title drawn in its row');
  return sum;
}

// In stereo the title's leftmost and rightmost pixels belong to different eyes: one edge
// leans to red, the other to green.
function stereoEdges(pixels) {
  const left = titleEdge(pixels, TITLE_ROW.left - 40, 1);
  const right = titleEdge(pixels, TITLE_ROW.right + 40, -1);
  const leaning = (rgb) => Math.sign(rgb[0] - rgb[1]);
  return { left, right, apart: leaning(left) !== leaning(right) };
}

async function clickMenu(row, target = page) {
  const point = await pagePoint(row, target);
  await target.mouse.move(point.x, point.y, { steps: 4 });
  await target.mouse.down();
  await waitOn(target, () => true);
  await target.mouse.up();
}

// Pauses a game on target's page with Escape, starting one from the title if need be.
// Escape pauses play, not the interval after a lost ship nor the game-over screen: a ship
// lost between the look at the state and the key leaves the game unpaused, and the key is
// pressed again once play is back.
async function pauseWithEscape(target = page) {
  const deadline = Date.now() + DEADLINE;
  while ((await game(target)).state !== STATE.pause) {
    assert(Date.now() < deadline, 'Escape never paused the game');
    await waitOn(target, (states) => states.includes(Module.vextralGame?.state),
                 [STATE.play, STATE.title]);
    if ((await game(target)).state === STATE.title) {
      await clickMenu(MENU.start, target);
      await waitForState(STATE.play, target);
    }
    await target.keyboard.press('Escape');
    await waitOn(target, (play) => Module.vextralGame?.state !== play, STATE.play);
  }
}

// Starts a game on target's page and leaves it from the pause menu for the title; by
// default waits until the title shows.
async function playAndLeave(target, { wait = true } = {}) {
  await clickMenu(MENU.start, target);
  await waitForState(STATE.play, target);
  await pauseWithEscape(target);
  await target.keyboard.press('Escape');
  if (wait) await waitForState(STATE.title, target);
}

// The bytes of a file in target's own copy of the player's folder, or null.
const pageFile = (target, name) => target.evaluate((file) => {
  try {
    return Array.from(Module.FS.readFile(`${Module.vextralSaves.folder}/${file}`));
  } catch (missing) {
    return null;
  }
}, name);
const sameBytes = (a, b) => a !== null && b !== null && Buffer.from(a).equals(Buffer.from(b));

// Opens the game in another page of the browser and starts it: at address (by default the
// first page's, sharing its storage), prepared by a script run before the page's own.
async function startPage(name, { address = url, prepare = null, quota = null } = {}) {
  const other = await browser.newPage();
  await other.setViewport({ width: 900, height: 700 });
  keepLog(other, log, name);
  if (prepare) await other.evaluateOnNewDocument(prepare);
  if (quota !== null) {
    const session = await other.target().createCDPSession();
    await session.send('Storage.overrideQuotaForOrigin', { origin: new URL(address).origin, quotaSize: quota });
  }
  await other.goto(address, { waitUntil: 'load' });
  await waitOn(other, () => window.vextral?.ready);
  await other.click('#overlay');
  await waitForState(STATE.title, other);
  return other;
}

let bestBeforeReload = 0;
let stereoBeforeReload = 0;
// A second page of the game, started before the first page saved anything.
let secondPage = null;

try {
  await page.goto(url, { waitUntil: 'load' });

  await check('the loading bar counts the program\'s download, not only the data\'s', async () => {
    await waitUntil(() => heldProgram !== null && finished.includes('/vextral.data'),
                    'the data\'s download while the program\'s is held');
    const bar = () => page.evaluate(() => parseFloat(document.querySelector('#bar > div').style.width) || 0);
    const early = await bar();
    await page.screenshot({ path: join(output, '00-loading.png') });
    await interception.send('Fetch.continueRequest', { requestId: heldProgram });
    assert(early < 50, `the bar shows ${early}% with the program still to come`);
    await waitFor(() => window.vextral?.ready);
    assert(await bar() === 100, `the bar shows ${await bar()}% once loaded`);
  });

  await check('no sound before the first gesture; the music that failed to come is said on the page', async () => {
    assert(await page.evaluate(() => vextral.soundLevel()) === 0, 'sound before any gesture');
    const music = requested.filter((path) => path.startsWith('/music/'));
    assert(music.length === 0, `music fetched before the game started: ${music}`);
    await page.click('#overlay');
    await waitUntil(() => notice('p_track.ogg'), 'a notice of the music that failed to come');
    await page.screenshot({ path: join(output, '00a-music-notice.png') });
  });

  await check('the splash, then the title menu', async () => {
    // The splash shows before the main loop runs its first frame.
    let lit = 0;
    while (lit < 2000 && !(await game())) {
      const pixels = await canvasPixels('01-splash');
      if (await game()) break;
      lit = 0;
      for (let i = 0; i < pixels.length; i += 4) if (pixels[i] + pixels[i + 1] + pixels[i + 2] > 150) lit++;
    }
    assert(lit >= 2000, 'no splash seen before the title');
    await waitForState(STATE.title);
    const pixels = await canvasPixels('02-title');
    const edges = stereoEdges(pixels);
    assert(!edges.apart, `plain title's edges lean apart: ${edges.left} ${edges.right}`);
  });

  await check('the music is fetched again and plays, and its notice goes', async () => {
    await waitFor(() => vextral.soundLevel() > 0.001);
    // The title's music (the second track unless chosen otherwise) was fetched twice.
    const tries = requested.filter((path) => path === '/music/p_track.ogg').length;
    assert(tries >= 2, `the music was asked for ${tries} times`);
    await waitUntil(async () => (await notice('p_track.ogg')) === null, 'the music notice going');
  });

  await check('a second page of the game starts beside the first and keeps a game', async () => {
    // It reads the saves now, when there are none, and keeps a game scoring nothing, which
    // the first page's game will better. Hidden behind the first, it is held.
    secondPage = await startPage('second page');
    await playAndLeave(secondPage);
    await waitOn(secondPage, () => Module.vextralSaves.kept > 0 && !Module.vextralSaves.syncing);
    await page.bringToFront();
  });

  await check('stereo tints the title row\'s edges apart', async () => {
    await clickMenu(MENU.stereo);
    await waitFor(() => Module.vextralGame?.stereo === 1);
    // The first stereo frames may still be on their way to the screen.
    let edges;
    for (let attempt = 0; attempt < 20; attempt++) {
      edges = stereoEdges(await canvasPixels('03-title-stereo'));
      if (edges.apart) break;
    }
    assert(edges.apart, `stereo title's edges do not lean apart: ${edges.left} ${edges.right}`);
  });

  await check('Start Game, then the keys turn the ship and its shots score', async () => {
    await clickMenu(MENU.start);
    await waitForState(STATE.play);
    await canvasPixels('04-play');
    const heading = (await game()).heading;
    await page.keyboard.down('ArrowLeft');
    // Left turns the heading down (a new game's ship would start at 0, never below).
    await waitFor((from) => Module.vextralGame.heading < from, heading);
    await canvasPixels('05-turned');
    // Fire while turning, until a shot scores.
    const deadline = Date.now() + DEADLINE;
    while (Date.now() < deadline && (await game()).score === 0) {
      if ((await game()).state === STATE.title) await clickMenu(MENU.start);
      await page.keyboard.down('ControlLeft');
      await page.waitForFunction(() => true);
      await page.keyboard.up('ControlLeft');
    }
    await page.keyboard.up('ArrowLeft');
    const state = await game();
    assert(state.score > 0, 'no shot scored');
    await canvasPixels('06-scored');
  });

  await check('a gamepad\'s stick turns the ship and its first button fires', async () => {
    await waitFor((states) => states.includes(Module.vextralGame?.state), [STATE.play, STATE.title]);
    if ((await game()).state === STATE.title) {
      await clickMenu(MENU.start);
      await waitForState(STATE.play);
    }
    // Fully left, as a browser reports it: -1, which SDL scales to -32767.
    const heading = (await game()).heading;
    await page.evaluate(() => testPad.set({ stickX: -1 }));
    await waitFor((from) => Module.vextralGame.heading < from, heading);
    await canvasPixels('06a-pad-turned');
    let score = (await game()).score;
    const deadline = Date.now() + DEADLINE;
    while (Date.now() < deadline && (await game()).score <= score) {
      // A game lost meanwhile: the pad scores in the next one, from nothing.
      if ((await game()).state === STATE.title) {
        await clickMenu(MENU.start);
        await waitForState(STATE.play);
        score = (await game()).score;
      }
      await page.evaluate(() => testPad.set({ fire: true }));
      await nextFrame(page);
      await page.evaluate(() => testPad.set({ fire: false }));
      await nextFrame(page);
    }
    await page.evaluate(() => testPad.set({ stickX: 0 }));
    assert((await game()).score > score, 'no shot fired by the pad scored');
  });

  await check('a page that loses the focus holds the game until it has it back', async () => {
    await page.evaluate(() => window.dispatchEvent(new FocusEvent('blur')));
    // Held: no frame for 30 polls in a row (each frame hands the page a new record).
    await waitFor(() => {
      const current = Module.vextralGame;
      if (current !== window.heldFrame) {
        window.heldFrame = current;
        window.heldPolls = 0;
      }
      return ++window.heldPolls >= 30;
    });
    await page.evaluate(() => window.dispatchEvent(new FocusEvent('focus')));
    await waitFor(() => Module.vextralGame !== window.heldFrame);
  });

  await check('Escape pauses, and the best score is kept in the browser', async () => {
    await pauseWithEscape();
    await canvasPixels('07-paused');
    // The best score is in the browser's own storage, not only in memory.
    await waitFor(() => !Module.vextralSaves.syncing);
    const state = await game();
    const stored = storedInt(await storedFile('hiscore.dat'));
    assert(stored === state.best, `the browser keeps the best score ${stored}, not ${state.best}`);
    bestBeforeReload = state.best;
    stereoBeforeReload = state.stereo;
    assert(bestBeforeReload > 0, 'no best score');
  });

  await check('the game left from the pause menu is offered for download and replays on Linux', async () => {
    const { score, level } = await game();
    await page.keyboard.press('Escape');
    await waitForState(STATE.title);
    // The page offers the recording once it is saved.
    await waitFor(() => document.getElementById('last').getAttribute('aria-disabled') === 'false' &&
                        !Module.vextralSaves.syncing);
    const bytes = await download(page, 'last');
    const file = join(output, 'last.replay');
    writeFileSync(file, Buffer.from(bytes));
    assert(Buffer.from(bytes).subarray(0, 4).toString() === 'VXRP', 'the download is no replay');
    if (!simulator) return;
    const replay = replayed(simulator, file);
    assert(replay.score === score && replay.level === level,
           `replayed to score ${replay.score}, level ${replay.level}; played ${score}, level ${level}`);
  });

  await check('a second page downloads the best game the first page kept after its own', async () => {
    const kept = await storedFile('best.replay');
    const own = await pageFile(secondPage, 'best.replay');
    assert(kept && own && !sameBytes(kept, own), 'the second page holds no older best game of its own');
    await secondPage.bringToFront();
    const bytes = await download(secondPage, 'best');
    assert(sameBytes(bytes, kept), 'the second page offers its own older best game');
    await page.bringToFront();
  });

  await check('a second page\'s save waits for the first page\'s, and both are kept', async () => {
    const kept = {};
    for (const name of ['hiscore.dat', 'best.replay']) kept[name] = await storedFile(name);
    // The first page's next save is held just before it writes the folder back.
    await page.evaluate(() => {
      const saves = Module.vextralSaves;
      const sync = saves.sync;
      saves.sync = async (populate) => {
        if (!populate) {
          saves.sync = sync;
          await new Promise((release) => { window.releaseWrite = release; });
        }
        return sync(populate);
      };
    });
    const stereo = (await game()).stereo;
    await clickMenu(MENU.stereo);
    await waitFor(() => window.releaseWrite !== undefined);
    // Meanwhile the second page leaves a game: its save waits for the first page's to end
    // (or, made at once, would be written over by it).
    await secondPage.bringToFront();
    const keptBefore = await secondPage.evaluate(() => Module.vextralSaves.kept);
    await playAndLeave(secondPage, { wait: false });
    await waitOn(secondPage, async (before) => {
      const saves = Module.vextralSaves;
      const locks = navigator.locks ? await navigator.locks.query() : { pending: [] };
      return (saves.syncing && locks.pending.length > 0) || (saves.kept > before && !saves.syncing);
    }, keptBefore);
    await page.evaluate(() => window.releaseWrite());
    await waitOn(secondPage, (before) => Module.vextralSaves.kept > before && !Module.vextralSaves.syncing,
                 keptBefore);
    await waitFor(() => !Module.vextralSaves.syncing);
    const secondGame = await pageFile(secondPage, 'last.replay');
    await secondPage.close();
    await page.bringToFront();
    assert(sameBytes(await storedFile('last.replay'), secondGame), 'the second page\'s game is not the last one kept');
    const storedStereo = storedInt(await storedFile('anaglyph3d.dat'));
    assert(storedStereo === (await game()).stereo && storedStereo !== stereo,
           `the browser keeps the stereo scheme ${storedStereo}, not the first page's ${(await game()).stereo}`);
    for (const [name, bytes] of Object.entries(kept)) {
      assert(sameBytes(await storedFile(name), bytes), `${name} is no longer the first page's`);
    }
  });

  await check('after the browser clears the page\'s storage, the saves go on', async () => {
    const { best, stereo } = await game();
    const cleared = await page.createCDPSession();
    await cleared.send('Storage.clearDataForOrigin', { origin: new URL(url).origin, storageTypes: 'indexeddb' });
    await cleared.detach();
    assert(await storedFile('hiscore.dat') === null, 'the browser still keeps the best score');
    const keptBefore = await page.evaluate(() => Module.vextralSaves.kept);
    // Schemes chosen after the clearing, each saved, back to the first (whose title the
    // reload's check tells from a plain one).
    for (let from = stereo; from !== 1; from = (await game()).stereo) {
      await clickMenu(MENU.stereo);
      await waitFor((before) => Module.vextralGame.stereo !== before && !Module.vextralSaves.syncing, from);
    }
    await page.screenshot({ path: join(output, '08a-after-clearing.png') });
    assert(await page.evaluate((before) => Module.vextralSaves.kept > before, keptBefore),
           `the save after the clearing was not kept: ${await notice('')}`);
    // The game's best score is kept again with the stereo scheme chosen after the clearing.
    assert(storedInt(await storedFile('hiscore.dat')) === best, 'the best score is not kept again');
    stereoBeforeReload = (await game()).stereo;
    assert(storedInt(await storedFile('anaglyph3d.dat')) === stereoBeforeReload, 'the stereo scheme is not kept');
  });

  await check('a reload keeps the best score and the stereo scheme', async () => {
    await page.reload({ waitUntil: 'load' });
    await waitFor(() => window.vextral?.ready);
    await page.keyboard.press('Enter');
    await waitForState(STATE.title);
    const state = await game();
    assert(state.best === bestBeforeReload, `best ${state.best}, was ${bestBeforeReload}`);
    assert(state.stereo === stereoBeforeReload, `stereo ${state.stereo}, was ${stereoBeforeReload}`);
    let edges;
    for (let attempt = 0; attempt < 20; attempt++) {
      edges = stereoEdges(await canvasPixels('08-title-after-reload'));
      if (edges.apart) break;
    }
    assert(edges.apart, 'the title is not drawn in stereo after the reload');
    // The page names what it keeps: the volumes and the music start afresh.
    const words = await page.evaluate(() => document.getElementById('kept').textContent.replace(/\s+/g, ' '));
    for (const part of ['best score', 'stereo colours', 'last and best games', 'volumes start afresh']) {
      assert(words.includes(part), `the page's words on what it keeps miss "${part}": ${words}`);
    }
  });

  await check('with the browser\'s storage full the game plays on and says its saves are not kept', async () => {
    // Another origin of the same server, so that its storage is its own.
    const address = new URL(url);
    address.hostname = 'localhost';
    const full = await startPage('page with full storage', { address: address.href, quota: 1 });
    try {
      await clickMenu(MENU.stereo, full);
      // The frame after the change saves it, then tells the page.
      await waitOn(full, () => Module.vextralGame.stereo === 1);
      await waitUntil(async () => (await notice('storage for this page is full', full)) !== null,
                      'a notice of the full storage');
      await full.screenshot({ path: join(output, '09-storage-full.png') });
      await waitOn(full, () => !Module.vextralSaves.syncing);
      const next = await full.evaluateHandle(() => Module.vextralGame);
      await waitOn(full, (from) => Module.vextralGame !== from, next);
    } finally {
      await full.close();
    }
  });

  await check('a browser without IndexedDB plays, its saves lasting as long as the page', async () => {
    const bare = await startPage('page without IndexedDB', {
      prepare: () => Object.defineProperty(window, 'indexedDB', { value: undefined }),
    });
    try {
      await playAndLeave(bare);
      // The game just left is offered from memory.
      await waitOn(bare, () => document.getElementById('last').getAttribute('aria-disabled') === 'false');
      await waitUntil(async () => (await notice('no IndexedDB', bare)) !== null, 'a notice of no IndexedDB');
    } finally {
      await bare.close();
    }
  });
} catch (error) {
  fail(error);
}
await finish(browser, log);
