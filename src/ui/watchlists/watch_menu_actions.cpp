#include "ui/watchlists/watch_menu_actions.h"

#include "ui/app/app_context.h"
#include "ui/app/main_menu_window.h"
#include "ui/screening/screening_window.h"
#include "ui/watchlists/watch_list_windows.h"
#include "watchlists/watch_query.h"

namespace tavrin::ui {

void openWatchedScreening(AppContext& ctx, int universeIndex) {
  if (universeIndex != 22 && universeIndex != 23) return;
  SharedState& state = ctx.state();
  state.watchQuery = "select * from [list1plus]";
  // Reading the list loads its window without showing it.
  WatchListWindow& list = universeIndex == 22 ? static_cast<WatchListWindow&>(ctx.trendList()) : ctx.interestList();
  const std::vector<std::string> codes = list.listedCodes();
  state.selectorCode = 1000 + universeIndex;
  if (codes.empty()) {
    MessageRequest m;
    m.icon = MessageIcon::Critical;
    m.buttons = MessageButtons::OkCancel;
    m.lines = {"注目銘柄は選択されていません"};
    ctx.prompts().message(m);
    return;
  }
  state.watchQuery = watchListQuery(codes);
  state.universeIndex = universeIndex;
  ctx.screening().show();
  ctx.mainMenu().hide();
}

}  // namespace tavrin::ui
