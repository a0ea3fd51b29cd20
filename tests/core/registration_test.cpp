#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <fstream>
#include <random>

#include "base/log.h"
#include "data/stock_code.h"
#include "formats/xls/workbook.h"
#include "registration/period_file.h"
#include "registration/price_import.h"
#include "registration_support.h"
#include "test_support.h"

using namespace tavrin;
using namespace tavrin::test;

namespace {

Value I(std::int64_t v) { return Value(v); }

std::array<PeriodSource, 10> tenPeriods(const std::string& book, int firstDay = 10) {
  std::array<PeriodSource, 10> out;
  for (int k = 1; k <= 10; ++k) {
    char dd[16];
    std::snprintf(dd, sizeof dd, "%02d", firstDay + 1 - k);
    out[static_cast<size_t>(k - 1)] = periodFromParts("04", "05", dd, book);
  }
  return out;
}

class RegistrationTest : public ::testing::Test {
 protected:
  void SetUp() override { setLogQuiet(true); }
  void TearDown() override { setLogQuiet(false); }
  std::filesystem::path db() const { return dir / "kabuka.mdb"; }
  TempDir dir;
  Paths paths{dir.path()};
};

}  // namespace

TEST(WorkbookCells, PricesRoundHalfToEvenAndRejectWhatIsNoNumber) {
  EXPECT_EQ(priceFromCell(Value(2500.5)), 2500);
  EXPECT_EQ(priceFromCell(Value(2501.5)), 2502);
  EXPECT_EQ(priceFromCell(Value(-2.5)), -2);
  EXPECT_EQ(priceFromCell(Value(2147483647.4)), 2147483647);
  EXPECT_EQ(priceFromCell(Value(2147483647.5)), std::nullopt);  // rounds to 2^31
  EXPECT_EQ(priceFromCell(Value(3e9)), std::nullopt);
  EXPECT_EQ(priceFromCell(Value("2500")), std::nullopt);
  EXPECT_EQ(priceFromCell(Value()), std::nullopt);
  EXPECT_EQ(codeKey(Value(7203.0)), "7203");
  EXPECT_EQ(codeKey(Value(" 07203 ")), "7203");
  EXPECT_EQ(codeKey(Value("130A")), "130A");
  EXPECT_EQ(codeKey(Value(7203.5)), std::nullopt);
  EXPECT_EQ(codeKey(Value("  ")), std::nullopt);
}

