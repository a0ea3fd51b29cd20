#pragma once
#include "ui/common/form_window.h"

namespace tavrin::ui {

class ListBrowserWindow : public FormWindow {
  Q_OBJECT
 public:
  explicit ListBrowserWindow(AppContext& ctx);
};

}  // namespace tavrin::ui
