#pragma once
// The game's own line for a failure the player should know about. One the game plays on
// through (a save that fails, a recording not kept) is a notice: one line on stderr
// prefixed by its subsystem, appended to vextral.log in the folder the game saves to, and
// shown on screen in the game's lettering for a few seconds, counted in frames and drawn
// by the HUD. It is only drawn: nothing a recording replays reads it. One that stops the
// program goes to stderr and the log too, and on systems where a player sees no terminal
// (Windows) to a message box before the program ends. Game thread only.

#include <cstdint>
#include <string>
#include <vector>

// How long a notice stays on screen: 5 s at full strength, then a 1 s fade.
constexpr int32_t kNoticeFrames = 360;
constexpr int32_t kNoticeFadeFrames = 60;

// Posts a notice: text without its subsystem ("game", "audio", ...), which stderr and the
// log put in front of it. A newer notice takes the place of the one on screen.
void post_notice(const char* subsystem, const std::string& text);
// Says that the program stops for this reason: stderr, the log and, where the system has
// one for it, a message box (which returns once the player has dismissed it).
void report_stopping_failure(const char* subsystem, const std::string& text);

// Draws the notice on screen (if any) and counts one of its frames; the HUD calls it once
// per frame. Leaves the colour, blend and alpha as the HUD left them.
void draw_notice();
// The notice on screen, empty when none is due, and how many frames it has left.
const std::string& notice_text();
int32_t notice_frames_left();
// Takes the notice off the screen.
void clear_notice();
// The lines the notice is drawn in at the given scale: words wrapped to fit the screen's
// width, at most three lines.
struct notice_line {
  std::string text;
  float scale = 1.0f;  // below the notice's own scale when one word alone is too wide
};
std::vector<notice_line> notice_lines(const std::string& text, float scale);

// Where the log is kept (vextral.log in the save folder), empty when nothing can be saved.
std::string notice_log_path();
