#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/calendar.h"
#include "base/outcome.h"
#include "data/database.h"
#include "data/price_bars.h"
#include "data/price_schema.h"

namespace tavrin {

// The value a code key is stored under when list has no row to copy it from:
// a plain whole number as a number, anything else as text.
Value historyCodeValue(const std::string& key);

// The codes of list: code key ("7203", "130A") -> the stored value.
std::unordered_map<std::string, Value> listCodes(Database& db);

// Writes prices into the history inside the caller's transaction. Bars are
// gathered per stock and written by flush() (call it before the commit): a
// bar already stored for the same stock and day is replaced, or with
// Existing::Keep left as it is. The table is created with the first write.
class HistoryWriter {
 public:
  enum class Existing { Replace, Keep };
  explicit HistoryWriter(Database& db, Existing existing = Existing::Replace);
  ~HistoryWriter();
  HistoryWriter(const HistoryWriter&) = delete;
  HistoryWriter& operator=(const HistoryWriter&) = delete;
  void put(const Value& code, const Bar& bar);
  // A whole close of the ten positions (whole yen), without open, high, low
  // and volume.
  void putClose(const Value& code, int day, std::int64_t closeYen);
  void flush();
  // Bars written so far (by flush), those kept back by Existing::Keep not
  // counted.
  std::size_t written() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Keeps the prices list holds now under the dates the record gives them,
// without replacing what the history already knows for those days (inside
// the caller's transaction). Positions whose date is not a real date are
// left out. Returns the closes added.
std::size_t keepPositionsInHistory(Database& db, const DateRecord& record);

// The history keeps prices as traded; whoever compares prices across days
// reads them adjusted for the stock's splits (data/splits.h).
enum class HistoryPrices { Adjusted, AsTraded };

// One stock's history, oldest first (empty when the table is missing).
std::vector<Bar> readHistory(Database& db, const Value& code, HistoryPrices prices = HistoryPrices::Adjusted);
// By code key: the stored value of list's row when there is one.
std::vector<Bar> readHistory(Database& db, const std::string& codeKeyText,
                             HistoryPrices prices = HistoryPrices::Adjusted);

// Every stock's history in stored order (by code), each oldest first. A
// block that cannot be read is left out and logged.
void forEachStockHistory(Database& db, const std::function<void(const Value& code, const std::vector<Bar>& bars)>& fn,
                         HistoryPrices prices = HistoryPrices::Adjusted);

// The days of the history, oldest first, with the number of stocks that
// have a close there. A day is incomplete when fewer than half of the
// stocks with a close on the complete day before it have one there (the
// first day is complete): a day whose files have not all arrived yet.
struct HistoryDay {
  int day = 0;
  std::size_t stocks = 0;
  bool complete = true;
};
std::vector<HistoryDay> historyDays(Database& db);

// The latest `count` complete days of the history, latest first.
std::vector<int> latestHistoryDays(Database& db, int count);

// The latest day of the history (a close of any stock), none when empty.
std::optional<int> latestHistoryDay(Database& db);

// The number of bars stored (0 without the table).
std::int64_t historyRowCount(Database& db);

// Sets every stock's ten positions and the date record's ten dates from the
// ten latest complete days of the history (or the complete days up to
// `atDay`), in one transaction, closes in whole yen: a stock without a close
// on one of those days gets Null there; the row with code 1000 is left as the
// imports leave it; the unit word stays; the workbook names are cleared.
enum class PositionsFailure {
  None,
  NoHistory,   // the history holds no closes
  NoSuchDay,   // atDay: no closes on that day
  Incomplete,  // atDay: an incomplete day (detail: its stocks)
  Database,    // the database could not be read or written
};
struct PositionsOutcome : Outcome<PositionsFailure> {
  std::vector<int> days;                    // the days set, latest first
  std::size_t stocks = 0;                   // rows of list written
  std::size_t withLatest = 0;               // of them with a close on the latest day
  std::vector<HistoryDay> incompleteAfter;  // incomplete days after the latest set
};
PositionsOutcome setPositionsFromHistory(Database& db, std::optional<int> atDay = std::nullopt);

// Removes bars from the history in one transaction: every stock's bars of
// `day`, one stock's bar of `day`, or one stock's whole history (day
// unset). Nothing to remove is not a failure (the counts are 0).
enum class RemovalFailure { None, NothingChosen, Database };
struct RemovalOutcome : Outcome<RemovalFailure> {
  std::size_t bars = 0;    // bars removed
  std::size_t stocks = 0;  // stocks that lost one or more
  std::size_t days = 0;    // days that lost one or more
};
RemovalOutcome removeFromHistory(Database& db, std::optional<int> day, const std::optional<Value>& code);

}  // namespace tavrin
