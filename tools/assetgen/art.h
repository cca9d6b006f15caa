#pragma once
// The generator's pictures. Each function draws one finished image; all are
// deterministic. `font_path` is the TrueType face used for lettering.

#include <string>

#include "tools/assetgen/canvas.h"

// Sprites, each exactly its frame size, sealed for black masking.
Image DrawAsteroid(int variant);                         // 130 x 130, variants 0..2
Image DrawShip();                                        // 28 x 22, nose up
Image DrawChunk();                                       // 28 x 22 rock fragment
Image DrawShot(int frame);                               // 7 x 16: 0 bolt, 1 spark
Image DrawExplosion(int frame);                          // 72 x 72, frames 0..5
Image DrawUfo(int frame);                                // 58 x 57: 0 lower body, 1 upper body
Image DrawTitleLettering(const std::string& font_path);  // 416 x 154

// The 640 x 361 sheet with every sprite at its grab position.
Image DrawSpriteSheet(const std::string& font_path);

// Stand-alone images.
Image DrawTitleFlat(const std::string& font_path);  // 417 x 158
Image DrawBackdrop();                               // 640 x 480
Image DrawPointer();                                // 18 x 18
Image DrawLogo(const std::string& font_path);       // 420 x 236
