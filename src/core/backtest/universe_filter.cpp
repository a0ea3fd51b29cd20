#include "backtest/universe_filter.h"

#include <algorithm>
#include <array>

namespace tavrin::backtest {

namespace {

// The market words of the sections, as the views name them.
const std::vector<std::string> kFirst = {"東証１部", "大証１部", "名証１部", "東証プライム", "名証プレミア"};
const std::vector<std::string> kSecond = {"東証２部", "大証２部", "名証２部", "東証スタンダード", "名証メイン"};
const std::vector<std::string> kEmerging = {"ジャスダック", "ヘラクレス",       "マザーズ",   "東証グロース",
                                            "名証ネクスト", "札証アンビシャス", "福証Q-Board"};
const std::vector<std::string> kTokyoFirst = {"東証１部", "東証プライム"};

UniverseFilter band(std::vector<std::string> markets, std::vector<double> units, std::optional<double> from,
                    std::optional<double> below, std::optional<double> upTo = std::nullopt) {
  UniverseFilter f;
  f.markets = std::move(markets);
  f.units = std::move(units);
  f.priced = true;
  f.costFrom = from;
  f.costBelow = below;
  f.costUpTo = upTo;
  return f;
}

UniverseFilter listOnly(std::vector<std::string> markets, std::vector<double> units) {
  UniverseFilter f;
  f.markets = std::move(markets);
  f.units = std::move(units);
  return f;
}

const std::array<UniverseFilter, 23>& filters() {
  static const std::array<UniverseFilter, 23> all = {
      UniverseFilter{},                                               // 1 全市場
      listOnly(kFirst, {}),                                           // 2 １部
      listOnly(kSecond, {}),                                          // 3 ２部
      listOnly(kEmerging, {}),                                        // 4 新興
      listOnly({}, {1000}),                                           // 5 千株
      listOnly({}, {100}),                                            // 6 百株
      listOnly({}, {1}),                                              // 7 一株
      band(kTokyoFirst, {}, 10000, std::nullopt, 200000),             // 8 １部　1～20万
      band({}, {}, 300000, 500000),                                   // 9 30～50万
      band({}, {100}, 100000, 300000),                                // 10 百株10-30万
      band({}, {}, std::nullopt, std::nullopt, 100000),               // 11 １０万以下
      band({}, {}, 200000, 300000),                                   // 12 20～30万
      band(kTokyoFirst, {1000}, std::nullopt, std::nullopt, 200000),  // 13 東１千株・20万
      band(kFirst, {}, 200000, 400000),                               // 14 １部　2～40万
      band({}, {}, 500000, 1000000),                                  // 15 50～100万
      band({}, {}, 100000, 200000),                                   // 16 10～20万
      listOnly({}, {10, 50, 500}),                                    // 17 特殊単位
      band({}, {100}, 300000, std::nullopt),                          // 18 百株30万以上
      band({}, {1}, 300000, std::nullopt),                            // 19 一株30万以上
      band({}, {}, 1000000, std::nullopt),                            // 20 100万以上
      band(kFirst, {}, 400000, 600000),                               // 21 １部　4～60万
      UniverseFilter{},                                               // 22 トレンド注目銘柄 (codes apart)
      UniverseFilter{},                                               // 23 注目銘柄 (codes apart)
  };
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
