#!/usr/bin/env python3
"""Stamps a built page folder with its build: writes FOLDER/index.html and FOLDER/sw.js
from their templates beside this script, once every other file of the page is in FOLDER.

    stamp.py FOLDER

The page's files are the files at the top of FOLDER and those in FOLDER/music (folders
such as deps/ or wasm/ are the build's own). The build's id is a hash of all of them and
of both templates, so any change to what the page serves makes a new id. The page gets the
id and the sizes of vextral.js, vextral.wasm and vextral.data (its loading bar counts
them); the service worker gets the id and every file with the hash of its bytes, in the
form of a fetch's integrity option, index.html included. Prints the id.

Python 3 standard library only.
"""

import base64
import hashlib
import json
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
STAMPED = ("index.html", "sw.js")
SIZED = (("js", "vextral.js"), ("wasm", "vextral.wasm"), ("data", "vextral.data"))


def page_files(folder):
    """The page's files other than the two stamped, as paths relative to folder, sorted."""
    files = []
    for subfolder in ("", "music"):
        place = os.path.join(folder, subfolder)
        if not os.path.isdir(place):
            continue
        for name in os.listdir(place):
            path = os.path.join(subfolder, name) if subfolder else name
            if os.path.isfile(os.path.join(folder, path)) and path not in STAMPED:
                files.append(path.replace(os.sep, "/"))
    return sorted(files)


def integrity(data):
    return "sha256-" + base64.b64encode(hashlib.sha256(data).digest()).decode("ascii")


def read(path):
    with open(path, "rb") as f:
        return f.read()


def stamp(folder):
    files = {path: read(os.path.join(folder, path)) for path in page_files(folder)}
    templates = {name: read(os.path.join(HERE, name)).decode("utf-8") for name in STAMPED}
    for _, name in SIZED:
        if name not in files:
            raise SystemExit("stamp: %s has no %s" % (folder, name))

    build = hashlib.sha256()
    for path, data in files.items():
        build.update(("%s %s\n" % (integrity(data), path)).encode("utf-8"))
    for name in STAMPED:
        build.update(("%s %s\n" % (integrity(templates[name].encode("utf-8")), name)).encode())
    build_id = build.hexdigest()[:16]

    sizes = " ".join("%s=%d" % (key, len(files[name])) for key, name in SIZED)
    page = templates["index.html"].replace("@VEXTRAL_SIZES@", sizes)
    page = page.replace("@VEXTRAL_BUILD@", build_id).encode("utf-8")

    hashes = {path: integrity(data) for path, data in files.items()}
    hashes["index.html"] = integrity(page)
    worker = templates["sw.js"].replace("@VEXTRAL_BUILD@", build_id)
    worker = worker.replace("{/* @VEXTRAL_FILES@ */}", json.dumps(hashes, indent=2, sort_keys=True))

    with open(os.path.join(folder, "index.html"), "wb") as f:
        f.write(page)
    with open(os.path.join(folder, "sw.js"), "w", encoding="utf-8") as f:
        f.write(worker)
    return build_id


def main():
    if len(sys.argv) != 2:
        raise SystemExit("usage: stamp.py FOLDER")
    print(stamp(sys.argv[1]))


if __name__ == "__main__":
    main()
