#include "base/value.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tavrin {

std::optional<double> parseNumber(const std::string& text) {
  size_t b = 0, e = text.size();
  while (b < e && (text[b] == ' ' || text[b] == '\t')) ++b;
  while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t')) --e;
  if (b == e) return std::nullopt;
  std::string t = text.substr(b, e - b);
  // Only plain decimal notation: no hex, no inf/nan words.
  for (char c : t) {
    if (!((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.' || c == 'e' || c == 'E')) return std::nullopt;
  }
  char* end = nullptr;
  double v = std::strtod(t.c_str(), &end);
  if (end != t.c_str() + t.size() || !std::isfinite(v)) return std::nullopt;
  return v;
}

std::optional<double> Value::asNumber() const {
  if (isInteger()) return static_cast<double>(integer());
  if (isReal()) return real();
  if (isText()) return parseNumber(textValue());
  return std::nullopt;
}

std::string Value::display() const {
  if (isNull()) return {};
  if (isInteger()) return std::to_string(integer());
  if (isText()) return textValue();
  double d = real();
  if (std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 1e15) {
    return std::to_string(static_cast<std::int64_t>(d));
  }
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15g", d);
  return buf;
}

}  // namespace tavrin
