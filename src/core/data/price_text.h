#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "base/value.h"

namespace tavrin {

// Price cells of today's price files (CSV, .xlsx, .ods) as data services and
// people write them: with thousands separators or in full-width digits.

// A price cell: numbers and numeric text ("1,234", "1234.5", "１２３４") give
// a whole price (halves to even, as stored); an empty cell, "-" or "－" no
// price ("null" and "N/A" too); anything else (words, out of range) is no
// number.
enum class PriceCell { Price, NoPrice, NotNumber };
PriceCell priceOf(const Value& cell, std::int32_t& price);

}  // namespace tavrin
