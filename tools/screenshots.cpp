// Renders the windows on a data root to PNG files for the documentation:
//   screenshots --root DIR --out DIR
// The windows are driven through their own buttons; message boxes are
// answered without being shown, and nothing is written to the data root.
#include <QApplication>
#include <QFont>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QStyleFactory>
#include <algorithm>
#include <cstring>
#include <iostream>

#include "app/paths.h"
#include "app/prompts.h"
#include "chart/chart_data.h"
#include "data/database.h"
#include "ui/app/app_context.h"
#include "ui/app/main_menu_window.h"
#include "ui/chart/chart_canvas.h"
#include "ui/chart/chart_window.h"
#include "ui/common/flex_grid.h"
#include "ui/common/qt_translation.h"
#include "ui/exchange/transfer_window.h"
#include "ui/registration/list_browser_window.h"
#include "ui/registration/registration_window.h"
#include "ui/screening/screening_window.h"
#include "ui/utilities/backup_window.h"
#include "ui/utilities/memo_window.h"
#include "ui/watchlists/watch_list_windows.h"

namespace {

std::string outDir = ".";
int failures = 0;

void settle() {
  for (int i = 0; i < 3; ++i) QApplication::processEvents();
}

void save(const QPixmap& picture, const char* name) {
  const QString file = QString::fromStdString(outDir) + "/" + QString::fromLatin1(name);
  if (!picture.save(file)) {
    std::cerr << "cannot write " << file.toStdString() << "\n";
    ++failures;
    return;
  }
  std::cout << file.toStdString() << "\n";
}

void shoot(QWidget& w, const char* name) {
  settle();
  save(w.grab(), name);
}

void click(QWidget& w, const char* name) {
  if (auto* b = w.findChild<QPushButton*>(QString::fromLatin1(name))) {
    b->click();
    settle();
  } else {
    std::cerr << "no button " << name << " in " << w.objectName().toStdString() << "\n";
    ++failures;
  }
}

// A stock of the random market whose latest half year has candles with
// volumes (the pattern samples hold their ten positions alone); empty when
// there is none.
std::string candleStock(const std::filesystem::path& db) {
  try {
    tavrin::Database d = tavrin::openForReading(db);
    const tavrin::QueryResult codes = d.query("select [コード] from [list] where [コード] <> 1000 limit 400");
    for (const tavrin::Row& row : codes.rows) {
      const std::string code = row[0].display();
      const tavrin::chart::ChartStock s = tavrin::chart::loadChartStock(d, code);
      if (!s.found || s.series.size() < 120) continue;
      const auto last = s.series.bars.end();
      if (std::all_of(last - 120, last, [](const tavrin::Bar& b) { return b.hasRange() && b.hasVolume(); }))
        return code;
    }
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\n";
  }
  return {};
}

// Two windows side by side on one picture.
QPixmap besideEachOther(QWidget& left, QWidget& right) {
  const QPixmap a = left.grab(), b = right.grab();
  QPixmap both(a.width() + 12 + b.width(), std::max(a.height(), b.height()));
  both.fill(Qt::white);
  QPainter p(&both);
  p.drawPixmap(0, 0, a);
  p.drawPixmap(a.width() + 12, 0, b);
  return both;
}

}  // namespace

int main(int argc, char** argv) {
  std::string root;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--root") == 0) root = argv[i + 1];
    if (std::strcmp(argv[i], "--out") == 0) outDir = argv[i + 1];
  }
  if (root.empty()) {
    std::cerr << "usage: screenshots --root DIR [--out DIR]\n";
    return 2;
  }
  // The windows are rendered into PNG files, not looked at: offscreen unless
  // the caller chose a platform.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setStyle(QStyleFactory::create("Fusion"));
  QApplication::setFont(QFont("Noto Sans CJK JP", 9));
  tavrin::ui::installJapaneseQtTranslation(app);
  tavrin::Paths paths{std::filesystem::path(root)};
  tavrin::ScriptedPrompts prompts;
  tavrin::ui::AppContext ctx(paths, prompts);
  ctx.state().priceDbPath = tavrin::toUtf8(paths.dailyDb());
  ctx.openUrl = [](const std::string&) { return true; };

  // The menu on the daily database.
  auto& menu = ctx.mainMenu();
  menu.setPathBox(QString::fromStdString(tavrin::toUtf8(paths.dailyDb())));
  menu.show();
  menu.activate();
  menu.adjustSize();
  shoot(menu, "main-menu.png");

  // The whole market after the first pattern of the panel ("保合").
  click(menu, "Command53");
  {
    auto& s = ctx.screening();
    if (QPushButton* b = s.patternButton(QStringLiteral("Command14"))) b->click();
    s.grid()->setRow(1);
    shoot(s, "screening.png");

    // The chart of the selected stock, opened by the button near the links.
    click(s, "chartWindowButton");
    {
      auto& chart = ctx.chart();
      chart.resize(900, 560);
      shoot(chart, "chart.png");

      // Daily candles and volumes over three months.
      const std::string code = candleStock(paths.dailyDb());
      if (!code.empty() && chart.showStock(tavrin::toUtf8(paths.dailyDb()), QString::fromStdString(code))) {
        click(chart, "chartDailyButton");
        click(chart, "chartRangeShortButton");
        // The crosshair on a day two thirds into the range, with its box of prices.
        const tavrin::chart::IndexRange range = chart.canvas()->range();
        chart.canvas()->setCrosshair(range.first + range.count * 2 / 3);
        shoot(chart, "chart-candles.png");
        chart.canvas()->setCrosshair(std::nullopt);
      } else {
        std::cerr << "no stock with candles in " << tavrin::toUtf8(paths.dailyDb()) << "\n";
        ++failures;
      }
      chart.closeWindow();
    }

    // The two watch lists, opened from the screening window.
    click(s, "Command40");
    click(s, "Command52");
    ctx.interestList().activate();
    ctx.trendList().activate();
    settle();
    save(besideEachOther(ctx.interestList(), ctx.trendList()), "watch-lists.png");
    click(ctx.interestList(), "Command2");
    click(ctx.trendList(), "Command2");
    click(s, "Command5");
  }

  // Price input: the list browser and the registration window, started.
  click(menu, "Command10");
  {
    auto& reg = ctx.registration();
    click(reg, "Command3");
    shoot(reg, "registration.png");
    shoot(ctx.listBrowser(), "list-browser.png");
    click(reg, "Command2");
  }

  // Companion transfer, before its start.
  menu.activate();
  if (auto* day = menu.findChild<QPushButton*>(QStringLiteral("Command26")); day && day->isVisible()) {
    day->click();
    auto& t = ctx.transfer();
    t.activate();
    shoot(t, "transfer.png");
    click(t, "Command3");
  } else {
    std::cerr << "the daily transfer button is not shown\n";
    ++failures;
  }

  // Backup, before a copy is made.
  click(menu, "Command49");
  shoot(ctx.backup(), "backup.png");
  click(ctx.backup(), "Command2");

  // Memo pad.
  click(menu, "Command20");
  shoot(ctx.memo(), "memo.png");

  return failures == 0 ? 0 : 1;
}
