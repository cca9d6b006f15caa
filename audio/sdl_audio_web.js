// SDL's browser audio calls these JavaScript helpers of Emscripten's; the web build's audio
// device names this function so that the link keeps them.
mergeInto(LibraryManager.library, {
  vextral_keep_sdl_audio_helpers__deps: ['$autoResumeAudioContext', '$dynCall'],
  vextral_keep_sdl_audio_helpers: function() {},
});
