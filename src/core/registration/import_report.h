#pragma once
#include <string>
#include <vector>

#include "registration/price_import.h"

namespace tavrin {

// What an import read, period by period, as lines for the command line and
// the log: prices read, stocks of list without a price, codes list lacks
// (with the first ten), cells that were no numbers, formula cells without a
// value.
std::vector<std::string> importReportLines(const ImportOutcome& outcome);

// Numbers with thousands separators: 3812 -> "3,812".
std::string groupedCount(std::size_t n);

}  // namespace tavrin
