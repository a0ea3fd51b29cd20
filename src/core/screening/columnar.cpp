#include "screening/columnar.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <mutex>

#include "screening/condition_tree.h"
#include "screening/pattern_catalogue.h"

namespace tavrin::screening {

void RatioColumns::clear() {
  for (auto& c : col) c.clear();
}

void RatioColumns::resize(std::size_t n) {
  for (auto& c : col) c.assign(n, std::numeric_limits<double>::quiet_NaN());
}

void RatioColumns::set(std::size_t row, const Ratios& r) {
  for (std::size_t k = 0; k < 9; ++k) col[k][row] = r[k] ? *r[k] : std::numeric_limits<double>::quiet_NaN();
}

Ratios RatioColumns::row(std::size_t i) const {
  Ratios r;
  for (std::size_t k = 0; k < 9; ++k)
    if (!std::isnan(col[k][i])) r[k] = col[k][i];
  return r;
}

RatioColumns RatioColumns::from(const std::vector<Ratios>& rows) {
  RatioColumns c;
  c.resize(rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) c.set(i, rows[i]);
  return c;
}

namespace {
constexpr std::size_t kBlock = 256;
}

struct ColumnarProgram {
  struct Expr {
    ExprNode::Kind kind;
    double value;
    int ratio;  // 0..8
    int a, b;
  };
  struct Node {
    CondNode::Kind kind;
    Op op;
    int x, y, z;
    int first, count;
  };
  std::vector<Expr> exprs;
  std::vector<Node> nodes;
  std::vector<int> kids;
  int root = -1;
  int exprDepth = 0;  // most value buffers live at once
  int nodeDepth = 0;

  int addExpr(const ExprNode& e, int depth) {
    exprDepth = std::max(exprDepth, depth + 1);
    Expr x{e.kind, e.value, e.index - 1, -1, -1};
    if (e.a) x.a = addExpr(*e.a, depth + 1);
    if (e.b) x.b = addExpr(*e.b, depth + 1);
    exprs.push_back(x);
    return static_cast<int>(exprs.size()) - 1;
  }
  int addNode(const CondNode& c, int depth) {
    nodeDepth = std::max(nodeDepth, depth + 1);
    Node n{c.kind, c.op, -1, -1, -1, 0, 0};
    if (c.kind == CondNode::Cmp || c.kind == CondNode::Between) {
      n.x = addExpr(*c.x, 0);
      n.y = addExpr(*c.y, 0);
      if (c.kind == CondNode::Between) n.z = addExpr(*c.z, 0);
    } else {
      std::vector<int> ids;
      for (const auto& k : c.kids) ids.push_back(addNode(*k, depth + 1));
      n.first = static_cast<int>(kids.size());
      n.count = static_cast<int>(ids.size());
      kids.insert(kids.end(), ids.begin(), ids.end());
    }
    nodes.push_back(n);
    return static_cast<int>(nodes.size()) - 1;
  }
};

namespace {

// A value of the block: a run of doubles, or one constant for every row.
struct Operand {
  const double* p;
  double c;
};

bool none(const std::uint8_t* m, std::size_t n) {
  std::uint8_t any = 0;
  for (std::size_t i = 0; i < n; ++i) any |= m[i];
  return any == 0;
}

template <class Cmp>
void compareInto(Operand x, Operand y, const std::uint8_t* in, std::uint8_t* out, std::size_t n, Cmp cmp) {
  if (x.p && y.p) {
    for (std::size_t i = 0; i < n; ++i) out[i] = in[i] & static_cast<std::uint8_t>(cmp(x.p[i], y.p[i]));
  } else if (x.p) {
    for (std::size_t i = 0; i < n; ++i) out[i] = in[i] & static_cast<std::uint8_t>(cmp(x.p[i], y.c));
  } else if (y.p) {
    for (std::size_t i = 0; i < n; ++i) out[i] = in[i] & static_cast<std::uint8_t>(cmp(x.c, y.p[i]));
  } else {
    const std::uint8_t t = cmp(x.c, y.c) ? 1 : 0;
    for (std::size_t i = 0; i < n; ++i) out[i] = in[i] & t;
  }
}

class BlockRun {
 public:
  BlockRun(const ColumnarProgram& p)
      : p_(p),
        values_(kBlock * static_cast<std::size_t>(4 * p.exprDepth + 3)),
        masks_(kBlock * 2 * static_cast<std::size_t>(p.nodeDepth + 1)) {}

