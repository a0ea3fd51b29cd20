#include <iostream>

#include "app/paths.h"
#include "backtest/backtest.h"
#include "cli/commands.h"
#include "data/stock_code.h"
#include "history/price_history.h"
#include "screening/pattern_catalogue.h"
#include "watchlists/watch_list_store.h"

namespace tavrin::cli {

namespace {

const char* kBacktestUsage =
    "tavrin-cli backtest [--db FILE] --universe CODE --pattern NAME|all --horizon H [--from YYYY-MM-DD] "
    "[--to YYYY-MM-DD]\n"
    "       tavrin-cli backtest [--db FILE] --code CODE [--universe CODE] [--from YYYY-MM-DD] [--to YYYY-MM-DD]";

std::optional<int> positiveNumber(const std::string& text) {
  if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
  const int n = std::stoi(text);
  return n >= 1 ? std::optional<int>(n) : std::nullopt;
}

// YYYY-MM-DD only.
std::optional<int> isoDay(const std::string& t) {
  if (t.size() != 10 || t[4] != '-' || t[7] != '-') return std::nullopt;
  for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
    if (t[i] < '0' || t[i] > '9') return std::nullopt;
  return dayFromCivil(std::stoi(t.substr(0, 4)), std::stoi(t.substr(5, 2)), std::stoi(t.substr(8, 2)));
}

}  // namespace

int cmdBacktest(const Paths& paths, const Args& argsIn) {
  Args args = argsIn;
  bool bad = false;
  const std::filesystem::path db = takeDatabase(args, paths.dailyDb(), &bad);
  const auto universeOpt = takeOption(args, "--universe", &bad);
  const auto patternOpt = takeOption(args, "--pattern", &bad);
  const auto horizonOpt = takeOption(args, "--horizon", &bad);
  const auto fromOpt = takeOption(args, "--from", &bad);
  const auto toOpt = takeOption(args, "--to", &bad);
  const auto codeOpt = takeOption(args, "--code", &bad);
  if (bad || !args.empty()) return usageError(kBacktestUsage);
  // Either a pattern over a universe, or the patterns one stock met.
  if (codeOpt ? (patternOpt || horizonOpt) : (!universeOpt || !patternOpt || !horizonOpt))
    return usageError(kBacktestUsage);

  backtest::BacktestRequest request;
  if (universeOpt) {
    const std::optional<int> selector = positiveNumber(*universeOpt);
    if (!selector || *selector < 1001 || *selector > 1023) return usageError(kBacktestUsage);
    request.universeIndex = *selector - 1000;
  }
  if (horizonOpt) {
    const std::optional<int> h = positiveNumber(*horizonOpt);
    if (!h) return usageError(kBacktestUsage);
    request.horizons = {*h};
  }
  if (fromOpt && !(request.fromDay = isoDay(*fromOpt))) return usageError(kBacktestUsage);
  if (toOpt && !(request.toDay = isoDay(*toOpt))) return usageError(kBacktestUsage);
  const bool allPatterns = patternOpt && *patternOpt == "all";
  if (patternOpt && !allPatterns) {
    std::string unnamed;
    const screening::ScreeningPattern* p = namedPattern(*patternOpt, &unnamed);
    if (!p) return failure(unnamed);
    request.patterns = {static_cast<std::size_t>(p - screening::patternCatalogue().data())};
  }
  const std::optional<std::string> stockKey = codeOpt ? typedStockCodeKey(*codeOpt) : std::nullopt;
  if (codeOpt && !stockKey) return failure(notAStockCode(*codeOpt));

  if (const std::optional<WatchList> list = watchListOfUniverse(request.universeIndex)) {
    WatchCodesOutcome listed = listedWatchCodes(paths.watchListDb(), *list);
    if (!listed.done()) return failure("cannot read the watch list: " + listed.detail);
    request.watchCodes = std::move(listed.codes);
  }

  backtest::HistoryPanel panel;
  try {
    panel = backtest::loadHistoryPanel(db);
  } catch (const std::exception& e) {
    return failure(e.what());
  }
  if (panel.days.size() < 10)
    return failure("backtest: the history of " + toUtf8(db) + " holds " + std::to_string(panel.days.size()) +
                   " dates; ten are needed");
  const auto& catalogue = screening::patternCatalogue();

  if (codeOpt) {
    const std::optional<std::size_t> stock = panel.findStock(*stockKey);
    if (!stock) return failure("backtest: no stock " + *codeOpt + " in " + toUtf8(db));
    std::cout << "date\tpatterns\tcaptions\n";
    for (const backtest::StockDate& d : backtest::patternsMetByStock(panel, *stock, request)) {
      std::string controls, captions;
      for (std::size_t p : d.patterns) {
        controls += (controls.empty() ? "" : " ") + std::string(catalogue[p].control);
        captions += (captions.empty() ? "" : " ") + std::string(catalogue[p].caption);
      }
      std::cout << isoDate(d.day) << "\t" << controls << "\t" << captions << "\n";
    }
    return kOk;
  }

  // A horizon no date of the history reaches gives nothing but empty means.
  if (const std::optional<int> h = backtest::horizonBeyondHistory(panel, request))
    return failure("backtest: no date of " + toUtf8(db) + " has " + std::to_string(*h) +
                   " dates after it; the longest horizon is " +
                   std::to_string(*backtest::longestHorizon(panel, request)) + " (dates after " +
                   isoDate(*backtest::firstTestedDay(panel, request)) + ", the first date tested)");
  const backtest::BacktestResult result = backtest::runBacktest(panel, request);
  if (allPatterns) {
    for (const backtest::PatternResult& r : result.patterns)
      std::cout << catalogue[r.pattern].control << "\tsummary\t"
                << backtest::summaryFields(r.stats[0], result.baseline[0]) << "\n";
    return kOk;
  }
  const backtest::PatternResult& r = result.patterns.at(0);
  std::cout << "date\thits\tmean\n";
  for (const backtest::DateLine& line : backtest::dateLines(panel, result, r, request.horizons[0]))
    std::cout << isoDate(line.day) << "\t" << line.hits << "\t" << backtest::formatNumber(line.mean) << "\n";
  std::cout << "summary\t" << backtest::summaryFields(r.stats[0], result.baseline[0]) << "\n";
  return kOk;
}

}  // namespace tavrin::cli
