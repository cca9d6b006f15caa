"""tools/web/stamp.py: the page and its service worker name one build, made of exactly the
files the page serves, each with the hash of its bytes, so a worker never keeps a mix."""

import base64
import hashlib
import json
import os
import re
import shutil
import sys
import tempfile
import unittest

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tools", "web"))

import stamp  # noqa: E402

PAGE = {"vextral.js": b"js", "vextral.wasm": b"wasm!", "vextral.data": b"data", "page.js": b"p",
        "music/p_track.ogg": b"ogg", "wasm/game/vextral.js": b"a build folder's own"}


class StampTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="stamp-test-")
        for path, data in PAGE.items():
            self.write(path, data)

    def tearDown(self):
        shutil.rmtree(self.folder)

    def write(self, path, data):
        os.makedirs(os.path.dirname(os.path.join(self.folder, path)), exist_ok=True)
        with open(os.path.join(self.folder, path), "wb") as f:
            f.write(data)

    def read(self, path):
        with open(os.path.join(self.folder, path), "rb") as f:
            return f.read()

    def worker_files(self):
        text = self.read("sw.js").decode("utf-8")
        return json.loads(re.search(r"const FILES = (\{.*?\});", text, re.S).group(1))

    def test_the_worker_lists_every_served_file_with_its_hash(self):
        build = stamp.stamp(self.folder)
        files = self.worker_files()
        self.assertEqual(sorted(files), ["index.html", "music/p_track.ogg", "page.js", "vextral.data",
                                         "vextral.js", "vextral.wasm"])
        for path in files:
            digest = base64.b64encode(hashlib.sha256(self.read(path)).digest()).decode()
            self.assertEqual(files[path], "sha256-" + digest, path)
        self.assertIn("const BUILD = '%s';" % build, self.read("sw.js").decode())

    def test_the_page_gets_the_build_and_the_program_sizes(self):
        build = stamp.stamp(self.folder)
        page = self.read("index.html").decode("utf-8")
        self.assertIn('content="js=2 wasm=5 data=4"', page)
        self.assertIn('name="vextral-build" content="%s"' % build, page)
        self.assertNotIn("@VEXTRAL", page)

    def test_any_changed_file_makes_another_build_and_a_second_stamp_the_same(self):
        first = stamp.stamp(self.folder)
        self.assertEqual(stamp.stamp(self.folder), first)
        self.write("music/p_track.ogg", b"another track")
        second = stamp.stamp(self.folder)
        self.assertNotEqual(second, first)
        self.write("wasm/game/vextral.js", b"not served")
        self.assertEqual(stamp.stamp(self.folder), second)


if __name__ == "__main__":
    unittest.main()
