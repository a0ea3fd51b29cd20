#pragma once
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/outcome.h"
#include "data/database.h"
#include "data/watch_schema.h"

namespace tavrin {

// One stock as it goes on a list. Every field is stored as given: a code that
// is not a plain number ("130A") stays text in the integer column.
struct WatchStock {
  std::string code;
  std::string name;
  std::string market;
  std::string unit;
  std::string date;  // "yy/mm/dd"
};

// The whole table in ID order. Throws DatabaseError when it cannot be read.
QueryResult readWatchList(const std::filesystem::path& path, WatchList list);
// The listed codes in table order, as a grid shows them ("7203", "130A").
// A missing file is an empty list; an unreadable one throws DatabaseError.
std::vector<std::string> readWatchCodes(const std::filesystem::path& path, WatchList list);

// Whether the code is listed; "07203" and 7203 are the same code, as the
// table compares them.
bool watchListHasCode(const std::filesystem::path& path, WatchList list, const std::string& code);

// Appends one row in one transaction; returns its ID.
std::int64_t addWatchStock(const std::filesystem::path& path, WatchList list, const WatchStock& stock);
// Deletes the row with this ID; false when there was none.
bool deleteWatchRow(const std::filesystem::path& path, WatchList list, std::int64_t id);
// Deletes every row of this code; returns how many went.
int removeWatchCode(const std::filesystem::path& path, WatchList list, const std::string& code);

// The duplicate that one activation of a list window removes. rows holds
// (code text, ID) in the grid's current order. The rows are ordered by code
// (numbers by value before other codes, which compare as text), keeping the
// given order among equal codes; at the first two neighbours with the same
// code the ID of the second is returned. nullopt when every code is unique.
std::optional<std::int64_t> firstDuplicateId(const std::vector<std::pair<std::string, std::int64_t>>& rows);

// What the windows and the command line do with the lists, each ending
// with an outcome: the functions above are the file's own access and throw
// DatabaseError, these catch it.
enum class WatchListFailure {
  None,
  Unavailable,  // the file cannot be opened, made or written (what the database said in detail)
  NotListed,    // no row of that ID or code is on the list
};

// The listed codes in table order (a missing file holds none).
struct WatchCodesOutcome : Outcome<WatchListFailure> {
  std::vector<std::string> codes;
};
WatchCodesOutcome listedWatchCodes(const std::filesystem::path& path, WatchList list);

// The whole table in ID order (a missing file: the fields and no rows).
struct WatchTableOutcome : Outcome<WatchListFailure> {
  QueryResult table;
};
WatchTableOutcome readWatchListTable(const std::filesystem::path& path, WatchList list);

// Makes the watch-list file usable, creating it or a missing table.
Outcome<WatchListFailure> openWatchLists(const std::filesystem::path& path);

// Adds a stock once: a code already listed is left as it is (alreadyListed),
// otherwise one row is appended (its ID in id). The file is made when missing.
struct WatchAddOutcome : Outcome<WatchListFailure> {
  bool alreadyListed = false;
  std::int64_t id = 0;
};
WatchAddOutcome addToWatchList(const std::filesystem::path& path, WatchList list, const WatchStock& stock);

// Deletes the row with this ID (NotListed when there is none).
Outcome<WatchListFailure> deleteFromWatchList(const std::filesystem::path& path, WatchList list, std::int64_t id);

// Deletes every row of this code (NotListed when there is none, or no file).
struct WatchRemoveOutcome : Outcome<WatchListFailure> {
  int removed = 0;
};
WatchRemoveOutcome removeFromWatchList(const std::filesystem::path& path, WatchList list, const std::string& code);

// "yy/mm/dd" of a local date, e.g. "08/03/05" for 5 March 2008.
std::string watchDate(const std::tm& date);

}  // namespace tavrin
