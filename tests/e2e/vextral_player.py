"""Drives the real vextral executable on an X display as a player would.

A Game is a private copy of the executable with its own data/ folder, started from a
folder that is not its own, with SDL's "disk" audio driver writing the mixed output to
a file. Input goes through real X events (xdotool), pictures come from the X server
(ImageMagick's import), and everything is measured in the game's 640 x 480 pixels,
whatever the screen size (the game scales its picture to fit, centred).

Python 3 standard library only; needs xdotool and import on PATH and DISPLAY set.
"""

import os
import shutil
import struct
import subprocess
import time
import zlib

GAME_WIDTH = 640
GAME_HEIGHT = 480
AUDIO_RATE = 44100
AUDIO_FRAME_BYTES = 4  # 16-bit stereo

# Where the title menu draws its items (centre x, row y) and the pointer rows that hover them.
MENU_ITEM_Y = [250, 280, 310, 340, 370, 400]
START_GAME, GRAPHICS_3D, MUSIC, SOUND_VOLUME, MUSIC_VOLUME, EXIT_GAME = range(6)


class E2EFailure(AssertionError):
    pass


def check(condition, message):
    if not condition:
        raise E2EFailure(message)


# ---- Pictures ----------------------------------------------------------------


def _read_ppm(data):
    """Width, height and the RGB bytes of a binary PPM (P6, maxval 255)."""
    fields = []
    position = 0
    while len(fields) < 4:
        while data[position : position + 1].isspace():
            position += 1
        if data[position : position + 1] == b"#":
            position = data.index(b"\n", position) + 1
            continue
        start = position
        while not data[position : position + 1].isspace():
            position += 1
        fields.append(data[start:position])
    check(fields[0] == b"P6" and fields[3] == b"255", "screenshot: not an 8-bit PPM")
    width, height = int(fields[1]), int(fields[2])
    pixels = data[position + 1 : position + 1 + width * height * 3]
    check(len(pixels) == width * height * 3, "screenshot: truncated PPM")
    return width, height, pixels


def write_png(path, width, height, rgb):
    """Writes 8-bit RGB pixels as a PNG file."""
    rows = b"".join(
        b"\x00" + rgb[y * width * 3 : (y + 1) * width * 3] for y in range(height)
    )

    def chunk(kind, body):
        return (
            struct.pack(">I", len(body))
            + kind
            + body
            + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)
        )

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", header))
        out.write(chunk(b"IDAT", zlib.compress(rows, 6)))
        out.write(chunk(b"IEND", b""))


class Shot:
    """One screenshot of the whole X screen, read in game coordinates.

    The game's 640 x 480 picture is scaled by the largest factor that fits the screen
    and centred; game pixel (x, y) is read at the centre of its scaled area.
    """

    def __init__(self, width, height, rgb, name=""):
        self.width, self.height, self.rgb, self.name = width, height, rgb, name
        self.scale = min(width / GAME_WIDTH, height / GAME_HEIGHT)
        self.left = (width - round(GAME_WIDTH * self.scale)) // 2
        self.top = (height - round(GAME_HEIGHT * self.scale)) // 2

    def to_screen(self, x, y):
        return (
            self.left + int((x + 0.5) * self.scale),
            self.top + int((y + 0.5) * self.scale),
        )

    def screen_pixel(self, sx, sy):
        i = (sy * self.width + sx) * 3
        return self.rgb[i], self.rgb[i + 1], self.rgb[i + 2]

    def pixel(self, x, y):
        return self.screen_pixel(*self.to_screen(x, y))

    def pixels(self, x0, y0, x1, y1, step=1):
        """The game pixels of the rectangle [x0, x1) x [y0, y1), clipped to the screen."""
        x0, y0 = max(0, x0), max(0, y0)
        x1, y1 = min(GAME_WIDTH, x1), min(GAME_HEIGHT, y1)
        for y in range(y0, y1, step):
            for x in range(x0, x1, step):
                yield x, y, self.pixel(x, y)

    def count(self, box, predicate, step=1):
        return sum(1 for _, _, p in self.pixels(*box, step=step) if predicate(p))

    def mean_brightness(self, box, step=2):
        total = n = 0
        for _, _, (r, g, b) in self.pixels(*box, step=step):
            total += r + g + b
            n += 1
        return total / (3 * n) if n else 0.0

    def crop(self, box):
        return [p for _, _, p in self.pixels(*box)]

    def extent(self, box, predicate):
        """(min x, max x, min y, max y) of the pixels in box matching predicate, or None."""
        xs, ys = [], []
        for x, y, p in self.pixels(*box):
            if predicate(p):
                xs.append(x)
                ys.append(y)
        if not xs:
            return None
        return min(xs), max(xs), min(ys), max(ys)

    def save(self, path):
        write_png(path, self.width, self.height, self.rgb)


