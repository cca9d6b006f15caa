// What the page's program tells the page (tools/web/index.html), and the music it fetches
// for the game (game/web/browser_page.h says when the game calls each function).
//
// The page sets, when it wants them: Module.onNotice (kind, text), a failure the player
// should know about, shown until the same kind comes with an empty text; Module.onGameEnded;
// and it reads Module.vextralGame, the game's state after each frame.
mergeInto(LibraryManager.library, {
  $VextralPage: {
    // One line on the console ("game:" as on a desktop's standard error) and on the page.
    notice: function(kind, text) {
      if (text) err('game: ' + text);
      if (Module.onNotice) Module.onNotice(kind, text);
    },
  },

  // The music tracks are most of the sounds' bytes and the splash needs neither, so they
  // are not in vextral.data: they are fetched from the page's music/ folder once the game
  // has started, into the folder where the desktop game finds them. A track that could not
  // be fetched is fetched again while the game asks for it, waiting longer after each
  // failure (one second, then twice as long each time, at most a minute).
  $VextralMusic__deps: ['$FS', '$VextralPage'],
  $VextralMusic: {
    folder: '',
    tracks: {},

    fetch: function(name) {
      const track = VextralMusic.tracks[name];
      track.fetching = true;
      fetch('music/' + name)
        .then((response) => {
          if (!response.ok) throw new Error(response.status + ' ' + response.statusText);
          return response.arrayBuffer();
        })
        .then((bytes) => {
          FS.writeFile(VextralMusic.folder + '/' + name, new Uint8Array(bytes));
          track.ready = true;
          if (track.failures > 0) VextralPage.notice('music ' + name, '');
        })
        .catch((error) => {
          track.failures++;
          track.retryAt = Date.now() + Math.min(1000 * Math.pow(2, track.failures - 1), 60000);
          VextralPage.notice('music ' + name, 'The music ' + name + ' could not be downloaded (' +
                             (error.message || error) + '): it is tried again while the game ' +
                             'plays it.');
        })
        .finally(() => {
          track.fetching = false;
        });
    },
  },

  vextral_start_music_downloads__deps: ['$VextralMusic'],
  vextral_start_music_downloads: function(folderName) {
    VextralMusic.folder = UTF8ToString(folderName);
    for (const name of ['p_track.ogg', 't_track.ogg']) {
      VextralMusic.tracks[name] = { ready: false, fetching: false, failures: 0, retryAt: 0 };
      VextralMusic.fetch(name);
    }
  },

  // 1 once the track is in the folder. Asked each frame while the game waits for it: a
  // track whose download failed is fetched again once its wait is over.
  vextral_music_track_ready__deps: ['$VextralMusic'],
  vextral_music_track_ready: function(fileName) {
    const name = UTF8ToString(fileName);
    const track = VextralMusic.tracks[name];
    // Not one of the fetched tracks: it is in the folder, or missing as on a desktop.
    if (!track) return 1;
    if (track.ready) return 1;
    if (!track.fetching && Date.now() >= track.retryAt) VextralMusic.fetch(name);
    return 0;
  },

  // What the page shows beside the game, and what its tests wait for: the screen the game
  // is on (game_state), the score, the best score, the stereo scheme, the level and the
  // ship's heading in degrees.
  vextral_tell_page_frame: function(state, score, best, stereo, level, heading) {
    Module.vextralGame = { state: state, score: score, best: best, stereo: stereo, level: level,
                           heading: heading };
  },

  // The game has ended (Exit Game, or Escape on the title menu).
  vextral_tell_page_game_ended: function() {
    if (Module.onGameEnded) Module.onGameEnded();
  },
});
