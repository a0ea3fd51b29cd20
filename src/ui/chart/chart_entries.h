#pragma once
#include <QString>

class QPushButton;

namespace tavrin::ui {

class AppContext;
class FlexGrid;
class FormWindow;

// Shows the chart window on a stock of the open price database; the one
// chart window is reused for every stock. False when it could not be read.
bool openChart(AppContext& ctx, const QString& code);

// The ways from a grid of stocks to its chart: a button "チャート"
// (chartWindowButton, returned for the caller to place), the Enter key on a
// grid row and the grid's context-menu item "チャートを表示" (chartWindowAction).
// codeColumn is the grid column of the code. Without a row a message asks for one.
QPushButton* addChartEntries(FormWindow& window, FlexGrid* grid, int codeColumn);

// The chart of the stock in the grid's current row.
bool openChartOfCurrentRow(FormWindow& window, FlexGrid* grid, int codeColumn);

}  // namespace tavrin::ui
