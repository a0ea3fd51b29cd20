#include <gtest/gtest.h>
#include <algorithm>
#include <random>
#include <set>

#include "app/paths.h"
#include "base/calendar.h"
#include "base/log.h"
#include "data/database.h"
#include "data/grid_sort.h"
#include "data/price_schema.h"
#include "sample/demo_planting.h"
#include "screening/pattern_catalogue.h"
#include "screening/query_assembly.h"
#include "screening/screening_session.h"
#include "test_support.h"
#include "watchlists/watch_list_store.h"
#include "watchlists/watch_query.h"

using namespace tavrin;
using namespace tavrin::screening;

namespace {

struct Stock {
  std::string name;
  Value code;
  std::string market;
  int unit;
  std::vector<std::int64_t> prices;  // kabuka1..kabuka10, empty entries for Null
};

void insertStocks(const std::filesystem::path& path, const std::vector<Stock>& stocks) {
  Database db(path);
  Transaction tx(db);
  Statement ins(db,
                "insert into [list] ([銘柄],[コード],[市場],[単位],[kabuka1],[kabuka2],[kabuka3],[kabuka4],[kabuka5],"
                "[kabuka6],[kabuka7],[kabuka8],[kabuka9],[kabuka10]) values (?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
  for (const Stock& s : stocks) {
    ins.bind(1, s.name.empty() ? Value() : Value(s.name));
    ins.bind(2, s.code);
    ins.bind(3, s.market);
    ins.bind(4, s.unit);
    for (int i = 0; i < 10; ++i)
      ins.bind(5 + i, static_cast<size_t>(i) < s.prices.size() && s.prices[static_cast<size_t>(i)] > 0
                          ? Value(s.prices[static_cast<size_t>(i)])
                          : Value());
    ins.step();
    ins.reset();
  }
  tx.commit();
}

// Prices from a base of 10000 and nine whole ratios (0 for Null).
std::vector<std::int64_t> fromRatios(std::initializer_list<int> ratios, int nullAt = 0) {
  std::vector<std::int64_t> p{10000};
  int n = 1;
  for (int r : ratios) p.push_back(n++ == nullAt ? 0 : 10000 + 100 * r);
  return p;
}

std::vector<Stock> plantedStocks() {
  std::vector<Stock> out;
  int code = 2000;
  for (const auto& prices : patternSamplePrices())
    out.push_back({"植" + std::to_string(code), Value(code), "東証１部", 100, prices}), ++code;
  return out;
}

}  // namespace

TEST(ScreeningDb, EveryPatternListsAPlantedStock) {
  test::TempDir dir;
  for (const char* unit : {"day", "week"}) {
    const auto db = dir / (std::string(unit) + ".mdb");
    createPriceDatabase(db, unit);
    insertStocks(db, plantedStocks());
    std::vector<int> sqlCounts;
    for (const auto& p : patternCatalogue()) {
      ScreeningSession s(toUtf8(db), 1, universeQuery(1), unit);
      ASSERT_TRUE(s.clickPattern(p)) << p.control;
      EXPECT_GE(s.listedCount(), 1) << unit << " " << p.control << " " << p.caption;
      sqlCounts.push_back(s.listedCount());
    }
    // The one-pass count reads the universe once and must agree with the queries.
    EXPECT_EQ(countAllPatterns(toUtf8(db), 1, universeQuery(1), unit), sqlCounts) << unit;
  }
}

TEST(PatternCatalogue, TypedNamesNameTheirButtons) {
  const auto controls = [](std::string_view name) {
    std::vector<std::string> out;
    for (const ScreeningPattern* p : findPatternsNamed(name)) out.push_back(p->control);
    return out;
  };
  using V = std::vector<std::string>;
  EXPECT_EQ(controls("B1"), V{"Command28"});
  EXPECT_EQ(controls("Ｂ１"), V{"Command28"});
  EXPECT_EQ(controls("保合"), V{"Command14"});
  EXPECT_EQ(controls("U9"), V{"Command35"});
  EXPECT_EQ(controls("u9"), V{"Command35"});
  EXPECT_EQ(controls("COMMAND50"), V{"Command50"});
  // Shared captions: every button, in panel order.
  EXPECT_EQ(controls("1"), (V{"Command50", "Command64", "Command37"}));
  EXPECT_EQ(controls("ランキング 1"), (V{"Command50", "Command64"}));
  EXPECT_EQ(controls("2段階上げ3"), V{"Command21"});
  EXPECT_EQ(controls("ＭＡ5 2V"), V{"Command2"});
  // e2 and E-captions differ in case: the exact one wins.
  EXPECT_EQ(controls("e2"), (V{"Command72", "Command102"}));
  EXPECT_EQ(controls("保合から上昇 e2"), V{"Command102"});
  EXPECT_EQ(controls("E9"), V{"Command111"});
  for (const char* none : {"", " ", "Z1", "Command1", "ランキング", "B1 x"})
    EXPECT_TRUE(controls(none).empty()) << none;
  EXPECT_EQ(patternTitle(*findPattern("Command28")), "B1 (横這から上昇)");
  EXPECT_EQ(patternTitle(*findPattern("Command14")), "保合");
  EXPECT_EQ(groupCaption(*findPattern("Command102")), "保合から上昇");
}

TEST(ScreeningDb, CatalogueShape) {
  const auto& all = patternCatalogue();
  ASSERT_EQ(all.size(), 67u);
  std::set<std::string> names;
  for (const auto& p : all) {
    EXPECT_TRUE(names.insert(p.control).second) << p.control;
    EXPECT_FALSE(p.sortSteps.empty()) << p.control;
  }
  const ScreeningPattern* flat = findPattern("Command14");
  ASSERT_TRUE(flat);
  EXPECT_EQ(std::string(flat->caption), "保合");
  ASSERT_EQ(flat->sortSteps.size(), 1u);
  EXPECT_EQ(flat->sortSteps[0].column, 5);
  EXPECT_EQ(flat->sortSteps[0].setting, 2);
  EXPECT_TRUE(flat->titleColours.empty());
  // "5" filters on r5, sorts on r4's column and colours r5's title.
  const ScreeningPattern* five = findPattern("Command18");
  EXPECT_EQ(five->sortSteps[0].column, 11);
  EXPECT_EQ(five->titleColours[0].firstColumn, 12);
  // "E4" sorts twice, in order.
  const ScreeningPattern* e4 = findPattern("Command108");
  ASSERT_EQ(e4->sortSteps.size(), 2u);
  EXPECT_EQ(e4->sortSteps[0].column, 13);
  EXPECT_EQ(e4->sortSteps[1].column, 11);
  // The hidden group.
  for (const char* n : {"Command57", "Command6", "Command60", "Command71", "Command102"})
    EXPECT_EQ(findPattern(n)->row, 0) << n;
}

TEST(ScreeningDb, QueryAssemblyByUniverseAndUnit) {
  const ScreeningPattern& flat = *findPattern("Command14");
  EXPECT_EQ(patternQuery("select * from [list1plus-f1000+30]", 21, flat, "day")
                .rfind("select * from [list1plus-f1000+30] where (", 0),
            0u);
  const std::string watch = tavrin::watchListQuery({"7203", "130A"});
  EXPECT_EQ(watch, "select * from [list1plus] where ([コード]=7203 Or  [コード]='130A')");
  EXPECT_EQ(patternQuery(watch, 22, flat, "day").rfind(watch + " and (", 0), 0u);

  const ScreeningPattern& threeN = *findPattern("Command15");
  EXPECT_EQ(std::string(conditionTextFor(threeN, 21, "day")).rfind("r1 in [-150, -1] & ", 0), 0u);
  EXPECT_EQ(std::string(conditionTextFor(threeN, 22, "day")).rfind("r6 in [-150, -1] & ", 0), 0u);
  EXPECT_EQ(std::string(conditionTextFor(threeN, 22, "day")).substr(17),
            std::string(conditionTextFor(threeN, 1, "day")).substr(17));

  const ScreeningPattern& rank1 = *findPattern("Command50");
  Ratios r{};
  for (auto& x : r) x = 0;
  r[0] = -8;
  EXPECT_EQ(conditionFor(rank1, 1, "day").evaluate(r), Truth::True);
  for (const char* other : {"week", "month", "", "Day"})
    EXPECT_EQ(conditionFor(rank1, 1, other).evaluate(r), Truth::False) << other;
  r[0] = -10;
  EXPECT_EQ(conditionFor(rank1, 1, "week").evaluate(r), Truth::True);
}

TEST(ScreeningDb, EdgeCasesThroughTheDatabase) {
  test::TempDir dir;
  const auto db = dir / "kabuka.mdb";
  createPriceDatabase(db, "day");
  insertStocks(db, {
                       {"保合A", Value(1001), "東証１部", 1000, fromRatios({3, -3, 0, 1, 2, 0, 0, -1, 3})},
                       {"保合B", Value(1002), "東証１部", 100, fromRatios({3, -3, 0, 1, 2, 0, 0, -1, 2})},
                       {"外れ", Value(1003), "東証１部", 10, fromRatios({4, -3, 0, 1, 2, 0, 0, -1, 3})},
                       {"欠け", Value(1004), "東証２部", 100, fromRatios({-20, 0, 0, 0, 0, 0, 0, 0, 0}, 9)},
                   });
  // 保合 lists the flat stocks, 単位 descending.
  ScreeningSession s(toUtf8(db), 1, universeQuery(1), "day");
  ASSERT_TRUE(s.clickPattern(*findPattern("Command14")));
  ASSERT_EQ(s.listedCount(), 2);
  EXPECT_EQ(s.cellText(1, 2), "保合A");
  EXPECT_EQ(s.cellText(2, 2), "保合B");
  // A Null r9 does not stop the ranking "1", but stops "U1" (r9 in [-100, 1]).
  ASSERT_TRUE(s.clickPattern(*findPattern("Command50")));
  ASSERT_EQ(s.listedCount(), 1);
  EXPECT_EQ(s.cellText(1, 3), "1004");
  EXPECT_EQ(s.cellText(1, 16), "");
  ASSERT_TRUE(s.clickPattern(*findPattern("Command76")));
  EXPECT_EQ(s.listedCount(), 0);
  // Same stocks on a second click.
  ASSERT_TRUE(s.clickPattern(*findPattern("Command50")));
  EXPECT_EQ(s.listedCount(), 1);

  // A damaged universe: the query is rejected and the rows stay.
  setLogQuiet(true);
  ScreeningSession broken(toUtf8(db), 1, "select * from [no such view]", "day");
  EXPECT_FALSE(broken.load());
  EXPECT_FALSE(broken.clickPattern(*findPattern("Command14")));
  setLogQuiet(false);
}

TEST(ScreeningDb, SearchesBindTheAnswer) {
  test::TempDir dir;
  const auto db = dir / "kabuka.mdb";
  createPriceDatabase(db, "day");
  const auto p = fromRatios({0, 0, 0, 0, 0, 0, 0, 0, 0});
  insertStocks(db, {
                       {"トヨタ自動車", Value(7203), "東証１部", 100, p},
                       {"新規'上場", Value("130A"), "東証１部", 100, p},
                       {"100%_商事", Value(9999), "東証２部", 100, p},
                       {"", Value(1111), "東証２部", 100, p},
                   });
  ScreeningSession s(toUtf8(db), 1, universeQuery(1), "day");
  ASSERT_TRUE(s.load());
  EXPECT_EQ(s.listedCount(), 4);
  ASSERT_TRUE(s.searchCode(std::string("7203")));
  ASSERT_EQ(s.listedCount(), 1);
  EXPECT_EQ(s.cellText(1, 2), "トヨタ自動車");
  ASSERT_TRUE(s.searchCode(std::string(" 130A ")));
  ASSERT_EQ(s.listedCount(), 1);
  EXPECT_EQ(s.cellText(1, 3), "130A");
  // A text that is no code is refused before the database is asked: the rows stay.
  EXPECT_FALSE(s.searchCode(std::string("7203 or 1=1")));
  EXPECT_FALSE(s.searchCode(std::string("1e3")));
  EXPECT_EQ(s.listedCount(), 1);
  // Empty answer or Cancel: nothing is asked of the database, the rows stay.
  ASSERT_TRUE(s.searchCode(std::string("7203")));
  EXPECT_FALSE(s.searchCode(std::string("")));
  EXPECT_FALSE(s.searchCode(std::nullopt));
  EXPECT_EQ(s.listedCount(), 1);

  ASSERT_TRUE(s.searchName(std::string("'")));
  ASSERT_EQ(s.listedCount(), 1);
  EXPECT_EQ(s.cellText(1, 3), "130A");
  ASSERT_TRUE(s.searchName(std::string("%_")));
  ASSERT_EQ(s.listedCount(), 1);
  EXPECT_EQ(s.cellText(1, 3), "9999");
  ASSERT_TRUE(s.searchName(std::string("*")));
  EXPECT_EQ(s.listedCount(), 0);
  ASSERT_TRUE(s.searchName(std::string("自動")));
  EXPECT_EQ(s.listedCount(), 1);
  // Empty or Cancel: every stock that has a name.
  ASSERT_TRUE(s.searchName(std::nullopt));
  EXPECT_EQ(s.listedCount(), 3);

  // In a watch-list universe both searches join with " and ".
  ScreeningSession w(toUtf8(db), 22, tavrin::watchListQuery({"7203", "130A"}), "day");
  ASSERT_TRUE(w.load());
  EXPECT_EQ(w.listedCount(), 2);
  ASSERT_TRUE(w.searchCode(std::string("9999")));
  EXPECT_EQ(w.listedCount(), 0);
  ASSERT_TRUE(w.searchName(std::string("上場")));
  EXPECT_EQ(w.listedCount(), 1);
  ScreeningSession none(toUtf8(db), 23, tavrin::watchListQuery({}), "day");
  ASSERT_TRUE(none.load());
  EXPECT_EQ(none.listedCount(), 0);
  ASSERT_TRUE(none.clickPattern(*findPattern("Command14")));
  EXPECT_EQ(none.listedCount(), 0);

  // 元に戻す: the whole universe by 単位.
  ASSERT_TRUE(s.restore());
  EXPECT_EQ(s.listedCount(), 4);
}

TEST(GridSort, Settings) {
  const std::vector<std::string> t = {"10", "9", "abc", "", "ABD", "-1"};
  std::vector<int> o = {0, 1, 2, 3, 4, 5};
  sortGridOrder(o, t, 1);
  EXPECT_EQ(o, (std::vector<int>{3, 5, 1, 0, 4, 2}));  // numbers as numbers, the rest as text
  o = {0, 1, 2, 3, 4, 5};
  sortGridOrder(o, t, 3);
  EXPECT_EQ(o, (std::vector<int>{2, 3, 4, 5, 1, 0}));  // non-numbers first, stable
  o = {0, 1, 2, 3, 4, 5};
  sortGridOrder(o, t, 7);
  EXPECT_EQ(o, (std::vector<int>{3, 5, 0, 1, 4, 2}));
  o = {0, 1, 2, 3, 4, 5};
  sortGridOrder(o, {"b", "Ａ", "a", "B", "ａ", "C"}, 5);
  EXPECT_EQ(o, (std::vector<int>{2, 0, 3, 5, 1, 4}));
  o = {0, 1, 2};
  sortGridOrder(o, {"3", "1", "2"}, 6);
  EXPECT_EQ(o, (std::vector<int>{0, 1, 2}));
}

// Keys computed without the texts order rows as the texts do under both
// generic settings, ties kept in the order before: numbers by value, empty
// cells first, texts by their bytes, and texts whose ranks stand for them
// (dates as day numbers) as their texts sort.
TEST(GridSort, KeysOrderAsTheTextsDo) {
  std::vector<std::string> texts;
  std::vector<GridSortKey> keys;
  const char* words[] = {"abc", "ABD", "130A", "東証プライム", " ", "1e3", "-0.50", "0123"};
  for (int i = 0; i < 400; ++i) {
    const int pick = (i * 7919) % 13;
    texts.push_back(pick < 8 ? std::string(words[pick]) : pick < 10 ? "" : std::to_string((i * 31) % 17 - 8) + ".25");
  }
  for (const std::string& t : texts) keys.push_back(gridSortKeyOf(t));
  for (int setting : {1, 2}) {
    std::vector<int> byText(texts.size()), byKey;
    for (size_t i = 0; i < byText.size(); ++i) byText[i] = static_cast<int>((i * 37) % texts.size());
    byKey = byText;
    sortGridOrder(byText, texts, setting);
    sortGridOrderByKeys(byKey, keys, setting == 2);
    EXPECT_EQ(byKey, byText) << setting;
  }
  // Dates: ranked by day number, no text kept.
  std::vector<std::string> dates;
  std::vector<GridSortKey> ranked;
  for (int day : {20500, 19000, 20500, 21000, 19001, 0}) {
    dates.push_back(isoDate(day));
    GridSortKey k;
    k.kind = GridSortKey::Text;
    k.value = day;
    ranked.push_back(k);
  }
  for (int setting : {1, 2}) {
    std::vector<int> byText = {0, 1, 2, 3, 4, 5}, byKey = byText;
    sortGridOrder(byText, dates, setting);
    sortGridOrderByKeys(byKey, ranked, setting == 2);
    EXPECT_EQ(byKey, byText) << setting;
  }
}

TEST(ScreeningCli, ListsPatternsSearchesAndWatchLists) {
  test::TempDir dir;
  const auto db = dir / "kabuka.mdb";
  createPriceDatabase(db, "day");
  {
    Database d(db);
    auto rec = *readDateRecord(d);
    for (int i = 0; i < 10; ++i) rec.dates[static_cast<size_t>(i)] = "26/12/" + std::to_string(10 + i);
    writeDateRecord(d, rec);
  }
  insertStocks(db, {{"保合A", Value(1001), "東証１部", 1000, fromRatios({3, -3, 0, 1, 2, 0, 0, -1, 3})},
                    {"外れ", Value(1003), "東証１部", 10, fromRatios({4, -3, 0, 1, 2, 0, 0, -1, 3})}});
  const std::string cli = test::cliPath() + " --root '" + dir.path().string() + "' screen ";
  auto r = test::runCommand(cli + "--universe 1001 --pattern Command14");
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "ID\t銘柄\tコード\t市場\t単位\t26/12/10\t26/12/"
            "19\t1日前\t2日前\t3日前\t4日前\t5日前\t6日前\t7日前\t8日前\t9日前\n"
            "1\t保合A\t1001\t東証１部\t1000\t10000\t10300\t3\t-3\t0\t1\t2\t0\t0\t-1\t3\n");
  r = test::runCommand(cli + "--universe 1001 --all-patterns");
  ASSERT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("Command14\t保合\t1\n"), std::string::npos);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 67);
  r = test::runCommand(cli + "--universe 1001 --search-name '外'");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2);
  EXPECT_EQ(test::runCommand(cli + "--universe 1099").status, 2);
  // No watch-list file yet: an empty list keeps nothing.
  r = test::runCommand(cli + "--universe 1001 --extract trend");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1);
  EXPECT_EQ(test::runCommand(cli + "--universe 1001 --db '" + (dir / "none.mdb").string() + "' 2>/dev/null").status, 1);

  createWatchListDatabase(dir / "kabulist.mdb");
  {
    Database w(dir / "kabulist.mdb");
    w.execute("insert into [trend] ([コード],[銘柄]) values (1003, '外れ')");
  }
  r = test::runCommand(cli + "--universe 1022");
  ASSERT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("\t外れ\t1003\t"), std::string::npos);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2);
  r = test::runCommand(cli + "--universe 1023");
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1);
  r = test::runCommand(cli + "--universe 1001 --extract trend");
  ASSERT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("\t外れ\t1003\t"), std::string::npos);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2);
  r = test::runCommand(cli + "--universe 1022 --extract checklist");
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1);
}