  void run(const double* const cols[9], std::size_t n, std::uint8_t* hits) {
    std::uint8_t all[kBlock];
    std::fill(all, all + kBlock, std::uint8_t{1});
    for (std::size_t base = 0; base < n; base += kBlock) {
      const std::size_t len = std::min(kBlock, n - base);
      for (int k = 0; k < 9; ++k) cols_[k] = cols[k] + base;
      len_ = len;
      node(p_.root, all, hits + base, 0);
    }
  }

 private:
  // Expression e of the block into buffer `slot` (or a constant, or a column).
  Operand expr(int e, int slot) {
    const ColumnarProgram::Expr& x = p_.exprs[static_cast<std::size_t>(e)];
    switch (x.kind) {
      case ExprNode::Const: return {nullptr, x.value};
      case ExprNode::Ratio: return {cols_[x.ratio], 0};
      default: break;
    }
    double* out = values_.data() + static_cast<std::size_t>(slot) * kBlock;
    const std::size_t n = len_;
    if (x.kind == ExprNode::Add || x.kind == ExprNode::Sub) {
      const Operand a = expr(x.a, slot + 1);
      const Operand b = expr(x.b, slot + 2);
      const bool add = x.kind == ExprNode::Add;
      if (!a.p && !b.p) return {nullptr, add ? a.c + b.c : a.c - b.c};
      if (add) {
        if (a.p && b.p)
          for (std::size_t i = 0; i < n; ++i) out[i] = a.p[i] + b.p[i];
        else if (a.p)
          for (std::size_t i = 0; i < n; ++i) out[i] = a.p[i] + b.c;
        else
          for (std::size_t i = 0; i < n; ++i) out[i] = a.c + b.p[i];
      } else {
        if (a.p && b.p)
          for (std::size_t i = 0; i < n; ++i) out[i] = a.p[i] - b.p[i];
        else if (a.p)
          for (std::size_t i = 0; i < n; ++i) out[i] = a.p[i] - b.c;
        else
          for (std::size_t i = 0; i < n; ++i) out[i] = a.c - b.p[i];
      }
      return {out, 0};
    }
    const Operand a = expr(x.a, slot + 1);
    if (x.kind == ExprNode::Div) {
      if (!a.p) return {nullptr, a.c / x.value};
      for (std::size_t i = 0; i < n; ++i) out[i] = a.p[i] / x.value;
    } else {  // Neg
      if (!a.p) return {nullptr, -a.c};
      for (std::size_t i = 0; i < n; ++i) out[i] = -a.p[i];
    }
    return {out, 0};
  }

