#include <gtest/gtest.h>

#include "app/paths.h"
#include "data/data_view.h"
#include "data/price_schema.h"
#include "test_support.h"

using namespace tavrin;

namespace {

// Inserts one stock with the given prices (nullopt = Null) and returns the
// ratios the all-markets view computes for it.
std::vector<Value> ratiosFor(Database& db, const std::vector<std::optional<long>>& prices) {
  db.exec("delete from [list]");
  std::string sql = "insert into [list] ([銘柄],[コード],[市場],[単位]";
  std::vector<Value> params = {std::string("テスト"), 1301, std::string("東証１部"), 100};
  for (size_t i = 0; i < prices.size(); ++i) sql += ",[kabuka" + std::to_string(i + 1) + "]";
  sql += ") values (?,?,?,?";
  for (const auto& p : prices) {
    sql += ",?";
    params.push_back(p ? Value(static_cast<std::int64_t>(*p)) : Value());
  }
  db.execute(sql + ")", params);
  QueryResult r = db.query("select * from [list1plus]");
  EXPECT_EQ(r.rows.size(), 1u);
  return std::vector<Value>(r.rows[0].begin() + 7, r.rows[0].end());
}

}  // namespace

TEST(PriceSchema, ViewsDeliverColumnsInGridOrder) {
  test::TempDir dir;
  createPriceDatabase(dir / "kabuka.mdb", "day");
  Database db(dir / "kabuka.mdb");
  for (const auto& u : universes()) {
    if (!*u.viewName) continue;
    QueryResult r = db.query(universeQuery(u.index));
    ASSERT_EQ(r.fields.size(), 16u) << u.viewName;
    EXPECT_EQ(r.fields[1], "銘柄");
    EXPECT_EQ(r.fields[2], "コード");
    EXPECT_EQ(r.fields[5], "kabuka1");
    EXPECT_EQ(r.fields[6], "kabuka10");
    EXPECT_EQ(r.fields[7], "ratio1");
    EXPECT_EQ(r.fields[15], "ratio9");
  }
  auto rec = readDateRecord(db);
  ASSERT_TRUE(rec);
  EXPECT_EQ(rec->unit, "day");
}

namespace {
// Codes of a universe's view, ascending.
std::vector<std::int64_t> universeCodes(Database& db, int index) {
  std::vector<std::int64_t> out;
  for (const Row& r : db.query(universeQuery(index) + " order by [コード]").rows) out.push_back(r[2].integer());
  return out;
}
}  // namespace

TEST(PriceSchema, SectionUniversesKeepTodaysSegmentsBesidesTheOldWords) {
  test::TempDir dir;
  createPriceDatabase(dir / "kabuka.mdb", "day");
  Database db(dir / "kabuka.mdb");
  // One stock per market word; a lot of 300,000 yen (1,000 shares for 1001).
  const std::vector<std::pair<int, const char*>> markets = {{1001, "東証１部"},         {1002, "東証プライム"},
                                                            {1003, "名証プレミア"},     {1004, "大証１部"},
                                                            {1005, "東証２部"},         {1006, "東証スタンダード"},
                                                            {1007, "名証メイン"},       {1008, "マザーズ"},
                                                            {1009, "東証グロース"},     {1010, "名証ネクスト"},
                                                            {1011, "札証アンビシャス"}, {1012, "福証Q-Board"},
                                                            {1013, "東証PRO"},          {1014, "福証"}};
  for (const auto& [code, market] : markets)
    db.execute("insert into [list] ([銘柄],[コード],[市場],[単位],[kabuka1]) values ('x', ?, ?, ?, ?)",
               {code, market, code == 1001 ? 1000 : 100, code == 1001 ? 300 : 3000});
  EXPECT_EQ(universeCodes(db, 2), (std::vector<std::int64_t>{1001, 1002, 1003, 1004}));
  EXPECT_EQ(universeCodes(db, 3), (std::vector<std::int64_t>{1005, 1006, 1007}));
  EXPECT_EQ(universeCodes(db, 4), (std::vector<std::int64_t>{1008, 1009, 1010, 1011, 1012}));
  EXPECT_EQ(universeCodes(db, 14), (std::vector<std::int64_t>{1001, 1002, 1003, 1004}));
  db.exec("update [list] set [kabuka1] = [kabuka1] * 5 / 3");  // 500,000 yen
  EXPECT_EQ(universeCodes(db, 21), (std::vector<std::int64_t>{1001, 1002, 1003, 1004}));
  db.exec("update [list] set [kabuka1] = [kabuka1] / 5");  // 100,000 yen
  EXPECT_EQ(universeCodes(db, 8), (std::vector<std::int64_t>{1001, 1002}));
  EXPECT_EQ(universeCodes(db, 13), (std::vector<std::int64_t>{1001}));

  // A file made with the views of before gets the current ones.
  db.exec("drop view [list1plus-1bu]");
  db.exec("create view [list1plus-1bu] as select * from [list] where [市場] = '東証１部'");
  EXPECT_EQ(refreshUniverseViews(db, "main"), 1);
  EXPECT_EQ(refreshUniverseViews(db, "main"), 0);
  EXPECT_EQ(universeCodes(db, 2), (std::vector<std::int64_t>{1001, 1002, 1003, 1004}));
}

