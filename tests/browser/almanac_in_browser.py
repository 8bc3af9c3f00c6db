#!/usr/bin/env python3
"""The Almanac page in a real browser.

The test writes a history of its own (WUInfo.csv: finished and unfinished units over
seventeen months with two months empty, a unit with unset dates, one dated before 1999, units
with coordinates off the sky, a hostile name), has Almanac make its page and opens it in
headless Chromium over the DevTools pipe. The page must request nothing but itself; each
chart must hold as many marks as its data-marks says and as many as the test works out from
the history it wrote (a bar per month from the first to the last finished unit's month, the
units of the points and the sky cells adding up to the units that can be drawn); the bars
must be as tall as their values ask; the hostile name must show as text and inject nothing;
the page must fit a phone's width and an A4 sheet's in print; and neither the page nor any chart may be one colour.

With --shoot PAGE PNG it only takes a screenshot of the whole of PAGE, 1000 pixels wide (the
README's picture of the demo's page: docs/make-screenshot.sh).

Exits 77 (ctest's SKIP_RETURN_CODE) with the reason printed when no Chromium can run here.
The page and its screenshot stay in the work directory to be looked at.
"""
import argparse
import json
import os
import shutil
import subprocess
import sys

# The helpers are imported from the tree, which a test leaves as it was: no bytecode there.
sys.dont_write_bytecode = True
from headless import (SKIP, DevTools, browser_command, check, colours, run_check,
                      usable_chromium)
from history import HOSTILE, WITH_PAGE, expected_charts, history, write_wuinfo

WIDTH, HEIGHT = 1000, 1400
PHONE_WIDTH = 390
# An A4 sheet's width at the browser's 96 pixels an inch; Letter is wider.
A4_WIDTH = 794
CHARTS = ("finished-per-month", "cpu-hours-per-month", "cpu-vs-arrival", "sky-map")


# --- the page in the browser -------------------------------------------------------------

# Everything the checks read from the page, gathered in the page by one expression.
MEASURE = """(() => {
  const box = e => { const r = e.getBoundingClientRect();
                     return {x: r.x, y: r.y, width: r.width, height: r.height}; };
  const charts = {};
  for (const svg of document.querySelectorAll('svg.chart')) {
    charts[svg.id] = {
      dataMarks: svg.getAttribute('data-marks'),
      box: box(svg),
      marks: Array.from(svg.querySelectorAll('.mark'), m => ({
        month: m.getAttribute('data-month'), value: m.getAttribute('data-value'),
        units: m.getAttribute('data-units'), box: box(m)}))};
  }
  const text = id => { const e = document.getElementById(id);
                       return e ? e.textContent : null; };
  return {
    sections: Array.from(document.querySelectorAll('section[id]'), s => s.id),
    charts,
    allMarks: document.querySelectorAll('.mark').length,
    injected: document.querySelectorAll('script, img, iframe, object, embed, link, b, i, ' +
                                        'foreignObject').length,
    title: document.title,
    skyCount: text('sky-count'),
    cells: Array.from(document.querySelectorAll('td, th'), c => c.textContent),
    spikeRows: document.querySelectorAll('#best-spikes tbody tr').length,
    gaussianRows: document.querySelectorAll('#best-gaussians tbody tr').length,
    links: Array.from(document.querySelectorAll('a[href]'), a => a.getAttribute('href')),
    pageWidth: document.documentElement.scrollWidth,
    pageHeight: document.documentElement.scrollHeight,
  };
})()"""


def check_requests(browser, page_url):
    requested = browser.requested()
    others = [url for url in requested if url != page_url]
    check(requested and not others,
          f"the page requested more than itself: {others or 'nothing at all'}")


