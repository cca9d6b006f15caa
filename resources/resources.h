#pragma once
// The six resources embedded in the game executable and the simulator, and the
// sound files placed beside them. The resources are registered before main() runs
// by linking the vextral_resources object library (CMake: vextral_link_resources);
// open them with StreamOpen / LoadImage / LoadImageFont and these urls.

// Splash logo of the studio: 420 x 236, 8-bit RGB PNG, black background.
inline constexpr const char* kLogoUrl = "incbin::logo.png";
// Display font: a TrueType file (DejaVu Sans Bold).
inline constexpr const char* kFontUrl = "incbin::font.ttf";
// Coloured title for plain drawing: 417 x 158, 8-bit RGB PNG.
inline constexpr const char* kTitleFlatUrl = "incbin::title_flat.png";
// Starfield backdrop: 640 x 480, 8-bit RGB PNG.
inline constexpr const char* kBackdropUrl = "incbin::backdrop.png";
// Menu pointer: 18 x 18, 8-bit RGB PNG, arrow tip at the top-left pixel.
inline constexpr const char* kPointerUrl = "incbin::pointer.png";
// Sprite sheet: 640 x 361, 8-bit RGB PNG, frames at the game's grab positions.
inline constexpr const char* kSpriteSheetUrl = "incbin::sprites.png";

// The ten Ogg Vorbis files the build places in "data/" beside the executable.
inline constexpr const char* kSoundFiles[] = {
    "shoot.ogg",  "astrohit.ogg", "stage.ogg",   "bonus.ogg",   "cloak.ogg",
    "thrust.ogg", "explode.ogg",  "ufoloop.ogg", "t_track.ogg", "p_track.ogg",
};
