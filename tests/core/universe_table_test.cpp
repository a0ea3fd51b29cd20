#include <gtest/gtest.h>
#include <set>
#include <utility>

#include "app/paths.h"
#include "backtest/universe_filter.h"
#include "data/price_schema.h"
#include "data/universe_table.h"
#include "test_support.h"

using namespace tavrin;

namespace {

// The views as the price databases hold them: every view selects the same
// columns and ratios from list, and each one keeps its own rows.
const char* const kSelect =
    "select [ID], [銘柄], [コード], [市場], [単位], [kabuka1], [kabuka10]"
    ", (case when [kabuka1] is null or [kabuka2] is null or [kabuka1] = 0 then null else (case when ((100 "
    "* ([kabuka2] - [kabuka1])) < 0) <> ([kabuka1] < 0) then -1 else 1 end) * cast((2 * abs((100 * "
    "([kabuka2] - [kabuka1]))) + abs([kabuka1])) / (2 * abs([kabuka1])) as integer) end) as [ratio1]"
    ", (case when [kabuka1] is null or [kabuka3] is null or [kabuka1] = 0 then null else (case when ((100 "
    "* ([kabuka3] - [kabuka1])) < 0) <> ([kabuka1] < 0) then -1 else 1 end) * cast((2 * abs((100 * "
    "([kabuka3] - [kabuka1]))) + abs([kabuka1])) / (2 * abs([kabuka1])) as integer) end) as [ratio2]"
    ", (case when [kabuka1] is null or [kabuka4] is null or [kabuka1] = 0 then null else (case when ((100 "
    "* ([kabuka4] - [kabuka1])) < 0) <> ([kabuka1] < 0) then -1 else 1 end) * cast((2 * abs((100 * "
    "([kabuka4] - [kabuka1]))) + abs([kabuka1])) / (2 * abs([kabuka1])) as integer) end) as [ratio3]"
    ", (case when [kabuka1] is null or [kabuka5] is null or [kabuka1] = 0 then null else (case when ((100 "
    "* ([kabuka5] - [kabuka1])) < 0) <> ([kabuka1] < 0) then -1 else 1 end) * cast((2 * abs((100 * "
    "([kabuka5] - [kabuka1]))) + abs([kabuka1])) / (2 * abs([kabuka1])) as integer) end) as [ratio4]"
    ", (case when [kabuka1] is null or [kabuka6] is null or [kabuka1] = 0 then null else (case when ((100 "
    "* ([kabuka6] - [kabuka1])) < 0) <> ([kabuka1] < 0) then -1 else 1 end) * cast((2 * abs((100 * "
    "([kabuka6] - [kabuka1]))) + abs([kabuka1])) / (2 * abs([kabuka1])) as integer) end) as [ratio5]"
    ", (case when [kabuka1] is null or [kabuka7] is null or [kabuka1] = 0 then null else (case when ((100 "
    "* ([kabuka7] - [kabuka1])) < 0) <> ([kabuka1] < 0) then -1 else 1 end) * cast((2 * abs((100 * "
    "([kabuka7] - [kabuka1]))) + abs([kabuka1])) / (2 * abs([kabuka1])) as integer) end) as [ratio6]"
    ", (case when [kabuka1] is null or [kabuka8] is null or [kabuka1] = 0 then null else (case when ((100 "
    "* ([kabuka8] - [kabuka1])) < 0) <> ([kabuka1] < 0) then -1 else 1 end) * cast((2 * abs((100 * "
    "([kabuka8] - [kabuka1]))) + abs([kabuka1])) / (2 * abs([kabuka1])) as integer) end) as [ratio7]"
    ", (case when [kabuka1] is null or [kabuka9] is null or [kabuka1] = 0 then null else (case when ((100 "
    "* ([kabuka9] - [kabuka1])) < 0) <> ([kabuka1] < 0) then -1 else 1 end) * cast((2 * abs((100 * "
    "([kabuka9] - [kabuka1]))) + abs([kabuka1])) / (2 * abs([kabuka1])) as integer) end) as [ratio8]"
    ", (case when [kabuka1] is null or [kabuka10] is null or [kabuka1] = 0 then null else (case when "
    "((100 * ([kabuka10] - [kabuka1])) < 0) <> ([kabuka1] < 0) then -1 else 1 end) * cast((2 * abs((100 * "
    "([kabuka10] - [kabuka1]))) + abs([kabuka1])) / (2 * abs([kabuka1])) as integer) end) as [ratio9] "
    "from [list]";

std::vector<std::pair<std::string, std::string>> savedViewTexts() {
  const std::vector<std::pair<std::string, std::string>> where = {
      {"list1plus", ""},
      {"list1plus-1bu", " where [市場] in ('東証１部','大証１部','名証１部','東証プライム','名証プレミア')"},
      {"list1plus-2bu", " where [市場] in ('東証２部','大証２部','名証２部','東証スタンダード','名証メイン')"},
      {"list1plus-tentou",
       " where [市場] in "
       "('ジャスダック','ヘラクレス','マザーズ','東証グロース','名証ネクスト','札証アンビシャス','福証Q-Board')"},
      {"list1plus-1000U", " where [単位] = 1000"},
      {"list1plus-100U", " where [単位] = 100"},
      {"list1plus-001U", " where [単位] = 1"},
      {"list1plus-to1low",
       " where [市場] in ('東証１部','東証プライム') and ([kabuka1] * [単位]) between 10000 and 200000"},
      {"list1plus-30", " where ([kabuka1] * [単位]) >= 300000 and ([kabuka1] * [単位]) < 500000"},
      {"list1plus-d100-30", " where [単位] = 100 and ([kabuka1] * [単位]) >= 100000 and ([kabuka1] * [単位]) < 300000"},
      {"list1plus-10", " where ([kabuka1] * [単位]) <= 100000"},
      {"list1plus-10-30", " where ([kabuka1] * [単位]) >= 200000 and ([kabuka1] * [単位]) < 300000"},
      {"list1plus-f-20",
       " where [市場] in ('東証１部','東証プライム') and [単位] = 1000 and ([kabuka1] * [単位]) <= 200000"},
      {"list1plus-a1-10",
       " where [市場] in ('東証１部','大証１部','名証１部','東証プライム','名証プレミア') and ([kabuka1] * [単位]) >= "
       "200000 and ([kabuka1] * [単位]) < 400000"},
      {"list1plus-50up", " where ([kabuka1] * [単位]) >= 500000 and ([kabuka1] * [単位]) < 1000000"},
      {"list1plus-10-20", " where ([kabuka1] * [単位]) >= 100000 and ([kabuka1] * [単位]) < 200000"},
      {"list1plus-bce", " where [単位] in (10, 50, 500)"},
      {"list1plus-d100+30", " where [単位] = 100 and ([kabuka1] * [単位]) >= 300000"},
      {"list1plus-a1+10", " where [単位] = 1 and ([kabuka1] * [単位]) >= 300000"},
      {"list1plus-100up", " where ([kabuka1] * [単位]) >= 1000000"},
      {"list1plus-f1000+30",
       " where [市場] in ('東証１部','大証１部','名証１部','東証プライム','名証プレミア') and ([kabuka1] * [単位]) >= "
       "400000 and ([kabuka1] * [単位]) < 600000"},
  };
  std::vector<std::pair<std::string, std::string>> out;
  for (const auto& [name, tail] : where) out.emplace_back(name, "CREATE VIEW [" + name + "] as " + kSelect + tail);
  return out;
}

// The views of one schema hold the saved statements, in the order they were made.
void expectSavedTexts(Database& db, const std::string& schema) {
  const auto wanted = savedViewTexts();
  const QueryResult r =
      db.query("select name, sql from [" + schema + "].sqlite_master where type = 'view' order by rowid");
  ASSERT_EQ(r.rows.size(), wanted.size()) << schema;
  for (std::size_t i = 0; i < wanted.size(); ++i) {
    EXPECT_EQ(r.rows[i][0].display(), wanted[i].first) << schema;
    EXPECT_EQ(r.rows[i][1].display(), wanted[i].second) << schema << " " << wanted[i].first;
  }
}

}  // namespace

