"""Takes a game already running on DISPLAY into play as a player would, waiting to see each
step before the next: its window mapped, its first frame drawn, Escape on the splash to
the title menu, Start Game clicked and the menu gone. For tests written in shell.

    drive_game.py --pid PID --shots FOLDER

Exits with 0 once the game plays, or 1 with the reason on stderr (the screenshots taken
stay in FOLDER).
"""

import argparse
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from e2e_cases import HUD_BOX, is_lit, shows_title_menu, wait_focus  # noqa: E402
from vextral_player import START_GAME, E2EFailure, Player, check  # noqa: E402


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


def wait_window(pid, timeout=60.0):
    deadline = time.monotonic() + timeout
    while True:
        check(alive(pid), "the game ended before opening its window")
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Vextral$"],
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                               text=True).stdout.split()
        if found:
            return found[0]
        check(time.monotonic() < deadline, "no game window after %.0f s" % timeout)
        time.sleep(0.1)


def drawn(shot):
    return shot.count((0, 0, 640, 480), lambda p: max(p) > 40, step=8) > 300


def plays(shot):
    return shot.count(HUD_BOX, is_lit) >= 150 and not shows_title_menu(shot)


def into_play(pid, player):
    window = wait_window(pid)
    player.wait_for("first-frame", lambda s: alive(pid) and drawn(s), timeout=60)
    wait_focus(window)
    for attempt in range(3):
        check(alive(pid), "the game ended on its splash")
        player.tap("Escape")
        if player.poll("title", lambda s: shows_title_menu(s) or not alive(pid), timeout=10):
            break
        check(attempt < 2, "Escape did not end the splash")
    check(alive(pid) and shows_title_menu(player.last), "no title menu after the splash")
    player.click_item(START_GAME)
    player.wait_for("play", lambda s: plays(s) or not alive(pid))
    check(alive(pid), "the game ended on Start Game")


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
