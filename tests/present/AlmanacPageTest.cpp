// The almanac page of stores made in memory: what its charts and tables add up to, values the
// charts leave out, the switch to a grid for many units, and the escaping of record texts.
// (A whole page, byte for byte, is the golden page of the Almanac runs.)
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <regex>
#include <string>
#include <vector>

#include "present/AlmanacPage.h"
#include "present/AlmanacStats.h"
#include "present/HtmlText.h"
#include "store/WorkUnitList.h"
#include "support/TempDir.h"

using namespace almanac;

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double Inf = std::numeric_limits<double>::infinity();

// A finished unit that arrived at the UTC moment given, zone offset 0, at a usable place with
// a usable CPU time.
WorkUnit unit(const std::string& name, int year, int month, int day, int hour = 12) {
    WorkUnit w;
    w.name = name;
    w.TimeStamp.setUtc(year, month, day, hour, 0, 0);
    w.TimeStamp.zoneOffset = 0;
    w.prog = 1;
    w.cpu = 3600;
    w.start_ra = 5;
    w.start_dec = 10;
    w.receiver = "ao1420";
    w.tape_version = "4.11";
    return w;
}

// The svg element of a chart, from its start tag to its end.
std::string chart(const std::string& page, const std::string& id) {
    const std::size_t start = page.find("<svg class=\"chart\" id=\"" + id + "\"");
    const std::size_t end = page.find("</svg>", start);
    EXPECT_NE(start, std::string::npos) << id;
    return start == std::string::npos ? std::string() : page.substr(start, end - start);
}

// The numbers of one attribute across a text, in order.
std::vector<double> attributes(const std::string& text, const std::string& name) {
    std::vector<double> values;
    const std::regex pattern(" " + name + "=\"([-0-9.]+)\"");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), pattern);
         it != std::sregex_iterator(); ++it)
        values.push_back(std::stod((*it)[1]));
    return values;
}

double sum(const std::vector<double>& values) {
    double total = 0;
    for (double v : values) total += v;
    return total;
}

std::size_t count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// Every chart holds as many marks as its data-marks says.
void expectMarksCounted(const std::string& page) {
    for (const char* id :
         {"finished-per-month", "cpu-hours-per-month", "cpu-vs-arrival", "sky-map"}) {
        SCOPED_TRACE(id);
        const std::string svg = chart(page, id);
        const std::vector<double> declared = attributes(svg, "data-marks");
        ASSERT_EQ(declared.size(), 1u);
        EXPECT_EQ(static_cast<double>(count(svg, "class=\"mark")), declared[0]);
    }
}

// A store of `n` units over several years, some not finished, some without a usable arrival
// or place, spikes and gaussians of many strengths with ties among them.
WorkUnitList history(int n) {
    WorkUnitList store;
    for (int i = 0; i < n; ++i) {
        WorkUnit w = unit("u" + std::to_string(100000 + i), 2000 + i % 6, 1 + i * 7 % 12,
                          1 + i % 28, i % 24);
        w.prog = i % 9 == 0 ? 0.5 : 1.0;
        w.cpu = 1800.0 + (i * 37 % 500) * 60.0;
        w.start_ra = (i * 13 % 240) / 10.0;
        w.start_dec = -20.0 + (i * 7 % 60);
        w.bs_power = (i * 17 % 50) * 1.5;  // ties every 50 units
        if (i % 3 == 0) {
            w.bg_score = (i * 11 % 40) / 8.0 + 0.125;
            w.bg_chisq = 1.0;
        }
        if (i % 31 == 0) w.TimeStamp.clear();
        if (i % 37 == 0) w.start_ra = 24.5;
        if (i % 41 == 0) w.cpu = NaN;
        w.receiver = i % 5 == 0 ? "gbt" : "ao1420";
        store.add(w);
    }
    return store;
}

}  // namespace

