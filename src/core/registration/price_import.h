#pragma once
#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/paths.h"
#include "base/outcome.h"
#include "data/database.h"
#include "data/price_schema.h"

namespace tavrin {

// One period as the registration rows give it: the date stored in the date
// record ("yy/mm/dd"), the sheet read ("s" + yymmdd) and the price file's
// name as given: a workbook's base name (no folder, no ".xls") or a name with
// its extension or an absolute path (see resolvePriceFile).
struct PeriodSource {
  std::string date;
  std::string sheet;
  std::string baseName;
};

// From the boxes of one row: date year/month/day, sheet "s" + year + month + day.
PeriodSource periodFromParts(const std::string& year, const std::string& month, const std::string& day,
                             const std::string& baseName);
// The ten periods the date record describes (position k in element k-1).
std::array<PeriodSource, 10> periodsFromRecord(const DateRecord& record);

// Progress of an import: first each period's workbook and sheet are opened
// and read, then the stocks are written.
struct ImportProgress {
  enum class Stage { Reading, Writing };
  Stage stage = Stage::Reading;
  int period = 0;         // Reading: the position 1..10 being read
  std::string sheet;      // Reading: its sheet
  std::size_t done = 0;   // Writing: stocks walked so far
  std::size_t total = 0;  // Writing: stocks of list
};
using ProgressFn = std::function<void(const ImportProgress&)>;
// Writing progress is reported every this many stocks (and at the end).
inline constexpr std::size_t kProgressEvery = 250;

// A date row that is not a calendar date, or a date given twice.
struct DateProblem {
  int position = 0;      // the row (1..10)
  std::string date;      // as given, "yy/mm/dd"
  int samePosition = 0;  // a repeated date: the earlier row naming it; 0 otherwise
};

// What one period of an import read from its file.
struct PeriodReport {
  int position = 0;                        // 1..10
  std::string date;                        // "yy/mm/dd"
  std::string file;                        // the file's name ("owarine.xls", "kabu261209.csv")
  std::string kind;                        // "xls", "xlsx", "ods", "csv"
  std::string sheet;                       // the sheet read; empty for CSV
  std::size_t pricesRead = 0;              // codes of the file with a usable price
  std::size_t listWithoutPrice = 0;        // stocks of list without a usable price in the file
  std::size_t unknownCodes = 0;            // codes of the file that list lacks
  std::vector<std::string> unknownSample;  // the first ten of them, in file order
  std::size_t notNumbers = 0;              // price cells holding something that is no number
  std::size_t formulasWithoutValue = 0;    // formula cells the file gives without a value
};

// Why an import wrote nothing.
enum class ImportFailure {
  None,
  Workbook,  // a period's file is missing or cannot be opened
  Sheet,     // its sheet is not there or cannot be read
  Damaged,   // the file's content made its reader fail (refused, crashed, hung or ran out of its limits)
  Database,  // the database could not be written
  NoPrices,  // the period's file holds no usable price (detail says what it held)
  OtherDay,  // the file's date column names another day (otherDay)
  BadDate,   // a date row is no calendar date or repeats another (dateProblem)
};

// What an import did; detail is the reader's or the database's reason.
struct ImportOutcome : Outcome<ImportFailure> {
  using Failure = ImportFailure;
  int failedPeriod = 0;               // position whose file or sheet failed
  std::string failedWorkbook;         // its file name, "NAME.xls"
  std::string failedSheet;            // its sheet
  int otherDay = 0;                   // OtherDay: the day the file holds (day number)
  DateProblem dateProblem;            // BadDate: which row
  std::vector<PeriodReport> periods;  // one per period read, in position order

  std::size_t stocks = 0;                 // rows of list walked
  std::size_t rowsChanged = 0;            // rows whose prices changed
  std::array<std::size_t, 10> matched{};  // per position: stocks found with a usable price
  std::size_t cleared = 0;                // latest import: stocks left without a latest price
};

// One line on what went wrong (English, for the log).
std::string describeFailure(const ImportOutcome& outcome);

// The first problem among the periods' dates (positions firstPosition...).
std::optional<DateProblem> checkPeriodDates(const PeriodSource* periods, int count, int firstPosition = 1);
std::string describeDateProblem(const DateProblem& problem);

// Ten-period import: the dates are checked (calendar dates, none twice), then
// every file and sheet is opened and read; when one fails, or a period's file
// holds no usable price, or a file's date column names another day, nothing
// is written. Then, in one transaction, the date record
// gets the ten dates, the unit word (kept as it is when unitWord is empty) and
// the ten base names, and every stock of list its ten prices (a stock missing
// from a sheet, or with an empty, text or out-of-range price, keeps its
// stored price; the row with code 1000 is never changed).
ImportOutcome importTenPeriods(Database& db, const Paths& paths, const std::array<PeriodSource, 10>& periods,
                               const std::string& unitWord, const ProgressFn& progress = {});

// Latest-period import: checks the date and reads the file and sheet first
// (nothing changes when that fails, as for the ten-period import); then, in one transaction, position 1 of the date
// record and every stock's latest price (Null for a stock without a usable price in the sheet; the row with code 1000
// is never changed).
ImportOutcome importLatest(Database& db, const Paths& paths, const PeriodSource& latest, const std::string& unitWord,
                           const ProgressFn& progress = {});

enum class InsertFailure { None, Database };
// What the insert did; detail is the database's reason when it failed.
struct InsertOutcome : Outcome<InsertFailure> {
  std::size_t stocks = 0;   // rows of list moved back
  std::size_t scratch = 0;  // rows written to hojyo
};

// One-period insert, in one transaction: the date record's positions 2..10
// get rows[0..8] (the rows shown one position above), the unit word (kept when
// empty); every row of list moves its prices back one position (kabuka10 :=
// kabuka9 ... kabuka2 := kabuka1, kabuka1 := Null) and hojyo is rebuilt as a
// copy of the shifted list, row for row. Position 1 of the date record is left
// for the latest-period import.
InsertOutcome insertPeriod(Database& db, const std::array<PeriodSource, 10>& rows, const std::string& unitWord);

}  // namespace tavrin
