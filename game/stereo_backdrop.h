#pragma once
// The backdrop in stereo: two tinted pairs added over the cleared screen, four full-screen
// blended draws. Their sum is drawn once, grabbed from the back buffer, and then copied
// each frame until the tints, the backdrop, the clear colour or the graphics change.
// Game thread only; needs a current render state.

#include <memory>

class TImage;
class kvdraw_tag;

// Draws the backdrop's stereo pairs onto the screen just cleared, as draw.i3d (backdrop, 0,
// 0, 0, -6.0, 0, 2) after draw.sip (4, 1.0, 0, 1.0, 1.0) would, and leaves the same state
// behind: additive blending and the right-eye tint.
void draw_stereo_backdrop(kvdraw_tag& draw, const std::shared_ptr<TImage>& backdrop);
// Drops the composed picture (the game's globals are being reset).
void forget_stereo_backdrop();
