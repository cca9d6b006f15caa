"""Takes the screenshot the README shows: the real game in play, drawn for red/cyan
glasses, a few shots on their way. The game runs from a private copy with its own data
folder, so no saved file of the player's is read or written. Each step waits to see the
game react to the one before (tests/e2e/game_steps.py), so a busy machine only makes it
slower.

    screenshot.py --game build/game/vextral --output docs/screenshot.png

Needs DISPLAY (tools/screenshot.sh runs it under a private 640 x 480 Xvfb), xdotool and
ImageMagick.
"""

import argparse
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))

import game_steps  # noqa: E402
from e2e_cases import SHIP_BOX  # noqa: E402
from vextral_player import E2EFailure, Game, Player, difference  # noqa: E402

RED_CYAN = 3
AROUND_SHIP = (SHIP_BOX[0] - 70, SHIP_BOX[1] - 70, SHIP_BOX[2] + 70, SHIP_BOX[3] + 70)


def play_and_shoot(game, player):
    """The shot of a game in play, a moment after the ship turned and fired."""
    alive = game.running
    game.start()
    window, _ = game_steps.first_frame(player, alive)
    game_steps.skip_splash(player, alive, window)
    before = game_steps.start_game(player, alive, player.last)
    player.xdotool("keydown", "Left")
    for _ in range(6):
        player.tap("Control_L", 0.05)
        time.sleep(0.12)
    player.xdotool("keyup", "Left")
    player.tap("Control_L", 0.05)
    return player.wait_for("in-play", lambda s: not alive()
                           or (game_steps.plays(s) and difference(before, s, AROUND_SHIP, step=2) > 30))


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--game", required=True)
    parser.add_argument("--output", required=True)
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="vextral-screenshot-")
    game = Game(args.game, work, audio_driver="dummy")
    game.write_setting("anaglyph3d.dat", struct.pack("<i", RED_CYAN))
    player = Player(os.path.join(work, "shots"))
    try:
        shot = play_and_shoot(game, player)
    except E2EFailure as error:
        print("screenshot: FAILED: %s (the screenshots taken are in %s)" % (error, player.shot_folder),
              file=sys.stderr)
        return 1
    finally:
        game.kill()
    # The game's own picture, in at most 256 colours: small enough to keep in the repository.
    picture = os.path.join(player.shot_folder, shot.name + ".png")
    size = "%dx%d+%d+%d" % (round(640 * shot.scale), round(480 * shot.scale), shot.left, shot.top)
    subprocess.run(["convert", picture, "-crop", size, "+repage", "-resize", "640x480",
                    "-strip", "-colors", "256", "PNG8:" + os.path.abspath(args.output)], check=True)
    shutil.rmtree(work, ignore_errors=True)
    print("screenshot: %s (%d bytes)" % (args.output, os.path.getsize(args.output)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
