#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <csignal>
#include <fstream>

#include "base/log.h"
#include "exchange/companion.h"
#include "exchange_test_data.h"
#include "test_support.h"
#include "utilities/backup.h"

using namespace tavrin;
using test::SenderStock;

namespace {

struct TransferFiles {
  test::TempDir dir;
  std::filesystem::path sender = dir / "kabuka.mdb";
  std::filesystem::path companion = dir / "quelvo.mdb";
};

}  // namespace

TEST(Transfer, CopiesPricesOfMatchingStocksAndTheWholeDateRecord) {
  TransferFiles f;
  auto withNull = test::priceRun(500);
  withNull[4] = Value();  // kabuka5 not registered
  test::makeSender(
      f.sender, "day",
      {{7203, "トヨタ", test::priceRun(100)}, {6758, "ソニー", withNull}, {9984, "ソフトバンク", test::priceRun(900)}},
      test::sampleDates("day"));
  // The companion lists the same stocks in another order, with old prices.
  test::makeCompanion(
      f.companion, {{9984, "SB", test::priceRun(1)}, {7203, "TY", test::priceRun(2)}, {6758, "SN", test::priceRun(3)}});
  const auto senderBefore = test::fileBytes(f.sender);

  std::vector<size_t> counts;
  TransferOutcome r = transferToCompanion(f.sender, f.companion, [&](const TransferProgress& p) {
    EXPECT_EQ(p.total, 3u);
    counts.push_back(p.counted);
  });
  ASSERT_TRUE(r.done()) << r.detail;
  EXPECT_EQ(r.companionRows, 3u);
  EXPECT_EQ(r.counted, 3u);
  EXPECT_EQ(r.copied, 3u);
  EXPECT_TRUE(r.dateRecordCopied);
  EXPECT_EQ(counts, (std::vector<size_t>{1, 2, 3}));

  EXPECT_EQ(test::companionPrices(f.companion, 1), test::values(test::priceRun(900)));
  EXPECT_EQ(test::companionPrices(f.companion, 2), test::values(test::priceRun(100)));
  EXPECT_EQ(test::companionPrices(f.companion, 3), test::values(withNull));
  auto rows = test::tableRows(f.companion, "list");
  EXPECT_EQ(rows[0][2], Value("SB"));  // other columns untouched
  EXPECT_EQ(rows[1][2], Value("TY"));

  auto dates = test::tableRows(f.companion, "日付");
  ASSERT_EQ(dates.size(), 1u);
  EXPECT_EQ(dates[0][1], Value("26/11/20"));
  EXPECT_EQ(dates[0][10], Value("26/11/11"));
  EXPECT_EQ(dates[0][11], Value("day"));
  EXPECT_EQ(dates[0][12], Value("owarine1"));
  EXPECT_EQ(dates[0][21], Value("owarine10"));
  EXPECT_EQ(test::fileBytes(f.sender), senderBefore);  // the sender is only read
}

TEST(Transfer, PlaceholderZeroAndUnknownCodes) {
  TransferFiles f;
  test::makeSender(f.sender, "day",
                   {{1000, "placeholder", test::priceRun(10)},
                    {0, "zero", test::priceRun(20)},
                    {1301, "first", test::priceRun(30)},
                    {1301, "second of the same code", test::priceRun(40)},
                    {Value(), "no code", test::priceRun(50)}},
                   test::sampleDates("day"));
  test::makeCompanion(f.companion, {{1000, "p", test::priceRun(1)},
                                    {0, "z", test::priceRun(2)},
                                    {4444, "not ours", test::priceRun(3)},
                                    {Value(), "empty code", test::priceRun(4)},
                                    {Value(1301.0), "real code", test::priceRun(5)},
                                    {Value(1301.5), "fractional", test::priceRun(6)}});
  TransferOutcome r = transferToCompanion(f.sender, f.companion);
  ASSERT_TRUE(r.done()) << r.detail;
  EXPECT_EQ(r.companionRows, 6u);
  EXPECT_EQ(r.counted, 2u);  // code 0 and 1301
  EXPECT_EQ(r.cleared, 1u);
  EXPECT_EQ(r.zeroCode, 1u);
  EXPECT_EQ(r.unmatched, 3u);
  EXPECT_EQ(r.copied, 1u);

  auto placeholder = test::values(test::priceRun(1));
  placeholder[0] = Value();  // only the latest price is emptied
  EXPECT_EQ(test::companionPrices(f.companion, 1), placeholder);
  EXPECT_EQ(test::companionPrices(f.companion, 2), test::values(test::priceRun(2)));
  // Codes we do not hold never receive another stock's prices.
  EXPECT_EQ(test::companionPrices(f.companion, 3), test::values(test::priceRun(3)));
  EXPECT_EQ(test::companionPrices(f.companion, 4), test::values(test::priceRun(4)));
  EXPECT_EQ(test::companionPrices(f.companion, 5), test::values(test::priceRun(30)));  // first row of the code
  EXPECT_EQ(test::companionPrices(f.companion, 6), test::values(test::priceRun(6)));
}

