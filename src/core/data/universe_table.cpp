#include "data/universe_table.h"

namespace tavrin {

namespace {

// Markets of the sections: the words before April 2022 and today's segments.
constexpr std::array<std::string_view, 5> kFirst = {"東証１部", "大証１部", "名証１部", "東証プライム", "名証プレミア"};
constexpr std::array<std::string_view, 5> kSecond = {"東証２部", "大証２部", "名証２部", "東証スタンダード",
                                                     "名証メイン"};
constexpr std::array<std::string_view, 7> kEmerging = {"ジャスダック", "ヘラクレス",       "マザーズ",   "東証グロース",
                                                       "名証ネクスト", "札証アンビシャス", "福証Q-Board"};
constexpr std::array<std::string_view, 2> kTokyoFirst = {"東証１部", "東証プライム"};
constexpr std::span<const std::string_view> kAnyMarket;

constexpr std::array<int, 1> k1000 = {1000};
constexpr std::array<int, 1> k100 = {100};
constexpr std::array<int, 1> k1 = {1};
constexpr std::array<int, 3> kOdd = {10, 50, 500};
constexpr std::span<const int> kAnyUnit;

constexpr std::nullopt_t kNone = std::nullopt;
constexpr std::optional<CostBand> kAnyCost;

constexpr std::array<UniverseRule, 23> kRules = {{
    {1, kAnyMarket, kAnyUnit, kAnyCost, false},                           // 全市場
    {2, kFirst, kAnyUnit, kAnyCost, false},                               // １部
    {3, kSecond, kAnyUnit, kAnyCost, false},                              // ２部
    {4, kEmerging, kAnyUnit, kAnyCost, false},                            // 新興
    {5, kAnyMarket, k1000, kAnyCost, false},                              // 千株
    {6, kAnyMarket, k100, kAnyCost, false},                               // 百株
    {7, kAnyMarket, k1, kAnyCost, false},                                 // 一株
    {8, kTokyoFirst, kAnyUnit, CostBand{10000, kNone, 200000}, false},    // １部　1～20万
    {9, kAnyMarket, kAnyUnit, CostBand{300000, 500000, kNone}, false},    // 30～50万
    {10, kAnyMarket, k100, CostBand{100000, 300000, kNone}, false},       // 百株10-30万
    {11, kAnyMarket, kAnyUnit, CostBand{kNone, kNone, 100000}, false},    // １０万以下
    {12, kAnyMarket, kAnyUnit, CostBand{200000, 300000, kNone}, false},   // 20～30万
    {13, kTokyoFirst, k1000, CostBand{kNone, kNone, 200000}, false},      // 東１千株・20万
    {14, kFirst, kAnyUnit, CostBand{200000, 400000, kNone}, false},       // １部　2～40万
    {15, kAnyMarket, kAnyUnit, CostBand{500000, 1000000, kNone}, false},  // 50～100万
    {16, kAnyMarket, kAnyUnit, CostBand{100000, 200000, kNone}, false},   // 10～20万
    {17, kAnyMarket, kOdd, kAnyCost, false},                              // 特殊単位
    {18, kAnyMarket, k100, CostBand{300000, kNone, kNone}, false},        // 百株30万以上
    {19, kAnyMarket, k1, CostBand{300000, kNone, kNone}, false},          // 一株30万以上
    {20, kAnyMarket, kAnyUnit, CostBand{1000000, kNone, kNone}, false},   // 100万以上
    {21, kFirst, kAnyUnit, CostBand{400000, 600000, kNone}, false},       // １部　4～60万
    {22, kAnyMarket, kAnyUnit, kAnyCost, true},                           // トレンド注目銘柄
    {23, kAnyMarket, kAnyUnit, kAnyCost, true},                           // 注目銘柄
}};

static_assert([] {
  for (std::size_t i = 0; i < kRules.size(); ++i)
    if (kRules[i].index != static_cast<int>(i) + 1) return false;
  return true;
}());

}  // namespace

const std::array<UniverseRule, 23>& universeRules() { return kRules; }

const UniverseRule* universeRule(int index) {
  if (index < 1 || index > 23) return nullptr;
  return &kRules[static_cast<std::size_t>(index - 1)];
}

}  // namespace tavrin
