// SDL keys to Windows virtual-key codes, the codes the game's key tables are indexed by.
// Letters follow the keyboard layout (SDL's key code); every other key is found by its
// physical position (SDL's scancode), as Windows does for punctuation on a US layout.

#include <SDL.h>

#include "input/system.h"

namespace {

struct KeyCode {
  SDL_Scancode scancode;
  int32_t virtual_key;
};

constexpr KeyCode kScancodeTable[] = {
    {SDL_SCANCODE_BACKSPACE, 8},
    {SDL_SCANCODE_TAB, 9},
    {SDL_SCANCODE_CLEAR, 12},
    {SDL_SCANCODE_RETURN, 13},
    {SDL_SCANCODE_KP_ENTER, 13},
    {SDL_SCANCODE_PAUSE, 19},
    {SDL_SCANCODE_CAPSLOCK, 20},
    {SDL_SCANCODE_ESCAPE, 27},
    {SDL_SCANCODE_SPACE, 32},
    {SDL_SCANCODE_PAGEUP, 33},
    {SDL_SCANCODE_PAGEDOWN, 34},
    {SDL_SCANCODE_END, 35},
    {SDL_SCANCODE_HOME, 36},
    {SDL_SCANCODE_LEFT, 37},
    {SDL_SCANCODE_UP, 38},
    {SDL_SCANCODE_RIGHT, 39},
    {SDL_SCANCODE_DOWN, 40},
    {SDL_SCANCODE_SELECT, 41},
    {SDL_SCANCODE_EXECUTE, 43},
    {SDL_SCANCODE_PRINTSCREEN, 44},
    {SDL_SCANCODE_INSERT, 45},
    {SDL_SCANCODE_DELETE, 46},
    {SDL_SCANCODE_HELP, 47},
    {SDL_SCANCODE_0, 48},
    {SDL_SCANCODE_1, 49},
    {SDL_SCANCODE_2, 50},
    {SDL_SCANCODE_3, 51},
    {SDL_SCANCODE_4, 52},
    {SDL_SCANCODE_5, 53},
    {SDL_SCANCODE_6, 54},
    {SDL_SCANCODE_7, 55},
    {SDL_SCANCODE_8, 56},
    {SDL_SCANCODE_9, 57},
    {SDL_SCANCODE_LGUI, 91},
    {SDL_SCANCODE_RGUI, 92},
    {SDL_SCANCODE_APPLICATION, 93},
    {SDL_SCANCODE_MENU, 93},
    {SDL_SCANCODE_SLEEP, 95},
    {SDL_SCANCODE_KP_0, 96},
    {SDL_SCANCODE_KP_1, 97},
    {SDL_SCANCODE_KP_2, 98},
    {SDL_SCANCODE_KP_3, 99},
    {SDL_SCANCODE_KP_4, 100},
    {SDL_SCANCODE_KP_5, 101},
    {SDL_SCANCODE_KP_6, 102},
    {SDL_SCANCODE_KP_7, 103},
    {SDL_SCANCODE_KP_8, 104},
    {SDL_SCANCODE_KP_9, 105},
    {SDL_SCANCODE_KP_MULTIPLY, 106},
    {SDL_SCANCODE_KP_PLUS, 107},
    {SDL_SCANCODE_KP_COMMA, 108},
    {SDL_SCANCODE_KP_MINUS, 109},
    {SDL_SCANCODE_KP_PERIOD, 110},
    {SDL_SCANCODE_KP_DECIMAL, 110},
    {SDL_SCANCODE_KP_DIVIDE, 111},
    {SDL_SCANCODE_NUMLOCKCLEAR, 144},
    {SDL_SCANCODE_SCROLLLOCK, 145},
    {SDL_SCANCODE_LSHIFT, 160},
    {SDL_SCANCODE_RSHIFT, 161},
    {SDL_SCANCODE_LCTRL, 162},
    {SDL_SCANCODE_RCTRL, 163},
    {SDL_SCANCODE_LALT, 164},
    {SDL_SCANCODE_RALT, 165},
    {SDL_SCANCODE_AC_BACK, 166},
    {SDL_SCANCODE_AC_FORWARD, 167},
    {SDL_SCANCODE_AC_REFRESH, 168},
    {SDL_SCANCODE_AC_STOP, 169},
    {SDL_SCANCODE_AC_SEARCH, 170},
    {SDL_SCANCODE_AC_BOOKMARKS, 171},
    {SDL_SCANCODE_AC_HOME, 172},
    {SDL_SCANCODE_MUTE, 173},
    {SDL_SCANCODE_AUDIOMUTE, 173},
    {SDL_SCANCODE_VOLUMEDOWN, 174},
    {SDL_SCANCODE_VOLUMEUP, 175},
    {SDL_SCANCODE_AUDIONEXT, 176},
    {SDL_SCANCODE_AUDIOPREV, 177},
    {SDL_SCANCODE_AUDIOSTOP, 178},
    {SDL_SCANCODE_AUDIOPLAY, 179},
    {SDL_SCANCODE_MAIL, 180},
    {SDL_SCANCODE_MEDIASELECT, 181},
    {SDL_SCANCODE_COMPUTER, 182},
    {SDL_SCANCODE_CALCULATOR, 183},
    {SDL_SCANCODE_SEMICOLON, 186},
    {SDL_SCANCODE_EQUALS, 187},
    {SDL_SCANCODE_COMMA, 188},
    {SDL_SCANCODE_MINUS, 189},
    {SDL_SCANCODE_PERIOD, 190},
    {SDL_SCANCODE_SLASH, 191},
    {SDL_SCANCODE_GRAVE, 192},
    {SDL_SCANCODE_LEFTBRACKET, 219},
    {SDL_SCANCODE_BACKSLASH, 220},
    {SDL_SCANCODE_NONUSHASH, 220},
    {SDL_SCANCODE_RIGHTBRACKET, 221},
    {SDL_SCANCODE_APOSTROPHE, 222},
    {SDL_SCANCODE_NONUSBACKSLASH, 226},
};

// Indexed by scancode; built once from the table above.
struct ScancodeMap {
  int32_t codes[SDL_NUM_SCANCODES] = {};
  ScancodeMap() {
    for (const KeyCode& entry : kScancodeTable) codes[entry.scancode] = entry.virtual_key;
    for (int32_t i = 0; i < 24; ++i) {
      // F1-F12 and F13-F24 are not contiguous among SDL's scancodes.
      SDL_Scancode scancode = i < 12 ? static_cast<SDL_Scancode>(SDL_SCANCODE_F1 + i)
                                     : static_cast<SDL_Scancode>(SDL_SCANCODE_F13 + i - 12);
      codes[scancode] = 112 + i;
    }
    for (int32_t i = 0; i < 26; ++i) {
      codes[SDL_SCANCODE_A + i] = 'A' + i;
    }
  }
};

}  // namespace

int32_t VirtualKeyFromSDL(int32_t scancode, int32_t keycode) {
  if (keycode >= 'a' && keycode <= 'z') return keycode - 'a' + 'A';
  static const ScancodeMap map;
  if (scancode <= 0 || scancode >= SDL_NUM_SCANCODES) return 0;
  return map.codes[scancode];
}
