#include "backtest/universe_filter.h"

#include <algorithm>
#include <array>

#include "data/universe_table.h"

namespace tavrin::backtest {

namespace {

UniverseFilter fromRule(const UniverseRule& rule) {
  UniverseFilter f;
  f.markets.assign(rule.markets.begin(), rule.markets.end());
  f.units.assign(rule.units.begin(), rule.units.end());
  if (rule.band) {
    const auto yen = [](std::optional<std::int64_t> v) {
      return v ? std::optional<double>(static_cast<double>(*v)) : std::nullopt;
    };
    f.priced = true;
    f.costFrom = yen(rule.band->from);
    f.costBelow = yen(rule.band->below);
    f.costUpTo = yen(rule.band->upTo);
  }
  f.watchList = rule.watchList;
  return f;
}

const std::array<UniverseFilter, 23>& filters() {
  static const std::array<UniverseFilter, 23> all = [] {
    std::array<UniverseFilter, 23> out;
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = fromRule(universeRules()[i]);
    return out;
  }();
  return all;
}

}  // namespace

const UniverseFilter& universeFilter(int universeIndex) {
  if (universeIndex < 1 || universeIndex > 23) return filters()[0];
  return filters()[static_cast<std::size_t>(universeIndex - 1)];
}

bool passesListPart(const UniverseFilter& f, const std::string& market, std::optional<double> unit) {
  if (!f.markets.empty() && std::find(f.markets.begin(), f.markets.end(), market) == f.markets.end()) return false;
  if (!f.units.empty() && (!unit || std::find(f.units.begin(), f.units.end(), *unit) == f.units.end())) return false;
  return true;
}

bool passesCost(const UniverseFilter& f, std::optional<double> cost) {
  if (!f.priced) return true;
  if (!cost) return false;
  if (f.costFrom && *cost < *f.costFrom) return false;
  if (f.costBelow && !(*cost < *f.costBelow)) return false;
  if (f.costUpTo && *cost > *f.costUpTo) return false;
  return true;
}

}  // namespace tavrin::backtest
