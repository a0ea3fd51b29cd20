#pragma once
#include <QString>
#include <optional>

#include "ui/common/background_task.h"
#include "ui/common/datafetch_texts.h"
#include "ui/common/form_window.h"

class QCheckBox;
class QDateEdit;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace tavrin::ui {

// Daily data from the data service J-Quants (DataFetchWindow): the stock
// list of the day, week and month databases from the service's master, and
// the prices of every day after the latest one held (or of the days chosen)
// into the day database's history, its ten positions and those of the week
// and month databases. The work runs on the task's thread with its own HTTP
// client; the window shows a line per day written, the outcome (one line for
// any failure of the service) and then the watch-list stocks that meet a
// pattern on the new latest day. 中止 stops before the next request; the days
// written stay.
class DataFetchWindow : public FormWindow {
  Q_OBJECT
 public:
  explicit DataFetchWindow(AppContext& ctx);
  ~DataFetchWindow() override;

  // Start a fetch; false when nothing was started (one is running).
  bool fetchStockList();
  bool fetchPrices();
  void cancel();
  // From the start of a fetch until its outcome is in the log.
  bool running() const { return task_.running() || asking_; }
  // Reads whether a key is set (on a task's thread) and the latest day held.
  void refreshKey();
  void refreshLatest();
  void closeWindow();

  QString logText() const;
  std::optional<int> latestDay() const { return latest_; }
  const KeyPlaces& keyPlaces() const { return keyPlaces_; }
  bool checkingKey() const { return keyTask_.running(); }

 signals:
  // A fetch has ended (it may have written prices, dates or the stock list).
  void finished();

 protected:
  void showEvent(QShowEvent* event) override;
  void titleBarClose() override { closeWindow(); }

 private:
  struct ListRun;
  struct PricesRun;
  void openSettings();
  void showDefaultRange();
  void listFetched(ListRun run);
  void pricesFetched(const PricesRun& run);
  void fetchFailed(const char* what, std::exception_ptr error);
  void ended();
  void appendLines(const QStringList& lines);
  void setRunning(bool on);
  void updateEnabled();

  QLabel* keyLabel_;
  QPushButton* settingsButton_;
  QLabel* latestLabel_;
  QPushButton* listButton_;
  QCheckBox* removeMissingCheck_;
  QCheckBox* includeFundsCheck_;
  QCheckBox* fromCheck_;
  QDateEdit* fromEdit_;
  QCheckBox* toCheck_;
  QDateEdit* toEdit_;
  QPushButton* pricesButton_;
  QProgressBar* progress_;
  QPlainTextEdit* log_;
  QPushButton* cancelButton_;
  QPushButton* closeButton_;

  bool running_ = false;
  bool asking_ = false;  // between the list's preview and the answer to the question
  std::optional<int> latest_;
  KeyPlaces keyPlaces_;
  BackgroundTask keyTask_;
  BackgroundTask task_;  // destroyed first, which stops a running fetch and waits for it
};

}  // namespace tavrin::ui