TEST(UniverseViews, StatementsAreTheSavedOnes) {
  test::TempDir dir;
  createPriceDatabase(dir / "kabuka.mdb", "day");
  createPriceDatabase(dir / "Wkabuka.mdb", "week");
  Database db(dir / "kabuka.mdb");
  expectSavedTexts(db, "main");

  // An attached file whose views are missing or stale gets the same statements.
  db.execute("attach database ? as [week]", {toUtf8(dir / "Wkabuka.mdb")});
  for (const auto& [name, sql] : savedViewTexts()) db.exec("drop view [week].[" + name + "]");
  db.exec("create view [week].[list1plus-30] as select * from [list] where [kabuka1] > 0");
  EXPECT_EQ(refreshUniverseViews(db, "week"), 21);
  expectSavedTexts(db, "week");
}

TEST(UniverseRules, WatchListsAreTheUniversesWithoutAView) {
  for (const UniverseInfo& u : universes()) {
    const UniverseRule* rule = universeRule(u.index);
    ASSERT_NE(rule, nullptr);
    EXPECT_EQ(rule->index, u.index);
    EXPECT_EQ(rule->watchList, !*u.viewName) << u.index;
    EXPECT_EQ(backtest::universeFilter(u.index).watchList, rule->watchList) << u.index;
    if (rule->watchList) {
      EXPECT_TRUE(rule->markets.empty() && rule->units.empty() && !rule->band);
    }
  }
  EXPECT_EQ(universeRule(0), nullptr);
  EXPECT_EQ(universeRule(24), nullptr);
}

