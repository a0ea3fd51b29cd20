#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "data/database.h"
#include "history/price_history.h"
#include "registration/price_import.h"

namespace tavrin {

// The prices a workbook import writes into list, kept in the history within
// the import's own transaction (a later import of the same code and day
// replaces them). A period whose date is not a real date is not kept (logged
// once).
class ImportHistory {
 public:
  ImportHistory(Database& db, const PeriodSource* periods, int count);
  // The price of one stock (by its code key) for the period at index `period`.
  void put(const std::string& codeKey, std::size_t period, std::int64_t close);
  // Writes what was put (before the import's commit).
  void flush() { writer_.flush(); }
  std::size_t written() const { return writer_.written(); }

 private:
  Database& db_;
  std::vector<std::optional<int>> days_;
  std::optional<std::unordered_map<std::string, Value>> codes_;
  HistoryWriter writer_;
};

}  // namespace tavrin
