#!/usr/bin/env python3
"""Runs one command and reports its wall time and peak memory:
   measure.py REPORT COMMAND [ARG...]

Writes "WALL_SECONDS PEAK_RSS_KIB EXIT_STATUS CPU_SECONDS" to REPORT, the CPU time being user
plus system time of the command and its children. The command's own output goes
to this program's standard output and error.

The peak memory comes from GNU time (/usr/bin/time) when it is installed. Otherwise it is
the child's maximum resident set as getrusage reports it, which starts from this Python
process's own size (about 14 MiB) because the child counts the memory it had before exec.
"""
import os
import resource
import subprocess
import sys
import tempfile
import time

GNU_TIME = "/usr/bin/time"


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    report, command = sys.argv[1], sys.argv[2:]
    use_gnu_time = os.access(GNU_TIME, os.X_OK)
    if use_gnu_time:
        fd, rss_file = tempfile.mkstemp(prefix="measure-")
        os.close(fd)
        command = [GNU_TIME, "-q", "-f", "%M", "-o", rss_file] + command
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    status = subprocess.call(command)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    if use_gnu_time:
        with open(rss_file) as f:
            lines = f.read().split()
        os.unlink(rss_file)
        peak_kib = int(lines[-1]) if lines else 0
    else:
        peak_kib = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
    with open(report, "w") as out:
        out.write(f"{wall:.4f} {peak_kib} {status} {cpu:.4f}\n")


if __name__ == "__main__":
    main()
