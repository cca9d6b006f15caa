#!/usr/bin/env python3
"""Keeps the game's controls the same everywhere a player reads them. docs/controls.txt
holds the list; each of these files holds a copy made from it:

    packaging/vextral.6           the manual page: its whole CONTROLS section
    tools/web/index.html          the browser page: a table between "controls" comments
    README.md                     a table between "controls" comments
    packaging/windows/README.txt  the lines under its "Controls" heading, up to a blank line

    controls.py [--root DIR] --check   says which copies differ from the list (status 1)
    controls.py [--root DIR] --write   writes the list into every copy

Python 3 standard library only.
"""

import argparse
import difflib
import html
import os
import re
import sys
import textwrap

SOURCE = "docs/controls.txt"
PLACES = ("man", "web", "readme", "windows")
LINE = re.compile(r"^(?P<keys>[^=\[]+?)\s*(?:\[(?P<places>[a-z ]+)\])?\s*=\s*(?P<action>\S.*)$")


class ControlsError(Exception):
    pass


def read_controls(path):
    """The list as (keys, action, places) triples, in order."""
    controls = []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            match = LINE.match(line)
            if not match:
                raise ControlsError("%s:%d: not \"keys = what they do\": %s" % (path, number, line))
            places = match["places"].split() if match["places"] else list(PLACES)
            unknown = [place for place in places if place not in PLACES]
            if unknown:
                raise ControlsError("%s:%d: no such place: %s" % (path, number, " ".join(unknown)))
            controls.append((match["keys"], match["action"], places))
    if not controls:
        raise ControlsError("%s: no controls" % path)
    return controls


def only(controls, place):
    return [(keys, action) for keys, action, places in controls if place in places]


def roff(text):
    return text.replace("\\", "\\e").replace("-", "\\-")


def man_block(controls):
    lines = []
    for keys, action in only(controls, "man"):
        lines += [".TP", ".B " + roff(keys), roff(action)]
    return lines


def web_block(controls):
    lines = ['<table id="how-to-play">']
    for keys, action in only(controls, "web"):
        lines.append("<tr><th>%s</th><td>%s</td></tr>" % (html.escape(keys), html.escape(action)))
    return lines + ["</table>"]


def readme_block(controls):
    lines = ["| Control | What it does |", "|---|---|"]
    for keys, action in only(controls, "readme"):
        lines.append("| %s | %s |" % (keys.replace("|", "\\|"), action.replace("|", "\\|")))
    return lines


def windows_block(controls):
    entries = only(controls, "windows")
    indent = max(len(keys) for keys, _ in entries) + 2
    lines = []
    for keys, action in entries:
        lines += textwrap.wrap(action, width=88, initial_indent=keys.ljust(indent),
                               subsequent_indent=" " * indent)
    return lines


def between_markers(lines, begin, end):
    """The range of lines strictly between the marker lines begin and end."""
    try:
        first = lines.index(begin) + 1
        last = lines.index(end, first)
    except ValueError:
        return None
    return first, last


def man_range(lines):
    """From the line after .SH CONTROLS to the next section heading."""
    if ".SH CONTROLS" not in lines:
        return None
    first = lines.index(".SH CONTROLS") + 1
    last = next((i for i in range(first, len(lines)) if lines[i].startswith(".SH ")), len(lines))
    return first, last


def windows_range(lines):
    """From below the "Controls" heading's underline to the first blank line."""
    for i in range(len(lines) - 1):
        if lines[i] == "Controls" and re.fullmatch(r"-+", lines[i + 1]):
            first = i + 2
            last = next((j for j in range(first, len(lines)) if not lines[j].strip()), len(lines))
            return first, last
    return None


COPIES = (
    ("packaging/vextral.6", man_range, man_block),
    ("tools/web/index.html",
     lambda lines: between_markers(lines, "<!-- controls: begin -->", "<!-- controls: end -->"),
     web_block),
    ("README.md",
     lambda lines: between_markers(lines, "<!-- controls: begin -->", "<!-- controls: end -->"),
     readme_block),
    ("packaging/windows/README.txt", windows_range, windows_block),
)


def run(root, write):
    """Checks (or writes) every copy: the problems found (one line or diff each) and the
    copies written."""
    controls = read_controls(os.path.join(root, SOURCE))
    problems = []
    written = []
    for name, find, make in COPIES:
        path = os.path.join(root, name)
        with open(path, encoding="utf-8", newline="") as f:
            lines = f.read().split("\n")
        place = find(lines)
        if place is None:
            problems.append("%s: no place for the controls found" % name)
            continue
        first, last = place
        wanted = make(controls)
        if lines[first:last] == wanted:
            continue
        if write:
            lines[first:last] = wanted
            with open(path, "w", encoding="utf-8", newline="") as f:
                f.write("\n".join(lines))
            written.append(name)
        else:
            diff = difflib.unified_diff(lines[first:last], wanted, name + " (now)",
                                        name + " (from " + SOURCE + ")", lineterm="")
            problems.append("\n".join(diff))
    return problems, written


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--root", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
    action = parser.add_mutually_exclusive_group(required=True)
    action.add_argument("--check", action="store_true")
    action.add_argument("--write", action="store_true")
    args = parser.parse_args()
    try:
        problems, written = run(args.root, args.write)
    except (ControlsError, OSError) as error:
        print("controls: %s" % error, file=sys.stderr)
        return 2
    for name in written:
        print("controls: wrote %s" % name)
    for problem in problems:
        print(problem, file=sys.stderr)
    if problems and not args.write:
        print("controls: these differ from %s; tools/controls.py --write makes them agree" % SOURCE,
              file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
