// The page's program: loads it with a bar that counts the whole download, starts it at the
// player's first click, tap or key, and shows what it tells the page (index.html). The
// other scripts beside it add the screen's fit (screen.js), the controls of a touch screen
// (touch.js), the hall of fame (hall.js) and offline play (offline.js) through
// window.vextral.
'use strict';
const overlay = document.getElementById('overlay');
const statusText = document.getElementById('status');
const barFill = document.querySelector('#bar > div');
const canvas = document.getElementById('canvas');
const notices = document.getElementById('notices');

// The bar shows the whole download: the program's script (vextral.js, counted once it has
// come), the program (vextral.wasm, fetched here so that its bytes can be counted, and
// compiled as it comes) and the sound effects (vextral.data, whose progress the program
// reports). The build writes the sizes into the page, so the bar knows the whole before
// the first byte comes; without them each file's size counts once it is known.
const downloads = { js: { done: 0, total: 0 }, wasm: { done: 0, total: 0 },
                    data: { done: 0, total: 0 } };
for (const size of document.querySelector('meta[name="vextral-sizes"]').content.split(' ')) {
  const [file, bytes] = size.split('=');
  if (downloads[file] && Number(bytes) > 0) downloads[file].total = Number(bytes);
}
function showProgress() {
  if (vextral.ready) return;
  let done = 0;
  let total = 0;
  for (const file of Object.values(downloads)) {
    total += Math.max(file.total, file.done);
    done += file.done;
  }
  if (total > 0) barFill.style.width = (100 * done / total) + '%';
}
const wasmResponse = fetch('vextral.wasm', { credentials: 'same-origin' }).then((response) => {
  if (!response.ok) throw new Error('vextral.wasm: ' + response.status + ' ' + response.statusText);
  downloads.wasm.total ||= Number(response.headers.get('Content-Length')) || 0;
  const reader = response.body.getReader();
  const counted = new ReadableStream({
    async pull(controller) {
      const { done, value } = await reader.read();
      if (done) {
        controller.close();
        return;
      }
      downloads.wasm.done += value.length;
      showProgress();
      controller.enqueue(value);
    },
  });
  return new Response(counted, { headers: { 'Content-Type': 'application/wasm' } });
});

// Every sound the page makes goes through one gain per audio context (the mute button) and
// an analyser that tells whether sound is playing.
const audio = { gain: null, analyser: null, muted: false };
const connect = AudioNode.prototype.connect;
AudioNode.prototype.connect = function (target, ...rest) {
  if (target instanceof AudioDestinationNode) {
    if (!audio.gain || audio.gain.context !== target.context) {
      audio.gain = target.context.createGain();
      audio.gain.gain.value = audio.muted ? 0 : 1;
      audio.analyser = target.context.createAnalyser();
      connect.call(audio.gain, audio.analyser);
      connect.call(audio.gain, target);
    }
    return connect.call(this, audio.gain, ...rest);
  }
  return connect.call(this, target, ...rest);
};

// The game's state for the page and its tests: started, ended, the build, and the sound's
// level; and what the other scripts share.
window.vextral = {
  started: false,
  ended: false,
  ready: false,
  build: document.querySelector('meta[name="vextral-build"]').content,
  // Set by touch.js while the page is played by touch.
  touch: false,
  // What main is called with, and whether the start waits (hall.js sets both while it
  // fetches a game to watch); where a click goes once the game has ended (null: a reload).
  mainArguments: [],
  held: false,
  reloadAddress: null,
  // What the other scripts do once the program is loaded, and as the game starts (in the
  // click, tap or key that starts it).
  onReady: [],
  onStart: [],
  soundLevel() {
    if (!audio.analyser || audio.analyser.context.state !== 'running') return 0;
    const samples = new Float32Array(audio.analyser.fftSize);
    audio.analyser.getFloatTimeDomainData(samples);
    let sum = 0;
    for (const value of samples) sum += value * value;
    return Math.sqrt(sum / samples.length);
  },
};

function showStatus(text) {
  statusText.textContent = text;
}

function showReady() {
  showStatus(vextral.touch ? 'Tap here to play (the sound starts with it).'
                           : 'Click here or press a key to play (the sound starts with it).');
}
vextral.showReady = showReady;

function start() {
  if (vextral.started || !vextral.ready || vextral.held) return;
  vextral.started = true;
  overlay.hidden = true;
  canvas.focus();
  Module.callMain(vextral.mainArguments);
  for (const listener of vextral.onStart) listener();
}

// The keys the game reads must not scroll the page.
const gameKeys = new Set(['ArrowLeft', 'ArrowRight', 'ArrowUp', 'ArrowDown', ' ', 'Spacebar',
                          'Alt', 'Control', 'Escape', 'PageUp', 'PageDown', 'Home', 'End']);