def check_marks(seen, expected):
    check(seen["sections"][:6] == ["summary", "months", "cpu-time", "sky", "best",
                                   "receivers"],
          f"sections {seen['sections']}, not summary, months, cpu-time, sky, best, receivers")
    charts = seen["charts"]
    check(sorted(charts) == sorted(CHARTS), f"charts {sorted(charts)}, not {sorted(CHARTS)}")
    for name in CHARTS:
        marks = charts[name]["marks"]
        check(charts[name]["dataMarks"] == str(len(marks)),
              f"{name}: data-marks={charts[name]['dataMarks']} but {len(marks)} marks")
    check(seen["allMarks"] == sum(len(charts[n]["marks"]) for n in CHARTS),
          f"{seen['allMarks']} marks in the page, more than its charts hold")

    months = expected["months"]
    for name in ("finished-per-month", "cpu-hours-per-month"):
        marks = charts[name]["marks"]
        got = [m["month"] for m in marks]
        check(got == months, f"{name}: bars for {got}, not one per month {months}")
        for mark in marks:
            want = expected[name][mark["month"]]
            value = float(mark["value"])
            check(abs(value - want) <= 0.05 + 1e-3 * want,
                  f"{name}: {mark['month']} has data-value {mark['value']}, not {want:.2f}")
        check_bar_heights(name, marks)

    for name in ("cpu-vs-arrival", "sky-map"):
        marks = charts[name]["marks"]
        units = sum(int(m["units"]) if m["units"] is not None else 1 for m in marks)
        check(units == expected[name],
              f"{name}: the marks stand for {units} units, the history has {expected[name]}")
        check(all(m["units"] is None or int(m["units"]) > 0 for m in marks),
              f"{name}: a mark stands for no unit")
        check_inside(name, charts[name])
    sky = expected["sky-map"]
    check(seen["skyCount"] is not None and f"{sky} units" in " ".join(seen["skyCount"].split()),
          f"the sky section says {seen['skyCount']!r}, not {sky} units")


def check_bar_heights(name, marks):
    """Empty months take their place with no height; a larger value is a taller bar, and
    every bar stands on one base line."""
    values = [float(m["value"]) for m in marks]
    heights = [m["box"]["height"] for m in marks]
    for value, height, mark in zip(values, heights, marks):
        check((value == 0) == (height < 0.5),
              f"{name}: {mark['month']} of value {value} is {height:.1f} px tall")
    top = max(values)
    for value, height, mark in zip(values, heights, marks):
        want = heights[values.index(top)] * value / top
        check(abs(height - want) <= 1.5 + 0.02 * want,
              f"{name}: {mark['month']} is {height:.1f} px tall, {want:.1f} px for {value}")
    bases = {round(m["box"]["y"] + m["box"]["height"]) for m in marks if m["box"]["height"] > 0}
    check(len(bases) == 1, f"{name}: the bars stand on {len(bases)} base lines")
    xs = [m["box"]["x"] for m in marks]
    check(xs == sorted(xs) and len(set(xs)) == len(xs), f"{name}: the months are not in a row")


def check_inside(name, chart):
    box = chart["box"]
    for mark in chart["marks"]:
        b = mark["box"]
        check(box["x"] - 1 <= b["x"] and b["x"] + b["width"] <= box["x"] + box["width"] + 1 and
              box["y"] - 1 <= b["y"] and b["y"] + b["height"] <= box["y"] + box["height"] + 1,
              f"{name}: a mark at {b} lies outside its chart at {box}")


def check_text(seen):
    check(seen["injected"] == 0 and seen["title"] != "x",
          f"markup of a name or receiver made {seen['injected']} elements")
    for text in (HOSTILE, "<i>rx</i>", "4&11"):
        check(any(text == " ".join(c.split()) for c in seen["cells"]),
              f"no table cell reads {text!r}")
    check(0 < seen["spikeRows"] <= 20 and 0 < seen["gaussianRows"] <= 20,
          f"{seen['spikeRows']} best spikes and {seen['gaussianRows']} best gaussians")
    for href in seen["links"]:
        check(href.startswith("#") or href == WITH_PAGE + ".html",
              f"a link to {href!r}: the only result page beside the page is {WITH_PAGE}.html")
    check(WITH_PAGE + ".html" in seen["links"], f"no link to {WITH_PAGE}.html beside the page")


