// The controls of a touch screen (index.html, after page.js). They give the game a pad
// (game/web/touch_pad.h): Left and Right push its stick fully left and right, Thrust fully
// up, and Fire, Cloak and Pause press its buttons 0, 1 and 2, so the game reads them, and
// records them, as it reads a pad. Each finger counts on its own, so a thumb can steer
// while the other fires, and a finger sliding from one control to another moves the press
// with it. A tap on the picture reaches the game as a click (SDL makes one of the first
// finger), which chooses a menu item.
//
// The controls show on a touch screen (a coarse pointer, or a touch) and go when a key or a
// pad is used; while they show, their pad is the one on the game's port, ahead of any pad
// plugged in. A phone held upright shows a request to turn it, and the game waits as it
// does when the page loses the focus.
'use strict';
(() => {
  const root = document.documentElement;
  const pad = document.getElementById('pad');
  const buttons = new Map(Array.from(pad.querySelectorAll('[data-control]'),
                                     (button) => [button.dataset.control, button]));
  const portrait = matchMedia('(orientation: portrait)');

  // Each finger on the page by its identifier, with the control under it now (or none).
  const fingers = new Map();
  // The controls pressed, each with the game's frame record when it was pressed.
  const pressed = new Map();
  // The pad: attached (1), not yet (0) or refused (-1), with the frame record of when it
  // came, and the state it was last given.
  let attached = 0;
  let attachedFrame;
  let given = '0 0 0';
  let played = false;
  let looking = false;
  let heldUpright = false;

  function controlUnder(touch) {
    const element = document.elementFromPoint(touch.clientX, touch.clientY);
    const control = element && element.closest('[data-control]');
    return control && pad.contains(control) ? control.dataset.control : null;
  }

  // Every finger on the page, heard before the element it touches: a finger put down where a
  // control comes back (the controls shown by that very touch) presses it, though its events
  // go to what lay there before. Only the controls' own touches are kept from the browser.
  function follow(event) {
    if (pad.contains(event.target)) event.preventDefault();
    if (event.type === 'touchstart') showControls(true);
    const ended = event.type === 'touchend' || event.type === 'touchcancel';
    for (const touch of event.changedTouches) {
      if (ended) fingers.delete(touch.identifier);
      else if (event.type === 'touchstart' || fingers.has(touch.identifier)) {
        fingers.set(touch.identifier, controlUnder(touch));
      }
    }
    update();
  }
  for (const type of ['touchstart', 'touchmove', 'touchend', 'touchcancel']) {
    window.addEventListener(type, follow, { capture: true, passive: false });
  }
  // A page hidden, or without the focus, hears no more of its fingers: one lifted meanwhile
  // would hold its control for good. All let go; a thumb still down counts once put down
  // anew.
  function letGo() {
    if (fingers.size === 0 && pressed.size === 0) return;
    fingers.clear();
    pressed.clear();
    update();
  }
  window.addEventListener('blur', letGo);
  document.addEventListener('visibilitychange', () => {
    if (document.visibilityState === 'hidden') letGo();
  });

  // The controls held now, and whether one of them is held for the game only. The game
  // reads the pad once a frame: a control let go before the game has begun a frame since it
  // was pressed stays held until one has, so that no tap, however short, is lost.
  function held() {
    const frame = Module.vextralGame;
    const now = new Set();
    let forTheGame = false;
    for (const control of fingers.values()) {
      if (control === null) continue;
      now.add(control);
      if (!pressed.has(control)) pressed.set(control, frame);
    }
    for (const [control, at] of pressed) {
      if (now.has(control)) continue;
      if (frame !== undefined && frame === at) {
        now.add(control);
        forTheGame = true;
      } else {
        pressed.delete(control);
      }
    }
    return { now, forTheGame };
  }

  // Gives the game's pad the state of the controls, attaching it first; false while the pad
  // waits to be attached or taken. The game takes a new pad at its next frame, holding what
  // the pad then holds as already down: the pad is given a state only once a frame has begun
  // since it came.
  function give(now) {
    if (!vextral.started || vextral.ended || attached < 0) return true;
    if (played !== vextral.touch) {
      played = vextral.touch;
      Module._vextral_touch_pad_play(played ? 1 : 0);
    }
    if (attached === 0) {
      attached = Module._vextral_touch_pad_set(0, 0, 0);
      attachedFrame = Module.vextralGame;
      if (attached < 0) {
        vextral.showNotice('touch', 'The on-screen controls cannot reach the game here: ' +
                                    'play with a keyboard or a game pad.');
      }
      return attached < 0;
    }
    if (Module.vextralGame === undefined || Module.vextralGame === attachedFrame) return false;
    const x = (now.has('right') ? 1 : 0) - (now.has('left') ? 1 : 0);
    const y = now.has('thrust') ? -1 : 0;
    const mask = (now.has('fire') ? 1 : 0) | (now.has('cloak') ? 2 : 0) | (now.has('pause') ? 4 : 0);
    const state = `${x} ${y} ${mask}`;
    if (state !== given && Module._vextral_touch_pad_set(x, y, mask) === 1) given = state;
    return true;
  }

  // Brings the pad and the controls' look up to date, and again soon while a tap is held
  // for the game or the pad waits: on the page's timers, which run between the game's frames
  // (a phone may draw the page's animation frames far more slowly than the game runs them).
  function update() {
    const { now, forTheGame } = held();
    for (const [control, button] of buttons) button.classList.toggle('held', now.has(control));
    const settled = give(now) && !forTheGame;
    if (!settled && !looking && vextral.touch) {
      looking = true;
      setTimeout(() => {
        looking = false;
        update();
      }, 16);
    }
  }

  // An upright phone holds the game as a page without the focus does (SDL hears the page's
  // blur), until it is turned.
  function holdWhileUpright() {
    const hold = vextral.touch && vextral.started && !vextral.ended && portrait.matches;
    if (hold === heldUpright) return;
    heldUpright = hold;
    window.dispatchEvent(new FocusEvent(hold ? 'blur' : 'focus'));
  }
  portrait.addEventListener('change', holdWhileUpright);

  // A pad of the system used while the controls show takes the game back. The browser
  // tells of no press on a pad: the pads are looked at on the page's timers meanwhile, for
  // a button pressed or a stick pushed that was not already when last looked at.
  function padsHeld() {
    return Array.from(navigator.getGamepads?.() ?? [], (gamepad) => !gamepad ? '' :
      gamepad.buttons.map((button) => (button.pressed ? 'b' : '.')).join('') +
      gamepad.axes.map((axis) => (axis > 0.5 ? '+' : axis < -0.5 ? '-' : '0')).join('')).join(' ');
  }
  let watchingPads = false;
  function watchPads() {
    if (watchingPads || !Array.from(navigator.getGamepads?.() ?? []).some(Boolean)) return;
    watchingPads = true;
    let before = padsHeld();
    const look = () => {
      const now = vextral.touch ? padsHeld() : '';
      if (!vextral.touch || (now !== before && /[b+-]/.test(now))) {
        watchingPads = false;
        showControls(false);
        return;
      }
      before = now;
      setTimeout(look, 100);
    };
    look();
  }

  function showControls(show) {
    if (vextral.touch === show) return;
    vextral.touch = show;
    // The layout of a touch screen stays when the controls go: a tap that brings them back
    // finds the picture where it was.
    if (show) root.classList.add('touch');
    root.classList.toggle('controls', show);
    if (!show) {
      fingers.clear();
      pressed.clear();
    }
    if (vextral.ready && !vextral.started) vextral.showReady();
    holdWhileUpright();
    update();
    if (show) watchPads();
  }
  if (matchMedia('(pointer: coarse)').matches) showControls(true);
  window.addEventListener('keydown', () => showControls(false), true);
  window.addEventListener('gamepadconnected', () => showControls(false));

  // The tap that starts the game also asks for full screen.
  vextral.onStart.push(() => {
    if (vextral.touch) vextral.enterFullScreen();
    holdWhileUpright();
    update();
  });
})();
