#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "backtest/backtest.h"
#include "base/log.h"
#include "data/splits.h"
#include "history/price_history.h"
#include "registration/price_import.h"
#include "registration_support.h"
#include "screening/pattern_catalogue.h"
#include "screening/screening_session.h"
#include "splits/split_entry.h"

namespace tavrin {
namespace {

using namespace backtest;

Value I(std::int64_t v) { return Value(v); }

std::vector<Value> yen(std::initializer_list<std::int64_t> v) {
  std::vector<Value> out;
  for (std::int64_t x : v) out.emplace_back(x);
  return out;
}

TEST(SplitRatios, WrittenAsUsersWriteThemAndBack) {
  EXPECT_EQ(parseSplitRatio("1:5"), (SplitRatio{5, 1}));
  EXPECT_EQ(parseSplitRatio("10:1"), (SplitRatio{1, 10}));
  EXPECT_EQ(parseSplitRatio(" 1 : 1.5 "), (SplitRatio{3, 2}));
  EXPECT_EQ(parseSplitRatio("１：２"), (SplitRatio{2, 1}));
  EXPECT_EQ(parseSplitRatio("5"), (SplitRatio{5, 1}));
  EXPECT_EQ(parseSplitRatio("0.1"), (SplitRatio{1, 10}));
  EXPECT_EQ(parseSplitRatio("2:3"), (SplitRatio{3, 2}));
  for (const char* bad : {"", "0", "-1", "1:0", "0:3", "abc", "1e3", "1:", ":5", "1:2:3", "1:100000"})
    EXPECT_FALSE(parseSplitRatio(bad)) << bad;
  // The data service's factors, and the stored real numbers.
  EXPECT_EQ(splitRatioOf(1.0 / 3), (SplitRatio{1, 3}));
  EXPECT_EQ(splitRatioOf(0.333333), (SplitRatio{1, 3}));
  EXPECT_EQ(splitRatioOf(100), (SplitRatio{100, 1}));
  EXPECT_FALSE(splitRatioOf(0));
  EXPECT_FALSE(splitRatioOf(std::nan("")));

  EXPECT_EQ(splitRatioText({5, 1}), "1:5");
  EXPECT_EQ(splitRatioText({1, 10}), "10:1");
  EXPECT_EQ(splitRatioText({3, 2}), "1:1.5");
  EXPECT_EQ(splitRatioText({2, 3}), "1.5:1");
  EXPECT_EQ(splitRatioText({7, 3}), "3:7");
  for (SplitRatio r : {SplitRatio{5, 1}, SplitRatio{1, 10}, SplitRatio{3, 2}, SplitRatio{2, 3}, SplitRatio{7, 3}})
    EXPECT_EQ(parseSplitRatio(splitRatioText(r)), r);
}

TEST(SplitRatios, AdjustedToTheTenthThenWholeYenHalvesToEven) {
  const std::vector<Split> splits = {{I(1), 100, {2, 1}, SplitSource::Entered},    // 1:2
                                     {I(1), 200, {1, 10}, SplitSource::Entered}};  // 10:1
  const SplitFactor before100 = splitFactorAt(splits, 99);                         // ×1/2 ×10 = ×5
  EXPECT_EQ(before100.num, 5);
  EXPECT_EQ(before100.den, 1);
  EXPECT_TRUE(splitFactorAt(splits, 200).isOne());
  const SplitFactor half = splitFactorAt(splits, 100);  // ×10 only
  EXPECT_EQ(adjustedTenths(503, half), 5030);
  const SplitFactor oneToTwo{1, 2};
  EXPECT_EQ(adjustedTenths(8011, oneToTwo), 4006);       // 400.55 -> 400.6
  EXPECT_EQ(adjustedTenths(8013, oneToTwo), 4006);       // 400.65 -> 400.6
  EXPECT_EQ(adjustedTenths(1, SplitFactor{1, 100}), 1);  // never below a tenth
  EXPECT_EQ(adjustedWholeYen(801, oneToTwo), 400);       // 400.5 -> 400
  EXPECT_EQ(adjustedWholeYen(803, oneToTwo), 402);       // 401.5 -> 402
  EXPECT_EQ(adjustedVolume(1001, oneToTwo), 2002);
  EXPECT_EQ(adjustedVolume(1001, SplitFactor{2, 1}), 500);  // 500.5 -> 500

  std::vector<Bar> bars(3);
  for (int k = 0; k < 3; ++k) {
    bars[k].day = 99 + k * 100;  // 99, 199, 299
    bars[k].close = 1000;
    bars[k].open = 1001;
    bars[k].high = 1010;
    bars[k].low = 990;
    bars[k].volume = 300;
  }
  adjustBars(bars, splits);
  EXPECT_EQ(bars[0].close, 5000);
  EXPECT_EQ(bars[0].open, 5005);
  EXPECT_EQ(bars[0].volume, 60);
  EXPECT_EQ(bars[1].close, 10000);
  EXPECT_EQ(bars[1].low, 9900);
  EXPECT_EQ(bars[2].close, 1000);
  EXPECT_EQ(bars[2].volume, 300);
}

// Business days from 2024-12-02 (a Monday).
int bday(int k) { return *dayFromCivil(2024, 12, 2) + k / 5 * 7 + k % 5; }

// A history of 20 days for four stocks, with a 1:5 split of 1001 from day
// 10, a 10:1 consolidation of 1002 from day 14 and a 1:2 split of 1003 from
// day 17 (inside the ten positions); 1004 has none. Closes in tenths, as
// traded and as adjusted (worked out by hand).
struct Hand {
  static std::int32_t traded(int stock, int k) {
    switch (stock) {
      case 0: return k < 10 ? (k == 9 ? 10027 : 10025) : 2010 + 10 * (k - 10);
      case 1: return k < 14 ? 503 : 5000 + 10 * (k - 14);
      case 2: return k < 17 ? 8010 + 20 * k : 4100 + 10 * (k - 17);
      default: return 3000 + 10 * k;
    }
  }
  static std::int32_t adjusted(int stock, int k) {
    switch (stock) {
      case 0: return k < 10 ? 2005 : traded(0, k);           // 1002.5 / 5 = 200.5; 1002.7 / 5 -> 200.5
      case 1: return k < 14 ? 5030 : traded(1, k);           // 50.3 × 10
      case 2: return k < 17 ? 4005 + 10 * k : traded(2, k);  // (801 + 2k) / 2
      default: return traded(3, k);
    }
  }
  static std::int64_t volume(int stock, int k, bool adjusted) {
    if (!adjusted) return 1000;
    if (stock == 0 && k < 10) return 5000;
    if (stock == 1 && k < 14) return 100;
    if (stock == 2 && k < 17) return 2000;
    return 1000;
  }
};

Bar handBar(int stock, int k, bool adjusted) {
  Bar b;
  b.day = bday(k);
  b.close = adjusted ? Hand::adjusted(stock, k) : Hand::traded(stock, k);
  b.volume = Hand::volume(stock, k, adjusted);
  return b;
}

class Splits : public ::testing::Test {
 protected:
  void SetUp() override {
    setLogQuiet(true);
    const std::vector<test::Stock> none = {
        {"指数", I(1000), {}}, {"A", I(1001), {}}, {"B", I(1002), {}}, {"C", I(1003), {}}, {"D", I(1004), {}}};
    test::makePriceDb(paths.dailyDb(), "day", none);
    writeHistory(paths.dailyDb(), false);
    {
      Database d(paths.dailyDb());
      ASSERT_TRUE(setPositionsFromHistory(d).done());
    }
    // The week and month files hold positions and dates alone.
    test::makePriceDb(paths.weeklyDb(), "week",
                      {{"指数", I(1000), yen({30000, 29000, 28000, 27000, 26000, 25000, 24000, 23000, 22000, 21000})},
                       {"A", I(1001), yen({211, 206, 1003, 1002, 1001, 1000, 999, 998, 997, 1005})},
                       {"B", I(1002), yen({506, 501, 51, 50, 49, 52, 50, 50, 50, 50})},
                       {"C", I(1003), yen({412, 829, 819, 809, 799, 789, 779, 769, 759, 749})},
                       {"D", I(1004), yen({319, 314, 309, 304, 299, 294, 289, 284, 279, 274})}});
    dates(paths.weeklyDb(), {"24/12/27", "24/12/20", "24/12/13", "24/12/06", "24/11/29", "24/11/22", "24/11/15",
                             "24/11/08", "24/11/01", "24/10/25"});
    test::makePriceDb(paths.monthlyDb(), "month",
                      {{"指数", I(1000), yen({30000, 29000, 28000, 27000, 26000, 25000, 24000, 23000, 22000, 21000})},
                       {"A", I(1001), yen({212, 1010, 990, 1020, 1000, 980, 1040, 1000, 1000, 1000})},
                       {"B", I(1002), yen({505, 48, 47, 46, 45, 44, 43, 42, 41, 40})},
                       {"C", I(1003), yen({412, 700, 690, 680, 670, 660, 650, 640, 630, 620})},
                       {"D", I(1004), yen({319, 300, 290, 280, 270, 260, 250, 240, 230, 220})}});
    dates(paths.monthlyDb(), {"24/12/30", "24/11/29", "24/10/31", "24/09/30", "24/08/30", "24/07/31", "24/06/28",
                              "24/05/31", "24/04/30", "24/03/29"});
  }
  void TearDown() override { setLogQuiet(false); }