// The properties of the page of a history small enough for points and one large enough for
// the grid: the months add up to the finished units with a usable arrival, the sky cells to
// the units with a usable place, the CPU-time marks to the finished units it plots, and each
// chart counts its marks.
TEST(AlmanacPage, ChartsAddUpToTheUnitsTheyShow) {
    for (int n : {300, 6000}) {
        SCOPED_TRACE(n);
        const WorkUnitList store = history(n);
        std::uint64_t finishedDated = 0, placed = 0, plotted = 0;
        for (const WorkUnit& w : store) {
            LocalSeconds local = 0;
            const bool dated = usableArrival(w.TimeStamp, local);
            if (w.prog >= 1 && dated) ++finishedDated;
            if (w.prog >= 1 && dated && usableCpu(w.cpu)) ++plotted;
            if (usableSky(w.start_ra, w.start_dec)) ++placed;
        }
        const std::string page = almanacPageBytes(store, AlmanacInput{});
        expectMarksCounted(page);
        EXPECT_EQ(sum(attributes(chart(page, "finished-per-month"), "data-value")),
                  static_cast<double>(finishedDated));
        EXPECT_EQ(sum(attributes(chart(page, "sky-map"), "data-units")),
                  static_cast<double>(placed));
        EXPECT_NE(page.find("<p id=\"sky-count\">" + std::to_string(placed) + " units</p>"),
                  std::string::npos);
        const std::string cpu = chart(page, "cpu-vs-arrival");
        EXPECT_EQ(sum(attributes(cpu, "data-units")), static_cast<double>(plotted));
        const AlmanacStats stats = gatherStats(store);
        EXPECT_EQ(stats.cpuGrid, plotted > MostPoints);
        EXPECT_LE(stats.cpuMarks.size(),
                  stats.cpuGrid ? std::size_t{GridColumns} * GridRows : MostPoints);
        EXPECT_EQ(stats.cpuPlotted + stats.cpuLeftOut, stats.finished);
    }
}

// Each month from the first to the last finished unit's is a bar, the months without units
// too (height 0); the unfinished unit and the unit of 1998 are not counted.
TEST(AlmanacPage, EveryMonthOfTheSpanIsABar) {
    WorkUnitList store;
    store.add(unit("a", 2001, 11, 5));
    store.add(unit("b", 2002, 2, 27));
    store.add(unit("c", 2002, 2, 3));
    WorkUnit open = unit("d", 2002, 6, 1);
    open.prog = 0.25;
    store.add(open);
    store.add(unit("e", 1998, 6, 1));
    const std::string svg = chart(almanacPageBytes(store, AlmanacInput{}), "finished-per-month");
    const std::regex bar("data-month=\"([0-9-]+)\" data-value=\"([0-9]+)\"");
    std::vector<std::string> months;
    for (auto it = std::sregex_iterator(svg.begin(), svg.end(), bar); it != std::sregex_iterator();
         ++it)
        months.push_back((*it)[1].str() + "=" + (*it)[2].str());
    EXPECT_EQ(months,
              (std::vector<std::string>{"2001-11=1", "2001-12=0", "2002-01=0", "2002-02=2"}));
    EXPECT_EQ(count(svg, "height=\"0.0\""), 2u);
}

// A month is the local one: a unit just before midnight UTC at a month's end arrives in the
// next month east of Greenwich.
TEST(AlmanacPage, MonthsAndDatesAreLocal) {
    WorkUnitList store;
    WorkUnit w = unit("late", 2003, 3, 31, 23);
    w.TimeStamp.zoneOffset = 3600;
    store.add(w);
    const std::string page = almanacPageBytes(store, AlmanacInput{});
    EXPECT_NE(page.find("data-month=\"2003-04\""), std::string::npos);
    EXPECT_NE(page.find("<td>2003/04/01 00:00:00</td>"), std::string::npos);
}

