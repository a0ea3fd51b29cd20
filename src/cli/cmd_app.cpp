#include <iostream>

#include "app/setup.h"
#include "base/value.h"
#include "cli/commands.h"
#include "data/database.h"
#include "sample/sample_daily_csv.h"
#include "sample/sample_market.h"

namespace tavrin::cli {

int cmdInit(const Paths& paths, const Args& args) {
  if (!args.empty()) return usageError("tavrin-cli [--root DIR] init");
  auto made = initStandardFiles(paths);
  for (const auto& p : made) std::cout << "created " << toUtf8(p) << "\n";
  if (made.empty()) std::cout << "nothing to do: every standard file exists in " << toUtf8(paths.root()) << "\n";
  return kOk;
}

int cmdDemo(const Paths& paths, const Args& argsIn) {
  const char* usage = "tavrin-cli [--root DIR] demo [--stocks N] [--seed N] [--replace]";
  Args args = argsIn;
  bool bad = false;
  DemoOptions options;
  options.replace = takeFlag(args, "--replace");
  auto stocks = takeOption(args, "--stocks", &bad);
  auto seed = takeOption(args, "--seed", &bad);
  if (bad || !args.empty()) return usageError(usage);
  try {
    if (stocks) {
      size_t used = 0;
      options.stocks = std::stoi(*stocks, &used);
      if (used != stocks->size()) return usageError(usage);
      if (options.stocks < 0 || options.stocks > kMaxDemoStocks)
        return usageError(std::string(usage) + "  (--stocks: 0 to " + std::to_string(kMaxDemoStocks) + ")");
    }
    if (seed) {
      size_t used = 0;
      options.seed = std::stoull(*seed, &used);
      if (used != seed->size()) return usageError(usage);
    }
  } catch (const std::exception&) {
    return usageError(usage);
  }
  DemoResult r = makeDemo(paths, options);
  if (!r.done() && r.failure != DemoFailure::WorkbookNotWritten) return failure(r.detail);
  for (const auto& p : r.files) std::cout << "wrote " << toUtf8(p) << "\n";
  if (r.failure == DemoFailure::WorkbookNotWritten)
    std::cerr << "tavrin-cli: the sample workbook was not written: " << r.detail << "\n";
  else if (r.workbookStocks < r.stocks)
    std::cout << "the workbook's sheets hold " << r.workbookStocks << " of the " << r.stocks
              << " stocks (a .xls sheet has at most " << kMaxSheetStocks + 1 << " rows)\n";
  std::cout << "next day's prices: " << toUtf8(paths.workbook(kDemoWorkbook)) << ", sheet " << kDemoNextDaySheet << " ("
            << kDemoNextDayDate << "), and as a CSV file: " << toUtf8(paths.root() / kDemoNextDayCsv) << "\n";
  return kOk;
}

int cmdDump(const Paths& paths, const Args& argsIn) {
  const char* usage =
      "tavrin-cli [--root DIR] dump [--db FILE] [--format tsv|csv|csv-cp932|xlsx] [--output FILE] TABLE";
  Args args = argsIn;
  bool bad = false;
  const std::filesystem::path dbFile = takeDatabase(args, paths.dailyDb(), &bad);
  TableOutput output;
  const bool outputFits = takeTableOutput(args, output, &bad);
  if (bad || !outputFits || args.size() != 1) return usageError(usage);
  const std::string table = args[0];
  Database db(dbFile, Database::Mode::ReadOnly);
  if (table.find(']') != std::string::npos || !db.tableExists(table)) return failure("no table or view named " + table);
  QueryResult r = db.query("select * from [" + table + "]");
  exporting::ExportTable out;
  out.titles = r.fields;
  out.sheetName = table;
  for (const Row& row : r.rows) {
    auto& cells = out.rows.emplace_back();
    for (const Value& v : row) cells.push_back(exporting::cellOf(v));
  }
  return emitTable(out, output);
}

}  // namespace tavrin::cli
