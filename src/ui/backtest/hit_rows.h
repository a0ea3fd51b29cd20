#pragma once
#include <memory>
#include <string>
#include <vector>

#include "backtest/backtest.h"
#include "ui/common/grid_row_source.h"

namespace tavrin::ui {

// The hits of one pattern as the hit grid lists them, latest dates first:
// 日付, コード, 銘柄, 市場, 終値, then the return over each horizon (two
// decimals, empty without one). A row is made from the run's panel and hits
// when it is shown; nothing per hit is kept but the order the grid shows.
class HitRows : public GridRowSource {
 public:
  // owner keeps panel and hits alive (the finished run they belong to).
  HitRows(std::shared_ptr<const void> owner, const backtest::HistoryPanel& panel,
          const std::vector<backtest::Hit>& hits, std::vector<int> horizons);

  int rowCount() const override { return static_cast<int>(hits_.size()); }
  Row row(int i) const override;
  bool sortKeys(int field, std::vector<GridSortKey>& keysByIndex) const override;

 private:
  const backtest::Hit& hit(int i) const { return hits_[hits_.size() - 1 - static_cast<size_t>(i)]; }

  std::shared_ptr<const void> owner_;
  const backtest::HistoryPanel& panel_;
  const std::vector<backtest::Hit>& hits_;
  std::vector<int> horizons_;
  std::vector<std::string> codeTexts_;  // per stock of the panel, as the grid shows its code
};

}  // namespace tavrin::ui
