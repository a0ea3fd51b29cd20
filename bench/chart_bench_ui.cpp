// Opening the chart window on a stock of 5,000 closes until it is painted
// (offscreen): reading the stock, its averages and one whole render of the
// window, and a repaint after a range change.
#include <unistd.h>
#include <QApplication>
#include <QImage>
#include <QPushButton>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "app/log.h"
#include "app/prompts.h"
#include "data/price_schema.h"
#include "history/price_history.h"
#include "ui/chart/chart_window.h"
#include "ui/common/app_context.h"

using namespace tavrin;
using Clock = std::chrono::steady_clock;

static double ms(Clock::time_point a) { return std::chrono::duration<double, std::milli>(Clock::now() - a).count(); }

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  setLogQuiet(true);
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("tavrin-chart-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::filesystem::path db = dir / "kabuka.mdb";
  const int closes = 5000;
  createPriceDatabase(db, "day");
  {
    Database d(db);
    Transaction tx(d);
    d.execute("insert into [list] ([銘柄], [コード], [市場], [単位]) values ('見本', 7203, '東証プライム', 100)");
    HistoryWriter w(d);
    int day = *dayFromCivil(2007, 1, 4);
    double price = 2000;
    for (int k = 0; k < closes; ++day) {
      const int weekday = ((day % 7) + 7 + 4) % 7;
      if (weekday == 0 || weekday == 6) continue;
      price *= 1.0 + (((k * 7919) % 201) - 100) / 5000.0;
      w.put(Value(static_cast<std::int64_t>(7203)), day, static_cast<std::int64_t>(price));
      ++k;
    }
    tx.commit();
  }
  ScriptedPrompts prompts;
  ui::AppContext ctx{Paths(dir), prompts};
  ui::ChartWindow& w = ctx.chart();
  w.resize(1000, 600);
  std::vector<double> open, range;
  for (int i = 0; i < 20; ++i) {
    auto t = Clock::now();
    w.showStock(toUtf8(db), QStringLiteral("7203"));
    w.setRangeChoice(3);  // 全期間: all 5,000 closes drawn
    QImage image(w.size(), QImage::Format_ARGB32);
    w.render(&image);
    open.push_back(ms(t));
    t = Clock::now();
    w.setRangeChoice(i % 3);
    QImage again(w.size(), QImage::Format_ARGB32);
    w.render(&again);
    range.push_back(ms(t));
  }
  std::sort(open.begin(), open.end());
  std::sort(range.begin(), range.end());
  std::printf(
      "chart of %d closes, window 1000x600, offscreen: opened and painted in %.1f ms (median of 20, best %.1f, "
      "worst %.1f); range change and repaint %.1f ms\n",
      closes, open[open.size() / 2], open.front(), open.back(), range[range.size() / 2]);
  std::filesystem::remove_all(dir);
  return 0;
}
