#include "hall/page.h"

#include <cstdio>
#include <ctime>

#include "hall/text_escape.h"

namespace {

std::string duration_text(int32_t frames) {
  const int32_t seconds = frames / 60;
  char text[32];
  std::snprintf(text, sizeof text, "%d:%02d", seconds / 60, seconds % 60);
  return text;
}

std::string date_text(int64_t seconds) {
  const auto time = static_cast<std::time_t>(seconds);
  std::tm parts{};
  gmtime_r(&time, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d", &parts);
  return text;
}

}  // namespace

std::string hall_page(const std::vector<game_record>& table, int32_t max_frames,
                      size_t max_upload_bytes, bool page_served) {
  std::string page = R"(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Vextral hall of fame</title>
<style>
body { font-family: sans-serif; max-width: 48em; margin: 2em auto; padding: 0 1em; }
table { border-collapse: collapse; width: 100%; }
th, td { padding: 0.3em 0.6em; border-bottom: 1px solid #ccc; text-align: left; }
td.number { text-align: right; }
</style>
</head>
<body>
<h1>Vextral hall of fame</h1>
)";
  if (page_served)
    page +=
        "<p><a href=\"/play/?hall=/\">Play Vextral in this browser</a>, watch these games "
        "there and send your best one.</p>\n";
  if (table.empty()) {
    page += "<p>No game has been verified yet.</p>\n";
  } else {
    page +=
        "<table>\n<tr><th>#</th><th>Name</th><th>Score</th><th>Level</th><th>Time</th>"
        "<th>Sent</th><th>Recording</th></tr>\n";
    int rank = 0;
    for (const game_record& game : table) {
      const std::string id = std::to_string(game.id);
      page += "<tr><td class=\"number\">" + std::to_string(++rank) + "</td><td>" +
              html_escape(game.name) + "</td><td class=\"number\">" + std::to_string(game.score) +
              "</td><td class=\"number\">" + std::to_string(game.level) +
              "</td><td class=\"number\">" + duration_text(game.frames) + "</td><td>" +
              date_text(game.submitted_at) + "</td><td><a href=\"/api/games/" + id +
              "/recording\" download=\"vextral-" + id + ".replay\">watch</a></td></tr>\n";
    }
    page += "</table>\n";
  }
  page += R"(<p>To watch a game, download its recording and open it with
<code>vextral --replay FILE</code>.</p>
<h2>What is checked</h2>
<p>Every game on this table has been played again here, by the game's own code, from its
recording: it must replay frame by frame to the frame count, final score and level it
claims, and end in game over. A recording edited by hand, cut short, or from a game
abandoned before its end is refused, and so is the same recording sent twice.</p>
<p>What is not checked: who played. A recording made by a program that plays well is still
a game the rules allow, and it is ranked like any other.</p>
<h2>Send a game</h2>
<p>The game keeps your last game as <code>last.replay</code> and your best as
<code>best.replay</code> in its data folder. Games of up to )" +
          std::to_string(max_frames / 3600) + " minutes and " +
          std::to_string(max_upload_bytes >> 20) + R"( MiB are taken.</p>
<form method="post" action="/api/games" enctype="multipart/form-data" accept-charset="utf-8">
<p><label>Name (1 to 16 characters): <input name="name" maxlength="16" required></label></p>
<p><label>Recording: <input type="file" name="recording" accept=".replay" required></label></p>
<p><button type="submit">Send</button></p>
</form>
</body>
</html>
)";
  return page;
}
