#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>

#include "data/database.h"
#include "ratio_vectors.h"
#include "sample/demo_planting.h"
#include "screening/condition.h"
#include "screening/pattern_catalogue.h"

using namespace tavrin;
using namespace tavrin::screening;

namespace {

Ratios ratios(std::initializer_list<std::optional<double>> v) {
  Ratios r{};
  size_t i = 0;
  for (const auto& x : v) r[i++] = x;
  return r;
}

Truth eval(const char* text, const Ratios& r) { return Condition::parse(text).evaluate(r); }

// Every distinct condition text of the catalogue.
std::vector<std::pair<std::string, const char*>> allConditionTexts() {
  std::vector<std::pair<std::string, const char*>> out;
  for (const auto& p : patternCatalogue()) {
    out.emplace_back(p.control, p.condition);
    if (p.otherCondition) out.emplace_back(std::string(p.control) + " (other)", p.otherCondition);
  }
  return out;
}

}  // namespace

TEST(ScreeningCondition, NotationForms) {
  // Ranges expand into one atom per ratio.
  EXPECT_EQ(eval("r[1..9] in [-3, 3]", ratios({3, -3, 0, 1, 2, 0, 0, -1, 3})), Truth::True);
  EXPECT_EQ(eval("r[1..9] in [-3, 3]", ratios({3, -3, 0, 1, 2, 0, 0, -1, 3.5})), Truth::False);
  EXPECT_EQ(eval("r1 - r[3..4] in [-1, 1]", ratios({5, 0, 4, 7})), Truth::False);
  EXPECT_EQ(eval("r1 - r[3..4] in [-1, 1]", ratios({5, 0, 4, 6})), Truth::True);
  // H halves each ratio before adding: no whole-number division anywhere.
  EXPECT_EQ(eval("H(1,2) = 0.5", ratios({1, 0})), Truth::True);
  // M5(0) = (r1 + r2 + r3 + r4)/5, r0 being 0.
  EXPECT_EQ(eval("M5(0) = 2", ratios({1, 2, 3, 4})), Truth::True);
  EXPECT_EQ(eval("M2(0) = 0.5", ratios({1})), Truth::True);
  EXPECT_EQ(eval("M3(7) = 8", ratios({0, 0, 0, 0, 0, 0, 7, 8, 9})), Truth::True);
  // M{2..10}(0) <= -0.3 holds at exactly -0.3 (M10(0) = -3/10).
  const Ratios exact = ratios({-3, 0, 0, 0, 0, 0, 0, 0, 0});
  EXPECT_EQ(eval("M10(0) <= -0.3", exact), Truth::True);
  EXPECT_EQ(eval("M{2..10}(0) <= -0.3", exact), Truth::True);
  EXPECT_EQ(eval("M{2..10}(0) <= -0.3", ratios({-3, 0, 0, 0, 0, 0, 0, 0, 0.5})), Truth::False);
  // steps and lag differences.
  EXPECT_EQ(eval("steps(1-4: 1,1,1)", ratios({0, 1, 2, 2})), Truth::True);
  EXPECT_EQ(eval("steps(1-4: 1,1,1)", ratios({0, 1, 3, 2})), Truth::False);
  EXPECT_EQ(eval("D2(1..3) >= 1", ratios({5, 4, 4, 3, 3})), Truth::True);
  EXPECT_EQ(eval("D2(1..3) >= 1", ratios({5, 4, 4, 3, 4})), Truth::False);
  // Chains, alternatives, precedence.
  EXPECT_EQ(eval("r1 <= r2 <= r3", ratios({1, 2, 3})), Truth::True);
  EXPECT_EQ(eval("r1 <= r2 <= r3", ratios({1, 4, 3})), Truth::False);
  EXPECT_EQ(eval("r1 < 0 & one of: (a) r2 in [-5, -4]; (b) r2 > 10", ratios({-1, 11})), Truth::True);
  EXPECT_EQ(eval("r1 < 0 & one of: (a) r2 in [-5, -4]; (b) r2 > 10", ratios({1, 11})), Truth::False);
  EXPECT_EQ(eval("r1 = 1 | r2 = 1 & r3 = 1", ratios({1, 0, 0})), Truth::True);
  EXPECT_EQ(eval("(r1 = 1 | r2 = 1) & r3 = 1", ratios({1, 0, 0})), Truth::False);
  EXPECT_EQ(eval("S(1-9) < -15", ratios({-2, -2, -2, -2, -2, -2, -2, -2, 0})), Truth::True);

  EXPECT_THROW(Condition::parse("r10 > 0"), std::invalid_argument);
  EXPECT_THROW(Condition::parse("M5(6) > 0"), std::invalid_argument);
  EXPECT_THROW(Condition::parse("r1 >"), std::invalid_argument);
  EXPECT_THROW(Condition::parse("steps(1-4: 1,1)"), std::invalid_argument);
}

