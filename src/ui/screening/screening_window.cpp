#include "ui/screening/screening_window.h"

namespace tavrin::ui {

ScreeningWindow::ScreeningWindow(AppContext& ctx) : FormWindow(ctx, "Form6") {}

}  // namespace tavrin::ui