TEST_F(RegistrationTest, TenPeriodImportMatchesEveryStockFromOnePassPerSheet) {
  makePriceDb(db(), "day",
              {{"A", I(7203), {I(1), I(2), I(3), I(4), I(5), I(6), I(7), I(8), I(9), I(10)}},
               {"B", Value("130A"), {}},
               {"C", I(9984), {I(11), I(12), I(13), I(14), I(15), I(16), I(17), I(18), I(19), I(20)}},
               {"Fixed", I(1000), {I(1), I(1), I(1), I(1), I(1), I(1), I(1), I(1), I(1), I(1)}},
               {"D", I(6758), {}}});
  // Positions 1..5 in one workbook, 6..10 in another; sheet k differs per k.
  std::vector<SheetSpec> first, second;
  const auto periods = [] {
    auto p = tenPeriods("early");
    for (int k = 5; k < 10; ++k) p[static_cast<size_t>(k)].baseName = "late";
    return p;
  }();
  for (int k = 1; k <= 10; ++k) {
    std::vector<std::pair<Cell, Cell>> rows = {{7203, 100 * k + 0.5},  // halves to even
                                               {"130A", 50 * k},       // alphanumeric code
                                               {"6758", 7 * k},        // numeric code stored as text
                                               {6758, 999},            // the upper row wins
                                               {1000, 123}};           // never written
    if (k == 3) rows.erase(rows.begin());                              // 7203 missing in sheet 3
    if (k == 4)
      rows.push_back({9984, nullptr});  // empty price
    else if (k == 5)
      rows.push_back({9984, "n/a"});  // text price
    else if (k == 6)
      rows.push_back({9984, 5e9});  // out of range
    else
      rows.push_back({9984, 1000 + k});
    SheetSpec s{periods[static_cast<size_t>(k - 1)].sheet, priceRows(rows)};
    (k <= 5 ? first : second).push_back(s);
  }
  ASSERT_TRUE(writeWorkbook(paths.workbook("early"), first));
  ASSERT_TRUE(writeWorkbook(paths.workbook("late"), second));

  Database d(db());
  std::vector<ImportProgress> seen;
  ImportOutcome o = importTenPeriods(d, paths, periods, "day", [&](const ImportProgress& p) { seen.push_back(p); });
  ASSERT_TRUE(o.done()) << describeFailure(o);
  EXPECT_EQ(o.stocks, 5u);

  std::vector<Value> a = pricesOf(d, I(7203));
  for (int k = 1; k <= 10; ++k) {
    const std::int64_t half = 100 * k;  // 100k + 0.5 rounds to the even neighbour
    const std::int64_t want = half % 2 == 0 ? half : half + 1;
    EXPECT_EQ(a[static_cast<size_t>(k - 1)], k == 3 ? I(3) : I(want)) << "position " << k;
  }
  std::vector<Value> b = pricesOf(d, Value("130A"));
  for (int k = 1; k <= 10; ++k) EXPECT_EQ(b[static_cast<size_t>(k - 1)], I(50 * k));
  std::vector<Value> c = pricesOf(d, I(9984));
  EXPECT_EQ(c[3], I(14));  // empty price keeps the stored one
  EXPECT_EQ(c[4], I(15));  // text price
  EXPECT_EQ(c[5], I(16));  // out of range
  EXPECT_EQ(c[0], I(1001));
  EXPECT_EQ(pricesOf(d, I(6758))[0], I(7));
  EXPECT_EQ(pricesOf(d, I(6758))[9], I(70));
  for (const Value& v : pricesOf(d, I(1000))) EXPECT_EQ(v, I(1));

  std::optional<DateRecord> rec = readDateRecord(d);
  ASSERT_TRUE(rec);
  EXPECT_EQ(rec->unit, "day");
  EXPECT_EQ(rec->dates[0], "04/05/10");
  EXPECT_EQ(rec->dates[9], "04/05/01");
  EXPECT_EQ(rec->sourceNames[0], "early");
  EXPECT_EQ(rec->sourceNames[9], "late");

  // Every sheet is read before anything is written; the count ends at the total.
  ASSERT_GE(seen.size(), 11u);
  for (int k = 1; k <= 10; ++k) EXPECT_EQ(seen[static_cast<size_t>(k - 1)].period, k);
  EXPECT_EQ(seen.back().stage, ImportProgress::Stage::Writing);
  EXPECT_EQ(seen.back().done, 5u);
}

TEST_F(RegistrationTest, NothingChangesWhenAWorkbookOrSheetCannotBeOpened) {
  makePriceDb(db(), "week", {{"A", I(7203), {I(1), I(2)}}});
  auto periods = tenPeriods("book");
  std::vector<SheetSpec> sheets;
  for (int k = 1; k <= 10; ++k)
    if (k != 7) sheets.push_back({periods[static_cast<size_t>(k - 1)].sheet, priceRows({{7203, 500}})});
  ASSERT_TRUE(writeWorkbook(paths.workbook("book"), sheets));
  const std::string before = dumpPriceDb(db());
  const std::string bytes = readBytes(db());

  Database d(db());
  ImportOutcome o = importTenPeriods(d, paths, periods, "week");
  EXPECT_EQ(o.failure, ImportOutcome::Failure::Sheet);
  EXPECT_EQ(o.failedPeriod, 7);
  EXPECT_EQ(o.failedSheet, "s040504");
  EXPECT_EQ(o.failedWorkbook, "book.xls");

  periods[8].baseName = "missing";
  o = importTenPeriods(d, paths, periods, "week");
  EXPECT_EQ(o.failure, ImportOutcome::Failure::Sheet);  // the first failure is named
  periods[6].sheet = periods[5].sheet;
  o = importTenPeriods(d, paths, periods, "week");
  EXPECT_EQ(o.failure, ImportOutcome::Failure::Workbook);
  EXPECT_EQ(o.failedPeriod, 9);
  EXPECT_EQ(o.failedWorkbook, "missing.xls");
  EXPECT_NE(describeFailure(o).find("missing.xls"), std::string::npos);

  o = importLatest(d, paths, periodFromParts("04", "05", "11", "missing"), "week");
  EXPECT_EQ(o.failure, ImportOutcome::Failure::Workbook);
  o = importLatest(d, paths, periodFromParts("04", "05", "04", "book"), "week");
  EXPECT_EQ(o.failure, ImportOutcome::Failure::Sheet);

  EXPECT_EQ(dumpPriceDb(db()), before);
  EXPECT_EQ(readBytes(db()), bytes);
}

