"""Two halls on one PostgreSQL database under many clients: 1,000 distinct games sent by 50
clients at once, spread over both halls, one hall killed with -9 halfway and started again;
then every game a hall took must end judged exactly once, none lost. Prints the counts and
how long the whole took, and writes them as JSON.

    shared_database.py --build BUILD-DIR --output FILE.json [--games N] [--clients N]

The private PostgreSQL server, the halls and the concurrent clients are the server tests'
own (tests/hall/hall_server_test.py).
"""

import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tests", "hall"))
import hall_server_test as halls  # noqa: E402


def finished_games(sim, folder, count):
    """count distinct finished games: each seed's best within a short run (a seed whose
    first game outlasts the run has none)."""
    games = []
    seed = 0
    while len(games) < count:
        seed += 1
        data = os.path.join(folder, "sim-%d" % seed)
        os.makedirs(data)
        subprocess.run([sim, "--seed", str(seed), "--random-input", "--frames", "4000",
                        "--data", data], check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        best = os.path.join(data, "best.replay")
        if os.path.exists(best):
            with open(best, "rb") as f:
                recording = f.read()
            if halls.field(recording, halls.ENDING) == 0:
                games.append(recording)
        shutil.rmtree(data)
    return games


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--output", required=True)
    parser.add_argument("--games", type=int, default=1000)
    parser.add_argument("--clients", type=int, default=50)
    parser.add_argument("--postgres-bin", default="/usr/lib/postgresql/15/bin")
    args = parser.parse_args()
    halls.HALL = os.path.join(args.build, "hall", "vextral-hall")
    halls.SIM = os.path.join(args.build, "tools", "sim", "vextral-sim")
    halls.ENGINE = "postgres"
    halls.POSTGRES_BIN = args.postgres_bin
    halls.DEADLINE = 600

    root = tempfile.mkdtemp(prefix="vextral-hall-shared-")
    os.chmod(root, 0o755)
    postgres = halls.Postgres(args.postgres_bin)
    halls.POSTGRES = postgres
    started = []
    try:
        print("bench: the simulator plays %d games" % args.games, file=sys.stderr)
        games = finished_games(halls.SIM, root, args.games)
        postgres.start()
        first = halls.Hall(root, "first", "--workers", "2", "--submissions-per-minute", "100000",
                           database="shared").start()
        second = halls.Hall(root, "second", "--workers", "2", "--submissions-per-minute",
                            "100000", database="shared").start()
        started += [first, second]
        print("bench: %d clients send %d games to two halls; one is killed halfway"
              % (args.clients, len(games)), file=sys.stderr)
        accepted = {}
        begin = time.monotonic()
        sender = threading.Thread(target=lambda: failures.extend(
            halls.submit_concurrently([first, second], games, accepted, args.clients)))
        failures = []
        sender.start()
        halls.wait_until("half the games to be sent", lambda: len(accepted) >= len(games) // 2)
        first.kill9()
        killed_at = len(accepted)
        sender.join()
        sent_seconds = time.monotonic() - begin
        # The killed hall comes back, as a service manager would start it again.
        restarted = halls.Hall(root, "first", "--workers", "2", "--submissions-per-minute",
                               "100000", database="shared").start()
        started.append(restarted)

        def all_judged():
            status, table = second.json("GET", "/health")
            return status == 200 and table["queue"] == 0
        halls.wait_until("every game to be judged", all_judged, deadline=1800)
        judged_seconds = time.monotonic() - begin
        outcomes = {"verified": 0, "refused": 0, "other": 0}
        for game_id in accepted:
            _, game = second.json("GET", "/api/games/%d" % game_id)
            outcomes[game["status"] if game["status"] in outcomes else "other"] += 1
        judgements = sum(hall.judged() for hall in (second, restarted))
        results = {"games": len(games), "clients": args.clients, "accepted": len(accepted),
                   "send_failures": len(failures), "killed_after": killed_at,
                   "verified": outcomes["verified"], "refused": outcomes["refused"],
                   "not_judged": outcomes["other"], "sent_seconds": round(sent_seconds, 1),
                   "all_judged_seconds": round(judged_seconds, 1),
                   "judgements_by_survivors": judgements}
    finally:
        for hall in started:
            hall.stop()
        postgres.stop()
        shutil.rmtree(root, ignore_errors=True)

    os.makedirs(os.path.dirname(args.output), exist_ok=True)
    with open(args.output, "w") as f:
        json.dump(results, f, indent=2)
    lost = results["games"] - results["accepted"] + results["not_judged"]
    print("two halls, one PostgreSQL: %d games from %d clients, hall killed after %d: "
          "%d accepted, %d verified, %d refused, %d lost, %d send failures; "
          "sent in %.0f s, all judged in %.0f s" % (
              results["games"], results["clients"], killed_at, results["accepted"],
              results["verified"], results["refused"], lost, results["send_failures"],
              results["sent_seconds"], results["all_judged_seconds"]))
    return 0 if lost == 0 and not failures else 1


if __name__ == "__main__":
    sys.exit(main())
