#pragma once
#include <QStringList>
#include <functional>

#include "history/history_files.h"
#include "history/price_history.h"
#include "ui/common/background_task.h"
#include "ui/common/form_window.h"

class QCheckBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace tavrin::ui {

// The bulk import of history files (HistoryImportWindow): the user picks
// per-stock or per-day history files, which are read into the open price
// database's history on a task's thread (each file one transaction) with a
// progress bar and a cancel button; optionally the ten positions and the
// date record are then set from the ten latest days of the history. The
// report of the run is shown whole.
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
  void done(const HistoryImportOutcome& outcome, const PositionsOutcome& positions, bool askedPositions);
  void setRunning(bool on);

  QLabel* dbLabel_;
  QListWidget* fileList_;
  QPushButton* chooseButton_;
  QCheckBox* positionsCheck_;
  QProgressBar* progress_;
  QLabel* statusLabel_;
  QPlainTextEdit* report_;
  QPushButton* startButton_;
  QPushButton* cancelButton_;
  QPushButton* closeButton_;

  QStringList files_;
  BackgroundTask task_;  // destroyed first, which stops and joins a running import
};

}  // namespace tavrin::ui
