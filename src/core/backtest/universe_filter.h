#pragma once
#include <optional>
#include <string>
#include <vector>

namespace tavrin::backtest {

// What a universe view keeps of list, as a filter that can be applied on any
// date: the markets and trading units it names, and its price band, the cost
// of one lot (a close × 単位) between its bounds; made from the universe's rule
// in data/universe_table, as the views are. The watch-list universes (22, 23)
// and the whole market (1) keep every row.
struct UniverseFilter {
  std::vector<std::string> markets;  // empty: any market
  std::vector<double> units;         // empty: any unit
  bool priced = false;               // has a price band: a row without a cost is out
  std::optional<double> costFrom;    // included
  std::optional<double> costBelow;   // excluded
  std::optional<double> costUpTo;    // included
  bool watchList = false;            // only the codes of a watch list (22, 23)
};

// The filter of universe 1..23 (the whole market for anything else).
const UniverseFilter& universeFilter(int universeIndex);

// Whether a row of list with this market word and unit passes the market and
// unit part of the filter.
bool passesListPart(const UniverseFilter& f, const std::string& market, std::optional<double> unit);
// Whether a lot of this cost passes the price band (always without a band).
bool passesCost(const UniverseFilter& f, std::optional<double> cost);

}  // namespace tavrin::backtest
