"""A scripted player runs the real game for about 20 seconds: splash, title menu, the
stereo modes, play, pause and exit. Screenshots and the game's mixed audio (as a WAV
file) go into the output folder.

    demo.py --game build/game/vextral --output <folder>

Needs DISPLAY (tools/demo.sh runs it under a private Xvfb), xdotool and ImageMagick.
"""

import argparse
import os
import shutil
import sys
import time
import wave

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))

from e2e_cases import shows_title_menu  # noqa: E402
from vextral_player import (  # noqa: E402
    GRAPHICS_3D, START_GAME, E2EFailure, Game, Player, seconds_to_bytes)


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


def run(game, player):
    game.start()
    say("starting the game (logo splash)")
    time.sleep(3.0)
    player.shoot("splash")
    player.tap("Escape")
    say("Escape skips the splash: the title menu")
    try:
        title = player.wait_for("title-menu", shows_title_menu, timeout=3)
    except E2EFailure:
        # The window's first focus change can swallow a key; Space also skips the splash
        # and does nothing on the title.
        player.tap("space")
        title = player.wait_for("title-menu", shows_title_menu, timeout=10)
    player.move(600, 120, title)

    say("3D Graphics: red/cyan stereo")
    for _ in range(3):
        player.click_item(GRAPHICS_3D, title)
    player.move(600, 120, title)
    time.sleep(1.0)
    player.shoot("title-stereo-red-cyan")
    say("3D Graphics: back to plain drawing")
    player.click_item(GRAPHICS_3D, title)
    player.click_item(GRAPHICS_3D, title)

    say("Start Game: spinning, thrusting and firing")
    player.click_item(START_GAME, title)
    time.sleep(1.0)
    player.shoot("play-start")
    for round_number in range(3):
        player.xdotool("keydown", "Left")
        for _ in range(10):
            player.tap("Control_L", 0.05)
            time.sleep(0.1)
        player.xdotool("keyup", "Left")
        player.hold(["Up"], 0.3)
        player.shoot("play-%d" % (round_number + 1))
        if not game.running():
            break

    say("Space pauses the game")
    player.tap("space")
    time.sleep(1.0)
    player.shoot("pause-menu")
    say("Space resumes, Escape pauses, Escape returns to the title, Escape quits")
    player.tap("space")
    time.sleep(1.0)
    player.tap("Escape")
    time.sleep(0.5)
    player.tap("Escape")
    time.sleep(1.0)
    player.shoot("title-after-game")
    player.tap("Escape")
    return game.wait_exit(15)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--game", required=True)
    parser.add_argument("--output", required=True)
    args = parser.parse_args()
    output = os.path.abspath(args.output)
    work = os.path.join(output, "run")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(output, exist_ok=True)
    game = Game(args.game, work)
    player = Player(output)
    try:
        status = run(game, player)
    finally:
        game.kill()
    seconds = save_wav(game.audio_file, os.path.join(output, "audio.wav"))
    shutil.copy(game.log_path, os.path.join(output, "game-stderr.log"))
    for name in ("hiscore.dat", "anaglyph3d.dat"):
        content = game.read_setting(name)
        say("data/%s after exit: %s" % (name, content.hex(" ") if content else "missing"))
    shutil.rmtree(work, ignore_errors=True)
    say("the game exited with status %d; %d screenshots and %.1f s of audio (audio.wav) in %s"
        % (status, player.count, seconds, output))
    return 0 if status == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