TEST_F(RegistrationTest, CorruptWorkbooksAreRefusedAndChangeNothing) {
  makePriceDb(db(), "day", {{"A", I(7203), {I(1)}}});
  const std::string before = dumpPriceDb(db());
  ASSERT_TRUE(writeWorkbook(dir / "good.xls", {{"s040510", priceRows({{7203, 500}})}}));
  const std::string good = readBytes(dir / "good.xls");
  {
    std::ofstream(paths.workbook("truncated"), std::ios::binary) << good.substr(0, good.size() / 2);
    std::ofstream(paths.workbook("header"), std::ios::binary) << good.substr(0, 600);
    std::mt19937 rng(42);
    std::string noise(20000, '\0');
    for (char& ch : noise) ch = static_cast<char>(rng());
    std::ofstream(paths.workbook("random"), std::ios::binary) << noise;
    std::ofstream(paths.workbook("empty"), std::ios::binary);
  }
  // An .xlsx (a zip of XML parts) renamed .xls.
  const std::string xlsx = toUtf8(paths.workbook("xlsx"));
  CommandResult z = runCommand("/usr/bin/python3 -c \"import zipfile; z = zipfile.ZipFile('" + xlsx +
                               "', 'w'); z.writestr('[Content_Types].xml', '<Types/>'); "
                               "z.writestr('xl/workbook.xml', '<workbook/>'); z.close()\"");
  ASSERT_EQ(z.status, 0);
  std::filesystem::create_directory(dir / "folder.xls");

  Database d(db());
  for (const char* name : {"truncated", "header", "random", "empty", "xlsx", "folder"}) {
    ImportOutcome o = importLatest(d, paths, periodFromParts("04", "05", "10", name), "day");
    EXPECT_FALSE(o.done()) << name;
    EXPECT_EQ(o.failedWorkbook, std::string(name) + ".xls");
    // A folder is no workbook at all; an empty file holds no price; every
    // other file was read and refused.
    const std::string n = name;
    EXPECT_EQ(o.failure, n == "folder"  ? ImportOutcome::Failure::Workbook
                         : n == "empty" ? ImportOutcome::Failure::NoPrices
                                        : ImportOutcome::Failure::Damaged)
        << name << ": " << describeFailure(o);
  }
  EXPECT_EQ(dumpPriceDb(db()), before);
}

TEST_F(RegistrationTest, LargestSheetTheFormatHoldsIsReadToItsLastRow) {
  // BIFF8 holds at most 65,536 rows a sheet (xlwt refuses more), so the
  // largest sheet a real writer can produce is tested: header + 65,535 stocks.
  std::vector<std::pair<Cell, Cell>> rows;
  for (int i = 0; i < 65535; ++i) rows.push_back({100000 + i, i % 5000 + 0.5});
  ASSERT_TRUE(writeWorkbook(paths.workbook("big"), {{"s040510", priceRows(rows)}}));
  Workbook book(paths.workbook("big"));
  book.selectSheet("S040510");  // sheet names compare without case
  EXPECT_EQ(book.rows(), 65536u);
  PriceIndex index = buildPriceIndex(book);
  EXPECT_EQ(index.size(), 65535u);
  EXPECT_EQ(index.at("165534"), 534);  // 534.5 -> 534
  EXPECT_EQ(index.at("100001"), 2);    // 1.5 -> 2

  makePriceDb(db(), "day", {{"first", I(100000), {}}, {"last", I(165534), {}}});
  Database d(db());
  ImportOutcome o = importLatest(d, paths, periodFromParts("04", "05", "10", "big"), "day");
  ASSERT_TRUE(o.done());
  EXPECT_EQ(pricesOf(d, I(165534))[0], I(534));
  EXPECT_EQ(pricesOf(d, I(100000))[0], I(0));
}

