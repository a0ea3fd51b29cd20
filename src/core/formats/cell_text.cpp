#include "formats/cell_text.h"

#include <algorithm>
#include <cmath>

#include "base/text.h"
#include "formats/price_file.h"

namespace tavrin {

Value numberOrText(const std::string& text) {
  if (std::optional<double> n = parseNumber(text)) {
    if (*n == std::floor(*n) && std::fabs(*n) < 9e15) return Value(static_cast<std::int64_t>(*n));
    return Value(*n);
  }
  return Value(text);
}

bool parseCellReference(const char* ref, std::uint32_t& row, std::uint32_t& column) {
  std::uint64_t col = 0, r = 0;
  const char* p = ref;
  while ((*p >= 'A' && *p <= 'Z') || (*p >= 'a' && *p <= 'z')) {
    col = col * 26 + static_cast<std::uint64_t>((*p | 0x20) - 'a' + 1);
    if (col > kMaxSheetColumns) return false;
    ++p;
  }
  if (col == 0) return false;
  const char* digits = p;
  while (*p >= '0' && *p <= '9') {
    r = r * 10 + static_cast<std::uint64_t>(*p - '0');
    if (r > kMaxSheetRows) return false;
    ++p;
  }
  if (p == digits || *p || r == 0) return false;
  row = static_cast<std::uint32_t>(r - 1);
  column = static_cast<std::uint32_t>(col - 1);
  return true;
}

bool SheetBuilder::add(std::uint32_t row, std::uint32_t column, Value value) {
  if (count_ >= kMaxSheetCells) return false;
  ++count_;
  if (out_.rows.empty() || out_.rows.back().index != row) {
    if (!out_.rows.empty() && out_.rows.back().index > row) sorted_ = false;
    out_.rows.push_back({row, {}});
  }
  auto& cells = out_.rows.back().cells;
  if (!cells.empty() && cells.back().first >= column) sorted_ = false;
  cells.emplace_back(column, std::move(value));
  return true;
}

void SheetBuilder::finish() {
  if (sorted_) return;
  auto& rows = out_.rows;
  std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.index < b.index; });
  std::vector<SheetCells::Row> merged;
  for (auto& r : rows) {
    if (!merged.empty() && merged.back().index == r.index) {
      for (auto& c : r.cells) merged.back().cells.push_back(std::move(c));
    } else {
      merged.push_back(std::move(r));
    }
  }
  for (auto& r : merged) {
    std::stable_sort(r.cells.begin(), r.cells.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::pair<std::uint32_t, Value>> unique;
    for (auto& c : r.cells) {
      if (!unique.empty() && unique.back().first == c.first)
        unique.back() = std::move(c);
      else
        unique.push_back(std::move(c));
    }
    r.cells = std::move(unique);
  }
  rows = std::move(merged);
}

std::string headerKey(std::string_view name) {
  std::string k;
  for (char c : foldFullWidth(name)) {
    if (c == '<' || c == '>' || c == ' ' || c == '"' || c == '\t' || c == '\r' || c == '\n') continue;
    k += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return k;
}

int findHeaderColumn(const std::vector<std::string>& keys, std::initializer_list<const char*> names) {
  for (const char* n : names)
    for (std::size_t i = 0; i < keys.size(); ++i)
      if (keys[i] == n) return static_cast<int>(i);
  return -1;
}

}  // namespace tavrin
