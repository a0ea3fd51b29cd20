// Opening the chart window on a stock of 5,000 daily candles with volumes
// until it is painted (offscreen): reading the stock, its averages and one
// whole render of the window; the chart alone repainted, a crosshair move, a
// range change, and the weekly candles gathered from the days.
#include <unistd.h>

#include <QApplication>
#include <QImage>
#include <QPushButton>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "app/prompts.h"
#include "base/log.h"
#include "chart/chart_data.h"
#include "data/price_schema.h"
#include "history/price_history.h"
#include "ui/app/app_context.h"
#include "ui/chart/chart_canvas.h"
#include "ui/chart/chart_window.h"

using namespace tavrin;
using Clock = std::chrono::steady_clock;

static double cpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

static double ms(Clock::time_point a) { return std::chrono::duration<double, std::milli>(Clock::now() - a).count(); }

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  setLogQuiet(true);
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("tavrin-chart-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::filesystem::path db = dir / "kabuka.mdb";
  const int candles = 5000;
  createPriceDatabase(db, "day");
  {
    Database d(db);
    Transaction tx(d);
    d.execute("insert into [list] ([銘柄], [コード], [市場], [単位]) values ('見本', 7203, '東証プライム', 100)");
    HistoryWriter w(d);
    int day = *dayFromCivil(2007, 1, 4);
    double price = 2000;
    for (int k = 0; k < candles; ++day) {
      const int weekday = ((day % 7) + 7 + 4) % 7;
      if (weekday == 0 || weekday == 6) continue;
      const double open = price;
      price *= 1.0 + (((k * 7919) % 201) - 100) / 5000.0;
      Bar b;
      b.day = day;
      b.open = static_cast<std::int32_t>(open * 10);
      b.close = static_cast<std::int32_t>(price * 10);
      b.high = std::max(b.open, b.close) + 10 * ((k * 31) % 7);
      b.low = std::max(1, std::min(b.open, b.close) - 10 * ((k * 17) % 5));
      b.volume = 100 * (20000 + (k * 7907) % 30000);
      w.put(Value(static_cast<std::int64_t>(7203)), b);
      ++k;
    }
    w.flush();
    tx.commit();
  }
  ScriptedPrompts prompts;
  ui::AppContext ctx{Paths(dir), prompts};
  ui::ChartWindow& w = ctx.chart();
  w.resize(1000, 600);
  // Wall time and the time this thread ran (the latter does not count the
  // waits of a machine shared with other work).
  struct Times {
    std::vector<double> wall, cpu;
    void add(Clock::time_point t, double c) {
      wall.push_back(ms(t));
      cpu.push_back(cpuMs() - c);
    }
    std::string text() {
      std::sort(wall.begin(), wall.end());
      std::sort(cpu.begin(), cpu.end());
      char buf[160];
      std::snprintf(buf, sizeof buf, "%.1f ms (thread CPU %.1f ms; best %.1f ms, worst %.1f ms)", wall[wall.size() / 2],
                    cpu[cpu.size() / 2], wall.front(), wall.back());
      return buf;
    }
  } load, open, canvas, crosshair, range, weekly;
  for (int i = 0; i < 20; ++i) {
    auto t = Clock::now();
    double c = cpuMs();
    const chart::ChartStock s = chart::loadChartStock(db, "7203");
    load.add(t, c);

    t = Clock::now();
    c = cpuMs();
    w.setViewUnit(chart::ChartUnit::Day);
    w.showStock(toUtf8(db), QStringLiteral("7203"));
    w.setRangeChoice(3);  // 全期間: all 5,000 days drawn
    QImage image(w.size(), QImage::Format_ARGB32);
    w.render(&image);
    open.add(t, c);

    // The chart drawn again from its bars (after a change of size, say).
    t = Clock::now();
    c = cpuMs();
    w.canvas()->setAverageShown(0, true);
    QImage plot(w.canvas()->size(), QImage::Format_ARGB32);
    w.canvas()->render(&plot);
    canvas.add(t, c);

    // The mouse moves: the picture as it was and the crosshair over it.
    t = Clock::now();
    c = cpuMs();
    w.canvas()->setCrosshair(static_cast<std::size_t>(1000 + 37 * i));
    w.canvas()->render(&plot);
    crosshair.add(t, c);

    t = Clock::now();
    c = cpuMs();
    w.setRangeChoice(i % 3);  // 3か月 and 6か月 as candles, 1年 as high-low bars
    QImage again(w.size(), QImage::Format_ARGB32);
    w.render(&again);
    range.add(t, c);

    t = Clock::now();
    c = cpuMs();
    w.setViewUnit(chart::ChartUnit::Week);
    w.render(&again);
    weekly.add(t, c);
  }
  std::printf("chart of %d daily candles with volumes, window 1000x600, offscreen, medians of 20:\n", candles);
  std::printf("  reading the stock and its history: %s\n", load.text().c_str());
  std::printf("  opened and the whole window painted (全期間): %s\n", open.text().c_str());
  std::printf("  the chart alone repainted from its bars (全期間): %s\n", canvas.text().c_str());
  std::printf("  crosshair moved and the chart repainted: %s\n", crosshair.text().c_str());
  std::printf("  range change (3か月..1年) and the window repainted: %s\n", range.text().c_str());
  std::printf("  週足 gathered from the days and the window repainted: %s\n", weekly.text().c_str());
  std::filesystem::remove_all(dir);
  return 0;
}
