#include "exchange/companion.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <unordered_map>
#include <vector>

#include "app/paths.h"
#include "base/log.h"
#include "data/database.h"
#include "utilities/backup.h"

namespace tavrin {

namespace fs = std::filesystem;

void createCompanionDatabase(const fs::path& path) {
  if (fs::exists(path)) throw DatabaseError("file exists: " + toUtf8(path));
  Database db(path, Database::Mode::Create);
  Transaction tx(db);
  std::string list = "create table [list] ([ID] integer primary key, [コード] integer, [銘柄] text";
  for (int i = 1; i <= 10; ++i) list += ", [kabuka" + std::to_string(i) + "] integer";
  db.exec(list + ")");
  std::string dates = "create table [日付] ([ID] integer primary key";
  for (int i = 1; i <= 21; ++i) dates += ", [kabuka" + std::to_string(i) + "] text";
  db.exec(dates + ")");
  db.exec("insert into [日付] default values");
  tx.commit();
}

std::optional<CompanionMode> companionModeFromKeyword(const std::string& keyword) {
  if (keyword == "day") return CompanionMode::Day;
  if (keyword == "week") return CompanionMode::Week;
  if (keyword == "month") return CompanionMode::Month;
  if (keyword == "wDivuzi") return CompanionMode::WDivuzi;
  return std::nullopt;
}

const char* companionModeKeyword(CompanionMode mode) {
  switch (mode) {
    case CompanionMode::Day: return "day";
    case CompanionMode::Week: return "week";
    case CompanionMode::Month: return "month";
    case CompanionMode::WDivuzi: return "wDivuzi";
  }
  return "";
}

fs::path companionFile(const Paths& paths, CompanionMode mode) {
  switch (mode) {
    case CompanionMode::Day: return paths.companionDaily();
    case CompanionMode::Week: return paths.companionWeekly();
    case CompanionMode::Month: return paths.companionMonthly();
    case CompanionMode::WDivuzi: return paths.wDivuziDb();
  }
  return {};
}

PrepareOutcome prepareCompanion(const Paths& paths, CompanionMode mode) {
  PrepareOutcome o;
  PreparedCompanion& p = o.prepared;
  p.mode = mode;
  p.target = companionFile(paths, mode);
  p.writeTo = p.target;
  fs::path source;
  switch (mode) {
    case CompanionMode::Day: return o;
    case CompanionMode::Week:
    case CompanionMode::Month:
      source = paths.companionDaily();
      p.writeTo = temporaryBeside(p.target);
      break;
    case CompanionMode::WDivuzi: source = paths.divuziDb(); break;
  }
  o.source = source;
  try {
    removeStalePartFiles(p.target.parent_path());
    copyDatabaseSnapshot(source, p.writeTo, !p.isDraft());
  } catch (const std::exception& e) {
    logLine("companion copy", e.what());
    o.fail(PrepareFailure::CopyFailed, e.what());
  }
  return o;
}

namespace {
void removeWithJournals(const fs::path& db) {
  std::error_code ec;
  fs::remove(db, ec);
  for (const char* suffix : {"-journal", "-wal", "-shm"}) {
    fs::path j = db;
    j += suffix;
    fs::remove(j, ec);
  }
}
}  // namespace

Outcome<PrepareFailure> finishPreparedCompanion(PreparedCompanion& prepared) {
  Outcome<PrepareFailure> o;
  if (!prepared.isDraft()) return o;
  // A journal beside the old file belongs to it and must never be played
  // into the new one.
  for (const char* suffix : {"-journal", "-wal", "-shm"}) {
    fs::path j = prepared.target;
    j += suffix;
    std::error_code ec;
    fs::remove(j, ec);
  }
  std::error_code ec;
  fs::rename(prepared.writeTo, prepared.target, ec);
  if (ec) {
    const std::string what =
        "cannot put " + toUtf8(prepared.writeTo) + " in place of " + toUtf8(prepared.target) + ": " + ec.message();
    logLine("companion copy", what);
    o.fail(PrepareFailure::CannotReplace, what);
    return o;
  }
  prepared.writeTo = prepared.target;
  return o;
}

void discardPreparedCompanion(const PreparedCompanion& prepared) {
  if (prepared.isDraft()) removeWithJournals(prepared.writeTo);
}

namespace {

// A stock code as a whole number; nullopt for an empty or fractional code,
// which no lookup can match.
std::optional<std::int64_t> codeKey(const Value& v) {
  if (v.isInteger()) return v.integer();
  auto d = v.asNumber();
  if (!d || !std::isfinite(*d) || *d != std::floor(*d) || std::fabs(*d) > 9.0e15) return std::nullopt;
  return static_cast<std::int64_t>(*d);
}

std::string priceColumn(int i) { return "kabuka" + std::to_string(i); }

bool has(const std::vector<std::string>& v, const std::string& s) {
  return std::find(v.begin(), v.end(), s) != v.end();
}

std::string selectList(const std::vector<std::string>& cols) {
  std::string s;
  for (size_t i = 0; i < cols.size(); ++i) s += (i ? ", [" : "[") + cols[i] + "]";
  return s;
}

std::string setList(const std::vector<std::string>& cols) {
  std::string s;
  for (size_t i = 0; i < cols.size(); ++i) s += (i ? ", [" : "[") + cols[i] + "] = ?";
  return s;
}

// A statement failure that concerns only the row (a constraint, a type the
// column refuses) is skipped; anything else means the file cannot be written.
bool rowLevelFailure(Database& db) {
  switch (sqlite3_errcode(db.handle()) & 0xFF) {
    case SQLITE_CONSTRAINT:
    case SQLITE_MISMATCH:
    case SQLITE_TOOBIG:
    case SQLITE_RANGE: return true;
    default: return false;
  }
}

TransferFailure fileFailureStatus(Database& db) {
  switch (sqlite3_errcode(db.handle()) & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return TransferFailure::CompanionLocked;
    case SQLITE_READONLY: return TransferFailure::CompanionReadOnly;
    default: return TransferFailure::CompanionUnavailable;
  }
}

// A failure of the companion file itself, with its kind taken at once: the
// rollback on the way out would overwrite the connection's error code.
struct FileFailure {
  TransferFailure status;
  std::string what;
};

template <class F>
auto guarded(Database& db, F&& f) {
  try {
    return f();
  } catch (const DatabaseError& e) {
    throw FileFailure{fileFailureStatus(db), e.what()};
  }
}

std::unique_ptr<Database> openSender(const fs::path& path) {
  try {
    return std::make_unique<Database>(path, Database::Mode::ReadWrite);
  } catch (const DatabaseError&) {
    return std::make_unique<Database>(path, Database::Mode::ReadOnly);
  }
}

}  // namespace

TransferOutcome transferToCompanion(const fs::path& senderDb, const fs::path& companionDb,
                                    const TransferProgressFn& progress) {
  auto fail = [](TransferFailure s, const std::string& what) {
    TransferOutcome out;
    out.fail(s, what);
    logLine("transfer", what);
    return out;
  };

  // The sender's prices, indexed by code in one pass: the first row of a
  // code wins, as a search from the top of the list would find it.
  std::vector<std::string> senderPrices;  // kabuka1..10 that the sender has
  std::unordered_map<std::int64_t, std::vector<Value>> index;
  std::optional<std::vector<Value>> senderDates;
  std::vector<std::string> senderDateCols;
  try {
    auto sender = openSender(senderDb);
    if (!sender->tableExists("list")) return fail(TransferFailure::SenderUnavailable, "no list in " + toUtf8(senderDb));
    const auto cols = sender->columnNames("list");
    for (int i = 1; i <= 10; ++i)
      if (has(cols, priceColumn(i))) senderPrices.push_back(priceColumn(i));
    if (has(cols, "コード")) {
      std::string sql = "select [コード]";
      for (const auto& c : senderPrices) sql += ", [" + c + "]";
      Statement st(*sender, sql + " from [list] order by rowid");
      while (st.step()) {
        auto key = codeKey(st.column(0));
        if (!key || index.count(*key)) continue;
        std::vector<Value> row;
        row.reserve(senderPrices.size());
        for (size_t i = 0; i < senderPrices.size(); ++i) row.push_back(st.column(static_cast<int>(i + 1)));
        index.emplace(*key, std::move(row));
      }
    } else {
      logLine("transfer", "no コード column in the list of " + toUtf8(senderDb));
    }
    if (sender->tableExists("日付")) {
      const auto dcols = sender->columnNames("日付");
      for (int i = 1; i <= 21; ++i)
        if (has(dcols, priceColumn(i))) senderDateCols.push_back(priceColumn(i));
      if (!senderDateCols.empty()) {
        QueryResult q = sender->query("select " + selectList(senderDateCols) + " from [日付] order by rowid limit 1");
        if (!q.rows.empty()) senderDates = std::move(q.rows.front());
      }
    }
  } catch (const std::exception& e) {
    return fail(TransferFailure::SenderUnavailable, e.what());
  }

  std::unique_ptr<Database> companion;
  try {
    companion = std::make_unique<Database>(companionDb, Database::Mode::ReadWrite);
  } catch (const std::exception& e) {
    return fail(TransferFailure::CompanionUnavailable, e.what());
  }
  if (sqlite3_db_readonly(companion->handle(), "main") == 1)
    return fail(TransferFailure::CompanionReadOnly, "read-only: " + toUtf8(companionDb));

  TransferOutcome r;
  try {
    if (!companion->tableExists("list"))
      return fail(TransferFailure::NoCompanionList, "no list in " + toUtf8(companionDb));
    const auto companionCols = companion->columnNames("list");
    // Positions in the sender's row of the columns both sides have.
    std::vector<std::string> prices;
    std::vector<size_t> from;
    for (size_t i = 0; i < senderPrices.size(); ++i) {
      if (has(companionCols, senderPrices[i])) {
        prices.push_back(senderPrices[i]);
        from.push_back(i);
      }
    }

    // The companion rows in table order, read before any of them is written.
    struct Target {
      std::int64_t rowid;
      Value code;
    };
    std::vector<Target> targets;
    guarded(*companion, [&] {
      Statement st(*companion, std::string("select rowid, ") + (has(companionCols, "コード") ? "[コード]" : "null") +
                                   " from [list] order by rowid");
      while (st.step()) targets.push_back({st.column(0).integer(), st.column(1)});
    });

    Transaction tx = guarded(*companion, [&] { return Transaction(*companion); });
    std::optional<Statement> copyRow;
    std::optional<Statement> clearRow;
    guarded(*companion, [&] {
      if (!prices.empty()) copyRow.emplace(*companion, "update [list] set " + setList(prices) + " where rowid = ?");
      if (has(companionCols, "kabuka1"))
        clearRow.emplace(*companion, "update [list] set [kabuka1] = null where rowid = ?");
    });

    TransferProgress p;
    p.total = targets.size();
    for (const Target& t : targets) {
      ++r.companionRows;
      auto key = codeKey(t.code);
      auto found = key ? index.find(*key) : index.end();
      if (found == index.end()) {
        ++r.unmatched;  // a code we do not hold: the row keeps its prices
      } else {
        Statement* st = nullptr;
        if (*key == 1000) {
          // The placeholder row: the latest price is emptied, nothing counted.
          if (clearRow) {
            st = &*clearRow;
            st->bind(1, t.rowid);
          }
        } else {
          ++r.counted;
          p.counted = r.counted;
          if (*key == 0) {
            ++r.zeroCode;
          } else if (copyRow) {
            st = &*copyRow;
            for (size_t i = 0; i < prices.size(); ++i) st->bind(static_cast<int>(i + 1), found->second[from[i]]);
            st->bind(static_cast<int>(prices.size() + 1), t.rowid);
          }
        }
        if (st) {
          try {
            st->step();
            st->reset();
            if (*key == 1000)
              ++r.cleared;
            else
              ++r.copied;
          } catch (const DatabaseError& e) {
            const bool rowOnly = rowLevelFailure(*companion);
            const TransferFailure status = fileFailureStatus(*companion);
            st->reset();
            if (!rowOnly) throw FileFailure{status, e.what()};
            ++r.failed;
            logLine("transfer", "row " + std::to_string(t.rowid) + " kept: " + e.what());
          }
        }
      }
      p.visited = r.companionRows;
      if (progress) progress(p);
    }

    // The date record: the first row of each 日付 table, column by column.
    if (senderDates && companion->tableExists("日付")) {
      const auto dcols = companion->columnNames("日付");
      std::vector<std::string> cols;
      std::vector<Value> params;
      for (size_t i = 0; i < senderDateCols.size(); ++i) {
        if (has(dcols, senderDateCols[i])) {
          cols.push_back(senderDateCols[i]);
          params.push_back((*senderDates)[i]);
        }
      }
      if (!cols.empty()) {
        try {
          const int changed = companion->execute(
              "update [日付] set " + setList(cols) + " where rowid = (select min(rowid) from [日付])", params);
          r.dateRecordCopied = changed > 0;
        } catch (const DatabaseError& e) {
          if (!rowLevelFailure(*companion)) throw FileFailure{fileFailureStatus(*companion), e.what()};
          logLine("transfer", std::string("date record kept: ") + e.what());
        }
      }
    }
    guarded(*companion, [&] { tx.commit(); });
  } catch (const FileFailure& f) {
    return fail(f.status, f.what);
  } catch (const DatabaseError& e) {
    return fail(TransferFailure::CompanionUnavailable, e.what());
  }
  return r;
}

TransferOutcome transferToPrepared(const fs::path& senderDb, PreparedCompanion& prepared,
                                   const TransferProgressFn& progress) {
  TransferOutcome r = transferToCompanion(senderDb, prepared.writeTo, progress);
  if (!r.done()) return r;
  const Outcome<PrepareFailure> finished = finishPreparedCompanion(prepared);
  if (!finished.done()) r.fail(TransferFailure::CompanionUnavailable, finished.detail);
  return r;
}

}  // namespace tavrin
