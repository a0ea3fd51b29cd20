#include <gtest/gtest.h>
#include <algorithm>
#include <set>
#include <unordered_set>

#include "chart/chart_data.h"
#include "data/price_schema.h"
#include "data/stock_code.h"
#include "registration/price_import.h"
#include "sample/sample_market.h"
#include "screening/pattern_catalogue.h"
#include "screening/screening_session.h"
#include "stocklist/listed_issues.h"
#include "stocklist/stock_list_update.h"
#include "test_support.h"

using namespace tavrin;
using namespace tavrin::screening;

TEST(Demo, CodesFillTheFourCharacterSpaceBeforeTakingFiveCharacters) {
  // 1301..9999 and the four-character codes with a letter in the second or
  // fourth place: 8,699 + 9 * 10 * (29 * 29 - 100).
  constexpr std::size_t kFourCharacters = 8699 + 66690;
  const auto codes = sampleStockCodes(kMaxDemoStocks, 3);
  ASSERT_EQ(codes.size(), static_cast<std::size_t>(kMaxDemoStocks));
  std::unordered_set<std::string> seen;
  std::size_t lettered = 0;
  for (std::size_t i = 0; i < codes.size(); ++i) {
    const std::string& c = codes[i];
    ASSERT_TRUE(seen.insert(c).second) << c;
    ASSERT_EQ(parseStockCode(c), c);
    ASSERT_EQ(c.size(), i < kFourCharacters ? 4u : 5u) << i << " " << c;
    ASSERT_TRUE(c[0] >= '1' && c[0] <= '9' && c[2] >= '0' && c[2] <= '9') << c;
    if (isPlainNumberCode(c) && c.size() == 4) {
      ASSERT_GE(std::stoi(c), 1301) << c;
    }
    if (!isPlainNumberCode(c) && i < 3800) ++lettered;
  }
  // A market of the usual size is mostly plain numbers, with a few lettered codes.
  EXPECT_GT(lettered, 10u);
  EXPECT_LT(lettered, 100u);
  EXPECT_EQ(sampleStockCodes(500, 3), std::vector<std::string>(codes.begin(), codes.begin() + 500));
  EXPECT_NE(sampleStockCodes(500, 4), std::vector<std::string>(codes.begin(), codes.begin() + 500));
}

TEST(Demo, CommandLineRefusesMoreStocksThanTheSampleHolds) {
  test::TempDir dir;
  const std::string cli = test::cliPath() + " --root '" + dir.path().string() + "' demo --stocks ";
  const auto r = test::runCommand(cli + std::to_string(kMaxDemoStocks + 1) + " 2>&1");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("--stocks: 0 to 200000"), std::string::npos) << r.out;
  EXPECT_EQ(test::runCommand(cli + "-1 2>/dev/null").status, 2);
  EXPECT_FALSE(std::filesystem::exists(dir / "kabuka.mdb"));
  DemoOptions o;
  o.stocks = kMaxDemoStocks + 1;
  EXPECT_EQ(makeDemo(Paths(dir.path()), o).failure, DemoFailure::StocksOutOfRange);
}

// A sample market is never written over unless asked: the second run is
// refused before it touches a file, on the command line with one line and
// exit code 1.
TEST(Demo, ExistingFilesAreKeptWithoutReplace) {
  test::TempDir dir;
  const Paths paths(dir.path());
  DemoOptions o;
  o.stocks = 30;
  ASSERT_TRUE(makeDemo(paths, o).done());
  const std::string daily = test::readFileBytes(paths.dailyDb());
  o.seed = 2;
  const DemoResult again = makeDemo(paths, o);
  EXPECT_EQ(again.failure, DemoFailure::FilesExist);
  EXPECT_NE(again.detail.find("(use --replace)"), std::string::npos) << again.detail;
  EXPECT_TRUE(again.files.empty());
  EXPECT_EQ(test::readFileBytes(paths.dailyDb()), daily);
  const auto r = test::runCommand(test::cliPath() + " --root '" + toUtf8(dir.path()) + "' demo --stocks 30 2>&1");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "tavrin-cli: file exists: " + toUtf8(paths.dailyDb()) + " (use --replace)\n");
  o.replace = true;
  EXPECT_TRUE(makeDemo(paths, o).done());
  EXPECT_NE(test::readFileBytes(paths.dailyDb()), daily);
}

