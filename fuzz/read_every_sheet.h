#pragma once
// Shared body of the sheet-file targets: open the bytes with one reader and
// read every sheet, then look at every cell as the imports do (its text, its
// header key, its date); the readers' own refusals are the expected outcome.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/calendar.h"
#include "formats/cell_text.h"
#include "formats/price_file.h"

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
        for (const SheetCells::Row& row : cells.rows)
          for (const auto& [column, value] : row.cells) {
            (void)headerKey(value.display());
            (void)dayOfCell(value);
          }
      } catch (const FormatError&) {
      }
    }
  } catch (const FormatError&) {
  }
  return 0;
}

}  // namespace tavrin::fuzz
