#include <gtest/gtest.h>
#include <atomic>
#include <map>
#include <set>
#include <stdexcept>
#include <thread>

#include "app/paths.h"
#include "backtest/backtest.h"
#include "backtest/universe_filter.h"
#include "data/price_schema.h"
#include "history/price_history.h"
#include "sample/sample_market.h"
#include "screening/pattern_catalogue.h"
#include "screening/screening_session.h"
#include "test_support.h"
#include "watchlists/watch_list_store.h"
#include "watchlists/watch_query.h"

using namespace tavrin;
using namespace tavrin::backtest;

namespace {

constexpr std::int64_t _ = 0;  // no close that day

// Five stocks over fourteen dates (2026-01-01 .. 2026-01-14), checked by hand
// for the pattern 保合 (every ratio within 3 points):
//   A  flat 1000, then 1100 and 990          hits on dates 9, 10, 11
//   B  flat 2000, no close on date 2, 1960   hits on 12 and 13
//   C  listed on date 4, flat 500            hits on 13 only
//   D  flat 300 (unit 1000), no close on 11  hits on 9 and 10
//   E  2990 up to date 9, then 3010          hits on 9 .. 13, lot 299,000 then 301,000
struct HandStock {
  const char* code;
  const char* market;
  int unit;
  std::vector<std::int64_t> closes;  // dates 0..13
};
const std::vector<HandStock> kHand = {
    {"1301", "東証プライム", 100, {1000, 1000, 1000, 1000, 1000, 1000, 1000, 1000, 1000, 1000, 1000, 1000, 1100, 990}},
    {"1302", "東証プライム", 100, {2000, 2000, _, 2000, 2000, 2000, 2000, 2000, 2000, 2000, 2000, 2000, 2000, 1960}},
    {"1303", "東証スタンダード", 100, {_, _, _, _, 500, 500, 500, 500, 500, 500, 500, 500, 500, 500}},
    {"1304", "東証プライム", 1000, {300, 300, 300, 300, 300, 300, 300, 300, 300, 300, 300, _, 300, 300}},
    {"1305", "東証プライム", 100, {2990, 2990, 2990, 2990, 2990, 2990, 2990, 2990, 2990, 2990, 3010, 3010, 3010, 3010}},
};

int day0() { return *dayFromCivil(2026, 1, 1); }

std::filesystem::path handDatabase(const test::TempDir& dir) {
  const auto path = dir / "kabuka.mdb";
  createPriceDatabase(path, "day");
  Database db(path);
  Transaction tx(db);
  HistoryWriter history(db);
  for (const HandStock& s : kHand) {
    db.execute("insert into [list] ([銘柄],[コード],[市場],[単位]) values (?,?,?,?)",
               {Value(std::string("株") + s.code), historyCodeValue(s.code), Value(s.market), Value(s.unit)});
    for (size_t d = 0; d < s.closes.size(); ++d)
      if (s.closes[d] != _) history.putClose(historyCodeValue(s.code), day0() + static_cast<int>(d), s.closes[d]);
  }
  history.flush();
  tx.commit();
  return path;
}

std::size_t patternIndex(const char* control) {
  return static_cast<std::size_t>(screening::findPattern(control) - screening::patternCatalogue().data());
}

BacktestRequest flatRequest(int universeIndex, int horizon) {
  BacktestRequest r;
  r.universeIndex = universeIndex;
  r.horizons = {horizon};
  r.patterns = {patternIndex("Command14")};
  return r;
}

// "date:code" of every hit.
std::vector<std::string> hitNames(const HistoryPanel& panel, const PatternResult& r) {
  std::vector<std::string> out;
  for (const Hit& h : r.hits) out.push_back(std::to_string(h.day) + ":" + panel.stocks[h.stock].key);
  return out;
}

const double kE = 100.0 * (3010.0 / 2990.0 - 1.0);  // E's rise on date 10

}  // namespace

