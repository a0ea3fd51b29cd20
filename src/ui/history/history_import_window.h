#pragma once
#include <QStringList>
#include <functional>
#include <optional>
#include <string>

#include "history/history_files.h"
#include "history/price_history.h"
#include "ui/common/background_task.h"
#include "ui/common/form_window.h"

class QCheckBox;
class QDateEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace tavrin::ui {

// The bulk import of history files (HistoryImportWindow): the user picks
// per-stock or per-day history files, which are read into the open price
// database's history on a task's thread (each file one transaction) with a
// progress bar and a cancel button; optionally the ten positions and the
// date record are then set from the ten latest complete days of the history,
// or with "日付を指定" from the complete days up to a given date. The report
// of the run is shown whole: the counts, the incomplete days, the files'
// notes, the positions and what the checks found in the closes.
//
// The box "履歴から削除" removes from the history a stock's whole history
// (code only), every stock's close of a day (date only) or one stock's close
// of a day (both), after a question through Prompts, on the task's thread in
// one transaction; the report area then says what went. Nothing is removed
// while an import runs.
class HistoryImportWindow : public FormWindow {
  Q_OBJECT
 public:
  explicit HistoryImportWindow(AppContext& ctx);
  ~HistoryImportWindow() override;

  // Asks for files (chooseFilesDialog) and lists them.
  void chooseFiles();
  void setFiles(const QStringList& files);
  QStringList files() const { return files_; }
  // Starts the import on the task's thread; false when nothing can start.
  bool start();
  // Stops after the file being written; the files done stay.
  void cancel();
  bool running() const { return task_.running(); }
  void closeWindow();

  // Removes what the box "履歴から削除" names, after asking; false when
  // nothing was started (a bad code, nothing chosen, the answer was no).
  bool removeFromHistory();

  QString reportText() const;
  // Asks for the files to read (replaced by tests); empty on cancel.
  std::function<QStringList(QWidget* owner)> chooseFilesDialog;

 signals:
  void finished();

 protected:
  void showEvent(QShowEvent* event) override;
  void titleBarClose() override { closeWindow(); }

 private:
  void showProgress(qint64 done, const QString& text);
  void done(const HistoryImportOutcome& outcome, const PositionsOutcome& positions, bool askedPositions,
            std::optional<int> atDay);
  void removalDone(const RemovalOutcome& outcome, std::optional<int> day, const std::optional<std::string>& codeKey);
  // The date boxes follow the history: the latest day it holds, the day the
  // positions were set at, the last incomplete day an import found.
  void followHistory();
  void setRunning(bool on, bool importing = false);
  void updateEnabled();

  QLabel* dbLabel_;
  QListWidget* fileList_;
  QPushButton* chooseButton_;
  QCheckBox* positionsCheck_;
  QCheckBox* positionsDateCheck_;
  QDateEdit* positionsDateEdit_;
  QProgressBar* progress_;
  QLabel* statusLabel_;
  QPlainTextEdit* report_;
  QPushButton* startButton_;
  QPushButton* cancelButton_;
  QPushButton* closeButton_;
  QGroupBox* removeBox_;
  QLineEdit* removeCode_;
  QCheckBox* removeDayCheck_;
  QDateEdit* removeDay_;
  QPushButton* removeButton_;

  QStringList files_;
  bool running_ = false;    // an import or a removal, from its start until it was delivered
  bool importing_ = false;  // of them an import, which can be cancelled
  BackgroundTask task_;     // destroyed first, which stops and joins a running import
};

}  // namespace tavrin::ui
