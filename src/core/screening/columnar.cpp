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

// A value of the selected rows: a run of doubles, or one constant for all.
struct Operand {
  const double* p;
  double c;
};

using Index = std::uint16_t;  // a row of the block

// Keeps the selected rows for which cmp holds: out[k++] = sel[j]. out may be
// sel itself (k never passes j).
template <class Cmp>
std::size_t keepWhere(Operand x, Operand y, const Index* sel, std::size_t n, Index* out, Cmp cmp) {
  std::size_t k = 0;
  if (x.p && y.p) {
    for (std::size_t j = 0; j < n; ++j) {
      out[k] = sel[j];
      k += cmp(x.p[j], y.p[j]) ? 1 : 0;
    }
  } else if (x.p) {
    for (std::size_t j = 0; j < n; ++j) {
      out[k] = sel[j];
      k += cmp(x.p[j], y.c) ? 1 : 0;
    }
  } else if (y.p) {
    for (std::size_t j = 0; j < n; ++j) {
      out[k] = sel[j];
      k += cmp(x.c, y.p[j]) ? 1 : 0;
    }
  } else if (cmp(x.c, y.c)) {
    if (out != sel) std::copy(sel, sel + n, out);
    k = n;
  }
  return k;
}

// Evaluates a program over a block of rows with a selection of row indexes:
// each part of an "and" is evaluated only for the rows that met the parts
// before it, and each alternative of an "or" only for the rows no earlier
// alternative listed. Every value expression is computed for the selected
// rows in the order the row evaluator computes it (the same rounding).
class BlockRun {
 public:
  BlockRun(const ColumnarProgram& p)
      : p_(p),
        values_(std::make_unique_for_overwrite<double[]>(kBlock * static_cast<std::size_t>(6 * p.exprDepth + 3))),
        sels_(kBlock * 2 * static_cast<std::size_t>(p.nodeDepth + 1)),
        listed_(kBlock * static_cast<std::size_t>(p.nodeDepth + 1)) {}

  void run(const double* const cols[9], std::size_t n, std::uint8_t* hits) {
    Index all[kBlock], met[kBlock];
    for (std::size_t i = 0; i < kBlock; ++i) all[i] = static_cast<Index>(i);
    for (std::size_t base = 0; base < n; base += kBlock) {
      const std::size_t len = std::min(kBlock, n - base);
      for (int k = 0; k < 9; ++k) cols_[k] = cols[k] + base;
      len_ = len;
      const std::size_t m = node(p_.root, all, len, met, 0);
      std::fill(hits + base, hits + base + len, std::uint8_t{0});
      for (std::size_t j = 0; j < m; ++j) hits[base + met[j]] = 1;
    }
  }

