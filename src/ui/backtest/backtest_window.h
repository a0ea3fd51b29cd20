#pragma once
#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "ui/common/background_task.h"
#include "ui/common/form_window.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace tavrin::ui {

class FlexGrid;
struct BacktestJob;

// The backtest window: how every pattern's hits in the price history of the
// open database went on, 1, 5 and 10 dates later, against every stock of the
// universe (the baseline). The run goes on in a worker thread with a
// progress bar and a cancel button; the window stays responsive. Selecting a
// pattern lists its hit dates and stocks; a stock opens in the chart window
// through openChart().
class BacktestWindow : public FormWindow {
  Q_OBJECT
 public:
  explicit BacktestWindow(AppContext& ctx);
  ~BacktestWindow() override;

  // Horizons of the summary, in dates.
  static const std::vector<int>& horizons();

  // Backtests a universe of a price database (watch codes for 22 and 23):
  // starts a run unless the last finished one was of the same universe and file.
  void openFor(int universeIndex, const std::string& dbPath, const std::vector<std::string>& watchCodes,
               const std::string& unitWord);
  // "実行": runs again; "中止": stops the run (the grids keep the last result).
  void start();
  void cancel();
  bool running() const;
  // Waits for the run to end in a local event loop (tests); false on timeout.
  bool waitForRun(int timeoutMs);

  FlexGrid* summaryGrid() const { return summary_; }
  FlexGrid* hitGrid() const { return hits_; }
  // The summary shows each pattern's caption and group; the control name
  // of the pattern on a row of it is kept with the row (and shown by the
  // pointer over the caption): "baseline" for the baseline, empty for none.
  QString patternAt(int summaryRow) const;
  // Lists the hits of the pattern with this control name; false when the
  // last result has no such pattern.
  bool showPattern(const QString& control);
  // The control name of the pattern whose hits are listed (empty: none).
  QString shownPattern() const { return shownPattern_; }

  // The hook of the chart window: asks for the stock's chart (emits
  // chartRequested). The hit grid's double-click and "チャートを開く" call it.
  void openChart(const QString& code);
  QString statusText() const;

 signals:
  void chartRequested(const QString& code);
  void runFinished();

 protected:
  // The title-bar close box, like "閉じる": stops a run and hides the window.
  void titleBarClose() override { closeWindow(); }

 private:
  void showProgress(qint64 done, qint64 total);
  void finished(const std::shared_ptr<BacktestJob>& job, const std::string& failure);
  void fillSummary();
  void summaryRowEntered();
  void openSelectedChart();
  void sortOnHeader(FlexGrid* grid, int col);
  void closeWindow();
  QString unitSuffix() const;

  QLabel* universeLabel_;
  QPushButton* runButton_;
  QPushButton* cancelButton_;
  QProgressBar* progress_;
  QLabel* status_;
  FlexGrid* summary_;
  QLabel* hitsLabel_;
  FlexGrid* hits_;
  QPushButton* chartButton_;
  QPushButton* closeButton_;

  int universeIndex_ = 0;
  std::string dbPath_;
  std::vector<std::string> watchCodes_;
  std::string unitWord_;
  std::shared_ptr<BacktestJob> shown_;  // the finished one the grids show
  QString shownPattern_;
  int sortCol_[2] = {-1, -1};  // summary, hits
  bool sortDescending_[2] = {false, false};
  BackgroundTask task_;  // the run; destroyed first, which stops and joins it
};

}  // namespace tavrin::ui
