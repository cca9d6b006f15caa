#!/usr/bin/env python3
"""The hall of fame server as its clients meet it: the real vextral-hall on 127.0.0.1, sent
real recordings made by vextral-sim and recordings damaged or forged from them. Its games
are in SQLite files in a temporary folder, or with --engine postgres in a PostgreSQL server
of the test's own; there two halls also share one database, and one is killed mid-run.

    hall_server_test.py --hall PATH/vextral-hall --sim PATH/vextral-sim
                        [--engine sqlite|postgres --postgres-bin DIR] [unittest options]

Exits with 77 (skipped) when --engine postgres finds no PostgreSQL in DIR.
"""

import argparse
import ctypes
import http.client
import json
import os
import pwd
import queue
import re
import select
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import urllib.error
import urllib.parse
import urllib.request

HALL = ""
SIM = ""
ENGINE = "sqlite"
POSTGRES_BIN = ""
POSTGRES_PROGRAMS = ("initdb", "postgres", "createdb", "pg_isready")
DEADLINE = 120  # seconds: for what must happen, never a measure of how fast it is

ROOT = ""         # the tests' temporary folder
GAMES = None      # the recordings, made once for every test
POSTGRES = None   # the PostgreSQL server, with --engine postgres

# The replay header (game/replay/format.h): little-endian fields at these offsets.
VERSION, FRAME_COUNT, FINAL_SCORE, ENDING, CHECKSUM = 4, 16, 20, 28, 36
PAYLOAD = 68


def fnv1a(data, value=2166136261):
    for byte in data:
        value = ((value ^ byte) * 16777619) & 0xFFFFFFFF
    return value


def with_field(recording, offset, value):
    """recording with one 32-bit header field changed and its checksum made right again."""
    data = bytearray(recording)
    struct.pack_into("<i", data, offset, value)
    struct.pack_into("<I", data, CHECKSUM, fnv1a(data[CHECKSUM + 4:], fnv1a(data[:CHECKSUM])))
    return bytes(data)


def field(recording, offset):
    return struct.unpack_from("<i", recording, offset)[0]


def varint(data, position):
    value, shift = 0, 0
    while True:
        byte = data[position]
        position += 1
        value |= (byte & 0x7F) << shift
        shift += 7
        if byte < 0x80:
            return value, position


def put_varint(value):
    out = bytearray()
    while value >= 0x80:
        out.append((value & 0x7F) | 0x80)
        value >>= 7
    out.append(value)
    return bytes(out)


def last_record(payload):
    """(offset, tag, count) of the payload's last frame record."""
    position, last = 0, None
    while position < len(payload):
        start, tag = position, payload[position]
        count, position = varint(payload, position + 1)
        if tag == 2:
            for _ in range(count):
                _, position = varint(payload, position + 1)
                _, position = varint(payload, position)
        elif tag == 1:
            for _ in range(count):
                _, position = varint(payload, position)
                _, position = varint(payload, position)
        last = (start, tag, count)
    return last


def with_last_run(recording, frames):
    """A recording whose last run of repeated frames is stretched so that it claims frames
    frames in all, said to end in game over: tiny, and as long to play as it claims."""
    payload = recording[PAYLOAD:]
    start, tag, count = last_record(payload)
    assert tag == 0, "the paused game's recording should end in a run of repeats"
    added = frames - field(recording, FRAME_COUNT)
    data = bytearray(recording[:PAYLOAD] + payload[:start] + b"\0" + put_varint(count + added))
    struct.pack_into("<I", data, 32, len(data) - PAYLOAD)
    struct.pack_into("<i", data, FRAME_COUNT, frames)
    return with_field(bytes(data), ENDING, 0)


def play(folder, *arguments):
    """Runs vextral-sim keeping its games in folder; returns (best, last) recordings."""
    os.makedirs(folder)
    subprocess.run([SIM, "--data", folder, *arguments], check=True, timeout=DEADLINE,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    with open(os.path.join(folder, "best.replay"), "rb") as best, \
            open(os.path.join(folder, "last.replay"), "rb") as last:
        return best.read(), last.read()


def wait_until(what, check, deadline=DEADLINE):
    end = time.monotonic() + deadline
    while time.monotonic() < end:
        value = check()
        if value:
            return value
        time.sleep(0.05)
    raise AssertionError("waited %d seconds for %s" % (deadline, what))


def verifier_children(data_folder, games=None):
    """Process ids of verifier children working in data_folder; with games a set, the ids
    of the games they verify are added to it."""
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % entry, "rb") as cmdline:
                words = cmdline.read().split(b"\0")
        except OSError:
            continue
        if b"--verify" in words and any(data_folder.encode() in word for word in words):
            found.append(int(entry))
            if games is not None:
                games.update(int(game) for word in words
                             for game in re.findall(rb"/game-(\d+)/", word))
    return found


