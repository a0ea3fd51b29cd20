#pragma once
#include <string>
#include <vector>

#include "data/data_view.h"
#include "ui/common/form_window.h"

namespace tavrin::ui {

class FlexGrid;

// Screening window (Form6): one universe of the open price database, its
// pattern buttons, searches, sorts, chart links and watch-list buttons.
class ScreeningWindow : public FormWindow {
  Q_OBJECT
 public:
  explicit ScreeningWindow(AppContext& ctx);

  FlexGrid* grid() const { return grid_; }  // MSFlexGrid1
  DataView& data1() { return data1_; }      // Data1

  // Sets Data1's query (parameters bound), refreshes it and reloads the grid
  // with redraw off. False when the query failed: the grid keeps its rows.
  bool requery(const std::string& sql, const std::vector<Value>& params = {});
  // Retitles after a refresh: date titles, ratio titles by unit, count.
  void hi_title();
  // Code and market of the stock in the current grid row (Text1, Text2).
  QString selectedCode() const;
  QString selectedMarket() const;

  // Runs every time the window is shown: universe from selectorCode.
  void load();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  DataView data1_;
  FlexGrid* grid_ = nullptr;
};

}  // namespace tavrin::ui
