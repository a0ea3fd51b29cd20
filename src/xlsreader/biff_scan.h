#pragma once
// Our own walk over an .xls file's records, done before FreeXL sees it: the
// sheets' claimed sizes (checked against the format and against the records
// really there) and their formula cells. Every offset is bounds-checked.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tavrin::xls {

struct SheetScan {
  bool hasDimensions = false;
  std::uint32_t claimedRows = 0;     // DIMENSIONS: last row + 1
  std::uint32_t claimedColumns = 0;  // DIMENSIONS: last column + 1
  std::uint32_t usedRows = 0;        // last row + 1 any cell or row record names
  std::uint32_t usedColumns = 0;     // last column + 1 any cell record names
  std::uint32_t formulaCells = 0;    // FORMULA records
};

struct BookScan {
  bool ok = false;
  std::string problem;            // when not ok
  std::vector<SheetScan> sheets;  // the worksheets, in BOUNDSHEET order
};

BookScan scanWorkbook(const unsigned char* data, std::size_t size);

// Why a sheet's claim is refused, or empty when it may be read.
std::string refuseClaim(const SheetScan& s);

}  // namespace tavrin::xls
