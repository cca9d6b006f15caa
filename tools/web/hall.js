// The hall of fame view (index.html, after page.js): the table of a vextral-hall server, each
// of its games watched in this page's own game, and the player's best game sent to it. The
// page talks to a hall only when its address names one, as ?hall=ADDRESS on the same origin
// as the page (vextral-hall --page serves the page under /play/ for that, ?hall=/); without
// one the view stays hidden and the page makes no request of its own beyond its files.
// ?watch=ID with it plays that game of the hall instead of a new game.
'use strict';
(() => {
  const TABLE_SIZE = 20;
  const POLL_MILLIS = 1000;
  const parameters = new URLSearchParams(location.search);
  const hall = hallAddress(parameters.get('hall'));
  vextral.hall = hall ? hall.href : null;
  if (!hall) return;

  const view = document.getElementById('hall');
  const opener = document.getElementById('hall-open');
  const rows = document.querySelector('#hall-table tbody');
  const tableStatus = document.getElementById('hall-table-status');
  const nameField = document.getElementById('hall-name');
  const sendButton = document.getElementById('hall-send');
  const outcome = document.getElementById('hall-outcome');
  document.getElementById('hall-where').textContent = hall.href;
  opener.hidden = false;

  // The hall's address from the page's ?hall=, made absolute; null when none is given or
  // it leaves the page's origin (the page sends the player's games nowhere else).
  function hallAddress(given) {
    if (!given) return null;
    let address = null;
    try {
      address = new URL(given, location.href);
    } catch (malformed) {
      address = null;
    }
    if (!address || address.origin !== location.origin) {
      vextral.showNotice('hall', 'The hall of fame ' + given + ' is not on this page\'s own ' +
                         'site, so the page does not use it.');
      return null;
    }
    if (!address.pathname.endsWith('/')) address.pathname += '/';
    address.search = '';
    address.hash = '';
    return address;
  }

  // A JSON answer of the hall: { ok, status, body }; body is null when the answer is not
  // JSON. A network failure rejects.
  async function ask(path, options = {}) {
    const response = await fetch(new URL(path, hall), { credentials: 'same-origin', ...options });
    let body = null;
    try {
      body = await response.json();
    } catch (notJson) {
      body = null;
    }
    return { ok: response.ok, status: response.status, body };
  }

  function refusal(answer) {
    if (answer.body && typeof answer.body.reason === 'string') return answer.body.reason;
    return 'the hall answered ' + answer.status;
  }

  function cell(text) {
    const element = document.createElement('td');
    element.textContent = text;
    return element;
  }

  async function showTable() {
    tableStatus.textContent = 'Loading the table…';
    let answer = null;
    try {
      answer = await ask('api/table?n=' + TABLE_SIZE);
    } catch (error) {
      tableStatus.textContent = 'The hall could not be reached (' + (error.message || error) + ').';
      return;
    }
    if (!answer.ok || !answer.body || !Array.isArray(answer.body.games)) {
      tableStatus.textContent = 'The hall refused the table: ' + refusal(answer) + '.';
      return;
    }
    rows.replaceChildren();
    answer.body.games.forEach((game, index) => {
      const row = document.createElement('tr');
      row.dataset.id = String(game.id);
      const when = new Date(Number(game.submitted_at) * 1000);
      row.append(cell(String(index + 1)), cell(String(game.name)), cell(String(game.score)),
                 cell(String(game.level)),
                 cell(Number.isNaN(when.getTime()) ? '' : when.toISOString().slice(0, 10)));
      const watchCell = document.createElement('td');
      const watch = document.createElement('button');
      watch.type = 'button';
      watch.className = 'watch';
      watch.textContent = 'Watch';
      watch.addEventListener('click', () => watchGame(game.id));
      watchCell.append(watch);
      row.append(watchCell);
      rows.append(row);
    });
    tableStatus.textContent = answer.body.games.length === 0 ? 'No game is on the table yet.' : '';
  }

  // A game runs once per page: watching reloads the page with the game's id.
  function watchGame(id) {
    const address = new URL(location.href);
    address.searchParams.set('watch', String(id));
    location.assign(address.href);
  }

  function showOutcome(text) {
    outcome.textContent = text;
  }

  // Asks after a sent game until the hall has checked it.
  async function follow(id) {
    for (;;) {
      let answer = null;
      try {
        answer = await ask('api/games/' + id);
      } catch (error) {
        showOutcome('Game ' + id + ' was sent, but the hall could not be asked how it went (' +
                    (error.message || error) + ').');
        return;
      }
      const game = answer.body;
      if (!answer.ok || !game) {
        showOutcome('Game ' + id + ': ' + refusal(answer) + '.');
        return;
      }
      if (game.status === 'verified') {
        showOutcome('Game ' + id + ' is verified: score ' + game.score + ', level ' + game.level +
                    '.');
        showTable();
        return;
      }
      if (game.status === 'refused') {
        showOutcome('Game ' + id + ' was refused: ' + game.reason + ' (' + game.detail + ').');
        return;
      }
      showOutcome('Game ' + id + ' is ' + game.status + ': the hall is playing it again…');
      await new Promise((done) => setTimeout(done, POLL_MILLIS));
    }
  }

  async function sendBest() {
    const saves = Module.vextralSaves;
    if (!saves) {
      showOutcome('Start the game first: your best game is read from its saves.');
      return;
    }
    const bytes = await saves.readKept('best.replay');
    if (!bytes) {
      showOutcome('No best game is kept yet: play one to its end first.');
      return;
    }
    sendButton.disabled = true;
    showOutcome('Sending…');
    try {
      const answer = await ask('api/games?name=' + encodeURIComponent(nameField.value), {
        method: 'POST',
        headers: { 'Content-Type': 'application/octet-stream' },
        body: bytes,
      });
      if (answer.status === 202 && answer.body) {
        await follow(answer.body.id);
      } else {
        showOutcome('The hall refused the game: ' + refusal(answer) + '.');
      }
    } catch (error) {
      showOutcome('The game could not be sent (' + (error.message || error) + ').');
    } finally {
      sendButton.disabled = false;
    }
  }

  opener.addEventListener('click', () => {
    view.hidden = !view.hidden;
    opener.setAttribute('aria-expanded', String(!view.hidden));
    if (!view.hidden) {
      showTable();
      view.scrollIntoView({ block: 'nearest' });
    } else {
      canvas.focus();
    }
  });
  document.getElementById('hall-refresh').addEventListener('click', showTable);
  document.getElementById('hall-form').addEventListener('submit', (event) => {
    event.preventDefault();
    sendBest();
  });
  // Keys typed into the name are the player's, not the game's.
  for (const kind of ['keydown', 'keypress', 'keyup']) {
    nameField.addEventListener(kind, (event) => event.stopPropagation());
  }

  // ?watch=ID: the game's recording is fetched into the game's file system and the game
  // starts on it instead of a new game.
  const watchId = parameters.get('watch');
  if (watchId === null) return;
  const plain = new URL(location.href);
  plain.searchParams.delete('watch');
  vextral.reloadAddress = plain.href;
  if (!/^[1-9][0-9]{0,17}$/.test(watchId)) {
    vextral.showNotice('hall', 'There is no hall game ' + watchId + ' to watch.');
    return;
  }
  vextral.held = true;
  const path = '/tmp/hall-' + watchId + '.replay';
  const fetched = Promise.all([
    ask('api/games/' + watchId),
    fetch(new URL('api/games/' + watchId + '/recording', hall), { credentials: 'same-origin' })
      .then(async (response) => {
        if (!response.ok) throw new Error('the hall answered ' + response.status);
        return new Uint8Array(await response.arrayBuffer());
      }),
  ]);
  const ready = new Promise((done) => vextral.onReady.push(done));
  Promise.all([fetched, ready]).then(([[about, bytes]]) => {
    Module.FS.writeFile(path, bytes);
    vextral.mainArguments = ['--replay', path];
    const who = about.body && typeof about.body.name === 'string' ? about.body.name : '';
    vextral.watching = { id: Number(watchId), name: who };
    document.getElementById('status').textContent =
      'Click here or press a key to watch ' + (who ? who + '\'s game' : 'game ' + watchId) +
      ' from the hall of fame.';
  }).catch((error) => {
    vextral.showNotice('hall', 'Game ' + watchId + ' of the hall could not be fetched (' +
                       (error.message || error) + '): a new game is played instead.');
  }).finally(() => {
    vextral.held = false;
  });
})();
