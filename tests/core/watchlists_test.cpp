#include <gtest/gtest.h>
#include <fstream>

#include "app/paths.h"
#include "base/log.h"
#include "screening/extraction.h"
#include "test_support.h"
#include "watch_samples.h"
#include "watchlists/watch_list_store.h"
#include "watchlists/watch_query.h"

using namespace tavrin;

namespace {

std::vector<test::SampleStock> sampleMarket() {
  return {{"7203", "トヨタ自動車", "東証１部", 100, 2000, 2200},  // ratio1 10
          {"6758", "ソニー", "東証１部", 100, 1000, 1300},        // ratio1 30
          {"130A", "新興テック", "マザーズ", 100, 500, 450},      // ratio1 -10
          {"9999", "二部工業", "東証２部", 1000, 300, 330},       // ratio1 10
          {"1000", "（見出し）", "", 1, 1, 1}};
}

std::vector<std::string> run(const std::filesystem::path& db, const std::string& sql) {
  Database d(db, Database::Mode::ReadOnly);
  return test::codesOf(d.query(sql));
}

}  // namespace

TEST(WatchQuery, BuildsTheConditionOverTheListedCodes) {
  EXPECT_EQ(watchListQuery({"7203", "6758"}), "select * from [list1plus] where ([コード]=7203 Or  [コード]=6758)");
  EXPECT_EQ(watchListQuery({"7203"}), "select * from [list1plus]where [コード]=7203");
  // Alphanumeric codes are quoted, quotes doubled; blanks are no codes.
  EXPECT_EQ(watchListQuery({"130A", " ", "a'b"}),
            "select * from [list1plus] where ([コード]='130A' Or  [コード]='a''b')");
  EXPECT_EQ(watchListQuery({"7203", "7203"}), "select * from [list1plus] where ([コード]=7203 Or  [コード]=7203)");
}

TEST(WatchQuery, ListsExactlyTheWatchedStocksHoweverLongTheList) {
  test::TempDir dir;
  const auto db = dir / "kabuka.mdb";
  std::vector<test::SampleStock> stocks = sampleMarket();
  for (int i = 0; i < 1500; ++i) stocks.push_back({std::to_string(2000 + i), "株" + std::to_string(i), "東証１部"});
  test::plantStocks(db, stocks);

  EXPECT_TRUE(run(db, watchListQuery({})).empty());
  EXPECT_EQ(run(db, watchListQuery({"130A"})), std::vector<std::string>{"130A"});

  // 1200 codes (some listed twice, one alphanumeric, one unknown): far more
  // than a chain of Or the database would take.
  std::vector<std::string> codes = {"130A", "7203", "7203", "5555"};
  for (int i = 0; i < 1200; ++i) codes.push_back(std::to_string(2000 + i));
  const std::string q = watchListQuery(codes);
  EXPECT_EQ(q.rfind("select * from [list1plus] where (", 0), 0u);
  const std::vector<std::string> got = run(db, q);
  EXPECT_EQ(got.size(), 1202u);
  EXPECT_NE(std::find(got.begin(), got.end(), "130A"), got.end());
  EXPECT_NE(std::find(got.begin(), got.end(), "3199"), got.end());
  EXPECT_EQ(std::find(got.begin(), got.end(), "3200"), got.end());

  // 150 listed stocks still use the plain chain; one more uses the in list.
  std::vector<std::string> some(codes.begin() + 4, codes.begin() + 154);
  EXPECT_EQ(watchListQuery(some).find(" in ("), std::string::npos);
  EXPECT_EQ(run(db, watchListQuery(some)).size(), 150u);
  some.push_back("7203");
  EXPECT_NE(watchListQuery(some).find(" where ([コード] in (2000, 2001, "), std::string::npos);
  EXPECT_EQ(run(db, watchListQuery(some)).size(), 151u);
}