TEST(Backtest, ViewRatiosAndForwardReturns) {
  // The view's rounding: whole percent, halves away from zero, exact.
  EXPECT_EQ(viewRatio(1000, 1005), 1.0);   // 0.5 -> 1
  EXPECT_EQ(viewRatio(1000, 995), -1.0);   // -0.5 -> -1
  EXPECT_EQ(viewRatio(1000, 1004), 0.0);   // 0.4 -> 0
  EXPECT_EQ(viewRatio(3010, 2990), -1.0);  // -0.66 -> -1
  EXPECT_EQ(viewRatio(1960, 2000), 2.0);   // 2.04 -> 2
  EXPECT_EQ(viewRatio(3, 4), 33.0);
  EXPECT_FALSE(viewRatio(0, 10));
  EXPECT_FALSE(viewRatio(kNoClose, 10));
  EXPECT_FALSE(viewRatio(10, kNoClose));
  EXPECT_DOUBLE_EQ(*forwardReturn(2000, 1960), -2.0);
  EXPECT_FALSE(forwardReturn(0, 10));
  EXPECT_FALSE(forwardReturn(10, kNoClose));

  const ReturnStats even = returnStats({4, -2, 1, 3});
  EXPECT_EQ(even.events, 4u);
  EXPECT_DOUBLE_EQ(*even.mean, 1.5);
  EXPECT_DOUBLE_EQ(*even.median, 2.0);
  EXPECT_DOUBLE_EQ(*even.win, 75.0);
  const ReturnStats none = returnStats({});
  EXPECT_EQ(none.events, 0u);
  EXPECT_FALSE(none.mean || none.median || none.win);
  EXPECT_EQ(formatNumber(-0.001), "0.00");
  EXPECT_EQ(formatNumber(2.0 / 3), "0.67");
  EXPECT_EQ(formatNumber(std::nullopt), "");
}

TEST(Backtest, HandCheckedHistoryWholeMarket) {
  test::TempDir dir;
  const HistoryPanel panel = loadHistoryPanel(handDatabase(dir));
  ASSERT_EQ(panel.days.size(), 14u);
  EXPECT_EQ(panel.days.front(), day0());
  EXPECT_EQ(panel.unitWord, "day");
  ASSERT_EQ(panel.stocks.size(), 5u);
  EXPECT_EQ(panel.closeAt(2, 3), kNoClose);  // C before its listing
  EXPECT_EQ(panel.findStock("１３０５"), 4u);

  const BacktestResult r = runBacktest(panel, flatRequest(1, 1));
  ASSERT_EQ(r.dates, (std::vector<std::uint32_t>{9, 10, 11, 12, 13}));
  ASSERT_EQ(r.patterns.size(), 1u);
  const PatternResult& flat = r.patterns[0];
  EXPECT_EQ(hitNames(panel, flat),
            (std::vector<std::string>{"9:1301", "9:1304", "9:1305", "10:1301", "10:1304", "10:1305", "11:1301",
                                      "11:1305", "12:1302", "12:1305", "13:1302", "13:1303", "13:1305"}));
  EXPECT_EQ(flat.perDate, (std::vector<std::uint32_t>{3, 3, 2, 2, 3}));

  // h = 1: D on 10 has no close on 11, the hits of 13 none on 14.
  const ReturnStats& s = flat.stats[0];
  EXPECT_EQ(s.events, 9u);
  EXPECT_NEAR(*s.mean, (kE + 10 - 2) / 9, 1e-9);
  EXPECT_DOUBLE_EQ(*s.median, 0.0);
  EXPECT_NEAR(*s.win, 200.0 / 9, 1e-9);
  const std::vector<DateLine> lines = dateLines(panel, r, flat, 1);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0].day, day0() + 9);
  EXPECT_NEAR(*lines[0].mean, kE / 3, 1e-9);
  EXPECT_DOUBLE_EQ(*lines[1].mean, 0.0);
  EXPECT_NEAR(*lines[2].mean, 5.0, 1e-9);
  EXPECT_DOUBLE_EQ(*lines[3].mean, -1.0);
  EXPECT_EQ(lines[4].hits, 3u);
  EXPECT_FALSE(lines[4].mean);

  // Baseline: every stock with a close at d and d+1, dates 9..12.
  EXPECT_EQ(r.baseline[0].events, 18u);
  EXPECT_NEAR(*r.baseline[0].mean, (kE + 10 - 10 - 2) / 18, 1e-9);
  EXPECT_NEAR(*r.baseline[0].win, 200.0 / 18, 1e-9);

  // h = 3: dates 9 and 10 reach 12 and 13.
  const BacktestResult r3 = runBacktest(panel, flatRequest(1, 3));
  EXPECT_EQ(r3.patterns[0].stats[0].events, 6u);
  EXPECT_NEAR(*r3.patterns[0].stats[0].mean, (10 + kE - 1) / 6, 1e-9);

  // A horizon past the end of the history: hits, but no events.
  const BacktestResult r5 = runBacktest(panel, flatRequest(1, 5));
  EXPECT_EQ(r5.patterns[0].hits.size(), 13u);
  EXPECT_EQ(r5.patterns[0].stats[0].events, 0u);
  EXPECT_FALSE(r5.patterns[0].stats[0].mean);
  EXPECT_EQ(r5.baseline[0].events, 0u);

  // Dates within a range only; the ratios still reach back before it.
  BacktestRequest ranged = flatRequest(1, 1);
  ranged.fromDay = day0() + 11;
  ranged.toDay = day0() + 12;
  const BacktestResult rr = runBacktest(panel, ranged);
  EXPECT_EQ(rr.dates, (std::vector<std::uint32_t>{11, 12}));
  EXPECT_EQ(rr.patterns[0].perDate, (std::vector<std::uint32_t>{2, 2}));
  EXPECT_EQ(rr.baseline[0].events, 9u);

  // Cancelled after the second date.
  const BacktestResult cut =
      runBacktest(panel, flatRequest(1, 1), [](std::size_t done, std::size_t) { return done < 2; });
  EXPECT_TRUE(cut.cancelled);
  EXPECT_EQ(cut.patterns[0].perDate.size(), 2u);
}

