#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "base/log.h"
#include "history/history_files.h"
#include "history/price_history.h"
#include "registration/price_import.h"
#include "registration_support.h"

namespace tavrin {
namespace {

TEST(HistoryDates, DayNumbersAndTheFormsFilesWrite) {
  EXPECT_EQ(dayFromCivil(1970, 1, 1), 0);
  EXPECT_EQ(isoDate(*dayFromCivil(2026, 12, 8)), "2026-12-08");
  EXPECT_EQ(dayFromRecordDate("26/12/08"), dayFromCivil(2026, 12, 8));
  EXPECT_FALSE(dayFromRecordDate("26/02/30"));
  EXPECT_EQ(parseHistoryDate("20240104"), dayFromCivil(2024, 1, 4));
  EXPECT_EQ(parseHistoryDate("2024/1/4 15:00"), dayFromCivil(2024, 1, 4));
  EXPECT_EQ(parseHistoryDate("24-01-04"), dayFromCivil(2024, 1, 4));
  EXPECT_FALSE(parseHistoryDate("2024-13-01"));
  EXPECT_FALSE(parseHistoryDate("yesterday"));
}

TEST(HistoryFiles, BothPerStockLayoutsPerDayFilesAndDamage) {
  ParsedHistoryFile bulk = parseHistoryFile(
      "<TICKER>,<PER>,<DATE>,<TIME>,<OPEN>,<HIGH>,<LOW>,<CLOSE>,<VOL>,<OPENINT>\r\n"
      "130A.JP,D,20240104,000000,1,1,1,812.5,100,0\r\n",
      "x.txt");
  ASSERT_TRUE(bulk.done()) << bulk.detail;
  ASSERT_EQ(bulk.records.size(), 1u);
  EXPECT_EQ(bulk.records[0].code, "130A");
  EXPECT_EQ(bulk.records[0].bar.close, 8125);  // tenths of a yen
  EXPECT_EQ(bulk.records[0].bar.volume, 100);

  ParsedHistoryFile exp =
      parseHistoryFile("Date,Open,High,Low,Close,Volume\n2024-01-04,1,1,1,2500,9\n2024-01-05,,,,,\n", "130a.jp.txt");
  ASSERT_TRUE(exp.done()) << exp.detail;
  EXPECT_EQ(exp.records.size(), 1u);
  EXPECT_EQ(exp.withoutClose, 1u);
  EXPECT_EQ(exp.records[0].code, "130A");
  EXPECT_EQ(codeFromFileName("7203.csv"), "7203");

  ParsedHistoryFile day = parseHistoryFile("コード,銘柄,日付,終値\n7203,トヨタ,2024/01/04,\"2,500\"\n", "d.csv");
  ASSERT_TRUE(day.done()) << day.detail;
  EXPECT_EQ(day.records[0].bar.close, 25000);
  EXPECT_EQ(day.records[0].bar.volume, -1);  // no volume column: unknown

  EXPECT_EQ(parseHistoryFile("Date,Close\n2024-01-04,abc\n", "7203.csv").failure, HistoryFileFailure::Damaged);
  EXPECT_EQ(parseHistoryFile(std::string("PK\x03\x04\0\0", 6), "7203.csv").failure, HistoryFileFailure::OtherKind);
  EXPECT_EQ(parseHistoryFile("", "7203.csv").failure, HistoryFileFailure::Empty);
}

Value I(std::int64_t v) { return Value(v); }

std::vector<std::int64_t> closesOf(Database& db, const std::string& code) {
  std::vector<std::int64_t> out;
  for (const Bar& p : readHistory(db, code)) out.push_back(p.close % 10 ? -1 : p.close / 10);
  return out;
}

std::string dumpWithHistory(const std::filesystem::path& path) {
  std::string out = test::dumpPriceDb(path);
  Database db(path, Database::Mode::ReadOnly);
  out += "== history\n";
  if (!hasHistoryTable(db)) return out;
  forEachStockHistory(db, [&](const Value& code, const std::vector<Bar>& bars) {
    for (const Bar& b : bars)
      out += code.display() + "|" + std::to_string(b.day) + "|" + priceText(b.close) + "|" + std::to_string(b.open) +
             "|" + std::to_string(b.high) + "|" + std::to_string(b.low) + "|" + std::to_string(b.volume) + "\n";
  });
  return out;
}

void writeText(const std::filesystem::path& p, const std::string& text) {
  std::ofstream out(p, std::ios::binary);
  out << text;
}

class HistoryKeeping : public ::testing::Test {
 protected:
  void SetUp() override { setLogQuiet(true); }
  void TearDown() override { setLogQuiet(false); }
  std::filesystem::path db() const { return dir / "kabuka.mdb"; }
  test::TempDir dir;
  Paths paths{dir.path()};
};

TEST_F(HistoryKeeping, ImportsWriteItInsertsLoseNothingAndReimportsReplace) {
  test::makePriceDb(db(), "day", {{"A", I(7203), {}}, {"B", Value("130A"), {}}, {"Fixed", I(1000), {I(5)}}});
  std::array<PeriodSource, 10> periods;
  std::vector<test::SheetSpec> sheets;
  for (int k = 0; k < 10; ++k) {
    const int dd = 10 - k;
    periods[static_cast<size_t>(k)] = periodFromParts("26", "03", (dd < 10 ? "0" : "") + std::to_string(dd), "ten");
    sheets.push_back({periods[static_cast<size_t>(k)].sheet, test::priceRows({{7203, 1000 + dd}, {"130A", 500 + dd}})});
  }
  ASSERT_TRUE(test::writeWorkbook(paths.workbook("ten"), sheets));
  Database d(db());
  ASSERT_TRUE(importTenPeriods(d, paths, periods, "day").done());
  EXPECT_EQ(closesOf(d, "7203"),
            (std::vector<std::int64_t>{1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1010}));
  EXPECT_EQ(closesOf(d, "130A").back(), 510);
  EXPECT_EQ(latestHistoryDays(d, 20).size(), 10u);

  // The daily cycle: insert one period, then read the latest one.
  ASSERT_TRUE(insertPeriod(d, periodsFromRecord(*readDateRecord(d)), "day").done());
  ASSERT_TRUE(
      test::writeWorkbook(paths.workbook("next"), {{"s260311", test::priceRows({{7203, 2000}, {"130A", 600}})}}));
  ASSERT_TRUE(importLatest(d, paths, periodFromParts("26", "03", "11", "next"), "day").done());
  const std::vector<int> days = latestHistoryDays(d, 20);
  ASSERT_EQ(days.size(), 11u);
  EXPECT_EQ(isoDate(days.front()), "2026-03-11");
  EXPECT_EQ(isoDate(days.back()), "2026-03-01");  // the price the insert moved out of list
  EXPECT_EQ(closesOf(d, "7203").front(), 1001);
  EXPECT_EQ(closesOf(d, "7203").back(), 2000);
  EXPECT_EQ(test::pricesOf(d, I(7203))[9], I(1002));

  // The same day read again: its closes are replaced, nothing is added.
  ASSERT_TRUE(test::writeWorkbook(paths.workbook("again"), {{"s260311", test::priceRows({{7203, 2100}})}}));
  ASSERT_TRUE(importLatest(d, paths, periodFromParts("26", "03", "11", "again"), "day").done());
  EXPECT_EQ(closesOf(d, "7203").size(), 11u);
  EXPECT_EQ(closesOf(d, "7203").back(), 2100);
  EXPECT_EQ(latestHistoryDays(d, 20).size(), 11u);
}

TEST_F(HistoryKeeping, FilesOfEveryLayoutEachInATransactionOfItsOwn) {
  test::makePriceDb(db(), "day", {{"A", I(7203), {}}, {"B", Value("130A"), {}}});
  writeText(dir / "7203.jp.txt", "Date,Open,High,Low,Close,Volume\n2026-03-02,1,1,1,100,5\n2026-03-03,1,1,1,101,5\n");
  writeText(dir / "broken.csv", "Date,Open,High,Low,Close,Volume\n2026-03-04,1,1,1,abc,5\n");
  writeText(dir / "bulk.txt",
            "<TICKER>,<PER>,<DATE>,<TIME>,<OPEN>,<HIGH>,<LOW>,<CLOSE>,<VOL>,<OPENINT>\n"
            "130A.JP,D,20260302,000000,1,1,1,50,1,0\n"
            "9999.JP,D,20260302,000000,1,1,1,70,1,0\n"
            "130A.JP,D,20260303,000000,1,1,1,51,1,0\n");
  writeText(dir / "day.csv",
            "コード,銘柄,日付,終値\n7203,A,2026/03/03,111\n8888,X,2026/03/03,9\n7203,A,2026/03/04,102\n");
  const std::vector<std::filesystem::path> files = {dir / "7203.jp.txt", dir / "broken.csv", dir / "bulk.txt",
                                                    dir / "day.csv"};
  Database d(db());
  std::vector<std::size_t> finished;
  const HistoryImportOutcome o = importHistoryFiles(d, files, [&](const HistoryImportProgress& p) {
    finished.push_back(p.file);
    return true;
  });
  EXPECT_EQ(o.files, 4u);
  EXPECT_EQ(o.imported, 3u);
  EXPECT_EQ(o.failed, 1u);
  EXPECT_FALSE(o.stopped);
  EXPECT_EQ(o.unknownCodes, (std::set<std::string>{"8888", "9999"}));
  ASSERT_EQ(o.notes.size(), 3u);
  EXPECT_EQ(o.notes[0].file, dir / "broken.csv");
  EXPECT_FALSE(o.notes[0].imported);
  EXPECT_EQ(o.notes[0].failure, HistoryFileFailure::Damaged);
  EXPECT_EQ(o.notes[0].detail.rfind("line 2", 0), 0u) << o.notes[0].detail;
  EXPECT_TRUE(o.done());  // a damaged file is noted, the import goes on
  EXPECT_EQ(o.notes[1].unknownLines, 1u);
  EXPECT_EQ(finished, (std::vector<std::size_t>{1, 2, 3, 4}));
  // The per-day file came later: its close of 03-03 replaces the export's.
  EXPECT_EQ(closesOf(d, "7203"), (std::vector<std::int64_t>{100, 111, 102}));
  EXPECT_EQ(closesOf(d, "130A"), (std::vector<std::int64_t>{50, 51}));
  EXPECT_EQ(historyRowCount(d), 5);

  // Stopped after the first file: the file done stays, the rest is not read.
  const HistoryImportOutcome stopped =
      importHistoryFiles(d, {dir / "bulk.txt", dir / "day.csv"}, [](const HistoryImportProgress&) { return false; });
  EXPECT_TRUE(stopped.stopped);
  EXPECT_EQ(stopped.imported, 1u);
}

TEST_F(HistoryKeeping, FilesThatCannotBeReadAndDatabasesWithoutAListFail) {
  test::makePriceDb(db(), "day", {{"A", I(7203), {I(1), I(2)}}});
  std::filesystem::create_directory(dir / "folder.csv");
  Database d(db());
  const HistoryImportOutcome o = importHistoryFiles(d, {dir / "folder.csv", dir / "none.csv"});
  ASSERT_TRUE(o.done()) << o.detail;
  EXPECT_EQ(o.failed, 2u);
  ASSERT_EQ(o.notes.size(), 2u);
  EXPECT_EQ(o.notes[0].failure, HistoryFileFailure::Folder);
  EXPECT_EQ(o.notes[1].failure, HistoryFileFailure::Missing);
  for (const HistoryFileReport& r : o.notes) EXPECT_FALSE(r.imported) << r.file;

  // No closes yet: the positions stay as they are.
  const PositionsOutcome none = setPositionsFromHistory(d);
  EXPECT_EQ(none.failure, PositionsFailure::NoHistory);
  EXPECT_EQ(none.detail, "the history holds no closes");
  EXPECT_TRUE(none.days.empty());
  EXPECT_EQ(test::pricesOf(d, I(7203))[0], I(1));

  // A database without list: nothing is read.
  Database empty(dir / "empty.mdb", Database::Mode::Create);
  writeText(dir / "7203.csv", "Date,Open,High,Low,Close,Volume\n2026-03-02,1,1,1,100,5\n");
  const HistoryImportOutcome failed = importHistoryFiles(empty, {dir / "7203.csv"});
  EXPECT_EQ(failed.failure, HistoryImportFailure::Database);
  EXPECT_FALSE(failed.detail.empty());
  EXPECT_EQ(failed.imported + failed.failed, 0u);
  EXPECT_EQ(historyRowCount(empty), 0);
}

TEST_F(HistoryKeeping, PositionsFromTheLatestDaysWithStocksLackingRecentDates) {
  test::makePriceDb(db(), "day",
                    {{"A", I(7203), {I(1), I(2)}},
                     {"Old", I(6758), {I(3), I(4)}},
                     {"None", I(9984), {I(5)}},
                     {"Fixed", I(1000), {I(7), I(8)}}});
  const int first = *dayFromCivil(2026, 3, 2);
  {
    Database d(db());
    Transaction tx(d);
    HistoryWriter w(d);
    for (int k = 0; k < 12; ++k) w.putClose(I(7203), first + k, 100 + k);
    for (int k = 0; k < 5; ++k) w.putClose(I(6758), first + k, 200 + k);
    w.flush();
    tx.commit();
  }
  Database d(db());
  const PositionsOutcome o = setPositionsFromHistory(d);
  ASSERT_TRUE(o.done()) << o.detail;
  ASSERT_EQ(o.days.size(), 10u);
  EXPECT_EQ(o.days.front(), first + 11);
  EXPECT_EQ(o.stocks, 3u);
  EXPECT_EQ(o.withLatest, 1u);
  EXPECT_EQ(test::pricesOf(d, I(7203)),
            (std::vector<Value>{I(111), I(110), I(109), I(108), I(107), I(106), I(105), I(104), I(103), I(102)}));
  // The old stock keeps what the history knows of those days, nothing else.
  EXPECT_EQ(test::pricesOf(d, I(6758)), (std::vector<Value>{Value(), Value(), Value(), Value(), Value(), Value(),
                                                            Value(), I(204), I(203), I(202)}));
  EXPECT_EQ(test::pricesOf(d, I(9984)), std::vector<Value>(10));
  EXPECT_EQ(test::pricesOf(d, I(1000))[0], I(7));
  const DateRecord rec = *readDateRecord(d);
  EXPECT_EQ(rec.dates[0], "26/03/13");
  EXPECT_EQ(rec.dates[9], "26/03/04");
  EXPECT_EQ(rec.unit, "day");
  EXPECT_EQ(rec.sourceNames[0], "");
}

TEST_F(HistoryKeeping, PositionsPassOverTheIncompleteLatestDaysTheyLeaveOut) {
  std::vector<test::Stock> stocks;
  for (int i = 0; i < 5; ++i) stocks.push_back({"s" + std::to_string(i), I(2000 + i), {I(1)}});
  test::makePriceDb(db(), "day", stocks);
  const int first = *dayFromCivil(2024, 12, 2);
  {
    Database d(db());
    Transaction tx(d);
    HistoryWriter w(d);
    for (int i = 0; i < 5; ++i)
      for (int k = 0; k < (i < 2 ? 13 : 12); ++k) w.putClose(I(2000 + i), first + k, 100 + k);
    w.flush();
    tx.commit();
  }
  Database d(db());
  const PositionsOutcome latest = setPositionsFromHistory(d);
  ASSERT_TRUE(latest.done()) << latest.detail;
  EXPECT_EQ(latest.days.front(), first + 11);
  ASSERT_EQ(latest.incompleteAfter.size(), 1u);
  EXPECT_EQ(latest.incompleteAfter[0].day, first + 12);
  EXPECT_EQ(latest.incompleteAfter[0].stocks, 2u);
  EXPECT_FALSE(latest.incompleteAfter[0].complete);

  // Up to a given day: the days after it are not passed over but not asked for.
  const PositionsOutcome earlier = setPositionsFromHistory(d, first + 10);
  ASSERT_TRUE(earlier.done()) << earlier.detail;
  EXPECT_EQ(earlier.days.front(), first + 10);
  EXPECT_TRUE(earlier.incompleteAfter.empty());
  EXPECT_EQ(setPositionsFromHistory(d, first + 12).failure, PositionsFailure::Incomplete);
  EXPECT_EQ(setPositionsFromHistory(d, first + 20).failure, PositionsFailure::NoSuchDay);
  EXPECT_EQ(readDateRecord(d)->dates[0], recordDate(first + 10));
}

// A run killed in the middle of a file, or while the positions are set from
// the history, leaves the positions, the dates and the history as they were.
TEST_F(HistoryKeeping, AKilledRunLeavesPositionsAndHistoryAsTheyWere) {
  std::vector<test::Stock> stocks;
  for (int i = 0; i < 100; ++i) stocks.push_back({"s" + std::to_string(i), I(2000 + i), {I(i), I(i + 1)}});
  test::makePriceDb(db(), "day", stocks);
  writeText(dir / "2000.csv", "Date,Close\n2026-03-02,10\n2026-03-03,11\n");
  // One file with more lines than a progress step: the kill comes within it.
  std::string bulk = "<TICKER>,<PER>,<DATE>,<TIME>,<OPEN>,<HIGH>,<LOW>,<CLOSE>,<VOL>,<OPENINT>\n";
  const int start = *dayFromCivil(2020, 1, 1);
  for (int i = 0; i < 100; ++i)
    for (int k = 0; k < 600; ++k) {
      int y, m, dd;
      civilFromDay(start + k, y, m, dd);
      char line[96];
      std::snprintf(line, sizeof line, "%d.JP,D,%04d%02d%02d,000000,1,1,1,%d,1,0\n", 2000 + i, y, m, dd, 100 + k);
      bulk += line;
    }
  writeText(dir / "bulk.txt", bulk);
  {
    Database d(db());
    ASSERT_EQ(importHistoryFiles(d, {dir / "2000.csv"}).imported, 1u);
  }
  const std::string before = dumpWithHistory(db());
  const std::string bytes = test::readBytes(db());

  auto expectUnchanged = [&](const pid_t child, const char* what) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << what;
    {
      Database reopen(db());  // the next writer rolls the hot journal back
      EXPECT_EQ(reopen.scalar("pragma integrity_check").display(), "ok");
    }
    EXPECT_EQ(dumpWithHistory(db()), before) << what;
    EXPECT_EQ(test::readBytes(db()), bytes) << what;
  };

  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    Database d(db());
    d.exec("pragma cache_size = 4");  // pages spill into the file before the commit
    importHistoryFiles(d, {dir / "bulk.txt"}, [](const HistoryImportProgress& p) {
      if (p.file == 0 && p.written > 0) ::raise(SIGKILL);
      return true;
    });
    ::_exit(0);  // reaching here means the kill never came
  }
  expectUnchanged(child, "file import");

  // The positions: killed halfway through their one transaction.
  static int calls = 0;
  static int limit = 0;
  auto counter = [](void*) {
    if (++calls == limit) ::raise(SIGKILL);
    return 0;
  };
  {
    const std::filesystem::path copy = dir / "copy.mdb";
    std::filesystem::copy_file(db(), copy);
    Database d(copy);
    calls = 0;
    limit = -1;
    sqlite3_progress_handler(d.handle(), 100, counter, nullptr);
    ASSERT_TRUE(setPositionsFromHistory(d).done());
  }
  const int total = calls;
  ASSERT_GT(total, 4);
  child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    Database d(db());
    calls = 0;
    limit = total / 2;
    sqlite3_progress_handler(d.handle(), 100, counter, nullptr);
    setPositionsFromHistory(d);
    ::_exit(0);
  }
  expectUnchanged(child, "positions");
}

}  // namespace
}  // namespace tavrin
