#include "registration/price_import.h"

#include <map>
#include <memory>
#include <optional>

#include "app/log.h"
#include "history/import_history.h"
#include "registration/workbook.h"

namespace tavrin {

namespace {

constexpr const char* kFixedCode = "1000";  // the row the imports never change

std::string workbookFileName(const std::string& baseName) { return baseName + ".xls"; }

// Opens every period's workbook (once per file) and reads its sheet into an
// index. Stops at the first failure, which it records in the outcome.
bool readPeriods(const Paths& paths, const PeriodSource* periods, int count, int firstPosition,
                 std::vector<PriceIndex>& indexes, ImportOutcome& outcome, const ProgressFn& progress) {
  std::map<std::filesystem::path, std::unique_ptr<Workbook>> books;
  for (int i = 0; i < count; ++i) {
    const PeriodSource& p = periods[i];
    const int position = firstPosition + i;
    if (progress) {
      ImportProgress pr;
      pr.period = position;
      pr.sheet = p.sheet;
      progress(pr);
    }
    const std::filesystem::path file = paths.workbook(p.baseName);
    auto fail = [&](ImportOutcome::Failure failure, const std::exception& e) {
      outcome.failure = failure;
      outcome.failedPeriod = position;
      outcome.failedWorkbook = workbookFileName(p.baseName);
      outcome.failedSheet = p.sheet;
      outcome.detail = e.what();
      return false;
    };
    // A reader that failed on the file's content says the file is probably damaged.
    auto damagedOr = [](const std::exception& e, ImportOutcome::Failure otherwise) {
      return dynamic_cast<const WorkbookDamaged*>(&e) ? ImportOutcome::Failure::Damaged : otherwise;
    };
    auto it = books.find(file);
    if (it == books.end()) {
      try {
        it = books.emplace(file, std::make_unique<Workbook>(file)).first;
      } catch (const std::exception& e) {
        return fail(damagedOr(e, ImportOutcome::Failure::Workbook), e);
      }
    }
    try {
      it->second->selectSheet(p.sheet);
      indexes.push_back(buildPriceIndex(*it->second));
    } catch (const std::exception& e) {
      return fail(damagedOr(e, ImportOutcome::Failure::Sheet), e);
    }
  }
  return true;
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
    case ImportOutcome::Failure::None: return {};
    case ImportOutcome::Failure::Workbook:
      return "position " + std::to_string(o.failedPeriod) + ": cannot open workbook " + o.failedWorkbook + " (" +
             o.detail + "); nothing was changed";
    case ImportOutcome::Failure::Sheet:
      return "position " + std::to_string(o.failedPeriod) + ": cannot read sheet " + o.failedSheet + " of " +
             o.failedWorkbook + " (" + o.detail + "); nothing was changed";
    case ImportOutcome::Failure::Damaged:
      return "position " + std::to_string(o.failedPeriod) + ": workbook " + o.failedWorkbook +
             " could not be read, it may be damaged (" + o.detail + "); nothing was changed";
    case ImportOutcome::Failure::Database: return "database: " + o.detail + "; nothing was changed";
  }
  return {};
}

namespace {

// Writes one import in a single transaction: the date record as setDates
// leaves it, then every stock row through writeRow with the prepared update
// (it returns whether it changed the row), with progress as the rows go by. On failure nothing stays
// written and the outcome says why.
template <class SetDates, class WriteRow>
void writeImport(Database& db, const char* where, int positions, const std::string& updateSql,
                 const ProgressFn& progress, ImportOutcome& outcome, SetDates setDates, WriteRow writeRow) {
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
    tx.commit();
    if (total % kProgressEvery != 0) reportWriting(progress, total, total);
  } catch (const std::exception& e) {
    outcome = ImportOutcome{};
    outcome.failure = ImportOutcome::Failure::Database;
    outcome.detail = e.what();
    logLine(where, describeFailure(outcome));
  }
}

}  // namespace

ImportOutcome importTenPeriods(Database& db, const Paths& paths, const std::array<PeriodSource, 10>& periods,
                               const std::string& unitWord, const ProgressFn& progress) {
  ImportOutcome outcome;
  std::vector<PriceIndex> indexes;
  indexes.reserve(10);
  if (!readPeriods(paths, periods.data(), 10, 1, indexes, outcome, progress)) {
    logLine("import", describeFailure(outcome));
    return outcome;
  }
  std::string sql = "update [list] set ";
  for (int k = 1; k <= 10; ++k) sql += std::string(k > 1 ? ", " : "") + "[kabuka" + std::to_string(k) + "] = ?";
  sql += " where rowid = ?";
  ImportHistory history(db, periods.data(), 10);
  writeImport(
      db, "import", 10, sql, progress, outcome,
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
          auto hit = indexes[k].find(*s.key);
          if (hit == indexes[k].end() || !hit->second) continue;
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
  std::vector<PriceIndex> indexes;
  if (!readPeriods(paths, &latest, 1, 1, indexes, outcome, progress)) {
    logLine("latest import", describeFailure(outcome));
    return outcome;
  }
  const PriceIndex& index = indexes.front();
  ImportHistory history(db, &latest, 1);
  writeImport(
      db, "latest import", 1, "update [list] set [kabuka1] = ? where rowid = ?", progress, outcome,
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
    outcome.done = true;
  } catch (const std::exception& e) {
    outcome = InsertOutcome{};
    outcome.detail = e.what();
    logLine("insert", outcome.detail);
  }
  return outcome;
}

}  // namespace tavrin
