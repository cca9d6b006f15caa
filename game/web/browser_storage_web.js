// The player's folder in the browser's storage (IndexedDB, through Emscripten's IDBFS), for
// the page's program (game/web/browser_page.h says when the game calls each function).
//
// Every page of the game shares the browser's copy of the folder, and each page holds its
// own copy in memory, read when it started. A save first loads what the other pages have
// kept since, one page at a time (Web Locks, where the browser has them), so that it
// keeps the higher best score and the better game as on a desktop, and writing the folder
// back takes away nothing another page kept.
//
// The page finds the state as Module.vextralSaves: folder, syncing (a save is under way),
// kept (how many saves reached the browser), sync (one load or write of the folder, which
// a test may hold), readKept (a kept file, as the browser has it now). Module.onSavesChanged,
// when the page sets it, hears of every load and save; failures reach the page's notices
// under the kind "saves".
mergeInto(LibraryManager.library, {
  $VextralSaves__deps: ['$FS', '$IDBFS', '$VextralPage'],
  $VextralSaves: {
    state: null,

    // Says on the page why the saves are not kept (the reason replacing an earlier one),
    // or takes the notice away once a save is kept again.
    tell: function(text, error) {
      let reason = '';
      if (error && error.name === 'QuotaExceededError') {
        reason = "the browser's storage for this page is full";
      } else if (error) {
        reason = 'the browser refused it (' + (error.message || error) + ')';
      }
      VextralPage.notice('saves', text ? text + ': ' + reason + '.' : '');
    },

    changed: function() {
      if (Module.onSavesChanged) Module.onSavesChanged();
    },

    // The database IDBFS keeps the folder in, opened (again after the browser closed it)
    // and watched: a browser that clears the page's storage, or evicts it, closes the
    // connection, and the next save opens the database anew.
    open: function(saves) {
      return new Promise((done) => {
        IDBFS.getDB(saves.folder, (error, database) => {
          if (error) {
            done({ error: error });
            return;
          }
          if (!database.vextralWatched) {
            database.vextralWatched = true;
            database.addEventListener('close', () => {
              database.vextralClosed = true;
              if (IDBFS.dbs[saves.folder] === database) delete IDBFS.dbs[saves.folder];
              saves.cleared = true;
            });
          }
          done({ database: database });
        });
      });
    },

    // One load from (populate) or write to the browser; resolves with the error, or null.
    // IDBFS hears of a failed request but not of a write the browser aborts, which the
    // database hears of. A connection found closing is opened again once.
    syncOnce: function(saves, populate) {
      return VextralSaves.open(saves).then((opened) => new Promise((done) => {
        if (opened.error) {
          done(opened.error);
          return;
        }
        const database = opened.database;
        let ended = false;
        const end = (error) => {
          if (ended) return;
          ended = true;
          database.removeEventListener('abort', aborted);
          done(error || null);
        };
        const aborted = (event) => end(event.target.error || new Error('the browser aborted it'));
        database.addEventListener('abort', aborted);
        try {
          IDBFS.syncfs(saves.mount, populate, end);
        } catch (error) {
          end(error);
        }
      }));
    },

    sync: function(saves, populate) {
      return VextralSaves.syncOnce(saves, populate).then((error) => {
        const database = IDBFS.dbs[saves.folder];
        const reopen = error && (!database || database.vextralClosed);
        return reopen ? VextralSaves.syncOnce(saves, populate) : error;
      });
    },

    // A kept file as the browser's storage has it now (another page may have saved a
    // newer one), else this page's copy; null when neither has it.
    readKept: function(saves, name) {
      const path = saves.folder + '/' + name;
      const fromMemory = () => {
        try {
          return FS.readFile(path);
        } catch (missing) {
          return null;
        }
      };
      if (!saves.mount) return Promise.resolve(fromMemory());
      return VextralSaves.open(saves).then((opened) => new Promise((done) => {
        if (opened.error) {
          done(fromMemory());
          return;
        }
        try {
          const reading = opened.database.transaction([IDBFS.DB_STORE_NAME], 'readonly')
                                         .objectStore(IDBFS.DB_STORE_NAME).get(path);
          reading.onsuccess = () => {
            const entry = reading.result;
            done(entry && entry.contents ? new Uint8Array(entry.contents) : fromMemory());
          };
          reading.onerror = (event) => {
            event.preventDefault();
            done(fromMemory());
          };
        } catch (error) {
          done(fromMemory());
        }
      }));
    },
  },

  // Mounts the browser's storage at the folder and loads what it keeps there. Without
  // IndexedDB the folder stays in memory: the game plays, and its saves last until the
  // page closes.
  vextral_load_browser_storage__deps: ['$VextralSaves', '$Asyncify'],
  vextral_load_browser_storage: function(folderName) {
    return Asyncify.handleAsync(async () => {
      const folder = UTF8ToString(folderName);
      FS.mkdirTree(folder);
      const saves = { folder: folder, syncing: false, kept: 0, mount: null, pulled: false,
                      cleared: false, unkept: false, release: null };
      VextralSaves.state = saves;
      saves.sync = (populate) => VextralSaves.sync(saves, populate);
      saves.readKept = (name) => VextralSaves.readKept(saves, name);
      Module.vextralSaves = saves;
      let storage = null;
      try {
        storage = indexedDB;
      } catch (error) {
        storage = null;
      }
      if (!storage) {
        VextralPage.notice('saves', 'This browser keeps no files for the page (no IndexedDB): ' +
                           'the best score, the stereo colours and the recorded games last ' +
                           'only until the page is closed.');
        return;
      }
      // Emscripten's fsync writes the whole folder to the browser, half-made files and
      // all, and never ends when the browser aborts the write (its storage full): fsync
      // does nothing here, and each save is written back whole, once it is done.
      const type = Object.assign({}, IDBFS, { syncfs: (mount, populate, done) => done(null) });
      saves.mount = FS.mount(type, {}, folder).mount;
      const error = await saves.sync(true);
      saves.cleared = false;
      if (error) {
        VextralSaves.tell('The saved best score, stereo colours and games could not be read ' +
                          'from the browser', error);
      }
      VextralSaves.changed();
    });
  },

  // Before a save: waits for the other pages' saves to end and loads what they kept.
  // Returns 1 when the game should write all it keeps: the browser's copy was cleared
  // since the last save, or a save since then was not kept.
  vextral_begin_browser_save__deps: ['$VextralSaves', '$Asyncify'],
  vextral_begin_browser_save: function() {
    return Asyncify.handleAsync(async () => {
      const saves = VextralSaves.state;
      if (!saves || !saves.mount) return 0;
      saves.syncing = true;
      if (navigator.locks) {
        await new Promise((held) => navigator.locks.request('vextral saves ' + saves.folder,
          () => new Promise((release) => {
            saves.release = release;
            held();
          })));
      }
      const error = await saves.sync(true);
      saves.pulled = !error;
      // Writing the folder back now would take away what this page could not load.
      if (error) {
        saves.unkept = true;
        VextralSaves.tell('This save is not kept in the browser, which could not read the ' +
                          'saved files', error);
        return 0;
      }
      const writeAll = saves.cleared || saves.unkept;
      saves.cleared = false;
      return writeAll ? 1 : 0;
    });
  },

  // Writes the folder back to the browser after a save that began with
  // vextral_begin_browser_save, and lets the next page save.
  vextral_end_browser_save__deps: ['$VextralSaves', '$Asyncify'],
  vextral_end_browser_save: function() {
    return Asyncify.handleAsync(async () => {
      const saves = VextralSaves.state;
      if (!saves) return;
      if (saves.pulled) {
        saves.pulled = false;
        const error = await saves.sync(false);
        saves.unkept = !!error;
        if (error) {
          VextralSaves.tell('The best score, the stereo colours and the recorded games saved ' +
                            'now are not kept in the browser', error);
        } else {
          saves.kept++;
          VextralSaves.tell('');
        }
      }
      if (saves.release) {
        saves.release();
        saves.release = null;
      }
      saves.syncing = false;
      VextralSaves.changed();
    });
  },
});
