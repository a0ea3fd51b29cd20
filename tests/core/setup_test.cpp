#include <gtest/gtest.h>
#include <fstream>

#include "app/setup.h"
#include "data/price_schema.h"
#include "sample/sample_market.h"
#include "test_support.h"

using namespace tavrin;

TEST(Setup, InitCreatesOnlyWhatIsMissing) {
  test::TempDir dir;
  Paths paths(dir.path());
  { std::ofstream(paths.memoFile(), std::ios::binary) << "keep"; }
  auto made = initStandardFiles(paths);
  EXPECT_EQ(made.size(), 4u);
  EXPECT_EQ(readDateRecord(paths.weeklyDb())->unit, "week");
  EXPECT_EQ(readDateRecord(paths.monthlyDb())->unit, "month");
  {
    Database db(paths.watchListDb());
    EXPECT_TRUE(db.tableExists("checklist"));
    EXPECT_TRUE(db.tableExists("trend"));
  }
  EXPECT_TRUE(initStandardFiles(paths).empty());
  std::ifstream in(paths.memoFile());
  std::string memo;
  in >> memo;
  EXPECT_EQ(memo, "keep");
}

TEST(Setup, DemoIsDeterministicPerSeedAndRefusesToOverwrite) {
  test::TempDir a, b, c;
  DemoOptions o;
  o.stocks = 60;
  o.seed = 7;
  makeDemo(Paths(a.path()), o);
  makeDemo(Paths(b.path()), o);
  o.seed = 8;
  makeDemo(Paths(c.path()), o);
  auto dump = [](const std::filesystem::path& db) {
    return test::runCommand(test::cliPath() + " dump --db '" + db.string() + "' list").out;
  };
  EXPECT_EQ(dump(a / "kabuka.mdb"), dump(b / "kabuka.mdb"));
  EXPECT_NE(dump(a / "kabuka.mdb"), dump(c / "kabuka.mdb"));
  EXPECT_EQ(makeDemo(Paths(a.path()), o).failure, DemoFailure::FilesExist);

  Database db(a / "kabuka.mdb");
  // The index placeholder, sixty stocks and the pattern samples; hojyo pairs list row by row.
  EXPECT_GE(db.scalar("select count(*) from [list]").integer(), 61);
  EXPECT_EQ(db.scalar("select count(*) from [list]"), db.scalar("select count(*) from [hojyo]"));
  EXPECT_EQ(db.scalar("select count(*) from [list] where [コード] = 1000"), Value(1));
  auto rec = readDateRecord(db);
  ASSERT_TRUE(rec);
  EXPECT_EQ(rec->dates[0], "26/12/08");
  EXPECT_EQ(rec->dates[9], "26/11/25");
  EXPECT_EQ(readDateRecord(a / "Wkabuka.mdb")->dates[0], "26/12/04");
  EXPECT_EQ(readDateRecord(a / "Tkabuka.mdb")->dates[0], "26/11/30");
}

TEST(Cli, UsageAndFailuresHaveTheirExitCodes) {
  test::TempDir dir;
  const std::string cli = test::cliPath() + " --root '" + dir.path().string() + "' ";
  EXPECT_EQ(test::runCommand(cli + "2>/dev/null").status, 2);
  EXPECT_EQ(test::runCommand(cli + "frobnicate 2>/dev/null").status, 2);
  EXPECT_EQ(test::runCommand(cli + "dump 2>/dev/null").status, 2);
  EXPECT_EQ(test::runCommand(cli + "dump list 2>/dev/null").status, 1);  // no database yet
  EXPECT_EQ(test::runCommand(cli + "init").status, 0);
  EXPECT_EQ(test::runCommand(cli + "dump 'list]; drop table list; --' 2>/dev/null").status, 1);
  auto r = test::runCommand(cli + "dump 日付");
  EXPECT_EQ(r.status, 0);
  // Null prints as empty: ID 1, ten empty dates, the unit, ten empty names.
  EXPECT_NE(r.out.find("\n1\t\t\t\t\t\t\t\t\t\t\tday\t"), std::string::npos) << r.out;
}
