"""A scripted player runs the real game for about 15 seconds: splash, title menu, the
stereo modes, play, pause and exit. Each step waits to see the game react to the one
before (tests/e2e/game_steps.py, the steps the tests take), so a slow machine only makes
it take longer. The screenshots of the screens passed (NN-name.png), the game's mixed audio
(audio.wav) and its stderr go into the output folder.

    demo.py --game build/game/vextral --output <folder>

Needs DISPLAY (tools/demo.sh runs it under a private Xvfb), xdotool and ImageMagick.
"""

import argparse
import glob
import os
import shutil
import sys
import time
import wave

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))

import game_steps  # noqa: E402
from e2e_cases import SHIP_BOX, click_and_see_change, shows_title_menu  # noqa: E402
from vextral_player import (  # noqa: E402
    GRAPHICS_3D, E2EFailure, Game, Player, difference, seconds_to_bytes)

# The stereo modes the 3D Graphics item steps through, from Off.
STEREO_MODES = ["magenta-green", "red-green", "red-cyan", "red-blue", "off"]
# Around the ship: the ship turning, its shots and its flame show here.
AROUND_SHIP = (SHIP_BOX[0] - 70, SHIP_BOX[1] - 70, SHIP_BOX[2] + 70, SHIP_BOX[3] + 70)


def say(text):
    print("demo: " + text, flush=True)


def save_wav(raw_path, wav_path):
    with open(raw_path, "rb") as raw:
        frames = raw.read()
    with wave.open(wav_path, "wb") as out:
        out.setnchannels(2)
        out.setsampwidth(2)
        out.setframerate(44100)
        out.writeframes(frames)
    return len(frames) / seconds_to_bytes(1.0)


class Album:
    """The screenshots the demonstration keeps, numbered in the order taken."""

    def __init__(self, folder):
        self.folder = folder
        self.count = 0

    def keep(self, shot, name):
        self.count += 1
        shot.save(os.path.join(self.folder, "%02d-%s.png" % (self.count, name)))


def fly(game, player, round_number):
    """Spins left firing, then thrusts; waits to see the ship react."""
    before = player.shoot("before-round-%d" % round_number)
    player.xdotool("keydown", "Left")
    for _ in range(10):
        player.tap("Control_L", 0.05)
        time.sleep(0.1)
    player.xdotool("keyup", "Left")
    player.hold(["Up"], 0.3)
    return player.wait_for("round-%d" % round_number, lambda s: not game.running()
                           or difference(before, s, AROUND_SHIP, step=2) > 30)


def pause_a_game(player, alive, key):
    """Pauses the game in play; when every ship was lost meanwhile (a slow machine leaves the
    ship to the asteroids for long), starts another game first."""
    for attempt in range(3):
        try:
            return game_steps.pause(player, alive, key)
        except E2EFailure:
            if attempt == 2 or not (alive() and shows_title_menu(player.last)):
                raise
            say("the ships were all lost meanwhile: Start Game again")
            game_steps.start_game(player, alive, player.last)


def run(game, player, album):
    alive = game.running
    say("starting the game; waiting for its window and the logo splash")
    game.start()
    window, splash = game_steps.first_frame(player, alive)
    album.keep(splash, "splash")

    say("Escape skips the splash: the title menu")
    title = game_steps.skip_splash(player, alive, window)
    album.keep(title, "title-menu")

    say("3D Graphics steps through the stereo modes to red/cyan")
    shot = title
    for mode in STEREO_MODES[:3]:
        shot = click_and_see_change(player, GRAPHICS_3D, shot, label="stereo-" + mode)
    album.keep(shot, "title-stereo-red-cyan")
    say("3D Graphics: on to red/blue, then back to plain drawing")
    for mode in STEREO_MODES[3:]:
        shot = click_and_see_change(player, GRAPHICS_3D, shot, label="stereo-" + mode)

    say("Start Game: spinning, firing and thrusting")
    album.keep(game_steps.start_game(player, alive, shot), "play-start")
    for round_number in range(1, 4):
        album.keep(fly(game, player, round_number), "play-%d" % round_number)

    say("Space pauses the game")
    album.keep(pause_a_game(player, alive, "space"), "pause-menu")
    say("Space resumes, Escape pauses, Escape returns to the title")
    game_steps.resume(player, alive)
    pause_a_game(player, alive, "Escape")
    album.keep(game_steps.back_to_title(player, alive), "title-after-game")
    say("Escape on the title quits")
    player.tap("Escape")
    return game.wait_exit(60)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--game", required=True)
    parser.add_argument("--output", required=True)
    args = parser.parse_args()
    output = os.path.abspath(args.output)
    work = os.path.join(output, "run")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(output, exist_ok=True)
    # What an earlier run left must not pass for this one's.
    for old in glob.glob(os.path.join(output, "[0-9][0-9]-*.png")) + [
            os.path.join(output, name) for name in ("audio.wav", "game-stderr.log")]:
        if os.path.exists(old):
            os.remove(old)
    game = Game(args.game, work)
    # Every screenshot taken while waiting goes here; kept only when a step fails.
    player = Player(os.path.join(work, "shots"))
    album = Album(output)
    try:
        status = run(game, player, album)
    except E2EFailure as error:
        say("FAILED: %s" % error)
        status = None
    finally:
        game.kill()
    seconds = 0.0
    if os.path.exists(game.audio_file):
        seconds = save_wav(game.audio_file, os.path.join(output, "audio.wav"))
    if os.path.exists(game.log_path):
        shutil.copy(game.log_path, os.path.join(output, "game-stderr.log"))
    if status is None:
        say("the screenshots taken while waiting are in %s" % player.shot_folder)
        return 1
    for name in ("hiscore.dat", "anaglyph3d.dat"):
        content = game.read_setting(name)
        say("data/%s after exit: %s" % (name, content.hex(" ") if content else "missing"))
    shutil.rmtree(work, ignore_errors=True)
    say("the game exited with status %d; %d screenshots and %.1f s of audio (audio.wav) in %s"
        % (status, album.count, seconds, output))
    return 0 if status == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
