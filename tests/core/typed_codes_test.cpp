#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "base/files.h"
#include "test_support.h"
#include "watch_samples.h"

// Every command that takes a code takes it as a user types it: lower-case
// letters and full-width forms are the code's capitals.
namespace tavrin {
namespace {

struct TypedCodes : ::testing::Test {
  test::TempDir dir;
  std::string cli;

  void SetUp() override {
    const std::filesystem::path db = dir / "kabuka.mdb";
    test::plantStocks(
        db, {{"7203", "トヨタ自動車", "東証１部", 100, 2000, 2200}, {"130A", "新興テック", "グロース", 100, 500, 450}});
    cli = test::cliPath() + " --root '" + toUtf8(dir.path()) + "' ";
    // Twelve days of closes of both stocks, one file per day.
    std::string files;
    for (int d = 2; d <= 13; ++d) {
      const std::string day = std::string(d < 10 ? "0" : "") + std::to_string(d);
      const std::filesystem::path f = dir / ("day" + day + ".csv");
      std::ofstream(f) << "コード,日付,終値\n7203,2026/03/" << day << "," << 2000 + d << "\n130A,2026/03/" << day << ","
                       << 500 + d << "\n";
      files += " '" + toUtf8(f) + "'";
    }
    const test::CommandResult r = test::runCommand(cli + "history import" + files + " 2>&1");
    ASSERT_EQ(r.status, 0) << r.out;
  }
  test::CommandResult run(const std::string& args) { return test::runCommand(cli + args + " 2>&1"); }
};

TEST_F(TypedCodes, HistoryAndItsCheckTakeLowerCaseAndFullWidth) {
  for (const char* typed : {"130a", "１３０ａ", "130A"}) {
    const test::CommandResult r = run(std::string("history ") + typed);
    ASSERT_EQ(r.status, 0) << typed << ": " << r.out;
    EXPECT_NE(r.out.find("2026-03-02\t502\n"), std::string::npos) << typed << ": " << r.out;
    EXPECT_NE(r.out.find("2026-03-13\t513\n"), std::string::npos) << typed << ": " << r.out;
    EXPECT_EQ(run(std::string("history check ") + typed).status, 0) << typed;
  }
  // Still no code: the command says so rather than looking for it.
  for (const char* bad : {"13-a", "1e3", "130a x"}) {
    const test::CommandResult r = run(std::string("history '") + bad + "'");
    EXPECT_EQ(r.status, 1) << bad;
    EXPECT_NE(r.out.find("not a stock code"), std::string::npos) << bad << ": " << r.out;
  }
}

TEST_F(TypedCodes, SplitsAreEnteredListedAndRemovedByLowerCaseCodes) {
  test::CommandResult r = run("split add --db '" + toUtf8(dir / "kabuka.mdb") + "' 130a 2026-03-10 1:2");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("split of 130A on 2026-03-10: 1:2"), std::string::npos) << r.out;
  EXPECT_EQ(run("split list 130a").out, "コード\t権利落ち日\t比率\t出所\n130A\t2026-03-10\t1:2\tentered\n");
  EXPECT_NE(run("history 130a").out.find("2026-03-09\t254.5\n"), std::string::npos);
  r = run("split remove --db '" + toUtf8(dir / "kabuka.mdb") + "' １３０ａ 2026-03-10");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(run("split list").out, "コード\t権利落ち日\t比率\t出所\n");
}

TEST_F(TypedCodes, SearchWatchListsBacktestAndRemovalTakeThemToo) {
  test::CommandResult r = run("screen --universe 1001 --search-code 130a");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("\t130A\t"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("\t7203\t"), std::string::npos) << r.out;

  ASSERT_EQ(run("watch add trend 130a").status, 0);
  EXPECT_NE(run("watch list trend").out.find("\t130A\t新興テック\t"), std::string::npos);
  EXPECT_EQ(run("watch remove trend １３０ａ").status, 0);

  r = run("backtest --code 130a");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out.rfind("date\tpatterns\tcaptions\n", 0), 0u) << r.out;

  r = run("history remove --code 130a");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("12 day(s) of 1 stock(s) removed"), std::string::npos) << r.out;
  // The other stock keeps its history.
  EXPECT_NE(run("history 7203").out.find("2026-03-02\t2002\n"), std::string::npos);
}

}  // namespace
}  // namespace tavrin