TEST(ScreeningCondition, ThreeValuedLogic) {
  const Ratios nullR9 = ratios({-9, 0, 0, 0, 0, 0, 0, 0, std::nullopt});
  EXPECT_EQ(eval("r9 in [-100, 1]", nullR9), Truth::Unknown);
  EXPECT_EQ(eval("r1 < 0 | r9 > 0", nullR9), Truth::True);
  EXPECT_EQ(eval("r1 > 0 | r9 > 0", nullR9), Truth::Unknown);
  EXPECT_EQ(eval("r1 > 0 & r9 > 0", nullR9), Truth::False);
  EXPECT_EQ(eval("r1 < 0 & r9 > 0", nullR9), Truth::Unknown);
}

TEST(ScreeningCondition, SqlUsesRealDivisionAndLowerBoundFirst) {
  const std::string sql = Condition::parse("H(1,2) > M5(0) & r1 in [-4, -150] & r2 / 3 > 0").toSql();
  EXPECT_NE(sql.find("[ratio1] / 2.0"), std::string::npos) << sql;
  EXPECT_NE(sql.find("/ 5.0"), std::string::npos) << sql;
  EXPECT_NE(sql.find("/ 3.0"), std::string::npos) << sql;
  EXPECT_NE(sql.find("between (-150) and (-4)"), std::string::npos) << sql;
  EXPECT_EQ(sql.find("--"), std::string::npos) << sql;
}

TEST(ScreeningCondition, EveryCatalogueConditionParses) {
  for (const auto& [name, text] : allConditionTexts()) {
    EXPECT_NO_THROW(Condition::parse(text)) << name;
  }
}

// Thousands of ratio vectors through both evaluators: the database with the
// generated SQL and the direct evaluation must list exactly the same rows,
// for every condition text of every pattern.
TEST(ScreeningCondition, SqlAndDirectEvaluationAgree) {
  const std::vector<Ratios> vectors = test::conditionTestVectors();

  Database db(":memory:", Database::Mode::Create);
  std::string ddl = "create table t (id integer primary key";
  for (int n = 1; n <= 9; ++n) ddl += ", ratio" + std::to_string(n);
  db.exec(ddl + ")");
  {
    Transaction tx(db);
    Statement ins(db, "insert into t values (?,?,?,?,?,?,?,?,?,?)");
    for (size_t i = 0; i < vectors.size(); ++i) {
      ins.bind(1, Value(static_cast<std::int64_t>(i)));
      for (int n = 0; n < 9; ++n) {
        const auto& x = vectors[i][static_cast<size_t>(n)];
        Value v;
        if (x && *x == std::floor(*x))
          v = Value(static_cast<std::int64_t>(*x));
        else if (x)
          v = Value(*x);
        ins.bind(n + 2, v);
      }
      ins.step();
      ins.reset();
    }
    tx.commit();
  }
  int withHits = 0;
  for (const auto& [name, text] : allConditionTexts()) {
    const Condition c = Condition::parse(text);
    std::set<std::int64_t> fromSql;
    for (const Row& row : db.query("select id from t where (" + c.toSql() + ")").rows) fromSql.insert(row[0].integer());
    std::set<std::int64_t> direct;
    for (size_t i = 0; i < vectors.size(); ++i)
      if (c.evaluate(vectors[i]) == Truth::True) direct.insert(static_cast<std::int64_t>(i));
    EXPECT_EQ(fromSql, direct) << name << ": " << text;
    if (!direct.empty()) ++withHits;
  }
  // Only the watch-list form of "3N" may go without a hit here.
  EXPECT_GE(withHits, static_cast<int>(allConditionTexts().size()) - 1);
}