def difference(a, b, box, threshold=40, step=1):
    """How many game pixels of box differ between two shots by more than threshold."""
    changed = 0
    for (_, _, p), (_, _, q) in zip(a.pixels(*box, step=step), b.pixels(*box, step=step)):
        if max(abs(p[0] - q[0]), abs(p[1] - q[1]), abs(p[2] - q[2])) > threshold:
            changed += 1
    return changed


def crop_distance(a, b):
    """Mean absolute difference per channel of two equally sized crops."""
    check(len(a) == len(b) and a, "crops differ in size")
    total = sum(abs(p[i] - q[i]) for p, q in zip(a, b) for i in range(3))
    return total / (3 * len(a))


def text_difference(a, b):
    """How many pixels of two equally sized crops differ in being HUD text or not: unlike
    crop_distance, blind to whatever the dimmed snapshot shows behind the text."""
    check(len(a) == len(b) and a, "crops differ in size")
    return sum(1 for p, q in zip(a, b) if is_menu_text(p) != is_menu_text(q))


# Colour tests on one (r, g, b) pixel.
def is_menu_text(p):
    """The yellow of the menu items, HUD and version line (200, 200, 100 / 60)."""
    r, g, b = p
    return r > 120 and g > 120 and b < 0.75 * min(r, g) and abs(r - g) < 60


def is_near_black(p, limit=12):
    return max(p) <= limit


def is_red(p):
    r, g, b = p
    return r > 60 and r > 2 * g + 10 and r > 2 * b + 10


def is_green(p):
    r, g, b = p
    return g > 50 and g > 2 * r + 10 and g > b + 20


def is_cyan(p):
    r, g, b = p
    return g > 40 and b > 30 and g > 2 * r + 10 and b > 2 * r


def is_blue(p):
    r, g, b = p
    return b > 60 and b > 2 * r + 10 and b > 2 * g + 10


def is_magenta(p):
    r, g, b = p
    return r > 60 and b > 20 and r > 2 * g + 10 and b > 2 * g


# ---- Audio -------------------------------------------------------------------


