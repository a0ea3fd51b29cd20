#include "ui/screening/screening_hooks.h"

#include "base/log.h"
#include "screening/chart_links.h"
#include "ui/app/app_context.h"
#include "ui/common/flex_grid.h"
#include "ui/common/window_placement.h"
#include "ui/screening/screening_window.h"
#include "ui/watchlists/watch_list_windows.h"
#include "watchlists/watch_list_store.h"

namespace tavrin::ui {

namespace {

// Shows a list window; a hidden one first goes to the right of the screening window.
void showBeside(WatchListWindow& list, const ScreeningWindow& screening) {
  if (!list.isVisible() && screening.isVisible()) placeBeside(&list, &screening);
  list.show();
  list.raise();
  list.activateWindow();
}

}  // namespace

void screeningChartLinkClicked(ScreeningWindow& window, const QString& controlName) {
  const ChartLink* link = chartLinkByControl(controlName.toStdString());
  if (!link) return;
  AppContext& ctx = window.context();
  std::vector<std::string> problems;
  const LinkEndpoints endpoints = LinkEndpoints::load(ctx.paths().linksIni(), &problems);
  for (const std::string& p : problems) logLine("links.ini", p);
  const std::string address =
      chartLinkAddress(*link, window.selectedCode().toStdString(), window.selectedMarket().toStdString(), endpoints);
  if (ctx.openUrl && ctx.openUrl(address)) return;
  logLine("chart links", "no browser opened " + address);
  MessageRequest m;
  m.title = link->caption;
  m.icon = MessageIcon::Information;
  m.lines = {"ブラウザでページを開けませんでした。", "次のアドレスをブラウザに入力してください。", "", address};
  ctx.prompts().message(m);
}

void screeningExtractClicked(ScreeningWindow& window, const QString& controlName) {
  AppContext& ctx = window.context();
  WatchListWindow* list = nullptr;
  if (controlName == QLatin1String("Command16"))
    list = &ctx.interestList();
  else if (controlName == QLatin1String("Command26"))
    list = &ctx.trendList();
  if (!list) return;
  window.extract(list->listedCodes());
}

void screeningGridDoubleClicked(ScreeningWindow& window) {
  AppContext& ctx = window.context();
  FlexGrid* grid = window.grid();
  const int r = grid->row();
  TrendListWindow& trend = ctx.trendList();  // loads it when it was not loaded
  // A row without a code (or the title row) puts nothing on the list.
  if (r >= 1 && r < grid->rows() && !grid->textMatrix(r, 3).trimmed().isEmpty()) {
    WatchStock stock;
    stock.code = grid->textMatrix(r, 3).toStdString();
    stock.name = grid->textMatrix(r, 2).toStdString();
    stock.market = grid->textMatrix(r, 4).toStdString();
    stock.unit = grid->textMatrix(r, 5).toStdString();
    stock.date = watchDate(ctx.now());
    try {
      addWatchStock(ctx.paths().watchListDb(), WatchList::Trend, stock);
    } catch (const std::exception& e) {
      logLine("trend list", "stock " + stock.code + " not added: " + e.what());
    }
  }
  trend.reload();
  // Showing it activates it: a code listed before is then listed once again.
  showBeside(trend, window);
}

void screeningListButtonClicked(ScreeningWindow& window, const QString& controlName) {
  AppContext& ctx = window.context();
  if (controlName == QLatin1String("Command40"))
    showBeside(ctx.interestList(), window);
  else if (controlName == QLatin1String("Command52"))
    showBeside(ctx.trendList(), window);
}

}  // namespace tavrin::ui