TEST(Backtest, PriceBandsAsOfTheDateAndWatchLists) {
  test::TempDir dir;
  const HistoryPanel panel = loadHistoryPanel(handDatabase(dir));
  // 30～50万: D's lot is 300,000 while it has a close; E's 299,000 up to date 9, then 301,000.
  const BacktestResult band = runBacktest(panel, flatRequest(9, 1));
  EXPECT_EQ(hitNames(panel, band.patterns[0]),
            (std::vector<std::string>{"9:1304", "10:1304", "10:1305", "11:1305", "12:1305", "13:1305"}));
  EXPECT_EQ(band.patterns[0].stats[0].events, 4u);
  EXPECT_EQ(band.baseline[0].events, 5u);
  // 20～30万: E on date 9 only, B (200,000) until its close of 1960 on 13.
  const BacktestResult low = runBacktest(panel, flatRequest(12, 1));
  EXPECT_EQ(hitNames(panel, low.patterns[0]), (std::vector<std::string>{"9:1305", "12:1302"}));
  EXPECT_NEAR(*low.patterns[0].stats[0].mean, (kE - 2) / 2, 1e-9);
  EXPECT_NEAR(*low.patterns[0].stats[0].median, (kE - 2) / 2, 1e-9);
  EXPECT_DOUBLE_EQ(*low.patterns[0].stats[0].win, 50.0);
  // Markets and units from list.
  EXPECT_EQ(hitNames(panel, runBacktest(panel, flatRequest(3, 1)).patterns[0]), (std::vector<std::string>{"13:1303"}));
  EXPECT_EQ(runBacktest(panel, flatRequest(5, 1)).patterns[0].hits.size(), 2u);  // D
  // The watch-list universes take the codes given ("07203" and 7203 are one code).
  BacktestRequest watched = flatRequest(22, 1);
  watched.watchCodes = {"01303", " 1305 "};
  EXPECT_EQ(hitNames(panel, runBacktest(panel, watched).patterns[0]),
            (std::vector<std::string>{"9:1305", "10:1305", "11:1305", "12:1305", "13:1303", "13:1305"}));
  watched.watchCodes.clear();
  EXPECT_TRUE(runBacktest(panel, watched).patterns[0].hits.empty());
}

