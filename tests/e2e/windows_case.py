"""The Windows build under Wine, met as a player would meet it.

The installer runs silently (/S) into a fresh Wine prefix's Program Files; the installed
game is started by its Windows path and played with real X input (splash, title, the R\\C
stereo scheme, Start Game, rotate and fire, Escape to the pause menu, Quit This Game, Exit
Game); a screenshot keeps the stereo title. Before that, what stops the game is shown in
a message box and kept in %APPDATA%\\Vextral\\vextral.log: "Watch best game" with no best
game yet, and a damaged recording dropped on vextral.exe. Then: the saves are in
%APPDATA%\\Vextral and nothing new is under Program Files; the recording kept there replays
to the same frames, score and level in the Linux vextral-sim (and in vextral-sim.exe, named
by its path) and plays out in the installed game ("Watch best game"); a silent uninstall
while a second game runs is refused and leaves the game alone; a logoff during that game
(Wine's end of session) keeps its recording and ends the game, which then plays out when
opened as Explorer opens a file (the installer's .replay association: the path alone on
the command line). The portable zip's game keeps its files beside it although the
installed game has saved in %APPDATA%, and a save of its that fails is read on screen as
it exits and kept in its log. The uninstaller removes the program, its Start-menu entries
and the association, and keeps the saves. The Windows user is "Zoë", so the saves and
the paths named go beyond ASCII.

    windows_case.py --installer SETUP.EXE --zip ZIP --sim LINUX-VEXTRAL-SIM
                    --windows-sim VEXTRAL-SIM.EXE --backdrop PNG --output DIR
                    [--linux-game VEXTRAL]

Runs on the current DISPLAY (tools/with-xvfb.sh). With --linux-game it also times the
native game's start-up to its first frame, beside the Windows game's under Wine (printed,
never asserted). Wine differs from Windows here in one way the case meets: Wine has no
administrator prompt, so the per-machine install needs none.
"""

import argparse
import glob
import os
import random
import shutil
import struct
import subprocess
import sys
import time
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from e2e_cases import (  # noqa: E402
    GRAPHICS_3D, SCHEME_TINTS, SHIP_BOX, TITLE_BOX, Backdrop, check_stereo_screen,
    click_and_see_change, log_text, replay_header, ship_pixels, shows_notice, skip_splash)
from vextral_player import (  # noqa: E402
    EXIT_GAME, START_GAME, E2EFailure, Game, Player, check, difference)

INSTALLED = "C:\\Program Files\\Vextral\\vextral.exe"
# The Windows user (Wine names it after USER): %APPDATA% beyond ASCII.
USER = "Zo\u00eb"
# Beside the menu, where the pause screen shows the game dimmed.
DARK_BOX = (20, 220, 140, 440)
SOUNDS = 10


def shows_tints(shot, mode):
    """The title art in both eyes' tints of the stereo scheme mode."""
    left, right = SCHEME_TINTS[mode]
    return (shot.count(TITLE_BOX, left, step=2) > 150
            and shot.count(TITLE_BOX, right, step=2) > 150)


def wait_window_and_focus_for(game):
    """game.wait_window, then the keyboard focus given to the window: with no window
    manager on the virtual display, Wine's window does not take it by itself as a native
    window does."""
    wait_window = game.wait_window

    def wait_window_and_focus(*arguments, **options):
        game.window = wait_window(*arguments, **options)
        focus(game)
        return game.window

    return wait_window_and_focus