TEST_F(RegistrationTest, InsertShiftsEveryRowAndRebuildsTheScratchCopy) {
  makePriceDb(db(), "month",
              {{"A", I(7203), {I(1), I(2), I(3), I(4), I(5), I(6), I(7), I(8), I(9), Value()}},
               {"Fixed", I(1000), {I(10), I(20)}},
               {"B", Value("130A"), {I(5)}}});
  {
    Database d(db());  // the scratch table starts with stale content of its own
    d.exec("update hojyo set kabuka1 = 777, [銘柄] = 'stale'");
  }
  Database d(db());
  DateRecord rec;
  for (int k = 0; k < 10; ++k) {
    rec.dates[static_cast<size_t>(k)] = "04/0" + std::to_string(k) + "/01";
    rec.sourceNames[static_cast<size_t>(k)] = "n" + std::to_string(k + 1);
  }
  rec.unit = "month";
  writeDateRecord(d, rec);
  std::array<PeriodSource, 10> rows = periodsFromRecord(rec);

  InsertOutcome o = insertPeriod(d, rows, "month");
  ASSERT_TRUE(o.done()) << o.detail;
  EXPECT_EQ(o.stocks, 3u);
  EXPECT_EQ(o.scratch, 3u);
  EXPECT_EQ(pricesOf(d, I(7203)), (std::vector<Value>{Value(), I(1), I(2), I(3), I(4), I(5), I(6), I(7), I(8), I(9)}));
  EXPECT_EQ(pricesOf(d, I(1000))[1], I(10));  // shifted like every other row
  EXPECT_EQ(d.query("select * from list order by rowid").rows, d.query("select * from hojyo order by rowid").rows);

  DateRecord after = *readDateRecord(d);
  EXPECT_EQ(after.dates[0], "04/00/01");  // position 1 waits for the latest import
  EXPECT_EQ(after.dates[1], "04/00/01");
  EXPECT_EQ(after.dates[9], "04/08/01");
  EXPECT_EQ(after.sourceNames[0], "n1");
  EXPECT_EQ(after.sourceNames[9], "n9");

  // Twice without an import: positions 1 and 2 are both empty.
  ASSERT_TRUE(insertPeriod(d, periodsFromRecord(after), "").done());
  EXPECT_EQ(pricesOf(d, I(7203)),
            (std::vector<Value>{Value(), Value(), I(1), I(2), I(3), I(4), I(5), I(6), I(7), I(8)}));
  EXPECT_EQ(readDateRecord(d)->unit, "month");  // no window unit: the file keeps its own

  // Without the scratch table the insert fails whole: the prices stay where they were.
  d.exec("drop table hojyo");
  const std::vector<Value> before = pricesOf(d, I(7203));
  const InsertOutcome failed = insertPeriod(d, periodsFromRecord(*readDateRecord(d)), "");
  EXPECT_EQ(failed.failure, InsertFailure::Database);
  EXPECT_EQ(failed.detail, "no table hojyo");
  EXPECT_EQ(failed.stocks, 0u);
  EXPECT_EQ(pricesOf(d, I(7203)), before);
}

TEST_F(RegistrationTest, LatestImportFillsPositionOneAndLeavesTheFixedRow) {
  makePriceDb(db(), "day",
              {{"A", I(7203), {I(1), I(2)}},
               {"B", I(9984), {I(3), I(4)}},
               {"Fixed", I(1000), {I(5), I(6)}},
               {"C", Value("130A"), {Value(), I(8)}}});
  ASSERT_TRUE(writeWorkbook(paths.workbook("new"),
                            {{"s040511", priceRows({{7203, 1500}, {"130A", 31.5}, {1000, 9}, {9984, "-"}})}}));
  Database d(db());
  ImportOutcome o = importLatest(d, paths, periodFromParts("04", "05", "11", "new"), "day");
  ASSERT_TRUE(o.done());
  EXPECT_EQ(pricesOf(d, I(7203))[0], I(1500));
  EXPECT_EQ(pricesOf(d, I(9984))[0], Value());  // no usable price: empty until the next run
  EXPECT_EQ(pricesOf(d, I(9984))[1], I(4));
  EXPECT_EQ(pricesOf(d, Value("130A"))[0], I(32));
  EXPECT_EQ(pricesOf(d, I(1000))[0], I(5));
  EXPECT_EQ(o.matched[0], 2u);
  EXPECT_EQ(o.cleared, 1u);
  DateRecord rec = *readDateRecord(d);
  EXPECT_EQ(rec.dates[0], "04/05/11");
  EXPECT_EQ(rec.sourceNames[0], "new");
  EXPECT_EQ(rec.unit, "day");
}

