#pragma once
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/paths.h"
#include "base/outcome.h"
#include "data/database.h"
#include "data/splits.h"
#include "datafetch/jquants_api.h"
#include "stocklist/stock_list_update.h"

namespace tavrin::datafetch {

// The stock list from the service's master, into the three databases exactly
// as the exchange's listed-issues file goes in (stocks update).
struct FetchListOptions {
  bool dryRun = false;
  bool removeMissing = false;
  bool includeFunds = false;  // Mkt 0109
  bool allowOlder = false;    // a list older than the one applied last
};
struct FetchListOutcome {
  ServiceOutcome service;
  ListedIssues issues;     // what the master gave, as a listed-issues file would
  StockListOutcome lists;  // the update (or the plan, for a dry run)
  bool done() const { return service.done() && issues.done() && lists.done(); }
};
FetchListOutcome fetchStockList(JQuantsApi& api, const std::vector<StockListTarget>& targets,
                                const FetchListOptions& options);

// Every day's bars after the history's latest day (or from `from`), a
// transaction per day into the day database's history (and the service's
// split factors into the splits of the three files); then the ten positions
// of the day database from its latest complete day, and the week and month
// databases from their completed weeks and months.
struct FetchPricesOptions {
  std::optional<int> from, to;  // day numbers, both included
  int today = 0;                // the local date (day number)
};
struct FetchDayReport {
  int day = 0;
  std::size_t stocks = 0;   // bars written
  std::size_t noTrade = 0;  // rows without a trade (no history line)
  std::size_t unknown = 0;  // codes not in the day database's list
  std::size_t splits = 0;   // split factors entered
};
struct FetchProgress {
  int day = 0;            // the day being fetched
  std::size_t done = 0;   // days done
  std::size_t total = 0;  // days to ask for
};
using FetchProgressFn = std::function<void(const FetchProgress&)>;

// Stores one day's rows of the service in the day database (one
// transaction): the bars of the stocks of list (codes: listCodes), the split
// factors other than 1 (also appended to `splits`).
FetchDayReport storeServiceDay(Database& day, const std::unordered_map<std::string, Value>& codes, int dayNumber,
                               const std::vector<DailyRow>& rows, std::vector<Split>& splits);

enum class FetchFailure { None, Service, Database, NoDatabase };
struct FetchPricesOutcome : Outcome<FetchFailure> {
  ServiceOutcome service;                // when the service failed (days before it stay written)
  int from = 0, to = 0;                  // the days asked for
  std::vector<FetchDayReport> days;      // the trading days written
  std::size_t holidays = 0;              // days asked for that had no rows
  std::optional<int> positionsDay;       // the day database's latest complete day, its positions set at
  std::optional<int> weekDay, monthDay;  // the latest completed week and month set in their files
  bool upToDate = false;                 // nothing to ask for
};
FetchPricesOutcome fetchPrices(JQuantsApi& api, const Paths& paths, const FetchPricesOptions& options,
                               const FetchProgressFn& progress = {});

// The latest day of the day database's history.
std::optional<int> latestHeldDay(const Paths& paths);

// The watch lists' stocks that meet a pattern on the latest day of the day
// database: one line per stock and pattern, "7203 トヨタ自動車: B1 横這から上昇".
std::vector<std::string> watchListReport(const Paths& paths);

}  // namespace tavrin::datafetch
