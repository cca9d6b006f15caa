// What the browser tests share: Debian's Chromium, headless; checks that count; waits for
// what the page shows, with generous deadlines for a loaded machine; the game's state as the
// page hears it; downloads; and replays in the Linux simulator.

import { execFileSync } from 'node:child_process';
import { readFileSync } from 'node:fs';
import { join, resolve } from 'node:path';
import puppeteer from 'puppeteer-core';

// game_state values (game/globals.h).
export const STATE = { play: 2, pause: 3, title: 4 };
export const DEADLINE = 120000;
// The menus' rows, in the game's 640 x 480 pixels.
export const MENU = { start: { x: 320, y: 250 }, stereo: { x: 320, y: 280 },
                      quit: { x: 320, y: 400 } };

export function assert(condition, message) {
  if (!condition) throw new Error(message);
}

// Named checks, counted; finish () closes the browser, prints the count and ends the run.
export function checks() {
  let passed = 0;
  let failed = 0;
  return {
    async check(name, body) {
      const began = Date.now();
      const took = () => `(${Math.round((Date.now() - began) / 1000)} s)`;
      try {
        await body();
        passed++;
        console.log(`ok: ${name} ${took()}`);
      } catch (error) {
        failed++;
        console.log(`FAILED: ${name}: ${error.message} ${took()}`);
      }
    },
    fail(error) {
      failed++;
      console.log(`FAILED: ${error.message}`);
    },
    async finish(browser, log) {
      if (failed > 0) console.log(log.filter((line) => !line.includes('ScriptProcessorNode')).slice(-40).join('\n'));
      await browser.close();
      console.log(`${passed} passed, ${failed} failed`);
      process.exit(failed > 0 ? 1 : 0);
    },
  };
}

export function launch() {
  return puppeteer.launch({
    executablePath: '/usr/bin/chromium',
    headless: true,
    args: ['--headless=new', '--no-sandbox', '--use-angle=swiftshader',
           '--enable-unsafe-swiftshader', '--window-size=900,700'],
  });
}

// The page's console and errors, kept to print when a check fails.
export function keepLog(page, log, name = '') {
  const prefix = name ? `${name}: ` : '';
  page.on('console', (message) => log.push(`${prefix}${message.type()}: ${message.text()}`));
  page.on('pageerror', (error) => log.push(`${prefix}page error: ${error.message}`));
}

export const game = (page) => page.evaluate(() => Module.vextralGame || null);
export const waitOn = (page, test, ...args) =>
  page.waitForFunction(test, { timeout: DEADLINE, polling: 100 }, ...args);
export const waitForState = (page, state) =>
  waitOn(page, (wanted) => Module.vextralGame?.state === wanted, state);

// Waits until test () holds, asking again after each round trip to the page.
export async function waitUntil(page, test, what) {
  const deadline = Date.now() + DEADLINE;
  while (!(await test())) {
    assert(Date.now() < deadline, `${what} never happened`);
    await page.waitForFunction(() => true);
  }
}

// A point of the game's 640 x 480 picture on the page.
export async function pagePoint(page, point) {
  const box = await (await page.$('#canvas')).boundingBox();
  return { x: box.x + point.x * box.width / 640, y: box.y + point.y * box.height / 480 };
}

// Waits until the game has begun a frame after this call (looking on the page's timers,
// which run between the game's frames whatever the page's drawing rate).
export const nextFrame = (page) => page.evaluate(() => new Promise((done) => {
  const from = Module.vextralGame;
  const look = () => (Module.vextralGame !== from ? done() : setTimeout(look, 1));
  look();
}));

// Downloads land in folder under the browser's name for each; take (start) runs start, which
// begins one download, and returns the bytes the browser saved.
export async function watchDownloads(browser, folder) {
  const session = await browser.target().createCDPSession();
  const place = resolve(folder);
  await session.send('Browser.setDownloadBehavior',
                     { behavior: 'allowAndName', downloadPath: place, eventsEnabled: true });
  let ended = null;
  session.on('Browser.downloadProgress', (event) => {
    if (event.state !== 'inProgress') ended = event;
  });
  return {
    async take(page, start, what) {
      ended = null;
      await start();
      await waitUntil(page, () => ended !== null, `the download of ${what}`);
      assert(ended.state === 'completed', `the download of ${what} ended ${ended.state}`);
      return readFileSync(join(place, ended.guid));
    },
  };
}

// The score and level a recorded game ends at, replayed by the Linux simulator.
export function replayed(simulator, file) {
  const printed = execFileSync(simulator, ['--replay', file], { encoding: 'utf8' });
  const result = /score (\d+), level (\d+)/.exec(printed);
  assert(result, `vextral-sim printed: ${printed}`);
  return { score: Number(result[1]), level: Number(result[2]) };
}
