"""tools/controls.py: the copies of the controls agree with docs/controls.txt, and the tool
notices a copy that says otherwise without touching anything outside the copies."""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tools"))

import controls  # noqa: E402

FILES = [controls.SOURCE] + [name for name, _, _ in controls.COPIES]


class ControlsTest(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="controls-test-")
        for name in FILES:
            os.makedirs(os.path.join(self.root, os.path.dirname(name)), exist_ok=True)
            shutil.copy(os.path.join(ROOT, name), os.path.join(self.root, name))

    def tearDown(self):
        shutil.rmtree(self.root)

    def path(self, name):
        return os.path.join(self.root, name)

    def replace(self, name, old, new):
        with open(self.path(name), encoding="utf-8") as f:
            text = f.read()
        self.assertIn(old, text)
        with open(self.path(name), "w", encoding="utf-8") as f:
            f.write(text.replace(old, new, 1))

    def read(self, name, root=None):
        with open(os.path.join(root or self.root, name), encoding="utf-8") as f:
            return f.read()

    def test_every_copy_in_the_repository_agrees_with_the_list(self):
        result = subprocess.run([sys.executable, os.path.join(ROOT, "tools", "controls.py"), "--check"],
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        self.assertEqual(result.returncode, 0, result.stdout)

    def test_a_copy_changed_by_hand_is_named_and_written_back(self):
        self.replace("packaging/vextral.6", ".B Left Control\nfire", ".B Right Control\nfire")
        self.replace("packaging/windows/README.txt", "Up            thrust", "Down          thrust")
        problems = controls.run(self.root, write=False)[0]
        self.assertEqual(len(problems), 2, problems)
        self.assertIn("packaging/vextral.6", problems[0])
        self.assertIn("Right Control", problems[0])
        self.assertIn("README.txt", problems[1])
        controls.run(self.root, write=True)
        self.assertEqual(controls.run(self.root, write=False)[0], [])
        for name in FILES:
            self.assertEqual(self.read(name), self.read(name, ROOT), name)

    def test_a_new_control_reaches_only_the_places_named(self):
        with open(self.path(controls.SOURCE), "a", encoding="utf-8") as f:
            f.write("F1 [man web] = show <help> & more - now\n")
        self.assertEqual(len(controls.run(self.root, write=True)[0]), 0)
        self.assertIn(".B F1\nshow <help> & more \\- now\n.SH STEREO MODES", self.read("packaging/vextral.6"))
        self.assertIn("<tr><th>F1</th><td>show &lt;help&gt; &amp; more - now</td></tr>",
                      self.read("tools/web/index.html"))
        self.assertNotIn("F1", self.read("README.md"))
        self.assertNotIn("F1", self.read("packaging/windows/README.txt"))

    def test_a_copy_without_its_place_or_a_bad_line_is_reported(self):
        self.replace("README.md", "<!-- controls: end -->", "")
        problems = controls.run(self.root, write=True)[0]
        self.assertEqual(problems, ["README.md: no place for the controls found"])
        with open(self.path(controls.SOURCE), "a", encoding="utf-8") as f:
            f.write("F2 does something\n")
        with self.assertRaises(controls.ControlsError):
            controls.run(self.root, write=False)[0]


if __name__ == "__main__":
    unittest.main()
