#include <gtest/gtest.h>
#include <algorithm>
#include <fstream>

#include "base/log.h"
#include "exchange_test_data.h"
#include "test_support.h"
#include "utilities/backup.h"

using namespace tavrin;

namespace {
std::vector<std::filesystem::path> filesBelow(const std::filesystem::path& root) {
  std::vector<std::filesystem::path> out;
  for (const auto& e : std::filesystem::recursive_directory_iterator(root)) out.push_back(e.path());
  std::sort(out.begin(), out.end());
  return out;
}
}  // namespace

TEST(Backup, NamesFolderAndSourceByUnit) {
  Paths paths("/r");
  std::tm t{};
  t.tm_year = 103;
  t.tm_mon = 0;
  t.tm_mday = 15;
  EXPECT_EQ(backupDateText(t), "030115");
  t.tm_year = 126;
  t.tm_mon = 11;
  t.tm_mday = 9;
  EXPECT_EQ(backupDateText(t), "261209");

  auto day = backupPlan(paths, "day", "030115");
  ASSERT_TRUE(day);
  EXPECT_EQ(day->target, std::filesystem::path("/r/Mdb-D/kabuka030115.mdb"));
  EXPECT_EQ(day->source, paths.dailyDb());
  EXPECT_EQ(backupPlan(paths, "week", "x")->target, std::filesystem::path("/r/Mdb-W/Wkabukax.mdb"));
  EXPECT_EQ(backupPlan(paths, "month", "")->target, std::filesystem::path("/r/Mdb-T/Tkabuka.mdb"));
  EXPECT_EQ(backupPlan(paths, "month", "")->source, paths.monthlyDb());
  EXPECT_FALSE(backupPlan(paths, "Day", "030115"));
  EXPECT_FALSE(backupPlan(paths, "", "030115"));
}

TEST(Backup, DateTextsThatAreNoFileNamePartAreRefused) {
  for (const char* bad :
       {"03/01/15", "..", "../030115", "a\\b", "c:", "*", "?", "\"", "<", ">", "|", "a\tb", "a\nb", "\x7f"})
    EXPECT_FALSE(isSafeBackupDateText(bad)) << bad;
  for (const char* good : {"", "030115", "03.01.15", "０３０１１５", "a b", "030115-2"})
    EXPECT_TRUE(isSafeBackupDateText(good)) << good;

  test::TempDir dir;
  Paths paths(dir.path());
  test::makeSender(paths.dailyDb(), "day", {}, test::sampleDates("day"));
  ASSERT_EQ(makeBackupFolder(paths, "day"), BackupFolderResult::Created);
  const auto before = filesBelow(dir.path());
  for (const char* bad : {"/../../escape", "../x", "..", "x/y"}) {
    EXPECT_EQ(makeBackup(paths, "day", bad).failure, BackupFailure::UnsafeDateText) << bad;
  }
  EXPECT_EQ(filesBelow(dir.path()), before);
}

TEST(Backup, CopiesOnceAndNeverOverwrites) {
  setLogQuiet(true);
  test::TempDir dir;
  Paths paths(dir.path());
  test::makeSender(paths.weeklyDb(), "week", {{7203, "トヨタ", test::priceRun(100)}}, test::sampleDates("week"));

  EXPECT_EQ(makeBackupFolder(paths, "week"), BackupFolderResult::Created);
  EXPECT_EQ(makeBackupFolder(paths, "week"), BackupFolderResult::NotCreated);
  EXPECT_EQ(makeBackupFolder(paths, "Week"), BackupFolderResult::NoUnit);

  BackupOutcome r = makeBackup(paths, "week", "261209");
  ASSERT_EQ(r.failure, BackupFailure::None) << r.detail;
  EXPECT_EQ(r.plan.target, dir / "Mdb-W/Wkabuka261209.mdb");
  EXPECT_EQ(test::tableRows(r.plan.target, "list"), test::tableRows(paths.weeklyDb(), "list"));
  EXPECT_EQ(readDateRecord(r.plan.target)->dates[0], "26/11/20");

  // A second backup under the same name keeps the first one.
  {
    Database db(paths.weeklyDb());
    db.exec("update [list] set [kabuka1] = 1");
  }
  const auto first = test::fileBytes(r.plan.target);
  EXPECT_EQ(makeBackup(paths, "week", "261209").failure, BackupFailure::TargetExists);
  EXPECT_EQ(test::fileBytes(r.plan.target), first);
  EXPECT_THROW(copyDatabaseSnapshot(paths.weeklyDb(), r.plan.target, false), DatabaseError);
  EXPECT_EQ(test::fileBytes(r.plan.target), first);

  // No source: nothing is written.
  ASSERT_EQ(makeBackupFolder(paths, "month"), BackupFolderResult::Created);
  EXPECT_EQ(makeBackup(paths, "month", "261209").failure, BackupFailure::SourceMissing);
  EXPECT_TRUE(std::filesystem::is_empty(paths.backupDirMonthly()));
  EXPECT_EQ(makeBackup(paths, "hour", "261209").failure, BackupFailure::NoUnit);

  // No folder: the copy fails and says so, leaving no stray file.
  std::filesystem::remove_all(paths.backupDirWeekly());
  EXPECT_EQ(makeBackup(paths, "week", "261210").failure, BackupFailure::CopyFailed);
  setLogQuiet(false);
}

