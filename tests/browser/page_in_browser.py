#!/usr/bin/env python3
"""The result page in a real browser.

Quillet writes the page of a sample result twice, once with redbit.png beside it and once
without; headless Chromium takes a screenshot of each. With the image, every gaussian's chart
must show its bars in the image's red, one bar per non-zero power value, each as tall as the
page asks (larger power, taller bar) and all standing on one base line. Without it, no bar is
drawn, yet the tables are there in the DOM and on the screen as in the page with the image.

Exits 77 (ctest's SKIP_RETURN_CODE) with the reason printed when no Chromium can run here.
The screenshots stay in the work directory to be looked at.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys

# The helpers are imported from the tree, which a test leaves as it was: no bytecode there.
sys.dont_write_bytecode = True
from headless import (SKIP, browser_command, check, dump_dom, near, pixels_where,
                      read_png, run_check, runs, usable_chromium)
from headless import render as render_page

WIDTH, HEIGHT = 1000, 1400
TABLE_BACKGROUND = (0x30, 0x30, 0x30)
HEADING_BACKGROUND = (0x30, 0x30, 0x80)


# --- the page ----------------------------------------------------------------------------

def input_heights(result):
    """The bar heights the result's gaussians ask for: each power value (0 to 255, two hex
    digits of a pot= field) over 4, one list of 64 per gaussian, in file order."""
    with open(result, encoding="latin-1") as f:
        curves = re.findall(r"^gaussian:.* pot=([0-9A-Fa-f]{128})\s*$", f.read(), re.M)
    return [[int(c[i:i + 2], 16) // 4 for i in range(0, 128, 2)] for c in curves]


def render(command, page_path, screenshot):
    return render_page(command, page_path, screenshot, WIDTH, HEIGHT)


# --- the checks --------------------------------------------------------------------------

def check_bars(image, expected, red):
    """The red pixels form one band per chart; in each, one bar per non-zero power value, as
    tall as that value asks. The page lists the gaussians strongest first, so each band is
    matched to the one curve of the input that it draws."""
    red_pixels = pixels_where(image, near(red, 40))
    check(red_pixels, "no red pixel anywhere: the bars are not drawn")
    bands = runs({y for _, y in red_pixels})
    # Bars of one chart stand on one base line, so each chart is one band of rows; a gap of
    # rows without red lies between two charts (the gaussian's data row).
    check(len(bands) == len(expected),
          f"{len(bands)} bands of red rows, but the result has {len(expected)} gaussians")
    unmatched = [[h for h in heights if h > 0] for heights in expected]
    for number, (top, bottom) in enumerate(bands, 1):
        in_band = {(x, y) for x, y in red_pixels if top <= y <= bottom}
        measured, bases = [], set()
        for first, last in runs({x for x, _ in in_band}):
            ys = [y for x, y in in_band if first <= x <= last]
            measured.append(max(ys) - min(ys) + 1)
            bases.add(max(ys))
            check(last - first + 1 == 4, f"chart {number}: a bar {last - first + 1} px wide")
        check(len(bases) == 1, f"chart {number}: bars stand on {len(bases)} base lines")
        match = [wanted for wanted in unmatched if len(wanted) == len(measured) and
                 all(abs(got - want) <= 1 for got, want in zip(measured, wanted))]
        check(match, f"chart {number}: bars of {measured} px match no gaussian's power "
                     f"values over 4")
        unmatched.remove(match[0])
        # Larger power, taller bar: of any two bars whose values differ clearly, the one of
        # the larger value is drawn taller.
        wanted = match[0]
        for i, j in ((i, j) for i in range(len(wanted)) for j in range(len(wanted))):
            check(wanted[i] < wanted[j] + 3 or measured[i] > measured[j],
                  f"chart {number}: bar {i + 1} ({wanted[i]}) is drawn no taller than "
                  f"bar {j + 1} ({wanted[j]})")


def table_box(image):
    box = pixels_where(image, near(TABLE_BACKGROUND, 2))
    check(len(box) > 10000, "the table's background is not on the screen")
    xs, ys = [x for x, _ in box], [y for _, y in box]
    return min(xs), min(ys), max(xs), max(ys)


def check_tables(image, page, dom, red, box_with_image):
    check(not pixels_where(image, near(red, 40)),
          "red bars are drawn although redbit.png is not beside the page")
    # The page's table as the browser parsed it: every row and heading row is there.
    rows_in_page = page.count("<TR")
    rows_in_dom = len(re.findall(r"<tr[ >]", dom))
    check(rows_in_dom == rows_in_page,
          f"the browser's DOM has {rows_in_dom} table rows, the page {rows_in_page}")
    # On the screen: the heading rows in their own colour, and the table where it is with
    # the image (the IMG sizes hold the cells open).
    headings = runs({y for _, y in pixels_where(image, near(HEADING_BACKGROUND, 2))})
    wanted = page.count('<TR BGCOLOR="#303080">')
    check(len(headings) == wanted,
          f"{len(headings)} heading rows on the screen, the page has {wanted}")
    box = table_box(image)
    check(all(abs(a - b) <= 8 for a, b in zip(box, box_with_image)),
          f"the table lies at {box} without the image but at {box_with_image} with it")
    text = pixels_where(image, lambda r, g, b: min(r, g, b) > 200)
    check(any(box[0] <= x <= box[2] and box[1] <= y <= box[3] for x, y in text),
          "no text inside the table")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--quillet", required=True)
    parser.add_argument("--result", required=True)
    parser.add_argument("--image", required=True)
    parser.add_argument("--work", required=True)
    args = parser.parse_args()

    chromium, reason = usable_chromium()
    if not chromium:
        print(f"SKIPPED: {reason}")
        return SKIP

    work = os.path.abspath(args.work)
    shutil.rmtree(work, ignore_errors=True)
    pages = {}
    for case in ("with-image", "without-image"):
        folder = os.path.join(work, case)
        os.makedirs(folder)
        env = dict(os.environ, TZ="UTC")
        done = subprocess.run([os.path.abspath(args.quillet), os.path.abspath(args.result),
                               "page.html"], cwd=folder, env=env, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE)
        check(done.stdout + done.stderr == b"",
              f"Quillet said: {(done.stdout + done.stderr).decode(errors='replace')}")
        pages[case] = os.path.join(folder, "page.html")
    shutil.copyfile(args.image, os.path.join(work, "with-image", "redbit.png"))
    with open(pages["with-image"], encoding="latin-1") as f:
        page = f.read()
    expected = input_heights(args.result)
    check(expected, f"{args.result} has no gaussian with 64 power values to draw")
    red = read_png(args.image)[2][0][0:3]

    command = browser_command(chromium, os.path.join(work, "profile"), WIDTH, HEIGHT)
    with_image = render(command, pages["with-image"], os.path.join(work, "with-image.png"))
    check_bars(with_image, expected, tuple(red))
    without = render(command, pages["without-image"], os.path.join(work, "without-image.png"))
    check_tables(without, page, dump_dom(command, pages["without-image"]), tuple(red),
                 table_box(with_image))
    print(f"{len(expected)} charts drawn as the page asks; screenshots in {work}")
    return 0


if __name__ == "__main__":
    run_check(main)