class Postgres:
    """A PostgreSQL server of the tests' own: a new cluster in a temporary folder, on a Unix
    socket in that folder only, killed if the tests die first. Under root it runs as nobody,
    which the halls (serving as nobody too) can reach; the server refuses root."""

    USER = "vextral"
    PORT = "5432"  # the socket is in the cluster's own folder: no other server shares it

    def __init__(self, binaries):
        self.binaries = binaries
        self.folder = tempfile.mkdtemp(prefix="vextral-postgres-")
        self.log_path = os.path.join(self.folder, "log")
        self.account = {}
        self.process = None
        self.databases = set()
        if os.geteuid() == 0:
            nobody = pwd.getpwnam("nobody")
            os.chown(self.folder, nobody.pw_uid, nobody.pw_gid)
            self.account = {"user": nobody.pw_uid, "group": nobody.pw_gid, "extra_groups": []}

    def program(self, name, *arguments, as_server=False):
        with open(self.log_path, "ab") as log:
            return subprocess.run([os.path.join(self.binaries, name), *arguments],
                                  stdout=log, stderr=log, timeout=DEADLINE,
                                  **(self.account if as_server else {})).returncode

    def start(self):
        data = os.path.join(self.folder, "data")
        if self.program("initdb", "-D", data, "-U", self.USER, "-A", "trust", "-E", "UTF8",
                        "--locale=C", "--no-sync", "--no-instructions", as_server=True):
            raise AssertionError("initdb failed:\n" + self.log())
        with open(self.log_path, "ab") as log:
            # No TCP at all; nothing here needs to survive a crash of the machine.
            self.process = subprocess.Popen(
                [os.path.join(self.binaries, "postgres"), "-D", data, "-k", self.folder,
                 "-p", self.PORT, "-c", "listen_addresses=", "-c", "fsync=off"],
                stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                preexec_fn=die_with_parent, **self.account)

        def ready():
            if self.process.poll() is not None:
                raise AssertionError("the PostgreSQL server stopped:\n" + self.log())
            return self.program("pg_isready", "-q", "-h", self.folder, "-p", self.PORT) == 0
        wait_until("the PostgreSQL server", ready)

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.send_signal(signal.SIGQUIT)  # at once: nothing in it is kept
            self.process.wait(timeout=DEADLINE)
        shutil.rmtree(self.folder, ignore_errors=True)

    def log(self):
        with open(self.log_path, encoding="utf-8", errors="replace") as log:
            return log.read()

    def database(self, name):
        """The connection string of database name, made empty the first time."""
        if name not in self.databases:
            if self.program("createdb", "-h", self.folder, "-p", self.PORT, "-U", self.USER,
                            name):
                raise AssertionError("createdb %s failed:\n%s" % (name, self.log()))
            self.databases.add(name)
        quoted = "'%s'" % self.folder.replace("\\", "\\\\").replace("'", "\\'")
        return "host=%s port=%s user=%s dbname=%s" % (quoted, self.PORT, self.USER, name)


LIBC = ctypes.CDLL(None, use_errno=True)
PR_SET_PDEATHSIG = 1


def die_with_parent():
    """In a child before exec (after it has become the server's user, which may read none of
    Python's own files): be stopped, as PostgreSQL stops at once, if the test dies."""
    LIBC.prctl(PR_SET_PDEATHSIG, signal.SIGQUIT)


