#pragma once
#include <QString>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "chart/chart_data.h"
#include "ui/common/form_window.h"

class QAction;
class QCheckBox;
class QLabel;
class QMenuBar;
class QPushButton;

namespace tavrin::ui {

class ChartCanvas;

// The chart of one stock (ChartWindow): its candlesticks (or closes) and
// volumes over the whole history by trading period, moving averages, the ten
// registered positions, a crosshair and range buttons; a daily database's
// history also as weekly and monthly candles (日足, 週足, 月足). One window
// serves every stock: opening another stock replaces what it shows.
class ChartWindow : public FormWindow {
  Q_OBJECT
 public:
  explicit ChartWindow(AppContext& ctx);

  // Reads the stock from a price database and shows it (marks of the previous
  // stock are cleared). False, with a message, when it cannot be read.
  bool showStock(const std::string& dbPath, const QString& code);

  // Marks days of the shown stock (day numbers since 1970-01-01) with a
  // triangle under the close, and names them in the legend.
  void setMarkedDays(std::vector<int> dayNumbers, QString label);

  // 日足, 週足 or 月足 of a daily database (its buttons are shown only for
  // one); a weekly or monthly database's bars stay as they are.
  void setViewUnit(chart::ChartUnit unit);
  // The unit the bars are drawn in now.
  chart::ChartUnit viewUnit() const;
  // The bars drawn now: the stock's own, or its days gathered into weeks or months.
  const chart::ChartSeries& shownSeries() const { return shown_; }

  // Range button 0..3 (day: 3か月, 6か月, 1年, 全期間).
  void setRangeChoice(int index);
  int rangeChoice() const { return rangeChoice_; }

  // Writes the chart as it is drawn now to a PNG file; false when it cannot
  // be written.
  bool savePng(const QString& file);
  // The menu item: asks for the file, saves, and says when that failed.
  void saveAsPng();
  // Asks for the file to save to (replaced by tests); empty on cancel.
  std::function<QString(QWidget* owner, const QString& suggested)> saveFileDialog;

  const chart::ChartStock& stock() const { return stock_; }
  ChartCanvas* canvas() const { return canvas_; }
  // What the line under the chart says: the point under the crosshair, else
  // the latest point.
  QString pointText() const;

  void closeWindow();

 protected:
  void titleBarClose() override { closeWindow(); }

 private:
  void showPoint();
  void applyUnit();
  // Draws the stock in the unit of the view: bars, averages, marks, range.
  void applyView();
  // Marks the days on which the stock met a screening pattern (or clears them).
  void markPatternDays();
  void openSplits();

  chart::ChartStock stock_;
  chart::ChartUnit chosenUnit_ = chart::ChartUnit::Day;  // of a daily database
  chart::ChartSeries shown_;
  // The marked days as given (days), moved onto the bars of the view.
  std::vector<int> markedDays_;
  QString markedLabel_;
  int rangeChoice_ = chart::kDefaultRangeChoice;
  QMenuBar* menuBar_;
  QAction* saveAction_;
  QLabel* titleLabel_;
  QLabel* noteLabel_;
  std::array<QPushButton*, 3> unitButtons_{};
  std::array<QPushButton*, 4> rangeButtons_{};
  std::array<QCheckBox*, 3> averageChecks_{};
  QCheckBox* patternDaysCheck_;
  std::string dbPath_;
  bool splitsConnected_ = false;
  ChartCanvas* canvas_;
  QLabel* pointLabel_;
};

}  // namespace tavrin::ui