// The documented day: insert one period, then read the next day's sheet into
// position 1. Afterwards every stock has its latest price and every pattern
// still lists a stock of the whole market, in the daily and in the weekly
// database.
TEST(Demo, EveryPatternListsAStockAfterTheNextDayIsRead) {
  test::TempDir dir;
  const Paths paths(dir.path());
  DemoOptions o;
  o.stocks = 40;
  const DemoResult made = makeDemo(paths, o);
  ASSERT_TRUE(made.done()) << made.detail;
  EXPECT_EQ(made.workbookStocks, made.stocks);

  for (const auto& [file, unit] : {std::pair{paths.dailyDb(), "day"}, std::pair{paths.weeklyDb(), "week"}}) {
    {
      Database db(file);
      const auto rows = periodsFromRecord(*readDateRecord(db));
      ASSERT_TRUE(insertPeriod(db, rows, unit).done()) << unit;
      const ImportOutcome latest = importLatest(db, paths, periodFromParts("26", "12", "09", kDemoWorkbook), unit);
      ASSERT_TRUE(latest.done()) << describeFailure(latest);
      EXPECT_EQ(latest.cleared, 0u) << unit;
      EXPECT_EQ(db.scalar("select count(*) from [list] where [kabuka1] is null and [コード] <> 1000"), Value(0))
          << unit;
      EXPECT_EQ(readDateRecord(db)->dates[0], kDemoNextDayDate);
    }
    std::vector<std::string> empty;
    for (const ScreeningPattern& p : patternCatalogue()) {
      ScreeningSession s(toUtf8(file), 1, universeQuery(1), unit);
      ASSERT_TRUE(s.clickPattern(p)) << p.control;
      if (s.listedCount() == 0) empty.push_back(std::string(p.control) + " " + p.caption);
    }
    EXPECT_TRUE(empty.empty()) << unit << ": " << ::testing::PrintToString(empty);
  }
}

// The sample models today's market: every universe lists stocks, and its list
// of listed issues a month on adds 20 stocks (one lettered), renames and moves
// 5 each and leaves out 10.
TEST(Demo, TodaysMarketAndAListOfListedIssuesToUpdateFrom) {
  test::TempDir dir;
  const Paths paths(dir.path());
  const DemoResult made = makeDemo(paths, DemoOptions{});
  const auto list = paths.workbook(kDemoListedIssues);
  ASSERT_NE(std::find(made.files.begin(), made.files.end(), list), made.files.end());
  {
    Database db(paths.dailyDb(), Database::Mode::ReadOnly);
    for (const UniverseInfo& u : universes()) {
      if (!*u.viewName) continue;
      EXPECT_GT(db.query(universeQuery(u.index)).rows.size(), 0u) << u.menuCaption;
    }
    EXPECT_GT(db.scalar("select count(*) from [list] where [市場] = '東証プライム'").integer(),
              db.scalar("select count(*) from [list] where [市場] = '東証１部'").integer() * 3);
    EXPECT_EQ(db.scalar("select count(*) from [list] where [市場] like '東証%' and [市場] not in ('東証１部', "
                        "'東証２部') and [単位] <> 100")
                  .integer(),
              0);
  }

  const ListedIssues issues = readListedIssues(list);
  ASSERT_TRUE(issues.done()) << issues.detail;
  StockListUpdateOptions dry;
  dry.dryRun = true;
  const StockListOutcome o = updateStockLists(standardStockListTargets(paths), issues, dry);
  ASSERT_TRUE(o.done()) << o.detail;
  for (const StockListReport& r : o.reports) {
    EXPECT_EQ(r.added.size(), 20u);
    EXPECT_EQ(
        std::count_if(r.added.begin(), r.added.end(), [](const ListedIssue& i) { return !isPlainNumberCode(i.code); }),
        1);
    EXPECT_EQ(r.updated.size(), 10u);
    EXPECT_EQ(r.missing.size(), 10u);
  }
  ASSERT_EQ(issues.skipped.size(), 2u);
  EXPECT_EQ(issues.skippedRows(), 3u);
}