class Recordings:
    """The games the tests send, played by vextral-sim into folder."""

    def __init__(self, folder):
        # Random players: each run keeps its best game (over) and its last (cut off).
        self.best, self.abandoned = play(os.path.join(folder, "a"), "--seed", "7",
                                         "--random-input", "--frames", "20000")
        self.other_best, _ = play(os.path.join(folder, "b"), "--seed", "11", "--random-input",
                                  "--frames", "30000")
        assert field(self.best, ENDING) == 0 and field(self.other_best, ENDING) == 0
        assert field(self.abandoned, ENDING) == 1
        # A game paused until the program closes: its recording ends in one run of repeats.
        script = os.path.join(folder, "pause.script")
        with open(script, "w") as text:
            text.write("1 keydown 27\n2 keyup 27\n5 mousemove 320 252\n8 mousedown 1\n"
                       "9 mouseup 1\n60 keydown 27\n61 keyup 27\n")
        _, self.paused = play(os.path.join(folder, "c"), "--seed", "3", "--input", script,
                              "--frames", "300")


def setUpModule():
    global ROOT, GAMES, POSTGRES
    ROOT = tempfile.mkdtemp(prefix="vextral-hall-test-")
    unittest.addModuleCleanup(shutil.rmtree, ROOT, ignore_errors=True)
    os.chmod(ROOT, 0o755)
    GAMES = Recordings(os.path.join(ROOT, "games"))
    if ENGINE == "postgres":
        POSTGRES = Postgres(POSTGRES_BIN)
        unittest.addModuleCleanup(POSTGRES.stop)
        POSTGRES.start()


class Hall:
    """One vextral-hall process over a data folder, on a port of its choosing; with
    --engine postgres its games are in the database named database (by default its name)."""

    def __init__(self, root, name, *options, database=None):
        self.data = os.path.join(root, name)
        self.log_path = os.path.join(root, name + ".log")
        self.options = list(options)
        if ENGINE == "postgres":
            self.options += ["--database", POSTGRES.database(database or name)]
        self.process = None
        self.url = ""
        os.makedirs(self.data, exist_ok=True)
        if os.geteuid() == 0:
            # Root is refused: the hall serves as nobody, in a folder nobody may write.
            os.chown(self.data, pwd.getpwnam("nobody").pw_uid, -1)
            self.options += ["--user", "nobody"]

    def start(self):
        log = open(self.log_path, "ab")
        self.process = subprocess.Popen(
            [HALL, "--data", self.data, "--port", "0", *self.options],
            stdout=subprocess.PIPE, stderr=log)
        log.close()
        ready, _, _ = select.select([self.process.stdout], [], [], DEADLINE)
        line = self.process.stdout.readline().decode() if ready else ""
        if "serving http://" not in line:
            self.process.kill()
            raise AssertionError("the hall did not start: %r\n%s" % (line, self.log()))
        self.url = line.split()[2].rstrip("/")
        return self

    def log(self):
        with open(self.log_path, encoding="utf-8", errors="replace") as log:
            return log.read()

    def kill9(self):
        self.process.send_signal(signal.SIGKILL)
        self.process.wait(timeout=DEADLINE)

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.terminate()
            self.process.wait(timeout=DEADLINE)
        if self.process:
            self.process.stdout.close()
        # A verifier a failed test left behind.
        for child in verifier_children(self.data):
            os.kill(child, signal.SIGKILL)

    def request(self, method, path, body=None, headers=None):
        """(status, headers, body) of one request; HTTP errors are answers too."""
        call = urllib.request.Request(self.url + path, data=body, method=method,
                                      headers=headers or {})
        try:
            with urllib.request.urlopen(call, timeout=DEADLINE) as answer:
                return answer.status, answer.headers, answer.read()
        except urllib.error.HTTPError as error:
            with error:
                return error.code, error.headers, error.read()

    def json(self, method, path, body=None, headers=None):
        status, _, body = self.request(method, path, body, headers)
        return status, json.loads(body)

    def submit(self, recording, name="player"):
        return self.json("POST", "/api/games?" + urllib.parse.urlencode({"name": name}),
                         recording, {"Content-Type": "application/octet-stream"})

    def submit_form(self, recording, name):
        boundary = "vextral-test-boundary"
        body = ("--%s\r\nContent-Disposition: form-data; name=\"name\"\r\n\r\n%s\r\n"
                "--%s\r\nContent-Disposition: form-data; name=\"recording\"; "
                "filename=\"best.replay\"\r\nContent-Type: application/octet-stream\r\n\r\n"
                % (boundary, name, boundary)).encode() + recording + \
            ("\r\n--%s--\r\n" % boundary).encode()
        return self.json("POST", "/api/games", body,
                         {"Content-Type": "multipart/form-data; boundary=" + boundary})

    def verdict(self, game_id):
        """The game's state once verification is over."""
        def judged():
            status, game = self.json("GET", "/api/games/%d" % game_id)
            assert status == 200, game
            return game if game["status"] in ("verified", "refused") else None
        return wait_until("game %d to be judged" % game_id, judged)

    def queued(self, recording, name="player"):
        status, answer = self.submit(recording, name)
        assert status == 202 and answer["status"] == "queued", (status, answer)
        return answer["id"]

    def judged(self):
        """How many verifications this hall has finished."""
        _, _, text = self.request("GET", "/metrics")
        found = re.search(rb"\nvextral_hall_verification_seconds_count (\d+)", text)
        return int(found.group(1))

    def idle(self):
        return not verifier_children(self.data)


class HallServerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.root = ROOT
        cls.best, cls.abandoned = GAMES.best, GAMES.abandoned
        cls.other_best, cls.paused = GAMES.other_best, GAMES.paused
        cls.hall = Hall(cls.root, "main", "--submissions-per-minute", "1000").start()

    @classmethod
    def tearDownClass(cls):
        cls.hall.stop()

    def test_real_games_are_verified_ranked_shown_and_given_back(self):
        hall = self.hall
        low, high = sorted([self.best, self.other_best], key=lambda game: field(game, FINAL_SCORE))
        low_id = hall.queued(low, "low scorer")
        status, answer = hall.submit_form(high, "<script>&\"'")
        self.assertEqual(status, 202, answer)
        high_id = answer["id"]
        for game_id, recording in ((low_id, low), (high_id, high)):
            game = hall.verdict(game_id)
            self.assertEqual(game["status"], "verified", game)
            self.assertEqual(game["score"], field(recording, FINAL_SCORE))
            self.assertEqual(game["frames"], field(recording, FRAME_COUNT))
            status, _, body = hall.request("GET", "/api/games/%d/recording" % game_id)
            self.assertEqual((status, body), (200, recording))

        status, table = hall.json("GET", "/api/table?n=100")
        self.assertEqual(status, 200)
        ids = [game["id"] for game in table["games"]]
        self.assertLess(ids.index(high_id), ids.index(low_id))
        self.assertEqual(hall.json("GET", "/api/table?n=1")[1]["games"][0]["score"],
                         max(game["score"] for game in table["games"]))
        self.assertEqual(hall.json("GET", "/api/table?n=0")[0], 400)

        status, headers, page = hall.request("GET", "/")
        page = page.decode()
        self.assertEqual(status, 200)
        self.assertIn("text/html", headers["Content-Type"])
        self.assertIn("&lt;script&gt;&amp;&quot;&#39;", page)
        self.assertNotIn("<script>&", page)
        self.assertIn("/api/games/%d/recording" % low_id, page)
        self.assertIn('<form method="post" action="/api/games"', page)

    def test_recordings_that_are_no_honest_finished_game_are_refused_with_their_reason(self):
        hall = self.hall
        score = field(self.best, FINAL_SCORE)
        cases = {
            "score edited": (with_field(self.best, FINAL_SCORE, score + 1000), "did_not_replay"),
            "abandoned game said to be over": (with_field(self.abandoned, ENDING, 0),
                                               "did_not_replay"),
            "abandoned": (self.abandoned, "not_finished"),
            "cut short": (self.best[:-100], "damaged"),
            "bit flipped": (self.best[:200] + bytes([self.best[200] ^ 1]) + self.best[201:],
                            "damaged"),
            "newer format": (with_field(self.best, VERSION, 99), "newer_format"),
            "garbage": (os.urandom(4096), "not_a_replay"),
            "huge repeat": (with_last_run(self.paused, 2_000_000_000), "too_long"),
        }
        ids = {}
        for case, (recording, _) in cases.items():
            ids[case] = hall.queued(recording, case[:16])
        for case, (_, reason) in cases.items():
            game = hall.verdict(ids[case])
            self.assertEqual((game["status"], game["reason"]), ("refused", reason), case)
            self.assertTrue(game["detail"], case)
            status, _, _ = hall.request("GET", "/api/games/%d/recording" % ids[case])
            self.assertEqual(status, 404, case)
        _, table = hall.json("GET", "/api/table?n=100")
        self.assertFalse(set(ids.values()) & {game["id"] for game in table["games"]})

    def test_bad_requests_are_answered_at_once_with_a_json_reason(self):
        hall = self.hall
        sixteen = "\u00c4" * 16
        cases = [
            (b"", "empty", 400, "empty"),
            (b"\0" * (2 * 1024 * 1024 + 1), "big", 413, "too_large"),
            (b"x" * 100, "", 400, "bad_name"),
            (b"x" * 100, "seventeen chars!!", 400, "bad_name"),
            (b"x" * 100, "bell\x07", 400, "bad_name"),
            (b"x" * 100, "\u202eevil", 400, "bad_name"),
            (b"x" * 100, "   ", 400, "bad_name"),
        ]
        for body, name, status, error in cases:
            answer_status, answer = hall.submit(body, name)
            self.assertEqual((answer_status, answer["error"]), (status, error), name)
            self.assertTrue(answer["reason"])
        # Not UTF-8 at all.
        status, answer = hall.json("POST", "/api/games?name=%FF", b"x",
                                   {"Content-Type": "application/octet-stream"})
        self.assertEqual((status, answer["error"]), (400, "bad_name"))
        # Sixteen characters of two bytes each are a name.
        first = hall.queued(os.urandom(64), sixteen)
        self.assertEqual(hall.json("GET", "/api/games/%d" % first)[1]["name"], sixteen)
        # The same bytes again, under any name.
        duplicate = with_field(self.other_best, 12, 12345)
        earlier = hall.queued(duplicate, "first")
        status, answer = hall.submit(duplicate, "second")
        self.assertEqual((status, answer["error"], answer["id"]), (409, "duplicate", earlier))
        self.assertEqual(hall.json("GET", "/api/games/999999")[0], 404)

    def test_health_and_metrics_count_what_happened(self):
        hall = self.hall
        hall.verdict(hall.queued(os.urandom(100), "metrics"))
        status, health = hall.json("GET", "/health")
        self.assertEqual((status, health["status"]), (200, "ok"))
        status, _, text = hall.request("GET", "/metrics")
        text = text.decode()
        self.assertEqual(status, 200)
        for line in ("vextral_hall_submissions_received_total",
                     'vextral_hall_games_refused_total{reason="not_a_replay"}',
                     "vextral_hall_queue_length", "vextral_hall_verification_seconds_count"):
            self.assertIn("\n" + line + " ", text)

    def test_a_killed_hall_loses_nothing_and_resumes_its_queue(self):
        # One worker, stuck on a recording that plays for hours within the hall's limits.
        hall = Hall(self.root, "killed", "--workers", "1", "--max-minutes", "1440",
                    "--verify-cpu-seconds", "600").start()
        try:
            endless = hall.queued(with_last_run(self.paused, 1440 * 3600 - 1), "endless")
            children = wait_until("a verifier child", lambda: verifier_children(hall.data))
            waiting = hall.queued(self.best, "waiting")
            self.assertEqual(hall.json("GET", "/api/games/%d" % endless)[1]["status"],
                             "verifying")
            hall.kill9()
            # The verifier dies with the hall.
            wait_until("the verifier to die with the hall",
                       lambda: not (set(children) & set(verifier_children(hall.data))))
        finally:
            hall.stop()
        # Started again, with a CPU limit that cuts the endless game short (and leaves the
        # real one time enough, in a sanitizer build too).
        hall.options[hall.options.index("--verify-cpu-seconds") + 1] = "5"
        hall.start()
        try:
            game = hall.verdict(endless)
            self.assertEqual((game["status"], game["reason"]), ("refused", "took_too_long"))
            self.assertIn("CPU seconds", game["detail"])
            game = hall.verdict(waiting)
            self.assertEqual(game["status"], "verified", game)
            self.assertEqual(hall.request("GET", "/api/games/%d/recording" % waiting)[2],
                             self.best)
            self.assertIn("queued again", hall.log())
        finally:
            hall.stop()

    def test_an_address_sending_too_much_is_told_to_wait(self):
        hall = Hall(self.root, "limited", "--submissions-per-minute", "2").start()
        try:
            hall.queued(os.urandom(10), "one")
            hall.queued(os.urandom(10), "two")
            status, headers, body = hall.request(
                "POST", "/api/games?name=three", os.urandom(10),
                {"Content-Type": "application/octet-stream"})
            self.assertEqual((status, json.loads(body)["error"]), (429, "rate_limited"))
            self.assertGreater(int(headers["Retry-After"]), 0)
        finally:
            hall.stop()

    def test_the_game_page_is_served_under_play_with_its_own_policy_only(self):
        page = os.path.join(self.root, "page")
        os.makedirs(page, exist_ok=True)
        for name, content in (("index.html", b"<!doctype html>page"), ("vextral.wasm", b"\0asm")):
            with open(os.path.join(page, name), "wb") as file:
                file.write(content)
        hall = Hall(self.root, "with-page", "--page", page).start()
        try:
            status, headers, body = hall.request("GET", "/play/")
            self.assertEqual((status, body), (200, b"<!doctype html>page"))
            policies = headers.get_all("Content-Security-Policy")
            self.assertEqual(len(policies), 1, policies)
            self.assertIn("'wasm-unsafe-eval'", policies[0])
            self.assertIn("default-src 'self'", policies[0])
            self.assertEqual(headers["X-Content-Type-Options"], "nosniff")
            self.assertIn(b'href="/play/?hall=/"', hall.request("GET", "/")[2])
            status, headers, _ = hall.request("GET", "/play/vextral.wasm")
            self.assertEqual((status, headers["Content-Type"]), (200, "application/wasm"))
            # The API and the table keep the policy that runs no script.
            _, headers, _ = hall.request("GET", "/api/table")
            self.assertEqual(headers.get_all("Content-Security-Policy"),
                             ["default-src 'self'; style-src 'unsafe-inline'"])
            # Nothing outside the page's folder: the hall's own files stay out of reach.
            connection = http.client.HTTPConnection(hall.url.split("//")[1], timeout=DEADLINE)
            connection.request("GET", "/play/../with-page/hall.sqlite")
            answer = connection.getresponse()
            self.assertNotIn(b"SQLite format", answer.read())
            self.assertNotEqual(answer.status, 200)
            connection.request("GET", "/play")
            answer = connection.getresponse()
            answer.read()
            self.assertEqual((answer.status, answer.getheader("Location")), (302, "/play/?hall=/"))
            connection.close()
        finally:
            hall.stop()
        missing = subprocess.run([HALL, "--data", os.path.join(self.root, "no-page"), "--port",
                                  "0", "--page", os.path.join(self.root, "nowhere")]
                                 + (["--user", "nobody"] if os.geteuid() == 0 else []),
                                 capture_output=True, timeout=DEADLINE)
        self.assertEqual(missing.returncode, 2)
        self.assertIn(b"is not a folder", missing.stderr)

    @unittest.skipUnless(os.geteuid() == 0, "only root is refused")
    def test_root_is_refused_without_a_user_to_become(self):
        data = os.path.join(self.root, "as-root")
        result = subprocess.run([HALL, "--data", data, "--port", "0"], capture_output=True,
                                timeout=DEADLINE)
        self.assertEqual(result.returncode, 2)
        self.assertIn(b"--user", result.stderr)
        self.assertFalse(os.path.exists(os.path.join(data, "hall.sqlite")))


