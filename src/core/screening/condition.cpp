#include "screening/condition.h"
#include "screening/condition_tree.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <stdexcept>
using std::uint32_t;

namespace tavrin::screening {

// The condition as flat code: every value expression is a short postfix
// program run in the same order as the tree (so the rounding is the same),
// and is Null exactly when one of the ratios it reads is Null.
struct CompiledCondition {
  enum OpCode : std::uint8_t { PushConst, PushRatio, Add, Sub, Div, Neg };
  struct Instr {
    OpCode op;
    std::uint8_t ratio;
    double value;
  };
  struct Expr {
    std::uint32_t first, count;  // into code
    std::uint16_t ratioMask;     // bit i-1 for ratio i
  };
  struct Node {
    CondNode::Kind kind;
    Op op;
    std::uint32_t x, y, z;       // expressions
    std::uint32_t first, count;  // children in kids
  };
  std::vector<Instr> code;
  std::vector<Expr> exprs;
  std::vector<Node> nodes;
  std::vector<std::uint32_t> kids;
  std::uint32_t root = 0;
};

namespace {

ExprP constant(double v) { return std::make_shared<ExprNode>(ExprNode{ExprNode::Const, v, 0, nullptr, nullptr}); }
ExprP ratio(int i) { return std::make_shared<ExprNode>(ExprNode{ExprNode::Ratio, 0, i, nullptr, nullptr}); }
ExprP binary(ExprNode::Kind k, ExprP a, ExprP b) {
  return std::make_shared<ExprNode>(ExprNode{k, 0, 0, std::move(a), std::move(b)});
}
ExprP divide(ExprP a, double n) {
  return std::make_shared<ExprNode>(ExprNode{ExprNode::Div, n, 0, std::move(a), nullptr});
}
ExprP negate(ExprP a) { return std::make_shared<ExprNode>(ExprNode{ExprNode::Neg, 0, 0, std::move(a), nullptr}); }

CondP compare(ExprP x, Op op, ExprP y) {
  auto n = std::make_shared<CondNode>();
  n->kind = CondNode::Cmp;
  n->op = op;
  n->x = std::move(x);
  n->y = std::move(y);
  return n;
}
CondP group(CondNode::Kind kind, std::vector<CondP> kids) {
  if (kids.size() == 1) return kids.front();
  auto n = std::make_shared<CondNode>();
  n->kind = kind;
  n->kids = std::move(kids);
  return n;
}

// Mn(k): (rk + ... + r(k+n-1)) / n, added from left to right, r0 being 0.
ExprP movingAverage(int n, int k) {
  ExprP sum;
  for (int i = k; i < k + n; ++i) {
    if (i == 0) continue;
    sum = sum ? binary(ExprNode::Add, sum, ratio(i)) : ratio(i);
  }
  if (!sum) sum = constant(0);
  return divide(sum, n);
}

struct Token {
  enum Kind { Num, Ident, Sym, End } kind;
  std::string text;
  double value = 0;
  size_t pos = 0;
};

std::vector<Token> lex(std::string_view s) {
  std::vector<Token> out;
  size_t i = 0;
  auto fail = [&](const std::string& what) {
    throw std::invalid_argument(what + " at " + std::to_string(i) + " in \"" + std::string(s) + "\"");
  };
  while (i < s.size()) {
    const char c = s[i];
    if (c == ' ' || c == '\t' || c == '\n') {
      ++i;
      continue;
    }
    if (std::isdigit(static_cast<unsigned char>(c))) {
      size_t j = i;
      while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) ++j;
      if (j + 1 < s.size() && s[j] == '.' && std::isdigit(static_cast<unsigned char>(s[j + 1]))) {
        ++j;
        while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) ++j;
      }
      Token t{Token::Num, std::string(s.substr(i, j - i)), 0, i};
      t.value = std::stod(t.text);
      out.push_back(t);
      i = j;
      continue;
    }
    if (std::isalpha(static_cast<unsigned char>(c))) {
      size_t j = i;
      while (j < s.size() && std::isalnum(static_cast<unsigned char>(s[j]))) ++j;
      out.push_back({Token::Ident, std::string(s.substr(i, j - i)), 0, i});
      i = j;
      continue;
    }
    static const char* two[] = {"<=", ">=", "<>", ".."};
    bool matched = false;
    for (const char* t : two) {
      if (s.substr(i, 2) == t) {
        out.push_back({Token::Sym, t, 0, i});
        i += 2;
        matched = true;
        break;
      }
    }
    if (matched) continue;
    if (std::string_view("<>=()[]{},:;&|+-/").find(c) == std::string_view::npos) fail("unexpected character");
    out.push_back({Token::Sym, std::string(1, c), 0, i});
    ++i;
  }
  out.push_back({Token::End, "", 0, s.size()});
  return out;
}

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text), toks_(lex(text)) {}

  CondP parseAll() {
    CondP c = parseDisj();
    if (peek().kind != Token::End) fail("unexpected '" + peek().text + "'");
    return c;
  }

 private:
  const Token& peek(size_t ahead = 0) const { return toks_[std::min(pos_ + ahead, toks_.size() - 1)]; }
  bool isSym(const char* s, size_t ahead = 0) const { return peek(ahead).kind == Token::Sym && peek(ahead).text == s; }
  bool isIdent(const char* s) const { return peek().kind == Token::Ident && peek().text == s; }
  [[noreturn]] void fail(const std::string& what) const {
    throw std::invalid_argument(what + " at " + std::to_string(peek().pos) + " in \"" + std::string(text_) + "\"");
  }
  void expectSym(const char* s) {
    if (!isSym(s)) fail(std::string("expected '") + s + "'");
    ++pos_;
  }
  void expectIdent(const char* s) {
    if (!isIdent(s)) fail(std::string("expected '") + s + "'");
    ++pos_;
  }
  double number() {
    bool neg = false;
    if (isSym("-")) {
      neg = true;
      ++pos_;
    }
    if (peek().kind != Token::Num) fail("expected a number");
    double v = peek().value;
    ++pos_;
    return neg ? -v : v;
  }
  int index(int lo, int hi) {
    double v = number();
    if (v != std::floor(v) || v < lo || v > hi) fail("index out of range");
    return static_cast<int>(v);
  }
  ExprP r(int i) {
    if (i < 1 || i > 9) fail("ratio r" + std::to_string(i) + " does not exist");
    return ratio(i);
  }

  CondP parseDisj() {
    std::vector<CondP> kids{parseConj()};
    while (isSym("|")) {
      ++pos_;
      kids.push_back(parseConj());
    }
    return group(CondNode::Or, std::move(kids));
  }

  CondP parseConj() {
    std::vector<CondP> kids;
    for (;;) {
      kids.push_back(isIdent("one") ? parseOneOf() : parseAtom());
      if (!isSym("&")) break;
      ++pos_;
    }
    return group(CondNode::And, std::move(kids));
  }

  // one of: (a) A; (b) B; (c) Z
  CondP parseOneOf() {
    expectIdent("one");
    expectIdent("of");
    expectSym(":");
    std::vector<CondP> alts;
    for (;;) {
      expectSym("(");
      if (peek().kind != Token::Ident || peek().text.size() != 1) fail("expected an alternative label");
      ++pos_;
      expectSym(")");
      alts.push_back(parseDisj());
      if (!isSym(";")) break;
      ++pos_;
    }
    return group(CondNode::Or, std::move(alts));
  }

  CondP parseAtom() {
    if (isSym("(")) {
      ++pos_;
      CondP c = parseDisj();
      expectSym(")");
      return c;
    }
    if (isIdent("steps")) return parseSteps();
    const Token& t = peek();
    if (t.kind == Token::Ident && t.text.size() >= 2 && t.text[0] == 'D' && isSym("(", 1) &&
        std::all_of(t.text.begin() + 1, t.text.end(),
                    [](char ch) { return std::isdigit(static_cast<unsigned char>(ch)); }))
      return parseLag();
    // An atom holding r[a..b] or M{a..b} stands for one copy per value.
    const size_t start = pos_;
    range_.reset();
    bound_.reset();
    CondP c = parseComparison();
    if (!range_) return c;
    const auto [a, b] = *range_;
    std::vector<CondP> copies;
    for (int v = a; v <= b; ++v) {
      pos_ = start;
      bound_ = v;
      copies.push_back(parseComparison());
    }
    bound_.reset();
    range_.reset();
    return group(CondNode::And, std::move(copies));
  }

  // steps(a-b: da,...,d(b-1)): rk + dk >= r(k+1) for k = a .. b-1.
  CondP parseSteps() {
    expectIdent("steps");
    expectSym("(");
    const int a = index(1, 9);
    expectSym("-");
    const int b = index(1, 9);
    expectSym(":");
    std::vector<double> d{number()};
    while (isSym(",")) {
      ++pos_;
      d.push_back(number());
    }
    expectSym(")");
    if (b <= a || static_cast<int>(d.size()) != b - a) fail("steps need one allowance per step");
    std::vector<CondP> kids;
    for (int k = a; k < b; ++k) {
      const double dk = d[static_cast<size_t>(k - a)];
      ExprP left = dk == 0 ? r(k) : binary(ExprNode::Add, r(k), constant(dk));
      kids.push_back(compare(left, Op::Ge, r(k + 1)));
    }
    return group(CondNode::And, std::move(kids));
  }

  // Dm(a..b) op c: rk - r(k+m) op c for k = a .. b.
  CondP parseLag() {
    const int m = std::stoi(peek().text.substr(1));
    ++pos_;
    expectSym("(");
    const int a = index(1, 9);
    expectSym("..");
    const int b = index(1, 9);
    expectSym(")");
    const Op op = comparisonOp();
    ExprP c = parseExpr();
    if (b < a) fail("empty lag range");
    std::vector<CondP> kids;
    for (int k = a; k <= b; ++k) kids.push_back(compare(binary(ExprNode::Sub, r(k), r(k + m)), op, c));
    return group(CondNode::And, std::move(kids));
  }

  bool atComparisonOp() const {
    if (peek().kind != Token::Sym) return false;
    const std::string& s = peek().text;
    return s == "<" || s == "<=" || s == ">" || s == ">=" || s == "=" || s == "<>";
  }
  Op comparisonOp() {
    if (!atComparisonOp()) fail("expected a comparison");
    const std::string s = peek().text;
    ++pos_;
    if (s == "<") return Op::Lt;
    if (s == "<=") return Op::Le;
    if (s == ">") return Op::Gt;
    if (s == ">=") return Op::Ge;
    if (s == "=") return Op::Eq;
    return Op::Ne;
  }

  // x in [a, b] | x op y [op z ...]
  CondP parseComparison() {
    ExprP x = parseExpr();
    if (isIdent("in")) {
      ++pos_;
      expectSym("[");
      ExprP lo = parseExpr();
      expectSym(",");
      ExprP hi = parseExpr();
      expectSym("]");
      if (lo->kind == ExprNode::Const && hi->kind == ExprNode::Const && lo->value > hi->value) std::swap(lo, hi);
      auto n = std::make_shared<CondNode>();
      n->kind = CondNode::Between;
      n->x = x;
      n->y = lo;
      n->z = hi;
      return n;
    }
    std::vector<CondP> kids;
    ExprP prev = x;
    do {
      const Op op = comparisonOp();
      ExprP next = parseExpr();
      kids.push_back(compare(prev, op, next));
      prev = next;
    } while (atComparisonOp());
    return group(CondNode::And, std::move(kids));
  }

  ExprP parseExpr() {
    ExprP e = parseTerm();
    while (isSym("+") || isSym("-")) {
      const bool plus = isSym("+");
      ++pos_;
      e = binary(plus ? ExprNode::Add : ExprNode::Sub, e, parseTerm());
    }
    return e;
  }

  ExprP parseTerm() {
    ExprP e = parseUnary();
    while (isSym("/")) {
      ++pos_;
      const double n = number();
      if (n == 0) fail("division by zero");
      e = divide(e, n);
    }
    return e;
  }

  ExprP parseUnary() {
    if (isSym("-")) {
      ++pos_;
      if (peek().kind == Token::Num) {
        const double v = peek().value;
        ++pos_;
        return constant(-v);
      }
      return negate(parseUnary());
    }
    return parsePrimary();
  }

  int rangeValue(int a, int b) {
    if (b < a) fail("empty range");
    if (bound_) return *bound_;
    if (range_) fail("only one range per atom");
    range_ = std::make_pair(a, b);
    return a;
  }

  ExprP parsePrimary() {
    const Token t = peek();
    if (t.kind == Token::Num) {
      ++pos_;
      return constant(t.value);
    }
    if (isSym("(")) {
      ++pos_;
      ExprP e = parseExpr();
      expectSym(")");
      return e;
    }
    if (t.kind != Token::Ident) fail("expected a value");
    ++pos_;
    const std::string& id = t.text;
    if (id == "r") {  // r[a..b]
      expectSym("[");
      const int a = index(1, 9);
      expectSym("..");
      const int b = index(1, 9);
      expectSym("]");
      return r(rangeValue(a, b));
    }
    if (id.size() >= 2 && id[0] == 'r' && std::isdigit(static_cast<unsigned char>(id[1])))
      return r(std::stoi(id.substr(1)));
    if (id == "H") {  // H(i,j) = ri/2 + rj/2
      expectSym("(");
      const int i = index(1, 9);
      expectSym(",");
      const int j = index(1, 9);
      expectSym(")");
      return binary(ExprNode::Add, divide(r(i), 2), divide(r(j), 2));
    }
    if (id == "S") {  // S(a-b) = ra + ... + rb
      expectSym("(");
      const int a = index(1, 9);
      expectSym("-");
      const int b = index(1, 9);
      expectSym(")");
      if (b < a) fail("empty sum");
      ExprP sum = r(a);
      for (int i = a + 1; i <= b; ++i) sum = binary(ExprNode::Add, sum, r(i));
      return sum;
    }
    if (id[0] == 'M') {  // Mn(k) or M{a..b}(k)
      int n = 0;
      if (id == "M") {
        expectSym("{");
        const int a = index(1, 10);
        expectSym("..");
        const int b = index(1, 10);
        expectSym("}");
        n = rangeValue(a, b);
      } else {
        n = std::stoi(id.substr(1));
      }
      expectSym("(");
      const int k = index(0, 9);
      expectSym(")");
      if (n < 1 || k + n - 1 > 9) fail("moving average beyond r9");
      return movingAverage(n, k);
    }
    fail("unknown name '" + id + "'");
  }

  std::string_view text_;
  std::vector<Token> toks_;
  size_t pos_ = 0;
  std::optional<std::pair<int, int>> range_;
  std::optional<int> bound_;
};

