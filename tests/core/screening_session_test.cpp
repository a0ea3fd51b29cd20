#include <gtest/gtest.h>

#include "app/paths.h"
#include "base/log.h"
#include "data/database.h"
#include "data/price_schema.h"
#include "screening/pattern_catalogue.h"
#include "screening/screening_session.h"
#include "test_support.h"
#include "watchlists/watch_query.h"

using namespace tavrin;
using namespace tavrin::screening;

namespace {

// Four stocks with prices from 10000 and nine whole ratios: two flat ones
// (保合 lists them), a fallen one and a risen one whose ratio1 equals the
// first flat one's. Codes mix numbers and text.
struct SessionDb {
  SessionDb() {
    createPriceDatabase(path, "day");
    Database d(path);
    struct S {
      const char* name;
      Value code;
      int unit;
      std::vector<int> ratios;
    };
    const S stocks[] = {
        {"保合一", Value(10), 100, {3, -3, 0, 1, 2, 0, 0, -1, 3}},
        {"保合二", Value("ab"), 1000, {0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"急騰", Value(9), 1, {-12, -20, -25, -25, -30, -30, -31, -35, -40}},
        {"上昇", Value("AC"), 10, {3, 10, 12, 12, 20, 20, 30, 30, 30}},
    };
    for (const S& s : stocks) {
      std::vector<Value> params{Value(s.name), s.code, Value("東証１部"), Value(s.unit), Value(10000)};
      for (int r : s.ratios) params.emplace_back(10000 + 100 * r);
      d.execute(
          "insert into [list] ([銘柄],[コード],[市場],[単位],[kabuka1],[kabuka2],[kabuka3],[kabuka4],[kabuka5],"
          "[kabuka6],[kabuka7],[kabuka8],[kabuka9],[kabuka10]) values (?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
          params);
    }
  }
  std::string db() const { return toUtf8(path); }
  ScreeningSession loaded() const {
    ScreeningSession s;
    s.setUnitWord("day");
    EXPECT_TRUE(s.loadUniverse(db(), 1, {}));
    return s;
  }
  static std::vector<std::string> column(const ScreeningSession& s, int col) {
    std::vector<std::string> out;
    for (int r = 1; r <= s.listedCount(); ++r) out.push_back(s.cellText(r, col));
    return out;
  }

  test::TempDir dir;
  std::filesystem::path path = dir / "kabuka.mdb";
};

using Codes = std::vector<std::string>;

}  // namespace

TEST(ScreeningSession, LoadUniverseChoosesTheViewOrTheWatchQuery) {
  SessionDb e;
  ScreeningSession s = e.loaded();
  EXPECT_EQ(s.baseQuery(), "select * from [list1plus]");
  EXPECT_EQ(SessionDb::column(s, 3), (Codes{"9", "10", "AC", "ab"}));  // by コード
  EXPECT_TRUE(s.universe().current(e.db(), s.baseQuery()));

  const std::string watch = tavrin::watchListQuery({"10", "9"});
  ASSERT_TRUE(s.loadUniverse(e.db(), 22, watch));
  EXPECT_EQ(s.baseQuery(), watch);
  EXPECT_EQ(s.universeIndex(), 22);
  EXPECT_EQ(SessionDb::column(s, 3), (Codes{"9", "10"}));
  EXPECT_EQ(universeBaseQuery(3, watch), universeQuery(3));

  ASSERT_TRUE(s.clickPattern(*findPattern("Command14")));
  EXPECT_EQ(SessionDb::column(s, 3), (Codes{"10"}));  // flat and watched

  // No universe of that index: nothing is read, the pattern is forgotten and
  // the rows are sorted by コード all the same.
  ASSERT_TRUE(s.loadUniverse(e.db(), 1, watch));
  ASSERT_TRUE(s.clickPattern(*findPattern("Command14")));
  EXPECT_EQ(SessionDb::column(s, 3), (Codes{"ab", "10"}));  // 単位 descending
  EXPECT_FALSE(s.loadUniverse(e.db(), 99, watch));
  EXPECT_EQ(s.baseQuery(), "select * from [list1plus]");
  EXPECT_EQ(s.currentPattern(), nullptr);
  EXPECT_EQ(SessionDb::column(s, 3), (Codes{"10", "ab"}));
}

TEST(ScreeningSession, CurrentPatternFollowsTheQueriesThatWentThrough) {
  SessionDb e;
  ScreeningSession s = e.loaded();
  const ScreeningPattern& flat = *findPattern("Command14");
  EXPECT_EQ(s.currentPattern(), nullptr);
  ASSERT_TRUE(s.clickPattern(flat));
  EXPECT_EQ(s.currentPattern(), &flat);
  EXPECT_EQ(SessionDb::column(s, 2), (Codes{"保合二", "保合一"}));  // 単位 descending
  ASSERT_TRUE(s.searchName(std::string("急")));
  EXPECT_EQ(s.currentPattern(), nullptr);
  ASSERT_TRUE(s.clickPattern(flat));
  ASSERT_TRUE(s.extract({"9"}));
  EXPECT_EQ(s.currentPattern(), nullptr);
  ASSERT_TRUE(s.clickPattern(flat));
  ASSERT_TRUE(s.requery(s.baseQuery()));
  EXPECT_EQ(s.currentPattern(), nullptr);
  ASSERT_TRUE(s.clickPattern(flat));
  ASSERT_TRUE(s.load());
  EXPECT_EQ(s.currentPattern(), nullptr);

  // A rejected query keeps the pattern, the rows and their order.
  ASSERT_TRUE(s.clickPattern(flat));
  setLogQuiet(true);
  EXPECT_FALSE(s.requery("select * from [no such view]"));
  EXPECT_EQ(s.currentPattern(), &flat);
  EXPECT_EQ(SessionDb::column(s, 2), (Codes{"保合二", "保合一"}));
  s.setUniverse(1, "select * from [no such view]");
  EXPECT_FALSE(s.clickPattern(*findPattern("Command64")));
  EXPECT_EQ(s.currentPattern(), &flat);
  // The failed pattern's sort applies to the rows as they stood: ranking "1"
  // sorts by ratio1, numbers ascending, and 上昇 stays ahead of 保合一 as
  // after "元に戻す" (by 単位).
  s.setUniverse(1, universeQuery(1));
  ASSERT_TRUE(s.restore());
  s.setUniverse(1, "select * from [no such view]");
  EXPECT_FALSE(s.clickPattern(*findPattern("Command50")));
  setLogQuiet(false);
  EXPECT_EQ(s.currentPattern(), nullptr);
  EXPECT_EQ(SessionDb::column(s, 2), (Codes{"急騰", "保合二", "上昇", "保合一"}));
}

TEST(ScreeningSession, CodeSearchOutcomes) {
  SessionDb e;
  ScreeningSession s = e.loaded();
  EXPECT_EQ(s.searchForCode(std::string("9")), CodeSearch::Listed);
  EXPECT_EQ(SessionDb::column(s, 2), (Codes{"急騰"}));
  EXPECT_EQ(s.searchForCode(std::string("1e3")), CodeSearch::NotACode);
  EXPECT_EQ(s.searchForCode(std::string("  ")), CodeSearch::NothingAsked);
  EXPECT_EQ(s.searchForCode(std::nullopt), CodeSearch::NothingAsked);
  EXPECT_EQ(s.listedCount(), 1);
  EXPECT_TRUE(isNoStockCode(std::string("7203 x")));
  EXPECT_FALSE(isNoStockCode(std::string(" \t")));
  EXPECT_FALSE(isNoStockCode(std::nullopt));
  EXPECT_FALSE(isNoStockCode(std::string("130A")));
  s.setUniverse(1, "select * from [no such view]");
  setLogQuiet(true);
  EXPECT_EQ(s.searchForCode(std::string("10")), CodeSearch::Rejected);
  setLogQuiet(false);
  EXPECT_EQ(SessionDb::column(s, 2), (Codes{"急騰"}));
}

TEST(ScreeningSession, CountsFollowTheUniverseAsLastRead) {
  SessionDb e;
  ScreeningSession s = e.loaded();
  EXPECT_EQ(s.patternCount("Command14"), -1);  // not counted yet
  s.countPatterns();
  ASSERT_EQ(s.patternCounts().size(), patternCatalogue().size());
  for (const auto& p : patternCatalogue()) {
    ScreeningSession clicked = e.loaded();
    ASSERT_TRUE(clicked.clickPattern(p));
    EXPECT_EQ(s.patternCount(p.control), clicked.listedCount()) << p.control;
  }
  EXPECT_EQ(s.patternCount("Command14"), 2);
  EXPECT_EQ(s.patternCount("Command999"), -1);

  // The file changes: the counts and clicks ask the database until "元に戻す"
  // reads the universe again.
  {
    Database d(e.path);
    d.execute(
        "update [list] set [kabuka2] = 10000, [kabuka3] = 10000, [kabuka4] = 10000, [kabuka5] = 10000, "
        "[kabuka6] = 10000, [kabuka7] = 10000, [kabuka8] = 10000, [kabuka9] = 10000, [kabuka10] = 10000 "
        "where [銘柄] = '上昇'");
  }
  EXPECT_FALSE(s.universe().current(e.db(), s.baseQuery()));
  s.countPatterns();
  EXPECT_EQ(s.patternCount("Command14"), 3);
  ASSERT_TRUE(s.restore());
  EXPECT_EQ(SessionDb::column(s, 5), (Codes{"1", "10", "100", "1000"}));  // by 単位
  EXPECT_TRUE(s.universe().current(e.db(), s.baseQuery()));
  s.countPatterns();
  EXPECT_EQ(s.patternCount("Command14"), 3);

  // An unreadable universe has no counts.
  s.setUniverse(1, "select * from [no such view]");
  setLogQuiet(true);
  s.countPatterns();
  setLogQuiet(false);
  EXPECT_TRUE(s.patternCounts().empty());
  EXPECT_EQ(s.patternCount("Command14"), -1);
}

TEST(ScreeningSession, SortAscendingAndTitles) {
  SessionDb e;
  ScreeningSession s = e.loaded();
  s.sortAscending(3);  // コード as text, ignoring case
  EXPECT_EQ(SessionDb::column(s, 3), (Codes{"10", "9", "ab", "AC"}));
  s.sortAscending(8);
  EXPECT_EQ(SessionDb::column(s, 2), (Codes{"急騰", "保合二", "保合一", "上昇"}));
  for (int ignored : {0, 17}) {
    s.sortAscending(ignored);
    EXPECT_EQ(SessionDb::column(s, 2), (Codes{"急騰", "保合二", "保合一", "上昇"}));
  }

  s.setDates("26/12/20", "26/12/11");
  s.retitle();
  std::vector<std::string> t = s.titles();
  ASSERT_EQ(t.size(), 17u);
  EXPECT_EQ(t[3], "コード");
  EXPECT_EQ(t[6], "26/12/20");
  EXPECT_EQ(t[8], "1日前");
  // A unit word that names no unit leaves the ratio titles as they were
  // retitled; new rows bring the field names back.
  s.setUnitWord("Day");
  s.retitle();
  EXPECT_EQ(s.titles()[8], "1日前");
  ASSERT_TRUE(s.restore());
  EXPECT_EQ(s.titles()[8], "ratio1");
  EXPECT_EQ(s.titles()[7], "26/12/11");
}
