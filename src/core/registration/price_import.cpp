#include "registration/price_import.h"

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <unordered_set>

#include "base/log.h"
#include "data/splits.h"
#include "data/stock_code.h"
#include "formats/price_file.h"
#include "formats/xls/workbook.h"
#include "history/price_history.h"
#include "registration/import_history.h"
#include "registration/period_file.h"

namespace tavrin {

namespace {

constexpr const char* kFixedCode = "1000";  // the row the imports never change

// A period's file, opened once for every period that names it.
struct OpenedFile {
  std::unique_ptr<PriceFile> file;
  std::string name;  // its file name, for reports
};

// Opens every period's file (once per file) and reads its sheet into an
// index, checking what each read. Stops at the first failure, which it
// records in the outcome.
bool readPeriods(const Paths& paths, const PeriodSource* periods, int count, int firstPosition,
                 std::vector<PeriodPrices>& read, ImportOutcome& outcome, const ProgressFn& progress) {
  if (std::optional<DateProblem> bad = checkPeriodDates(periods, count, firstPosition)) {
    outcome.fail(ImportFailure::BadDate, describeDateProblem(*bad));
    outcome.failedPeriod = bad->position;
    outcome.dateProblem = *bad;
    return false;
  }
  std::map<std::filesystem::path, OpenedFile> files;
  for (int i = 0; i < count; ++i) {
    const PeriodSource& p = periods[i];
    const int position = firstPosition + i;
    if (progress) {
      ImportProgress pr;
      pr.period = position;
      pr.sheet = p.sheet;
      progress(pr);
    }
    const std::filesystem::path path = resolvePriceFile(paths, p.baseName);
    auto fail = [&](ImportFailure failure, const std::string& why) {
      outcome.fail(failure, why);
      outcome.failedPeriod = position;
      outcome.failedWorkbook = toUtf8(path.filename());
      outcome.failedSheet = p.sheet;
      return false;
    };
    auto it = files.find(path);
    if (it == files.end()) {
      std::error_code ec;
      if (!std::filesystem::is_regular_file(path, ec)) return fail(ImportFailure::Workbook, "no such file");
      try {
        it = files.emplace(path, OpenedFile{openPriceFile(path), toUtf8(path.filename())}).first;
      } catch (const FormatError& e) {
        return fail(e.isUnavailable() ? ImportFailure::Workbook : ImportFailure::Damaged, e.what());
      } catch (const std::exception& e) {
        return fail(ImportFailure::Damaged, e.what());
      }
    }
    PriceFile& file = *it->second.file;
    if (file.hasSheets() && file.findSheet(p.sheet) < 0) return fail(ImportFailure::Sheet, "no sheet " + p.sheet);
    PeriodPrices prices;
    try {
      prices = readPeriodPrices(file.readSheet(p.sheet), file.kind(), dayFromRecordDate(p.date));
    } catch (const FormatError& e) {
      return fail(e.isUnavailable() ? ImportFailure::Sheet : ImportFailure::Damaged, e.what());
    } catch (const std::exception& e) {
      return fail(ImportFailure::Damaged, e.what());
    }
    PeriodReport report;
    report.position = position;
    report.date = p.date;
    report.file = it->second.name;
    report.kind = priceFileKindName(file.kind());
    if (file.hasSheets()) report.sheet = p.sheet;
    report.pricesRead = prices.pricesRead;
    report.notNumbers = prices.notNumbers;
    report.formulasWithoutValue = prices.formulasWithoutValue;
    outcome.periods.push_back(report);
    if (prices.otherDay) {
      fail(ImportFailure::OtherDay, "the file holds the prices of " + isoDate(*prices.otherDay));
      outcome.otherDay = *prices.otherDay;
      return false;
    }
    if (prices.pricesRead == 0) {
      std::string why = "no price could be read";
      if (prices.formulasWithoutValue > 0)
        why += " (" + std::to_string(prices.formulasWithoutValue) + " formula cells without a stored value)";
      else if (prices.notNumbers > 0)
        why += " (" + std::to_string(prices.notNumbers) + " price cells are no numbers)";
      else if (prices.codes.empty())
        why += " (no stock codes found)";
      return fail(ImportFailure::NoPrices, why);
    }
    read.push_back(std::move(prices));
  }
  return true;
}

// Completes each period's report with what list holds.
void reportAgainstList(const std::vector<PeriodPrices>& read, const std::unordered_set<std::string>& listKeys,
                       const ImportOutcome& counted, std::size_t eligible, std::vector<PeriodReport>& reports) {
  for (std::size_t k = 0; k < read.size() && k < reports.size(); ++k) {
    PeriodReport& r = reports[k];
    r.listWithoutPrice = eligible - std::min(eligible, counted.matched[k]);
    for (const std::string& code : read[k].codes) {
      if (listKeys.count(code)) continue;
      ++r.unknownCodes;
      if (r.unknownSample.size() < 10) r.unknownSample.push_back(code);
    }
  }
}

struct StockRow {
  std::int64_t rowid;
  std::optional<std::string> key;
  std::array<Value, 10> prices;
};

// Every row of list with its code key and the prices of the first `columns` positions.
std::vector<StockRow> readStocks(Database& db, int columns) {
  std::string sql = "select rowid, [コード]";
  for (int k = 1; k <= columns; ++k) sql += ", [kabuka" + std::to_string(k) + "]";
  sql += " from [list] order by rowid";
  Statement st(db, sql);
  std::vector<StockRow> out;
  while (st.step()) {
    StockRow row;
    row.rowid = st.column(0).integer();
    row.key = codeKey(st.column(1));
    for (int k = 0; k < columns; ++k) row.prices[static_cast<size_t>(k)] = st.column(2 + k);
    out.push_back(std::move(row));
  }
  return out;
}

bool samePrice(const Value& stored, const Value& wanted) {
  if (stored.isNull() || wanted.isNull()) return stored.isNull() && wanted.isNull();
  std::optional<double> a = stored.asNumber();
  return a && wanted.isInteger() && *a == static_cast<double>(wanted.integer());
}

void reportWriting(const ProgressFn& progress, std::size_t done, std::size_t total) {
  if (!progress) return;
  ImportProgress pr;
  pr.stage = ImportProgress::Stage::Writing;
  pr.done = done;
  pr.total = total;
  progress(pr);
}

// Sets a connection setting for the length of one operation.
class PragmaOverride {
 public:
  PragmaOverride(Database& db, std::string name, std::int64_t value) : db_(db), name_(std::move(name)) {
    const Value was = db_.scalar("pragma " + name_);
    if (!was.isInteger()) return;
    was_ = was.integer();
    db_.exec("pragma " + name_ + " = " + std::to_string(value));
  }
  ~PragmaOverride() {
    if (!was_) return;
    try {
      db_.exec("pragma " + name_ + " = " + std::to_string(*was_));
    } catch (const std::exception& e) {
      logLine("insert", e.what());
    }
  }
  PragmaOverride(const PragmaOverride&) = delete;
  PragmaOverride& operator=(const PragmaOverride&) = delete;

