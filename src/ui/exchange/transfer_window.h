#pragma once
#include <QLabel>
#include <optional>

#include "data/data_view.h"
#include "exchange/companion.h"
#include "ui/common/background_task.h"
#include "ui/common/clickable_label.h"
#include "ui/common/form_window.h"

class QLineEdit;
class QPushButton;

namespace tavrin::ui {

class FlexGrid;

// Transfer window (Form3): copies our price history and date record into
// the companion program's database chosen by the mode keyword in Text5.
class TransferWindow : public FormWindow {
  Q_OBJECT
 public:
  explicit TransferWindow(AppContext& ctx);
  ~TransferWindow() override;

  // What the menu prepared for a mode (nothing when the copy failed): while
  // the mode box names that mode the window writes there, and a copy is put
  // in place of the real file once a transfer into it is done. A copy never
  // put in place is removed with the window.
  void setPreparedCompanion(CompanionMode mode, std::optional<PreparedCompanion> prepared);

  // The mode box Text5 (written by the menu after showing the window).
  void setModeKeyword(const QString& keyword);
  QString modeKeyword() const;

  // Runs every time the window becomes the active window.
  void activate();
  void Label4_Click();
  void Label3_Click();
  void Command3_Click();  // OK

  bool transferRunning() const { return running_; }
  bool companionListOpen() const { return companionOpen_; }
  DataView& data1() { return data1_; }
  DataView& data2() { return data2_; }
  // Called on the window's thread for every companion row of a running
  // transfer, in order, before the transfer returns (tests look inside the
  // run through it).
  TransferProgressFn progressHook;

 protected:
  bool event(QEvent* e) override;

 private:
  void runTransfer(bool completionSign);
  static void loadGrid(FlexGrid* grid, DataView& view);

  std::optional<CompanionMode> preparedMode_;
  std::optional<PreparedCompanion> prepared_;
  DataView data1_;  // sender
  DataView data2_;  // companion
  bool companionOpen_ = false;
  bool running_ = false;
  QPushButton* command3_;
  ClickableLabel* label4_;
  ClickableLabel* label3_;
  QLineEdit* text2_;
  QLineEdit* text5_;
  QLineEdit* text3_;
  QLineEdit* text4_;
  FlexGrid* grid1_;
  FlexGrid* grid2_;
  BackgroundTask task_;  // the running transfer; destroyed first, which joins it
};

}  // namespace tavrin::ui
