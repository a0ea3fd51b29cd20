// Pattern clicks in the screening window: from the click until the grid has
// painted the sorted result, for 4,000 and 100,000 stocks. With
// "--shot FILE" it also saves a picture of the window after a click.
#include <QApplication>
#include <QFont>
#include <QHeaderView>
#include <QPixmap>
#include <QPushButton>
#include <QTableView>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "app/paths.h"
#include "app/prompts.h"
#include "screening_bench_data.h"
#include "ui/app/app_context.h"
#include "ui/app/main_menu_window.h"
#include "ui/common/flex_grid.h"
#include "ui/screening/screening_window.h"

using namespace tavrin;
using Clock = std::chrono::steady_clock;

static double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

int main(int argc, char** argv) {
  const char* shot = nullptr;
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], "--shot") == 0) shot = argv[i + 1];
  QApplication app(argc, argv);
  QApplication::setFont(QFont(QStringLiteral("Noto Sans CJK JP"), 9));
  const auto dir = std::filesystem::temp_directory_path() / "tavrin_screening_bench_ui";
  std::filesystem::create_directories(dir);
  ScriptedPrompts prompts;
  for (int stocks : shot ? std::vector<int>{300} : std::vector<int>{4000, 100000}) {
    const auto db = dir / "kabuka.mdb";
    bench::makeScreeningDb(db, stocks);
    ui::AppContext ctx(Paths(dir), prompts);
    ctx.openUrl = [](const std::string&) { return true; };
    auto& menu = ctx.mainMenu();
    menu.setPathBox(QString::fromStdString(toUtf8(db)));
    menu.activate();
    ctx.state().selectorCode = 1001;
    auto t0 = Clock::now();
    auto& w = ctx.screening();
    w.show();
    QApplication::processEvents();
    std::printf("%6d stocks  open window            %8.2f ms\n", stocks, ms(Clock::now() - t0));
    if (shot) {
      for (const char* n : {"Command28", "Command14", "Command27"}) w.patternButton(n)->click();
      w.patternButton("Command76")->click();
      QApplication::processEvents();
      w.grab().save(QString::fromLocal8Bit(shot));
      std::printf("saved %s\n", shot);
      ctx.unloadAll();
      break;
    }
    for (const char* control : {"Command14", "Command50", "Command27", "Command76", "Command111"}) {
      QPushButton* b = w.patternButton(control);
      std::vector<double> handler, painted;
      for (int i = 0; i < (stocks > 10000 ? 5 : 21); ++i) {
        t0 = Clock::now();
        b->click();
        handler.push_back(ms(Clock::now() - t0));
        w.grid()->view()->viewport()->repaint();
        w.grid()->view()->horizontalHeader()->viewport()->repaint();
        painted.push_back(ms(Clock::now() - t0));
      }
      std::sort(handler.begin(), handler.end());
      std::sort(painted.begin(), painted.end());
      std::printf("%6d stocks  click %-10s %-4s median: handler %7.2f ms, painted %7.2f ms  (%d listed)\n", stocks,
                  control, b->text().toUtf8().constData(), handler[handler.size() / 2], painted[painted.size() / 2],
                  w.grid()->rows() - 1);
    }
    ctx.unloadAll();
  }
  std::filesystem::remove_all(dir);
}
