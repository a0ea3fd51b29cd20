#include "ui/registration/list_browser_window.h"

namespace tavrin::ui {

ListBrowserWindow::ListBrowserWindow(AppContext& ctx) : FormWindow(ctx, "Form28") {}

}  // namespace tavrin::ui
