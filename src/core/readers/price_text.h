#pragma once
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/value.h"

namespace tavrin {

// Cells of today's price files (CSV, .xlsx, .ods) as data services and people
// write them: codes with an exchange suffix or a check digit, prices with
// thousands separators or in full-width digits.

// Full-width ASCII forms (Ａ, １, －, ，, ．) and the ideographic space as
// their ASCII counterparts; everything else as it is.
std::string foldFullWidth(std::string_view text);

// The code key of a cell: "7203", 7203, "7203.T", "7203.JP", "７２０３" and
// the five-digit form with its trailing check digit "72030" all give "7203";
// "130A" and "130a.jp" give "130A". Nothing for empty cells, fractions and
// text that is no code (blanks inside, longer than a code).
std::optional<std::string> stockCodeOf(const Value& cell);

// A price cell: numbers and numeric text ("1,234", "1234.5", "１２３４") give
// a whole price (halves to even, as stored); an empty cell, "-" or "－" no
// price ("null" and "N/A" too); anything else (words, out of range) is no
// number.
enum class PriceCell { Price, NoPrice, NotNumber };
PriceCell priceOf(const Value& cell, std::int32_t& price);

// A day in a date column: text as history files write it (YYYYMMDD,
// YYYY-MM-DD, YYYY/M/D), a number YYYYMMDD, or a spreadsheet date serial.
std::optional<int> dayOfCell(const Value& cell);

// A header name reduced for comparison: ASCII letters in lower case, without
// blanks, quotes and the angle brackets of "<CLOSE>".
std::string headerKey(std::string_view name);

// The column whose reduced header name is the first of `names` found; -1 when none is.
int findHeaderColumn(const std::vector<std::string>& keys, std::initializer_list<const char*> names);

}  // namespace tavrin
