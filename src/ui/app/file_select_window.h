#pragma once
#include "ui/common/form_window.h"

class QLineEdit;
class QPushButton;
class QLabel;

namespace tavrin::ui {

// Database file selection (Form25): picks a saved .mdb and opens the menu on it.
class FileSelectWindow : public FormWindow {
  Q_OBJECT
 public:
  explicit FileSelectWindow(AppContext& ctx);

  // What the chooser does before showing it: empty name box, mode "search".
  void prepareSearch();
  void Command1_Click();
  void Command3_Click();

 protected:
  void titleBarClose() override { Command3_Click(); }

 private:
  QLineEdit* text1_;
  QLineEdit* text2_;
};

}  // namespace tavrin::ui
