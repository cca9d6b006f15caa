// The page's hall of fame, against a real vextral-hall on 127.0.0.1 that serves the built
// page under /play/: no request to a hall without ?hall=; the table shows a verified game
// whose name is markup as plain text; "Watch" plays that game in the page's own game; and
// "Send my best game" sends the page's kept best game, whose refusal (an abandoned game) the
// page shows with the hall's reason.
//
//   node hall_test.mjs PAGE_FOLDER OUTPUT_FOLDER VEXTRAL_HALL VEXTRAL_SIM

import { execFileSync, spawn } from 'node:child_process';
import { chmodSync, mkdirSync, mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { createInterface } from 'node:readline';
import {
  DEADLINE, MENU, STATE, assert, checks, game, keepLog, launch, pagePoint, waitForState, waitOn,
} from './helpers.mjs';

const [pageFolder, output, hallProgram, simulator] = process.argv.slice(2);
mkdirSync(output, { recursive: true });
const { check, fail, finish } = checks();
const log = [];

// A name the table must show as text, never as markup.
const HOSTILE = '<img src=x>&amp;';

const scratch = mkdtempSync(join(tmpdir(), 'vextral-hall-page-'));
// A finished game played by the simulator: the hall verifies it.
execFileSync(simulator, ['--data', join(scratch, 'games'), '--seed', '7', '--random-input',
                         '--frames', '20000'], { stdio: 'ignore', timeout: DEADLINE });
const recording = readFileSync(join(scratch, 'games', 'best.replay'));

// The hall refuses to serve as root: as nobody then, in a folder nobody owns.
const data = join(scratch, 'hall');
mkdirSync(data);
const hallArguments = ['--data', data, '--port', '0', '--workers', '1', '--page', resolve(pageFolder)];
if (process.getuid() === 0) {
  chmodSync(scratch, 0o755);
  execFileSync('chown', ['nobody', data]);
  hallArguments.push('--user', 'nobody');
}
const hall = spawn(hallProgram, hallArguments, { stdio: ['ignore', 'pipe', 'inherit'] });
const origin = await new Promise((done, failed) => {
  const timer = setTimeout(() => failed(new Error('the hall did not start')), DEADLINE);
  createInterface({ input: hall.stdout }).on('line', (line) => {
    const served = /serving (http:\/\/\S+?)\/? /.exec(line + ' ');
    if (served) {
      clearTimeout(timer);
      done(served[1]);
    }
  });
  hall.on('exit', (status) => failed(new Error(`the hall ended (${status})`)));
});
process.on('exit', () => {
  hall.kill();
  rmSync(scratch, { recursive: true, force: true });
});

async function hallJson(path, options) {
  const response = await fetch(origin + path, options);
  return { status: response.status, body: await response.json() };
}

async function settled(id) {
  const deadline = Date.now() + DEADLINE;
  for (;;) {
    const { body } = await hallJson(`/api/games/${id}`);
    if (body.status === 'verified' || body.status === 'refused') return body;
    assert(Date.now() < deadline, `game ${id} was never checked`);
    await new Promise((done) => setTimeout(done, 100));
  }
}

const browser = await launch();
const page = await browser.newPage();
await page.setViewport({ width: 900, height: 900 });
keepLog(page, log);
const requests = [];
page.on('request', (request) => requests.push(request.url()));

async function clickMenu(row) {
  const point = await pagePoint(page, row);
  await page.mouse.move(point.x, point.y, { steps: 4 });
  await page.mouse.down();
  await waitOn(page, () => true);
  await page.mouse.up();
}

try {
  await check('without ?hall= the page shows no hall and asks none', async () => {
    await page.goto(`${origin}/play/`, { waitUntil: 'load' });
    await waitOn(page, () => window.vextral?.ready);
    assert(await page.$eval('#hall-open', (button) => button.hidden), 'the hall button shows');
    const asked = requests.filter((address) => address.includes('/api/'));
    assert(asked.length === 0, `the page asked ${asked.join(', ')}`);
  });

  const sent = await hallJson(`/api/games?name=${encodeURIComponent(HOSTILE)}`, {
    method: 'POST', headers: { 'Content-Type': 'application/octet-stream' }, body: recording,
  });
  assert(sent.status === 202, `the hall took the game with ${sent.status}`);
  const verified = await settled(sent.body.id);
  assert(verified.status === 'verified', `the simulator's game was ${verified.status}`);

  await check('the table shows a name written as markup as its text', async () => {
    await page.goto(`${origin}/play/?hall=/`, { waitUntil: 'load' });
    await waitOn(page, () => window.vextral?.ready);
    await page.click('#hall-open');
    await waitOn(page, () => document.querySelector('#hall-table tbody tr'));
    const row = await page.$eval('#hall-table tbody tr', (line) => ({
      cells: Array.from(line.cells, (cell) => cell.textContent),
      elements: line.cells[1].childElementCount,
      images: document.querySelectorAll('#hall img').length,
    }));
    assert(row.cells[1] === HOSTILE, `the name shows as ${JSON.stringify(row.cells[1])}`);
    assert(row.elements === 0 && row.images === 0, 'the name was made into markup');
    assert(row.cells[0] === '1' && row.cells[2] === String(verified.score) &&
           row.cells[3] === String(verified.level), `the row reads ${row.cells.join(' | ')}`);
    await page.screenshot({ path: join(output, 'hall-01-table.png') });
  });

  await check('"Watch" plays the hall\'s game in the page', async () => {
    await Promise.all([page.waitForNavigation({ waitUntil: 'load' }), page.click('#hall-table .watch')]);
    assert(new URL(page.url()).searchParams.get('watch') === String(verified.id),
           `watching ${page.url()}`);
    await waitOn(page, () => window.vextral?.ready && !vextral.held);
    const status = await page.$eval('#status', (line) => line.textContent);
    assert(status.includes(HOSTILE), `the page says ${status}`);
    await page.click('#overlay');
    // No key is pressed: a score is the recording's play, not a new game's.
    await waitOn(page, () => Module.vextralGame?.state === 2 && Module.vextralGame.score > 0);
    const state = await game(page);
    assert(state.score <= verified.score, `the replay scores ${state.score} of ${verified.score}`);
    await page.screenshot({ path: join(output, 'hall-02-watching.png') });
  });

  await check('"Send my best game" shows the hall\'s reason for refusing an abandoned game', async () => {
    await page.goto(`${origin}/play/?hall=/`, { waitUntil: 'load' });
    await waitOn(page, () => window.vextral?.ready);
    await page.click('#overlay');
    await waitForState(page, STATE.title);
    await clickMenu(MENU.start);
    await waitForState(page, STATE.play);
    await page.keyboard.press('Escape');
    await waitForState(page, STATE.pause);
    await page.keyboard.press('Escape');
    await waitForState(page, STATE.title);
    await waitOn(page, () => document.getElementById('best').getAttribute('aria-disabled') === 'false');
    await page.click('#hall-open');
    await page.type('#hall-name', 'tester');
    assert((await game(page)).state === STATE.title, 'typing the name played the game');
    await page.click('#hall-send');
    await waitOn(page, () => /refused|verified/.test(document.getElementById('hall-outcome').textContent))
      .catch(async (error) => {
        console.log('outcome: ' + await page.$eval('#hall-outcome', (line) => line.textContent));
        await page.screenshot({ path: join(output, 'hall-03-sent.png') });
        throw error;
      });
    const outcome = await page.$eval('#hall-outcome', (line) => line.textContent);
    const id = Number(/Game (\d+)/.exec(outcome)?.[1]);
    const kept = await settled(id);
    assert(kept.name === 'tester' && kept.status === 'refused', `the hall holds ${JSON.stringify(kept)}`);
    assert(outcome.includes(kept.detail), `the page says ${outcome}`);
    await page.screenshot({ path: join(output, 'hall-03-sent.png') });
  });

  await check('the page keeps to its policy', async () => {
    const refused = log.filter((line) => line.includes('Content Security Policy'));
    assert(refused.length === 0, refused.join('\n'));
  });
} catch (error) {
  fail(error);
}
await finish(browser, log);