window.addEventListener('keydown', (event) => {
  // Typing into the page's own fields (the hall's name) is not play.
  if (event.target instanceof HTMLInputElement) return;
  if (gameKeys.has(event.key)) event.preventDefault();
  if (!vextral.started && vextral.ready) start();
}, true);
overlay.addEventListener('click', () => {
  if (vextral.ended && vextral.reloadAddress) location.assign(vextral.reloadAddress);
  else if (vextral.ended) location.reload();
  else start();
});

const muteButton = document.getElementById('mute');
muteButton.addEventListener('click', () => {
  audio.muted = !audio.muted;
  if (audio.gain) audio.gain.gain.value = audio.muted ? 0 : 1;
  muteButton.textContent = audio.muted ? 'Unmute' : 'Mute';
  muteButton.setAttribute('aria-pressed', String(audio.muted));
  canvas.focus();
});

// A failure the player should know about, one line per kind under the game; an empty
// text takes the kind's line away.
function showNotice(kind, text) {
  let line = Array.from(notices.children).find((child) => child.dataset.kind === kind);
  if (!text) {
    if (line) line.remove();
    return;
  }
  if (!line) {
    line = document.createElement('p');
    line.dataset.kind = kind;
    notices.append(line);
  }
  line.textContent = text;
}
vextral.showNotice = showNotice;

// The download links follow the recorded games in the player's folder.
function offerReplay(link, name) {
  const saves = Module.vextralSaves;
  let bytes = null;
  try {
    if (saves) bytes = Module.FS.readFile(saves.folder + '/' + name);
  } catch (missing) {
    bytes = null;
  }
  if (link.href) URL.revokeObjectURL(link.href);
  if (bytes) {
    link.href = URL.createObjectURL(new Blob([bytes], { type: 'application/octet-stream' }));
    link.setAttribute('aria-disabled', 'false');
  } else {
    link.removeAttribute('href');
    link.setAttribute('aria-disabled', 'true');
  }
}

// A click downloads the game as the browser keeps it now: another page of the game may have
// kept a better one since this page last saved.
for (const [id, name] of [['last', 'last.replay'], ['best', 'best.replay']]) {
  const link = document.getElementById(id);
  link.addEventListener('click', (event) => {
    event.preventDefault();
    canvas.focus();
    const saves = Module.vextralSaves;
    if (!saves) return;
    saves.readKept(name).then((bytes) => {
      if (!bytes) {
        offerReplay(link, name);
        return;
      }
      const address = URL.createObjectURL(new Blob([bytes], { type: 'application/octet-stream' }));
      const save = document.createElement('a');
      save.href = address;
      save.download = link.download;
      save.click();
      // The browser has the bytes once the download has begun.
      setTimeout(() => URL.revokeObjectURL(address), 60000);
    });
  });
}

var Module = {
  canvas,
  print: (text) => console.log(text),
  printErr: (text) => console.warn(text),
  setStatus(text) {
    // "Downloading data... (done/total)" while the sound effects load.
    const progress = /^Downloading data\.\.\. \((\d+)\/(\d+)\)/.exec(text);
    if (progress) {
      downloads.data.done = Number(progress[1]);
      downloads.data.total ||= Number(progress[2]);
      showProgress();
    }
    if (text && !vextral.ready) showStatus(text.replace(/\s*\(.*\)$/, '') || 'Loading…');
  },
  instantiateWasm(imports, receive) {
    wasmResponse
      .then((response) => WebAssembly.instantiateStreaming(response, imports))
      .then((result) => receive(result.instance, result.module))
      .catch((error) => Module.onAbort(String(error)));
    return {};
  },
  onRuntimeInitialized() {
    vextral.ready = true;
    barFill.style.width = '100%';
    showReady();
    for (const listener of vextral.onReady) listener();
  },
  onNotice: showNotice,
  onSavesChanged() {
    offerReplay(document.getElementById('last'), 'last.replay');
    offerReplay(document.getElementById('best'), 'best.replay');
  },
  onGameEnded() {
    vextral.ended = true;
    if (document.fullscreenElement) document.exitFullscreen();
    showStatus('The game has ended. Click here to play again.');
    document.getElementById('bar').hidden = true;
    overlay.hidden = false;
  },
  onAbort(what) {
    showStatus('The game stopped: ' + what);
    overlay.hidden = false;
  },
};

// The program's script, once Module and the page's other scripts are ready for it.
const program = document.createElement('script');
program.src = 'vextral.js';
program.async = true;
program.onload = () => {
  downloads.js.done = downloads.js.total;
  showProgress();
};
document.addEventListener('DOMContentLoaded', () => document.body.append(program));
