#include "watchlists/watch_list_store.h"

#include <algorithm>
#include <cstdio>

#include "app/paths.h"
#include "base/calendar.h"
#include "data/database.h"

namespace tavrin {

namespace {

// A code as the grid shows it: numbers without a decimal point, text as is.
std::string codeText(const Value& v) { return v.display(); }

}  // namespace

QueryResult readWatchList(const std::filesystem::path& path, WatchList list) {
  Database db(path, Database::Mode::ReadOnly);
  return db.query(watchListSelect(list) + " order by [ID]");
}

std::vector<std::string> readWatchCodes(const std::filesystem::path& path, WatchList list) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return {};
  Database db(path, Database::Mode::ReadOnly);
  QueryResult r = db.query(std::string("select [コード] from [") + watchListTable(list) + "] order by [ID]");
  std::vector<std::string> codes;
  codes.reserve(r.rows.size());
  for (const Row& row : r.rows) codes.push_back(codeText(row[0]));
  return codes;
}

bool watchListHasCode(const std::filesystem::path& path, WatchList list, const std::string& code) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return false;
  Database db(path, Database::Mode::ReadOnly);
  return db.scalar(std::string("select count(*) from [") + watchListTable(list) + "] where [コード] = ?", {code})
             .integer() > 0;
}

std::int64_t addWatchStock(const std::filesystem::path& path, WatchList list, const WatchStock& stock) {
  Database db(path);
  Transaction tx(db);
  db.execute(std::string("insert into [") + watchListTable(list) +
                 "] ([コード], [銘柄], [市場], [単位], [date]) values (?, ?, ?, ?, ?)",
             {stock.code, stock.name, stock.market, stock.unit, stock.date});
  const Value id = db.scalar("select last_insert_rowid()");
  tx.commit();
  return id.isInteger() ? id.integer() : 0;
}

bool deleteWatchRow(const std::filesystem::path& path, WatchList list, std::int64_t id) {
  Database db(path);
  Transaction tx(db);
  const int n = db.execute(std::string("delete from [") + watchListTable(list) + "] where [ID] = ?", {id});
  tx.commit();
  return n > 0;
}

int removeWatchCode(const std::filesystem::path& path, WatchList list, const std::string& code) {
  Database db(path);
  Transaction tx(db);
  // The column's integer affinity turns "7203" into the number it stores;
  // "130A" is compared as the text it was stored as.
  const int n = db.execute(std::string("delete from [") + watchListTable(list) + "] where [コード] = ?", {code});
  tx.commit();
  return n;
}

std::optional<std::int64_t> firstDuplicateId(const std::vector<std::pair<std::string, std::int64_t>>& rows) {
  struct Key {
    std::optional<double> number;
    const std::string* text;
    std::int64_t id;
  };
  std::vector<Key> keys;
  keys.reserve(rows.size());
  for (const auto& [code, id] : rows) keys.push_back({parseNumber(code), &code, id});
  // A strict order over mixed codes: numbers by value first, then texts.
  std::stable_sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
    if (a.number && b.number) return *a.number < *b.number;
    if (a.number || b.number) return a.number.has_value();
    return *a.text < *b.text;
  });
  for (size_t i = 0; i + 1 < keys.size(); ++i)
    if (*keys[i].text == *keys[i + 1].text) return keys[i + 1].id;
  return std::nullopt;
}

WatchCodesOutcome listedWatchCodes(const std::filesystem::path& path, WatchList list) {
  WatchCodesOutcome o;
  try {
    o.codes = readWatchCodes(path, list);
  } catch (const std::exception& e) {
    o.fail(WatchListFailure::Unavailable, e.what());
  }
  return o;
}

WatchTableOutcome readWatchListTable(const std::filesystem::path& path, WatchList list) {
  WatchTableOutcome o;
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) {
    o.table.fields = watchListFields();
    return o;
  }
  try {
    o.table = readWatchList(path, list);
  } catch (const std::exception& e) {
    o.fail(WatchListFailure::Unavailable, e.what());
  }
  return o;
}

Outcome<WatchListFailure> openWatchLists(const std::filesystem::path& path) {
  Outcome<WatchListFailure> o;
  try {
    prepareWatchListDatabase(path);
  } catch (const std::exception& e) {
    o.fail(WatchListFailure::Unavailable, e.what());
  }
  return o;
}

WatchAddOutcome addToWatchList(const std::filesystem::path& path, WatchList list, const WatchStock& stock) {
  WatchAddOutcome o;
  try {
    prepareWatchListDatabase(path);
    if (watchListHasCode(path, list, stock.code))
      o.alreadyListed = true;
    else
      o.id = addWatchStock(path, list, stock);
  } catch (const std::exception& e) {
    o.fail(WatchListFailure::Unavailable, e.what());
  }
  return o;
}

Outcome<WatchListFailure> deleteFromWatchList(const std::filesystem::path& path, WatchList list, std::int64_t id) {
  Outcome<WatchListFailure> o;
  try {
    if (!deleteWatchRow(path, list, id))
      o.fail(WatchListFailure::NotListed, "no row " + std::to_string(id) + " on " + watchListTable(list));
  } catch (const std::exception& e) {
    o.fail(WatchListFailure::Unavailable, e.what());
  }
  return o;
}

WatchRemoveOutcome removeFromWatchList(const std::filesystem::path& path, WatchList list, const std::string& code) {
  WatchRemoveOutcome o;
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) {
    o.fail(WatchListFailure::NotListed, code + " is not on " + watchListTable(list));
    return o;
  }
  try {
    o.removed = removeWatchCode(path, list, code);
    if (o.removed == 0) o.fail(WatchListFailure::NotListed, code + " is not on " + watchListTable(list));
  } catch (const std::exception& e) {
    o.fail(WatchListFailure::Unavailable, e.what());
  }
  return o;
}

std::string watchDate(const std::tm& date) { return twoDigitDate(date.tm_year, date.tm_mon + 1, date.tm_mday, "/"); }

}  // namespace tavrin