// Real number as SQL text: whole numbers without a point, others in the
// shortest form that reads back the same; negatives in parentheses so that
// no "--" can ever appear.
std::string sqlNumber(double v, bool real) {
  char buf[64];
  std::string s;
  if (v == std::floor(v) && std::fabs(v) < 1e15) {
    auto [p, ec] = std::to_chars(buf, buf + sizeof buf, static_cast<long long>(std::fabs(v)));
    (void)ec;
    s.assign(buf, p);
    if (real) s += ".0";
  } else {
    auto [p, ec] = std::to_chars(buf, buf + sizeof buf, std::fabs(v));
    (void)ec;
    s.assign(buf, p);
  }
  return v < 0 ? "(-" + s + ")" : s;
}

std::string exprSql(const ExprNode& e) {
  switch (e.kind) {
    case ExprNode::Const: return sqlNumber(e.value, false);
    case ExprNode::Ratio: return "[ratio" + std::to_string(e.index) + "]";
    case ExprNode::Add: return "(" + exprSql(*e.a) + " + " + exprSql(*e.b) + ")";
    case ExprNode::Sub: return "(" + exprSql(*e.a) + " - " + exprSql(*e.b) + ")";
    case ExprNode::Div:
      // Always a real divisor: the database must never divide whole numbers.
      return "(" + exprSql(*e.a) + " / " + sqlNumber(e.value, true) + ")";
    case ExprNode::Neg: return "(- " + exprSql(*e.a) + ")";
  }
  return "null";
}

