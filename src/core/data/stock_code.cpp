#include "data/stock_code.h"

#include <cmath>
#include <limits>

#include "base/text.h"

namespace tavrin {

namespace {

std::optional<std::string> wholeNumberKey(double v) {
  if (!std::isfinite(v) || v != std::floor(v) || std::fabs(v) >= 1e15) return std::nullopt;
  return std::to_string(static_cast<long long>(v));
}

// A five-digit code with its check digit: 72030 -> 7203.
std::string withoutCheckDigit(std::string code) {
  if (code.size() == 5 && code[4] == '0' && isAsciiDigit(code[0])) code.resize(4);
  return code;
}

}  // namespace

std::optional<std::string> parseStockCode(const std::string& typed) {
  const std::string code = trimmed(foldFullWidth(typed));
  if (code.empty()) return std::nullopt;
  bool allDigits = true, codeCharacters = true;
  for (char c : code) {
    const bool digit = c >= '0' && c <= '9';
    allDigits = allDigits && digit;
    codeCharacters = codeCharacters && (digit || (c >= 'A' && c <= 'Z'));
  }
  if (allDigits && code.size() <= 9) return code;
  if (codeCharacters && (code.size() == 4 || code.size() == 5)) return code;
  return std::nullopt;
}

std::optional<std::string> codeKey(const Value& code) {
  if (code.isInteger()) return std::to_string(code.integer());
  if (code.isReal()) return wholeNumberKey(code.real());
  if (!code.isText()) return std::nullopt;
  std::string t = trimmed(code.textValue());
  if (t.empty()) return std::nullopt;
  if (std::optional<double> n = parseNumber(t)) return wholeNumberKey(*n);
  return t;
}

std::optional<std::string> stockCodeOf(const Value& cell) {
  if (cell.isInteger() || cell.isReal()) {
    std::optional<std::string> key = codeKey(cell);
    if (!key) return std::nullopt;
    return withoutCheckDigit(std::move(*key));
  }
  if (!cell.isText()) return std::nullopt;
  std::string t = trimmed(foldFullWidth(cell.textValue()));
  // An exchange suffix: "7203.T", "7203.JP", "130a.jp".
  const std::size_t dot = t.rfind('.');
  if (dot != std::string::npos && dot + 1 < t.size()) {
    bool letters = true;
    for (std::size_t i = dot + 1; i < t.size(); ++i) letters = letters && isAsciiLetter(t[i]);
    if (letters) t.resize(dot);
  }
  if (t.empty() || t.size() > 12) return std::nullopt;
  if (std::optional<double> n = parseNumber(t)) {
    std::optional<std::string> key = codeKey(Value(*n));
    if (!key) return std::nullopt;
    return withoutCheckDigit(std::move(*key));
  }
  for (char& c : t) {
    if (!isAsciiDigit(c) && !isAsciiLetter(c)) return std::nullopt;
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  if (t.size() == 5 && t[4] == '0') t.resize(4);
  return t;
}

std::optional<std::string> stockCodeOfTicker(const std::string& ticker) {
  std::string t = trimmed(ticker);
  const size_t dot = t.find('.');
  if (dot != std::string::npos) t.resize(dot);
  for (char& c : t)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  if (t.empty()) return std::nullopt;
  return codeKey(Value(t));
}

std::optional<std::string> stockCodeKeyOfText(const std::string& text) {
  const std::optional<std::string> code = parseStockCode(text);
  return codeKey(Value(code ? *code : text));
}

std::optional<std::string> typedStockCodeKey(const std::string& typed) {
  std::string text = foldFullWidth(typed);
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  if (!parseStockCode(text)) return std::nullopt;
  return stockCodeKeyOfText(text);
}

std::optional<std::int32_t> priceFromCell(const Value& cell) {
  double v;
  if (cell.isInteger()) {
    const std::int64_t i = cell.integer();
    if (i < std::numeric_limits<std::int32_t>::min() || i > std::numeric_limits<std::int32_t>::max())
      return std::nullopt;
    return static_cast<std::int32_t>(i);
  }
  if (!cell.isReal()) return std::nullopt;
  v = cell.real();
  if (!std::isfinite(v)) return std::nullopt;
  const double r = std::nearbyint(v);  // the default rounding: to nearest, halves to even
  if (r < -2147483648.0 || r > 2147483647.0) return std::nullopt;
  return static_cast<std::int32_t>(r);
}

}  // namespace tavrin
