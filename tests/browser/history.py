"""A history of work units for the tests of the Almanac page, written as a WUInfo.csv, and
what its charts must show, worked out from the units alone: finished and unfinished units over
seventeen months with two months empty, a unit with unset dates, one dated before 1999, units
with coordinates off the sky, and names and receivers full of markup."""
import calendar
import collections
import datetime

from headless import check

HOSTILE = "<b>bold</b>&amp;<svg class=mark></svg><img src='http://127.0.0.1:9/x.png'>" \
          "<script>document.title='x'</script>"
# The one unit whose result page lies beside the Almanac page.
WITH_PAGE = "02ja04aa.1000.2000.300000.1"


def julian(when):
    """The Julian Date of a UTC datetime, or 0 for none (a date never set)."""
    if when is None:
        return 0.0
    return calendar.timegm(when.timetuple()) / 86400.0 + 2440587.5


class Unit:
    def __init__(self, name, arrival, prog, cpu, ra, dec, bs_power, bg_score,
                 receiver="ao1420", tape="4.11"):
        self.name, self.arrival, self.prog, self.cpu = name, arrival, prog, cpu
        self.ra, self.dec, self.bs_power, self.bg_score = ra, dec, bs_power, bg_score
        self.receiver, self.tape = receiver, tape


def history():
    """The units the test writes, each with what it is for."""
    units = []
    number = 0

    def add(arrival, prog, name=None, **fields):
        nonlocal number
        number += 1
        values = dict(cpu=10000.0 + 137.25 * (number % 50), ra=(number * 0.37) % 24,
                      dec=(number * 7.3) % 170 - 85, bs_power=10 + (number * 0.61) % 13,
                      bg_score=(number * 0.29) % 4)
        values.update(fields)
        name = name or f"{number % 28 + 1:02d}ja04ab.{number}.{3000 + number}.4000.{number}"
        units.append(Unit(name, arrival, prog, **values))

    # Finished units from November 2003 to March 2005, none in June and September 2004;
    # each month's count and its units' CPU times differ.
    month = datetime.datetime(2003, 11, 1)
    index = 0
    while month <= datetime.datetime(2005, 3, 1):
        if (month.year, month.month) not in ((2004, 6), (2004, 9)):
            for k in range(1 + (index * 7) % 9):
                add(month.replace(day=3 + (k * 5) % 23, hour=12, minute=k), 1.0,
                    cpu=3600.0 * (2 + (index + k) % 11) + 60.0 * k)
        index += 1
        month = (month + datetime.timedelta(days=32)).replace(day=1)
    # Units still in progress, also before the first and after the last finished one: the
    # month charts run from finished unit to finished unit.
    for when in (datetime.datetime(2003, 8, 14, 12), datetime.datetime(2004, 6, 10, 12),
                 datetime.datetime(2004, 12, 20, 12), datetime.datetime(2005, 6, 15, 12)):
        add(when, 0.42, cpu=5000.0)
    # A finished unit with unset dates, and one dated before 1999: both counted, both
    # kept out of the charts by date, both with coordinates.
    add(None, 1.0, cpu=7000.0)
    add(datetime.datetime(1998, 5, 1, 12), 1.0, cpu=7100.0)
    # Finished units off the sky: kept out of the map, not out of the months.
    add(datetime.datetime(2004, 7, 8, 12), 1.0, ra=25.5)
    add(datetime.datetime(2004, 7, 9, 12), 1.0, ra=-1.0)
    add(datetime.datetime(2004, 8, 8, 12), 1.0, dec=-95.0)
    # The strongest spike and the best gaussian under a name full of markup.
    add(datetime.datetime(2004, 10, 5, 12), 1.0, name=HOSTILE, bs_power=99.0, bg_score=9.5,
        receiver="<i>rx</i>", tape="4&11")
    # A strong unit whose result page lies beside the Almanac page.
    add(datetime.datetime(2004, 2, 2, 12), 1.0, name=WITH_PAGE, bs_power=98.0, bg_score=9.0)
    return units


def write_wuinfo(units, template, path):
    """WUInfo.csv of the units: the header and the first row of the bundled sample as the
    template, the test's fields put in by their titles."""
    with open(template, encoding="latin-1") as f:
        header, row = f.readline().rstrip("\r\n"), f.readline().rstrip("\r\n")
    titles = [t.strip('"') for t in header.split(",")]
    column = {t: i for i, t in enumerate(titles)}
    cells = row.split(",")
    check(len(cells) == len(titles), f"{template}: its first row is not one cell per title")
    with open(path, "w", encoding="latin-1", newline="\r\n") as f:
        f.write(header + "\n")
        for u in units:
            jd = julian(u.arrival)
            values = {"Update": f"{jd + 0.5 if jd else 0.0:.6f}", "TimeStamp": f"{jd:.6f}",
                      "name": f'"{u.name}"', "start_ra": f"{u.ra:.6f}",
                      "start_dec": f"{u.dec:.6f}", "end_ra": f"{u.ra:.6f}",
                      "end_dec": f"{u.dec:.6f}", "cpu": f"{u.cpu:.6f}",
                      "prog": f"{u.prog:.6f}", "bs_power": f"{u.bs_power:.6f}",
                      "bg_score": f"{u.bg_score:.6f}", "receiver": f'"{u.receiver}"',
                      "tape_version": f'"{u.tape}"'}
            out = list(cells)
            for title, value in values.items():
                out[column[title]] = value
            f.write(",".join(out) + "\n")


def dated(u):
    return u.arrival is not None and u.arrival.year >= 1999


def on_sky(u):
    return 0 <= u.ra < 24 and -90 <= u.dec <= 90


def expected_charts(units):
    """What each chart must show, worked out from the history alone."""
    finished = [u for u in units if u.prog == 1.0]
    plotted = [u for u in finished if dated(u)]
    first = min(u.arrival for u in plotted)
    last = max(u.arrival for u in plotted)
    months = []
    year, month = first.year, first.month
    while (year, month) <= (last.year, last.month):
        months.append(f"{year:04d}-{month:02d}")
        year, month = (year, month + 1) if month < 12 else (year + 1, 1)
    per_month = collections.Counter(u.arrival.strftime("%Y-%m") for u in plotted)
    hours = collections.defaultdict(float)
    for u in plotted:
        hours[u.arrival.strftime("%Y-%m")] += u.cpu / 3600.0
    return {
        "months": months,
        "finished-per-month": {m: per_month.get(m, 0) for m in months},
        "cpu-hours-per-month": {m: hours.get(m, 0.0) for m in months},
        "cpu-vs-arrival": len(plotted),
        "sky-map": sum(1 for u in units if on_sky(u)),
    }


def hostile_units():
    """Further units whose names, receivers and tape versions hold what markup must escape
    or may choke on: comment and CDATA openers, bare ampersands and angle brackets, a byte
    that is no UTF-8, a control byte."""
    names = ["a&b<c>d'e", "<!-- x --><![CDATA[y]]>", "&#0;&nbsp;&bogus;", "caf\xe9.1.2.3",
             "bell\x07.1", "</td></tr></table></section>", "x' onmouseover='y"]
    return [Unit(name, datetime.datetime(2004, 3, 1 + i, 12), 1.0, cpu=4000.0 + i,
                 ra=1.0 + i, dec=10.0 - i, bs_power=90.0 - i, bg_score=8.0 - i / 10,
                 receiver=name, tape=name)
            for i, name in enumerate(names)]