 private:
  // Expression e over the selected rows into buffer `slot` (or a constant,
  // or the column itself when every row of the block is selected).
  Operand expr(int e, const Index* sel, std::size_t n, int slot) {
    const ColumnarProgram::Expr& x = p_.exprs[static_cast<std::size_t>(e)];
    double* out = values_.get() + static_cast<std::size_t>(slot) * kBlock;
    switch (x.kind) {
      case ExprNode::Const: return {nullptr, x.value};
      case ExprNode::Ratio: {
        const double* c = cols_[x.ratio];
        if (n == len_) return {c, 0};  // the selection is every row, in order
        for (std::size_t j = 0; j < n; ++j) out[j] = c[sel[j]];
        return {out, 0};
      }
      default: break;
    }
    if (x.kind == ExprNode::Add || x.kind == ExprNode::Sub) {
      const Operand a = expr(x.a, sel, n, slot + 1);
      const Operand b = expr(x.b, sel, n, slot + 2);
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
    const Operand a = expr(x.a, sel, n, slot + 1);
    if (x.kind == ExprNode::Div) {
      if (!a.p) return {nullptr, a.c / x.value};
      for (std::size_t i = 0; i < n; ++i) out[i] = a.p[i] / x.value;
    } else {  // Neg
      if (!a.p) return {nullptr, -a.c};
      for (std::size_t i = 0; i < n; ++i) out[i] = -a.p[i];
    }
    return {out, 0};
  }

  // The selected rows (ascending) for which the node holds, into out (which
  // may be sel); returns how many. A Null makes a comparison false here,
  // which is all a listing needs: only True lists a stock, and the notation
  // has no negation.
  std::size_t node(int id, const Index* sel, std::size_t n, Index* out, int depth) {
    const ColumnarProgram::Node& nd = p_.nodes[static_cast<std::size_t>(id)];
    switch (nd.kind) {
      case CondNode::Cmp: {
        // Operands share the value buffers: x takes the lower half, y the upper.
        const Operand x = expr(nd.x, sel, n, 0);
        const Operand y = expr(nd.y, sel, n, splitSlot());
        switch (nd.op) {
          case Op::Lt: return keepWhere(x, y, sel, n, out, [](double a, double b) { return a < b; });
          case Op::Le: return keepWhere(x, y, sel, n, out, [](double a, double b) { return a <= b; });
          case Op::Gt: return keepWhere(x, y, sel, n, out, [](double a, double b) { return a > b; });
          case Op::Ge: return keepWhere(x, y, sel, n, out, [](double a, double b) { return a >= b; });
          case Op::Eq: return keepWhere(x, y, sel, n, out, [](double a, double b) { return a == b; });
          case Op::Ne: return keepWhere(x, y, sel, n, out, [](double a, double b) { return a < b || a > b; });
        }
        return 0;
      }
      case CondNode::Between: {
        const Operand x = expr(nd.x, sel, n, 0);
        const Operand lo = expr(nd.y, sel, n, splitSlot());
        const Operand hi = expr(nd.z, sel, n, splitSlot() + 1 + 2 * p_.exprDepth);
        std::size_t k = 0;
        for (std::size_t j = 0; j < n; ++j) {
          const double v = x.p ? x.p[j] : x.c;
          out[k] = sel[j];
          k += (v >= (lo.p ? lo.p[j] : lo.c) && v <= (hi.p ? hi.p[j] : hi.c)) ? 1 : 0;
        }
        return k;
      }
      case CondNode::And: {
        if (nd.count == 0) {
          if (out != sel) std::copy(sel, sel + n, out);
          return n;
        }
        const Index* cur = sel;
        for (int k = 0; k < nd.count && n > 0; ++k) {
          n = node(p_.kids[static_cast<std::size_t>(nd.first + k)], cur, n, out, depth + 1);
          cur = out;
        }
        return n;
      }
      case CondNode::Or: {
        // left: the rows no alternative has listed yet; listed: flags by row.
        Index* left = sels_.data() + static_cast<std::size_t>(depth) * 2 * kBlock;
        Index* got = left + kBlock;
        std::uint8_t* listed = listed_.data() + static_cast<std::size_t>(depth) * kBlock;
        std::copy(sel, sel + n, left);
        std::size_t nLeft = n;
        for (int k = 0; k < nd.count && nLeft > 0; ++k) {
          const std::size_t m = node(p_.kids[static_cast<std::size_t>(nd.first + k)], left, nLeft, got, depth + 1);
          if (m == 0) continue;
          for (std::size_t j = 0; j < m; ++j) listed[got[j]] = 1;
          std::size_t r = 0;
          for (std::size_t j = 0; j < nLeft; ++j) {
            left[r] = left[j];
            r += listed[left[j]] ? 0 : 1;
          }
          nLeft = r;
        }
        std::size_t m = 0;
        for (std::size_t j = 0; j < n; ++j) {
          const Index i = sel[j];
          out[m] = i;
          m += listed[i];
          listed[i] = 0;
        }
        return m;
      }
    }
    return 0;
  }

  // An expression of depth d at slot s writes buffers s .. s + 2d: each
  // operand of a comparison starts beyond every buffer of the one before.
  int splitSlot() const { return 2 * p_.exprDepth + 1; }

  const ColumnarProgram& p_;
  std::unique_ptr<double[]> values_;  // scratch, never read before written
  std::vector<Index> sels_;
  std::vector<std::uint8_t> listed_;
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