TEST_F(RegistrationTest, AnImportKilledMidwayLeavesTheFileAsItWas) {
  std::vector<Stock> stocks;
  for (int i = 0; i < 3000; ++i) stocks.push_back({"s" + std::to_string(i), I(1300 + i), {I(i), I(i + 1)}});
  makePriceDb(db(), "day", stocks);
  std::vector<std::pair<Cell, Cell>> rows;
  for (int i = 0; i < 3000; ++i) rows.push_back({1300 + i, 5000 + i});
  std::vector<SheetSpec> sheets;
  const auto periods = tenPeriods("kill");
  for (const PeriodSource& p : periods) sheets.push_back({p.sheet, priceRows(rows)});
  ASSERT_TRUE(writeWorkbook(paths.workbook("kill"), sheets));
  const std::string before = dumpPriceDb(db());
  const std::string bytes = readBytes(db());

  for (bool latest : {false, true}) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      Database d(db());
      d.exec("pragma cache_size = 4");  // pages spill into the file before the commit
      auto killer = [](const ImportProgress& p) {
        if (p.stage == ImportProgress::Stage::Writing && p.done >= 2000) ::raise(SIGKILL);
      };
      if (latest)
        importLatest(d, paths, periods[0], "day", killer);
      else
        importTenPeriods(d, paths, periods, "day", killer);
      ::_exit(0);  // reaching here means the kill never came
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "latest=" << latest;
    EXPECT_TRUE(std::filesystem::exists(db().string() + "-journal"));
    {
      Database reopen(db());  // the next writer rolls the hot journal back
      reopen.scalar("select count(*) from list");
    }
    EXPECT_EQ(dumpPriceDb(db()), before);
    EXPECT_EQ(readBytes(db()), bytes);
  }
}

// A reader that comes first after a killed import (the dump command opens
// read-only) finishes the interrupted write instead of failing on the journal.
TEST_F(RegistrationTest, DumpAfterAKilledImportShowsTheFileAsItWas) {
  std::vector<Stock> stocks;
  for (int i = 0; i < 3000; ++i) stocks.push_back({"s" + std::to_string(i), I(1300 + i), {I(i), I(i + 1)}});
  makePriceDb(db(), "day", stocks);
  std::vector<std::pair<Cell, Cell>> rows;
  for (int i = 0; i < 3000; ++i) rows.push_back({1300 + i, 5000 + i});
  const auto periods = tenPeriods("dumpkill");
  ASSERT_TRUE(writeWorkbook(paths.workbook("dumpkill"), {{periods[0].sheet, priceRows(rows)}}));
  const std::string dump = "dump --db '" + db().string() + "' list";
  const CommandResult before = runCommand(cliPath() + " " + dump);
  ASSERT_EQ(before.status, 0);

  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    Database d(db());
    d.exec("pragma cache_size = 4");  // pages spill into the file before the commit
    importLatest(d, paths, periods[0], "day", [](const ImportProgress& p) {
      if (p.stage == ImportProgress::Stage::Writing && p.done >= 2000) ::raise(SIGKILL);
    });
    ::_exit(0);  // reaching here means the kill never came
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
  ASSERT_TRUE(hasLeftoverJournal(db()));

  const CommandResult after = runCommand(cliPath() + " " + dump + " 2>&1");
  EXPECT_EQ(after.status, 0) << after.out.substr(0, 300);
  EXPECT_TRUE(after.out == before.out) << after.out.substr(0, 300);
  EXPECT_FALSE(hasLeftoverJournal(db()));
}

