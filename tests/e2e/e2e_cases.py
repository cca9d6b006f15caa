"""End-to-end cases: the real game on a virtual X display, played through real input.

    e2e_cases.py --game build/game/vextral --backdrop <assets>/backdrop.png \
                 --output <folder> CASE

Run under tools/with-xvfb.sh (DISPLAY set). Each case keeps its screenshots, the mixed
audio and the game's stderr in <folder>/<case>/; they are deleted when the case
passes unless E2E_KEEP is set.
"""

import argparse
import glob
import os
import random
import shutil
import signal
import stat
import struct
import subprocess
import sys
import tempfile
import time
import traceback
import wave

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from hall_package import check_hall_package  # noqa: E402
from package_tools import check_lintian, run_tool  # noqa: E402
from vextral_player import (  # noqa: E402
    GRAPHICS_3D, MENU_ITEM_Y, MUSIC_VOLUME, START_GAME, E2EFailure, Game,
    Player, Shot, audio_rms, check, crop_distance, difference, text_difference, is_blue, is_cyan,
    is_green, is_magenta, is_menu_text, is_near_black, is_red, read_png, seconds_to_bytes)

SHIP = (320, 220)
SHIP_BOX = (302, 206, 338, 234)
TITLE_BOX = (111, 51, 529, 209)  # the 417 x 158 title centred on (320, 130)
HUD_BOX = (0, 0, 640, 26)
BEST_BOX = (240, 0, 400, 26)
SCORE_DIGITS_BOX = (80, 0, 140, 26)
# Eye tints of the stereo schemes 1 to 4: (left eye test, right eye test).
SCHEME_TINTS = {1: (is_magenta, is_green), 2: (is_green, is_red), 3: (is_cyan, is_red),
                4: (is_blue, is_red)}