const char* opSql(Op op) {
  switch (op) {
    case Op::Lt: return "<";
    case Op::Le: return "<=";
    case Op::Gt: return ">";
    case Op::Ge: return ">=";
    case Op::Eq: return "=";
    case Op::Ne: return "<>";
  }
  return "=";
}

std::string condSql(const CondNode& c) {
  switch (c.kind) {
    case CondNode::Cmp: return exprSql(*c.x) + " " + opSql(c.op) + " " + exprSql(*c.y);
    case CondNode::Between: return exprSql(*c.x) + " between " + exprSql(*c.y) + " and " + exprSql(*c.z);
    case CondNode::And:
    case CondNode::Or: {
      std::string s = "(";
      for (size_t i = 0; i < c.kids.size(); ++i) {
        if (i) s += c.kind == CondNode::And ? " and " : " or ";
        s += condSql(*c.kids[i]);
      }
      return s + ")";
    }
  }
  return "null";
}

std::optional<double> evalExpr(const ExprNode& e, const Ratios& r) {
  switch (e.kind) {
    case ExprNode::Const: return e.value;
    case ExprNode::Ratio: return r[static_cast<size_t>(e.index - 1)];
    case ExprNode::Add:
    case ExprNode::Sub: {
      auto a = evalExpr(*e.a, r);
      if (!a) return std::nullopt;
      auto b = evalExpr(*e.b, r);
      if (!b) return std::nullopt;
      return e.kind == ExprNode::Add ? *a + *b : *a - *b;
    }
    case ExprNode::Div: {
      auto a = evalExpr(*e.a, r);
      if (!a) return std::nullopt;
      return *a / e.value;
    }
    case ExprNode::Neg: {
      auto a = evalExpr(*e.a, r);
      if (!a) return std::nullopt;
      return -*a;
    }
  }
  return std::nullopt;
}

