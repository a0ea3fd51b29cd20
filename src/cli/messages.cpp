#include "base/text.h"
#include "cli/commands.h"

namespace tavrin::cli {

std::string notAStockCode(const std::string& text) {
  return "not a stock code: '" + printableText(text) +
         "' (four or five digits and letters, such as 7203 or 130A, or a plain number)";
}

}  // namespace tavrin::cli
