#pragma once
#include "ui/common/form_window.h"

class QPushButton;

namespace tavrin::ui {

// Backup window (Form2): dated copies of the standard price database of the
// current unit in that unit's backup folder.
class BackupWindow : public FormWindow {
  Q_OBJECT
 public:
  explicit BackupWindow(AppContext& ctx);

  // Creates the current unit's backup folder and says how that went.
  void makefile();
  void Command1_Click();  // make a backup
  void Command2_Click();  // OK

  static QString designCaption();

 private:
  QPushButton* command1_;
  QPushButton* command2_;
  QPushButton* command4_;
};

}  // namespace tavrin::ui
