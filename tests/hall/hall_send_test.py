#!/usr/bin/env python3
"""vextral --send as a player meets it: a real vextral-hall on 127.0.0.1 (started the way
hall_server_test.py starts one), sent a game vextral-sim played, and the same game edited.

    hall_send_test.py --vextral PATH/vextral --hall PATH/vextral-hall --sim PATH/vextral-sim
                      [unittest options]
"""

import argparse
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import unittest

import hall_server_test as hall_test
from hall_server_test import FINAL_SCORE, DEADLINE, Hall, field, play, with_field

VEXTRAL = ""


class SendTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.root = tempfile.mkdtemp(prefix="vextral-send-test-")
        os.chmod(cls.root, 0o755)
        cls.best, _ = play(os.path.join(cls.root, "games"), "--seed", "7", "--random-input",
                           "--frames", "30000")
        cls.hall = Hall(cls.root, "hall", "--submissions-per-minute", "1000").start()

    @classmethod
    def tearDownClass(cls):
        cls.hall.stop()
        shutil.rmtree(cls.root, ignore_errors=True)

    def send(self, recording, name, hall_url=None):
        """(exit status, stdout, stderr, seconds taken) of vextral --send with recording
        written to a file of its own."""
        path = os.path.join(self.root, "%s.replay" % name.replace(" ", "_"))
        with open(path, "wb") as file:
            file.write(recording)
        # The player's folder is the test's own: sending must not touch the real one.
        environment = dict(os.environ, HOME=self.root, XDG_DATA_HOME=self.root)
        started = time.monotonic()
        result = subprocess.run(
            [VEXTRAL, "--send", path, "--name", name, "--hall", hall_url or self.hall.url],
            capture_output=True, text=True, timeout=DEADLINE, env=environment)
        return result.returncode, result.stdout, result.stderr, time.monotonic() - started

    def test_a_real_game_is_verified_and_its_score_said(self):
        status, out, err, _ = self.send(self.best, "sender")
        self.assertEqual(status, 0, out + err)
        self.assertIn(self.hall.url + "/api/games/", out)
        self.assertIn("verified: score %d," % field(self.best, FINAL_SCORE), out)

    def test_refusals_are_said_with_their_reason_and_fail(self):
        edited = with_field(self.best, FINAL_SCORE, field(self.best, FINAL_SCORE) + 1000)
        status, out, err, _ = self.send(edited, "editor")
        self.assertEqual(status, 1, out + err)
        self.assertIn("accepted", out)
        self.assertIn("refused: did_not_replay", out)

        status, out, err, _ = self.send(self.best[:-1] + b"\0", "a\tname")
        self.assertEqual(status, 1, out + err)
        self.assertIn("(bad_name)", out)
        self.assertNotIn("accepted", out)

    def test_an_unreachable_hall_fails_at_once_with_one_line(self):
        with socket.socket() as closed:
            closed.bind(("127.0.0.1", 0))
            port = closed.getsockname()[1]
        status, out, err, seconds = self.send(self.best, "nobody home",
                                              "http://127.0.0.1:%d/" % port)
        self.assertEqual(status, 2, out + err)
        self.assertEqual(out, "")
        self.assertRegex(err, r"^vextral: cannot reach the hall at http://127\.0\.0\.1:\d+: .+\n$")
        self.assertLess(seconds, 30)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--vextral", required=True)
    parser.add_argument("--hall", required=True)
    parser.add_argument("--sim", required=True)
    options, rest = parser.parse_known_args()
    VEXTRAL = options.vextral
    hall_test.HALL, hall_test.SIM = options.hall, options.sim
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)
