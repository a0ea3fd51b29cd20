#pragma once
#include <QString>
#include <optional>
#include <string>
#include <vector>

#include "splits/split_entry.h"
#include "ui/common/background_task.h"
#include "ui/common/form_window.h"

class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace tavrin::ui {

// Stock splits and consolidations (SplitsWindow): the splits entered in the
// price databases and the steps of a split ratio that the checks find in the
// history, each with a button that enters it. A split is entered from its
// ex-date with a ratio (1:5, 10:1), or removed after a question; either
// rewrites the positions of the day, week and month files before the
// ex-date in one transaction on the task's thread. Opened for one stock (from
// the chart or the list browser) it lists that stock; "すべての銘柄" lists all.
class SplitsWindow : public FormWindow {
  Q_OBJECT
 public:
  explicit SplitsWindow(AppContext& ctx);
  ~SplitsWindow() override;

  // Lists one stock (a code key), or every stock (empty).
  void showStock(const QString& codeKey);
  // Reads the splits and the steps again (on the task's thread).
  void refresh();
  // Enters the split the boxes give; false when nothing was started.
  bool addFromBoxes();
  // Enters the step of the candidates' row (0-based).
  bool addCandidate(int row);
  // Removes the split of the splits' row (0-based), after asking.
  bool removeSplitAt(int row);
  bool running() const { return task_.running(); }
  QString reportText() const;
  // "閉じる" and the title-bar close box: hides the window unless a split is
  // being written (a listing being read is simply left to end unseen).
  void closeWindow();

 signals:
  // A split was entered or removed: prices read elsewhere have changed.
  void splitsChanged();

 protected:
  void showEvent(QShowEvent* event) override;
  void titleBarClose() override { closeWindow(); }

 private:
  struct Listing {
    std::vector<Split> splits;
    std::vector<SplitCandidate> candidates;
    std::vector<std::pair<std::string, std::string>> names;  // code key -> 銘柄
    std::string error;
  };
  bool startChange(bool add, const std::string& codeKey, int exDay, const SplitRatio& ratio, SplitSource source);
  void showListing(const Listing& listing);
  QString nameOf(const std::string& codeKey) const;
  void updateEnabled();

  QLabel* targetsLabel_;
  QLineEdit* codeEdit_;
  QDateEdit* dayEdit_;
  QLineEdit* ratioEdit_;
  QPushButton* addButton_;
  QCheckBox* allStocksCheck_;
  QTableWidget* splitsTable_;
  QPushButton* removeButton_;
  QTableWidget* candidatesTable_;
  QLabel* reportLabel_;
  QPushButton* closeButton_;

  std::string codeKey_;  // the stock listed, empty for all
  Listing listing_;
  bool changing_ = false;  // a split being entered or removed
  BackgroundTask task_;
};

}  // namespace tavrin::ui
