#pragma once
#include <optional>
#include <string>

namespace tavrin {

// A stock code as a user types it: four or five characters of digits and
// upper-case letters ("7203", "130A", "25935"), or a plain number as older
// files hold them (up to nine digits, "1000", "1"). Blanks around it are
// dropped; full-width digits and capitals count as the ASCII ones. Anything else ("1e3", "0x10", "7203 x", "-5",
// "7203.0") is no code: nullopt. Cells of a workbook are not read through this: a number cell such as 7203.0 is a whole
// number there.
std::optional<std::string> parseStockCode(const std::string& text);

// The message for a text that is no code (Japanese, for the window).
std::string invalidStockCodeMessage(const std::string& text);

}  // namespace tavrin