TEST(Backtest, StockDatesAgreeWithTheRun) {
  test::TempDir dir;
  const HistoryPanel panel = loadHistoryPanel(handDatabase(dir));
  BacktestRequest all;
  all.universeIndex = 1;
  const BacktestResult r = runBacktest(panel, all);
  ASSERT_EQ(r.patterns.size(), 67u);
  for (std::size_t s = 0; s < panel.stocks.size(); ++s) {
    std::map<int, std::vector<std::size_t>> expected;
    for (const PatternResult& p : r.patterns)
      for (const Hit& h : p.hits)
        if (h.stock == s) expected[panel.days[h.day]].push_back(p.pattern);
    std::map<int, std::vector<std::size_t>> got;
    for (const StockDate& d : patternsMetByStock(panel, s, all)) got[d.day] = d.patterns;
    EXPECT_EQ(got, expected) << panel.stocks[s].key;
  }
  // The chart's marks read one stock alone and find the same days.
  for (std::size_t s = 0; s < panel.stocks.size(); ++s) {
    std::vector<int> whole, alone;
    for (const StockDate& d : patternsMetByStock(panel, s, all)) whole.push_back(d.day);
    for (const StockDate& d : patternDaysOfStock(dir / "kabuka.mdb", panel.stocks[s].key)) alone.push_back(d.day);
    EXPECT_EQ(alone, whole) << panel.stocks[s].key;
  }
  EXPECT_TRUE(patternDaysOfStock(dir / "kabuka.mdb", "9999").empty());
  const auto e = patternsMetByStock(panel, 4, all);
  ASSERT_EQ(e.size(), 5u);
  for (const StockDate& d : e)
    EXPECT_NE(std::find(d.patterns.begin(), d.patterns.end(), patternIndex("Command14")), d.patterns.end());
}

// On the sample market the positions are the ten latest days of the
// history: the backtest's last date lists what the screening lists today,
// for every pattern, in universes of every kind (price bands included).
TEST(Backtest, LastDateEqualsTodaysScreeningOnTheSample) {
  test::TempDir dir;
  Paths paths(dir.path());
  DemoOptions o;
  o.stocks = 400;
  makeDemo(paths, o);
  const HistoryPanel panel = loadHistoryPanel(paths.dailyDb());
  ASSERT_GE(panel.days.size(), 200u);
  const std::vector<std::string> trend = readWatchCodes(paths.watchListDb(), WatchList::Trend);
  for (int u : {1, 2, 5, 8, 9, 11, 17, 22}) {
    BacktestRequest req;
    req.universeIndex = u;
    req.fromDay = panel.days.back();
    if (u == 22) req.watchCodes = trend;
    const BacktestResult r = runBacktest(panel, req);
    const std::string base = u == 22 ? watchListQuery(trend) : universeQuery(u);
    screening::ScreeningSession session(toUtf8(paths.dailyDb()), u, base, "day");
    ASSERT_TRUE(session.load());
    ASSERT_EQ(r.patterns.size(), 67u);
    int listed = 0;
    for (const PatternResult& p : r.patterns) {
      ASSERT_TRUE(session.clickPattern(screening::patternCatalogue()[p.pattern]));
      std::multiset<std::string> screened, tested;
      for (int row = 1; row <= session.listedCount(); ++row) screened.insert(session.cellText(row, 3));
      for (const Hit& h : p.hits) tested.insert(panel.stocks[h.stock].key);
      EXPECT_EQ(tested, screened) << "universe " << u << " " << screening::patternCatalogue()[p.pattern].control;
      listed += session.listedCount();
    }
    if (u == 1) {
      EXPECT_GE(listed, 67);
    }
  }
}