TEST(Backup, SnapshotWhileAnotherConnectionWrites) {
  test::TempDir dir;
  Paths paths(dir.path());
  test::makeSender(paths.dailyDb(), "day", {{7203, "トヨタ", test::priceRun(100)}}, test::sampleDates("day"));
  makeBackupFolder(paths, "day");
  Database writer(paths.dailyDb());
  writer.exec("begin immediate");
  writer.exec("update [list] set [kabuka1] = 999999");
  writer.exec("insert into [list] ([コード]) values (1)");
  BackupOutcome r = makeBackup(paths, "day", "a");
  writer.exec("commit");
  ASSERT_EQ(r.failure, BackupFailure::None) << r.detail;
  Database copy(r.plan.target);
  EXPECT_EQ(copy.scalar("pragma integrity_check"), Value("ok"));
  // The copy holds what was committed when it was taken.
  EXPECT_EQ(copy.scalar("select count(*) from [list]"), Value(1));
  EXPECT_EQ(copy.scalar("select [kabuka1] from [list]"), Value(100));
  for (const auto& e : std::filesystem::directory_iterator(paths.backupDirDaily()))
    EXPECT_EQ(e.path().filename(), "kabukaa.mdb");  // no temporary left behind
}

TEST(BackupCli, UnitFromTheDatabaseAndRefusals) {
  test::TempDir dir;
  Paths paths(dir.path());
  test::makeSender(paths.monthlyDb(), "month", {{7203, "トヨタ", test::priceRun(100)}}, test::sampleDates("month"));
  // An older backup of the monthly file, opened instead of the standard one.
  std::filesystem::copy_file(paths.monthlyDb(), dir / "saved.mdb");
  const std::string cli = test::cliPath() + " --root '" + toUtf8(dir.path()) + "' ";

  auto r = test::runCommand(cli + "backup --db '" + toUtf8(dir / "saved.mdb") + "' --date 030115");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out, toUtf8(dir / "Mdb-T/Tkabuka030115.mdb") + "\n");
  EXPECT_TRUE(std::filesystem::exists(dir / "Mdb-T/Tkabuka030115.mdb"));

  EXPECT_EQ(test::runCommand(cli + "backup --db '" + toUtf8(paths.monthlyDb()) + "' --date 030115 2>/dev/null").status,
            1);
  EXPECT_EQ(test::runCommand(cli + "backup --db '" + toUtf8(paths.monthlyDb()) + "' --date ../x 2>/dev/null").status,
            1);
  // A failure names its cause, on one line.
  auto missing = test::runCommand(cli + "backup 2>&1");  // no daily database
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(std::count(missing.out.begin(), missing.out.end(), '\n'), 1) << missing.out;
  EXPECT_EQ(missing.out.find("no date record"), std::string::npos) << missing.out;
  EXPECT_NE(missing.out.find(toUtf8(paths.dailyDb())), std::string::npos) << missing.out;
  {
    std::ofstream(dir / "text.mdb") << "just some text, no database at all, long enough to be looked at\n";
    auto foreign = test::runCommand(cli + "backup --db '" + toUtf8(dir / "text.mdb") + "' 2>&1");
    EXPECT_EQ(foreign.status, 1);
    EXPECT_EQ(foreign.out.find("no date record"), std::string::npos) << foreign.out;
  }
  auto today = test::runCommand(cli + "backup --db '" + toUtf8(paths.monthlyDb()) + "'");
  EXPECT_EQ(today.status, 0);
  EXPECT_EQ(today.out.size(), toUtf8(dir / "Mdb-T/Tkabuka030115.mdb").size() + 1);  // yymmdd like 030115
  EXPECT_EQ(test::runCommand(cli + "backup extra 2>/dev/null").status, 2);
}
