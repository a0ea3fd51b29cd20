#pragma once
#include "ui/common/form_window.h"

namespace tavrin::ui {

class RegistrationWindow : public FormWindow {
  Q_OBJECT
 public:
  explicit RegistrationWindow(AppContext& ctx);
};

}  // namespace tavrin::ui
