#include "data/watch_schema.h"

#include <algorithm>

#include "base/files.h"

namespace tavrin {

namespace {

std::string tableDdl(const char* table) {
  return std::string("create table [") + table +
         "] ([ID] integer primary key autoincrement, [コード] integer, [銘柄] text, [市場] text, [単位] integer, "
         "[date] text)";
}

void createTables(Database& db) {
  for (WatchList list : {WatchList::Checklist, WatchList::Trend}) {
    const char* table = watchListTable(list);
    if (!db.tableExists(table)) db.exec(tableDdl(table));
  }
}

}  // namespace

std::optional<WatchList> watchListOfUniverse(int universeIndex) {
  if (universeIndex == 22) return WatchList::Trend;
  if (universeIndex == 23) return WatchList::Checklist;
  return std::nullopt;
}

const char* watchListTable(WatchList list) { return list == WatchList::Trend ? "trend" : "checklist"; }

std::optional<WatchList> watchListFromName(std::string_view name) {
  if (name == "trend") return WatchList::Trend;
  if (name == "checklist") return WatchList::Checklist;
  return std::nullopt;
}

std::string watchListSelect(WatchList list) { return std::string("select * from [") + watchListTable(list) + "]"; }

const std::vector<std::string>& watchListFields() {
  static const std::vector<std::string> fields = {"ID", "コード", "銘柄", "市場", "単位", "date"};
  return fields;
}

void createWatchListDatabase(const std::filesystem::path& path) {
  if (std::filesystem::exists(path)) throw DatabaseError("file exists: " + toUtf8(path));
  Database db(path, Database::Mode::Create);
  Transaction tx(db);
  createTables(db);
  tx.commit();
}

void prepareWatchListDatabase(const std::filesystem::path& path) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) {
    createWatchListDatabase(path);
    return;
  }
  Database db(path);
  // Reading the schema fails on a file that is not a database at all.
  const bool haveBoth = db.tableExists("checklist") && db.tableExists("trend");
  if (!haveBoth) {
    Transaction tx(db);
    createTables(db);
    tx.commit();
  }
  for (WatchList list : {WatchList::Checklist, WatchList::Trend}) {
    const std::vector<std::string> cols = db.columnNames(watchListTable(list));
    for (const std::string& f : watchListFields())
      if (std::find(cols.begin(), cols.end(), f) == cols.end())
        throw DatabaseError(std::string("table ") + watchListTable(list) + " has no field " + f);
  }
}

}  // namespace tavrin
