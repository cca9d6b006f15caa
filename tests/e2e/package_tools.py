"""The checkers every Debian package of ours passes: lintian, and tools whose status counts."""

import subprocess

from vextral_player import check


def run_tool(command, what):
    """Runs a checker; fails with its output unless it exits 0."""
    result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    check(result.returncode == 0, "%s failed (status %d):\n%s%s"
          % (what, result.returncode, result.stdout, result.stderr))
    return result


def check_lintian(deb):
    """Lintian finds no error and no warning; it only warns that root should not run it."""
    lintian = subprocess.run(["lintian", "--tag-display-limit", "0", deb],
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    faults = [line for line in lintian.stdout.splitlines() if line[:2] in ("E:", "W:")]
    check(lintian.returncode == 0 and not faults,
          "lintian finds errors or warnings in %s (status %d):\n%s"
          % (deb, lintian.returncode, lintian.stdout))
