#pragma once
#include <memory>
#include <string>
#include <vector>

#include "data/database.h"
#include "data/grid_sort.h"

namespace tavrin::ui {

// The data rows of a grid. A grid of rows kept as delivered (setContent)
// holds them in one; a list of a million rows (the backtest's hits) makes
// each row from what it already holds only when the row is shown, sorted,
// copied or saved. A source does not change once handed to a grid: a save
// reads it on another thread while the grid goes on.
class GridRowSource {
 public:
  virtual ~GridRowSource() = default;

  virtual int rowCount() const = 0;
  // The values of data row i (0 .. rowCount() - 1), field k at k; values
  // past the grid's titled fields go with the row without being shown.
  virtual Row row(int i) const = 0;
  // The row's values where the source keeps them (they stay where they are
  // while the source lives); nullptr for rows made on demand.
  virtual const Row* keptRow(int) const { return nullptr; }
  // Sort keys of one field for every data row (by data index) that order
  // the rows as their texts sort under a generic setting (see GridSortKey);
  // false when the source has none, and the grid sorts by the texts.
  virtual bool sortKeys(int /*field*/, std::vector<GridSortKey>& /*keysByIndex*/) const { return false; }
};

// The rows of a data view, kept.
class KeptGridRows : public GridRowSource {
 public:
  explicit KeptGridRows(std::vector<Row> rows) : rows_(std::move(rows)) {}
  int rowCount() const override { return static_cast<int>(rows_.size()); }
  Row row(int i) const override { return rows_[static_cast<size_t>(i)]; }
  const Row* keptRow(int i) const override { return &rows_[static_cast<size_t>(i)]; }

 private:
  std::vector<Row> rows_;
};

}  // namespace tavrin::ui