Truth cmp(std::optional<double> x, Op op, std::optional<double> y) {
  if (!x || !y) return Truth::Unknown;
  bool v = false;
  switch (op) {
    case Op::Lt: v = *x < *y; break;
    case Op::Le: v = *x <= *y; break;
    case Op::Gt: v = *x > *y; break;
    case Op::Ge: v = *x >= *y; break;
    case Op::Eq: v = *x == *y; break;
    case Op::Ne: v = *x != *y; break;
  }
  return v ? Truth::True : Truth::False;
}

Truth evalCond(const CondNode& c, const Ratios& r) {
  switch (c.kind) {
    case CondNode::Cmp: return cmp(evalExpr(*c.x, r), c.op, evalExpr(*c.y, r));
    case CondNode::Between: {
      const auto x = evalExpr(*c.x, r);
      const Truth lo = cmp(x, Op::Ge, evalExpr(*c.y, r));
      if (lo == Truth::False) return Truth::False;
      const Truth hi = cmp(x, Op::Le, evalExpr(*c.z, r));
      if (hi == Truth::False) return Truth::False;
      return lo == Truth::True && hi == Truth::True ? Truth::True : Truth::Unknown;
    }
    case CondNode::And: {
      Truth res = Truth::True;
      for (const auto& k : c.kids) {
        const Truth t = evalCond(*k, r);
        if (t == Truth::False) return Truth::False;
        if (t == Truth::Unknown) res = Truth::Unknown;
      }
      return res;
    }
    case CondNode::Or: {
      Truth res = Truth::False;
      for (const auto& k : c.kids) {
        const Truth t = evalCond(*k, r);
        if (t == Truth::True) return Truth::True;
        if (t == Truth::Unknown) res = Truth::Unknown;
      }
      return res;
    }
  }
  return Truth::Unknown;
}

