#include "ui/exchange/transfer_window.h"

namespace tavrin::ui {

TransferWindow::TransferWindow(AppContext& ctx) : FormWindow(ctx, "Form3") {}

}  // namespace tavrin::ui