  // out[i] = in[i] and the node holds for row i (a Null makes a comparison
  // false here, which is all a listing needs: only True lists a stock).
  void node(int id, const std::uint8_t* in, std::uint8_t* out, int depth) {
    const ColumnarProgram::Node& nd = p_.nodes[static_cast<std::size_t>(id)];
    const std::size_t n = len_;
    switch (nd.kind) {
      case CondNode::Cmp: {
        // Operands share the value buffers: x takes the lower half, y the upper.
        const Operand x = expr(nd.x, 0);
        const Operand y = expr(nd.y, splitSlot());
        switch (nd.op) {
          case Op::Lt: compareInto(x, y, in, out, n, [](double a, double b) { return a < b; }); break;
          case Op::Le: compareInto(x, y, in, out, n, [](double a, double b) { return a <= b; }); break;
          case Op::Gt: compareInto(x, y, in, out, n, [](double a, double b) { return a > b; }); break;
          case Op::Ge: compareInto(x, y, in, out, n, [](double a, double b) { return a >= b; }); break;
          case Op::Eq: compareInto(x, y, in, out, n, [](double a, double b) { return a == b; }); break;
          case Op::Ne: compareInto(x, y, in, out, n, [](double a, double b) { return a < b || a > b; }); break;
        }
        return;
      }
      case CondNode::Between: {
        const Operand x = expr(nd.x, 0);
        const Operand lo = expr(nd.y, splitSlot());
        compareInto(x, lo, in, out, n, [](double a, double b) { return a >= b; });
        const Operand hi = expr(nd.z, splitSlot());
        compareInto(x, hi, out, out, n, [](double a, double b) { return a <= b; });
        return;
      }
      case CondNode::And: {
        const std::uint8_t* cur = in;
        for (int k = 0; k < nd.count; ++k) {
          node(p_.kids[static_cast<std::size_t>(nd.first + k)], cur, out, depth + 1);
          cur = out;
          if (none(out, n)) return;
        }
        if (nd.count == 0) std::copy(in, in + n, out);
        return;
      }
      case CondNode::Or: {
        std::uint8_t* left = masks_.data() + static_cast<std::size_t>(depth) * 2 * kBlock;
        std::uint8_t* got = left + kBlock;
        std::copy(in, in + n, left);
        std::fill(out, out + n, std::uint8_t{0});
        for (int k = 0; k < nd.count; ++k) {
          if (none(left, n)) return;
          node(p_.kids[static_cast<std::size_t>(nd.first + k)], left, got, depth + 1);
          for (std::size_t i = 0; i < n; ++i) {
            out[i] |= got[i];
            left[i] &= static_cast<std::uint8_t>(~got[i]);
          }
        }
        return;
      }
    }
  }

  // An expression of depth d at slot s writes buffers s .. s + 2d: the
  // second operand of a comparison starts beyond every buffer of the first.
  int splitSlot() const { return 2 * p_.exprDepth + 1; }

  const ColumnarProgram& p_;
  std::vector<double> values_;
  std::vector<std::uint8_t> masks_;
  const double* cols_[9] = {};
  std::size_t len_ = 0;
};

}  // namespace

ColumnarCondition::ColumnarCondition(const Condition& condition) {
  auto p = std::make_shared<ColumnarProgram>();
  if (condition.tree()) p->root = p->addNode(*condition.tree(), 0);
  program_ = std::move(p);
}

void ColumnarCondition::evaluate(const double* const columns[9], std::size_t n, std::uint8_t* hits) const {
  if (program_->root < 0) {
    std::fill(hits, hits + n, std::uint8_t{0});
    return;
  }
  BlockRun run(*program_);
  run.run(columns, n, hits);
}

void ColumnarCondition::evaluate(const RatioColumns& columns, std::vector<std::uint8_t>& hits) const {
  hits.assign(columns.size(), 0);
  const double* cols[9];
  for (int k = 0; k < 9; ++k) cols[k] = columns.col[static_cast<std::size_t>(k)].data();
  evaluate(cols, columns.size(), hits.data());
}

std::size_t ColumnarCondition::count(const RatioColumns& columns) const {
  std::vector<std::uint8_t> hits;
  evaluate(columns, hits);
  std::size_t n = 0;
  for (std::uint8_t h : hits) n += h;
  return n;
}

const ColumnarCondition& columnarFor(const ScreeningPattern& p, int universeIndex, const std::string& unitWord) {
  static std::mutex mutex;
  static std::map<const Condition*, ColumnarCondition> built;
  const Condition& c = conditionFor(p, universeIndex, unitWord);
  std::lock_guard lock(mutex);
  auto it = built.find(&c);
  if (it == built.end()) it = built.emplace(&c, ColumnarCondition(c)).first;
  return it->second;
}

}  // namespace tavrin::screening