TEST(PriceSchema, RatiosRoundHalvesAwayFromZeroExactly) {
  test::TempDir dir;
  createPriceDatabase(dir / "kabuka.mdb", "day");
  Database db(dir / "kabuka.mdb");
  // 201/200 is 100.5 %: +0.5 rounds to 1 (floating point would give 0).
  // 199/200: -0.5 rounds to -1. 3/2: +50. 1/3: -66.67 -> -67. Integer
  // division would make 150/200 zero.
  auto r = ratiosFor(db, {200, 201, 199, 300, 150, 100, 200, std::nullopt, 0, 1000});
  EXPECT_EQ(r[0], Value(1));
  EXPECT_EQ(r[1], Value(-1));
  EXPECT_EQ(r[2], Value(50));
  EXPECT_EQ(r[3], Value(-25));
  EXPECT_EQ(r[4], Value(-50));
  EXPECT_EQ(r[5], Value(0));
  EXPECT_TRUE(r[6].isNull());
  EXPECT_EQ(r[7], Value(-100));
  EXPECT_EQ(r[8], Value(400));
  r = ratiosFor(db, {3, 1, 2, 4, 5, 6, 7, 8, 9, 10});
  EXPECT_EQ(r[0], Value(-67));
  EXPECT_EQ(r[1], Value(-33));
  // kabuka1 of zero or Null: every ratio Null.
  r = ratiosFor(db, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
  for (const auto& v : r) EXPECT_TRUE(v.isNull());
  r = ratiosFor(db, {std::nullopt, 1, 2, 3, 4, 5, 6, 7, 8, 9});
  for (const auto& v : r) EXPECT_TRUE(v.isNull());
}

TEST(DataView, FailedRefreshKeepsPreviousRows) {
  test::TempDir dir;
  createPriceDatabase(dir / "kabuka.mdb", "week");
  DataView v;
  v.setDatabaseName(toUtf8(dir / "kabuka.mdb"));
  v.setRecordSource("select * from [日付]");
  ASSERT_TRUE(v.refresh());
  ASSERT_EQ(v.rowCount(), 1u);
  v.setRecordSource("select * from [no such table]");
  EXPECT_FALSE(v.refresh());
  EXPECT_EQ(v.rowCount(), 1u);
  EXPECT_EQ(v.fields().size(), 22u);
  EXPECT_FALSE(v.lastError().empty());
  // A missing file is a failure, never a new empty database.
  v.setDatabaseName(toUtf8(dir / "missing.mdb"));
  v.setRecordSource("select 1");
  EXPECT_FALSE(v.refresh());
  EXPECT_FALSE(std::filesystem::exists(dir / "missing.mdb"));
}

TEST(Paths, MapsWindowsPathsBelowTheRoot) {
  Paths p("/data/root");
  EXPECT_EQ(p.mapWindowsPath("C:\\Program Files\\Zentavo\\kabuka.mdb"), std::filesystem::path("/data/root/kabuka.mdb"));
  EXPECT_EQ(p.mapWindowsPath("c:\\program files\\zentavo\\Mdb-D\\kabuka030115.mdb"),
            std::filesystem::path("/data/root/Mdb-D/kabuka030115.mdb"));
  EXPECT_EQ(p.mapWindowsPath("C:\\Documents and Settings\\hollin\\デスクトップ\\HPdata\\Divuzi.mdb"),
            std::filesystem::path("/data/root/HPdata/Divuzi.mdb"));
  EXPECT_EQ(p.mapWindowsPath("/elsewhere/x.mdb"), std::filesystem::path("/elsewhere/x.mdb"));
  EXPECT_EQ(p.workbook("owarine"), std::filesystem::path("/data/root/owarine.xls"));
  EXPECT_EQ(Paths::resolveRoot(std::string("/x")), std::filesystem::path("/x"));
}

TEST(Codes, PlainNumbersStayBareOthersAreQuoted) {
  EXPECT_EQ(codeSqlLiteral("7203"), "7203");
  EXPECT_EQ(codeSqlLiteral("130A"), "'130A'");
  EXPECT_EQ(codeSqlLiteral("1' or '1'='1"), "'1'' or ''1''=''1'");
}
