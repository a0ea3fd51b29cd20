#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "screening/condition.h"

namespace tavrin::screening {

// The nine ratios of many stocks, one column per ratio; NaN stands for Null.
struct RatioColumns {
  std::array<std::vector<double>, 9> col;

  std::size_t size() const { return col[0].size(); }
  void clear();
  void resize(std::size_t n);
  void set(std::size_t row, const Ratios& r);
  Ratios row(std::size_t i) const;
  static RatioColumns from(const std::vector<Ratios>& rows);
};

struct ColumnarProgram;

// A condition evaluated over columns of ratios, a block of stocks at a time:
// each part of an "and" is evaluated only for the stocks of the block that
// met the parts before it, each alternative of an "or" only for those no
// earlier alternative listed, and every value expression is computed for
// those stocks in the order the row evaluator computes it (so the rounding
// is the same). It lists exactly the rows for which Condition::evaluate is True.
class ColumnarCondition {
 public:
  explicit ColumnarCondition(const Condition& condition);

  // hits[i] = 1 where the condition holds for row i of the columns.
  void evaluate(const RatioColumns& columns, std::vector<std::uint8_t>& hits) const;
  // The same over n rows of nine column pointers.
  void evaluate(const double* const columns[9], std::size_t n, std::uint8_t* hits) const;
  std::size_t count(const RatioColumns& columns) const;

 private:
  std::shared_ptr<const ColumnarProgram> program_;
};

struct ScreeningPattern;
// The columnar form of conditionFor() (built once per text and kept).
const ColumnarCondition& columnarFor(const ScreeningPattern& p, int universeIndex, const std::string& unitWord);

}  // namespace tavrin::screening
