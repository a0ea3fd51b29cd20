#include <ctime>
#include <iostream>

#include "base/calendar.h"
#include "cli/commands.h"
#include "data/database.h"
#include "data/stock_code.h"
#include "screening/chart_links.h"
#include "watchlists/watch_list_store.h"

namespace tavrin::cli {

namespace {

const char* kWatchUsage =
    "tavrin-cli [--root DIR] watch list trend|checklist [--format tsv|csv|csv-cp932|xlsx] [--output FILE] | "
    "watch add trend|checklist CODE | "
    "watch remove trend|checklist CODE";

int listCommand(const Paths& paths, WatchList list, const TableOutput& output) {
  const WatchTableOutcome read = readWatchListTable(paths.watchListDb(), list);
  if (!read.done()) return failure(read.detail);
  const QueryResult& r = read.table;
  exporting::ExportTable table;
  table.titles = r.fields;
  table.sheetName = watchListTable(list);
  for (const Row& row : r.rows) {
    auto& cells = table.rows.emplace_back();
    for (const Value& v : row) cells.push_back(exporting::cellOf(v));
  }
  return emitTable(table, output);
}

int addCommand(const Paths& paths, WatchList list, const std::string& code) {
  const char* table = watchListTable(list);
  WatchStock stock;
  {
    Database prices = openForReading(paths.dailyDb());
    QueryResult r =
        prices.query("select [銘柄], [市場], [単位] from [list] where [コード] = ? order by [ID] limit 1", {code});
    if (r.rows.empty()) return failure("code " + code + " is not in " + toUtf8(paths.dailyDb()));
    stock.code = code;
    stock.name = r.rows[0][0].display();
    stock.market = r.rows[0][1].display();
    stock.unit = r.rows[0][2].display();
  }
  stock.date = watchDate(localNow());
  const WatchAddOutcome added = addToWatchList(paths.watchListDb(), list, stock);
  if (!added.done()) return failure(added.detail);
  if (added.alreadyListed) {
    std::cout << code << " " << stock.name << " is already on " << table << "\n";
    return kOk;
  }
  std::cout << "added " << code << " " << stock.name << " to " << table << " (ID " << added.id << ")\n";
  return kOk;
}

int removeCommand(const Paths& paths, WatchList list, const std::string& code) {
  const char* table = watchListTable(list);
  const WatchRemoveOutcome removed = removeFromWatchList(paths.watchListDb(), list, code);
  if (removed.failure == WatchListFailure::NotListed) return failure(code + " is not on " + table);
  if (!removed.done()) return failure(removed.detail);
  const int n = removed.removed;
  std::cout << "removed " << code << " from " << table << (n > 1 ? " (" + std::to_string(n) + " rows)" : "") << "\n";
  return kOk;
}

}  // namespace

int cmdWatch(const Paths& paths, const Args& argsIn) {
  Args args = argsIn;
  if (args.size() < 2) return usageError(kWatchUsage);
  const std::optional<WatchList> list = watchListFromName(args[1]);
  if (!list) return usageError(kWatchUsage);
  if (args[0] == "list") {
    bool bad = false;
    TableOutput output;
    if (!takeTableOutput(args, output, &bad) || bad || args.size() != 2) return usageError(kWatchUsage);
    return listCommand(paths, *list, output);
  }
  if ((args[0] == "add" || args[0] == "remove") && args.size() == 3) {
    // "1e3" must not reach the code column, which would read it as 1000;
    // "130a" is 130A.
    const std::optional<std::string> code = typedStockCodeKey(args[2]);
    if (!code) return failure(notAStockCode(args[2]));
    return args[0] == "add" ? addCommand(paths, *list, *code) : removeCommand(paths, *list, *code);
  }
  return usageError(kWatchUsage);
}

int cmdLinks(const Paths& paths, const Args& args) {
  if (args.size() != 2) return usageError("tavrin-cli [--root DIR] links CODE MARKET");
  std::vector<std::string> problems;
  const LinkEndpoints endpoints = LinkEndpoints::load(paths.linksIni(), &problems);
  for (const std::string& p : problems) std::cerr << "tavrin-cli: " << toUtf8(paths.linksIni()) << ": " << p << "\n";
  for (const ChartLink& link : chartLinks())
    std::cout << link.control << "\t" << link.caption << "\t" << chartLinkAddress(link, args[0], args[1], endpoints)
              << "\n";
  return kOk;
}

}  // namespace tavrin::cli