// The dates of a long run are shared out among threads: the run lists the
// same hits in the same order, and the same figures, as one date at a time.
TEST(Backtest, SharedOutRunEqualsOneDateAtATime) {
  test::TempDir dir;
  Paths paths(dir.path());
  DemoOptions o;
  o.stocks = 200;
  makeDemo(paths, o);
  const HistoryPanel panel = loadHistoryPanel(paths.dailyDb());
  BacktestRequest req;
  req.universeIndex = 9;  // a price band: members change from date to date
  req.horizons = {1, 5};
  const BacktestResult all = runBacktest(panel, req);
  ASSERT_GE(all.dates.size(), 100u);
  std::vector<std::vector<std::string>> hits(all.patterns.size());
  std::vector<std::vector<std::uint32_t>> perDate(all.patterns.size());
  std::size_t baselineEvents = 0;
  for (std::uint32_t d : all.dates) {
    BacktestRequest one = req;
    one.fromDay = one.toDay = panel.days[d];
    const BacktestResult r = runBacktest(panel, one);
    ASSERT_EQ(r.dates, std::vector<std::uint32_t>{d});
    for (size_t p = 0; p < r.patterns.size(); ++p) {
      for (const std::string& h : hitNames(panel, r.patterns[p])) hits[p].push_back(h);
      perDate[p].push_back(r.patterns[p].perDate[0]);
    }
    baselineEvents += r.baseline[0].events;
  }
  for (size_t p = 0; p < all.patterns.size(); ++p) {
    EXPECT_EQ(hitNames(panel, all.patterns[p]), hits[p]) << p;
    EXPECT_EQ(all.patterns[p].perDate, perDate[p]) << p;
  }
  EXPECT_EQ(all.baseline[0].events, baselineEvents);
  // The same run twice gives the same figures to the last bit.
  const BacktestResult again = runBacktest(panel, req);
  for (size_t p = 0; p < all.patterns.size(); ++p)
    for (size_t h = 0; h < 2; ++h) {
      EXPECT_EQ(again.patterns[p].stats[h].mean, all.patterns[p].stats[h].mean);
      EXPECT_EQ(again.patterns[p].stats[h].median, all.patterns[p].stats[h].median);
    }
  EXPECT_EQ(again.baseline[1].mean, all.baseline[1].mean);
}

// The filters agree with the views on every row of the sample (lot = kabuka1 × 単位).
TEST(Backtest, UniverseFiltersMatchTheViews) {
  test::TempDir dir;
  Paths paths(dir.path());
  DemoOptions o;
  o.stocks = 400;
  makeDemo(paths, o);
  Database db(paths.dailyDb());
  for (int u = 1; u <= 21; ++u) {
    std::set<std::string> inView, inFilter;
    Statement v(db, "select [コード] from [" + std::string(universeByIndex(u)->viewName) + "]");
    while (v.step()) inView.insert(v.column(0).display());
    Statement l(db, "select [コード], [市場], [単位], [kabuka1] from [list]");
    const UniverseFilter& f = universeFilter(u);
    while (l.step()) {
      const Value unit = l.column(2), close = l.column(3);
      std::optional<double> cost;
      if (!unit.isNull() && !close.isNull()) cost = *unit.asNumber() * *close.asNumber();
      if (passesListPart(f, l.column(1).display(), unit.asNumber()) && passesCost(f, cost))
        inFilter.insert(l.column(0).display());
    }
    EXPECT_EQ(inFilter, inView) << "universe " << u;
    if (u != 13 && u != 19) {
      EXPECT_FALSE(inView.empty()) << "universe " << u;
    }
  }
}

