#include "data/price_text.h"

#include <cmath>

#include "base/text.h"
#include "data/stock_code.h"

namespace tavrin {

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

}  // namespace tavrin