class Backdrop:
    """The generated backdrop as the game draws it with stereo off: the picture behind
    everything, so that what differs from it on an even row is something drawn over it."""

    def __init__(self, path):
        self.shot = Shot(*read_png(path))

    def foreground(self, shot, box, threshold=40):
        x0, y0, x1, y1 = max(0, box[0]), max(0, box[1]), min(640, box[2]), min(480, box[3])
        reference = self.shot.rgb
        points = []
        for y in range(y0 + (y0 & 1), y1, 2):
            if shot.scale == 1:
                row = (shot.top + y) * shot.width + shot.left
                seen = shot.rgb[(row + x0) * 3 : (row + x1) * 3]
            else:
                seen = bytes(c for x in range(x0, x1) for c in shot.pixel(x, y))
            expected = reference[(y * 640 + x0) * 3 : (y * 640 + x1) * 3]
            for i in range(0, len(seen), 3):
                if (abs(seen[i] - expected[i]) > threshold
                        or abs(seen[i + 1] - expected[i + 1]) > threshold
                        or abs(seen[i + 2] - expected[i + 2]) > threshold):
                    points.append((x0 + i // 3, y))
        return points


# ---- Screen readings -----------------------------------------------------------


# Under the score line, where the game's notice of a failure it plays on through is drawn.
NOTICE_BOX = (0, 24, 640, 100)


def is_notice_text(p):
    """The orange of the notice line (250, 150, 90), apart from the menus' and HUD's yellow."""
    r, g, b = p
    return r > 170 and 90 < g < 200 and b < 140 and r - g > 50


def shows_notice(shot):
    return shot.count(NOTICE_BOX, is_notice_text) > 150


def log_text(folder):
    """What the game logged in vextral.log in folder (its save folder)."""
    path = os.path.join(folder, "vextral.log")
    if not os.path.exists(path):
        return ""
    with open(path, "rb") as f:
        return f.read().decode("utf-8", "replace")


def item_extent(shot, item, predicate=is_menu_text):
    y = MENU_ITEM_Y[item]
    return shot.extent((150, y - 14, 490, y + 14), predicate)


def item_width(shot, item, predicate=is_menu_text):
    extent = item_extent(shot, item, predicate)
    return 0 if extent is None else extent[1] - extent[0] + 1


def hud_text_pixels(shot):
    return shot.count(HUD_BOX, is_menu_text, step=1)


def is_lit(p):
    return max(p) > 90


def shows_title_menu(shot):
    """The HUD and six lines of menu text, in whatever colours the stereo mode gives them."""
    if shot.count(HUD_BOX, is_lit) < 150:
        return False
    return all(shot.count((200, y - 9, 440, y + 9), is_lit) > 80 for y in MENU_ITEM_Y)


def odd_rows_near_black(shot, limit=12):
    """True when every odd row of the picture is near-black (the plain-mode scanlines)."""
    for y in range(1, 480, 2):
        if shot.scale == 1:
            row = (shot.top + y) * shot.width + shot.left
            if max(shot.rgb[row * 3 : (row + 640) * 3]) > limit:
                return False
        elif any(not is_near_black(shot.pixel(x, y), limit) for x in range(640)):
            return False
    return True


def lit_odd_row_pixels(shot):
    return sum(1 for y in range(1, 480, 2) for x in range(0, 640, 2)
               if not is_near_black(shot.pixel(x, y), 20))


def check_tints(shot, mode):
    left, right = SCHEME_TINTS[mode]
    left_count = shot.count(TITLE_BOX, left, step=2)
    right_count = shot.count(TITLE_BOX, right, step=2)
    check(left_count > 150 and right_count > 150,
          "%s: stereo mode %d should show both eye tints on the title (left %d, right %d pixels)"
          % (shot.name, mode, left_count, right_count))


def check_stereo_screen(shot, mode):
    check_tints(shot, mode)
    check(lit_odd_row_pixels(shot) > 2000,
          "%s: stereo mode %d should draw no scanlines" % (shot.name, mode))


def check_title_layout(shot, backdrop):
    """Title art centred on (320, 130); six items centred on x 320 at rows 250 + 30 i;
    the HUD at the top; every odd row dark (stereo off)."""
    art = backdrop.foreground(shot, TITLE_BOX)
    check(len(art) > 8000, "%s: the title art is missing (%d pixels)" % (shot.name, len(art)))
    xs = [x for x, _ in art]
    ys = [y for _, y in art]
    check(abs((min(xs) + max(xs)) / 2 - 320) < 15 and min(ys) < 90 and max(ys) > 170,
          "%s: the title art is not where it belongs (x %d-%d, y %d-%d)"
          % (shot.name, min(xs), max(xs), min(ys), max(ys)))
    for item in range(6):
        extent = item_extent(shot, item)
        check(extent is not None, "%s: menu item %d is missing" % (shot.name, item))
        x0, x1, y0, y1 = extent
        check(abs((x0 + x1) / 2 - 320) <= 8 and abs((y0 + y1) / 2 - MENU_ITEM_Y[item]) <= 6,
              "%s: menu item %d is centred on (%d, %d), not (320, %d)"
              % (shot.name, item, (x0 + x1) // 2, (y0 + y1) // 2, MENU_ITEM_Y[item]))
    check(shot.count((0, 0, 200, 26), is_menu_text) > 50, "%s: no score at top-left" % shot.name)
    check(shot.count((440, 0, 640, 26), is_menu_text) > 50, "%s: no level at top-right" % shot.name)
    check(odd_rows_near_black(shot), "%s: with stereo off every odd row should be near-black"
          % shot.name)


def shows_pause_menu(shot, title_widths):
    """Pause labels: item 0 "Resume Game" wider than "Start Game", item 5 "Quit This Game"
    wider than "Exit Game" (same hover state as when title_widths was measured)."""
    return (item_width(shot, 0) > title_widths[0] + 15
            and item_width(shot, 5) > title_widths[5] + 40)


def shows_plain_pause_menu(shot):
    """Stereo off: item 5 reads "Quit This Game" (about 190 pixels wide, "Exit Game" 125)."""
    return shows_title_menu(shot) and item_width(shot, 5) > 160


def shows_plain_title_menu(shot):
    return shows_title_menu(shot) and 80 < item_width(shot, 5) < 160


def quit_from_play(game, player, label):
    """Escape pauses, Escape returns to the title, Escape quits; each step is seen first
    (two presses within one frame count as one)."""
    player.tap("Escape")
    player.wait_for(label + "-paused", shows_plain_pause_menu)
    player.tap("Escape")
    player.wait_for(label + "-title", shows_plain_title_menu)
    player.tap("Escape")
    expect_exit(game, label + ": Escape on the title")


def ship_pixels(shot, backdrop, box=SHIP_BOX):
    return backdrop.foreground(shot, box)


def field_pixels(shot, backdrop):
    """Foreground between the HUD and the spare-ship icons, away from the ship."""
    points = backdrop.foreground(shot, (0, 30, 640, 450))
    x0, y0, x1, y1 = SHIP_BOX
    return [(x, y) for x, y in points if not (x0 - 10 <= x < x1 + 10 and y0 - 10 <= y < y1 + 10)]


def ring_pixels(shot, backdrop):
    """Foreground around the ship but outside its box: shots and flame leaving it."""
    x0, y0, x1, y1 = SHIP_BOX
    points = backdrop.foreground(shot, (x0 - 70, y0 - 70, x1 + 70, y1 + 70))
    return sum(1 for x, y in points if not (x0 <= x < x1 and y0 <= y < y1))


def shows_splash(shot, backdrop):
    """The backdrop is up, the logo over it at the centre, and no HUD yet."""
    logo_box, band = (200, 120, 440, 310), (0, 400, 640, 480)
    # A window that is mapped but not drawn yet is black, and the dark band of the backdrop
    # matches black: the logo must be lit for the splash to be up.
    if shot.mean_brightness(logo_box) < 20:
        return False
    if shot.scale == 1:
        area = (band[2] - band[0]) * (band[3] - band[1]) // 2
        backdrop_up = len(backdrop.foreground(shot, band, 30)) < 0.1 * area
        logo = len(backdrop.foreground(shot, logo_box)) > 1500
    else:
        backdrop_up = shot.mean_brightness(band) > 1
        logo = shot.count(logo_box, lambda p: max(p) > 60, step=3) > 400
    return backdrop_up and logo and hud_text_pixels(shot) < 20


def pointer_box(x, y):
    """Around the menu pointer drawn with its top-left corner at (x, y)."""
    return (x - 4, y - 4, x + 24, y + 24)


def hover_and_leave(player, reference, x, y):
    """Moves the pointer to (x, y), then away to (600, 120), each time waiting until the game
    draws its pointer there; reference is a shot with the pointer in neither place. Returns
    the two shots (hovering, not hovering)."""
    at, away = pointer_box(x, y), pointer_box(600, 120)
    player.move(x, y)
    hovered = player.wait_for("hover-%d-%d" % (x, y),
                              lambda s: difference(reference, s, at) > 15)
    player.move(600, 120)
    plain = player.wait_for("hover-none", lambda s: difference(reference, s, at) < 3
                            and difference(reference, s, away) > 15)
    return hovered, plain


def click_and_see_change(player, item, before, box=TITLE_BOX, label="changed"):
    """Clicks a menu item, moves the pointer off the menu and waits until box has changed
    from the shot before (a new stereo scheme recolours the whole title)."""
    player.click_item(item)
    player.move(600, 120)
    player.wait_for(label + "-seen", lambda s: difference(before, s, box, step=2) > 300)
    # The shot that first shows the change may have caught a frame still being written to
    # the screen (its top rows new, the rest old); every frame after it is whole and new.
    return player.shoot(label)


def audio_windows(game, start_byte, end_byte, window=0.1):
    step = seconds_to_bytes(window)
    return [audio_rms(game.audio_file, b, b + step) for b in range(start_byte, end_byte - step, step)]


def wait_quiet(game, timeout=30.0):
    """Waits until the last 0.3 s of audio is near-silent; the byte offset then, or None."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        end = game.audio_bytes()
        if end > seconds_to_bytes(0.3) and audio_rms(game.audio_file, end - seconds_to_bytes(0.3), end) < 0.003:
            return end
        time.sleep(0.1)
    return None


def wait_focus(window, timeout=30.0):
    """Waits until the game's window holds the keyboard focus: the game flushes the keys on
    its first focus change, so a key pressed before then may be lost."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        focused = subprocess.run(["xdotool", "getwindowfocus"], stdout=subprocess.PIPE,
                                 stderr=subprocess.DEVNULL, text=True).stdout.strip()
        if focused == window:
            return
        time.sleep(0.1)
    print("note: the game's window never took the focus; pressing keys anyway")


def skip_splash(game, player, backdrop):
    """Waits for the window and the splash (the logo over the backdrop, no HUD), skips it
    with Escape and waits for the title menu."""
    window = game.wait_window()
    splash = player.wait_for("splash", lambda s: shows_splash(s, backdrop), timeout=60)
    wait_focus(window)
    title = None
    for attempt in range(3):
        player.tap("Escape")
        title = player.poll("title", lambda s: shows_title_menu(s)
                            or not shows_splash(s, backdrop), timeout=10)
        if title is not None and shows_title_menu(title):
            break
        # Press again only while the splash is surely still up (it lasts over 5 s of frames):
        # one more Escape on the title would quit.
        check(title is None and attempt < 2, "Escape did not skip the splash")
        print("note: Escape press %d on the splash was not taken; pressing again" % (attempt + 1))
    check(game.running(), "Escape on the splash must not quit the game")
    return splash, title


def expect_exit(game, how):
    status = game.wait_exit(60)
    check(status == 0, "%s: the game exited with status %s" % (how, status))


# ---- Cases ---------------------------------------------------------------------


def case_play(args, folder):
    """Splash, title, hover, the stereo modes, play, pause, score, sound, files, restart."""
    backdrop = Backdrop(args.backdrop)
    game = Game(args.game, folder)
    player = Player(os.path.join(folder, "shots"))
    game.start()
    try:
        _, title = skip_splash(game, player, backdrop)
        check_title_layout(title, backdrop)

        # Hovering: the item under the pointer is drawn 1.2 times larger.
        hovered, plain = hover_and_leave(player, title, 600, 255)
        ratio = item_width(hovered, 0) / max(1, item_width(plain, 0))
        check(1.1 < ratio < 1.3, "hovering Start Game should enlarge it 1.2 times (got %.2f)" % ratio)
        title_widths = [item_width(hovered, 0)] + [item_width(plain, i) for i in range(1, 6)]

        # 3D Graphics cycles Off, M\G, R\G, R\C, R\B, Off.
        best_without_score = None  # the R\C title screen before any points
        shot = plain
        for mode in (1, 2, 3, 4, 0):
            shot = click_and_see_change(player, GRAPHICS_3D, shot, label="mode-%d" % mode)
            if mode:
                check_stereo_screen(shot, mode)
            else:
                check(odd_rows_near_black(shot), "back to Off: scanlines should return")
            if mode == 3:
                best_without_score = shot

        # The music started by the splash plays on into the title. An underrun on a starved
        # machine pauses the output for over a second, so only its presence is required.
        windows = audio_windows(game, 0, game.audio_bytes())
        first = next((i for i, w in enumerate(windows) if w > 0.02), None)
        check(first is not None, "no music in the audio output from the splash to the title")
        audible = sum(1 for w in windows[first:] if w > 0.003)
        check(audible >= 0.3 * len(windows[first:]),
              "the music should go on from the splash to the title (%d of %d windows audible)"
              % (audible, len(windows[first:])))
        player.click_item(MUSIC_VOLUME)
        player.move(600, 120)

        # Play: the ship at the centre and an asteroid in the field.
        player.click_item(START_GAME)
        play = player.wait_for("play", lambda s: len(ship_pixels(s, backdrop)) > 60
                               and not shows_title_menu(s))
        # The first asteroid starts at the top-left corner, mostly hidden, and drifts slowly:
        # on some headings it takes a while to come into full view.
        player.wait_for("asteroid", lambda s: len(field_pixels(s, backdrop)) > 300, timeout=120)
        check(len(backdrop.foreground(play, (0, 450, 80, 480))) > 30,
              "two spare ships should be drawn at the bottom left")

        # Space pauses: the dimmed snapshot and the pause labels; Space resumes.
        before_pause = player.shoot("before-pause")
        player.tap("space")
        paused = player.wait_for("paused", lambda s: shows_pause_menu(s, title_widths))
        dark_box = (20, 220, 140, 440)
        check(paused.mean_brightness(dark_box) < 0.5 * before_pause.mean_brightness(dark_box),
              "the pause screen should show the game dimmed (%.1f against %.1f)"
              % (paused.mean_brightness(dark_box), before_pause.mean_brightness(dark_box)))
        score_zero = paused.crop(SCORE_DIGITS_BOX)
        player.tap("space")
        player.wait_for("resumed", lambda s: not shows_pause_menu(s, title_widths)
                        and len(ship_pixels(s, backdrop)) > 60)

        # Left rotates the ship in place.
        turn_from = player.shoot("turn-from")
        player.hold(["Left"], 0.3)
        turn_to = player.poll("turn-to", lambda s: difference(turn_from, s, SHIP_BOX) > 30
                              and len(ship_pixels(s, backdrop)) > 60)
        check(turn_to is not None, "Left should rotate the ship where it stands")

        # Left Control fires: a shot leaves the ship and the shot sound plays.
        sound = 0.0
        for attempt in range(3):
            quiet_at = wait_quiet(game)
            check(quiet_at is not None, "the game never fell silent with the music off")
            before_fire = player.shoot("before-fire")
            ring_before = ring_pixels(before_fire, backdrop)
            player.tap("Control_L")
            # The shot crosses the ring within a few frames: look as often as possible.
            fired = player.poll("fired", lambda s: ring_pixels(s, backdrop) - ring_before >= 10,
                                timeout=10, interval=0)
            around = ring_pixels(player.last, backdrop) - ring_before
            check(fired is not None,
                  "Left Control should fire a shot (%d new pixels around the ship)" % around)
            deadline = time.monotonic() + 10
            while sound <= 0.01 and time.monotonic() < deadline:
                time.sleep(0.1)
                sound = max(audio_windows(game, quiet_at, game.audio_bytes(), 0.05) or [0])
            if sound > 0.01:
                break
        check(sound > 0.01, "the shot sound should follow the fire press (loudest %.4f)" % sound)

        # Spin and fire until the score shows a change on the pause screen.
        scored = None
        deadline = time.monotonic() + 180
        while scored is None and time.monotonic() < deadline:
            player.xdotool("keydown", "Left")
            for _ in range(12):
                player.tap("Control_L", 0.05)
                time.sleep(0.12)
            player.xdotool("keyup", "Left")
            player.tap("space")
            shot = player.poll("score-check", lambda s: shows_pause_menu(s, title_widths),
                               timeout=10)
            if shot is None:
                continue  # the ship was destroyed: Space does nothing until it returns
            # An asteroid in the dimmed snapshot may lie behind the digits: compare the text only.
            if text_difference(shot.crop(SCORE_DIGITS_BOX), score_zero) > 15:
                scored = shot
            else:
                player.tap("space")
                player.wait_for("score-resumed", lambda s: not shows_pause_menu(s, title_widths))
        check(scored is not None, "the score never rose while firing at the asteroid")

        # Escape on the pause menu returns to the title.
        player.tap("Escape")
        back = player.wait_for("title-again", lambda s: shows_title_menu(s)
                               and not shows_pause_menu(s, title_widths))
        check(item_width(back, 5) < title_widths[5] + 10, "the title should say Exit Game again")
        with_score = back
        for mode in (1, 2, 3):
            with_score = click_and_see_change(player, GRAPHICS_3D, with_score,
                                              label="best-mode-%d" % mode)
        best_with_score = with_score.crop(BEST_BOX)
        # Stereo text is dim, so count the pixels that changed rather than the mean change.
        check(difference(with_score, best_without_score, BEST_BOX) > 40,
              "the Best line should show the new best score")
        player.tap("Escape")
        expect_exit(game, "Escape on the title")
        best = game.setting_value("hiscore.dat")
        check(best > 0, "data/hiscore.dat should hold the best score, holds %d" % best)
        check(game.read_setting("anaglyph3d.dat") == b"\x03\x00\x00\x00",
              "data/anaglyph3d.dat should hold 03 00 00 00, holds %r" % game.read_setting("anaglyph3d.dat"))

        # A second start shows the saved best score and starts in R\C.
        game.start()
        _, again = skip_splash(game, player, backdrop)
        check_stereo_screen(again, 3)
        distance = crop_distance(again.crop(BEST_BOX), best_with_score)
        check(distance < 2.5, "the saved best score should show in the HUD (difference %.2f)" % distance)
        player.tap("Escape")
        expect_exit(game, "Escape on the title")
        check(game.setting_value("hiscore.dat") == best, "the best score should be kept unchanged")
    finally:
        game.kill()


def case_scaled(args, folder):
    """A 1280 x 720 screen: the picture scaled 1.5 times between black bars, the pointer
    mapped onto it, and SIGTERM during play ending through the exit path."""
    backdrop = Backdrop(args.backdrop)
    game = Game(args.game, folder)
    player = Player(os.path.join(folder, "shots"))
    game.start()
    try:
        splash, title = skip_splash(game, player, backdrop)
        check(splash.width == 1280 and splash.scale == 1.5, "expected a 1280 x 720 screen")
        bars = [title.screen_pixel(x, y) for y in range(0, 720, 8) for x in list(range(0, 160, 8)) + list(range(1120, 1280, 8))]
        check(all(is_near_black(p, 4) for p in bars), "the bars beside the scaled picture should be black")

        # The pointer maps onto the scaled picture: hovering item 1 enlarges it.
        hovered, plain = hover_and_leave(player, title, 600, 285)
        ratio = item_width(hovered, GRAPHICS_3D) / max(1, item_width(plain, GRAPHICS_3D))
        check(1.1 < ratio < 1.3, "the pointer should hover 3D Graphics on the scaled screen (%.2f)" % ratio)

        check_tints(click_and_see_change(player, GRAPHICS_3D, plain, label="mode-1"), 1)

        player.click_item(START_GAME)
        player.wait_for("play", lambda s: s.count(SHIP_BOX, lambda p: max(p) > 70) > 40
                        and s.count((150, 236, 490, 414), lambda p: max(p) > 70, step=2) < 400)
        time.sleep(0.5)  # a moment of play
        game.signal(signal.SIGTERM)
        expect_exit(game, "SIGTERM during play")
        check(game.read_setting("anaglyph3d.dat") == b"\x01\x00\x00\x00",
              "SIGTERM: data/anaglyph3d.dat should hold 01 00 00 00, holds %r" % game.read_setting("anaglyph3d.dat"))
        check(game.setting_value("hiscore.dat") >= 0, "SIGTERM: data/hiscore.dat not saved")
    finally:
        game.kill()


def play_briefly(player, backdrop, label):
    """Start Game from the title, see the ship, turn it and fire once."""
    player.click_item(START_GAME)
    player.wait_for(label + "-play", lambda s: len(ship_pixels(s, backdrop)) > 60
                    and not shows_title_menu(s))
    before = player.shoot(label + "-before-turn")
    player.hold(["Right"], 0.25)
    player.tap("Control_L")
    after = player.poll(label + "-after-turn", lambda s: difference(before, s, SHIP_BOX) > 30)
    check(after is not None, "%s: the ship should turn" % label)


def case_faults(args, folder):
    """Bad or missing files and no audio device still give a playable game; SIGINT
    during play ends it through the exit path."""
    backdrop = Backdrop(args.backdrop)

    # A corrupt best-score file (5 bytes, negative): best 0; SIGINT while playing saves.
    game = Game(args.game, os.path.join(folder, "corrupt-hiscore"))
    player = Player(os.path.join(folder, "corrupt-hiscore", "shots"))
    game.write_setting("hiscore.dat", b"\xff\xff\xff\xff\x07")
    game.start()
    try:
        skip_splash(game, player, backdrop)
        play_briefly(player, backdrop, "corrupt-hiscore")
        game.signal(signal.SIGINT)
        expect_exit(game, "SIGINT during play")
        best = game.setting_value("hiscore.dat")
        check(best >= 0, "a corrupt best score file should be replaced by a valid one (%d)" % best)
    finally:
        game.kill()

    # A stereo file holding 7: plain drawing, and 0 written back.
    game = Game(args.game, os.path.join(folder, "stereo-7"))
    player = Player(os.path.join(folder, "stereo-7", "shots"))
    game.write_setting("anaglyph3d.dat", b"\x07\x00\x00\x00")
    game.start()
    try:
        _, title = skip_splash(game, player, backdrop)
        check(odd_rows_near_black(title), "a stereo file holding 7 should start with stereo off")
        play_briefly(player, backdrop, "stereo-7")
        quit_from_play(game, player, "stereo-7")
        check(game.read_setting("anaglyph3d.dat") == b"\x00\x00\x00\x00",
              "data/anaglyph3d.dat should hold 0 after a stored 7, holds %r" % game.read_setting("anaglyph3d.dat"))
    finally:
        game.kill()

    # An empty data folder: no sounds, the game still plays and saves its files there. The
    # missing sounds are told on the title, under the score line, and in data/vextral.log.
    game = Game(args.game, os.path.join(folder, "no-sounds"), with_sounds=False)
    player = Player(os.path.join(folder, "no-sounds", "shots"))
    game.start()
    try:
        _, title = skip_splash(game, player, backdrop)
        check(shows_notice(title), "the missing sounds should be told on screen (no-sounds-title)")
        check("audio: cannot load" in log_text(game.data),
              "the missing sounds should be in data/vextral.log:\n%s" % log_text(game.data))
        play_briefly(player, backdrop, "no-sounds")
        quit_from_play(game, player, "no-sounds")
        check(game.setting_value("hiscore.dat") == 0 and game.setting_value("anaglyph3d.dat") == 0,
              "the settings should be saved into the empty data folder")
        check("audio:" in game.stderr_text(), "missing sounds should be reported on stderr")
    finally:
        game.kill()

    # A best score that cannot be saved (something else in its place): the game stays on
    # its way out while the player reads why on screen, logs it, and ends with status 0.
    game = Game(args.game, os.path.join(folder, "save-fails"))
    player = Player(os.path.join(folder, "save-fails", "shots"))
    os.makedirs(os.path.join(game.data, "hiscore.dat", "in-the-way"))
    game.start()
    try:
        _, title = skip_splash(game, player, backdrop)
        check(not shows_notice(title), "no notice is due on the title (save-fails-title)")
        player.tap("Escape")
        player.wait_for("save-fails-exit-notice", lambda s: shows_notice(s)
                        and not shows_title_menu(s), timeout=30)
        check(game.running(), "the game should stay while its notice is read")
        expect_exit(game, "Escape on the title with a save that fails")
        check("game: could not save " + os.path.join(os.path.realpath(game.data), "hiscore.dat")
              in log_text(game.data), "the failed save should be in data/vextral.log:\n%s"
              % log_text(game.data))
        check(game.setting_value("anaglyph3d.dat") == 0, "the stereo setting is still saved")
    finally:
        game.kill()

    # No audio device at all.
    game = Game(args.game, os.path.join(folder, "no-audio"), audio_driver="no-such-driver")
    player = Player(os.path.join(folder, "no-audio", "shots"))
    game.start()
    try:
        skip_splash(game, player, backdrop)
        play_briefly(player, backdrop, "no-audio")
        game.signal(signal.SIGTERM)
        expect_exit(game, "SIGTERM during play")
    finally:
        game.kill()


def case_installed(args, folder):
    """cmake --install into a fresh prefix; the game started through <prefix>/bin/vextral
    finds its data beside the real executable and saves its files there."""
    check(args.build_dir, "the installed case needs --build-dir")
    prefix = os.path.join(folder, "prefix")
    result = subprocess.run([args.cmake, "--install", args.build_dir, "--prefix", prefix],
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    check(result.returncode == 0, "cmake --install failed:\n" + result.stdout)
    launcher = os.path.join(prefix, "bin", "vextral")
    check(os.path.islink(launcher), "no launcher link at bin/vextral")
    sounds = os.listdir(os.path.join(prefix, "lib", "vextral", "data"))
    check(len([name for name in sounds if name.endswith(".ogg")]) == 10, "installed data/ lacks sounds")
    entry_path = os.path.join(prefix, "share", "applications", "vextral.desktop")
    with open(entry_path) as f:
        entry = f.read()
    check("Exec=%s\n" % launcher in entry and "Icon=vextral" in entry,
          "the desktop entry should start %s with the vextral icon:\n%s" % (launcher, entry))
    check("Exec=%s --replay best\n" % launcher in entry,
          "the desktop entry's Watch best game action should run %s --replay best" % launcher)
    icon = os.path.join(prefix, "share", "icons", "hicolor", "128x128", "apps", "vextral.png")
    width, height, _ = read_png(icon)
    check((width, height) == (128, 128), "the icon should be 128 x 128")

    backdrop = Backdrop(args.backdrop)
    game = Game(launcher, os.path.join(folder, "run"), in_place=True)
    player = Player(os.path.join(folder, "shots"))
    game.start()
    try:
        skip_splash(game, player, backdrop)
        player.tap("Escape")
        expect_exit(game, "Escape on the title")
        check(game.setting_value("hiscore.dat") == 0,
              "the installed game should keep its best score in lib/vextral/data")
    finally:
        game.kill()


def check_package(deb, root):
    """The validators a Debian package of a game has to pass."""
    check_lintian(deb)
    run_tool(["desktop-file-validate", os.path.join(root, "usr/share/applications/vextral.desktop")],
             "desktop-file-validate")
    metainfo = glob.glob(os.path.join(root, "usr/share/metainfo/*.metainfo.xml"))
    check(len(metainfo) == 1, "the package should hold one AppStream metainfo file")
    run_tool(["appstreamcli", "validate", "--no-net", metainfo[0]], "appstreamcli validate")
    manual = os.path.join(root, "usr/share/man/man6/vextral.6.gz")
    result = run_tool(["man", "--warnings", "-l", manual], "man")
    check(result.stderr == "" and "hiscore.dat" in result.stdout,
          "the manual page should render without warnings:\n%s" % result.stderr)
    for size in (48, 64, 128, 256):
        icon = os.path.join(root, "usr/share/icons/hicolor/%dx%d/apps/vextral.png" % (size, size))
        check(read_png(icon)[:2] == (size, size), "no %d x %d icon" % (size, size))
    run_tool(["apt-get", "install", "--simulate", deb], "apt-get install --simulate")


def tree_contents(folder):
    """Every file below folder with its bytes, following the folder itself if a link."""
    contents = {}
    for parent, _, names in os.walk(os.path.realpath(folder)):
        for name in names:
            path = os.path.join(parent, name)
            with open(path, "rb") as f:
                contents[os.path.relpath(path, folder)] = f.read()
    return contents


def case_package(args, folder):
    """The Debian packages. The game's passes the validators, and its game, unpacked into a
    root the player cannot write, keeps its files in the player's ~/.local/share/vextral/,
    preferring them to any beside the program, and writes nothing beside the program. The
    hall of fame server's is made when the server is built (hall_package.py)."""
    check(args.build_dir, "the package case needs --build-dir")
    output = os.path.join(folder, "package")
    result = subprocess.run([args.cpack, "--config", os.path.join(args.build_dir, "CPackConfig.cmake"),
                             "-B", output], stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    check(result.returncode == 0, "cpack failed:\n" + result.stdout)
    debs = glob.glob(os.path.join(output, "vextral_*.deb"))
    check(len(debs) == 1, "cpack should make one vextral_*.deb, made %r" % debs)
    hall_debs = glob.glob(os.path.join(output, "vextral-hall_*.deb"))
    check(len(hall_debs) == (1 if args.with_hall else 0),
          "cpack should make %s vextral-hall_*.deb, made %r"
          % ("one" if args.with_hall else "no", hall_debs))
    if hall_debs:
        check_hall_package(hall_debs[0], folder)

    # Unpacked where every user may read but, run as below, the player may not write.
    root = tempfile.mkdtemp(prefix="vextral-package-")
    # The player's home, its audio output and the game's stderr, where the player can reach
    # them whatever folder the build lies in (a checkout under /root is closed to others);
    # copied into the case's folder at the end.
    run = tempfile.mkdtemp(prefix="vextral-package-run-")
    as_root = os.geteuid() == 0
    try:
        os.chmod(root, 0o755)
        os.chmod(run, 0o755)
        subprocess.run(["dpkg-deb", "-x", debs[0], root], check=True)
        check_package(debs[0], root)
        game_link = os.path.join(root, "usr/games/vextral")
        check(os.path.islink(game_link), "/usr/games/vextral should link to the executable")
        # An old best score beside the program (as a game from before saving in homes left it).
        shared = os.path.join(root, "usr/share/games/vextral")
        with open(os.path.join(shared, "hiscore.dat"), "wb") as f:
            f.write(struct.pack("<i", 50000))
        before = tree_contents(shared)
        check(len([name for name in before if name.endswith(".ogg")]) == 10,
              "the package lacks sounds")

        backdrop = Backdrop(args.backdrop)
        game = Game(game_link, run, in_place=True)
        saved = os.path.join(game.home, ".local", "share", "vextral")
        game.audio_file = os.path.join(game.home, "audio.raw")
        if as_root:
            # Permission bits do not stop root: the game runs as nobody, in a home it owns.
            os.chown(game.home, 65534, 65534)
            game.command_prefix = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]
        else:
            for parent, _, _ in os.walk(os.path.join(root, "usr")):
                os.chmod(parent, 0o555)
        player = Player(os.path.join(folder, "shots"))

        # Play a little, choose R\C, quit.
        game.start()
        try:
            _, title = skip_splash(game, player, backdrop)
            play_briefly(player, backdrop, "package")
            player.tap("Escape")
            player.wait_for("package-paused", shows_plain_pause_menu)
            player.tap("Escape")
            shot = player.wait_for("package-title", shows_plain_title_menu)
            player.move(600, 120)
            for mode in (1, 2, 3):
                shot = click_and_see_change(player, GRAPHICS_3D, shot, label="package-mode-%d" % mode)
            player.tap("Escape")
            expect_exit(game, "Escape on the title")
        finally:
            game.kill()
        check("game:" not in game.stderr_text(), "the game reported:\n" + game.stderr_text())
        check(tree_contents(shared) == before, "the game wrote beside the program")
        # The game played is kept there too, as the last and (the first one) the best.
        check(sorted(os.listdir(saved)) == ["anaglyph3d.dat", "best.replay", "hiscore.dat",
                                            "last.replay"],
              "~/.local/share/vextral should hold the two files and the two replays, holds %r"
              % os.listdir(saved))
        with open(os.path.join(saved, "anaglyph3d.dat"), "rb") as f:
            check(f.read() == b"\x03\x00\x00\x00", "the saved stereo mode should be R\\C")
        with open(os.path.join(saved, "hiscore.dat"), "rb") as f:
            check(f.read() == struct.pack("<i", 50000),
                  "the best score read beside the program should be saved in the home")

        # The player's files win over those beside the program.
        with open(os.path.join(saved, "hiscore.dat"), "wb") as f:
            f.write(struct.pack("<i", 12345))
        game.start()
        try:
            _, again = skip_splash(game, player, backdrop)
            check_stereo_screen(again, 3)
            player.tap("Escape")
            expect_exit(game, "Escape on the title")
        finally:
            game.kill()
        with open(os.path.join(saved, "hiscore.dat"), "rb") as f:
            check(f.read() == struct.pack("<i", 12345),
                  "the best score should come from the home's file and go back there")
        check(tree_contents(shared) == before, "the game wrote beside the program")
    finally:
        for parent, _, _ in os.walk(root):
            os.chmod(parent, stat.S_IRWXU | stat.S_IRGRP | stat.S_IXGRP | stat.S_IROTH | stat.S_IXOTH)
        shutil.rmtree(root, ignore_errors=True)
        try:
            shutil.copytree(run, os.path.join(folder, "run"), symlinks=True, dirs_exist_ok=True)
        except OSError as error:
            print("note: the game's run folder was not kept: %s" % error)
        shutil.rmtree(run, ignore_errors=True)


def replay_header(path):
    """Frames, final score and final level recorded in a replay file's header."""
    with open(path, "rb") as f:
        header = f.read(40)
    check(len(header) == 40 and header[:4] == b"VXRP", "%s is no replay" % path)
    return struct.unpack("<iii", header[16:28])


def case_replay(args, folder):
    """A game played to its game over is recorded as last.replay; the simulator replays it
    to the same frames, score and level; --replay last shows it and ends by itself."""
    check(args.sim, "the replay case needs --sim")
    backdrop = Backdrop(args.backdrop)
    game = Game(args.game, folder)
    player = Player(os.path.join(folder, "shots"))
    last = os.path.join(game.data, "last.replay")
    game.start()
    try:
        skip_splash(game, player, backdrop)
        player.click_item(START_GAME)
        player.wait_for("play", lambda s: len(ship_pixels(s, backdrop)) > 60
                        and not shows_title_menu(s))
        # Fly about firing until the three ships are lost: the recording is written when
        # the game-over screen comes up.
        steer = random.Random(20)
        deadline = time.monotonic() + 400
        while not os.path.exists(last):
            check(game.running(), "the game ended during play")
            check(time.monotonic() < deadline, "no game over (and no last.replay) after 400 s")
            turn = steer.choice(["Left", "Right"])
            player.xdotool("keydown", "Up", turn)
            time.sleep(steer.uniform(0.1, 0.5))
            player.xdotool("keyup", turn)
            player.tap("Control_L")
            time.sleep(steer.uniform(0.2, 1.2))
            player.xdotool("keyup", "Up")
        player.wait_for("title-after-game-over", shows_title_menu, timeout=60)
        player.tap("Escape")
        expect_exit(game, "Escape on the title after the game over")
    finally:
        game.kill()
    frames, score, level = replay_header(last)
    check(frames > 600 and level >= 1, "implausible recording: %d frames, level %d"
          % (frames, level))
    best = os.path.join(game.data, "best.replay")
    check(os.path.exists(best), "the first recorded game should also be kept as the best")

    # The simulator keeps every game of a long random-player run in its data folder, as the
    # game does (and never in the player's home), and each kept game replays.
    sim_data = os.path.join(folder, "sim-data")
    sim_home = os.path.join(folder, "sim-home")
    os.makedirs(sim_data)
    os.makedirs(sim_home)
    environment = dict(os.environ, HOME=sim_home)
    environment.pop("XDG_DATA_HOME", None)
    ran = subprocess.run([args.sim, "--seed", "77", "--random-input", "--frames", "30000",
                          "--data", sim_data], stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                         text=True, timeout=300, env=environment)
    check(ran.returncode == 0, "vextral-sim --data failed:\n%s" % ran.stdout)
    check(os.listdir(sim_home) == [], "vextral-sim wrote into the home folder: %r"
          % os.listdir(sim_home))
    for name in ["last.replay", "best.replay"]:
        kept = os.path.join(sim_data, name)
        check(os.path.exists(kept), "vextral-sim --data should keep %s" % name)
        before = open(kept, "rb").read()
        again = subprocess.run([args.sim, "--replay", kept, "--data", sim_data],
                               stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                               timeout=300, env=environment)
        check(again.returncode == 0, "the simulator's %s did not replay:\n%s"
              % (name, again.stdout))
        check(open(kept, "rb").read() == before, "replaying %s changed it" % name)

    # What no game can be watched from is refused at once, with one line and status 2.
    pipe = os.path.join(folder, "a-pipe")
    os.mkfifo(pipe)
    # The game takes a path alone as a recording to watch too (as a file manager opens one).
    for what in ["", folder, pipe, "/dev/zero"]:
        for command in ([game.executable, "--replay"], [args.sim, "--replay"], [game.executable]):
            if what == "" and len(command) == 1:
                continue
            refused = subprocess.run(command + [what], stdout=subprocess.PIPE,
                                     stderr=subprocess.PIPE, text=True, timeout=30)
            # An empty name is a bad argument (usage follows); a file gets one line.
            lines = refused.stderr.count("\n")
            check(refused.returncode == 2 and (lines == 1 or (what == "" and lines >= 1)),
                  "%s --replay %r should be refused with status 2, got %d:\n%s"
                  % (command[0], what, refused.returncode, refused.stderr))

    # A pipe where the best game is kept is said to be no regular file, not that no game
    # was kept yet, and is left as it is; a file that is no recording is said to be none.
    best = os.path.join(game.data, "best.replay")
    os.rename(best, best + ".aside")
    for planted, said in [("pipe", "best.replay: is not a regular file"),
                          ("junk", "best.replay: not a Vextral replay")]:
        if planted == "pipe":
            os.mkfifo(best)
        else:
            with open(best, "wb") as f:
                f.write(b"not a recording at all")
        refused = subprocess.run([game.executable, "--replay", "best"], stdout=subprocess.PIPE,
                                 stderr=subprocess.PIPE, text=True, timeout=30)
        check(refused.returncode == 2 and said in refused.stderr and "yet" not in refused.stderr,
              "a %s at best.replay should be refused with %r, got %d:\n%s"
              % (planted, said, refused.returncode, refused.stderr))
        check(planted != "pipe" or stat.S_ISFIFO(os.lstat(best).st_mode),
              "the pipe at best.replay should be left as it is")
        os.remove(best)
    os.rename(best + ".aside", best)

    # Watching keeps nothing: the settings and both recordings stay byte for byte, even when
    # another copy of the game raises the best score meanwhile, and the recorded player's
    # own settings do not replace this player's.
    game.write_setting("anaglyph3d.dat", struct.pack("<i", 3))
    kept_names = ["anaglyph3d.dat", "best.replay", "hiscore.dat", "last.replay"]

    def kept_files():
        return {name: game.read_setting(name) for name in kept_names}

    result = subprocess.run([args.sim, "--replay", last], stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, text=True, timeout=300)
    check(result.returncode == 0, "vextral-sim --replay failed (%d):\n%s"
          % (result.returncode, result.stdout))
    expected = "%d frames, score %d, level %d" % (frames, score, level)
    check(expected in result.stdout, "the simulator should report %r, reported:\n%s"
          % (expected, result.stdout))

    # On screen: the splash, then the game as played with REPLAY in the corner; at the
    # recorded game over it plays the game-over screen out and exits by itself.
    game.start(["--replay", "last"])
    try:
        game.wait_window()
        player.wait_for("replay-label", lambda s: s.count((520, 450, 640, 480), is_menu_text)
                        > 40 and not shows_title_menu(s), timeout=60)
        game.write_setting("hiscore.dat", struct.pack("<i", score + 100000))
        before = kept_files()
        status = game.wait_exit(frames / 60.0 + 120)
        check(status == 0, "--replay last should end by itself with status 0, got %s" % status)
    finally:
        game.kill()
    check(kept_files() == before, "watching changed what the player keeps: %r became %r"
          % ({k: (v or b"")[:8] for k, v in before.items()},
             {k: (v or b"")[:8] for k, v in kept_files().items()}))

    # Space holds the picture with REPLAY PAUSED in the corner, drawn on a picture that does
    # not already carry REPLAY; Escape ends a replay at once, as closing the window does.
    game.start(["--replay", "best"])
    try:
        game.wait_window()
        label_box = (420, 450, 640, 480)
        running = player.wait_for(
            "best-replay-label", lambda s: s.count((520, 450, 640, 480), is_menu_text) > 40
            and not shows_title_menu(s), timeout=60)
        running_text = set(
            (x, y) for x in range(520, 640) for y in range(450, 480)
            if is_menu_text(running.pixel(x, y)))
        player.tap("space")
        paused = player.wait_for(
            "replay-paused", lambda s: s.count(label_box, is_menu_text)
            > 1.6 * len(running_text), timeout=60)
        still_there = sum(1 for x, y in running_text if is_menu_text(paused.pixel(x, y)))
        check(still_there < 0.9 * len(running_text),
              "the paused picture still carries the running label under REPLAY PAUSED "
              "(%d of its %d text pixels; see %s.png)" % (still_there, len(running_text),
                                                           paused.name))
        player.tap("Escape")
        # Sooner than the recorded game (best is that same game) could end by itself.
        status = game.wait_exit(max(5.0, min(20.0, frames / 60.0 - 5)))
        check(status == 0, "Escape during a replay: the game exited with status %s" % status)
    finally:
        game.kill()
    check(kept_files() == before, "watching the best game changed what the player keeps")


def case_demo(args, folder):
    """tools/demo.sh, which ./play.sh runs where there is no display: on a virtual display
    of its own it plays the game through the screens it keeps a picture of, exits 0 once
    the game has, and leaves those pictures and the game's audio."""
    demo = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "demo.sh")
    output = os.path.join(folder, "demo")
    environment = dict(os.environ)
    environment.pop("DISPLAY", None)
    result = subprocess.run([demo, args.game, output], stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, text=True, env=environment, timeout=600)
    print(result.stdout, end="")
    check(result.returncode == 0, "tools/demo.sh failed with status %d" % result.returncode)
    kept = {name[3:-4]: os.path.join(output, name) for name in sorted(os.listdir(output))
            if name.endswith(".png")}

    def kept_shot(name):
        check(name in kept, "the demonstration kept no %s screenshot (kept %s)"
              % (name, sorted(kept)))
        return Shot(*read_png(kept[name]), name=os.path.basename(kept[name]))

    def expect(name, shows):
        shot = kept_shot(name)
        check(shows(shot), "%s does not show the screen it is named for" % shot.name)

    backdrop = Backdrop(args.backdrop)
    expect("splash", lambda s: shows_splash(s, backdrop))
    expect("title-menu", shows_plain_title_menu)
    check_stereo_screen(kept_shot("title-stereo-red-cyan"), 3)
    expect("play-start", lambda s: len(ship_pixels(s, backdrop)) > 60 and not shows_title_menu(s))
    expect("pause-menu", shows_plain_pause_menu)
    expect("title-after-game", shows_plain_title_menu)
    with wave.open(os.path.join(output, "audio.wav"), "rb") as audio:
        check((audio.getnchannels(), audio.getsampwidth(), audio.getframerate()) == (2, 2, 44100),
              "audio.wav should be 16-bit stereo at 44100 Hz")
        seconds = audio.getnframes() / audio.getframerate()
        samples = audio.readframes(audio.getnframes())
    check(seconds > 5, "audio.wav holds only %.1f s" % seconds)
    raw = os.path.join(folder, "audio.raw")
    with open(raw, "wb") as f:
        f.write(samples)
    check(audio_rms(raw, 0) > 0.005, "audio.wav is silent: the music should play")


CASES = {"play": case_play, "scaled": case_scaled, "faults": case_faults,
         "installed": case_installed, "package": case_package, "replay": case_replay,
         "demo": case_demo}


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--game", required=True)
    parser.add_argument("--backdrop", required=True)
    parser.add_argument("--output", required=True)
    parser.add_argument("--build-dir", help="the build folder, for the installed case")
    parser.add_argument("--cmake", default="cmake")
    parser.add_argument("--sim", help="vextral-sim, for the replay case")
    parser.add_argument("--cpack", default="cpack")
    parser.add_argument("--with-hall", action="store_true",
                        help="vextral-hall is built, so the package case expects its package")
    parser.add_argument("case", choices=sorted(CASES))
    args = parser.parse_args()
    folder = os.path.join(os.path.abspath(args.output), args.case)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    started = time.monotonic()
    try:
        CASES[args.case](args, folder)
    except Exception as error:  # keep everything for a look, whatever went wrong
        traceback.print_exc()
        print("e2e %s FAILED: %s" % (args.case, error))
        print("screenshots, audio and the game's stderr are kept in %s" % folder)
        return 1
    print("e2e %s passed in %.1f s" % (args.case, time.monotonic() - started))
    if not os.environ.get("E2E_KEEP"):
        shutil.rmtree(folder, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
