#pragma once
#include <string>
#include <vector>

#include "data/data_view.h"
#include "ui/common/form_window.h"
#include "watchlists/watch_list_store.h"

class QLabel;
class QLineEdit;

namespace tavrin::ui {

class FlexGrid;

// One watch list of kabulist.mdb in a grid: count, sort, removal of repeated
// codes at activation, deletion of the selected stock. Loading reads the
// table once; the grid is re-read after a removal, a deletion and reload().
class WatchListWindow : public FormWindow {
  Q_OBJECT
 public:
  FlexGrid* grid() const { return grid_; }  // MSFlexGrid1
  DataView& data1() { return data1_; }      // Data1
  WatchList list() const { return list_; }
  QString countText() const;  // Text9

  // The listed codes in the grid's current row order (rows 1 .. rows - 1,
  // column 2), as the grid shows them.
  std::vector<std::string> listedCodes() const;

  // Re-reads the table into the grid and updates the count.
  void reload();
  // Runs whenever the window becomes the active window: sorts by code and
  // removes one repeated code, then shows the window.
  void activate();

  void Command1_Click();  // 削除実行: delete the selected stock
  void Command2_Click();  // OK: hide
  void Command3_Click();  // 並び換え: sort by the current column
  void Label2_Click();    // 削除準備: how to delete

 protected:
  WatchListWindow(AppContext& ctx, const char* formName, WatchList list, const QString& title);
  bool event(QEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void setCount();

  WatchList list_;
  DataView data1_;
  FlexGrid* grid_;
  QLabel* label2_;
  QLineEdit* text9_;
};

// The stocks-of-interest list (Form13, table checklist).
class InterestListWindow : public WatchListWindow {
  Q_OBJECT
 public:
  explicit InterestListWindow(AppContext& ctx);
};

// The trend list (Form17, table trend).
class TrendListWindow : public WatchListWindow {
  Q_OBJECT
 public:
  explicit TrendListWindow(AppContext& ctx);
};

}  // namespace tavrin::ui
