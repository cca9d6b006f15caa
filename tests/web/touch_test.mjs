// Plays the browser build on an emulated phone (Chromium's mobile emulation, landscape) by
// touch, every touch sent through the DevTools protocol as a touch screen sends it:
// the page shows the controls and a picture that fits the screen; a tap starts the game and
// another Start Game;
// the left thumb steers while the right one fires until a shot scores, and a thumb sliding
// onto the other steering control turns the other way; the on-screen pause pauses and a
// tap on Quit This Game leaves the game, whose recording, downloaded from the page by a tap,
// replays in the Linux simulator to the same score; a control held as the page is hidden is
// let go when it comes back; a pad plugged in takes the game, and the controls take it back
// when touched; held upright, the phone asks to be
// turned and the game waits until it is; and on a screen of three device pixels to the CSS
// pixel the canvas is drawn at all of them.
//
//   node tests/web/touch_test.mjs URL OUTPUT_FOLDER [VEXTRAL_SIM]

import { mkdirSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { DEADLINE, MENU, STATE, assert, checks, game, keepLog, launch, nextFrame, pagePoint,
         replayed, waitOn, waitForState, watchDownloads } from './helpers.mjs';

const [url, output, simulator] = process.argv.slice(2);
if (!url || !output) {
  console.error('usage: node touch_test.mjs URL OUTPUT_FOLDER [VEXTRAL_SIM]');
  process.exit(2);
}
mkdirSync(output, { recursive: true });

const PHONE = { width: 844, height: 390, deviceScaleFactor: 1, mobile: true };
const landscape = { ...PHONE, screenOrientation: { type: 'landscapePrimary', angle: 90 } };
const portrait = { ...PHONE, width: PHONE.height, height: PHONE.width,
                   screenOrientation: { type: 'portraitPrimary', angle: 0 } };
// The same phone with three device pixels to the CSS pixel. (The game is played at one:
// headless Chromium draws a page at three far too slowly for a game.)
const dense = { ...landscape, deviceScaleFactor: 3 };
const densePortrait = { ...portrait, deviceScaleFactor: 3 };

const { check, fail, finish } = checks();
const browser = await launch();
const page = await browser.newPage();
const log = [];
keepLog(page, log);
const phone = await page.createCDPSession();
await phone.send('Emulation.setDeviceMetricsOverride', landscape);
await phone.send('Emulation.setTouchEmulationEnabled', { enabled: true, maxTouchPoints: 5 });
const downloads = await watchDownloads(browser, join(output, 'downloads'));
// A gamepad the test plugs in (headless Chromium has none): SDL's browser joystick reads it
// through navigator.getGamepads, as a real one, once the browser has told of it.
await page.evaluateOnNewDocument(() => {
  const buttons = Array.from({ length: 17 }, () => ({ pressed: false, touched: false, value: 0 }));
  window.testPad = {
    id: 'Test pad', index: 0, connected: false, mapping: 'standard', timestamp: 1,
    axes: [0, 0, 0, 0], buttons,
    setStick(x) {
      this.axes = [x, 0, 0, 0];
      this.timestamp++;
    },
    plugIn() {
      this.connected = true;
      const event = new Event('gamepadconnected');
      Object.defineProperty(event, 'gamepad', { value: this });
      window.dispatchEvent(event);
    },
  };
  navigator.getGamepads = () => (testPad.connected ? [testPad] : []);
});

// The fingers on the screen, by identifier. A finger put down or lifted is sent alone; a
// finger moved is sent with the others, which stay where they are.
const fingers = new Map();
async function touch(id, point) {
  const down = fingers.get(id);
  let type = 'touchMove';
  let touchPoints;
  if (point === null) {
    type = 'touchEnd';
    touchPoints = [{ id, ...down }];
    fingers.delete(id);
  } else {
    if (!down) type = 'touchStart';
    fingers.set(id, point);
    touchPoints = down ? Array.from(fingers, ([finger, at]) => ({ id: finger, ...at }))
                       : [{ id, ...point }];
  }
  await phone.send('Input.dispatchTouchEvent', { type, touchPoints });
}
const TAP = 9;
async function tap(point) {
  await touch(TAP, point);
  await touch(TAP, null);
}
// A screenshot of the phone's whole screen (puppeteer's own knows nothing of the emulation).
async function screenshot(name) {
  const { data } = await phone.send('Page.captureScreenshot', { format: 'png' });
  writeFileSync(join(output, `${name}.png`), Buffer.from(data, 'base64'));
}
const tapGame = async (row) => tap(await pagePoint(page, row));
// The centre of an element of the page.
async function centre(selector) {
  const box = await (await page.$(selector)).boundingBox();
  assert(box, `${selector} is not shown`);
  return { x: box.x + box.width / 2, y: box.y + box.height / 2 };
}
const control = (name) => centre(`#pad [data-control="${name}"]`);

// Asserts that the picture fits the screen, keeps 4:3, fills most of its height and is
// drawn at ratio device pixels to the CSS pixel, and that every control is on the screen.
async function fits(ratio) {
  const fit = await page.evaluate(() => {
    const box = canvas.getBoundingClientRect();
    const controls = Array.from(document.querySelectorAll('#pad [data-control]'), (element) => {
      const place = element.getBoundingClientRect();
      return { name: element.dataset.control, shown: place.width > 0 && place.left >= 0 &&
               place.top >= 0 && place.right <= innerWidth && place.bottom <= innerHeight };
    });
    return { box: { left: box.left, top: box.top, right: box.right, bottom: box.bottom,
                    width: box.width, height: box.height },
             buffer: { width: canvas.width, height: canvas.height }, ratio: devicePixelRatio,
             screen: { width: innerWidth, height: innerHeight },
             fullScreen: document.fullscreenElement?.id ?? null, controls };
  });
  const { box, buffer, screen } = fit;
  const said = JSON.stringify(fit);
  assert(box.left >= 0 && box.top >= 0 && box.right <= screen.width + 0.5 &&
         box.bottom <= screen.height + 0.5, `the picture leaves the screen: ${said}`);
  assert(Math.abs(box.width * 3 - box.height * 4) < 4, `the picture is not 4:3: ${said}`);
  assert(box.height > screen.height * 0.8, `the picture is small on the phone: ${said}`);
  assert(fit.ratio === ratio && Math.abs(buffer.width - box.width * ratio) < ratio &&
         Math.abs(buffer.height - box.height * ratio) < ratio,
         `the canvas draws ${buffer.width} x ${buffer.height} pixels for ${box.width} x ` +
         `${box.height} CSS pixels at ${fit.ratio} to one: ${said}`);
  for (const { name, shown } of fit.controls) assert(shown, `the ${name} control is not on the screen`);
}

// Starts a game from the title by a tap on Start Game (or as choose does), when the title
// shows.
async function startFromTitle(choose = tapGame) {
  await waitOn(page, (states) => states.includes(Module.vextralGame?.state), [STATE.play, STATE.title]);
  if ((await game(page)).state !== STATE.title) return false;
  await choose(MENU.start);
  await waitForState(page, STATE.play);
  return true;
}

try {
  await page.goto(url, { waitUntil: 'load' });
  await waitOn(page, () => window.vextral?.ready);

  await check('a phone gets the controls and a picture that fits its screen', async () => {
    await tap(await centre('#overlay'));
    await waitForState(page, STATE.title);
    await screenshot('touch-00-title');
    await fits(1);
  });

  await check('the left thumb steers while the right one fires, until a shot scores', async () => {
    await startFromTitle();
    const left = await control('left');
    const fire = await control('fire');
    await touch(1, left);
    const heading = (await game(page)).heading;
    await waitOn(page, (from) => Module.vextralGame.heading < from, heading);
    const deadline = Date.now() + DEADLINE;
    let steeredWhileFiring = false;
    while (Date.now() < deadline && (await game(page)).score === 0) {
      // A game lost meanwhile: the thumbs go on in the next one.
      if (await startFromTitle()) await touch(1, left);
      // Both thumbs down: the ship turns on between two looks.
      await touch(2, fire);
      await nextFrame(page);
      const firing = await game(page);
      await nextFrame(page);
      await nextFrame(page);
      const stillFiring = await game(page);
      await touch(2, null);
      await nextFrame(page);
      if (firing.state === STATE.play && stillFiring.state === STATE.play &&
          stillFiring.heading < firing.heading) {
        steeredWhileFiring = true;
      }
    }
    await screenshot('touch-01-scored');
    assert((await game(page)).score > 0, 'no shot fired by touch scored');
    assert(steeredWhileFiring, 'the ship stopped turning while the other thumb fired');
    // The left thumb slides onto Right: the ship turns the other way (again if a ship is
    // lost before it has).
    const right = await control('right');
    for (let turnedRight = false; !turnedRight;) {
      assert(Date.now() < deadline + DEADLINE, 'sliding onto Right never turned the ship right');
      await touch(1, left);
      await startFromTitle();
      const from = (await game(page)).heading;
      await touch(1, right);
      await waitOn(page, (before) => Module.vextralGame.heading > before ||
                                     Module.vextralGame.state !== 2, from);
      turnedRight = (await game(page)).heading > from;
    }
    await touch(1, null);
  });

  await check('a control held as the page is hidden is let go when the page comes back', async () => {
    // The browser sends the page no end of a touch while another page is shown, so a thumb
    // lifted meanwhile would leave the ship turning. (Again if a ship is lost first.)
    const left = await control('left');
    const deadline = Date.now() + DEADLINE;
    for (let steady = false; !steady;) {
      assert(Date.now() < deadline, 'the ship never kept its heading after the page came back');
      await startFromTitle();
      await touch(1, left);
      const from = (await game(page)).heading;
      await waitOn(page, (before) => Module.vextralGame.heading !== before ||
                                     Module.vextralGame.state !== 2, from);
      const other = await browser.newPage();
      await other.bringToFront();
      await waitOn(page, () => document.visibilityState === 'hidden');
      await other.close();
      await page.bringToFront();
      await waitOn(page, () => document.visibilityState === 'visible');
      // The thumb, still on the screen, counts again only once put down anew.
      await nextFrame(page);
      const back = await game(page);
      for (let frame = 0; frame < 5; frame++) await nextFrame(page);
      const later = await game(page);
      assert(!(await page.$('#pad .held')), 'a control still shows held');
      if (back.state === STATE.play && later.state === STATE.play) {
        assert(later.heading === back.heading, 'the ship turns on after the page came back');
        steady = true;
      }
      await touch(1, null);
    }
  });

  let played = null;
  await check('the on-screen pause pauses and a tap on Quit This Game leaves the game', async () => {
    // The pause button pauses play, not the interval after a lost ship.
    const deadline = Date.now() + DEADLINE;
    while ((await game(page)).state !== STATE.pause) {
      assert(Date.now() < deadline, 'the pause control never paused the game');
      await startFromTitle();
      const pause = await control('pause');
      await touch(3, pause);
      await nextFrame(page);
      await touch(3, null);
      await waitOn(page, (play) => Module.vextralGame?.state !== play, STATE.play);
    }
    played = await game(page);
    await screenshot('touch-02-paused');
    await tapGame(MENU.quit);
    await waitForState(page, STATE.title);
  });

  await check('the game played by touch replays on Linux to the same score', async () => {
    assert(played, 'no game was left');
    await waitOn(page, () => document.getElementById('last').getAttribute('aria-disabled') === 'false' &&
                            !Module.vextralSaves.syncing);
    const bytes = await downloads.take(page, async () => tap(await centre('#last')), 'the last game');
    const file = join(output, 'touch.replay');
    writeFileSync(file, bytes);
    if (!simulator) return;
    const replay = replayed(simulator, file);
    assert(replay.score === played.score && replay.level === played.level,
           `replayed to score ${replay.score}, level ${replay.level}; played ${played.score}, ` +
           `level ${played.level}`);
  });

  await check('a pad plugged in takes the game, and the controls take it back when touched', async () => {
    // Each of them turns the ship left in play (again if a ship is lost first).
    const deadline = Date.now() + DEADLINE;
    // A player with a pad chooses Start Game with the mouse here: a tap would bring the
    // controls back.
    const click = async (row) => {
      const point = await pagePoint(page, row);
      await page.mouse.click(point.x, point.y);
    };
    async function turnsLeft(steer, what, choose) {
      for (let turned = false; !turned;) {
        assert(Date.now() < deadline, `${what} never turned the ship`);
        await startFromTitle(choose);
        const from = (await game(page)).heading;
        await steer();
        await waitOn(page, (before) => Module.vextralGame.heading < before ||
                                       Module.vextralGame.state !== 2, from);
        turned = (await game(page)).heading < from;
      }
    }
    const controlsShow = () => page.evaluate(() => getComputedStyle(pad).display !== 'none');
    const picture = () => page.evaluate(() => JSON.stringify(canvas.getBoundingClientRect()));
    const left = await control('left');
    const where = await picture();
    await page.evaluate(() => testPad.plugIn());
    // The next tap on a menu item must find it where it was.
    assert(!(await controlsShow()), 'the controls show with a pad plugged in');
    assert(await picture() === where, 'the picture moves as the controls go');
    await turnsLeft(() => page.evaluate(() => testPad.setStick(-1)), 'the pad', click);
    assert(!(await controlsShow()), 'the controls show while the pad plays');
    // The stick let go: the frame begun next reads it, and the one after shows it.
    await page.evaluate(() => testPad.setStick(0));
    await nextFrame(page);
    await nextFrame(page);
    // The touch that brings the controls back presses the one under it.
    await turnsLeft(() => touch(1, left), 'the Left control');
    await touch(1, null);
    await turnsLeft(() => page.evaluate(() => testPad.setStick(-1)), 'the pad used again',
                    click);
    await waitOn(page, () => getComputedStyle(pad).display === 'none');
    await page.evaluate(() => testPad.setStick(0));
    // The controls back for the checks after.
    await tap(await centre('#top h1'));
    assert(await controlsShow(), 'a touch did not bring the controls back');
  });

  await check('held upright the phone asks to be turned, and the game waits until it is', async () => {
    await phone.send('Emulation.setDeviceMetricsOverride', densePortrait);
    await waitOn(page, () => getComputedStyle(document.getElementById('turn')).display !== 'none');
    await screenshot('touch-03-upright');
    const cover = await page.evaluate(() => {
      const box = document.getElementById('turn').getBoundingClientRect();
      return box.width >= innerWidth - 1 && box.height >= innerHeight - 1;
    });
    assert(cover, 'the request to turn the phone does not cover the screen');
    // Held: no frame for 30 polls in a row (each frame hands the page a new record).
    await waitOn(page, () => {
      const current = Module.vextralGame;
      if (current !== window.heldFrame) {
        window.heldFrame = current;
        window.heldPolls = 0;
      }
      return ++window.heldPolls >= 30;
    });
    await phone.send('Emulation.setDeviceMetricsOverride', dense);
    await waitOn(page, () => getComputedStyle(document.getElementById('turn')).display === 'none');
    await waitOn(page, () => Module.vextralGame !== window.heldFrame);
  });

  await check('on a screen of three device pixels to the CSS pixel the canvas has all of them', async () => {
    await waitOn(page, () => canvas.width > canvas.getBoundingClientRect().width * 2);
    await screenshot('touch-04-dense');
    await fits(3);
  });

} catch (error) {
  fail(error);
}
await finish(browser, log);
