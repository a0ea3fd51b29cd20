#include "ui/watchlists/watch_list_windows.h"

namespace tavrin::ui {

InterestListWindow::InterestListWindow(AppContext& ctx) : FormWindow(ctx, "Form13") {}
TrendListWindow::TrendListWindow(AppContext& ctx) : FormWindow(ctx, "Form17") {}

}  // namespace tavrin::ui