TEST(Extraction, JoinsTheCodesToEveryKindOfUniverse) {
  EXPECT_EQ(extractionQuery("select * from [list1plus-1bu]", 2, {"7203", "6758"}),
            "select * from [list1plus-1bu] where ([コード]=7203 Or  [コード]=6758)");
  EXPECT_EQ(extractionQuery("select * from [list1plus]", 1, {"7203"}), "select * from [list1plus]where [コード]=7203");
  const std::string watched = watchListQuery({"7203", "130A"});
  EXPECT_EQ(extractionQuery(watched, 22, {"130A"}), watched + " and ([コード]='130A')");
  EXPECT_EQ(extractionQuery(watched, 23, {"7203", "6758"}), watched + " and ([コード]=7203 Or  [コード]=6758)");

  test::TempDir dir;
  const auto db = dir / "kabuka.mdb";
  test::plantStocks(db, sampleMarket());
  // A stock outside the universe does not appear.
  EXPECT_EQ(run(db, extractionQuery(universeQuery(2), 2, {"7203", "9999", "6758"})),
            (std::vector<std::string>{"7203", "6758"}));
  EXPECT_EQ(run(db, extractionQuery(watched, 22, {"6758", "130A"})), std::vector<std::string>{"130A"});
  // An empty list gives an empty result in every universe, placeholder row included.
  for (int u : {1, 2, 21}) EXPECT_TRUE(run(db, extractionQuery(universeQuery(u), u, {})).empty()) << u;
  EXPECT_TRUE(run(db, extractionQuery(watched, 22, {})).empty());
}

TEST(Extraction, EveryListedStockTakesPartAndRatio1OrdersTheResult) {
  test::TempDir dir;
  const auto db = dir / "kabuka.mdb";
  std::vector<test::SampleStock> stocks;
  std::vector<std::string> codes;
  for (int i = 0; i < 120; ++i) {
    stocks.push_back({std::to_string(3000 + i), "株", "東証１部", 100, 1000, 1000 + 10 * i});
    codes.push_back(std::to_string(3000 + i));
  }
  test::plantStocks(db, stocks);
  Database d(db, Database::Mode::ReadOnly);
  QueryResult r = d.query(extractionQuery(universeQuery(1), 1, codes));
  ASSERT_EQ(r.rows.size(), 120u);
  sortByRatio1Descending(r);
  EXPECT_EQ(test::codesOf(r).front(), "3119");
  EXPECT_EQ(test::codesOf(r).back(), "3000");
}

TEST(WatchListStore, CreatesAMissingFileAndRefusesAForeignOne) {
  test::TempDir dir;
  const auto path = dir / "kabulist.mdb";
  EXPECT_TRUE(readWatchCodes(path, WatchList::Trend).empty());
  EXPECT_FALSE(std::filesystem::exists(path));  // reading creates nothing
  prepareWatchListDatabase(path);
  for (WatchList l : {WatchList::Trend, WatchList::Checklist}) {
    QueryResult r = readWatchList(path, l);
    EXPECT_EQ(r.fields, watchListFields());
    EXPECT_TRUE(r.rows.empty());
  }

  // A database holding only one of the tables gets the other.
  const auto partial = dir / "partial.mdb";
  {
    Database d(partial, Database::Mode::Create);
    d.exec(
        "create table [trend] ([ID] integer primary key autoincrement, [コード] integer, [銘柄] text, [市場] text, "
        "[単位] integer, [date] text)");
    d.exec("insert into [trend] ([コード]) values (7203)");
  }
  prepareWatchListDatabase(partial);
  EXPECT_EQ(readWatchCodes(partial, WatchList::Trend), std::vector<std::string>{"7203"});
  EXPECT_TRUE(readWatchCodes(partial, WatchList::Checklist).empty());

  const auto foreign = dir / "foreign.mdb";
  {
    std::ofstream out(foreign, std::ios::binary);
    out << "Standard Jet DB, not what we read" << std::string(4096, 'x');
  }
  setLogQuiet(true);
  EXPECT_THROW(prepareWatchListDatabase(foreign), DatabaseError);
  EXPECT_THROW(readWatchCodes(foreign, WatchList::Trend), DatabaseError);
  setLogQuiet(false);
}

