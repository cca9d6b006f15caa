"""The hall of fame server's Debian package: it passes lintian, systemd accepts its unit, and
the server it holds, started as the unit starts it, answers on 127.0.0.1."""

import json
import os
import re
import select
import shlex
import shutil
import signal
import subprocess
import tempfile
import urllib.request

from package_tools import check_lintian, run_tool
from vextral_player import check

UNIT = "lib/systemd/system/vextral-hall.service"
EXECUTABLE = "/usr/bin/vextral-hall"
DATA = "/var/lib/vextral-hall"
DEADLINE = 120  # seconds: for the server to start or stop, never a measure of its speed
NOBODY = 65534
# systemd-analyze security's exposure, in tenths (the unit scores about 15 of 100). Leaving
# out the system call filter, the empty capability set or the Protect* settings goes above.
MOST_EXPOSURE = 20


def read_unit(path):
    """{section: {key: [values]}} of a unit file."""
    sections, section = {}, None
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.strip()
            if not line or line[0] in "#;":
                continue
            if line.startswith("["):
                section = sections.setdefault(line.strip("[]"), {})
                continue
            key, _, value = line.partition("=")
            section.setdefault(key.strip(), []).append(value.strip())
    return sections


def read_environment_file(path):
    """The variables of an EnvironmentFile (KEY=VALUE lines, shell quoting)."""
    variables = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            for word in shlex.split(line, comments=True):
                key, equals, value = word.partition("=")
                check(equals and re.fullmatch(r"[A-Za-z_][A-Za-z0-9_]*", key),
                      "%s: not an assignment: %r" % (path, line))
                variables[key] = value
    return variables


def expand_command(line, variables):
    """An ExecStart line's words as systemd makes them: $NAME alone is split on white
    space, ${NAME} stays one word."""
    words = []
    for word in shlex.split(line):
        alone = re.fullmatch(r"\$([A-Za-z_][A-Za-z0-9_]*)", word)
        if alone:
            words += variables.get(alone.group(1), "").split()
        else:
            words.append(re.sub(r"\$\{([A-Za-z_][A-Za-z0-9_]*)\}",
                                lambda m: variables.get(m.group(1), ""), word))
    return words


def check_unit(root):
    """The unit runs the packaged server as a user of its own with its data in DATA, and
    systemd accepts it and rates it well hardened. Returns the server's command line."""
    unit_path = os.path.join(root, UNIT)
    # The unit's paths are looked up inside root; its manual page is checked apart.
    analyze = ["--root=" + root, "--man=no"]
    result = run_tool(["systemd-analyze", "verify", *analyze, "--recursive-errors=no",
                       "/" + UNIT], "systemd-analyze verify")
    check(result.stderr == "", "systemd-analyze verify objects:\n" + result.stderr)
    run_tool(["systemd-analyze", "security", "--offline=true", *analyze,
              "--threshold=%d" % MOST_EXPOSURE, "/" + UNIT],
             "systemd-analyze security (exposure above %.1f)" % (MOST_EXPOSURE / 10))

    service = read_unit(unit_path).get("Service", {})
    check(service.get("DynamicUser") == ["yes"]
          or service.get("User", ["root"])[-1] not in ("root", "0", "nobody"),
          "the unit should run the server as a user of its own")
    check(service.get("StateDirectory") == ["vextral-hall"],
          "systemd should make the data folder %s" % DATA)
    check(service.get("Restart", [""])[-1] in ("on-failure", "on-abnormal", "always"),
          "the unit should restart the server when it fails")

    environment_files = [name.lstrip("-") for name in service.get("EnvironmentFile", [])]
    check(environment_files == ["/etc/default/vextral-hall"],
          "the unit should read its options from /etc/default/vextral-hall, reads %r"
          % environment_files)
    variables = read_environment_file(os.path.join(root, environment_files[0].lstrip("/")))
    check(len(service.get("ExecStart", [])) == 1, "the unit should have one ExecStart")
    command = expand_command(service["ExecStart"][0], variables)
    check(command[0] == EXECUTABLE, "ExecStart should run %s, runs %s" % (EXECUTABLE, command[0]))
    check(os.access(os.path.join(root, EXECUTABLE.lstrip("/")), os.X_OK),
          "the package should hold the program the unit runs, %s" % EXECUTABLE)
    check("--user" not in command, "a server without privileges cannot change user")
    check("--data" in command and command[command.index("--data") + 1] == DATA,
          "the unit should keep the games in %s: %r" % (DATA, command))
    return command


