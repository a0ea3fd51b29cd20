#include "stocklist/stock_list_update.h"

#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "base/calendar.h"
#include "base/log.h"
#include "data/price_schema.h"
#include "data/stock_code.h"

namespace tavrin {

namespace {

constexpr std::int64_t kNewStockUnit = 100;  // every listed stock trades in lots of 100
constexpr const char* kIndexCode = "1000";   // the index row: never touched

// A code key as list stores it: a plain number as a number, else text.
Value storedCode(const std::string& key) {
  if (isPlainNumberCode(key) && key.size() <= 18) return Value(static_cast<std::int64_t>(std::stoll(key)));
  return Value(key);
}

Value textOrNull(const std::string& s) { return s.empty() ? Value() : Value(s); }

std::string table(const std::string& schema, const char* name) { return "[" + schema + "].[" + name + "]"; }

struct StoredStock {
  std::string name;
  std::string market;
  std::string section;
};

// The stocks of one table: code key -> the first row's fields, in row order.
struct StoredList {
  std::vector<std::string> order;
  std::unordered_map<std::string, StoredStock> byCode;
};

StoredList readStored(Database& db, const std::string& schema) {
  StoredList out;
  Statement st(db, "select [コード], [銘柄], [市場], [市場区分] from " + table(schema, "list") + " order by rowid");
  while (st.step()) {
    std::optional<std::string> key = codeKey(st.column(0));
    if (!key || *key == kIndexCode) continue;
    StoredStock s{st.column(1).display(), st.column(2).display(), st.column(3).display()};
    if (out.byCode.emplace(*key, std::move(s)).second) out.order.push_back(*key);
  }
  return out;
}

StockListReport plan(const StoredList& stored, const ListedIssues& issues, bool removeMissing) {
  StockListReport r;
  std::unordered_set<std::string> inFile;
  for (const ListedIssue& issue : issues.issues) {
    inFile.insert(issue.code);
    auto it = stored.byCode.find(issue.code);
    if (it == stored.byCode.end()) {
      r.added.push_back(issue);
      continue;
    }
    UpdatedStock u{issue.code, issue.name, {}};
    const StoredStock& s = it->second;
    if (s.name != issue.name) u.changes.push_back({"銘柄", s.name, issue.name});
    if (issues.hasMarketColumn) {
      if (s.market != issue.market) u.changes.push_back({"市場", s.market, issue.market});
      if (s.section != issue.section) u.changes.push_back({"市場区分", s.section, issue.section});
    }
    if (u.changes.empty())
      ++r.unchanged;
    else
      r.updated.push_back(std::move(u));
  }
  for (const std::string& code : stored.order)
    if (!inFile.count(code)) r.missing.push_back({code, stored.byCode.at(code).name});
  r.missingRemoved = removeMissing && !r.missing.empty();
  return r;
}

// Writes the plan into list and hojyo (when there is one) of one schema.
void apply(Database& db, const std::string& schema, const ListedIssues& issues, const StockListReport& r) {
  std::unordered_map<std::string, const ListedIssue*> byCode;
  for (const ListedIssue& issue : issues.issues) byCode.emplace(issue.code, &issue);
  std::unordered_set<std::string> changed;
  for (const UpdatedStock& u : r.updated) changed.insert(u.code);
  std::unordered_set<std::string> removed;
  if (r.missingRemoved)
    for (const StockListEntry& m : r.missing) removed.insert(m.code);

  std::vector<const char*> tables = {"list"};
  if (db.scalar("select count(*) from [" + schema + "].sqlite_master where type = 'table' and name = 'hojyo'")
          .integer() > 0)
    tables.push_back("hojyo");
  for (const char* name : tables) {
    const std::string t = table(schema, name);
    // Rows are found by their code key, so that a code stored as text "7203"
    // or with blanks is the same stock as the number 7203.
    std::vector<std::pair<std::int64_t, std::string>> rows;
    {
      Statement st(db, "select rowid, [コード] from " + t + " order by rowid");
      while (st.step()) {
        std::optional<std::string> key = codeKey(st.column(1));
        if (key && *key != kIndexCode) rows.emplace_back(st.column(0).integer(), *key);
      }
    }
    Statement setAll(db, "update " + t + " set [銘柄] = ?, [市場] = ?, [市場区分] = ? where rowid = ?");
    Statement setName(db, "update " + t + " set [銘柄] = ? where rowid = ?");
    Statement drop(db, "delete from " + t + " where rowid = ?");
    for (const auto& [rowid, key] : rows) {
      if (removed.count(key)) {
        drop.reset();
        drop.bind(1, rowid);
        drop.step();
      } else if (changed.count(key)) {
        const ListedIssue& issue = *byCode.at(key);
        Statement& st = issues.hasMarketColumn ? setAll : setName;
        st.reset();
        st.bind(1, issue.name);
        if (issues.hasMarketColumn) {
          st.bind(2, textOrNull(issue.market));
          st.bind(3, textOrNull(issue.section));
          st.bind(4, rowid);
        } else {
          st.bind(2, rowid);
        }
        st.step();
      }
    }
    Statement add(db, "insert into " + t + " ([銘柄], [コード], [市場], [単位], [市場区分]) values (?, ?, ?, ?, ?)");
    for (const ListedIssue& issue : r.added) {
      add.reset();
      add.bindAll(
          {issue.name, storedCode(issue.code), textOrNull(issue.market), kNewStockUnit, textOrNull(issue.section)});
      add.step();
    }
  }
}

// Thrown out of the transaction when the list is older than a target's.
struct OlderList {
  std::size_t target;
  AppliedStockList applied;
};

bool isOlder(const ListedIssues& issues, const std::optional<AppliedStockList>& applied) {
  return issues.listDay && applied && *issues.listDay < applied->day;
}

}  // namespace

std::vector<StockListTarget> standardStockListTargets(const Paths& paths) {
  return {{paths.dailyDb(), "day"}, {paths.weeklyDb(), "week"}, {paths.monthlyDb(), "month"}};
}

StockListOutcome updateStockLists(const std::vector<StockListTarget>& targets, const ListedIssues& issues,
                                  const StockListUpdateOptions& options) {
  StockListOutcome out;
  std::vector<std::filesystem::path> createdFiles;
  const StockListTarget* current = nullptr;
  auto fail = [&](const std::string& detail) {
    out.fail(StockListFailure::Database, detail);
    out.failedDatabase = current ? current->path : std::filesystem::path();
    out.reports.clear();
    logLine("stocks update", toUtf8(out.failedDatabase) + ": " + detail);
    return out;
  };
  std::vector<std::filesystem::path> createdFolders;
  auto removeCreated = [&] {
    std::error_code ec;
    for (const auto& p : createdFiles) std::filesystem::remove(p, ec);
    for (const auto& p : createdFolders) std::filesystem::remove(p, ec);  // only when empty
  };

  try {
    if (options.dryRun) {
      for (const StockListTarget& target : targets) {
        current = &target;
        std::error_code ec;
        StockListReport r;
        if (!std::filesystem::exists(target.path, ec) && !target.unitWord.empty()) {
          r = plan(StoredList{}, issues, options.removeMissing);
          r.created = true;
        } else {
          Database db = openForReading(target.path);
          if (!db.tableExists("list")) return fail("not a price database (no table list)");
          r = plan(readStored(db, "main"), issues, options.removeMissing);
          r.appliedBefore = readAppliedStockList(db, "main");
          r.olderList = isOlder(issues, r.appliedBefore);
        }
        r.database = target.path;
        out.reports.push_back(std::move(r));
      }
      return out;
    }

    // Missing standard files are created first, so that every target can be
    // opened; they are removed again when the update fails.
    for (const StockListTarget& target : targets) {
      current = &target;
      std::error_code ec;
      if (std::filesystem::exists(target.path, ec) || target.unitWord.empty()) continue;
      const std::filesystem::path folder = target.path.parent_path();
      if (!folder.empty() && !std::filesystem::exists(folder, ec)) {
        std::filesystem::create_directories(folder);
        createdFolders.push_back(folder);
      }
      createPriceDatabase(target.path, target.unitWord);
      createdFiles.push_back(target.path);
    }
    if (targets.empty()) {
      return out;
    }

    // One connection, the other files attached: a single transaction over
    // all of them, committed together or not at all.
    current = &targets.front();
    Database db(targets.front().path, Database::Mode::ReadWrite);
    std::vector<std::filesystem::path> files;
    for (const StockListTarget& t : targets) files.push_back(t.path);
    const std::vector<std::string> schemas = attachDatabases(db, files, [&](std::size_t i) { current = &targets[i]; });
    // Deferred: each file is locked by its first write, so that a file held
    // by another program is the one named in the failure.
    Transaction tx(db, Transaction::Begin::Deferred);
    for (size_t i = 0; i < targets.size(); ++i) {
      current = &targets[i];
      const std::string& schema = schemas[i];
      if (db.scalar("select count(*) from [" + schema + "].sqlite_master where type = 'table' and name = 'list'")
              .integer() == 0)
        throw DatabaseError("not a price database (no table list)", DatabaseFailure::NotADatabase);
      StockListReport r = plan(readStored(db, schema), issues, options.removeMissing);
      r.database = targets[i].path;
      r.appliedBefore = readAppliedStockList(db, schema);
      r.olderList = isOlder(issues, r.appliedBefore);
      if (r.olderList && !options.allowOlder) throw OlderList{i, *r.appliedBefore};
      if (issues.listDay) writeAppliedStockList(db, schema, {*issues.listDay, issues.source});
      for (const auto& p : createdFiles)
        if (p == targets[i].path) r.created = true;
      apply(db, schema, issues, r);
      // Files made before the sections knew today's market words get the
      // current universe views, so that the new stocks are listed.
      refreshUniverseViews(db, schema);
      out.reports.push_back(std::move(r));
    }
    current = &targets.front();
    tx.commit();
    return out;
  } catch (const OlderList& older) {
    // Nothing was written: the transaction was rolled back as it unwound.
    removeCreated();
    out.fail(StockListFailure::OlderList, "the list of " + isoDate(*issues.listDay) +
                                              " is older than the one applied last (" + isoDate(older.applied.day) +
                                              (older.applied.source.empty() ? "" : ", " + older.applied.source) + ")");
    out.failedDatabase = targets[older.target].path;
    out.newerList = older.applied;
    out.reports.clear();
    logLine("stocks update", toUtf8(out.failedDatabase) + ": " + out.detail);
    return out;
  } catch (const std::exception& e) {
    removeCreated();
    return fail(e.what());
  }
}

}  // namespace tavrin
