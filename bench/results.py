#!/usr/bin/env python3
"""Turns bench/run.sh's raw rounds into its table and results.json, and compares runs.

  results.py table ROWS RAW_DIR JSON [--quick]   print the Markdown table, write JSON
  results.py compare OLD.json NEW.json          print each row's change

Every raw file in RAW_DIR is one round: lines of "key value". A row's figure is the
median over the rounds that produced its key, with the smallest and largest beside it,
so one disturbed round cannot flip a verdict. Ratios are taken between the medians.
"""

import json
import pathlib
import statistics
import sys


def read_rounds(raw_dir):
    rounds = []
    for path in sorted(pathlib.Path(raw_dir).glob("round*")):
        values = {}
        for line in path.read_text().splitlines():
            parts = line.split()
            if len(parts) != 2:
                continue
            try:
                values[parts[0]] = float(parts[1])
            except ValueError:
                continue
        rounds.append(values)
    return rounds


def summarise(rounds):
    """key -> (median, min, max) over the rounds that have the key."""
    seen = {}
    for values in rounds:
        for key, value in values.items():
            seen.setdefault(key, []).append(value)
    return {key: (statistics.median(v), min(v), max(v)) for key, v in seen.items()}


def parse_rows(text):
    """Rows: case|ours key|peer key or =constant|unit|goal text|test."""
    rows = []
    for line in text.splitlines():
        if not line.strip():
            continue
        case, ours, peer, unit, goal, test = line.split("|")
        rows.append({"case": case, "ours": ours, "peer": peer, "unit": unit, "goal": goal, "test": test})
    return rows


def verdict(test, ours, ratio):
    """'yes', 'NO', '-' (report only) or 'n/a' (a figure is missing)."""
    if ours is None:
        return "n/a"
    if test == "1":
        return "-"
    compare = {"<=": lambda x, y: x <= y, "<": lambda x, y: x < y, ">=": lambda x, y: x >= y,
               "==": lambda x, y: x == y}
    met = True
    for clause in test.split(" && "):
        side, op, limit = clause.split()
        value = ours if side == "o" else ratio
        if value is None:
            return "n/a"
        met = met and compare[op](value, float(limit))
    return "yes" if met else "NO"


def fmt(value):
    return "n/a" if value is None else f"{value:.4g}"


def fmt_range(summary):
    median, low, high = summary
    if low == high:
        return fmt(median)
    return f"{fmt(median)} ({fmt(low)}-{fmt(high)})"


def spread(name, summary):
    """The median, min and max of one side of a row as JSON fields (null when missing)."""
    median, low, high = summary if summary else (None, None, None)
    return {name: median, f"{name}_min": low, f"{name}_max": high}


def table(rows_file, raw_dir, json_file, quick):
    rounds = read_rounds(raw_dir)
    figures = summarise(rounds)
    print("| Case | Ours (min-max) | Peer (min-max) | Ratio | Goal | Met |")
    print("|---|---:|---:|---:|---|---|")
    cases = []
    for row in parse_rows(pathlib.Path(rows_file).read_text()):
        ours = figures.get(row["ours"])
        constant = row["peer"].startswith("=")
        peer = None if constant else figures.get(row["peer"])
        ratio = ours[0] / peer[0] if ours and peer and peer[0] != 0 else None
        met = verdict(row["test"], ours[0] if ours else None, ratio)
        unit = row["unit"]
        print(f"| {row['case']} | {fmt_range(ours) + ' ' + unit if ours else 'n/a'} | "
              f"{'-' if constant else (fmt_range(peer) + ' ' + unit if peer else 'n/a')} | "
              f"{'-' if ratio is None else f'{ratio:.2f}'} | {row['goal']} | {met} |")
        cases.append({"case": row["case"], "unit": unit, **spread("ours", ours), **spread("peer", peer),
                      "ratio": None if ratio is None else round(ratio, 4), "goal": row["goal"], "met": met})
    result = {"quick": quick, "rounds": len(rounds), "cases": cases,
              "raw": {key: {"median": m, "min": lo, "max": hi} for key, (m, lo, hi) in sorted(figures.items())}}
    pathlib.Path(json_file).write_text(json.dumps(result, indent=2) + "\n")


def compare(old_file, new_file):
    def load(path):
        try:
            return {case["case"]: case for case in json.loads(pathlib.Path(path).read_text())["cases"]}
        except (OSError, ValueError, KeyError, TypeError) as error:
            sys.exit(f"bench: cannot read results from {path}: {error}")

    old, new = load(old_file), load(new_file)
    print("| Case | Before | After | Change | Met before | Met after |")
    print("|---|---:|---:|---:|---|---|")
    for name, case in new.items():
        before = old.get(name, {})
        was, now = before.get("ours"), case.get("ours")
        change = "-"
        if was is not None and now is not None:
            change = "0 %" if was == now else (f"{(now - was) / abs(was) * 100:+.1f} %" if was else "new")
        unit = case.get("unit", "")
        print(f"| {name} | {fmt(was)} {unit} | {fmt(now)} {unit} | {change} | "
              f"{before.get('met', 'n/a')} | {case.get('met', 'n/a')} |")
    for name in old.keys() - new.keys():
        print(f"| {name} | {fmt(old[name].get('ours'))} | gone | - | {old[name].get('met', 'n/a')} | - |")


def main(argv):
    if len(argv) >= 4 and argv[0] == "table":
        table(argv[1], argv[2], argv[3], "--quick" in argv[4:])
    elif len(argv) == 3 and argv[0] == "compare":
        compare(argv[1], argv[2])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv[1:])
