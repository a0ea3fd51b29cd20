#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin {

// Grid sort settings: 1 generic ascending, 2 generic descending, 3 numeric
// ascending, 4 numeric descending, 5 text ascending ignoring case, 7 text
// ascending. Any other setting leaves the rows as they are.
bool isGridSortSetting(int setting);

// Reorders `order` (indexes into textByIndex) stably by the text each row
// shows in the sort column. Generic settings compare two numbers as numbers
// and anything else as text; numeric settings put non-numbers first.
void sortGridOrder(std::vector<int>& order, const std::vector<std::string>& textByIndex, int setting);

// A cell's place in the generic order (settings 1 and 2) without its text,
// for rows made only when shown: empty cells first, then numbers by value,
// then texts. Texts compare by rank first and by their bytes where the ranks
// are equal, so a column of texts that sort as numbers do (dates as day
// numbers) need not keep its texts; a text with rank 0 everywhere compares
// by text alone, as sortGridOrder does.
struct GridSortKey {
  enum Kind : std::uint8_t { Empty, Number, Text };
  Kind kind = Empty;
  double value = 0;       // the number; for a text its rank
  std::string_view text;  // a text's bytes; they must outlive the sort
};
// The key of a text as sortGridOrder sees it under a generic setting; the
// text must outlive the sort.
GridSortKey gridSortKeyOf(const std::string& text);
// Reorders `order` (indexes into keysByIndex) stably by the keys, as
// sortGridOrder orders the texts they stand for under setting 1 or 2.
void sortGridOrderByKeys(std::vector<int>& order, const std::vector<GridSortKey>& keysByIndex, bool descending);

}  // namespace tavrin
