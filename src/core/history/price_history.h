#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/calendar.h"
#include "base/outcome.h"
#include "data/database.h"
#include "data/price_schema.h"

namespace tavrin {

// The value a code key is stored under when list has no row to copy it from:
// a plain whole number as a number, anything else as text.
Value historyCodeValue(const std::string& key);

// The codes of list: code key ("7203", "130A") -> the stored value.
std::unordered_map<std::string, Value> listCodes(Database& db);

// Writes closes into the history inside the caller's transaction; a close
// already stored for the same code and day is replaced. The table is created
// with the first write.
class HistoryWriter {
 public:
  explicit HistoryWriter(Database& db) : db_(db) {}
  void put(const Value& code, int dayNumber, std::int64_t close);
  std::size_t written() const { return written_; }

 private:
  Database& db_;
  std::optional<Statement> upsert_;
  std::size_t written_ = 0;
};

// Keeps the prices list holds now under the dates the record gives them,
// without replacing what the history already knows for those days (inside
// the caller's transaction). Positions whose date is not a real date are
// left out. Returns the closes added.
std::size_t keepPositionsInHistory(Database& db, const DateRecord& record);

struct HistoryPoint {
  int day = 0;
  std::optional<std::int64_t> close;
};

// One stock's history, oldest first (empty when the table is missing).
std::vector<HistoryPoint> readHistory(Database& db, const Value& code);
// By code key: the stored value of list's row when there is one.
std::vector<HistoryPoint> readHistory(Database& db, const std::string& codeKeyText);

// The latest `count` distinct days of the whole history, latest first.
std::vector<int> latestHistoryDays(Database& db, int count);

// The number of closes stored (0 without the table).
std::int64_t historyRowCount(Database& db);

// Sets every stock's ten positions and the date record's ten dates from the
// ten latest days of the history, in one transaction: a stock without a close
// on one of those days gets Null there; the row with code 1000 is left as the
// imports leave it; the unit word stays; the workbook names are cleared.
enum class PositionsFailure {
  None,
  NoHistory,  // the history holds no closes
  Database,   // the database could not be read or written
};
struct PositionsOutcome : Outcome<PositionsFailure> {
  std::vector<int> days;       // the days set, latest first
  std::size_t stocks = 0;      // rows of list written
  std::size_t withLatest = 0;  // of them with a close on the latest day
};
PositionsOutcome setPositionsFromHistory(Database& db);

}  // namespace tavrin