 private:
  Database& db_;
  std::string name_;
  std::optional<std::int64_t> was_;
};

DateRecord currentRecord(Database& db) { return readDateRecord(db).value_or(DateRecord{}); }

}  // namespace

PeriodSource periodFromParts(const std::string& year, const std::string& month, const std::string& day,
                             const std::string& baseName) {
  return {year + "/" + month + "/" + day, "s" + year + month + day, baseName};
}

std::array<PeriodSource, 10> periodsFromRecord(const DateRecord& record) {
  std::array<PeriodSource, 10> out;
  for (size_t k = 0; k < 10; ++k) {
    const std::string& d = record.dates[k];
    auto part = [&d](size_t pos) { return d.size() >= pos + 2 ? d.substr(pos, 2) : std::string(); };
    out[k] = periodFromParts(part(0), part(3), part(6), record.sourceNames[k]);
    out[k].date = d;
  }
  return out;
}

std::string describeFailure(const ImportOutcome& o) {
  switch (o.failure) {
    case ImportFailure::None: return {};
    case ImportFailure::Workbook:
      return "position " + std::to_string(o.failedPeriod) + ": cannot open workbook " + o.failedWorkbook + " (" +
             o.detail + "); nothing was changed";
    case ImportFailure::Sheet:
      return "position " + std::to_string(o.failedPeriod) + ": cannot read sheet " + o.failedSheet + " of " +
             o.failedWorkbook + " (" + o.detail + "); nothing was changed";
    case ImportFailure::Damaged:
      return "position " + std::to_string(o.failedPeriod) + ": workbook " + o.failedWorkbook +
             " could not be read, it may be damaged (" + o.detail + "); nothing was changed";
    case ImportFailure::Database: return "database: " + o.detail + "; nothing was changed";
    case ImportFailure::NoPrices:
      return "position " + std::to_string(o.failedPeriod) + ": " + o.failedWorkbook +
             (o.failedSheet.empty() ? "" : " sheet " + o.failedSheet) + ": " + o.detail + "; nothing was changed";
    case ImportFailure::OtherDay:
      return "position " + std::to_string(o.failedPeriod) + ": " + o.failedWorkbook + " holds the prices of " +
             isoDate(o.otherDay) + ", not of " + o.periods.back().date + "; nothing was changed";
    case ImportFailure::BadDate: return o.detail + "; nothing was changed";
  }
  return {};
}

std::optional<DateProblem> checkPeriodDates(const PeriodSource* periods, int count, int firstPosition) {
  std::map<int, int> seen;  // day -> position
  for (int i = 0; i < count; ++i) {
    const std::string& date = periods[i].date;
    const int position = firstPosition + i;
    std::optional<int> day;
    if (date.size() == 8 && date[2] == '/' && date[5] == '/') day = dayFromRecordDate(date);
    if (!day) return DateProblem{position, date, 0};
    auto [it, added] = seen.emplace(*day, position);
    if (!added) return DateProblem{position, date, it->second};
  }
  return std::nullopt;
}

std::string describeDateProblem(const DateProblem& p) {
  if (p.samePosition)
    return "position " + std::to_string(p.position) + ": the date " + p.date + " is also the date of position " +
           std::to_string(p.samePosition);
  return "position " + std::to_string(p.position) + ": " + (p.date.empty() ? "no date" : p.date) +
         " is not a calendar date";
}

namespace {

// Writes one import in a single transaction: the date record as setDates
// leaves it, then every stock row through writeRow with the prepared update
// (it returns whether it changed the row), with progress as the rows go by. On failure nothing stays
// written and the outcome says why.
template <class SetDates, class WriteRow>
void writeImport(Database& db, const char* where, int positions, const std::string& updateSql,
                 const std::vector<PeriodPrices>& read, const ProgressFn& progress, ImportOutcome& outcome,
                 ImportHistory& history, SetDates setDates, WriteRow writeRow) {
  try {
    Transaction tx(db);
    DateRecord rec = currentRecord(db);
    setDates(rec);
    writeDateRecord(db, rec);

    const std::vector<StockRow> stocks = readStocks(db, positions);
    Statement update(db, updateSql);
    const std::size_t total = stocks.size();
    reportWriting(progress, 0, total);
    for (std::size_t r = 0; r < total; ++r) {
      if (writeRow(update, stocks[r])) ++outcome.rowsChanged;
      if ((r + 1) % kProgressEvery == 0) reportWriting(progress, r + 1, total);
    }
    outcome.stocks = total;
    std::unordered_set<std::string> listKeys;
    listKeys.reserve(total);
    std::size_t eligible = 0;
    for (const StockRow& s : stocks) {
      if (!s.key) continue;
      listKeys.insert(*s.key);
      if (*s.key != kFixedCode) ++eligible;
    }
    reportAgainstList(read, listKeys, outcome, eligible, outcome.periods);
    // Prices of days before a stock's split come in as traded; the positions
    // show them adjusted like the rest.
    if (db.tableExists(kSplitsTable)) rewriteAllSplitPositions(db);
    history.flush();
    tx.commit();
    if (total % kProgressEvery != 0) reportWriting(progress, total, total);
  } catch (const std::exception& e) {
    std::vector<PeriodReport> reports = std::move(outcome.periods);
    outcome = ImportOutcome{};
    outcome.periods = std::move(reports);
    outcome.fail(ImportFailure::Database, e.what());
    logLine(where, describeFailure(outcome));
  }
}

}  // namespace

ImportOutcome importTenPeriods(Database& db, const Paths& paths, const std::array<PeriodSource, 10>& periods,
                               const std::string& unitWord, const ProgressFn& progress) {
  ImportOutcome outcome;
  std::vector<PeriodPrices> read;
  read.reserve(10);
  if (!readPeriods(paths, periods.data(), 10, 1, read, outcome, progress)) {
    logLine("import", describeFailure(outcome));
    return outcome;
  }
  std::string sql = "update [list] set ";
  for (int k = 1; k <= 10; ++k) sql += std::string(k > 1 ? ", " : "") + "[kabuka" + std::to_string(k) + "] = ?";
  sql += " where rowid = ?";
  ImportHistory history(db, periods.data(), 10);
  writeImport(
      db, "import", 10, sql, read, progress, outcome, history,
      [&](DateRecord& rec) {
        for (size_t k = 0; k < 10; ++k) {
          rec.dates[k] = periods[k].date;
          rec.sourceNames[k] = periods[k].baseName;
        }
        if (!unitWord.empty()) rec.unit = unitWord;
      },
      [&](Statement& update, const StockRow& s) {
        if (!s.key || *s.key == kFixedCode) return false;
        std::array<Value, 10> next = s.prices;
        bool changed = false;
        for (size_t k = 0; k < 10; ++k) {
          auto hit = read[k].index.find(*s.key);
          if (hit == read[k].index.end() || !hit->second) continue;
          ++outcome.matched[k];
          history.put(*s.key, k, *hit->second);
          Value price(static_cast<std::int64_t>(*hit->second));
          if (!samePrice(next[k], price)) {
            next[k] = price;
            changed = true;
          }
        }
        if (!changed) return false;
        for (size_t k = 0; k < 10; ++k) update.bind(static_cast<int>(k + 1), next[k]);
        update.bind(11, Value(s.rowid));
        update.step();
        update.reset();
        return true;
      });
  return outcome;
}

ImportOutcome importLatest(Database& db, const Paths& paths, const PeriodSource& latest, const std::string& unitWord,
                           const ProgressFn& progress) {
  ImportOutcome outcome;
  std::vector<PeriodPrices> read;
  if (!readPeriods(paths, &latest, 1, 1, read, outcome, progress)) {
    logLine("latest import", describeFailure(outcome));
    return outcome;
  }
  const PriceIndex& index = read.front().index;
  ImportHistory history(db, &latest, 1);
  writeImport(
      db, "latest import", 1, "update [list] set [kabuka1] = ? where rowid = ?", read, progress, outcome, history,
      [&](DateRecord& rec) {
        rec.dates[0] = latest.date;
        rec.sourceNames[0] = latest.baseName;
        if (!unitWord.empty()) rec.unit = unitWord;
      },
      [&](Statement& update, const StockRow& s) {
        if (s.key && *s.key == kFixedCode) return false;
        Value price;
        if (s.key) {
          auto hit = index.find(*s.key);
          if (hit != index.end() && hit->second) price = Value(static_cast<std::int64_t>(*hit->second));
        }
        if (price.isNull()) {
          ++outcome.cleared;
        } else {
          ++outcome.matched[0];
          history.put(*s.key, 0, price.integer());
        }
        if (samePrice(s.prices[0], price)) return false;
        update.bind(1, price);
        update.bind(2, Value(s.rowid));
        update.step();
        update.reset();
        return true;
      });
  return outcome;
}

InsertOutcome insertPeriod(Database& db, const std::array<PeriodSource, 10>& rows, const std::string& unitWord) {
  InsertOutcome outcome;
  try {
    // The old scratch rows are dropped whole: zeroing their pages (the
    // library's secure-delete default) would only slow the insert down. A
    // cache that holds both tables keeps the rewrite from spilling pages (and
    // syncing the journal) before the commit.
    PragmaOverride secureDelete(db, "secure_delete", 0);
    PragmaOverride cache(db, "cache_size", -65536);
    Transaction tx(db);
    DateRecord rec = currentRecord(db);
    keepPositionsInHistory(db, rec);  // the price dropped from position 10 stays in the history
    for (size_t i = 1; i < 10; ++i) {
      rec.dates[i] = rows[i - 1].date;
      rec.sourceNames[i] = rows[i - 1].baseName;
    }
    if (!unitWord.empty()) rec.unit = unitWord;
    writeDateRecord(db, rec);

    std::string shift = "update [list] set ";
    for (int k = 10; k >= 2; --k)
      shift += "[kabuka" + std::to_string(k) + "] = [kabuka" + std::to_string(k - 1) + "], ";
    outcome.stocks = static_cast<std::size_t>(db.execute(shift + "[kabuka1] = null"));

    // hojyo becomes the shifted list, row for row, over the columns both have.
    const std::vector<std::string> scratchCols = db.columnNames("hojyo");
    if (scratchCols.empty()) throw DatabaseError("no table hojyo");
    std::string cols;
    for (const std::string& c : db.columnNames("list")) {
      bool shared = false;
      for (const std::string& s : scratchCols) shared = shared || s == c;
      if (!shared) continue;
      std::string quoted = "[" + c + "]";
      cols += (cols.empty() ? "" : ", ") + quoted;
    }
    db.exec("delete from [hojyo]");
    // With identical columns the rows are copied as stored, in rowid order.
    const std::string copy = scratchCols == db.columnNames("list")
                                 ? "insert into [hojyo] select * from [list]"
                                 : "insert into [hojyo] (" + cols + ") select " + cols + " from [list] order by rowid";
    outcome.scratch = static_cast<std::size_t>(db.execute(copy));
    tx.commit();
  } catch (const std::exception& e) {
    outcome = InsertOutcome{};
    outcome.fail(InsertFailure::Database, e.what());
    logLine("insert", outcome.detail);
  }
  return outcome;
}

}  // namespace tavrin
