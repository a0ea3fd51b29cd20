#pragma once
#include "ui/common/form_window.h"

namespace tavrin::ui {

class TransferWindow : public FormWindow {
  Q_OBJECT
 public:
  explicit TransferWindow(AppContext& ctx);
};

}  // namespace tavrin::ui
