#include <iostream>

#include "app/paths.h"
#include "cli/commands.h"
#include "data/database.h"
#include "data/price_schema.h"
#include "data/stock_code.h"
#include "screening/pattern_catalogue.h"
#include "screening/query_assembly.h"
#include "screening/screening_session.h"
#include "watchlists/watch_list_store.h"
#include "watchlists/watch_query.h"

namespace tavrin::cli {

namespace {

const char* kScreenUsage =
    "tavrin-cli screen [--db FILE] --universe CODE [--pattern NAME | --all-patterns | --search-code TEXT | "
    "--search-name TEXT | --extract trend|checklist | --restore] [--format tsv|csv|csv-cp932|xlsx] [--output FILE]";

// The grid as the window shows it: titles of columns 1.., then every row.
exporting::ExportTable gridTable(const screening::ScreeningSession& s) {
  exporting::ExportTable table;
  const std::vector<std::string> titles = s.titles();
  table.titles.assign(titles.begin() + (titles.empty() ? 0 : 1), titles.end());
  table.sheetName = "screen";
  const size_t cols = table.titles.size();
  for (int viewRow : s.order()) {
    const Row& r = s.view().rows()[static_cast<size_t>(viewRow)];
    auto& cells = table.rows.emplace_back(cols);
    for (size_t c = 0; c < cols && c < r.size(); ++c) cells[c] = exporting::cellOf(r[c]);
  }
  return table;
}

// Codes on a watch list, in list order; a missing list file holds none.
WatchCodesOutcome watchedCodes(const Paths& paths, WatchList list) {
  return listedWatchCodes(paths.watchListDb(), list);
}

}  // namespace

int cmdScreen(const Paths& paths, const Args& argsIn) {
  Args args = argsIn;
  bool bad = false;
  const std::filesystem::path db = takeDatabase(args, paths.dailyDb(), &bad);
  const auto universeOpt = takeOption(args, "--universe", &bad);
  const auto pattern = takeOption(args, "--pattern", &bad);
  const bool allPatterns = takeFlag(args, "--all-patterns");
  auto searchCode = takeOption(args, "--search-code", &bad);
  const auto searchName = takeOption(args, "--search-name", &bad);
  const auto extract = takeOption(args, "--extract", &bad);
  const bool restore = takeFlag(args, "--restore");
  TableOutput output;
  const bool outputFits = takeTableOutput(args, output, &bad);
  const int actions = (pattern ? 1 : 0) + (allPatterns ? 1 : 0) + (searchCode ? 1 : 0) + (searchName ? 1 : 0) +
                      (extract ? 1 : 0) + (restore ? 1 : 0);
  if (bad || !args.empty() || !universeOpt || actions > 1 || !outputFits) return usageError(kScreenUsage);
  // The counts of --all-patterns are no grid.
  if (allPatterns && (output.path || output.format != exporting::ExportFormat::Tsv)) return usageError(kScreenUsage);
  if (extract && *extract != "trend" && *extract != "checklist") return usageError(kScreenUsage);

  int selectorCode = 0;
  try {
    size_t used = 0;
    selectorCode = std::stoi(*universeOpt, &used);
    if (used != universeOpt->size()) selectorCode = 0;
  } catch (const std::exception&) {
    selectorCode = 0;
  }
  const int universeIndex = selectorCode - 1000;
  if (universeIndex < 1 || universeIndex > 23) return usageError(kScreenUsage);

  // A code is searched for as typed into the window: "130a" and "１３０Ａ" are 130A.
  if (searchCode)
    if (const std::optional<std::string> key = typedStockCodeKey(*searchCode)) searchCode = *key;
  if (searchCode && screening::isNoStockCode(*searchCode)) return failure(notAStockCode(*searchCode));

  // One opening names what is wrong with the file (missing, damaged, locked,
  // an interrupted write) before anything waits on it again.
  try {
    openForReading(db);
  } catch (const DatabaseError& e) {
    return failure(e.what());
  }
  const auto dates = readDateRecord(db);
  const std::string unit = dates ? dates->unit : std::string();

  std::string watchQuery;
  if (screening::universeHasWhere(universeIndex)) {
    const WatchCodesOutcome listed =
        watchedCodes(paths, watchListOfUniverse(universeIndex).value_or(WatchList::Checklist));
    if (!listed.done()) return failure("cannot read the watch list: " + listed.detail);
    watchQuery = tavrin::watchListQuery(listed.codes);
  }

  screening::ScreeningSession session;
  session.setUnitWord(unit);
  if (dates) session.setDates(dates->dates[0], dates->dates[9]);
  if (!session.loadUniverse(toUtf8(db), universeIndex, watchQuery))
    return failure("query rejected: " + session.view().lastError());

  if (allPatterns) {
    session.countPatterns();
    const std::vector<int>& counts = session.patternCounts();
    const auto& catalogue = screening::patternCatalogue();
    if (counts.size() != catalogue.size()) return failure("query rejected: " + session.baseQuery());
    for (size_t i = 0; i < catalogue.size(); ++i)
      std::cout << catalogue[i].control << "\t" << catalogue[i].caption << "\t" << counts[i] << "\n";
    return kOk;
  }

  bool ok = true;
  if (pattern) {
    std::string unnamed;
    const screening::ScreeningPattern* p = namedPattern(*pattern, &unnamed);
    if (!p) return failure(unnamed);
    ok = session.clickPattern(*p);
  } else if (searchCode) {
    // An empty answer leaves the list as it was.
    ok = session.searchForCode(*searchCode) != screening::CodeSearch::Rejected;
  } else if (searchName) {
    ok = session.searchName(*searchName);
  } else if (restore) {
    ok = session.restore();
  } else if (extract) {
    const WatchCodesOutcome listed = watchedCodes(paths, *extract == "trend" ? WatchList::Trend : WatchList::Checklist);
    if (!listed.done()) return failure("cannot read the watch list: " + listed.detail);
    ok = session.extract(listed.codes);
  }
  if (!ok) return failure("query rejected: " + session.view().lastError());
  return emitTable(gridTable(session), output);
}

}  // namespace tavrin::cli