// Pattern clicks served from the loaded universe list exactly what the
// database lists, cell for cell and in the same order, and fall back to the
// database as soon as the file changes.
TEST(ScreeningDb, RememberedUniverseListsWhatTheDatabaseLists) {
  test::TempDir dir;
  const auto db = dir / "kabuka.mdb";
  createPriceDatabase(db, "day");
  std::vector<Stock> stocks = plantedStocks();
  std::mt19937 rng(99);
  for (int i = 0; i < 1500; ++i) {
    std::vector<std::int64_t> p(10);
    double price = 100 + rng() % 3000;
    for (auto& x : p) {
      x = rng() % 40 == 0 ? 0 : static_cast<std::int64_t>(price);
      price *= 1 + (static_cast<int>(rng() % 41) - 22) / 1000.0;
    }
    stocks.push_back(
        {"乱" + std::to_string(i), Value(5000 + i), i % 2 ? "東証１部" : "マザーズ", i % 3 ? 100 : 1000, p});
  }
  insertStocks(db, stocks);
  for (int universe : {1, 2, 22}) {
    const std::string base = universe == 22 ? tavrin::watchListQuery({"2001", "2010", "2030", "5003", "5004", "130A"})
                                            : universeQuery(universe);
    for (const char* unit : {"day", "month"}) {
      ScreeningSession remembered(toUtf8(db), universe, base, unit);
      ASSERT_TRUE(remembered.load());
      ASSERT_TRUE(remembered.universe().current(toUtf8(db), base));
      for (const auto& p : patternCatalogue()) {
        ScreeningSession asked(toUtf8(db), universe, base, unit);  // not loaded: asks the database
        ASSERT_TRUE(asked.clickPattern(p));
        ASSERT_TRUE(remembered.clickPattern(p));
        EXPECT_EQ(remembered.view().recordSource(), asked.view().recordSource());
        ASSERT_EQ(remembered.listedCount(), asked.listedCount()) << universe << unit << p.control;
        for (int r = 1; r <= asked.listedCount(); ++r)
          for (int c = 1; c <= 16; ++c) ASSERT_EQ(remembered.cellText(r, c), asked.cellText(r, c)) << p.control;
      }
    }
  }
  // A change to the file: the next click asks the database again.
  ScreeningSession s(toUtf8(db), 1, universeQuery(1), "day");
  ASSERT_TRUE(s.load());
  {
    Database d(db);
    d.exec("drop view [list1plus]");
  }
  setLogQuiet(true);
  EXPECT_FALSE(s.clickPattern(*findPattern("Command14")));
  setLogQuiet(false);
}
