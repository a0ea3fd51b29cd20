#include <iostream>

#include "cli/commands.h"
#include "cli/import_texts.h"
#include "stocklist/listed_issues.h"
#include "stocklist/stock_list_update.h"

namespace tavrin::cli {

namespace {

constexpr const char* kStocksUsage =
    "tavrin-cli [--root DIR] stocks update [--db FILE] [--dry-run] [--remove-missing] [--include-funds] "
    "[--allow-older] FILE";

}  // namespace

int cmdStocks(const Paths& paths, const Args& argsIn) {
  Args args = argsIn;
  if (args.empty() || args[0] != "update") return usageError(kStocksUsage);
  args.erase(args.begin());
  bool bad = false;
  const std::filesystem::path db = takeDatabase(args, {}, &bad);
  StockListUpdateOptions options;
  options.dryRun = takeFlag(args, "--dry-run");
  options.removeMissing = takeFlag(args, "--remove-missing");
  options.allowOlder = takeFlag(args, "--allow-older");
  ListedIssuesOptions read;
  read.includeFunds = takeFlag(args, "--include-funds");
  if (bad || args.size() != 1 || (args[0].size() > 1 && args[0][0] == '-')) return usageError(kStocksUsage);

  const ListedIssues issues = readListedIssues(fromUtf8(args[0]), read);
  if (!issues.done()) return failure("stocks update: " + args[0] + ": " + issues.detail + "; nothing was changed");
  const std::vector<StockListTarget> targets =
      !db.empty() ? std::vector<StockListTarget>{{db, ""}} : standardStockListTargets(paths);
  const StockListOutcome o = updateStockLists(targets, issues, options);
  if (o.failure == StockListFailure::OlderList)
    return failure("stocks update: " + args[0] + ": " + o.detail + " in " + toUtf8(o.failedDatabase) +
                   "; applying it would undo later renames and market moves; give --allow-older to apply it anyway; "
                   "no database was changed");
  if (!o.done())
    return failure("stocks update: " + toUtf8(o.failedDatabase) + ": " + o.detail + "; no database was changed");
  std::cout << args[0] << ": " << listedIssuesLine(issues) << "\n";
  for (const std::string& line : stockListReportsLines(o.reports, options.dryRun)) std::cout << line << "\n";
  return kOk;
}

}  // namespace tavrin::cli
