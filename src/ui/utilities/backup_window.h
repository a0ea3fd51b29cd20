#pragma once
#include "ui/common/form_window.h"

namespace tavrin::ui {

class BackupWindow : public FormWindow {
  Q_OBJECT
 public:
  explicit BackupWindow(AppContext& ctx);
};

}  // namespace tavrin::ui
