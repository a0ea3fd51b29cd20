#include "ui/backtest/hit_rows.h"

#include "base/calendar.h"

namespace tavrin::ui {

HitRows::HitRows(std::shared_ptr<const void> owner, const backtest::HistoryPanel& panel,
                 const std::vector<backtest::Hit>& hits, std::vector<int> horizons)
    : owner_(std::move(owner)), panel_(panel), hits_(hits), horizons_(std::move(horizons)) {
  codeTexts_.reserve(panel.stocks.size());
  for (const backtest::PanelStock& s : panel.stocks) codeTexts_.push_back(s.code.display());
}

Row HitRows::row(int i) const {
  const backtest::Hit& h = hit(i);
  const backtest::PanelStock& s = panel_.stocks[h.stock];
  Row row = {Value(isoDate(panel_.days[h.day])), s.code, Value(s.name), Value(s.market),
             Value(panel_.closeAt(h.stock, h.day))};
  row.reserve(row.size() + horizons_.size());
  for (int horizon : horizons_) row.push_back(Value(backtest::formatNumber(backtest::hitReturn(panel_, h, horizon))));
  return row;
}

bool HitRows::sortKeys(int field, std::vector<GridSortKey>& keys) const {
  const int n = rowCount();
  keys.assign(static_cast<size_t>(n), GridSortKey());
  if (field < 0 || field >= 5 + static_cast<int>(horizons_.size())) return false;
  // The texts of a stock's code, name and market, each read once.
  std::vector<GridSortKey> byStock;
  if (field >= 1 && field <= 3) {
    byStock.reserve(panel_.stocks.size());
    for (size_t s = 0; s < panel_.stocks.size(); ++s)
      byStock.push_back(gridSortKeyOf(field == 1   ? codeTexts_[s]
                                      : field == 2 ? panel_.stocks[s].name
                                                   : panel_.stocks[s].market));
  }
  for (int i = 0; i < n; ++i) {
    const backtest::Hit& h = hit(i);
    GridSortKey& k = keys[static_cast<size_t>(i)];
    if (field == 0) {
      // ISO dates sort as their day numbers do.
      k.kind = GridSortKey::Text;
      k.value = panel_.days[h.day];
    } else if (field <= 3) {
      k = byStock[h.stock];
    } else if (field == 4) {
      k.kind = GridSortKey::Number;
      k.value = static_cast<double>(panel_.closeAt(h.stock, h.day));
    } else {
      // The return as shown, two decimals: equal texts keep their order.
      const std::string shown = backtest::formatNumber(backtest::hitReturn(panel_, h, horizons_[field - 5]));
      if (const std::optional<double> v = shown.empty() ? std::nullopt : parseNumber(shown)) {
        k.kind = GridSortKey::Number;
        k.value = *v;
      }
    }
  }
  return true;
}

}  // namespace tavrin::ui