TEST(Backtest, CommandLineOutput) {
  test::TempDir dir;
  const auto db = handDatabase(dir);
  const std::string cli = test::cliPath() + " --root '" + toUtf8(dir.path()) + "' backtest --db '" + toUtf8(db) + "' ";
  auto r = test::runCommand(cli + "--universe 1001 --pattern Command14 --horizon 1");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "date\thits\tmean\n"
            "2026-01-10\t3\t0.22\n"
            "2026-01-11\t3\t0.00\n"
            "2026-01-12\t2\t5.00\n"
            "2026-01-13\t2\t-1.00\n"
            "2026-01-14\t3\t\n"
            "summary\tevents=9\tmean=0.96\tmedian=0.00\twin=22.22\tbaseline_events=18\tbaseline_mean=-0.07\t"
            "baseline_win=11.11\n");
  // The button's caption, in full width too, names it as its control name does.
  for (const char* name : {"保合", " 保合 ", "command14"})
    EXPECT_EQ(test::runCommand(cli + "--universe 1001 --pattern '" + name + "' --horizon 1").out, r.out) << name;
  // A caption several buttons share is refused with the candidates.
  const test::CommandResult shared = test::runCommand(cli + "--universe 1001 --pattern 1V --horizon 1 2>&1");
  EXPECT_EQ(shared.status, 1);
  EXPECT_NE(shared.out.find("pattern 1V names 3 buttons; give one of the control names: Command30 (MA5 1V), "),
            std::string::npos)
      << shared.out;
  EXPECT_NE(shared.out.find(", Command98 (MA7 1V), "), std::string::npos) << shared.out;
  EXPECT_NE(shared.out.find(", Command9 (MA3 1V)"), std::string::npos) << shared.out;
  EXPECT_EQ(test::runCommand(cli + "--universe 1001 --pattern 'MA7 1V' --horizon 1").status, 0);
  // The ranking pair shares its group too: the conditions tell them apart.
  EXPECT_NE(test::runCommand(cli + "--universe 1001 --pattern 'ランキング 1' --horizon 1 2>&1")
                .out.find("Command50 (ランキング 1: r1 in [-500, -8]), Command64 (ランキング 1: r1 in [8, 500])"),
            std::string::npos);
  EXPECT_NE(test::runCommand(cli + "--universe 1001 --pattern Z9 --horizon 1 2>&1").out.find("no pattern button Z9"),
            std::string::npos);
  r = test::runCommand(cli + "--universe 1012 --pattern Command14 --horizon 1 --from 2026-01-11 --to 2026-01-14");
  EXPECT_EQ(r.out,
            "date\thits\tmean\n"
            "2026-01-11\t0\t\n"
            "2026-01-12\t0\t\n"
            "2026-01-13\t1\t-2.00\n"
            "2026-01-14\t0\t\n"
            "summary\tevents=1\tmean=-2.00\tmedian=-2.00\twin=0.00\tbaseline_events=3\tbaseline_mean=-0.67\t"
            "baseline_win=0.00\n");
  // The first date tested (2026-01-10) has four dates after it: a longer
  // horizon is refused in one line; the longest is run.
  r = test::runCommand(cli + "--universe 1001 --pattern all --horizon 5 2>&1");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "tavrin-cli: backtest: no date of " + toUtf8(db) +
                       " has 5 dates after it; the longest horizon is 4 (dates after 2026-01-10, the first date "
                       "tested)\n");
  r = test::runCommand(cli + "--universe 1001 --pattern Command14 --horizon 3 --from 2026-01-12 2>&1");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("the longest horizon is 2 (dates after 2026-01-12"), std::string::npos) << r.out;
  r = test::runCommand(cli + "--universe 1001 --pattern all --horizon 4");
  EXPECT_EQ(r.status, 0);
  std::vector<std::string> lines;
  for (size_t at = 0, nl; (nl = r.out.find('\n', at)) != std::string::npos; at = nl + 1)
    lines.push_back(r.out.substr(at, nl - at));
  ASSERT_EQ(lines.size(), 67u);
  EXPECT_EQ(lines[0].rfind("Command28\tsummary\tevents=", 0), 0u);
  // Only the hits of the first date reach four dates ahead: A -1 %, D 0, E +0.67 %.
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "Command14\tsummary\tevents=3\tmean=-0.11\tmedian=0.00\twin=33.33\tbaseline_events=5\t"
                      "baseline_mean=-0.47\tbaseline_win=20.00"),
            lines.end());
  r = test::runCommand(cli + "--code 1302");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("date\tpatterns\tcaptions\n2026-01-13\t", 0), 0u);
  EXPECT_NE(r.out.find("Command14"), std::string::npos);
  EXPECT_NE(r.out.find("保合"), std::string::npos);

  // Wrong arguments exit 2, failures 1.
  for (const char* bad : {"--universe 1001 --pattern Command14", "--universe 999 --pattern Command14 --horizon 1",
                          "--universe 1001 --pattern Command14 --horizon 0",
                          "--universe 1001 --pattern Command14 --horizon 1 --from 2026/01/10",
                          "--code 1302 --pattern Command14", "--universe 1001 --pattern Command14 --horizon 1 extra"})
    EXPECT_EQ(test::runCommand(cli + bad + " 2>/dev/null").status, 2) << bad;
  EXPECT_EQ(test::runCommand(cli + "--universe 1001 --pattern Command999 --horizon 1 2>/dev/null").status, 1);
  EXPECT_EQ(test::runCommand(cli + "--code 9999 2>/dev/null").status, 1);
  EXPECT_EQ(test::runCommand(cli + "--code 1e3 2>/dev/null").status, 1);
}