TEST(WatchListStore, KeepsCodesAsGivenAndDeletesByRowOrCode) {
  test::TempDir dir;
  const auto path = dir / "kabulist.mdb";
  prepareWatchListDatabase(path);
  const auto a = addWatchStock(path, WatchList::Trend, {"7203", "トヨタ自動車", "東証１部", "100", "08/03/05"});
  addWatchStock(path, WatchList::Trend, {"130A", "新興テック", "マザーズ", "100", "08/03/05"});
  const auto c = addWatchStock(path, WatchList::Trend, {"7203", "トヨタ自動車", "東証１部", "100", "08/03/06"});
  EXPECT_LT(a, c);
  EXPECT_EQ(readWatchCodes(path, WatchList::Trend), (std::vector<std::string>{"7203", "130A", "7203"}));
  EXPECT_TRUE(readWatchCodes(path, WatchList::Checklist).empty());
  QueryResult r = readWatchList(path, WatchList::Trend);
  EXPECT_TRUE(r.rows[0][1].isInteger());  // a numeric code is stored as a number
  EXPECT_EQ(r.rows[1][1].display(), "130A");
  EXPECT_EQ(r.rows[0][4].display(), "100");
  EXPECT_EQ(r.rows[2][5].display(), "08/03/06");
  EXPECT_TRUE(watchListHasCode(path, WatchList::Trend, "07203"));
  EXPECT_TRUE(watchListHasCode(path, WatchList::Trend, "130A"));
  EXPECT_FALSE(watchListHasCode(path, WatchList::Checklist, "7203"));

  EXPECT_TRUE(deleteWatchRow(path, WatchList::Trend, c));
  EXPECT_FALSE(deleteWatchRow(path, WatchList::Trend, c));
  EXPECT_EQ(removeWatchCode(path, WatchList::Trend, "130A"), 1);
  EXPECT_EQ(removeWatchCode(path, WatchList::Trend, "6758"), 0);
  EXPECT_EQ(readWatchCodes(path, WatchList::Trend), std::vector<std::string>{"7203"});
}

TEST(WatchListStore, OneRepeatedCodeGoesPerActivation) {
  // 7203 three times and 6758: two activations leave each code once.
  std::vector<std::pair<std::string, std::int64_t>> rows = {{"7203", 1}, {"7203", 2}, {"6758", 3}, {"7203", 4}};
  int removals = 0;
  while (auto id = firstDuplicateId(rows)) {
    ++removals;
    EXPECT_NE(*id, 1);  // the first of the rows keeps its place
    rows.erase(std::find_if(rows.begin(), rows.end(), [&](const auto& r) { return r.second == *id; }));
  }
  EXPECT_EQ(removals, 2);
  EXPECT_EQ(rows.size(), 2u);

  EXPECT_FALSE(firstDuplicateId({}));
  EXPECT_FALSE(firstDuplicateId({{"7203", 1}}));
  // Mixed codes order consistently, so the repeats still meet.
  EXPECT_EQ(firstDuplicateId({{"130A", 1}, {"20", 2}, {"100", 3}, {"130A", 4}, {"20", 5}}), 5);
  EXPECT_EQ(firstDuplicateId({{"130A", 1}, {"7203", 2}, {"130A", 3}}), 3);
}

TEST(WatchListStore, DatesAreTwoDigitYearMonthDay) {
  std::tm t{};
  t.tm_year = 108;
  t.tm_mon = 2;
  t.tm_mday = 5;
  EXPECT_EQ(watchDate(t), "08/03/05");
  t.tm_year = 100;
  t.tm_mon = 11;
  t.tm_mday = 31;
  EXPECT_EQ(watchDate(t), "00/12/31");
}

