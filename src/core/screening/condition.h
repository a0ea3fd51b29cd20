#pragma once
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin::screening {

// The nine trend ratios of one stock (ratio1..ratio9); nullopt is Null.
using Ratios = std::array<std::optional<double>, 9>;

// SQL three-valued truth.
enum class Truth { False, True, Unknown };

struct CondNode;
struct CompiledCondition;

// One screening condition written in the pattern notation, e.g.
// "r1 in [-150, -5] & r1 <= r2 <= r4 & H(1,2) <= r9 & one of: (a) ...; (b) ...".
// It can be turned into an SQL expression over the view columns
// [ratio1]..[ratio9], or evaluated directly over a stock's ratios; both
// follow the same real arithmetic and the same three-valued logic.
class Condition {
 public:
  // Throws std::invalid_argument with the position of the fault.
  static Condition parse(std::string_view text);

  // An SQL boolean expression (no leading joiner, no outer parentheses).
  std::string toSql() const;
  // Evaluates like the database would: a comparison with a Null is unknown.
  Truth evaluate(const Ratios& r) const;
  // The same, walking the parsed tree (a cross-check of the fast path).
  Truth evaluateByTree(const Ratios& r) const;
  // How far the ratios are from meeting the condition (0 when it holds);
  // Nulls count as far. Used to search for sample data.
  double distance(const Ratios& r) const;

  const std::string& text() const { return text_; }
  // The parsed tree (condition_tree.h), for the other evaluators.
  const CondNode* tree() const { return root_.get(); }

 private:
  std::string text_;
  std::shared_ptr<const CondNode> root_;
  std::shared_ptr<const CompiledCondition> compiled_;  // the same condition as flat code, for speed
};

}  // namespace tavrin::screening
