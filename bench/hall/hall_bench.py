"""The hall of fame's figures, on this machine, with SQLite:

- verification: CPU seconds (user + system, the verifier's child included) of
  `vextral-hall --verify` over the seconds of play its recordings hold, on games the
  simulator played with random input;
- the table: requests a second and latency percentiles of GET /api/table from kept-alive
  readers (bench/hall/hall_load.cpp) while a submitter posts fresh games to the same server
  and its workers verify them.

    hall_bench.py --build BUILD-DIR --output FILE.json [--quick]
"""

import argparse
import json
import os
import pwd
import re
import resource
import shutil
import subprocess
import sys
import tempfile
import time
import urllib.request

FRAMES_PER_SECOND = 60


def play_games(sim, folder, seeds, frames):
    """Each seed's best game in folder/games (its last is cut off by the frame count)."""
    games = os.path.join(folder, "games")
    os.makedirs(games)
    for seed in seeds:
        data = os.path.join(folder, "sim-%d" % seed)
        os.makedirs(data)
        subprocess.run([sim, "--seed", str(seed), "--random-input", "--frames", str(frames),
                        "--data", data], check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        shutil.copy(os.path.join(data, "best.replay"), os.path.join(games, "%05d.replay" % seed))
    return games


def verification_cost(hall, sim_data, games):
    """CPU seconds of verification and seconds of play, summed over every game. A game still
    running when its seed's frames ran out is refused as not finished and left out."""
    cpu = play = 0.0
    for name in sorted(os.listdir(games)):
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        result = subprocess.run([hall, "--verify", os.path.join(games, name), "--sim-data", sim_data],
                                stdout=subprocess.PIPE, text=True)
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        words = result.stdout.split()
        if words[:2] == ["refused", "not_finished"]:
            os.remove(os.path.join(games, name))
            continue
        if result.returncode != 0 or words[:1] != ["verified"]:
            sys.exit("bench: %s was not verified: %s" % (name, result.stdout.strip()))
        cpu += (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
        play += int(words[3]) / FRAMES_PER_SECOND
    return cpu, play


def serve(hall, folder):
    """Starts vextral-hall on a free port of 127.0.0.1; returns (process, port)."""
    data = os.path.join(folder, "hall")
    os.makedirs(data)
    options = []
    if os.geteuid() == 0:  # root is refused: the hall serves as nobody, in a folder of its own
        os.chmod(folder, 0o755)
        os.chown(data, pwd.getpwnam("nobody").pw_uid, -1)
        options = ["--user", "nobody"]
    log = open(os.path.join(folder, "hall.log"), "w+")
    process = subprocess.Popen([hall, "--data", data, "--port", "0", "--workers", "1",
                                "--submissions-per-minute", "100000", *options],
                               stdout=log, stderr=subprocess.STDOUT)
    deadline = time.monotonic() + 60
    while time.monotonic() < deadline:
        log.seek(0)
        found = re.search(r"serving http://127\.0\.0\.1:(\d+)/", log.read())
        if found:
            return process, int(found.group(1))
        if process.poll() is not None:
            break
        time.sleep(0.05)
    process.kill()
    log.seek(0)
    sys.exit("bench: vextral-hall did not start:\n" + log.read())


def metric(port, name):
    with urllib.request.urlopen("http://127.0.0.1:%d/metrics" % port, timeout=10) as response:
        for line in response.read().decode().splitlines():
            if line.startswith(name + " "):
                return float(line.split()[1])
    return 0.0


def fill_table(port, games):
    """Sends the games and waits until they are judged, so the table has rows."""
    for name in sorted(os.listdir(games)):
        with open(os.path.join(games, name), "rb") as f:
            request = urllib.request.Request("http://127.0.0.1:%d/api/games?name=first" % port,
                                             data=f.read(), method="POST",
                                             headers={"Content-Type": "application/octet-stream"})
        urllib.request.urlopen(request, timeout=30).close()
    deadline = time.monotonic() + 300
    while metric(port, "vextral_hall_queue_length") > 0:
        if time.monotonic() > deadline:
            sys.exit("bench: the first games were not verified in 5 minutes")
        time.sleep(0.1)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--output", required=True)
    parser.add_argument("--quick", action="store_true")
    args = parser.parse_args()
    hall = os.path.join(args.build, "hall", "vextral-hall")
    sim = os.path.join(args.build, "tools", "sim", "vextral-sim")
    load = os.path.join(args.build, "bench", "hall", "hall_load")
    seeds = range(1, 13 if args.quick else 61)
    seconds = 5 if args.quick else 20

    folder = tempfile.mkdtemp(prefix="vextral-hall-bench-")
    try:
        print("bench: the simulator plays %d seeds" % len(seeds), file=sys.stderr)
        games = play_games(sim, folder, seeds, 30000)
        print("bench: verifying %d games one by one" % len(os.listdir(games)), file=sys.stderr)
        cpu, play = verification_cost(hall, os.path.dirname(sim) + "/data", games)
        # Ten games to fill the table before each load; the others are sent during it.
        first = os.path.join(folder, "first")
        os.makedirs(first)
        for name in sorted(os.listdir(games))[:10]:
            os.rename(os.path.join(games, name), os.path.join(first, name))

        results = {"games": len(os.listdir(games)) + len(os.listdir(first)), "verify_cpu_seconds": round(cpu, 3),
                   "play_seconds": round(play, 1),
                   "verify_cpu_per_play_percent": round(100 * cpu / play, 3)}
        for readers in (4, 16):
            process, port = serve(hall, folder)
            try:
                fill_table(port, first)
                verified_before = metric(port, "vextral_hall_games_verified_total")
                print("bench: %d readers ask for the table for %d s while games are sent"
                      % (readers, seconds), file=sys.stderr)
                run = subprocess.run([load, "--port", str(port), "--seconds", str(seconds),
                                      "--readers", str(readers), "--submit", games,
                                      "--submit-every-ms", "200"],
                                     stdout=subprocess.PIPE, text=True, check=True)
                figures = json.loads(run.stdout)
                figures["verified_during_load"] = (
                    metric(port, "vextral_hall_games_verified_total") - verified_before)
                results["table_%d_readers" % readers] = figures
            finally:
                process.terminate()
                process.wait(timeout=60)
            shutil.rmtree(os.path.join(folder, "hall"))
    finally:
        shutil.rmtree(folder, ignore_errors=True)

    os.makedirs(os.path.dirname(args.output), exist_ok=True)
    with open(args.output, "w") as f:
        json.dump(results, f, indent=2)
    per_ten_minutes = 600 * results["verify_cpu_seconds"] / results["play_seconds"]
    rows = [("verification, CPU over play", "%.3f %%" % results["verify_cpu_per_play_percent"],
             "<= 2 %", results["verify_cpu_per_play_percent"] <= 2),
            ("verification of 10 minutes of play", "%.2f CPU s" % per_ten_minutes, "<= 12 s",
             per_ten_minutes <= 12)]
    for readers in (4, 16):
        figures = results["table_%d_readers" % readers]
        rows.append(("table, %d readers, during submissions" % readers,
                     "%.0f req/s, p99 %.2f ms" % (figures["table_per_second"], figures["table_p99_ms"]),
                     ">= 2000 req/s, p99 <= 20 ms",
                     figures["table_per_second"] >= 2000 and figures["table_p99_ms"] <= 20))
    for case, value, goal, met in rows:
        print("%-42s %-28s %-28s %s" % (case, value, goal, "met" if met else "MISSED"))
    print("(%d games, %.0f s of play; during the load %s)" % (
        results["games"], results["play_seconds"],
        ", ".join("%d readers: %d sent, %d verified" % (r, results["table_%d_readers" % r]["submitted"],
                                                        results["table_%d_readers" % r]["verified_during_load"])
                  for r in (4, 16))))


if __name__ == "__main__":
    main()
