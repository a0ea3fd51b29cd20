#pragma once
#include <cstdint>
#include <string>

#include "data/value.h"

namespace tavrin {

// A cell value read from a file as text: a plain number becomes a number
// Value (whole numbers as integers), anything else stays text.
Value numberOrText(const std::string& text);
// "C12" -> column 2, row 11 (0-based); false when malformed.
bool parseCellReference(const char* ref, std::uint32_t& row, std::uint32_t& column);

}  // namespace tavrin

namespace tavrin {

struct SheetCells;

// Collects cells in any order into SheetCells, keeping to kMaxSheetCells.
class SheetBuilder {
 public:
  explicit SheetBuilder(SheetCells& out) : out_(out) {}
  // False (and nothing added) when the sheet would hold too many cells.
  bool add(std::uint32_t row, std::uint32_t column, Value value);
  // Sorts rows and cells and drops repeated cells (the later one wins).
  void finish();

 private:
  SheetCells& out_;
  std::size_t count_ = 0;
  bool sorted_ = true;
};

}  // namespace tavrin