def submit_concurrently(halls, recordings, accepted, clients=8):
    """Sends every recording once, from clients threads at once, each to the halls in turn;
    a hall that does not answer is passed over for the next. accepted gets {id: recording}
    of every game a hall took: a 202, or a 409 for bytes a hall took while its answer was
    lost. Returns what went wrong."""
    work = queue.Queue()
    for index, recording in enumerate(recordings):
        work.put((index, recording))
    lock = threading.Lock()
    failures = []

    def client(number):
        while True:
            try:
                index, recording = work.get_nowait()
            except queue.Empty:
                return
            for attempt in range(len(halls)):
                hall = halls[(index + attempt) % len(halls)]
                try:
                    status, answer = hall.submit(recording, "client %d" % number)
                except (OSError, http.client.HTTPException):
                    continue
                if status == 202 or (status == 409 and answer["error"] == "duplicate"):
                    with lock:
                        accepted[answer["id"]] = recording
                else:
                    with lock:
                        failures.append("game %d: %d %r" % (index, status, answer))
                break
            else:
                with lock:
                    failures.append("game %d: no hall answered" % index)

    threads = [threading.Thread(target=client, args=(number,)) for number in range(clients)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    return failures


class HallsSharingOneDatabaseTest(unittest.TestCase):
    """Two halls on one PostgreSQL database, each serving and verifying."""

    @classmethod
    def setUpClass(cls):
        if ENGINE != "postgres":
            raise unittest.SkipTest("halls share a PostgreSQL database only")

    def setUp(self):
        self.expected = {}  # recording: (status, reason) it ends in

    def games(self, real=0, short=0, garbage=0, long=0):
        made = [GAMES.best, GAMES.other_best][:real]
        for recording in made:
            self.expected[recording] = ("verified", None)
        for _ in range(short):
            # A paused game said to end in game over: played through, then refused.
            recording = with_last_run(GAMES.paused, 2000 + len(self.expected))
            self.expected[recording] = ("refused", "did_not_replay")
            made.append(recording)
        for _ in range(long):
            # Longer than the second hall takes: it refuses it without playing it.
            recording = with_last_run(GAMES.paused, 300_000 + len(self.expected))
            self.expected[recording] = ("refused", "too_long")
            made.append(recording)
        for _ in range(garbage):
            recording = os.urandom(300)
            self.expected[recording] = ("refused", "not_a_replay")
            made.append(recording)
        return made

    def check_judged(self, hall, accepted):
        for game_id, recording in accepted.items():
            game = hall.verdict(game_id)
            self.assertEqual((game["status"], game.get("reason")), self.expected[recording],
                             game)

    def test_halls_share_the_queue_and_a_hall_killed_mid_run_loses_nothing(self):
        busy = ("--workers", "2", "--submissions-per-minute", "100000")
        first = Hall(ROOT, "shared-1", *busy, database="shared").start()
        self.addCleanup(first.stop)
        second = Hall(ROOT, "shared-2", *busy, "--max-minutes", "60",
                      database="shared").start()
        self.addCleanup(second.stop)

        # Both up: every game is judged, and judged once, by one hall or the other.
        accepted = {}
        recordings = self.games(real=2, short=4, garbage=18)
        self.assertEqual(submit_concurrently([first, second], recordings, accepted), [])
        self.assertEqual(len(accepted), len(recordings))
        self.check_judged(second, accepted)
        wait_until("both halls to be idle", lambda: first.idle() and second.idle())
        self.assertEqual(first.judged() + second.judged(), len(accepted))

        # The first hall alone takes two long games, which keep both its workers busy from
        # then on, while the second restarts: starting, it leaves them to the first.
        accepted = {}
        second.stop()
        for recording in self.games(long=2):
            accepted[first.queued(recording, "long")] = recording

        def long_games_in_hand():
            in_hand = set()
            verifier_children(first.data, in_hand)
            return in_hand == set(accepted)
        wait_until("the first hall to verify the long games", long_games_in_hand)
        second.start()
        self.assertNotIn("queued again", second.log())

        # Clients send to both; the first hall is killed while they do. Then more come,
        # which only the second can take.
        during = self.games(short=4, garbage=24)

        def kill_mid_run():
            wait_until("half the games to be taken", lambda: len(accepted) >= 2 + 14)
            first.kill9()
        killer = threading.Thread(target=kill_mid_run)
        killer.start()
        failures = submit_concurrently([first, second], during, accepted)
        killer.join()
        after = self.games(garbage=8)
        failures += submit_concurrently([first, second], after, accepted)
        self.assertEqual(failures, [])
        self.assertEqual(len(accepted), 2 + len(during) + len(after))

        # Nothing lost: every game taken is judged, the long ones by the second hall once it
        # found their taker gone. And each once: the first judged none of these.
        self.check_judged(second, accepted)
        self.assertIn("queued again", second.log())
        wait_until("the second hall to be idle", second.idle)
        self.assertEqual(second.judged(), len(accepted))
        self.assertEqual(second.json("GET", "/health")[1]["queue"], 0)

if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--hall", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--engine", choices=("sqlite", "postgres"), default="sqlite")
    parser.add_argument("--postgres-bin", default="")
    options, rest = parser.parse_known_args()
    HALL, SIM, ENGINE, POSTGRES_BIN = options.hall, options.sim, options.engine, \
        options.postgres_bin
    if ENGINE == "postgres" and not all(
            os.access(os.path.join(POSTGRES_BIN, program), os.X_OK)
            for program in POSTGRES_PROGRAMS):
        print("PostgreSQL's %s not found in %r (tools/install-deps.sh --hall installs "
              "postgresql-15): skipped" % (", ".join(POSTGRES_PROGRAMS), POSTGRES_BIN))
        sys.exit(77)
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)
