#pragma once

namespace tavrin::ui {

class AppContext;

// The main menu's watch-list universe buttons: builds watchQuery from the
// list (22: trend, 23: checklist) and opens the screening window on it.
void openWatchedScreening(AppContext& ctx, int universeIndex);

}  // namespace tavrin::ui