def serve_health(root, command, folder):
    """Starts the packaged server with the unit's command line, its data folder and port
    changed to a fresh folder and a free port; it must say it serves 127.0.0.1, answer
    /health, and stop at SIGTERM with status 0. Run as nobody when the test runs as root."""
    data = os.path.join(folder, "hall-data")
    os.makedirs(data)
    arguments = list(command)
    arguments[0] = os.path.join(root, EXECUTABLE.lstrip("/"))
    arguments[arguments.index("--data") + 1] = data
    arguments += ["--port", "0"]
    prefix = []
    if os.geteuid() == 0:
        os.chmod(folder, 0o755)
        os.chown(data, NOBODY, NOBODY)
        prefix = ["setpriv", "--reuid=%d" % NOBODY, "--regid=%d" % NOBODY, "--clear-groups"]
    log_path = os.path.join(folder, "hall.log")
    with open(log_path, "wb") as log:
        server = subprocess.Popen(prefix + arguments, stdout=subprocess.PIPE, stderr=log,
                                  cwd=folder)

    def log_text():
        with open(log_path, encoding="utf-8", errors="replace") as f:
            return f.read()

    try:
        ready, _, _ = select.select([server.stdout], [], [], DEADLINE)
        line = server.stdout.readline().decode() if ready else ""
        match = re.search(r"serving (http://([^:/]+):\d+/)", line)
        check(match, "the packaged server did not start: %r\n%s" % (line, log_text()))
        check(match.group(2) == "127.0.0.1",
              "the package's server should listen on 127.0.0.1 by default, said %r" % line)
        with urllib.request.urlopen(match.group(1) + "health", timeout=DEADLINE) as answer:
            health = json.loads(answer.read())
        check(answer.status == 200 and health.get("status") == "ok",
              "/health answered %d %r" % (answer.status, health))
        server.send_signal(signal.SIGTERM)
        check(server.wait(timeout=DEADLINE) == 0,
              "the server should stop at SIGTERM with status 0\n" + log_text())
        check(os.path.isfile(os.path.join(data, "hall.sqlite")),
              "the server kept no hall.sqlite in its data folder")
    finally:
        if server.poll() is None:
            server.kill()
            server.wait()
        server.stdout.close()


def check_hall_package(deb, folder):
    """lintian, the files Debian wants, the unit, then the server run as the unit runs it."""
    check_lintian(deb)
    run_tool(["apt-get", "install", "--simulate", deb], "apt-get install --simulate")
    root = tempfile.mkdtemp(prefix="vextral-hall-package-")
    try:
        os.chmod(root, 0o755)
        subprocess.run(["dpkg-deb", "-x", deb, root], check=True)
        for path in ("usr/share/doc/vextral-hall/copyright",
                     "usr/share/doc/vextral-hall/changelog.gz", "etc/default/vextral-hall"):
            check(os.path.isfile(os.path.join(root, path)), "the package lacks /" + path)
        manual = os.path.join(root, "usr/share/man/man1/vextral-hall.1.gz")
        result = run_tool(["man", "--warnings", "-l", manual], "man")
        check(result.stderr == "" and "--max-upload-kib" in result.stdout,
              "the manual page should render without warnings:\n%s" % result.stderr)
        command = check_unit(root)
        run = tempfile.mkdtemp(prefix="vextral-hall-package-run-")
        try:
            serve_health(root, command, run)
        finally:
            if os.path.exists(os.path.join(run, "hall.log")):
                shutil.copy(os.path.join(run, "hall.log"), os.path.join(folder, "hall.log"))
            shutil.rmtree(run, ignore_errors=True)
    finally:
        shutil.rmtree(root, ignore_errors=True)
