#pragma once
#include <QHash>
#include <QString>
#include <array>
#include <string>

#include "data/data_view.h"
#include "registration/price_import.h"
#include "registration/scratch_view.h"
#include "ui/common/background_task.h"
#include "ui/common/form_window.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace tavrin::ui {

class FlexGrid;

// Registration window (Form1): the dates and workbook names of the ten
// periods, the ten-period import, the one-period insert and the latest-period
// import.
class RegistrationWindow : public FormWindow {
  Q_OBJECT
 public:
  explicit RegistrationWindow(AppContext& ctx);

  void Command3_Click();                        // start
  void Command4_Click();                        // ten-period import
  void Command5_Click();                        // one-period insert
  void Command8_Click();                        // latest-period import (Command6 does the same)
  void Command2_Click();                        // OK
  void showInformation(const QString& button);  // Command1, Command9, Command10, Command11, Command7

  // The unit word copied from the menu's date grid by the start button.
  const std::string& unit() const { return unit_; }
  // Derived names of row k (1..10), recomputed whenever the boxes change.
  const std::string& sheetName(int k) const { return sheet_[static_cast<size_t>(k)]; }
  const std::string& workbookPath(int k) const { return path_[static_cast<size_t>(k)]; }
  PeriodSource rowPeriod(int k) const;

  FlexGrid* sheetGrid() const { return grid2_; }  // MSFlexGrid2
  DataView& sheetView() { return data1_; }
  ScratchView& scratchView() { return form4_; }  // Form4
  bool running() const { return running_; }
  QPushButton* button(const QString& name) const { return buttons_.value(name); }

 private:
  void recomputeStamps();
  void recomputePaths();
  void showEntryNote();
  void fillRowsFromRecord();
  void setRunning(bool on);
  void progress(const ImportProgress& p);
  void showSheet(const PeriodSource& period);
  void reportFailure(const ImportOutcome& outcome);
  // The report of the last run, in a scrolling box.
  void showImportReport(const ImportOutcome& outcome);
  void afterWrite();
  // Runs one import on the open database on the task's thread with the
  // progress display, and returns when it has ended; false (after telling
  // the user) when it changed nothing.
  bool runImport(const std::function<ImportOutcome(Database&, const ProgressFn&)>& run);

  std::string unit_;
  std::array<std::string, 11> sheet_{};
  std::array<std::string, 11> path_{};
  bool running_ = false;
  ImportOutcome lastOutcome_;  // what the last import or latest run read

  QHash<QString, QPushButton*> buttons_;
  QLabel* label1_;
  QLabel* label2_;
  std::array<QLabel*, 11> label3_{};
  std::array<QLineEdit*, 11> text16_{};
  std::array<QLineEdit*, 11> text4_{};
  std::array<QLineEdit*, 11> text11_{};
  std::array<QLineEdit*, 11> text12_{};
  std::array<QLineEdit*, 11> text13_{};
  std::array<QLineEdit*, 11> text3_{};
  QLineEdit* text15_;
  QLineEdit* text5_;
  QLineEdit* text1_;
  QLineEdit* text2_;
  FlexGrid* grid2_;
  DataView data1_;
  ScratchView form4_;
  BackgroundTask task_;  // the running import; destroyed first, which joins it
};

}  // namespace tavrin::ui
