#pragma once
#include "ui/common/form_window.h"

class QPushButton;

namespace tavrin::ui {

// Start-up database chooser (Form8).
class ChooserWindow : public FormWindow {
  Q_OBJECT
 public:
  explicit ChooserWindow(AppContext& ctx);
  void Command1_Click();

 private:
  QPushButton* command1_;
};

// Reads a chooser answer as a number: "1", " 2", "01", "１", "　２" read;
// "abc", "" do not.
std::optional<double> chooserAnswerNumber(const std::string& answer);

}  // namespace tavrin::ui
