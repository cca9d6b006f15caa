// The picture's fit to the screen (index.html, after page.js). The page's style sizes the
// canvas, keeping 4:3 in whatever room the screen leaves. SDL takes the canvas's CSS size
// as the game's window and backs the canvas with that size times the devicePixelRatio, so
// the picture is drawn at the screen's own pixels; it looks again when the window's resize
// event comes. The canvas also changes size without one (the controls of a touch screen
// come, a notice shows under the game, the page moves to a screen of another density):
// then the page raises the event itself.
'use strict';
(() => {
  const game = document.getElementById('game');
  const canvas = document.getElementById('canvas');

  const tellTheGame = () => window.dispatchEvent(new Event('resize'));
  new ResizeObserver(tellTheGame).observe(canvas);
  // A change of density keeps the CSS size: the resolution's media query tells of it (held
  // here, as a query nothing holds stops telling).
  let density = null;
  function watchDensity() {
    density = matchMedia(`(resolution: ${window.devicePixelRatio}dppx)`);
    density.addEventListener('change', () => {
      tellTheGame();
      watchDensity();
    }, { once: true });
  }
  watchDensity();

  // Full screen takes the whole game (its buttons, the stage and the notices), so the
  // picture grows and what the page says stays in sight. A browser grants it only in
  // answer to a click, a tap or a key, and some (a phone's) not at all.
  vextral.enterFullScreen = () => {
    if (document.fullscreenElement || !game.requestFullscreen) return Promise.resolve();
    return game.requestFullscreen({ navigationUI: 'hide' }).then(() => {
      // A phone may turn the screen to lie sideways, the game's shape.
      screen.orientation?.lock?.('landscape')?.catch(() => {});
    }, () => {});
  };
  document.getElementById('fullscreen').addEventListener('click', () => {
    if (document.fullscreenElement) document.exitFullscreen();
    else vextral.enterFullScreen().then(() => canvas.focus());
  });

  // No menu of the browser's own over the picture: a right click, or a long press on a touch
  // screen.
  document.getElementById('stage').addEventListener('contextmenu', (event) => event.preventDefault());
})();
