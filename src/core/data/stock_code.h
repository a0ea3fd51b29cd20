#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "base/value.h"

namespace tavrin {

// A stock code as a user types it: four or five characters of digits and
// upper-case letters ("7203", "130A", "25935"), or a plain number as older
// files hold them (up to nine digits, "1000", "1"). Blanks around it are
// dropped; full-width digits and capitals count as the ASCII ones. Anything else ("1e3", "0x10", "7203 x", "-5",
// "7203.0") is no code: nullopt. Cells of a workbook are not read through this: a number cell such as 7203.0 is a whole
// number there.
std::optional<std::string> parseStockCode(const std::string& text);

// The key by which a stock code is matched: a whole number (cell or text,
// blanks around it allowed, leading zeros dropped) becomes its decimal digits
// ("7203"); any other text is kept as it is, trimmed ("130A"). Empty cells,
// fractional numbers and blank text give nothing.
std::optional<std::string> codeKey(const Value& code);

// The code key of a cell: "7203", 7203, "7203.T", "7203.JP", "７２０３" and
// the five-digit form with its trailing check digit "72030" all give "7203";
// "130A" and "130a.jp" give "130A". Nothing for empty cells, fractions and
// text that is no code (blanks inside, longer than a code).
std::optional<std::string> stockCodeOf(const Value& cell);

// A ticker of a history file: "7203.JP" -> "7203"; "130a.jp" -> "130A".
std::optional<std::string> stockCodeOfTicker(const std::string& ticker);

// The key of a code typed or given as text: what codeKey gives for it, so
// that "07203", "7203" and the number 7203 meet.
std::optional<std::string> stockCodeKeyOfText(const std::string& text);

// The key of a code typed into a box: full-width forms and lower-case
// letters as the ASCII capitals ("１３０ａ" is 130A); nothing for text that is
// no stock code.
std::optional<std::string> typedStockCodeKey(const std::string& typed);

// A price cell as stored: a number converted to a 32-bit whole number, halves
// to even. Empty, text and out-of-range cells give nothing.
std::optional<std::int32_t> priceFromCell(const Value& cell);

}  // namespace tavrin