  static void writeHistory(const std::filesystem::path& db, bool adjusted) {
    Database d(db);
    Transaction tx(d);
    HistoryWriter w(d);
    for (int s = 0; s < 4; ++s)
      for (int k = 0; k < 20; ++k) w.put(I(1001 + s), handBar(s, k, adjusted));
    w.flush();
    tx.commit();
  }
  static void dates(const std::filesystem::path& db, const std::vector<std::string>& days) {
    Database d(db);
    DateRecord rec = readDateRecord(d).value_or(DateRecord{});
    for (std::size_t k = 0; k < 10; ++k) rec.dates[k] = days[k];
    writeDateRecord(d, rec);
  }
  std::vector<std::filesystem::path> files() const { return splitTargets(paths); }
  std::vector<Value> positions(const std::filesystem::path& db, std::int64_t code) const {
    Database d(db, Database::Mode::ReadOnly);
    return test::pricesOf(d, I(code));
  }
  void enterAll() {
    ASSERT_TRUE(addSplit(files(), "1001", bday(10), {5, 1}).done());
    ASSERT_TRUE(addSplit(files(), "1002", bday(14), {1, 10}, SplitSource::Check).done());
    const SplitOutcome o = addSplit(files(), "1003", bday(17), {2, 1});
    ASSERT_TRUE(o.done()) << o.detail;
    ASSERT_EQ(o.reports.size(), 3u);
    EXPECT_EQ(o.reports[0].positions, 7u);  // days 10..16 of the day file
  }

