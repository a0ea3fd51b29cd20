#pragma once
#include <string>
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

}  // namespace tavrin