// The sample history has the day's open, high and low on the exchange's price
// steps around the whole-yen closes the positions hold, and volumes in
// trading lots; the weekly and monthly databases' bars are those days
// gathered into their weeks and months.
TEST(Demo, HistoryBarsAroundTheClosesAndTheirWeeksAndMonths) {
  test::TempDir dir;
  const Paths paths(dir.path());
  DemoOptions o;
  o.stocks = 120;
  ASSERT_TRUE(makeDemo(paths, o).done());
  Database daily = openForReading(paths.dailyDb());
  Database weekly = openForReading(paths.weeklyDb());
  Database monthly = openForReading(paths.monthlyDb());
  std::size_t stocks = 0, bars = 0, withTenths = 0, indexBars = 0;
  for (const Row& row : daily.query("select [コード], [kabuka1], [単位], [銘柄] from [list]").rows) {
    const std::string code = codeKey(row[0]).value_or(row[0].display());
    const chart::ChartStock s = chart::loadChartStock(daily, code);
    ASSERT_TRUE(s.found) << code;
    if (s.series.empty()) continue;
    ++stocks;
    if (row[1].isInteger()) {
      EXPECT_EQ(s.series.bars.back().close, row[1].integer() * 10) << code;
    }
    const std::int64_t lot = std::max<std::int64_t>(100, row[2].isInteger() ? row[2].integer() : 100);
    for (const Bar& b : s.series.bars) {
      ++bars;
      ASSERT_TRUE(b.hasRange()) << code << " " << isoDate(b.day);
      EXPECT_EQ(b.close % 10, 0) << code;  // whole yen, as the positions
      EXPECT_GE(b.high, std::max(b.open, b.close)) << code;
      EXPECT_LE(b.low, std::min(b.open, b.close)) << code;
      withTenths += (b.open % 10 != 0 || b.high % 10 != 0 || b.low % 10 != 0) ? 1 : 0;
      if (code == "1000") {
        ++indexBars;
        EXPECT_FALSE(b.hasVolume());
      } else {
        ASSERT_TRUE(b.hasVolume()) << code;
        EXPECT_GT(b.volume, 0);
        EXPECT_EQ(b.volume % lot, 0) << code;
      }
    }
    // The weeks and months before the latest, which the daily history ends
    // in the middle of (the pattern samples' ten prices are the same in
    // every database, whatever their days).
    if (row[3].display().starts_with("見本")) continue;
    for (const auto& [db, unit] : {std::pair{&weekly, chart::ChartUnit::Week}, {&monthly, chart::ChartUnit::Month}}) {
      const chart::ChartStock own = chart::loadChartStock(*db, code);
      const chart::ChartSeries gathered = chart::seriesInUnit(s.series, unit);
      if (gathered.size() < 2) continue;  // listed this month
      const std::vector<Bar> expected(gathered.bars.begin(), gathered.bars.end() - 1);
      ASSERT_GE(own.series.size(), expected.size()) << code;
      EXPECT_EQ(std::vector<Bar>(own.series.bars.end() - static_cast<long>(expected.size()), own.series.bars.end()),
                expected)
          << code;
    }
  }
  EXPECT_GT(stocks, 100u);
  EXPECT_GT(indexBars, 200u);
  EXPECT_GT(withTenths, bars / 100);  // the finer steps of the largest issues
}