  test::TempDir dir;
  Paths paths{dir.path()};
};

TEST_F(Splits, EnteredAdjustTheHistoryAndThePositionsOfTheThreeFilesAndRemovalRestoresThem) {
  const std::string dayBefore = test::dumpPriceDb(paths.dailyDb());
  const std::string weekBefore = test::dumpPriceDb(paths.weeklyDb());
  const std::string monthBefore = test::dumpPriceDb(paths.monthlyDb());
  EXPECT_EQ(positions(paths.dailyDb(), 1002), yen({505, 504, 503, 502, 501, 500, 50, 50, 50, 50}));
  EXPECT_EQ(positions(paths.dailyDb(), 1003), yen({412, 411, 410, 833, 831, 829, 827, 825, 823, 821}));
  {
    // The checks see the three steps, each as the split it would be.
    Database d(paths.dailyDb(), Database::Mode::ReadOnly);
    const std::vector<SplitCandidate> c = splitCandidates(d);
    ASSERT_EQ(c.size(), 3u);
    EXPECT_EQ(c[0].code, "1001");
    EXPECT_EQ(c[0].exDay, bday(10));
    EXPECT_EQ(c[0].ratio, (SplitRatio{5, 1}));
    EXPECT_EQ(c[1].ratio, (SplitRatio{1, 10}));
    EXPECT_EQ(c[2].exDay, bday(17));
    EXPECT_EQ(c[2].ratio, (SplitRatio{2, 1}));
  }

  enterAll();

  // Day file: positions from the adjusted closes, whole yen halves to even.
  EXPECT_EQ(positions(paths.dailyDb(), 1001), yen({210, 209, 208, 207, 206, 205, 204, 203, 202, 201}));
  EXPECT_EQ(positions(paths.dailyDb(), 1002), yen({505, 504, 503, 502, 501, 500, 503, 503, 503, 503}));
  EXPECT_EQ(positions(paths.dailyDb(), 1003), yen({412, 411, 410, 416, 416, 414, 414, 412, 412, 410}));
  EXPECT_EQ(positions(paths.dailyDb(), 1004), yen({319, 318, 317, 316, 315, 314, 313, 312, 311, 310}));
  // Week and month files: the positions dated before each ex-date.
  EXPECT_EQ(positions(paths.weeklyDb(), 1001), yen({211, 206, 201, 200, 200, 200, 200, 200, 199, 201}));
  EXPECT_EQ(positions(paths.weeklyDb(), 1002), yen({506, 501, 510, 500, 490, 520, 500, 500, 500, 500}));
  EXPECT_EQ(positions(paths.weeklyDb(), 1003), yen({412, 414, 410, 404, 400, 394, 390, 384, 380, 374}));
  EXPECT_EQ(positions(paths.monthlyDb(), 1001), yen({212, 202, 198, 204, 200, 196, 208, 200, 200, 200}));
  EXPECT_EQ(positions(paths.monthlyDb(), 1002), yen({505, 480, 470, 460, 450, 440, 430, 420, 410, 400}));
  EXPECT_EQ(positions(paths.monthlyDb(), 1003), yen({412, 350, 345, 340, 335, 330, 325, 320, 315, 310}));
  EXPECT_EQ(positions(paths.monthlyDb(), 1000)[0], I(30000));  // the index row is never touched
  EXPECT_EQ(positions(paths.weeklyDb(), 1004), yen({319, 314, 309, 304, 299, 294, 289, 284, 279, 274}));

  {
    Database d(paths.dailyDb(), Database::Mode::ReadOnly);
    for (int s = 0; s < 4; ++s) {
      const std::vector<Bar> adjusted = readHistory(d, I(1001 + s));
      const std::vector<Bar> traded = readHistory(d, I(1001 + s), HistoryPrices::AsTraded);
      ASSERT_EQ(adjusted.size(), 20u);
      ASSERT_EQ(traded.size(), 20u);
      for (int k = 0; k < 20; ++k) {
        EXPECT_EQ(adjusted[k], handBar(s, k, true)) << s << " " << k;
        EXPECT_EQ(traded[k], handBar(s, k, false)) << s << " " << k;
      }
    }
    EXPECT_TRUE(splitCandidates(d).empty());  // the steps entered are steps no more
    const std::vector<Split> listed = listSplits(d);
    ASSERT_EQ(listed.size(), 3u);
    EXPECT_EQ(listed[1].source, SplitSource::Check);
    EXPECT_EQ(listSplits(d, std::string("1003")).size(), 1u);
  }

  // Entered again with another ratio: replaced, the positions from as traded.
  SplitOutcome again = addSplit(files(), "1003", bday(17), {3, 1});
  ASSERT_TRUE(again.done());
  EXPECT_EQ(again.replaced, (SplitRatio{2, 1}));
  EXPECT_EQ(positions(paths.dailyDb(), 1003)[3], I(278));  // 833 / 3 = 277.67
  ASSERT_TRUE(addSplit(files(), "1003", bday(17), {2, 1}).done());

  // Removed: every file as it was, byte for byte in its tables.
  for (const auto& [code, day] :
       {std::pair{"1002", bday(14)}, std::pair{"1001", bday(10)}, std::pair{"1003", bday(17)}}) {
    const SplitOutcome o = removeSplit(files(), code, day);
    ASSERT_TRUE(o.done()) << o.detail;
  }
  EXPECT_EQ(test::dumpPriceDb(paths.dailyDb()), dayBefore);
  EXPECT_EQ(test::dumpPriceDb(paths.weeklyDb()), weekBefore);
  EXPECT_EQ(test::dumpPriceDb(paths.monthlyDb()), monthBefore);
  EXPECT_EQ(removeSplit(files(), "1003", bday(17)).failure, SplitFailure::NoSuchSplit);
  EXPECT_EQ(addSplit(files(), "9999", bday(3), {2, 1}).failure, SplitFailure::NotInList);
  EXPECT_EQ(addSplit(files(), "1001", bday(3), {2, 2}).failure, SplitFailure::SameRatio);
}

TEST_F(Splits, ScreeningAndBacktestEqualAHistoryWrittenAdjusted) {
  enterAll();
  // The same market written with the adjusted closes and no splits at all.
  const std::filesystem::path reference = dir.path() / "reference.mdb";
  test::makePriceDb(
      reference, "day",
      {{"指数", I(1000), {}}, {"A", I(1001), {}}, {"B", I(1002), {}}, {"C", I(1003), {}}, {"D", I(1004), {}}});
  writeHistory(reference, true);
  {
    Database d(reference);
    ASSERT_TRUE(setPositionsFromHistory(d).done());
  }
  for (std::int64_t code : {1001, 1002, 1003, 1004})
    EXPECT_EQ(positions(paths.dailyDb(), code), positions(reference, code)) << code;

  const HistoryPanel split = loadHistoryPanel(paths.dailyDb());
  const HistoryPanel plain = loadHistoryPanel(reference);
  EXPECT_EQ(split.days, plain.days);
  EXPECT_EQ(split.closes, plain.closes);
  BacktestRequest req;
  req.horizons = {1, 3};
  const BacktestResult a = runBacktest(split, req), b = runBacktest(plain, req);
  ASSERT_EQ(a.patterns.size(), b.patterns.size());
  std::size_t hits = 0;
  for (std::size_t p = 0; p < a.patterns.size(); ++p) {
    ASSERT_EQ(a.patterns[p].hits.size(), b.patterns[p].hits.size()) << p;
    for (std::size_t h = 0; h < a.patterns[p].hits.size(); ++h) {
      EXPECT_EQ(a.patterns[p].hits[h].day, b.patterns[p].hits[h].day);
      EXPECT_EQ(a.patterns[p].hits[h].stock, b.patterns[p].hits[h].stock);
    }
    hits += a.patterns[p].hits.size();
  }
  EXPECT_GT(hits, 0u);

  screening::ScreeningSession s1(toUtf8(paths.dailyDb()), 1, universeQuery(1), "day");
  screening::ScreeningSession s2(toUtf8(reference), 1, universeQuery(1), "day");
  ASSERT_TRUE(s1.load());
  ASSERT_TRUE(s2.load());
  for (const auto& pattern : screening::patternCatalogue()) {
    ASSERT_TRUE(s1.clickPattern(pattern));
    ASSERT_TRUE(s2.clickPattern(pattern));
    std::multiset<std::string> x, y;
    for (int row = 1; row <= s1.listedCount(); ++row) x.insert(s1.cellText(row, 3));
    for (int row = 1; row <= s2.listedCount(); ++row) y.insert(s2.cellText(row, 3));
    EXPECT_EQ(x, y) << pattern.control;
  }
}

TEST_F(Splits, APriceFileAfterTheExDateNeedsNothingMoreEnteredBeforeOrAfterIt) {
  // The next day, 2024-12-30, 1004 splits 1:2 and trades at 160.
  const int exDay = *dayFromCivil(2024, 12, 30);
  ASSERT_TRUE(
      test::writeWorkbook(paths.workbook("day241230"),
                          {{"s241230", test::priceRows({{1001, 211}, {1002, 506}, {1003, 413}, {1004, 160}})}}));
  auto nextDay = [&] {
    Database d(paths.dailyDb());
    DateRecord rec = *readDateRecord(d);
    ASSERT_TRUE(insertPeriod(d, periodsFromRecord(rec), "day").done());
    const ImportOutcome o = importLatest(d, paths, periodFromParts("24", "12", "30", "day241230"), "day");
    ASSERT_TRUE(o.done()) << describeFailure(o);
  };
  const std::vector<Value> expected = yen({160, 160, 159, 158, 158, 158, 157, 156, 156, 156});  // 319/2 = 159.5 -> 160
  const std::string before = test::readFileBytes(paths.dailyDb());

  ASSERT_TRUE(addSplit(files(), "1004", exDay, {2, 1}).done());  // entered first
  nextDay();
  EXPECT_EQ(positions(paths.dailyDb(), 1004), expected);

  {
    std::ofstream(paths.dailyDb(), std::ios::binary | std::ios::trunc) << before;  // the day file as it was
  }
  ASSERT_TRUE(removeSplit({paths.weeklyDb(), paths.monthlyDb()}, "1004", exDay).done());
  nextDay();  // the file first
  EXPECT_EQ(positions(paths.dailyDb(), 1004)[1], I(319));
  ASSERT_TRUE(addSplit(files(), "1004", exDay, {2, 1}).done());
  EXPECT_EQ(positions(paths.dailyDb(), 1004), expected);
  Database d(paths.dailyDb(), Database::Mode::ReadOnly);
  EXPECT_EQ(readHistory(d, I(1004)).back().close, 1600);
  EXPECT_EQ(readHistory(d, I(1004))[19].close, 1595);  // 319.0 / 2
}

TEST_F(Splits, ALockedWeeklyFileLeavesEveryFileAsItWas) {
  std::vector<std::string> before;
  for (const auto& f : files()) before.push_back(test::readFileBytes(f));
  {
    Database holder(paths.weeklyDb());
    holder.exec("begin exclusive");
    const SplitOutcome o = addSplit(files(), "1003", bday(17), {2, 1});
    EXPECT_EQ(o.failure, SplitFailure::Database);
    EXPECT_EQ(o.failedDatabase, paths.weeklyDb());
    EXPECT_TRUE(o.reports.empty());
    holder.exec("rollback");
  }
  for (std::size_t i = 0; i < files().size(); ++i) EXPECT_EQ(test::readFileBytes(files()[i]), before[i]) << i;
  // A file of another kind fails the same way.
  std::ofstream(paths.monthlyDb(), std::ios::binary | std::ios::trunc) << "not a database";
  const SplitOutcome o = addSplit(files(), "1003", bday(17), {2, 1});
  EXPECT_EQ(o.failure, SplitFailure::Database);
  EXPECT_EQ(o.failedDatabase, paths.monthlyDb());
  EXPECT_EQ(test::readFileBytes(paths.dailyDb()), before[0]);
  EXPECT_EQ(test::readFileBytes(paths.weeklyDb()), before[1]);
}

}  // namespace
}  // namespace tavrin

