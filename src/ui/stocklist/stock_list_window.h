#pragma once
#include <exception>
#include <functional>
#include <optional>

#include "stocklist/listed_issues.h"
#include "stocklist/stock_list_update.h"
#include "ui/common/background_task.h"
#include "ui/common/form_window.h"

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace tavrin::ui {

// The stock list update: the user picks the exchange's listed-issues file
// (or any price file with code and name columns), sees what would change in
// the three price databases, chooses whether stocks no longer listed are
// removed, and applies it. Reading the file and the databases runs on a
// task's thread; the window waits for it with its controls disabled.
class StockListWindow : public FormWindow {
  Q_OBJECT
 public:
  explicit StockListWindow(AppContext& ctx);

  // Asks for the file through the open-file dialog and previews it.
  void chooseFile();
  // Reads the file and shows what the update would do; false when the file
  // cannot be used (the report says why).
  bool preview(const QString& file);
  // Writes the previewed update (after a confirmation when stocks are removed).
  void apply();
  // "閉じる" and the title-bar close box: hides the window unless it is busy.
  void closeWindow();

  QString reportText() const;

 protected:
  void titleBarClose() override { closeWindow(); }

 private:
  void showPreview();
  std::size_t missingCodes() const;
  // Runs work on the task's thread and returns when it has ended, with what
  // it threw in *error; false when the window went away meanwhile.
  bool runWork(const std::function<void()>& work, std::exception_ptr* error);
  StockListOutcome updateOffThread(const StockListUpdateOptions& options, bool* gone);

  QLineEdit* fileBox_;
  QPushButton* chooseButton_;
  QCheckBox* fundsCheck_;
  QCheckBox* removeCheck_;
  QPlainTextEdit* report_;
  QPushButton* applyButton_;
  QPushButton* closeButton_;

  QString file_;
  std::optional<ListedIssues> issues_;
  StockListOutcome preview_;
  BackgroundTask task_;  // destroyed first, which joins a running read or update
};

}  // namespace tavrin::ui