// A value a chart cannot place keeps its unit out of that chart alone: counted in the summary,
// told in the section's left-out line.
TEST(AlmanacPage, UnusableValuesAreCountedButLeftOut) {
    struct Case {
        const char* what;
        void (*spoil)(WorkUnit&);
        bool months, cpu, sky;  // the charts the unit is left out of
    };
    const Case cases[] = {
        {"unset arrival", [](WorkUnit& w) { w.TimeStamp.clear(); }, true, true, false},
        {"arrival in 1998", [](WorkUnit& w) { w.TimeStamp.setUtc(1998, 12, 31, 12, 0, 0); }, true,
         true, false},
        {"NaN CPU time", [](WorkUnit& w) { w.cpu = NaN; }, false, true, false},
        {"negative CPU time", [](WorkUnit& w) { w.cpu = -1; }, false, true, false},
        {"infinite CPU time", [](WorkUnit& w) { w.cpu = Inf; }, false, true, false},
        {"RA 24", [](WorkUnit& w) { w.start_ra = 24; }, false, false, true},
        {"RA below 0", [](WorkUnit& w) { w.start_ra = -0.5; }, false, false, true},
        {"Dec above 90", [](WorkUnit& w) { w.start_dec = 90.5; }, false, false, true},
        {"NaN Dec", [](WorkUnit& w) { w.start_dec = NaN; }, false, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WorkUnitList store;
        store.add(unit("good", 2004, 5, 1));
        WorkUnit bad = unit("bad", 2004, 5, 2);
        c.spoil(bad);
        store.add(bad);
        const AlmanacStats s = gatherStats(store);
        EXPECT_EQ(s.units, 2u);
        EXPECT_EQ(s.finished, 2u);
        EXPECT_EQ(s.monthsLeftOut, c.months ? 1u : 0u);
        EXPECT_EQ(s.cpuLeftOut, c.cpu ? 1u : 0u);
        EXPECT_EQ(s.skyLeftOut, c.sky ? 1u : 0u);
        EXPECT_EQ(s.skyUnits, c.sky ? 1u : 2u);
        EXPECT_TRUE(std::isfinite(s.cpuSeconds));
        const std::string page = almanacPageBytes(store, AlmanacInput{});
        // The month section tells of both its charts: a unit without a CPU time is not in the
        // CPU hours.
        EXPECT_EQ(count(page, "<p id=\"left-out\""),
                  static_cast<std::size_t>((c.months || c.cpu) + c.cpu + c.sky));
        expectMarksCounted(page);
    }
}

// The best tables: at most 20 rows, the highest value first, equal values by name; units
// without a spike or a gaussian, or with a value that is no number, are not ranked.
TEST(AlmanacPage, BestSignalsInOrder) {
    const WorkUnitList store = history(500);
    const AlmanacStats s = gatherStats(store);
    for (const auto* rows : {&s.bestSpikes, &s.bestGaussians}) {
        ASSERT_EQ(rows->size(), BestCount);
        for (std::size_t i = 1; i < rows->size(); ++i) {
            const Best& a = (*rows)[i - 1];
            const Best& b = (*rows)[i];
            EXPECT_TRUE(a.value > b.value ||
                        (a.value == b.value && store[a.record].name < store[b.record].name));
        }
    }
    // Nothing outside the table beats its last row.
    double lastSpike = s.bestSpikes.back().value;
    std::size_t better = 0;
    for (const WorkUnit& w : store) better += w.bs_power > lastSpike;
    EXPECT_LT(better, BestCount);

    WorkUnitList odd;
    WorkUnit none = unit("none", 2004, 1, 1);
    WorkUnit nan = unit("nan", 2004, 1, 1);
    nan.bs_power = NaN;
    nan.bg_score = NaN;
    nan.bg_chisq = 1;
    odd.add(none);
    odd.add(nan);
    const AlmanacStats o = gatherStats(odd);
    EXPECT_TRUE(o.bestSpikes.empty());
    EXPECT_TRUE(o.bestGaussians.empty());
}

// A name links to its result page only when the page is there; the link and the text are
// escaped. Receivers and tapes are counted, the most units first.
TEST(AlmanacPage, LinksAndTextsAreEscaped) {
    WorkUnitList store;
    WorkUnit hostile = unit("a<b>&\"c' d#%.1", 2004, 1, 1);
    hostile.bs_power = 5;
    hostile.receiver = "<script>";
    store.add(hostile);
    WorkUnit plain = unit("plain.2", 2004, 1, 2);
    plain.bs_power = 4;
    store.add(plain);
    AlmanacInput input;
    input.hasResultPage = [](const std::string& name) { return name != "plain.2"; };
    const std::string page = almanacPageBytes(store, input);
    EXPECT_NE(page.find("<a href=\"a%3Cb%3E%26%22c%27%20d%23%25.1.html\">"
                        "a&lt;b&gt;&amp;&quot;c&#39; d#%.1</a>"),
              std::string::npos);
    EXPECT_NE(page.find("<td>plain.2</td>"), std::string::npos);
    EXPECT_EQ(page.find("<script"), std::string::npos);
    EXPECT_NE(page.find("<tr><td>ao1420</td><td class=\"n\">1</td></tr>"), std::string::npos);
}

TEST(HtmlText, EscapesMarkupAndBytesThatAreNoText) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain 1.2", "plain 1.2"},
        {"<&>\"'", "&lt;&amp;&gt;&quot;&#39;"},
        {std::string("a\0b\x1b\x7f", 5), "a&#xFFFD;b&#xFFFD;&#xFFFD;"},
        {"tab\there", "tab\there"},
        {"\xc3\xa9t\xc3\xa9", "\xc3\xa9t\xc3\xa9"},  // UTF-8 kept
        {"\xe2\x82\xac", "\xe2\x82\xac"},
        {"\xff\xc3", "&#xFFFD;&#xFFFD;"},                          // no UTF-8, cut sequence
        {"\xc0\xaf", "&#xFFFD;&#xFFFD;"},                          // overlong
        {"\xed\xa0\x80", "&#xFFFD;&#xFFFD;&#xFFFD;"},              // surrogate
        {"\xf4\x90\x80\x80", "&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;"},  // past U+10FFFF
    };
    for (const auto& [text, escaped] : cases) {
        std::string out;
        appendHtmlText(out, text);
        EXPECT_EQ(out, escaped);
    }
}

