#!/usr/bin/env python3
"""The README's sqlite3 recipe on the demo's database.

Runs examples/demo.sh into a scratch folder, runs the recipe's block from README.md there as
a user would from the top of the tree, and checks its answer (the work units that arrived in
each month and their CPU hours) against the demo's WUInfo.csv as read here, and against the
output the README shows. Exits with 77, reported by ctest as skipped, where sqlite3 is missing.
"""
import argparse
import collections
import csv
import datetime
import os
import pathlib
import shutil
import subprocess
import sys

BEGIN = "<!-- sqlite3 recipe:"
END = "<!-- end of the sqlite3 recipe -->"


def indented_block(lines, start):
    """The first indented code block at or after lines[start], without its indent."""
    i = start
    while i < len(lines) and not lines[i].startswith("    "):
        i += 1
    block = []
    while i < len(lines) and (lines[i].startswith("    ") or lines[i] == ""):
        block.append(lines[i][4:])
        i += 1
    while block and block[-1] == "":
        block.pop()
    return block


def month_of(julian_date):
    # Julian date 2451545.0 is 2000-01-01 12:00 UTC.
    moment = datetime.datetime(2000, 1, 1, 12) + datetime.timedelta(days=julian_date - 2451545.0)
    return moment.strftime("%Y-%m")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--source", required=True, help="top of the tree")
    parser.add_argument("--bin", required=True, help="folder of the built programs")
    parser.add_argument("--work", required=True, help="scratch folder")
    args = parser.parse_args()

    if shutil.which("sqlite3") is None:
        print("skipped: no sqlite3 on PATH (Debian: apt-get install sqlite3)")
        return 77

    source = pathlib.Path(args.source)
    work = pathlib.Path(args.work).resolve()
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)

    lines = (source / "README.md").read_text().splitlines()
    starts = [i for i, line in enumerate(lines) if line.startswith(BEGIN)]
    ends = [i for i, line in enumerate(lines) if line == END]
    if len(starts) != 1 or len(ends) != 1 or ends[0] < starts[0]:
        print("README.md has no one sqlite3 recipe between its markers")
        return 1
    recipe = "\n".join(indented_block(lines[: ends[0]], starts[0] + 1))
    shown = indented_block(lines, ends[0] + 1)
    if "sqlite3" not in recipe or not shown:
        print(f"README.md's recipe block or its output is missing:\n{recipe}")
        return 1

    env = dict(os.environ, SETI_BIN_DIR=os.path.abspath(args.bin),
               SETI_DEMO_DIR=str(work / "demo"))
    demo = subprocess.run(["bash", str(source / "examples" / "demo.sh")], env=env,
                          capture_output=True, text=True)
    if demo.returncode != 0:
        print(f"examples/demo.sh failed ({demo.returncode}):\n{demo.stdout}{demo.stderr}")
        return 1

    run = subprocess.run(["bash", "-c", recipe], cwd=work, capture_output=True, text=True)
    print(f"$ {recipe}\n{run.stdout}{run.stderr}", end="")
    if run.returncode != 0 or run.stderr:
        print(f"the recipe failed ({run.returncode})")
        return 1
    got = run.stdout.splitlines()

    units = collections.Counter()
    cpu = collections.defaultdict(float)
    with open(work / "demo" / "wuinfo" / "WUInfo.csv", newline="") as table:
        for row in csv.DictReader(table):
            month = month_of(float(row["TimeStamp"]))
            units[month] += 1
            cpu[month] += float(row["cpu"])
    if len(units) < 2:
        print(f"the demo's database spans too few months to test a grouping: {dict(units)}")
        return 1

    failures = []
    if not got or got[0] != "month|units|cpu_hours":
        failures.append(f"header {got[:1]}, not month|units|cpu_hours")
    answer = {}
    for line in got[1:]:
        month, count, hours = line.split("|")
        answer[month] = (int(count), float(hours))
    if sorted(answer) != sorted(units) or list(answer) != sorted(answer):
        failures.append(f"months {list(answer)}, not {sorted(units)} in order")
    for month in sorted(units):
        count, hours = answer.get(month, (None, None))
        if count != units[month]:
            failures.append(f"{month}: {count} units, the file holds {units[month]}")
        if hours is None or abs(hours - cpu[month] / 3600) > 0.05 + 1e-9:
            failures.append(f"{month}: {hours} CPU hours, the file holds {cpu[month] / 3600:.3f}")
    if got != shown:
        failures.append("the README shows another output:\n" + "\n".join(shown))
    for failure in failures:
        print("FAILED: " + failure)
    if failures:
        return 1
    print(f"the recipe counts {sum(units.values())} units over {len(units)} months, as the file")
    return 0


if __name__ == "__main__":
    sys.exit(main())