def audio_rms(path, start_byte, end_byte=None):
    """Root mean square of the 16-bit samples between two byte offsets of the audio file
    (0.0 to 1.0 of full scale)."""
    with open(path, "rb") as f:
        f.seek(start_byte - start_byte % AUDIO_FRAME_BYTES)
        data = f.read(None if end_byte is None else max(0, end_byte - start_byte))
    data = data[: len(data) - len(data) % 2]
    if not data:
        return 0.0
    samples = struct.unpack("<%dh" % (len(data) // 2), data)
    return (sum(s * s for s in samples) / len(samples)) ** 0.5 / 32768.0


def seconds_to_bytes(seconds):
    return int(seconds * AUDIO_RATE) * AUDIO_FRAME_BYTES


# ---- The game ----------------------------------------------------------------


def _link_or_copy(source, target):
    try:
        os.link(source, target)
    except OSError:
        shutil.copy2(source, target)


def wait_window(alive, timeout=60.0, interval=0.1, ended=None):
    """Waits until the game's window is mapped on the display (a loaded machine may take
    many seconds to get there) and gives its id; fails at once if alive() turns false, with
    the message ended() gives."""
    started = time.monotonic()
    while True:
        check(alive(), ended() if ended else "the game ended before opening its window")
        found = subprocess.run(
            ["xdotool", "search", "--onlyvisible", "--name", "^Vextral$"],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True).stdout.split()
        if found:
            return found[0]
        check(time.monotonic() - started < timeout,
              "no game window after %.0f s" % (time.monotonic() - started))
        time.sleep(interval)


class Game:
    """A private installation of the game in folder/, started from folder/elsewhere.

    The executable is hard-linked (or copied) so that it finds folder/game/data beside
    it; the caller may prepare that data folder before start().
    """

    def __init__(self, executable, folder, audio_driver="disk", with_sounds=True, in_place=False):
        """in_place runs the executable where it is (an installed game) instead of a copy."""
        self.folder = os.path.abspath(folder)
        self.install = (os.path.dirname(os.path.realpath(executable)) if in_place
                        else os.path.join(self.folder, "game"))
        self.data = os.path.join(self.install, "data")
        self.cwd = os.path.join(self.folder, "elsewhere")
        self.audio_file = os.path.join(self.folder, "audio.raw")
        self.log_path = os.path.join(self.folder, "stderr.log")
        self.audio_driver = audio_driver
        # The player's home folder (the game may keep its files there), a private one so
        # that the real home's files never leak in; and a command prefix such as setpriv
        # to run the game as another user.
        self.home = os.path.join(self.folder, "home")
        self.command_prefix = []
        self.process = None
        self.shots = 0
        os.makedirs(self.data, exist_ok=True)
        os.makedirs(self.cwd, exist_ok=True)
        os.makedirs(self.home, exist_ok=True)
        if in_place:
            self.executable = os.path.abspath(executable)
            return
        self.executable = os.path.join(self.install, "vextral")
        if not os.path.exists(self.executable):
            _link_or_copy(executable, self.executable)
        if with_sounds:
            source_data = os.path.join(os.path.dirname(executable), "data")
            for name in sorted(os.listdir(source_data)):
                if name.endswith(".ogg") and not os.path.exists(os.path.join(self.data, name)):
                    _link_or_copy(os.path.join(source_data, name), os.path.join(self.data, name))

    # -- files
    def write_setting(self, name, content):
        with open(os.path.join(self.data, name), "wb") as f:
            f.write(content)

    def read_setting(self, name):
        path = os.path.join(self.data, name)
        if not os.path.exists(path):
            return None
        with open(path, "rb") as f:
            return f.read()

    def setting_value(self, name):
        content = self.read_setting(name)
        check(content is not None and len(content) == 4,
              "data/%s should hold 4 bytes, holds %r" % (name, content))
        return struct.unpack("<i", content)[0]

    # -- process
    def start(self, arguments=()):
        environment = dict(os.environ)
        environment["SDL_AUDIODRIVER"] = self.audio_driver
        environment["SDL_DISKAUDIOFILE"] = self.audio_file
        environment["HOME"] = self.home
        environment.pop("XDG_DATA_HOME", None)
        if os.path.exists(self.audio_file):
            os.remove(self.audio_file)
        self.log = open(self.log_path, "ab")
        self.process = subprocess.Popen(
            self.command_prefix + [self.executable] + list(arguments), cwd=self.cwd, env=environment,
            stdout=self.log, stderr=self.log, stdin=subprocess.DEVNULL)
        self.started_at = time.monotonic()

    def running(self):
        return self.process is not None and self.process.poll() is None

    def wait_window(self, timeout=60.0, interval=0.1):
        """Waits until the game's window is mapped on the display; its id."""
        return wait_window(self.running, timeout, interval,
                           lambda: "the game ended before opening its window (status %s):\n%s"
                           % (self.process.poll(), self.stderr_text()[-2000:]))

    def wait_exit(self, timeout=15.0):
        try:
            status = self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
            raise E2EFailure("the game did not exit within %.0f s" % timeout)
        finally:
            self.log.close()
        return status

    def signal(self, number):
        self.process.send_signal(number)

    def kill(self):
        if self.running():
            self.process.kill()
            self.process.wait()
        if self.process is not None and not self.log.closed:
            self.log.close()

    def stderr_text(self):
        if not os.path.exists(self.log_path):
            return ""
        with open(self.log_path, "rb") as f:
            return f.read().decode("utf-8", "replace")

    def audio_bytes(self):
        try:
            return os.path.getsize(self.audio_file)
        except OSError:
            return 0


class Player:
    """Real X input and screenshots on the current DISPLAY; saves every shot it takes
    into shot_folder so that a failing case can be looked at."""

    def __init__(self, shot_folder):
        self.shot_folder = shot_folder
        self.count = 0
        self.last = None
        os.makedirs(shot_folder, exist_ok=True)

    def shoot(self, label):
        data = subprocess.run(
            ["import", "-window", "root", "-depth", "8", "ppm:-"],
            check=True, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout
        width, height, rgb = _read_ppm(data)
        self.count += 1
        shot = Shot(width, height, rgb, "%02d-%s" % (self.count, label))
        shot.save(os.path.join(self.shot_folder, shot.name + ".png"))
        self.last = shot
        return shot

    def poll(self, label, predicate, timeout=30.0, interval=0.1):
        """Screenshots until predicate(shot) holds: that shot, or None at the deadline. The
        deadlines are generous: a loaded machine may draw only a few frames a second."""
        deadline = time.monotonic() + timeout
        while True:
            shot = self.shoot(label)
            if predicate(shot):
                return shot
            if time.monotonic() > deadline:
                return None
            time.sleep(interval)

    def wait_for(self, label, predicate, timeout=30.0, interval=0.1):
        """Screenshots until predicate(shot) holds; fails with the last one kept."""
        shot = self.poll(label, predicate, timeout, interval)
        if shot is None:
            raise E2EFailure("timed out waiting for: %s (see %s.png)" % (label, self.last.name))
        return shot

    @staticmethod
    def xdotool(*arguments):
        subprocess.run(["xdotool"] + [str(a) for a in arguments], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def tap(self, key, hold=0.06):
        """Presses and releases a key, held long enough for the game to see it down."""
        self.xdotool("keydown", key)
        time.sleep(hold)
        self.xdotool("keyup", key)

    def hold(self, keys, seconds):
        for key in keys:
            self.xdotool("keydown", key)
        time.sleep(seconds)
        for key in keys:
            self.xdotool("keyup", key)

    def move(self, x, y, shot=None):
        """Moves the pointer to game pixel (x, y), mapped through the picture's scaling."""
        reference = shot or self.last
        sx, sy = reference.to_screen(x, y) if reference else (x, y)
        self.xdotool("mousemove", sx, sy)

    def click(self, x, y, shot=None):
        self.move(x, y, shot)
        time.sleep(0.1)
        self.xdotool("mousedown", 1)
        time.sleep(0.06)
        self.xdotool("mouseup", 1)
        time.sleep(0.1)

    def click_item(self, item, shot=None):
        # A row inside the item's band, away from its edges.
        self.click(320, MENU_ITEM_Y[item] - 5, shot)



def read_png(path):
    """Width, height and RGB bytes of an 8-bit RGB or RGBA, non-interlaced PNG."""
    with open(path, "rb") as f:
        data = f.read()
    check(data[:8] == b"\x89PNG\r\n\x1a\n", "%s: not a PNG" % path)
    position, idat = 8, b""
    width = height = colour_type = 0
    while position < len(data):
        length, kind = struct.unpack(">I4s", data[position : position + 8])
        body = data[position + 8 : position + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour_type, _, _, interlace = struct.unpack(">IIBBBBB", body)
            check(depth == 8 and colour_type in (2, 6) and interlace == 0,
                  "%s: only 8-bit RGB(A) PNGs are read here" % path)
        elif kind == b"IDAT":
            idat += body
        position += 12 + length
    channels = 3 if colour_type == 2 else 4
    stride = width * channels
    raw = zlib.decompress(idat)
    out = bytearray()
    previous = bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1 : (y + 1) * (stride + 1)])
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up = previous[i]
            corner = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + left) & 255
            elif kind == 2:
                line[i] = (line[i] + up) & 255
            elif kind == 3:
                line[i] = (line[i] + ((left + up) >> 1)) & 255
            elif kind == 4:
                estimate = left + up - corner
                pa, pb, pc = abs(estimate - left), abs(estimate - up), abs(estimate - corner)
                predictor = left if pa <= pb and pa <= pc else (up if pb <= pc else corner)
                line[i] = (line[i] + predictor) & 255
        previous = line
        if channels == 3:
            out += line
        else:
            for i in range(0, stride, 4):
                out += line[i : i + 3]
    return width, height, bytes(out)