constexpr double kNullDistance = 1000;

double cmpDistance(std::optional<double> x, Op op, std::optional<double> y) {
  if (!x || !y) return kNullDistance;
  const double d = *x - *y;
  switch (op) {
    case Op::Lt: return d < 0 ? 0 : d + 0.5;
    case Op::Le: return d <= 0 ? 0 : d;
    case Op::Gt: return d > 0 ? 0 : -d + 0.5;
    case Op::Ge: return d >= 0 ? 0 : -d;
    case Op::Eq: return std::fabs(d);
    case Op::Ne: return d != 0 ? 0 : 1;
  }
  return kNullDistance;
}

double condDistance(const CondNode& c, const Ratios& r) {
  switch (c.kind) {
    case CondNode::Cmp: return cmpDistance(evalExpr(*c.x, r), c.op, evalExpr(*c.y, r));
    case CondNode::Between: {
      const auto x = evalExpr(*c.x, r);
      return cmpDistance(x, Op::Ge, evalExpr(*c.y, r)) + cmpDistance(x, Op::Le, evalExpr(*c.z, r));
    }
    case CondNode::And: {
      double s = 0;
      for (const auto& k : c.kids) s += condDistance(*k, r);
      return s;
    }
    case CondNode::Or: {
      double best = kNullDistance * 100;
      for (const auto& k : c.kids) best = std::min(best, condDistance(*k, r));
      return best;
    }
  }
  return kNullDistance;
}

