#pragma once
#include "ui/common/form_window.h"

namespace tavrin::ui {

class ScreeningWindow : public FormWindow {
  Q_OBJECT
 public:
  explicit ScreeningWindow(AppContext& ctx);
};

}  // namespace tavrin::ui