def check_not_blank(browser, seen, work):
    image, data = browser.screenshot()
    with open(os.path.join(work, "almanac.png"), "wb") as f:
        f.write(data)
    check(len(colours(image)) > 1, "the screenshot is one colour")
    for name, chart in seen["charts"].items():
        b = chart["box"]
        clip = {"x": b["x"], "y": b["y"], "width": max(b["width"], 1),
                "height": max(b["height"], 1)}
        shot, data = browser.screenshot(clip)
        with open(os.path.join(work, f"{name}.png"), "wb") as f:
            f.write(data)
        check(len(colours(shot)) > 1, f"the chart {name} is one colour on the screen")


def run_almanac(almanac, folder):
    done = subprocess.run([os.path.abspath(almanac)], cwd=folder, env=dict(os.environ, TZ="UTC"),
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    said = (done.stdout + done.stderr).decode(errors="replace")
    check(done.returncode == 0, f"Almanac failed (status {done.returncode}): {said}")
    page = os.path.join(folder, "Almanac.html")
    check(os.path.isfile(page), f"Almanac wrote no {page}: {said}")
    return page


def shoot(chromium, page, png, work):
    os.makedirs(work, exist_ok=True)
    profile = os.path.join(work, "profile-shot")
    shutil.rmtree(profile, ignore_errors=True)
    with DevTools(browser_command(chromium, profile, WIDTH, HEIGHT)) as browser:
        browser.open("file://" + os.path.abspath(page), WIDTH, HEIGHT)
        height = browser.evaluate("document.documentElement.scrollHeight")
        _, data = browser.screenshot({"x": 0, "y": 0, "width": WIDTH, "height": height})
    with open(png, "wb") as f:
        f.write(data)
    print(f"{png}: {WIDTH}x{height}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--almanac")
    parser.add_argument("--template", help="a WUInfo.csv whose header and first row to use")
    parser.add_argument("--work", required=True)
    parser.add_argument("--shoot", nargs=2, metavar=("PAGE", "PNG"))
    args = parser.parse_args()

    chromium, reason = usable_chromium()
    if not chromium:
        print(f"SKIPPED: {reason}")
        return SKIP
    if args.shoot:
        shoot(chromium, args.shoot[0], args.shoot[1], args.work)
        return 0
    check(args.almanac and args.template, "--almanac and --template are needed")

    work = os.path.abspath(args.work)
    shutil.rmtree(work, ignore_errors=True)
    folder = os.path.join(work, "history")
    os.makedirs(folder)
    units = history()
    write_wuinfo(units, args.template, os.path.join(folder, "WUInfo.csv"))
    with open(os.path.join(folder, WITH_PAGE + ".html"), "w") as f:
        f.write("<!DOCTYPE html><title>result page</title>\n")
    page = run_almanac(args.almanac, folder)
    expected = expected_charts(units)

    url = "file://" + page
    with DevTools(browser_command(chromium, os.path.join(work, "profile"), WIDTH,
                                  HEIGHT)) as browser:
        browser.open(url, WIDTH, HEIGHT)
        seen = browser.evaluate(MEASURE)
        with open(os.path.join(work, "measured.json"), "w") as f:
            json.dump(seen, f, indent=1)
        check_requests(browser, url)
        check_marks(seen, expected)
        check_text(seen)
        check_not_blank(browser, seen, work)
        browser.resize(PHONE_WIDTH, 800, mobile=True)
        width = browser.evaluate("document.documentElement.scrollWidth")
        check(width <= PHONE_WIDTH, f"on a phone {PHONE_WIDTH} px wide the page is {width} px")
        browser.resize(A4_WIDTH, 1123)
        browser.call("Emulation.setEmulatedMedia", {"media": "print"})
        width = browser.evaluate("document.documentElement.scrollWidth")
        check(width <= A4_WIDTH, f"printed on A4 ({A4_WIDTH} px wide) the page is {width} px")
        check_requests(browser, url)
    print(f"{len(units)} units; {len(expected['months'])} months, "
          f"{expected['cpu-vs-arrival']} units plotted, {expected['sky-map']} on the sky map, "
          f"as the page's marks say; screenshots in {work}")
    return 0


if __name__ == "__main__":
    run_check(main)
