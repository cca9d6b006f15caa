"""Takes a game already running on DISPLAY into play as a player would, waiting to see each
step before the next: its window mapped, its first frame drawn, Escape on the splash to
the title menu, Start Game clicked and the menu gone. For tests written in shell.

    drive_game.py --pid PID --shots FOLDER

Exits with 0 once the game plays, or 1 with the reason on stderr (the screenshots taken
stay in FOLDER).
"""

import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import game_steps  # noqa: E402
from vextral_player import E2EFailure, Player  # noqa: E402


def alive(pid):
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    # A zombie has ended too: its parent has not collected it yet.
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False


def into_play(pid, player):
    running = lambda: alive(pid)  # noqa: E731
    window, _ = game_steps.first_frame(player, running)
    title = game_steps.skip_splash(player, running, window)
    game_steps.start_game(player, running, title)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--pid", type=int, required=True)
    parser.add_argument("--shots", required=True)
    args = parser.parse_args()
    try:
        into_play(args.pid, Player(args.shots))
    except E2EFailure as error:
        print(error, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