TEST(HtmlText, UrlNamesKeepOnlyUnreservedBytes) {
    const std::pair<std::string, std::string> cases[] = {
        {"03ja00ab.1-2_3~", "03ja00ab.1-2_3~"},
        {"a b/c\\d?e#f&g", "a%20b%2Fc%5Cd%3Fe%23f%26g"},
        {"%\xc3\xa9", "%25%C3%A9"},
    };
    for (const auto& [name, url] : cases) {
        std::string out;
        appendUrlName(out, name);
        EXPECT_EQ(out, url);
    }
}

// The page of a large history stays small: a grid and binned cells, not a mark per unit.
TEST(AlmanacPage, LargeHistoryStaysSmall) {
    const std::string page = almanacPageBytes(history(40000), AlmanacInput{});
    EXPECT_LT(page.size(), 700u * 1024);
    expectMarksCounted(page);
}

// A page that cannot be written leaves what was there.
TEST(AlmanacPage, FailedWriteKeepsTheOldPage) {
    testsupport::TempDir dir;
    WorkUnitList store;
    store.add(unit("one", 2004, 1, 1));
    EXPECT_FALSE(writeAlmanacPage(store, AlmanacInput{}, dir.file("missing/page.html")));
    dir.write("page.html", "old");
    ASSERT_TRUE(writeAlmanacPage(store, AlmanacInput{}, dir.file("page.html")));
    EXPECT_EQ(dir.read("page.html"), almanacPageBytes(store, AlmanacInput{}));
}

// A sky cell holds the units of its quarter hour and three degrees; its score is the mean of
// the best gaussians of those that have one, and units without one only count.
TEST(AlmanacPage, SkyCellsCountTheirUnitsAndMeanTheirScores) {
    WorkUnitList store;
    const double scores[] = {1.0, 3.0, 0.0};
    for (int i = 0; i < 3; ++i) {
        WorkUnit w = unit("s" + std::to_string(i), 2004, 1, 1);
        w.start_ra = 6.01 + 0.05 * i;  // one cell: 6 h to 6 h 15 min
        w.start_dec = 0.5 + i;         // 0 to 3 degrees
        w.bg_score = scores[i];
        w.bg_chisq = scores[i] != 0 ? 1.0 : 0.0;
        store.add(w);
    }
    WorkUnit far = unit("far", 2004, 1, 1);
    far.start_ra = 0.0;
    far.start_dec = -90.0;
    store.add(far);
    const AlmanacStats s = gatherStats(store);
    ASSERT_EQ(s.skyCells.size(), 2u);
    EXPECT_EQ(s.skyCells[0].column, 0);
    EXPECT_EQ(s.skyCells[0].row, 0);
    EXPECT_EQ(s.skyCells[0].scored, 0u);
    EXPECT_EQ(s.skyCells[1].column, 24);
    EXPECT_EQ(s.skyCells[1].row, 30);
    EXPECT_EQ(s.skyCells[1].units, 3u);
    EXPECT_EQ(s.skyCells[1].scored, 2u);
    EXPECT_EQ(s.skyCells[1].meanScore, 2.0);
    EXPECT_EQ(s.skyBestScore, 2.0);
}
