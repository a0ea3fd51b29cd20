#include <gtest/gtest.h>

#include <cmath>

#include "ratio_vectors.h"
#include "screening/columnar.h"
#include "screening/pattern_catalogue.h"
#include "screening/screening_session.h"

using namespace tavrin;
using namespace tavrin::screening;

// The columnar evaluator lists exactly what the row evaluator lists, for
// every condition text of every pattern, over the vectors the condition
// tests use (Nulls and band edges included).
TEST(ScreeningColumnar, EqualsRowEvaluatorForEveryPattern) {
  const std::vector<Ratios> vectors = test::conditionTestVectors();
  ASSERT_GT(vectors.size(), 8000u);
  const RatioColumns columns = RatioColumns::from(vectors);
  int texts = 0;
  for (const auto& p : patternCatalogue()) {
    for (const char* text : {p.condition, p.otherCondition}) {
      if (!text) continue;
      ++texts;
      const Condition c = Condition::parse(text);
      std::vector<std::uint8_t> hits;
      ColumnarCondition(c).evaluate(columns, hits);
      ASSERT_EQ(hits.size(), vectors.size());
      int mismatches = 0;
      for (size_t i = 0; i < vectors.size(); ++i)
        if ((c.evaluate(vectors[i]) == Truth::True) != (hits[i] == 1) && ++mismatches <= 3)
          ADD_FAILURE() << p.control << " row " << i << ": " << text;
      EXPECT_EQ(mismatches, 0) << p.control;
    }
  }
  EXPECT_GE(texts, 67);
}

TEST(ScreeningColumnar, NullsOrAndNotEqual) {
  // A Null makes a comparison unknown: never listed, also under "<>", and an
  // alternative may still list the row.
  std::vector<Ratios> rows(3);
  rows[0][0] = 1;
  rows[1][0] = std::nullopt;
  rows[2][0] = 2;
  rows[1][1] = -5;
  const RatioColumns cols = RatioColumns::from(rows);
  auto hits = [&](const char* text) {
    std::vector<std::uint8_t> h;
    ColumnarCondition(Condition::parse(text)).evaluate(cols, h);
    return std::vector<int>(h.begin(), h.end());
  };
  EXPECT_EQ(hits("r1 <> 1"), (std::vector<int>{0, 0, 1}));
  EXPECT_EQ(hits("r1 = 1 | r2 in [-5, -4]"), (std::vector<int>{1, 1, 0}));
  EXPECT_EQ(hits("r1 >= 1 & (r2 < 0 | r1 = 2)"), (std::vector<int>{0, 0, 1}));
  EXPECT_EQ(hits("M2(0) = 0.5"), (std::vector<int>{1, 0, 0}));
  // More rows than one block, with the hits at the ends of the blocks.
  std::vector<Ratios> many(1000);
  for (size_t i = 0; i < many.size(); ++i) many[i][0] = (i % 255 == 0) ? -9.0 : 0.0;
  const RatioColumns big = RatioColumns::from(many);
  EXPECT_EQ(ColumnarCondition(Condition::parse("r1 in [-10, -8]")).count(big), 4u);
}

TEST(ScreeningColumnar, CountsEqualRowCounts) {
  const std::vector<Ratios> vectors = test::conditionTestVectors();
  for (const char* unit : {"day", "week"})
    for (int universe : {1, 22})
      EXPECT_EQ(countAllPatterns(vectors, universe, unit), countAllPatternsByRow(vectors, universe, unit))
          << unit << " " << universe;
}
