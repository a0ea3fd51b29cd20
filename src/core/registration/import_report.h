#pragma once
#include <string>
#include <vector>

#include "base/text.h"
#include "registration/price_import.h"

namespace tavrin {

// What an import read, period by period, as lines for the command line and
// the log: prices read, stocks of list without a price, codes list lacks
// (with the first ten), cells that were no numbers, formula cells without a
// value.
std::vector<std::string> importReportLines(const ImportOutcome& outcome);


}  // namespace tavrin
