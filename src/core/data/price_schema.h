#pragma once
#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "data/database.h"

namespace tavrin {

// One screening universe: the saved view it reads and how it is shown. What
// it keeps of list is its rule in data/universe_table.
struct UniverseInfo {
  int index;                // universeIndex 1..23
  const char* menuCaption;  // the main-menu button
  const char* viewName;     // "list1plus-1bu"; empty for the watch-list universes
  const char* windowCaption;
  unsigned rgb;  // window background, 0xRRGGBB
};

// Universes 1..23 in order (index i at position i-1).
const std::array<UniverseInfo, 23>& universes();
const UniverseInfo* universeByIndex(int index);
// "select * from [list1plus-1bu]"; empty for 22 and 23.
std::string universeQuery(int index);

// Columns of list and hojyo in their physical order.
const std::vector<std::string>& priceListColumns();

// Creates the tables list, hojyo, 日付 (with its one row carrying the unit
// word) and the 21 views in a new file. Fails when the file exists.
void createPriceDatabase(const std::filesystem::path& path, const std::string& unitWord);
// Creates the tables and views that are missing in an open database.
void ensurePriceSchema(Database& db, const std::string& unitWord);
// (Re)creates the 21 list1plus views.
void createUniverseViews(Database& db);
// Recreates the list1plus views of one schema ("main" or an attached file)
// whose definition is not the current one (a file made before the sections
// learned today's market words); returns how many.
int refreshUniverseViews(Database& db, const std::string& schema);

// The SQL expression of ratio n (1..9) over a table alias holding kabuka1..10:
// (kabuka(n+1) / kabuka1 * 100) - 100 rounded to a whole number, halves away
// from zero, computed exactly; Null when a price is Null or kabuka1 is 0.
std::string ratioExpression(int n);
// The views' nine ratio columns: "ratio1".."ratio9".
inline constexpr int kRatioColumns = 9;
std::string ratioColumn(int n);
// "[ratio1], [ratio2], … [ratio9]"
std::string ratioColumnList();

// The single date record.
struct DateRecord {
  std::array<std::string, 10> dates;        // kabuka1..kabuka10, "yy/mm/dd"
  std::string unit;                         // kabuka11
  std::array<std::string, 10> sourceNames;  // kabuka12..kabuka21
};

// Reads the first 日付 row; nullopt when the table is missing or empty.
std::optional<DateRecord> readDateRecord(Database& db);
std::optional<DateRecord> readDateRecord(const std::filesystem::path& dbPath);
// Writes the record into the first row (creating it when there is none).
void writeDateRecord(Database& db, const DateRecord& record);

// The list of listed issues the stock list followed last: its date (the 日付
// column of the exchange's file, the day the data service answered for) and
// where it came from (a file name, "J-Quants"). Kept in the one row of
// [stock_list_source] of each price database, so that an older list is
// noticed before it undoes renames and market moves.
struct AppliedStockList {
  int day = 0;  // day number
  std::string source;
};
// Nullopt when no dated list was applied (or the row is unreadable).
std::optional<AppliedStockList> readAppliedStockList(Database& db, const std::string& schema = "main");
// Replaces the row (inside the caller's transaction).
void writeAppliedStockList(Database& db, const std::string& schema, const AppliedStockList& list);

// A stock code as SQL text: a plain whole number stays bare ("7203"); any
// other code becomes a quoted literal with its quotes doubled.
std::string codeSqlLiteral(const std::string& code);
bool isPlainNumberCode(const std::string& code);

// Every price that enters a price database is kept in its table
// [history_bars]: per stock (the code as list stores it: 7203 a number,
// "130A" text) and block of 64 day numbers (days since 1970-01-01, a civil
// date without time zone), the block's bars in their stored form (see
// data/price_bars.h). The ten positions of list are a window on it.
inline constexpr const char* kHistoryTable = "history_bars";
// The one-close-per-row table of earlier files, moved into blocks by the
// first write.
inline constexpr const char* kClosesTable = "history";

// Creates the table when it is missing (new files get it from the schema
// code, older files on first use) and moves an earlier file's closes into
// it (inside the caller's transaction).
void ensureHistoryTable(Database& db);
// The history is there in either form.
bool hasHistoryTable(Database& db);

}  // namespace tavrin
