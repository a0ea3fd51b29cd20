#pragma once
#include "ui/common/form_window.h"

namespace tavrin::ui {

// The stocks-of-interest list (table checklist).
class InterestListWindow : public FormWindow {
  Q_OBJECT
 public:
  explicit InterestListWindow(AppContext& ctx);
};

// The trend list (table trend).
class TrendListWindow : public FormWindow {
  Q_OBJECT
 public:
  explicit TrendListWindow(AppContext& ctx);
};

}  // namespace tavrin::ui
