#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "base/value.h"

namespace tavrin {

// A cell value read from a file as text: a plain number becomes a number
// Value (whole numbers as integers), anything else stays text.
Value numberOrText(const std::string& text);
// "C12" -> column 2, row 11 (0-based); false when malformed.
bool parseCellReference(const char* ref, std::uint32_t& row, std::uint32_t& column);

// A header name reduced for comparison: ASCII letters in lower case, without
// blanks, quotes and the angle brackets of "<CLOSE>".
std::string headerKey(std::string_view name);

// The column whose reduced header name is the first of `names` found; -1 when none is.
int findHeaderColumn(const std::vector<std::string>& keys, std::initializer_list<const char*> names);

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
