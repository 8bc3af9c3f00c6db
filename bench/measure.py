#!/usr/bin/env python3
"""Runs one command and reports its wall time and peak memory:
   measure.py REPORT COMMAND [ARG...]

Writes "WALL_SECONDS PEAK_RSS_KIB EXIT_STATUS" to REPORT. The command's own output goes
to this program's standard output and error.
"""
import resource
import subprocess
import sys
import time


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    report, command = sys.argv[1], sys.argv[2:]
    start = time.perf_counter()
    status = subprocess.call(command)
    wall = time.perf_counter() - start
    # The largest resident set of any waited-for child; this process waits for one only.
    peak_kib = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
    with open(report, "w") as out:
        out.write(f"{wall:.4f} {peak_kib} {status}\n")


if __name__ == "__main__":
    main()
