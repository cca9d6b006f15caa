"""The steps a player takes through the real game, each taken only once the game is seen to
react to the one before: its window mapped, its first frame drawn, Escape on the splash to
the title menu, Start Game to play, a pause and back, Escape to the title. The tests written
in shell (through drive_game.py) and the demonstration (tools/demo.py) take the same steps.

Each step takes the Player and alive(), which tells whether the game still runs, and fails
with E2EFailure when the game does not get there; the screenshots it took stay in the
player's folder. The deadlines are generous: a loaded machine may draw only a few frames a
second.
"""

import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from e2e_cases import (  # noqa: E402
    HUD_BOX, is_lit, shows_plain_pause_menu, shows_plain_title_menu, shows_title_menu, wait_focus)
from vextral_player import START_GAME, check, difference, wait_window  # noqa: E402

# How long one frame's reaction to a key or click may take to show.
REACTION_TIMEOUT = 15.0
# New pictures seen after a key press by which the game has surely read it.
FRAMES_TO_TAKE_A_KEY = 5
# Between the HUD and the spare ships: what moves in play.
PLAY_FIELD = (0, 30, 640, 450)


def drawn(shot):
    """Something is drawn: the window is no longer black."""
    return shot.count((0, 0, 640, 480), lambda p: max(p) > 40, step=8) > 300


def plays(shot):
    """The HUD is up and no menu over it: a game in play."""
    return shot.count(HUD_BOX, is_lit) >= 150 and not shows_title_menu(shot)


def first_frame(player, alive, timeout=60.0):
    """Waits for the window and its first drawn frame (the splash); (window, that shot)."""
    window = wait_window(alive, timeout)
    shot = player.wait_for("first-frame", lambda s: not alive() or drawn(s), timeout=timeout)
    check(alive(), "the game ended before drawing its first frame")
    return window, shot


def skip_splash(player, alive, window):
    """Escape on the splash until the title menu shows; that shot. The window must hold the
    focus first: the game flushes the keys on its first focus change."""
    wait_focus(window)
    for attempt in range(3):
        check(alive(), "the game ended on its splash")
        player.tap("Escape")
        title = player.poll("title", lambda s: shows_title_menu(s) or not alive(),
                            timeout=REACTION_TIMEOUT)
        if title is not None:
            break
        check(attempt < 2, "Escape did not end the splash")
    check(alive() and shows_title_menu(player.last), "no title menu after the splash")
    return player.last


def start_game(player, alive, title=None):
    """Clicks Start Game on the title menu and waits for play; that shot."""
    player.click_item(START_GAME, title)
    shot = player.wait_for("play", lambda s: plays(s) or not alive())
    check(alive(), "the game ended on Start Game")
    return shot


def pause(player, alive, key="space", timeout=60.0):
    """Presses key in play until the pause menu shows (stereo off); that shot. A destroyed
    ship cannot pause until the next one appears: once the game has drawn several new
    frames since the press, it was not taken and the key is pressed again, but never on
    the title menu (a game that ended), where Escape would quit."""
    deadline = time.monotonic() + timeout
    while True:
        check(not shows_title_menu(player.last), "the game is over: no game to pause")
        player.tap(key)
        previous, frames = player.last, 0
        while frames < FRAMES_TO_TAKE_A_KEY:
            shot = player.shoot("pausing")
            check(alive(), "the game ended in play")
            if shows_plain_pause_menu(shot):
                return shot
            if difference(previous, shot, PLAY_FIELD, step=4) > 10:
                frames += 1
            previous = shot
            check(time.monotonic() < deadline, "%s did not pause the game" % key)


def resume(player, alive):
    """Space on the pause menu, and play goes on; that shot."""
    player.tap("space")
    shot = player.wait_for("resumed", lambda s: plays(s) or not alive())
    check(alive(), "the game ended on Space in the pause menu")
    return shot


def back_to_title(player, alive):
    """Escape on the pause menu ends the game: the title menu; that shot."""
    player.tap("Escape")
    shot = player.wait_for("title", lambda s: shows_plain_title_menu(s) or not alive())
    check(alive(), "the game ended on Escape in the pause menu")
    return shot