TEST(Transfer, EmptyCompanionListStillTakesTheDates) {
  TransferFiles f;
  test::makeSender(f.sender, "week", {{7203, "トヨタ", test::priceRun(100)}}, test::sampleDates("week"));
  test::makeCompanion(f.companion, {});
  bool called = false;
  TransferOutcome r = transferToCompanion(f.sender, f.companion, [&](const TransferProgress&) { called = true; });
  ASSERT_TRUE(r.done());
  EXPECT_FALSE(called);
  EXPECT_EQ(r.counted, 0u);
  EXPECT_TRUE(r.dateRecordCopied);
  EXPECT_EQ(test::tableRows(f.companion, "日付")[0][11], Value("week"));
}

TEST(Transfer, CompanionWithoutDateRowOrSomeColumns) {
  TransferFiles f;
  test::makeSender(f.sender, "day", {{7203, "トヨタ", test::priceRun(100)}}, test::sampleDates("day"));
  {
    Database db(f.companion, Database::Mode::Create);
    db.exec("create table [list] ([コード] integer, [kabuka1] integer, [kabuka2] integer, [memo] text)");
    db.exec("insert into [list] values (7203, 1, 2, 'keep')");
    db.exec("create table [日付] ([kabuka1] text, [kabuka11] text)");
  }
  TransferOutcome r = transferToCompanion(f.sender, f.companion);
  ASSERT_TRUE(r.done()) << r.detail;
  EXPECT_FALSE(r.dateRecordCopied);  // no row to write into; none is added
  EXPECT_TRUE(test::tableRows(f.companion, "日付").empty());
  auto rows = test::tableRows(f.companion, "list");
  EXPECT_EQ(rows[0], (Row{7203, 100, 101, "keep"}));
}

