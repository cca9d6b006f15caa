#pragma once
// The two settings kept between runs, each one little-endian 32-bit integer with no
// header: the best score ("hiscore.dat") and the stereo scheme ("anaglyph3d.dat"). Read
// at start-up, written at exit; the best score is also saved as soon as a game ends with
// a new best (keep_best_score), so that a crash after it loses nothing. Game thread only,
// outside the frame loop.
//
// They live in data_folder beside the program while the player may write there. When
// that folder is read-only, or belongs to a system-wide install (where nothing is saved
// even when run as root), they live in the player's own folder, $XDG_DATA_HOME/vextral
// (by default ~/.local/share/vextral), made on the first save with mode 0700. A file
// already in the player's folder stays there while that folder can be written. Each file
// is read from the place it is saved to; only while that place holds none yet does a
// copy in the other place give the starting value. When neither place can be written the
// game plays on, says so once on stderr at exit and leaves the old files alone.
//
// Saving never damages a good file and never follows a link planted at the file's name:
// see replace_file_safely (stream/safe_save.h). A link where a file should be reads as no
// file, and a save replaces it with a regular file. The best score saved is the higher
// of the game's and the file's, so a copy of the game that exits later keeps a best
// another copy saved meanwhile; a best-score file that is there but cannot be read (held
// by another program, say) is left as it is and not saved over. A missing folder is
// created; a save that fails leaves the old file as it was and is said (report_file_failure),
// and the game goes on. Temporary files that a save cut short left behind are cleared
// at the next save in their folder.

#include <cstddef>
#include <cstdint>
#include <string>

#include "stream/safe_save.h"

// mode 0 loads player->best_sc (0 when the file is missing, unreadable or negative);
// any other mode saves it.
void hiscore_file(int32_t mode);
// mode 1 loads stereo_mode (kept when there is no regular file; a value outside 0 to 4
// loads as 0), 2 saves it, anything else does no file work; then modes 1 to 4 apply
// their eye tints to draw3d (mode 0 leaves the tints as they are).
void stereo_settings(int32_t mode);

// Where the two files are read and saved.
struct settings_places {
  std::string beside;  // the data folder beside the program
  bool beside_writable = false;
  std::string home;  // the player's folder; empty without HOME or XDG_DATA_HOME
  bool home_writable = false;
  bool installed = false;  // beside belongs to a system-wide install
};
// The places for the data folder beside and the player's folder (empty: none).
settings_places find_settings_places(const std::string& beside, const std::string& player);
// The places for the data folder beside and the player's folder that the given
// XDG_DATA_HOME and HOME name (either may be null; relative values are ignored).
settings_places find_settings_places(const std::string& beside, const char* xdg_data_home,
                                     const char* home);
// The player's folder that XDG_DATA_HOME and HOME name on Linux; empty when neither does.
std::string player_folder_from(const char* xdg_data_home, const char* home);
// The player's own folder for the game's files on this system: $XDG_DATA_HOME/vextral
// (~/.local/share/vextral) on Linux, %APPDATA%\Vextral on Windows; empty when the system
// names none. One implementation file per system (player_folder_posix.cpp,
// player_folder_windows.cpp).
std::string player_folder();
// Whether a copy of the game whose data folder may be written still reads and saves in the
// player's folder once a file lives there: true on Linux; false on Windows, where a copy
// unpacked from the zip keeps everything beside itself and moves with its folder.
bool player_folder_shared_with_portable_copies();
// The places for data_folder and the player's folder from the environment (or no player's
// folder at all, see use_player_folder).
settings_places current_settings_places();
// With false, the files are read and saved in data_folder only, never in the player's own
// folder: a tool that plays the game with a data folder of its own keeps to that folder.
void use_player_folder(bool used);
// Where a save goes: the player's folder when it holds the file or nothing can be saved
// beside the program, else beside it; empty when neither place can be written.
std::string settings_save_path(const settings_places& places, const char* file_name);
// Where the file is read: the save path when a file is there, else the place that holds
// one (the player's folder first), else the save path (or the path beside the program).
std::string settings_read_path(const settings_places& places, const char* file_name);

// What a settings file's path holds.
enum class setting_found {
  value,       // a regular file, whose integer was read
  nothing,     // nothing, or no regular file: a link (never read through), a folder, a pipe
  unreadable,  // a file that cannot be read now (permission, an I/O error, another
               // program holding it without sharing): it may hold a value worth keeping
};
// The one integer of a settings file (value is untouched unless it was read, and error
// says why not). A file shorter than 4 bytes reads its missing high bytes as 0; only the
// first 4 bytes of a longer one are read.
setting_found read_setting_file(const std::string& path, int32_t& value, std::string& error);
// Writes value as the file's whole content, crash-safely as described above, creating
// the folder if needed. False (one "game:" line on stderr) when it could not be saved.
bool write_setting_file(const std::string& path, int32_t value);
// Writes count bytes as the file's whole content, the same crash-safe way.
bool write_file_safely(const std::string& path, const uint8_t* bytes, size_t count);
// Saves a best score: the higher of value and the one the file holds now, read and
// written while other copies of the game saving in that folder wait. False, the file
// left alone, when one is there that cannot be read.
bool save_best_score(const std::string& path, int32_t value);
// Saves value as the best score where hiscore_file (1) saves it, unless the file holds a
// higher one.
void keep_best_score(int32_t value);

// A turn at saving the file at path: its folder is made if missing, and while the turn
// lives other copies of the game wait to save in that folder (best effort, see save_lock)
// and the temporary files that saves cut short by a crash left there are cleared.
class save_turn {
 public:
  explicit save_turn(const std::string& path);

 private:
  std::string folder_;
  save_lock lock_;
};

// Says a failure with the player's files that the game plays on through (what: a short
// sentence naming the file): one "game:" line on stderr. Every such failure of the files
// the game keeps, the recordings' included, is said through here.
void report_file_failure(const std::string& what);
