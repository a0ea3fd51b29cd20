#include <array>
#include <cctype>
#include <iostream>
#include <memory>
#include <optional>

#include "cli/commands.h"
#include "cli/import_texts.h"
#include "data/price_schema.h"
#include "registration/price_import.h"

namespace tavrin::cli {

namespace {

constexpr const char* kImportUsage =
    "tavrin-cli [--root DIR] import [--db FILE] K:yy/mm/dd:NAME ...  (K = 1..10, each once; NAME a workbook or\n"
    "       CSV file: NAME.xls, NAME.xlsx, NAME.ods, NAME.csv or a path)";
constexpr const char* kInsertUsage = "tavrin-cli [--root DIR] insert [--db FILE]";
constexpr const char* kLatestUsage = "tavrin-cli [--root DIR] latest [--db FILE] yy/mm/dd:NAME";

bool twoDigits(const std::string& s) {
  return s.size() == 2 && std::isdigit(static_cast<unsigned char>(s[0])) &&
         std::isdigit(static_cast<unsigned char>(s[1]));
}

// "yy/mm/dd:NAME" -> the period; nullopt when malformed.
std::optional<PeriodSource> parseDateAndName(const std::string& text) {
  const size_t colon = text.find(':');
  if (colon == std::string::npos) return std::nullopt;
  const std::string date = text.substr(0, colon);
  const std::string name = text.substr(colon + 1);
  if (date.size() != 8 || date[2] != '/' || date[5] != '/' || name.empty()) return std::nullopt;
  const std::string yy = date.substr(0, 2), mm = date.substr(3, 2), dd = date.substr(6, 2);
  if (!twoDigits(yy) || !twoDigits(mm) || !twoDigits(dd)) return std::nullopt;
  return periodFromParts(yy, mm, dd, name);
}

// Opens the price database and reads its own unit word.
std::unique_ptr<Database> openPriceDb(const std::filesystem::path& file, std::string& unit, std::string& error) {
  try {
    auto db = std::make_unique<Database>(file, Database::Mode::ReadWrite);
    std::optional<DateRecord> rec = readDateRecord(*db);
    if (!rec) {
      error = toUtf8(file) + " has no date record; nothing was changed";
      return nullptr;
    }
    unit = rec->unit;
    return db;
  } catch (const std::exception& e) {
    error = std::string(e.what()) + "; nothing was changed";
    return nullptr;
  }
}

// A date that is no calendar date, or a date given twice: exit 2 before anything is read.
int dateError(const char* command, const PeriodSource* periods, int count, int firstPosition, const char* usage) {
  std::optional<DateProblem> bad = checkPeriodDates(periods, count, firstPosition);
  if (!bad) return kOk;
  std::cerr << command << ": " << describeDateProblem(*bad) << "\n";
  return usageError(usage);
}

// The report of what was read; on failure the reason goes to stderr.
int finishImport(const char* command, const ImportOutcome& o) {
  for (const std::string& line : importReportLines(o)) std::cout << line << "\n";
  if (!o.done()) return failure(std::string(command) + ": " + describeFailure(o));
  return kOk;
}

}  // namespace

int cmdImport(const Paths& paths, const Args& argsIn) {
  Args args = argsIn;
  bool bad = false;
  const std::filesystem::path file = takeDatabase(args, paths.dailyDb(), &bad);
  if (bad || hasStrayOption(args) || args.size() != 10) return usageError(kImportUsage);
  std::array<std::optional<PeriodSource>, 10> given;
  for (const std::string& a : args) {
    const size_t colon = a.find(':');
    if (colon == std::string::npos) return usageError(kImportUsage);
    const std::string k = a.substr(0, colon);
    int position = 0;
    if (k.empty() || k.size() > 2) return usageError(kImportUsage);
    for (char c : k) {
      if (c < '0' || c > '9') return usageError(kImportUsage);
      position = position * 10 + (c - '0');
    }
    if (position < 1 || position > 10 || given[static_cast<size_t>(position - 1)]) return usageError(kImportUsage);
    std::optional<PeriodSource> p = parseDateAndName(a.substr(colon + 1));
    if (!p) return usageError(kImportUsage);
    given[static_cast<size_t>(position - 1)] = *p;
  }
  std::array<PeriodSource, 10> periods;
  for (size_t k = 0; k < 10; ++k) periods[k] = *given[k];
  if (int rc = dateError("import", periods.data(), 10, 1, kImportUsage)) return rc;

  std::string unit, error;
  std::unique_ptr<Database> db = openPriceDb(file, unit, error);
  if (!db) return failure("import: " + error);
  std::cout << "import into " << toUtf8(file) << " (unit " << (unit.empty() ? "none" : unit) << ")\n";
  ImportOutcome o = importTenPeriods(*db, paths, periods, unit);
  if (int rc = finishImport("import", o)) return rc;
  std::cout << "dates and file names of positions 1..10 written; " << o.stocks << " stocks, " << o.rowsChanged
            << " with changed prices\n";
  return kOk;
}

int cmdInsert(const Paths& paths, const Args& argsIn) {
  Args args = argsIn;
  bool bad = false;
  const std::filesystem::path file = takeDatabase(args, paths.dailyDb(), &bad);
  if (bad || !args.empty()) return usageError(kInsertUsage);
  std::string unit, error;
  std::unique_ptr<Database> db = openPriceDb(file, unit, error);
  if (!db) return failure("insert: " + error);
  const DateRecord before = readDateRecord(*db).value_or(DateRecord{});
  InsertOutcome o = insertPeriod(*db, periodsFromRecord(before), unit);
  if (!o.done()) return failure("insert: " + o.detail + "; nothing was changed");
  std::cout << "insert into " << toUtf8(file) << " (unit " << (unit.empty() ? "none" : unit) << ")\n";
  for (int k = 10; k >= 2; --k)
    std::cout << "position " << k << ": " << before.dates[static_cast<size_t>(k - 2)] << " from "
              << before.sourceNames[static_cast<size_t>(k - 2)] << "\n";
  std::cout << "position 1: still " << before.dates[0] << " until the latest period is read\n";
  std::cout << o.stocks << " stocks moved back one period (latest price now empty); hojyo rebuilt with " << o.scratch
            << " rows\n";
  return kOk;
}

int cmdLatest(const Paths& paths, const Args& argsIn) {
  Args args = argsIn;
  bool bad = false;
  const std::filesystem::path file = takeDatabase(args, paths.dailyDb(), &bad);
  if (bad || hasStrayOption(args) || args.size() != 1) return usageError(kLatestUsage);
  std::optional<PeriodSource> p = parseDateAndName(args[0]);
  if (!p) return usageError(kLatestUsage);
  if (int rc = dateError("latest", &*p, 1, 1, kLatestUsage)) return rc;
  std::string unit, error;
  std::unique_ptr<Database> db = openPriceDb(file, unit, error);
  if (!db) return failure("latest: " + error);
  std::cout << "latest import into " << toUtf8(file) << " (unit " << (unit.empty() ? "none" : unit) << ")\n";
  ImportOutcome o = importLatest(*db, paths, *p, unit);
  if (int rc = finishImport("latest", o)) return rc;
  std::cout << o.stocks << " stocks, " << o.rowsChanged << " with a changed latest price, " << o.cleared
            << " without a latest price\n";
  return kOk;
}

}  // namespace tavrin::cli
