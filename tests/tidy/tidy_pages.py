#!/usr/bin/env python3
"""The Almanac page passes Debian's tidy (`tidy -e -q`) without an error, and without a
warning but the known ones below: the page of the bundled examples as examples/demo.sh makes
it, and the page of a history whose names, receivers and tape versions are full of markup and
odd bytes.

Exits 77 (ctest's SKIP_RETURN_CODE) with the reason printed when tidy is missing.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys

# The helpers are imported from the tree, which a test leaves as it was: no bytecode there.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "browser"))
from headless import SKIP, check, run_check  # noqa: E402
from history import history, hostile_units, write_wuinfo  # noqa: E402


# Warnings that say nothing against the page:
KNOWN = [
    # tidy reads an SVG <title> as HTML's, which takes no id; in SVG the id is what the
    # chart's aria-labelledby names.
    re.compile(r'Warning: <title> proprietary attribute "id"$'),
]


def tidy_says(tidy, page):
    done = subprocess.run([tidy, "-e", "-q", page], stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE)
    said = (done.stdout + done.stderr).decode(errors="replace").strip().splitlines()
    # tidy's status: 0 all well, 1 warnings, 2 errors.
    check(done.returncode in (0, 1), f"tidy -e -q {page} (status {done.returncode}):\n" +
          "\n".join(said))
    unknown = [line for line in said if not any(k.search(line) for k in KNOWN)]
    check(not unknown, f"tidy -e -q {page} warns:\n" + "\n".join(unknown))
    return len(said)


def demo_page(source, bin_dir, work):
    out = os.path.join(work, "demo")
    done = subprocess.run(["bash", os.path.join(source, "examples", "demo.sh")],
                          env=dict(os.environ, SETI_BIN_DIR=bin_dir, SETI_DEMO_DIR=out,
                                   TZ="UTC"),
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    check(done.returncode == 0, f"examples/demo.sh failed:\n{done.stdout.decode(errors='replace')}")
    page = os.path.join(out, "archive", "Almanac.html")
    check(os.path.isfile(page), f"the demo made no {page}")
    return page


def hostile_page(source, bin_dir, work):
    folder = os.path.join(work, "hostile")
    os.makedirs(folder)
    write_wuinfo(history() + hostile_units(), os.path.join(source, "examples", "WUInfo.csv"),
                 os.path.join(folder, "WUInfo.csv"))
    done = subprocess.run([os.path.join(bin_dir, "Almanac")], cwd=folder,
                          env=dict(os.environ, TZ="UTC"), stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT)
    check(done.returncode == 0,
          f"Almanac failed (status {done.returncode}): {done.stdout.decode(errors='replace')}")
    page = os.path.join(folder, "Almanac.html")
    check(os.path.isfile(page), f"Almanac wrote no {page}")
    return page


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--source", required=True, help="the top of the tree")
    parser.add_argument("--bin", required=True, help="the folder of the built programs")
    parser.add_argument("--work", required=True)
    args = parser.parse_args()
    tidy = shutil.which("tidy")
    if not tidy:
        print("SKIPPED: no tidy on PATH (install the Debian package tidy)")
        return SKIP
    work = os.path.abspath(args.work)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    bin_dir = os.path.abspath(args.bin)
    pages = [demo_page(args.source, bin_dir, work), hostile_page(args.source, bin_dir, work)]
    known = [tidy_says(tidy, page) for page in pages]
    print(f"tidy -e -q: no error, and no warning but {sum(known)} known ones, in "
          f"{', '.join(pages)}")
    return 0


if __name__ == "__main__":
    run_check(main)
