#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace tavrin {

// A price band over the cost of one lot, the close × 単位 in yen.
struct CostBand {
  std::optional<std::int64_t> from;   // included
  std::optional<std::int64_t> below;  // excluded
  std::optional<std::int64_t> upTo;   // included
};

// What a screening universe keeps of list. The saved views of the price
// databases and the backtest's members on each date both come from here.
struct UniverseRule {
  int index;                                  // universeIndex 1..23
  std::span<const std::string_view> markets;  // the market words kept; empty: any market
  std::span<const int> units;                 // the trading units kept; empty: any unit
  std::optional<CostBand> band;               // none: any cost, a row without a price included
  bool watchList;                             // the codes of a watch list (22, 23) rather than a view
};

// Universes 1..23 in order (index i at position i-1).
const std::array<UniverseRule, 23>& universeRules();
// nullptr outside 1..23.
const UniverseRule* universeRule(int index);

}  // namespace tavrin
