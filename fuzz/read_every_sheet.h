#pragma once
// Shared body of the price-file targets: open the bytes with one reader and
// read every sheet, then take its prices as an import does (header search,
// codes, prices, date column); the readers' own refusals are the expected
// outcome.
#include <cstddef>
#include <cstdint>
#include <string>

#include "readers/price_file.h"
#include "registration/period_file.h"

namespace tavrin::fuzz {

template <typename Open>
int readEverySheet(Open open, const std::uint8_t* data, std::size_t size) {
  try {
    auto file = open(std::string(reinterpret_cast<const char*>(data), size));
    std::vector<std::string> names = file->sheetNames();
    if (!file->hasSheets()) names = {""};
    for (const std::string& name : names) {
      try {
        const SheetCells cells = file->readSheet(name);
        (void)readPeriodPrices(cells, file->kind(), 20796);  // 2026-12-09
        (void)sheetTable(cells, 100);
      } catch (const PriceFileError&) {
      }
    }
  } catch (const PriceFileError&) {
  }
  return 0;
}

}  // namespace tavrin::fuzz
