// Loads and sorts large result sets in the grid widget and prints the times,
// with set widths only and with the screening window's fitted widths (short
// columns whole, the names taking the room left), and the time of a resize
// that shares the room anew.
#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "ui/common/flex_grid.h"

using Clock = std::chrono::steady_clock;

static double ms(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  for (int n : {4000, 100000}) {
    std::vector<tavrin::Row> rows;
    rows.reserve(static_cast<size_t>(n));
    std::uint64_t x = 88172645463325252ull;
    auto rnd = [&] {
      x ^= x << 13;
      x ^= x >> 7;
      x ^= x << 17;
      return x;
    };
    for (int i = 0; i < n; ++i) {
      tavrin::Row r;
      r.emplace_back(static_cast<std::int64_t>(i + 1));
      r.emplace_back(std::string("銘柄") + std::to_string(rnd() % 100000));
      r.emplace_back(static_cast<std::int64_t>(1301 + rnd() % 8000));
      r.emplace_back(std::string("東証１部"));
      r.emplace_back(static_cast<std::int64_t>(100));
      r.emplace_back(static_cast<std::int64_t>(100 + rnd() % 10000));
      r.emplace_back(static_cast<std::int64_t>(100 + rnd() % 10000));
      for (int k = 0; k < 9; ++k) r.emplace_back(static_cast<std::int64_t>(static_cast<int>(rnd() % 61) - 30));
      rows.push_back(std::move(r));
    }
    std::vector<std::string> fields = {"ID", "銘柄", "コード", "市場", "単位", "kabuka1", "kabuka10"};
    for (int k = 1; k <= 9; ++k) fields.push_back("ratio" + std::to_string(k));
    for (bool fitted : {false, true}) {
      tavrin::ui::FlexGrid grid;
      grid.resize(1200, 700);
      const int widths[] = {250, 550, 1280, 600, 900, 600, 900, 900};
      for (int c = 0; c < 17; ++c) grid.setColWidth(c, c < 8 ? widths[c] : 500);
      if (fitted) {
        for (int c = 1; c <= 16; ++c)
          if (c != 2) grid.setColFitsContents(c);
        grid.setColTakesRoomLeft(2);
      }
      grid.show();
      std::vector<double> load, sortNum, sortText, resize;
      for (int rep = 0; rep < 5; ++rep) {
        auto copy = rows;
        auto t0 = Clock::now();
        grid.setRedraw(false);
        grid.setContent(fields, std::move(copy));
        grid.setRedraw(true);
        QApplication::processEvents();
        auto t1 = Clock::now();
        grid.setCol(8);
        grid.sort(3);
        QApplication::processEvents();
        auto t2 = Clock::now();
        grid.setCol(2);
        grid.sort(1);
        QApplication::processEvents();
        auto t3 = Clock::now();
        grid.resize(rep % 2 ? 1200 : 1000, 700);
        QApplication::processEvents();
        auto t4 = Clock::now();
        load.push_back(ms(t0, t1));
        sortNum.push_back(ms(t1, t2));
        sortText.push_back(ms(t2, t3));
        resize.push_back(ms(t3, t4));
      }
      auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
      };
      std::printf(
          "grid %6d rows, %s: load+paint %7.1f ms, numeric sort %7.1f ms, generic text sort %7.1f ms, "
          "resize %5.1f ms (median of 5)\n",
          n, fitted ? "fitted widths" : "set widths   ", median(load), median(sortNum), median(sortText),
          median(resize));
    }
  }
  return 0;
}