TEST(Transfer, UnusableFilesAreReportedAndLeftAsTheyWere) {
  setLogQuiet(true);
  TransferFiles f;
  test::makeSender(f.sender, "day", {{7203, "トヨタ", test::priceRun(100)}}, test::sampleDates("day"));

  EXPECT_EQ(transferToCompanion(f.sender, f.dir / "missing.mdb").failure, TransferFailure::CompanionUnavailable);
  EXPECT_FALSE(std::filesystem::exists(f.dir / "missing.mdb"));

  { std::ofstream(f.companion, std::ios::binary) << "Standard Jet DB, not SQLite at all............................"; }
  const auto junk = test::fileBytes(f.companion);
  EXPECT_EQ(transferToCompanion(f.sender, f.companion).failure, TransferFailure::CompanionUnavailable);
  EXPECT_EQ(test::fileBytes(f.companion), junk);
  std::filesystem::remove(f.companion);

  {
    Database db(f.dir / "nolist.mdb", Database::Mode::Create);
    db.exec("create table [other] (x)");
  }
  EXPECT_EQ(transferToCompanion(f.sender, f.dir / "nolist.mdb").failure, TransferFailure::NoCompanionList);

  test::makeCompanion(f.companion, {{7203, "TY", test::priceRun(1)}});
  EXPECT_EQ(transferToCompanion(f.dir / "nosender.mdb", f.companion).failure, TransferFailure::SenderUnavailable);

  // Another program is writing to the companion file.
  {
    Database other(f.companion);
    other.exec("begin immediate");
    other.exec("update [list] set [銘柄] = 'busy'");
    EXPECT_EQ(transferToCompanion(f.sender, f.companion).failure, TransferFailure::CompanionLocked);
    other.exec("rollback");
  }
  EXPECT_EQ(test::companionPrices(f.companion, 1), test::values(test::priceRun(1)));

  if (::geteuid() != 0) {
    std::filesystem::permissions(f.companion, std::filesystem::perms::owner_read);
    EXPECT_EQ(transferToCompanion(f.sender, f.companion).failure, TransferFailure::CompanionReadOnly);
    std::filesystem::permissions(f.companion, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    EXPECT_EQ(test::companionPrices(f.companion, 1), test::values(test::priceRun(1)));
  }
  setLogQuiet(false);
}

TEST(Transfer, KilledMidwayLeavesTheCompanionExactlyAsBefore) {
  TransferFiles f;
  // Enough rows that the changed pages no longer fit the page cache and reach
  // the file before the end.
  constexpr int kRows = 80000;
  std::vector<SenderStock> stocks;
  stocks.reserve(kRows);
  for (int i = 0; i < kRows; ++i) stocks.push_back({1000 + 1 + i, "銘柄" + std::to_string(i), test::priceRun(100 + i)});
  test::makeSender(f.sender, "day", stocks, test::sampleDates("day"));
  for (auto& s : stocks) s.prices = test::priceRun(7);
  test::makeCompanion(f.companion, stocks);
  const std::string before = test::fileBytes(f.companion);
  const auto rowsBefore = test::tableRows(f.companion, "list");

  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    transferToCompanion(f.sender, f.companion, [](const TransferProgress& p) {
      if (p.visited == 70000) ::raise(SIGKILL);
    });
    ::_exit(0);  // not reached when the kill works
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(WTERMSIG(status), SIGKILL);

  // Changed pages had reached the file when the process died.
  EXPECT_NE(test::fileBytes(f.companion), before);
  {
    // The next writable opening rolls the interrupted transaction back.
    Database db(f.companion);
    EXPECT_EQ(db.scalar("pragma integrity_check"), Value("ok"));
  }
  EXPECT_EQ(test::fileBytes(f.companion), before);
  EXPECT_EQ(test::tableRows(f.companion, "list"), rowsBefore);
  EXPECT_FALSE(std::filesystem::exists(f.dir / "quelvo.mdb-journal"));
}

TEST(CompanionFiles, WeeklyAndMonthlyAreFreshCopiesOfTheDailyFile) {
  setLogQuiet(true);
  test::TempDir dir;
  Paths paths(dir.path());
  test::makeSender(paths.weeklyDb(), "week", {{7203, "トヨタ", test::priceRun(100)}}, test::sampleDates("week"));
  test::makeCompanion(paths.companionDaily(), {{7203, "TY", test::priceRun(1)}, {4444, "other", test::priceRun(2)}});
  const auto daily = test::fileBytes(paths.companionDaily());

  PrepareOutcome week = prepareCompanion(paths, CompanionMode::Week);
  ASSERT_TRUE(week.done());
  ASSERT_TRUE(transferToPrepared(paths.weeklyDb(), week.prepared).done());
  EXPECT_EQ(test::companionPrices(paths.companionWeekly(), 1), test::values(test::priceRun(100)));
  EXPECT_EQ(test::companionPrices(paths.companionWeekly(), 2), test::values(test::priceRun(2)));
  EXPECT_FALSE(week.prepared.isDraft());

  // A second weekly run starts again from the daily file.
  week = prepareCompanion(paths, CompanionMode::Week);
  ASSERT_TRUE(week.done() && week.prepared.isDraft());
  EXPECT_EQ(test::companionPrices(week.prepared.writeTo, 1), test::values(test::priceRun(1)));
  EXPECT_EQ(test::fileBytes(paths.companionDaily()), daily);
  // Until the transfer is done the weekly file is the one of the first run.
  EXPECT_EQ(test::companionPrices(paths.companionWeekly(), 1), test::values(test::priceRun(100)));
  discardPreparedCompanion(week.prepared);
  EXPECT_FALSE(std::filesystem::exists(week.prepared.writeTo));

  // A journal left beside an old weekly file must not be played into the copy.
  std::filesystem::copy_file(paths.companionDaily(), dir / "Wquelvo.mdb-journal",
                             std::filesystem::copy_options::overwrite_existing);
  PrepareOutcome month = prepareCompanion(paths, CompanionMode::Month);
  week = prepareCompanion(paths, CompanionMode::Week);
  ASSERT_TRUE(month.done() && week.done());
  ASSERT_TRUE(finishPreparedCompanion(month.prepared).done());
  ASSERT_TRUE(finishPreparedCompanion(week.prepared).done());
  EXPECT_FALSE(std::filesystem::exists(dir / "Wquelvo.mdb-journal"));
  EXPECT_EQ(test::tableRows(paths.companionWeekly(), "list"), test::tableRows(paths.companionDaily(), "list"));
  EXPECT_EQ(test::tableRows(paths.companionMonthly(), "list"), test::tableRows(paths.companionDaily(), "list"));

  // Without a daily file the weekly file stays as it was.
  const auto weekly = test::fileBytes(paths.companionWeekly());
  std::filesystem::remove(paths.companionDaily());
  PrepareOutcome failed = prepareCompanion(paths, CompanionMode::Week);
  EXPECT_FALSE(failed.done());
  EXPECT_EQ(failed.failure, PrepareFailure::CopyFailed);
  EXPECT_EQ(failed.source, paths.companionDaily());
  EXPECT_FALSE(failed.detail.empty());
  EXPECT_EQ(test::fileBytes(paths.companionWeekly()), weekly);

  // The second weekly file: a failed copy keeps the old one and says why.
  std::filesystem::create_directories(paths.hpDataDir());
  test::makeCompanion(paths.wDivuziDb(), {{1, "old", test::priceRun(1)}});
  failed = prepareCompanion(paths, CompanionMode::WDivuzi);
  EXPECT_FALSE(failed.done());
  EXPECT_EQ(failed.source, paths.divuziDb());
  EXPECT_FALSE(failed.detail.empty());
  EXPECT_EQ(test::tableRows(paths.wDivuziDb(), "list").size(), 1u);
  test::makeCompanion(paths.divuziDb(), {{1, "new", test::priceRun(5)}, {2, "new", test::priceRun(6)}});
  EXPECT_TRUE(prepareCompanion(paths, CompanionMode::WDivuzi).done());
  EXPECT_EQ(test::tableRows(paths.wDivuziDb(), "list").size(), 2u);
  PrepareOutcome day = prepareCompanion(paths, CompanionMode::Day);
  ASSERT_TRUE(day.done());
  EXPECT_FALSE(day.prepared.isDraft());
  setLogQuiet(false);
}

TEST(CompanionFiles, ModeKeywordsAreExact) {
  EXPECT_EQ(companionModeFromKeyword("day"), CompanionMode::Day);
  EXPECT_EQ(companionModeFromKeyword("wDivuzi"), CompanionMode::WDivuzi);
  for (const char* other : {"Day", "old", "", " day", "wdivuzi"})
    EXPECT_FALSE(companionModeFromKeyword(other)) << other;
}

TEST(TransferCli, WeeklyTransferReportsWhatItDid) {
  test::TempDir dir;
  Paths paths(dir.path());
  test::makeSender(paths.weeklyDb(), "week", {{7203, "トヨタ", test::priceRun(100)}, {1000, "p", test::priceRun(1)}},
                   test::sampleDates("week"));
  test::makeCompanion(
      paths.companionDaily(),
      {{7203, "TY", test::priceRun(1)}, {1000, "p", test::priceRun(1)}, {4444, "x", test::priceRun(1)}});
  const std::string cli = test::cliPath() + " --root '" + toUtf8(dir.path()) + "' ";
  auto r = test::runCommand(cli + "transfer week 2>&1");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("companion rows: 3"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("counted: 1"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("updated: 2"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("left alone: 1"), std::string::npos) << r.out;
  EXPECT_EQ(test::companionPrices(paths.companionWeekly(), 1), test::values(test::priceRun(100)));
  EXPECT_EQ(test::companionPrices(paths.companionDaily(), 1), test::values(test::priceRun(1)));

  EXPECT_EQ(test::runCommand(cli + "transfer old 2>/dev/null").status, 2);
  EXPECT_EQ(test::runCommand(cli + "transfer wDivuzi 2>/dev/null").status, 1);  // no Divuzi file
  EXPECT_EQ(test::runCommand(cli + "transfer month --db '" + toUtf8(dir / "none.mdb") + "' 2>/dev/null").status, 1);
}

namespace {
std::vector<std::string> partFiles(const std::filesystem::path& dir) {
  std::vector<std::string> out;
  for (const auto& e : std::filesystem::directory_iterator(dir))
    if (e.path().filename().string().find(".part-") != std::string::npos) out.push_back(e.path().filename().string());
  return out;
}
}  // namespace

TEST(CompanionFiles, AWeeklyTransferKilledMidwayLeavesTheOldWeeklyFile) {
  setLogQuiet(true);
  test::TempDir dir;
  Paths paths(dir.path());
  std::vector<SenderStock> stocks;
  for (int i = 0; i < 200; ++i) stocks.push_back({1301 + i, "銘柄" + std::to_string(i), test::priceRun(100 + i)});
  test::makeSender(paths.weeklyDb(), "week", stocks, test::sampleDates("week"));
  for (auto& s : stocks) s.prices = test::priceRun(7);
  test::makeCompanion(paths.companionDaily(), stocks);
  const std::string cli = test::cliPath() + " --root '" + toUtf8(dir.path()) + "' ";
  ASSERT_EQ(test::runCommand(cli + "transfer week >/dev/null").status, 0);
  const std::string weekly = test::fileBytes(paths.companionWeekly());

  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    PrepareOutcome prepared = prepareCompanion(paths, CompanionMode::Week);
    if (prepared.done())
      transferToPrepared(paths.weeklyDb(), prepared.prepared, [](const TransferProgress& p) {
        if (p.visited == 150) ::raise(SIGKILL);
      });
    ::_exit(0);  // not reached when the kill works
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
  EXPECT_EQ(test::fileBytes(paths.companionWeekly()), weekly);
  const auto left = partFiles(dir.path());
  ASSERT_FALSE(left.empty());
  for (const auto& name : left) EXPECT_NE(name.find(".part-" + std::to_string(child) + "-"), std::string::npos) << name;

  // The next run removes what the killed one left and writes the weekly file anew.
  ASSERT_EQ(test::runCommand(cli + "transfer week >/dev/null").status, 0);
  EXPECT_TRUE(partFiles(dir.path()).empty());
  EXPECT_EQ(test::companionPrices(paths.companionWeekly(), 1), test::values(test::priceRun(100)));

  // An unreadable daily file: the command fails and the weekly file stays.
  const std::string transferred = test::fileBytes(paths.companionWeekly());
  { std::ofstream(paths.companionDaily(), std::ios::binary | std::ios::trunc) << std::string(4096, 'x'); }
  auto r = test::runCommand(cli + "transfer week 2>&1");
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_NE(r.out.find("left as it was"), std::string::npos) << r.out;
  EXPECT_EQ(test::fileBytes(paths.companionWeekly()), transferred);
  EXPECT_TRUE(partFiles(dir.path()).empty());
  setLogQuiet(false);
}

TEST(CompanionFiles, OnlyStalePartFilesOfOurNamingAreRemoved) {
  setLogQuiet(true);
  test::TempDir dir;
  const pid_t gone = ::fork();
  ASSERT_GE(gone, 0);
  if (gone == 0) ::_exit(0);
  ASSERT_EQ(::waitpid(gone, nullptr, 0), gone);
  const std::string dead = std::to_string(gone), alive = std::to_string(::getpid());
  const std::vector<std::string> stale = {"kabuka261208.mdb.part-" + dead + "-0",
                                          "kabuka261208.mdb.part-" + dead + "-0-journal",
                                          "Wquelvo.mdb.part-" + dead + "-3"};
  const std::vector<std::string> kept = {"Wquelvo.mdb.part-" + alive + "-1", "notes.part-x-1", "kabuka.mdb",
                                         "Wquelvo.mdb.part-" + dead, "part-" + dead + "-1"};
  for (const auto& n : stale) std::ofstream(dir / n) << "x";
  for (const auto& n : kept) std::ofstream(dir / n) << "x";
  EXPECT_EQ(removeStalePartFiles(dir.path()), stale.size());
  for (const auto& n : stale) EXPECT_FALSE(std::filesystem::exists(dir / n)) << n;
  for (const auto& n : kept) EXPECT_TRUE(std::filesystem::exists(dir / n)) << n;
  setLogQuiet(false);
}
