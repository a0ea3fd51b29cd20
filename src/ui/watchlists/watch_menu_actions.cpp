#include "ui/watchlists/watch_menu_actions.h"

#include "ui/common/app_context.h"

namespace tavrin::ui {

void openWatchedScreening(AppContext& ctx, int universeIndex) {
  (void)ctx;
  (void)universeIndex;
}

}  // namespace tavrin::ui