struct Compiler {
  CompiledCondition& out;
  std::uint32_t expr(const ExprNode& e) {
    CompiledCondition::Expr x{static_cast<std::uint32_t>(out.code.size()), 0, 0};
    emit(e, x.ratioMask);
    x.count = static_cast<std::uint32_t>(out.code.size()) - x.first;
    out.exprs.push_back(x);
    return static_cast<std::uint32_t>(out.exprs.size() - 1);
  }
  void emit(const ExprNode& e, std::uint16_t& mask) {
    using C = CompiledCondition;
    switch (e.kind) {
      case ExprNode::Const: out.code.push_back({C::PushConst, 0, e.value}); break;
      case ExprNode::Ratio:
        mask = static_cast<std::uint16_t>(mask | (1u << (e.index - 1)));
        out.code.push_back({C::PushRatio, static_cast<std::uint8_t>(e.index - 1), 0});
        break;
      case ExprNode::Add:
      case ExprNode::Sub:
        emit(*e.a, mask);
        emit(*e.b, mask);
        out.code.push_back({e.kind == ExprNode::Add ? C::Add : C::Sub, 0, 0});
        break;
      case ExprNode::Div:
        emit(*e.a, mask);
        out.code.push_back({C::Div, 0, e.value});
        break;
      case ExprNode::Neg:
        emit(*e.a, mask);
        out.code.push_back({C::Neg, 0, 0});
        break;
    }
  }
  std::uint32_t cond(const CondNode& c) {
    CompiledCondition::Node n{c.kind, c.op, 0, 0, 0, 0, 0};
    if (c.kind == CondNode::Cmp || c.kind == CondNode::Between) {
      n.x = expr(*c.x);
      n.y = expr(*c.y);
      if (c.kind == CondNode::Between) n.z = expr(*c.z);
    } else {
      std::vector<std::uint32_t> ids;
      for (const auto& k : c.kids) ids.push_back(cond(*k));
      n.first = static_cast<std::uint32_t>(out.kids.size());
      n.count = static_cast<std::uint32_t>(ids.size());
      out.kids.insert(out.kids.end(), ids.begin(), ids.end());
    }
    out.nodes.push_back(n);
    return static_cast<std::uint32_t>(out.nodes.size() - 1);
  }
};

struct FastEval {
  const CompiledCondition& p;
  double v[9];
  unsigned nullMask = 0;