// The longest horizon is what the history has after the first date tested.
TEST(Backtest, LongestHorizonOfTheHistory) {
  test::TempDir dir;
  const HistoryPanel panel = loadHistoryPanel(handDatabase(dir));
  BacktestRequest req = flatRequest(1, 4);
  EXPECT_EQ(longestHorizon(panel, req), 4);
  EXPECT_EQ(firstTestedDay(panel, req), day0() + 9);
  EXPECT_FALSE(horizonBeyondHistory(panel, req));
  req.horizons = {1, 5, 2};
  EXPECT_EQ(horizonBeyondHistory(panel, req), 5);
  // A range that starts later leaves fewer dates ahead; its end does not matter.
  req.fromDay = day0() + 11;
  req.toDay = day0() + 11;
  EXPECT_EQ(longestHorizon(panel, req), 2);
  EXPECT_EQ(horizonBeyondHistory(panel, req), 5);
  req.horizons = {2};
  EXPECT_FALSE(horizonBeyondHistory(panel, req));
  // No date tested: nothing to refuse.
  req.fromDay = day0() + 20;
  req.toDay.reset();
  EXPECT_FALSE(longestHorizon(panel, req));
  EXPECT_FALSE(horizonBeyondHistory(panel, req));
  EXPECT_FALSE(firstTestedDay(panel, req));
}

// What a date's evaluation throws comes back to the caller, whichever thread
// evaluated the date, after every thread stopped; the panel can be run again.
TEST(Backtest, ExceptionOfOneDateReachesTheCaller) {
  test::TempDir dir;
  Paths paths(dir.path());
  DemoOptions o;
  o.stocks = 60;
  makeDemo(paths, o);
  const HistoryPanel panel = loadHistoryPanel(paths.dailyDb());
  BacktestRequest req;
  req.horizons = {1};
  const BacktestResult whole = runBacktest(panel, req);
  ASSERT_GE(whole.dates.size(), 64u);
  const std::uint32_t bad = whole.dates[whole.dates.size() / 2];

  BacktestRequest throwing = req;
  throwing.beforeDate = [bad](std::size_t day) {
    if (day == bad) throw std::runtime_error("date " + std::to_string(day));
  };
  try {
    runBacktest(panel, throwing);
    ADD_FAILURE() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()), "date " + std::to_string(bad));
  }

  // Thrown on a thread other than the caller's: the caller's thread waits in
  // its first date until another thread has thrown.
  if (std::thread::hardware_concurrency() > 1) {
    const std::thread::id caller = std::this_thread::get_id();
    std::atomic<bool> thrown{false};
    BacktestRequest elsewhere = req;
    elsewhere.beforeDate = [&](std::size_t) {
      if (std::this_thread::get_id() != caller) {
        thrown = true;
        throw std::logic_error("worker");
      }
      while (!thrown) std::this_thread::yield();
    };
    EXPECT_THROW(runBacktest(panel, elsewhere), std::logic_error);
  }

  // The progress callback runs on the caller's thread; what it throws comes back as well.
  EXPECT_THROW(runBacktest(panel, req, [](std::size_t, std::size_t) -> bool { throw std::length_error("progress"); }),
               std::length_error);

  const BacktestResult again = runBacktest(panel, req);
  EXPECT_EQ(again.dates, whole.dates);
  ASSERT_EQ(again.patterns.size(), whole.patterns.size());
  for (std::size_t p = 0; p < whole.patterns.size(); ++p)
    EXPECT_EQ(hitNames(panel, again.patterns[p]), hitNames(panel, whole.patterns[p])) << p;
}
