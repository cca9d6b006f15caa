// Frame times of the browser build, measured inside the page in Debian's Chromium, headless:
// what a player's page does between two of the game's frames, nothing else running (no
// screenshots). Prints the bytes the page fetched before it could start, the time from
// navigation to the splash, and the game's updates a second with the percentiles of the
// time between two updates, on the title and in play.
//
//   tools/web/serve.sh 8080 &   # after tools/web/build.sh
//   node bench/web/frame_times.mjs http://127.0.0.1:8080/ [SECONDS]
//
// Runs from tests/web (its node_modules hold puppeteer-core).

import { createRequire } from 'node:module';
import { fileURLToPath } from 'node:url';
import { dirname, join } from 'node:path';

const require = createRequire(join(dirname(fileURLToPath(import.meta.url)), '../../tests/web/'));
const puppeteer = require('puppeteer-core');

const [url, secondsText] = process.argv.slice(2);
if (!url) {
  console.error('usage: node frame_times.mjs URL [SECONDS]');
  process.exit(2);
}
const seconds = Number(secondsText || 10);
const STATE = { play: 2, title: 4 };

const browser = await puppeteer.launch({
  executablePath: '/usr/bin/chromium',
  headless: true,
  args: ['--headless=new', '--no-sandbox', '--use-angle=swiftshader',
         '--enable-unsafe-swiftshader', '--window-size=900,700'],
});
try {
  const page = await browser.newPage();
  await page.setViewport({ width: 900, height: 700 });
  const fetched = new Map();
  page.on('response', async (response) => {
    const path = new URL(response.url()).pathname;
    try {
      fetched.set(path, (await response.buffer()).length);
    } catch {
      // A response without a body.
    }
  });
  const waitFor = (test, ...args) =>
    page.waitForFunction(test, { timeout: 120000, polling: 50 }, ...args);

  const navigated = Date.now();
  await page.goto(url, { waitUntil: 'load' });
  await waitFor(() => window.vextral?.ready);
  const ready = Date.now() - navigated;
  const beforeStart = [...fetched].reduce((sum, [, bytes]) => sum + bytes, 0);
  console.log(`page ready to start ${ready} ms after navigation, having fetched ` +
              `${(beforeStart / 1e6).toFixed(2)} MB (${[...fetched.keys()].join(' ')})`);

  // Every frame hands the page a new record: its arrival times are the frame times.
  await page.evaluate(() => {
    window.frameTimes = [];
    let current = Module.vextralGame;
    Object.defineProperty(Module, 'vextralGame', {
      configurable: true,
      get: () => current,
      set: (value) => {
        current = value;
        window.frameTimes.push(performance.now());
      },
    });
  });
  const started = Date.now();
  await page.click('#overlay');
  // The splash shows before the first frame record; the title's first record ends it.
  await waitFor(() => window.frameTimes.length > 0);
  console.log(`splash over and title up ${Date.now() - started} ms after the click`);

  async function measure(label) {
    await page.evaluate(() => { window.frameTimes = []; });
    await new Promise((done) => setTimeout(done, seconds * 1000));
    const times = await page.evaluate(() => window.frameTimes);
    const gaps = times.slice(1).map((time, i) => time - times[i]).sort((a, b) => a - b);
    const at = (fraction) => gaps[Math.min(gaps.length - 1, Math.floor(fraction * gaps.length))];
    const rate = (times.length - 1) / ((times[times.length - 1] - times[0]) / 1000);
    console.log(`${label}: ${rate.toFixed(1)} updates a second; between frames p50 ` +
                `${at(0.5).toFixed(1)} ms, p90 ${at(0.9).toFixed(1)} ms, p99 ` +
                `${at(0.99).toFixed(1)} ms, longest ${gaps[gaps.length - 1].toFixed(1)} ms`);
  }
  await waitFor((title) => Module.vextralGame?.state === title, STATE.title);
  await measure('title');
  const box = await (await page.$('#canvas')).boundingBox();
  await page.mouse.click(box.x + 320 * box.width / 640, box.y + 250 * box.height / 480);
  await waitFor((play) => Module.vextralGame?.state === play, STATE.play);
  await measure('play');
} finally {
  await browser.close();
}