  bool value(std::uint32_t i, double& result) const {
    const CompiledCondition::Expr& e = p.exprs[i];
    if (e.ratioMask & nullMask) return false;
    double stack[32];
    int sp = 0;
    const CompiledCondition::Instr* in = p.code.data() + e.first;
    for (std::uint32_t k = 0; k < e.count; ++k, ++in) {
      switch (in->op) {
        case CompiledCondition::PushConst: stack[sp++] = in->value; break;
        case CompiledCondition::PushRatio: stack[sp++] = v[in->ratio]; break;
        case CompiledCondition::Add:
          --sp;
          stack[sp - 1] = stack[sp - 1] + stack[sp];
          break;
        case CompiledCondition::Sub:
          --sp;
          stack[sp - 1] = stack[sp - 1] - stack[sp];
          break;
        case CompiledCondition::Div: stack[sp - 1] = stack[sp - 1] / in->value; break;
        case CompiledCondition::Neg: stack[sp - 1] = -stack[sp - 1]; break;
      }
    }
    result = stack[0];
    return true;
  }
  static Truth compare(double x, Op op, double y) {
    bool t = false;
    switch (op) {
      case Op::Lt: t = x < y; break;
      case Op::Le: t = x <= y; break;
      case Op::Gt: t = x > y; break;
      case Op::Ge: t = x >= y; break;
      case Op::Eq: t = x == y; break;
      case Op::Ne: t = x != y; break;
    }
    return t ? Truth::True : Truth::False;
  }
  Truth eval(std::uint32_t i) const {
    const CompiledCondition::Node& n = p.nodes[i];
    switch (n.kind) {
      case CondNode::Cmp: {
        double x, y;
        if (!value(n.x, x) || !value(n.y, y)) return Truth::Unknown;
        return compare(x, n.op, y);
      }
      case CondNode::Between: {
        double x, lo, hi;
        if (!value(n.x, x)) return Truth::Unknown;
        const bool haveLo = value(n.y, lo), haveHi = value(n.z, hi);
        if (haveLo && !(x >= lo)) return Truth::False;
        if (haveHi && !(x <= hi)) return Truth::False;
        return haveLo && haveHi ? Truth::True : Truth::Unknown;
      }
      case CondNode::And: {
        Truth res = Truth::True;
        for (std::uint32_t k = 0; k < n.count; ++k) {
          const Truth t = eval(p.kids[n.first + k]);
          if (t == Truth::False) return Truth::False;
          if (t == Truth::Unknown) res = Truth::Unknown;
        }
        return res;
      }
      case CondNode::Or: {
        Truth res = Truth::False;
        for (std::uint32_t k = 0; k < n.count; ++k) {
          const Truth t = eval(p.kids[n.first + k]);
          if (t == Truth::True) return Truth::True;
          if (t == Truth::Unknown) res = Truth::Unknown;
        }
        return res;
      }
    }
    return Truth::Unknown;
  }
};

}  // namespace

Condition Condition::parse(std::string_view text) {
  Condition c;
  c.text_ = std::string(text);
  c.root_ = Parser(text).parseAll();
  auto compiled = std::make_shared<CompiledCondition>();
  Compiler comp{*compiled};
  compiled->root = comp.cond(*c.root_);
  c.compiled_ = std::move(compiled);
  return c;
}

std::string Condition::toSql() const { return root_ ? condSql(*root_) : std::string("0"); }

Truth Condition::evaluate(const Ratios& r) const {
  if (!compiled_) return Truth::False;
  FastEval e{*compiled_, {}, 0};
  for (size_t i = 0; i < 9; ++i) {
    if (r[i])
      e.v[i] = *r[i];
    else
      e.nullMask |= 1u << i;
  }
  return e.eval(compiled_->root);
}

Truth Condition::evaluateByTree(const Ratios& r) const { return root_ ? evalCond(*root_, r) : Truth::False; }

double Condition::distance(const Ratios& r) const { return root_ ? condDistance(*root_, r) : kNullDistance; }

}  // namespace tavrin::screening