namespace tavrin {
namespace {

TEST_F(Splits, CommandLineEntersListsAndRemoves) {
  const std::string cli = test::cliPath() + " --root '" + toUtf8(dir.path()) + "' ";
  test::CommandResult r = test::runCommand(cli + "split add 1003 2024-12-25 1:2");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("split of 1003 on 2024-12-25: 1:2"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("kabuka.mdb: 7 position(s) rewritten"), std::string::npos) << r.out;
  ASSERT_EQ(test::runCommand(cli + "split add 1002 20241220 10:1").status, 0);

  r = test::runCommand(cli + "split list");
  EXPECT_EQ(r.out, "コード\t権利落ち日\t比率\t出所\n1002\t2024-12-20\t10:1\tentered\n1003\t2024-12-25\t1:2\tentered\n");
  EXPECT_EQ(test::runCommand(cli + "split list 1002").out,
            "コード\t権利落ち日\t比率\t出所\n1002\t2024-12-20\t10:1\tentered\n");

  // The history adjusted, and as traded with --raw.
  r = test::runCommand(cli + "history 1003");
  EXPECT_NE(r.out.find("\n2024-12-24\t416.5\n2024-12-25\t410\n"), std::string::npos) << r.out;
  r = test::runCommand(cli + "history --raw --ohlcv 1003");
  EXPECT_NE(r.out.find("\n2024-12-24\t\t\t\t833\t1000\n"), std::string::npos) << r.out;

  // Refused: no such stock, a ratio that is none, a split that is not there.
  for (const char* bad : {"split add 9999 2024-12-25 1:2", "split add 1003 2024-12-25 1:0",
                          "split add 1003 2024-13-01 1:2", "split remove 1003 2024-12-24"}) {
    r = test::runCommand(cli + bad + " 2>&1");
    EXPECT_EQ(r.status, 1) << bad;
    EXPECT_EQ(r.out.rfind("tavrin-cli: split ", 0), 0u) << bad << ": " << r.out;
  }
  EXPECT_EQ(test::runCommand(cli + "split add 1003 2>/dev/null").status, 2);

  ASSERT_EQ(test::runCommand(cli + "split remove 1003 2024-12-25").status, 0);
  EXPECT_EQ(positions(paths.dailyDb(), 1003), yen({412, 411, 410, 833, 831, 829, 827, 825, 823, 821}));
}

}  // namespace
}  // namespace tavrin
