#include "readers/price_text.h"

#include <cmath>

#include "history/price_history.h"
#include "registration/workbook.h"

namespace tavrin {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

std::string trimmed(std::string_view v) {
  std::size_t b = 0, e = v.size();
  while (b < e && (v[b] == ' ' || v[b] == '\t' || v[b] == '\r' || v[b] == '\n')) ++b;
  while (e > b && (v[e - 1] == ' ' || v[e - 1] == '\t' || v[e - 1] == '\r' || v[e - 1] == '\n')) --e;
  return std::string(v.substr(b, e - b));
}

// A five-digit code with its check digit: 72030 -> 7203.
std::string withoutCheckDigit(std::string code) {
  if (code.size() == 5 && code[4] == '0' && isDigit(code[0])) code.resize(4);
  return code;
}

// Days between 1899-12-30 (day 0 of spreadsheet date serials) and 1970-01-01.
constexpr int kSerialEpoch = 25569;

}  // namespace

std::string foldFullWidth(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto b0 = static_cast<unsigned char>(text[i]);
    if (b0 == 0xEF && i + 2 < text.size()) {
      // U+FF01..U+FF5E: EF BC 81..BF, EF BD 80..9E.
      const auto b1 = static_cast<unsigned char>(text[i + 1]);
      const auto b2 = static_cast<unsigned char>(text[i + 2]);
      int cp = -1;
      if (b1 == 0xBC && b2 >= 0x81 && b2 <= 0xBF) cp = 0xFF00 + (b2 - 0x80);
      if (b1 == 0xBD && b2 >= 0x80 && b2 <= 0x9E) cp = 0xFF40 + (b2 - 0x80);
      if (cp >= 0) {
        out += static_cast<char>(cp - 0xFF01 + 0x21);
        i += 2;
        continue;
      }
    }
    if (b0 == 0xE3 && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0x80 &&
        static_cast<unsigned char>(text[i + 2]) == 0x80) {
      out += ' ';  // U+3000
      i += 2;
      continue;
    }
    out += text[i];
  }
  return out;
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
    for (std::size_t i = dot + 1; i < t.size(); ++i) letters = letters && isLetter(t[i]);
    if (letters) t.resize(dot);
  }
  if (t.empty() || t.size() > 12) return std::nullopt;
  if (std::optional<double> n = parseNumber(t)) {
    std::optional<std::string> key = codeKey(Value(*n));
    if (!key) return std::nullopt;
    return withoutCheckDigit(std::move(*key));
  }
  for (char& c : t) {
    if (!isDigit(c) && !isLetter(c)) return std::nullopt;
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  if (t.size() == 5 && t[4] == '0') t.resize(4);
  return t;
}

PriceCell priceOf(const Value& cell, std::int32_t& price) {
  if (cell.isNull()) return PriceCell::NoPrice;
  if (cell.isInteger() || cell.isReal()) {
    std::optional<std::int32_t> p = priceFromCell(cell);
    if (!p) return PriceCell::NotNumber;
    price = *p;
    return PriceCell::Price;
  }
  if (!cell.isText()) return PriceCell::NotNumber;
  std::string t;
  for (char c : foldFullWidth(cell.textValue()))
    if (c != ',' && c != ' ' && c != '\t' && c != '\r' && c != '"') t += c;
  if (t.empty() || t.find_first_not_of('-') == std::string::npos) return PriceCell::NoPrice;
  if (t == "\xE2\x80\x95" || t == "\xE2\x80\x94" || t == "\xE2\x88\x92") return PriceCell::NoPrice;  // ― — −
  if (t == "null" || t == "NULL" || t == "N/A" || t == "n/a") return PriceCell::NoPrice;
  std::optional<double> n = parseNumber(t);
  if (!n) return PriceCell::NotNumber;
  std::optional<std::int32_t> p = priceFromCell(Value(*n));
  if (!p) return PriceCell::NotNumber;
  price = *p;
  return PriceCell::Price;
}

std::optional<int> dayOfCell(const Value& cell) {
  if (cell.isText()) return parseHistoryDate(trimmed(foldFullWidth(cell.textValue())));
  if (!cell.isInteger() && !cell.isReal()) return std::nullopt;
  const double v = cell.isInteger() ? static_cast<double>(cell.integer()) : cell.real();
  if (!std::isfinite(v)) return std::nullopt;
  if (v >= 19000101 && v <= 29991231 && v == std::floor(v)) {
    const auto n = static_cast<long long>(v);
    return dayFromCivil(static_cast<int>(n / 10000), static_cast<int>(n / 100 % 100), static_cast<int>(n % 100));
  }
  if (v >= 1 && v < 2958466) return static_cast<int>(std::floor(v)) - kSerialEpoch;  // a date serial, time dropped
  return std::nullopt;
}

std::string headerKey(std::string_view name) {
  std::string k;
  for (char c : foldFullWidth(name)) {
    if (c == '<' || c == '>' || c == ' ' || c == '"' || c == '\t' || c == '\r' || c == '\n') continue;
    k += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return k;
}

int findHeaderColumn(const std::vector<std::string>& keys, std::initializer_list<const char*> names) {
  for (const char* n : names)
    for (std::size_t i = 0; i < keys.size(); ++i)
      if (keys[i] == n) return static_cast<int>(i);
  return -1;
}

}  // namespace tavrin