def focus(game):
    subprocess.run(["xdotool", "windowfocus", "--sync", game.window], timeout=30,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def press_until(game, player, label, reached, attempts=3):
    """Taps Escape until the screen shows reached, pressing again only after the screen
    before it has stayed up for a while."""
    for attempt in range(attempts):
        # The pause menu moves the pointer, after which Wine (with no window manager) may
        # leave the keyboard focus elsewhere: give it back first, as a click would.
        focus(game)
        player.tap("Escape")
        if player.poll(label, reached, timeout=15) is not None:
            return
        print("note: Escape press %d towards %s was not taken; pressing again"
              % (attempt + 1, label))
    raise E2EFailure("timed out waiting for: %s (see %s.png)" % (label, player.last.name))


def tree(folder):
    """Every path under folder, relative to it."""
    found = set()
    for base, folders, files in os.walk(folder):
        for name in folders + files:
            found.add(os.path.relpath(os.path.join(base, name), folder))
    return found


def wait_until(what, condition, timeout):
    deadline = time.monotonic() + timeout
    while not condition():
        check(time.monotonic() < deadline, "timed out waiting for: %s" % what)
        time.sleep(0.2)


def first_frame_seconds(command, folder, player, environment):
    """Seconds from starting command to the first frame on the screen (the splash)."""
    os.makedirs(folder, exist_ok=True)
    check(player.poll("before-start", lambda s: s.mean_brightness((0, 0, 640, 480), step=8) < 1,
                      timeout=30) is not None, "the screen should be empty before a start")
    started = time.monotonic()
    process = subprocess.Popen(command, cwd=folder, env=environment, stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        shot = player.poll("first-frame", lambda s: s.count((0, 0, 640, 480),
                                                            lambda p: max(p) > 40, step=8) > 300,
                           timeout=120, interval=0.05)
        check(shot is not None, "no first frame from %s" % command)
        return time.monotonic() - started
    finally:
        process.kill()
        process.wait()


def installed_game(program, folder):
    """The installed game, started by its Windows path as the Start menu starts it."""
    game = Game(os.path.join(program, "vextral.exe"), folder, in_place=True)
    game.executable = INSTALLED
    game.command_prefix = ["wine"]
    game.wait_window = wait_window_and_focus_for(game)
    return game


def message_box(game, timeout=60):
    """The message box the game shows before it stops: a visible window named Vextral that
    is not the 640 x 480 game window. Its id."""
    deadline = time.monotonic() + timeout
    while True:
        check(game.running(), "the game ended (status %s) without a message box:\n%s"
              % (game.process.poll(), game.stderr_text()[-2000:]))
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Vextral$"],
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                               text=True).stdout.split()
        for window in found:
            geometry = subprocess.run(["xdotool", "getwindowgeometry", "--shell", window],
                                      stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                      text=True).stdout
            size = dict(line.split("=", 1) for line in geometry.split() if "=" in line)
            if (size.get("WIDTH"), size.get("HEIGHT")) != ("640", "480"):
                return window
        check(time.monotonic() < deadline, "no message box within %d s" % timeout)
        time.sleep(0.2)


def refused_with_box(program, folder, arguments, player, label):
    """Starts the installed game with arguments it cannot go on with: it shows a message
    box and ends once the box is dismissed (Return). Its exit status."""
    game = installed_game(program, folder)
    game.start(arguments)
    try:
        box = message_box(game)
        player.shoot(label)
        for attempt in range(3):
            subprocess.run(["xdotool", "windowfocus", "--sync", box], timeout=30,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            subprocess.run(["xdotool", "key", "--window", box, "Return"], timeout=30)
            try:
                return game.process.wait(10)
            except subprocess.TimeoutExpired:
                print("note: Return on the message box was not taken (%d); again" % (attempt + 1))
        raise E2EFailure("the message box did not go with Return")
    finally:
        game.kill()


def watch_installed(program, folder, replay, frames):
    """Runs the installed game with --replay replay until it has played the recording (of
    frames frames) out and ended by itself: its exit status and what it printed."""
    game = installed_game(program, folder)
    game.start(["--replay", replay])
    try:
        game.wait_window()
        return game.wait_exit(frames / 60.0 + 120), game.stderr_text()
    finally:
        game.kill()


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--installer", required=True)
    parser.add_argument("--zip", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--windows-sim", required=True)
    parser.add_argument("--backdrop", required=True)
    parser.add_argument("--output", required=True)
    parser.add_argument("--linux-game")
    args = parser.parse_args()
    for name in ["installer", "zip", "sim", "windows_sim", "backdrop", "linux_game"]:
        if getattr(args, name):
            setattr(args, name, os.path.abspath(getattr(args, name)))

    output = os.path.abspath(args.output)
    shutil.rmtree(output, ignore_errors=True)
    os.makedirs(output)
    prefix = os.path.join(output, "wine")
    # A UTF-8 locale, in which Wine passes the command line's "ë" on as it is.
    os.environ.update(WINEPREFIX=prefix, WINEDEBUG="-all", WINEARCH="win64",
                      WINEDLLOVERRIDES="mscoree,mshtml=", USER=USER, LC_ALL="C.UTF-8")
    backdrop = Backdrop(args.backdrop)
    player = Player(os.path.join(output, "shots"))
    try:
        return run(args, output, prefix, backdrop, player)
    except E2EFailure as failure:
        print("windows e2e: FAILED: %s" % failure, file=sys.stderr)
        return 1
    finally:
        subprocess.run(["wineserver", "-k"], stderr=subprocess.DEVNULL)


def run(args, output, prefix, backdrop, player):
    began = time.monotonic()
    subprocess.run(["wineboot", "-i"], check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    print("windows e2e: fresh Wine prefix in %.1f s" % (time.monotonic() - began))

    # ---- Install silently ----
    installed = subprocess.run(["wine", os.path.abspath(args.installer), "/S"],
                               stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                               timeout=300)
    check(installed.returncode == 0, "the installer failed:\n%s" % installed.stdout)
    drive = os.path.join(prefix, "drive_c")
    program = os.path.join(drive, "Program Files", "Vextral")
    for name in ["vextral.exe", "uninstall.exe", "README.txt", "LICENSE.txt"]:
        check(os.path.isfile(os.path.join(program, name)), "not installed: %s" % name)
    sounds = glob.glob(os.path.join(program, "data", "*.ogg"))
    check(len(sounds) == SOUNDS, "%d sounds installed, not %d" % (len(sounds), SOUNDS))
    menu = os.path.join(drive, "ProgramData", "Microsoft", "Windows", "Start Menu", "Programs",
                        "Vextral")
    for entry in ["Vextral.lnk", "Watch best game.lnk"]:
        check(os.path.isfile(os.path.join(menu, entry)), "no Start-menu entry %s" % entry)
    with open(os.path.join(menu, "Watch best game.lnk"), "rb") as link:
        check("--replay best".encode("utf-16-le") in link.read(),
              "the Watch best game entry should start the game with --replay best")
    installed_tree = tree(program)
    for key in ["HKLM\\Software\\Classes\\.replay",
                "HKLM\\Software\\Classes\\Vextral.Replay\\shell\\open\\command"]:
        query = subprocess.run(["wine", "reg", "query", key], stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT, text=True, timeout=60)
        check(query.returncode == 0 and ("Vextral.Replay" in query.stdout
                                         or "vextral.exe" in query.stdout),
              "the installer should open .replay files with the game (%s):\n%s"
              % (key, query.stdout))

    # ---- What stops the game is shown, not only written where no player looks ----
    saves = os.path.join(drive, "users", USER, "AppData", "Roaming", "Vextral")
    status = refused_with_box(program, os.path.join(output, "watch-none"), ["--replay", "best"],
                              player, "box-no-best-game")
    check(status == 2, "Watch best game with none: status %s, not 2" % status)
    check("no best game to watch yet" in log_text(saves)
          and "C:\\users\\%s\\AppData\\Roaming\\Vextral\\best.replay" % USER
          in log_text(saves), "the refusal should be in %%APPDATA%%\\Vextral\\vextral.log "
          "with the path as Windows writes it:\n%s" % log_text(saves))
    # A damaged recording dropped on the program: Explorer passes its path alone.
    with open(os.path.join(drive, "users", USER, "damaged.replay"), "wb") as f:
        f.write(b"VXRP\x02\x00\x00\x00" + bytes(100))
    damaged = "C:\\users\\%s\\damaged.replay" % USER
    status = refused_with_box(program, os.path.join(output, "watch-damaged"), [damaged], player,
                              "box-damaged")
    check(status == 2, "a damaged recording: status %s, not 2" % status)
    check("cannot watch %s: damaged" % damaged in log_text(saves), "the damaged recording's refusal should be logged:\n%s"
          % log_text(saves))
    print("windows e2e: no best game and a damaged recording are each told in a message box")

    # ---- Start-up to the first frame, beside the native game ----
    if args.linux_game:
        environment = dict(os.environ, SDL_AUDIODRIVER="dummy", HOME=os.path.join(output, "home"))
        # Twice each: the first start of each reads everything from disk (and Wine's first
        # also starts its server), the second is what a player meets on the next start.
        times = {}
        for name, command in [("native", [args.linux_game]), ("Wine", ["wine", INSTALLED])]:
            times[name] = [first_frame_seconds(command, os.path.join(output, name), player,
                                               environment) for _ in range(2)]
        print("windows e2e: start-up to the first frame (first, then second start): "
              "%.2f s, %.2f s under Wine; %.2f s, %.2f s native"
              % tuple(times["Wine"] + times["native"]))

    # ---- Play the installed game ----
    game = installed_game(program, os.path.join(output, "game"))
    game.start()
    try:
        _, title = skip_splash(game, player, backdrop)
        # 3D Graphics: Off, M\G, R\G, R\C.
        shot = title
        for mode in (1, 2, 3):
            shot = click_and_see_change(player, GRAPHICS_3D, shot, label="mode-%d" % mode)
        check_stereo_screen(shot, 3)
        shot.save(os.path.join(output, "stereo-title.png"))

        player.click_item(START_GAME)
        player.move(600, 120)
        player.wait_for("play", lambda s: len(ship_pixels(s, backdrop)) > 60
                        and not shows_tints(s, 3))
        turn_from = player.shoot("turn-from")
        player.hold(["Left"], 0.4)
        turned = player.poll("turned", lambda s: difference(turn_from, s, SHIP_BOX) > 30,
                             timeout=20)
        check(turned is not None, "Left should rotate the ship")
        # A few seconds of flying and firing, for a recording that turns, moves and shoots.
        steer = random.Random(27)
        for _ in range(30):
            player.hold([steer.choice(["Left", "Right"])] + (["Up"] if steer.random() < 0.3
                                                              else []), steer.uniform(0.05, 0.3))
            player.tap("Control_L")
        check(game.running(), "the game ended during play")

        # Escape pauses: the pause menu comes up over the title art (which play never shows).
        # Then Quit This Game and Exit Game, both the menus' last item, end the game: each
        # click moves one step, so a click Wine did not pass on is simply clicked again.
        press_until(game, player, "paused", lambda s: shows_tints(s, 3))
        status = None
        for attempt in range(4):
            player.click_item(EXIT_GAME)
            player.move(600, 120)
            try:
                status = game.process.wait(20)
                break
            except subprocess.TimeoutExpired:
                check(attempt < 3, "Quit This Game and Exit Game did not end the game")
                player.shoot("menu-after-click-%d" % (attempt + 1))
        game.log.close()
        check(status == 0, "Exit Game: the game exited with status %s" % status)
    finally:
        game.kill()

    # ---- Where the files went ----
    check(tree(program) == installed_tree, "the game wrote under Program Files: %s"
          % sorted(tree(program) ^ installed_tree))
    check(os.path.isdir(saves), "no %%APPDATA%%\\Vextral folder in %s (found %r)"
          % (saves, glob.glob(os.path.join(drive, "users", "*", "AppData", "Roaming", "*"))))
    kept = sorted(os.listdir(saves))
    for name in ["anaglyph3d.dat", "hiscore.dat", "last.replay"]:
        check(name in kept, "%s is not in %%APPDATA%%\\Vextral (holds %r)" % (name, kept))
    with open(os.path.join(saves, "anaglyph3d.dat"), "rb") as f:
        check(struct.unpack("<i", f.read()) == (3,), "the R\\C scheme should be saved as 3")
    print("windows e2e: %%APPDATA%%\\Vextral holds %s" % ", ".join(kept))

    # ---- The recording replays on Linux ----
    frames, score, level = replay_header(os.path.join(saves, "last.replay"))
    sim_data = os.path.join(output, "sim-data")
    os.makedirs(sim_data)
    replayed = subprocess.run([args.sim, "--replay", os.path.join(saves, "last.replay"),
                               "--data", sim_data], stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT, text=True, timeout=300,
                              env=dict(os.environ, HOME=os.path.join(output, "sim-home")))
    check(replayed.returncode == 0, "the Linux vextral-sim did not replay the Windows game as "
          "recorded:\n%s" % replayed.stdout)
    check("score %d, level %d" % (score, level) in replayed.stdout,
          "the replay should end on score %d, level %d:\n%s" % (score, level, replayed.stdout))
    print("windows e2e: the Windows recording (%d frames, score %d, level %d) replays the same "
          "on Linux" % (frames, score, level))
    # And in vextral-sim.exe, named by its path beyond ASCII (and its data folder's too).
    os.makedirs(os.path.join(drive, "users", USER, "sim-data"))
    replayed = subprocess.run(
        ["wine", args.windows_sim, "--replay",
         "C:\\users\\%s\\AppData\\Roaming\\Vextral\\last.replay" % USER,
         "--data", "C:\\users\\%s\\sim-data" % USER], stdout=subprocess.PIPE,
        stderr=subprocess.STDOUT, text=True, timeout=300,
        env=dict(os.environ, SDL_AUDIODRIVER="dummy"))
    check(replayed.returncode == 0 and "score %d, level %d" % (score, level) in replayed.stdout,
          "vextral-sim.exe should replay the recording named by its path:\n%s" % replayed.stdout)
    print("windows e2e: vextral-sim.exe replays it too, named by its path beyond ASCII")

    # ---- Watched in the installed game, as the Start menu's Watch entry does ----
    # The game was abandoned from the pause menu: the viewer plays it to its last frame and
    # exits by itself, with status 0 only when it ended on the recorded score and level.
    watched = "best" if "best.replay" in kept else "last"
    status, printed = watch_installed(program, os.path.join(output, "game-watch"), watched, frames)
    check(status == 0, "--replay %s under Wine should play the game out and end with status 0, "
          "got %s:\n%s" % (watched, status, printed))
    check(sorted(os.listdir(saves)) == kept, "watching changed the saves: %r" % os.listdir(saves))
    print("windows e2e: --replay %s played the recording out in the Windows game" % watched)

    # ---- Logoff during a game: the recording is kept, the game ends ----
    recorded = os.path.getmtime(os.path.join(saves, "last.replay"))
    # Plain drawing again, which the splash-skipping helper reads the title menu in.
    with open(os.path.join(saves, "anaglyph3d.dat"), "wb") as f:
        f.write(struct.pack("<i", 0))
    game = installed_game(program, os.path.join(output, "game-logoff"))
    game.start()
    try:
        skip_splash(game, player, backdrop)
        player.click_item(START_GAME)
        player.wait_for("play-before-logoff", lambda s: len(ship_pixels(s, backdrop)) > 60
                        and not shows_tints(s, 3))
        player.hold(["Right"], 0.5)
        # A silent uninstall while the game runs is refused (status 2) and removes nothing;
        # run in place (_?=) so that its status is the uninstaller's own. "_?=" takes the
        # rest of the command line unquoted: two arguments, which Wine joins with a space.
        refused = subprocess.run(["wine", "C:\\Program Files\\Vextral\\uninstall.exe", "/S",
                                  "_?=C:\\Program", "Files\\Vextral"], timeout=120,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        check(refused.returncode == 2, "a silent uninstall while the game runs should be "
              "refused with status 2, got %s" % refused.returncode)
        check(tree(program) == installed_tree and os.path.isdir(menu),
              "the refused uninstall removed %s" % sorted(tree(program) ^ installed_tree))
        check(game.running(), "the refused uninstall ended the game")
        print("windows e2e: a silent uninstall while the game runs is refused")
        # Wine's end of session: every window hears WM_QUERYENDSESSION, then WM_ENDSESSION.
        subprocess.run(["wine", "wineboot", "--end-session"], timeout=120,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        game.wait_exit(120)
    finally:
        game.kill()
    check(os.path.getmtime(os.path.join(saves, "last.replay")) > recorded,
          "the game ended by the logoff should be kept as last.replay")
    replayed = subprocess.run([args.sim, "--replay", os.path.join(saves, "last.replay"),
                               "--data", sim_data], stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT, text=True, timeout=300,
                              env=dict(os.environ, HOME=os.path.join(output, "sim-home")))
    check(replayed.returncode == 0, "the game ended by the logoff does not replay:\n%s"
          % replayed.stdout)
    # Windows may end the process at any moment after the session's end: nothing may be
    # written after the end's own saves, or a save cut short leaves its temporary file.
    check(sorted(os.listdir(saves)) == kept, "after the logoff the saves folder should hold "
          "%r, not %r" % (kept, sorted(os.listdir(saves))))
    print("windows e2e: a logoff during play keeps the game (%d frames) and ends it"
          % replay_header(os.path.join(saves, "last.replay"))[0])

    # ---- That short game opened as Explorer opens it: by its path, beyond ASCII ----
    # The association runs the game with the path alone. The C runtime's argv would hold
    # the ANSI code page's "ë", which is no UTF-8.
    named = "C:\\users\\%s\\AppData\\Roaming\\Vextral\\last.replay" % USER
    frames = replay_header(os.path.join(saves, "last.replay"))[0]
    game = installed_game(program, os.path.join(output, "game-named"))
    game.executable = "start"
    game.start(["/wait", named])
    try:
        game.wait_window()
        status = game.wait_exit(frames / 60.0 + 120)
    finally:
        game.kill()
    check(status == 0, "opening %s should play the game out and end with status 0, got %s:\n%s"
          % (named, status, game.stderr_text()))
    print("windows e2e: opening %s played the game out" % named)

    # ---- The portable zip keeps its files beside it; a failed save is read on screen ----
    portable = os.path.join(drive, "Vextral-portable")
    with zipfile.ZipFile(args.zip) as archive:
        archive.extractall(portable)
    beside = os.path.join(portable, "Vextral", "data")
    # Something in the way of the best score's file: its save at exit fails.
    os.makedirs(os.path.join(beside, "hiscore.dat", "in-the-way"))
    before = {name: os.path.getmtime(os.path.join(saves, name)) for name in os.listdir(saves)}
    game = Game(os.path.join(portable, "Vextral", "vextral.exe"), os.path.join(output, "portable"),
                in_place=True)
    game.executable = "C:\\Vextral-portable\\Vextral\\vextral.exe"
    game.command_prefix = ["wine"]
    game.wait_window = wait_window_and_focus_for(game)
    game.start()
    try:
        skip_splash(game, player, backdrop)
        focus(game)
        player.tap("Escape")
        # The game stays a few seconds on its way out, showing why the best score is lost.
        shot = player.wait_for("exit-notice", shows_notice,
                               timeout=30)
        shot.save(os.path.join(output, "exit-notice.png"))
        status = game.wait_exit(60)
    finally:
        game.kill()
    check(status == 0, "the portable game should exit with status 0, got %s" % status)
    check(os.path.isfile(os.path.join(beside, "anaglyph3d.dat")),
          "the portable game should save beside itself, data holds %r" % os.listdir(beside))
    logged = log_text(beside)
    check("game: could not save C:\\Vextral-portable\\Vextral\\data\\hiscore.dat" in logged,
          "the failed save should be in the portable game's log, as Windows writes paths:\n%s"
          % logged)
    after = {name: os.path.getmtime(os.path.join(saves, name)) for name in os.listdir(saves)}
    check(after == before, "the portable game touched %%APPDATA%%\\Vextral: %r became %r"
          % (before, after))
    print("windows e2e: the portable game saved beside itself and showed its failed save")

    # ---- Uninstall: the program goes, the saves stay ----
    subprocess.run(["wine", "C:\\Program Files\\Vextral\\uninstall.exe", "/S"], timeout=120,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    # The uninstaller copies itself away and goes on from there after this returns.
    wait_until("the uninstaller to remove the program", lambda: not os.path.exists(program), 120)
    check(not os.path.exists(menu), "the Start-menu entries should go with the program")
    association = subprocess.run(["wine", "reg", "query", "HKLM\\Software\\Classes\\Vextral.Replay"],
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
    check(association.returncode != 0, "the .replay association should go with the program")
    check(sorted(os.listdir(saves)) == kept, "the uninstaller should keep the saves %r, not %r"
          % (kept, sorted(os.listdir(saves))))
    print("windows e2e: passed in %.0f s" % (time.monotonic() - began))
    return 0


if __name__ == "__main__":
    sys.exit(main())