TEST(WatchCli, AddsListsAndRemovesStocks) {
  test::TempDir dir;
  test::plantStocks(dir / "kabuka.mdb", sampleMarket());
  const std::string cli = test::cliPath() + " --root '" + dir.path().string() + "' ";
  auto list = test::runCommand(cli + "watch list trend");
  EXPECT_EQ(list.status, 0);
  EXPECT_EQ(list.out, "ID\tコード\t銘柄\t市場\t単位\tdate\n");

  EXPECT_EQ(test::runCommand(cli + "watch add trend 130A").status, 0);
  EXPECT_EQ(test::runCommand(cli + "watch add trend 7203").status, 0);
  EXPECT_EQ(test::runCommand(cli + "watch add trend 7203").status, 0);  // already listed: no second row
  EXPECT_EQ(test::runCommand(cli + "watch add trend 4444 2>/dev/null").status, 1);
  EXPECT_EQ(test::runCommand(cli + "watch add nosuch 7203 2>/dev/null").status, 2);
  EXPECT_EQ(readWatchCodes(dir / "kabulist.mdb", WatchList::Trend), (std::vector<std::string>{"130A", "7203"}));
  list = test::runCommand(cli + "watch list trend");
  EXPECT_NE(list.out.find("\n1\t130A\t新興テック\tマザーズ\t100\t"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("\n2\t7203\tトヨタ自動車\t東証１部\t100\t"), std::string::npos) << list.out;

  EXPECT_EQ(test::runCommand(cli + "watch remove trend 7203").status, 0);
  EXPECT_EQ(test::runCommand(cli + "watch remove trend 7203 2>/dev/null").status, 1);
  EXPECT_EQ(test::runCommand(cli + "watch list checklist").out, "ID\tコード\t銘柄\t市場\t単位\tdate\n");
  EXPECT_EQ(readWatchCodes(dir / "kabulist.mdb", WatchList::Trend), std::vector<std::string>{"130A"});
}

// The use cases of the lists end with outcomes: a file that is no database
// is Unavailable (never an exception), a code goes on a list once, and what
// is not listed is NotListed.
TEST(WatchListStore, UseCasesEndWithOutcomes) {
  setLogQuiet(true);
  test::TempDir dir;
  const auto path = dir / "kabulist.mdb";
  EXPECT_EQ(removeFromWatchList(path, WatchList::Trend, "7203").failure, WatchListFailure::NotListed);
  EXPECT_FALSE(std::filesystem::exists(path));

  const WatchStock toyota{"7203", "トヨタ自動車", "東証１部", "100", "08/03/05"};
  const WatchAddOutcome first = addToWatchList(path, WatchList::Trend, toyota);
  ASSERT_TRUE(first.done()) << first.detail;
  EXPECT_FALSE(first.alreadyListed);
  EXPECT_GT(first.id, 0);
  const WatchAddOutcome again = addToWatchList(path, WatchList::Trend, toyota);
  EXPECT_TRUE(again.done());
  EXPECT_TRUE(again.alreadyListed);
  EXPECT_EQ(readWatchCodes(path, WatchList::Trend), std::vector<std::string>{"7203"});
  EXPECT_TRUE(addToWatchList(path, WatchList::Checklist, toyota).done());

  EXPECT_EQ(deleteFromWatchList(path, WatchList::Trend, first.id + 100).failure, WatchListFailure::NotListed);
  EXPECT_TRUE(deleteFromWatchList(path, WatchList::Trend, first.id).done());
  EXPECT_TRUE(readWatchCodes(path, WatchList::Trend).empty());
  const WatchRemoveOutcome removed = removeFromWatchList(path, WatchList::Checklist, "07203");
  EXPECT_TRUE(removed.done());
  EXPECT_EQ(removed.removed, 1);
  EXPECT_EQ(removeFromWatchList(path, WatchList::Checklist, "7203").failure, WatchListFailure::NotListed);

  const auto foreign = dir / "foreign.mdb";
  {
    std::ofstream out(foreign, std::ios::binary);
    out << "Standard Jet DB, not what we read" << std::string(4096, 'x');
  }
  const Outcome<WatchListFailure> opened = openWatchLists(foreign);
  EXPECT_EQ(opened.failure, WatchListFailure::Unavailable);
  EXPECT_FALSE(opened.detail.empty());
  EXPECT_EQ(addToWatchList(foreign, WatchList::Trend, toyota).failure, WatchListFailure::Unavailable);
  EXPECT_EQ(deleteFromWatchList(foreign, WatchList::Trend, 1).failure, WatchListFailure::Unavailable);
  EXPECT_EQ(removeFromWatchList(foreign, WatchList::Trend, "7203").failure, WatchListFailure::Unavailable);
  EXPECT_EQ(listedWatchCodes(foreign, WatchList::Trend).failure, WatchListFailure::Unavailable);
  EXPECT_EQ(readWatchListTable(foreign, WatchList::Trend).failure, WatchListFailure::Unavailable);

  // A missing file is an empty list with the fields of the table.
  const auto none = dir / "none.mdb";
  const WatchCodesOutcome noCodes = listedWatchCodes(none, WatchList::Checklist);
  EXPECT_TRUE(noCodes.done());
  EXPECT_TRUE(noCodes.codes.empty());
  const WatchTableOutcome noTable = readWatchListTable(none, WatchList::Checklist);
  EXPECT_TRUE(noTable.done());
  EXPECT_EQ(noTable.table.fields, watchListFields());
  EXPECT_TRUE(noTable.table.rows.empty());
  setLogQuiet(false);
}

TEST(WatchListStore, TheWatchListUniversesScreenTheirLists) {
  EXPECT_EQ(watchListOfUniverse(22), WatchList::Trend);
  EXPECT_EQ(watchListOfUniverse(23), WatchList::Checklist);
  for (int i : {0, 1, 21, 24}) EXPECT_FALSE(watchListOfUniverse(i)) << i;
}
