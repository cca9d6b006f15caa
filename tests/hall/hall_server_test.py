#!/usr/bin/env python3
"""The hall of fame server as its clients meet it: the real vextral-hall on 127.0.0.1 with
its SQLite file in a temporary folder, sent real recordings made by vextral-sim and
recordings damaged or forged from them.

    hall_server_test.py --hall PATH/vextral-hall --sim PATH/vextral-sim [unittest options]
"""

import argparse
import json
import os
import pwd
import select
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.error
import urllib.parse
import urllib.request

HALL = ""
SIM = ""
DEADLINE = 120  # seconds: for what must happen, never a measure of how fast it is

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


def verifier_children(data_folder):
    """Process ids of verifier children working in data_folder."""
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
    return found


class Hall:
    """One vextral-hall process over a data folder, on a port of its choosing."""

    def __init__(self, root, name, *options):
        self.data = os.path.join(root, name)
        self.log_path = os.path.join(root, name + ".log")
        self.options = list(options)
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


class HallServerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.root = tempfile.mkdtemp(prefix="vextral-hall-test-")
        cls.addClassCleanup(shutil.rmtree, cls.root, ignore_errors=True)
        os.chmod(cls.root, 0o755)
        games = os.path.join(cls.root, "games")
        # Random players: each run keeps its best game (over) and its last (cut off).
        cls.best, cls.abandoned = play(os.path.join(games, "a"), "--seed", "7",
                                       "--random-input", "--frames", "20000")
        cls.other_best, _ = play(os.path.join(games, "b"), "--seed", "11", "--random-input",
                                 "--frames", "30000")
        assert field(cls.best, ENDING) == 0 and field(cls.other_best, ENDING) == 0
        assert field(cls.abandoned, ENDING) == 1
        # A game paused until the program closes: its recording ends in one run of repeats.
        script = os.path.join(games, "pause.script")
        with open(script, "w") as text:
            text.write("1 keydown 27\n2 keyup 27\n5 mousemove 320 252\n8 mousedown 1\n"
                       "9 mouseup 1\n60 keydown 27\n61 keyup 27\n")
        _, cls.paused = play(os.path.join(games, "c"), "--seed", "3", "--input", script,
                             "--frames", "300")
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
        # Started again, with a CPU limit that cuts the endless game short.
        hall.options[hall.options.index("--verify-cpu-seconds") + 1] = "1"
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

    @unittest.skipUnless(os.geteuid() == 0, "only root is refused")
    def test_root_is_refused_without_a_user_to_become(self):
        data = os.path.join(self.root, "as-root")
        result = subprocess.run([HALL, "--data", data, "--port", "0"], capture_output=True,
                                timeout=DEADLINE)
        self.assertEqual(result.returncode, 2)
        self.assertIn(b"--user", result.stderr)
        self.assertFalse(os.path.exists(os.path.join(data, "hall.sqlite")))


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--hall", required=True)
    parser.add_argument("--sim", required=True)
    options, rest = parser.parse_known_args()
    HALL, SIM = options.hall, options.sim
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)