// At each bound of each band, one trading unit below and above it, for every
// market word and unit the universes name (and some they do not), the
// backtest's filters keep exactly the rows the views keep.
TEST(UniverseFilters, AgreeWithTheViewsAtEveryBound) {
  test::TempDir dir;
  createPriceDatabase(dir / "kabuka.mdb", "day");
  Database db(dir / "kabuka.mdb");
  std::set<std::string> markets = {"東証PRO", "福証", ""};
  std::set<int> units = {200};
  std::set<std::int64_t> bounds;
  for (const UniverseRule& r : universeRules()) {
    for (std::string_view m : r.markets) markets.insert(std::string(m));
    for (int u : r.units) units.insert(u);
    if (r.band)
      for (const auto& b : {r.band->from, r.band->below, r.band->upTo})
        if (b) bounds.insert(*b);
  }
  ASSERT_GE(bounds.size(), 8u);
  std::vector<std::optional<std::int64_t>> unitValues(units.begin(), units.end());
  unitValues.push_back(std::nullopt);
  Transaction tx(db);
  Statement insert(db, "insert into [list] ([銘柄], [コード], [市場], [単位], [kabuka1]) values ('x', ?, ?, ?, ?)");
  int code = 0;
  for (const std::string& market : markets)
    for (const auto& unit : unitValues) {
      const std::int64_t lot = unit ? *unit : 1;
      std::vector<std::optional<std::int64_t>> closes = {std::nullopt, 0};
      for (std::int64_t b : bounds)
        for (std::int64_t step : {-1, 0, 1}) closes.push_back(b / lot + step);
      for (const auto& close : closes) {
        insert.reset();
        insert.bindAll({++code, market.empty() ? Value() : Value(market), unit ? Value(*unit) : Value(),
                        close ? Value(*close) : Value()});
        insert.step();
      }
    }
  tx.commit();

  for (const UniverseInfo& u : universes()) {
    if (!*u.viewName) continue;
    std::set<std::int64_t> inView, inFilter;
    for (const Row& r : db.query(universeQuery(u.index)).rows) inView.insert(r[2].integer());
    const backtest::UniverseFilter& f = backtest::universeFilter(u.index);
    for (const Row& r : db.query("select [コード], [市場], [単位], [kabuka1] from [list]").rows) {
      std::optional<double> cost;
      if (!r[2].isNull() && !r[3].isNull()) cost = *r[2].asNumber() * *r[3].asNumber();
      if (backtest::passesListPart(f, r[1].display(), r[2].asNumber()) && backtest::passesCost(f, cost))
        inFilter.insert(r[0].integer());
    }
    EXPECT_FALSE(inView.empty()) << u.index;
    EXPECT_EQ(inFilter, inView) << u.index;
  }
}
