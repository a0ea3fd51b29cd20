#pragma once
// The parsed form of a Condition, shared by its evaluators (not part of the
// public interface).
#include <memory>
#include <vector>

#include "screening/condition.h"

namespace tavrin::screening {

struct ExprNode {
  enum Kind { Const, Ratio, Add, Sub, Div, Neg } kind;
  double value = 0;  // Const, and the divisor of Div
  int index = 0;     // Ratio: 1..9
  std::shared_ptr<const ExprNode> a, b;
};
using ExprP = std::shared_ptr<const ExprNode>;

enum class Op { Lt, Le, Gt, Ge, Eq, Ne };

struct CondNode {
  enum Kind { Cmp, Between, And, Or } kind;
  Op op = Op::Eq;
  ExprP x, y, z;  // Cmp: x op y; Between: x in [y, z]
  std::vector<std::shared_ptr<const CondNode>> kids;
};
using CondP = std::shared_ptr<const CondNode>;

}  // namespace tavrin::screening