TEST_F(RegistrationTest, AnInsertKilledMidwayLeavesTheFileAsItWas) {
  std::vector<Stock> stocks;
  for (int i = 0; i < 3000; ++i) stocks.push_back({"s" + std::to_string(i), I(1300 + i), {I(i), I(i + 1), I(i + 2)}});
  makePriceDb(db(), "day", stocks);
  const std::string before = dumpPriceDb(db());
  const std::string bytes = readBytes(db());
  std::array<PeriodSource, 10> rows;
  {
    Database d(db());
    rows = periodsFromRecord(*readDateRecord(d));
  }
  // The engine calls back every 1,000 steps; a run on a copy counts how many
  // calls a whole insert makes, then the kills come early in the shift of
  // list, halfway and near the end of the copy to hojyo.
  static int calls = 0;
  static int limit = 0;
  auto counter = [](void*) {
    if (++calls == limit) ::raise(SIGKILL);
    return 0;
  };
  const std::filesystem::path copy = dir.path() / "copy.mdb";
  std::filesystem::copy_file(db(), copy);
  {
    Database d(copy);
    calls = 0;
    limit = -1;
    sqlite3_progress_handler(d.handle(), 1000, counter, nullptr);
    ASSERT_TRUE(insertPeriod(d, rows, "day").done());
  }
  const int total = calls;
  ASSERT_GT(total, 20);
  for (int killAt : {2, total / 2, total - 2}) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      Database d(db());
      calls = 0;
      limit = killAt;
      sqlite3_progress_handler(d.handle(), 1000, counter, nullptr);
      insertPeriod(d, rows, "day");
      ::_exit(0);  // reaching here means the kill never came
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "killAt=" << killAt;
    EXPECT_TRUE(std::filesystem::exists(db().string() + "-journal"));
    {
      Database reopen(db());  // the next reader rolls the hot journal back
      EXPECT_EQ(reopen.scalar("pragma integrity_check").display(), "ok");
    }
    EXPECT_EQ(dumpPriceDb(db()), before) << "killAt=" << killAt;
    EXPECT_EQ(readBytes(db()), bytes) << "killAt=" << killAt;
  }
  // And uninterrupted, the same file moves back one period.
  Database d(db());
  ASSERT_TRUE(insertPeriod(d, rows, "day").done());
  EXPECT_EQ(pricesOf(d, I(1300 + 7)),
            (std::vector<Value>{Value(), I(7), I(8), I(9), Value(), Value(), Value(), Value(), Value(), Value()}));
}

TEST_F(RegistrationTest, CommandLineImportsInsertsAndExplainsFailures) {
  makePriceDb(db(), "week", {{"A", I(7203), {I(1), I(2)}}, {"Fixed", I(1000), {I(9)}}});
  const auto periods = tenPeriods("cli");
  std::vector<SheetSpec> sheets;
  for (const PeriodSource& p : periods) sheets.push_back({p.sheet, priceRows({{7203, 700}, {1000, 1}})});
  ASSERT_TRUE(writeWorkbook(paths.workbook("cli"), sheets));
  ASSERT_TRUE(writeWorkbook(paths.workbook("next"), {{"s040511", priceRows({{7203, 710}})}}));
  const std::string cli = cliPath() + " --root '" + dir.path().string() + "' ";

  std::string importArgs;
  for (int k = 10; k >= 1; --k)
    importArgs += " " + std::to_string(k) + ":" + periods[static_cast<size_t>(k - 1)].date + ":cli";
  CommandResult r = runCommand(cli + "import" + importArgs + " 2>/dev/null");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("position 10: 04/05/01 from cli.xls sheet s040501 (xls)\n  prices read: 2\n"
                       "  stocks of the list without a price: 0\n"),
            std::string::npos)
      << r.out;
  {
    Database d(db());
    EXPECT_EQ(pricesOf(d, I(7203))[9], I(700));
    EXPECT_EQ(readDateRecord(d)->unit, "week");  // the file's own unit word
  }

  r = runCommand(cli + "insert --db '" + db().string() + "' 2>/dev/null");
  ASSERT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("2 stocks moved back"), std::string::npos) << r.out;
  r = runCommand(cli + "latest 04/05/11:next 2>/dev/null");
  ASSERT_EQ(r.status, 0);
  {
    Database d(db());
    EXPECT_EQ(pricesOf(d, I(7203))[0], I(710));
    EXPECT_EQ(pricesOf(d, I(7203))[1], I(700));
    EXPECT_EQ(readDateRecord(d)->dates[0], "04/05/11");
  }

  const std::string before = dumpPriceDb(db());
  r = runCommand(cli + "latest 04/05/12:absent 2>&1 >/dev/null");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("absent.xls"), std::string::npos) << r.out;
  r = runCommand(cli + "latest 04/05/12:next 2>&1 >/dev/null");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("s040512"), std::string::npos) << r.out;
  r = runCommand(cli + "insert --db '" + (dir / "none.mdb").string() + "' 2>&1 >/dev/null");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(dumpPriceDb(db()), before);

  for (const std::string& bad :
       std::vector<std::string>{"latest", "latest 4/5/12:x", "latest 04/05/12:", "insert extra", "import 1:04/05/01:a",
                                "import" + importArgs + " 1:04/05/01:x", "latest --db", "latest --bogus 04/05/12:x"}) {
    r = runCommand(cli + bad + " 2>&1");
    EXPECT_EQ(r.status, 2) << bad;
    EXPECT_NE(r.out.find("usage:"), std::string::npos) << bad;
  }
  EXPECT_EQ(dumpPriceDb(db()), before);
}
