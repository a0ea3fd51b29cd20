#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QtTest>

#include "backtest/backtest.h"
#include "data/price_schema.h"
#include "history/price_history.h"
#include "sample/sample_market.h"
#include "screening/pattern_catalogue.h"
#include "test_support.h"
#include "ui/app/main_menu_window.h"
#include "ui/backtest/backtest_window.h"
#include "ui/chart/chart_canvas.h"
#include "ui/chart/chart_window.h"
#include "ui/common/flex_grid.h"
#include "ui/screening/screening_window.h"
#include "ui_test_support.h"

using namespace tavrin;

namespace {

// A small sample market (its daily and weekly databases carry a history).
struct Sample {
  Sample() : f(dir.path()) {
    DemoOptions o;
    o.stocks = 300;
    makeDemo(Paths(dir.path()), o);
  }
  ui::ScreeningWindow& open(const std::filesystem::path& db, const char* menuButton = "Command53") {
    auto& menu = f.ctx->mainMenu();
    menu.setPathBox(QString::fromStdString(toUtf8(db)));
    menu.show();
    menu.activate();
    menu.button(menuButton)->click();
    return f.ctx->screening();
  }
  test::TempDir dir;
  test::UiFixture f;
};

QPushButton* button(QWidget& w, const char* name) { return test::UiFixture::find<QPushButton>(w, name); }

int column(const ui::FlexGrid* g, const QString& title) {
  for (int c = 0; c < g->cols(); ++c)
    if (g->textMatrix(0, c) == title) return c;
  return -1;
}

int rowOf(const ui::FlexGrid* g, const QString& control) {
  for (int r = 1; r < g->rows(); ++r)
    if (g->textMatrix(r, 1) == control) return r;
  return -1;
}

}  // namespace

class BacktestWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void countsEqualWhatEveryButtonLists();
  void currentPatternMarkedApartAndEmptyPatternsDimmed();
  void backtestWindowListsEveryPatternAndItsHits();
  void cancelStopsTheRun();
  void horizonPastTheHistoryIsRefusedInTheStatus();
  void chartOpensFromTheBacktestAndMarksThePatternDays();
};

void BacktestWindowTest::chartOpensFromTheBacktestAndMarksThePatternDays() {
  Sample s;
  const Paths paths(s.dir.path());
  s.open(paths.dailyDb());
  s.f.ctx->backtest().openChart(QStringLiteral("1101"));  // a sample stock that shows a pattern today
  ui::ChartWindow& c = s.f.ctx->chart();
  QVERIFY(c.isVisible());
  QCOMPARE(QString::fromStdString(c.stock().code), QStringLiteral("1101"));
  auto* canvas = c.findChild<ui::ChartCanvas*>(QStringLiteral("chartCanvas"));
  QVERIFY(canvas->markedDays().empty());
  c.findChild<QCheckBox*>(QStringLiteral("chartPatternDaysCheck"))->setChecked(true);
  // The days are those the command line's reverse question lists.
  std::unordered_set<int> expected;
  for (const backtest::StockDate& d : backtest::patternDaysOfStock(paths.dailyDb(), "1101")) expected.insert(d.day);
  QVERIFY(!expected.empty());
  QCOMPARE(canvas->markedDays(), expected);
  QVERIFY(expected.count(c.stock().series.days.back()));  // today's pattern
  c.findChild<QCheckBox*>(QStringLiteral("chartPatternDaysCheck"))->setChecked(false);
  QVERIFY(canvas->markedDays().empty());
}

void BacktestWindowTest::countsEqualWhatEveryButtonLists() {
  Sample s;
  const Paths paths(s.dir.path());
  for (const auto& [db, menuButton] :
       {std::pair{paths.dailyDb(), "Command53"}, std::pair{paths.weeklyDb(), "Command53"}}) {
    auto& w = s.open(db, menuButton);
    int total = 0;
    for (const auto& p : screening::patternCatalogue()) {
      const QString name = QString::fromLatin1(p.control);
      const int count = w.patternCount(name);
      QVERIFY2(count >= 0, p.control);
      auto* label = w.findChild<QLabel*>(QStringLiteral("patternCount") + name);
      QVERIFY2(label && label->text() == QString::number(count), p.control);
      w.patternButton(name)->click();
      QCOMPARE(w.grid()->rows() - 1, count);
      QCOMPARE(w.patternStatusText(), QStringLiteral("%1: %2 件").arg(QString::fromUtf8(p.caption)).arg(count));
      // The caption stays; the tooltip names caption, group and count.
      QCOMPARE(w.patternButton(name)->text(), QString::fromUtf8(p.caption));
      QVERIFY(w.patternButton(name)->toolTip().contains(QStringLiteral("%1 件").arg(count)));
      total += count;
    }
    QVERIFY(total >= 67);
    QVERIFY(w.patternButton("Command22")->toolTip().startsWith(QStringLiteral("R1（押し目待ち）")));
    test::UiFixture::click(w, "Command5");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
}

void BacktestWindowTest::currentPatternMarkedApartAndEmptyPatternsDimmed() {
  // Four stocks: most patterns list none of them.
  test::TempDir dir;
  test::UiFixture f(dir.path());
  const auto db = dir / "kabuka.mdb";
  createPriceDatabase(db, "day");
  {
    Database d(db);
    for (int i = 0; i < 4; ++i)
      d.execute(
          "insert into [list] ([銘柄],[コード],[市場],[単位],[kabuka1],[kabuka2],[kabuka3],[kabuka4],[kabuka5],"
          "[kabuka6],[kabuka7],[kabuka8],[kabuka9],[kabuka10]) values (?,?,'東証１部',100,1000,1000+?,1000,1000,"
          "1000,1000,1000,1000,1000,1000)",
          {Value("株" + std::to_string(i)), Value(1301 + i), Value(100 * i)});
  }
  auto& menu = f.ctx->mainMenu();
  menu.setPathBox(QString::fromStdString(toUtf8(db)));
  menu.show();
  menu.activate();
  menu.button("Command53")->click();
  auto& w = f.ctx->screening();
  QCOMPARE(w.patternCount("Command14"), 1);  // only the flat one
  QPushButton* flat = w.patternButton("Command14");
  QPushButton* empty = w.patternButton("Command28");
  QCOMPARE(w.patternCount("Command28"), 0);
  QVERIFY(empty->property("dimmed").toBool());
  QVERIFY(!flat->property("dimmed").toBool());
  QVERIFY(empty->styleSheet().contains("#8c8c8c"));
  QVERIFY(empty->isEnabled());
  QVERIFY(w.currentPattern().isEmpty());

  flat->click();
  QCOMPARE(w.currentPattern(), QString("Command14"));
  QVERIFY(flat->property("currentPattern").toBool());
  QVERIFY(flat->styleSheet().contains("#ffff80") && flat->styleSheet().contains("border"));
  QCOMPARE(w.patternStatusText(), QString("保合: 1 件"));
  // A dimmed button still works: the grid lists nothing, and it is now the current one.
  empty->click();
  QCOMPARE(w.grid()->rows(), 1);
  QCOMPARE(w.currentPattern(), QString("Command28"));
  QVERIFY(empty->property("currentPattern").toBool());
  QVERIFY(empty->styleSheet().contains("border"));
  QCOMPARE(w.patternStatusText(), QString("B1: 0 件"));
  // The button pressed before stays light yellow, without the frame.
  QVERIFY(!flat->property("currentPattern").toBool());
  QVERIFY(flat->styleSheet().contains("#ffff80"));
  QVERIFY(!flat->styleSheet().contains("border"));
  // "元に戻す" lists the universe: no pattern is current, the counts stay.
  test::UiFixture::click(w, "Command10");
  QVERIFY(w.currentPattern().isEmpty());
  QVERIFY(w.patternStatusText().isEmpty());
  QVERIFY(!empty->styleSheet().contains("border"));
  QCOMPARE(w.patternCount("Command14"), 1);
  // A changed database: the restore counts it again.
  {
    Database d(db);
    d.execute("update [list] set [kabuka2] = 1000");
  }
  test::UiFixture::click(w, "Command10");
  QCOMPARE(w.patternCount("Command14"), 4);
  flat->click();
  QCOMPARE(w.grid()->rows() - 1, 4);
}

void BacktestWindowTest::backtestWindowListsEveryPatternAndItsHits() {
  Sample s;
  const Paths paths(s.dir.path());
  auto& w = s.open(paths.dailyDb());
  test::UiFixture::click(w, "backtestButton");
  ui::BacktestWindow& bt = s.f.ctx->backtest();
  QVERIFY(bt.isVisible());
  QCOMPARE(bt.objectName(), QString("BacktestWindow"));
  QVERIFY(bt.waitForRun(60000));
  QVERIFY2(bt.statusText().contains("日"), qPrintable(bt.statusText()));
  for (const char* n : {"backtestRunButton", "backtestCancelButton", "backtestChartButton", "backtestCloseButton"})
    QVERIFY2(button(bt, n), n);
  QVERIFY(bt.findChild<QProgressBar*>("backtestProgress"));

  // The same figures as the core computes, for every pattern and horizon.
  backtest::BacktestRequest request;
  request.universeIndex = 1;
  request.horizons = ui::BacktestWindow::horizons();
  const backtest::HistoryPanel panel = backtest::loadHistoryPanel(paths.dailyDb());
  const backtest::BacktestResult expected = backtest::runBacktest(panel, request);
  ui::FlexGrid* g = bt.summaryGrid();
  QCOMPARE(g->rows(), 1 + 67 + 1);
  QCOMPARE(g->textMatrix(0, 5), QString("1日後 件数"));
  QCOMPARE(g->textMatrix(0, 16), QString("10日後 勝率%"));
  for (const backtest::PatternResult& p : expected.patterns) {
    const QString control = QString::fromLatin1(screening::patternCatalogue()[p.pattern].control);
    const int r = rowOf(g, control);
    QVERIFY(r > 0);
    QCOMPARE(g->textMatrix(r, 4), QString::number(p.hits.size()));
    for (size_t h = 0; h < 3; ++h) {
      QCOMPARE(g->textMatrix(r, 5 + 4 * static_cast<int>(h)), QString::number(p.stats[h].events));
      QCOMPARE(g->textMatrix(r, 6 + 4 * static_cast<int>(h)),
               QString::fromStdString(backtest::formatNumber(p.stats[h].mean)));
    }
  }
  const int base = rowOf(g, "baseline");
  QCOMPARE(g->textMatrix(base, 5), QString::number(expected.baseline[0].events));
  QCOMPARE(g->textMatrix(base, 8), QString::fromStdString(backtest::formatNumber(expected.baseline[0].win)));

  // Sorting by a title: the mean of 5 dates, largest first, then the other way round.
  const int mean5 = column(g, "5日後 平均%");
  QVERIFY(mean5 > 0);
  emit g->headerClicked(mean5);
  auto means = [&] {
    std::vector<double> v;
    for (int r = 1; r < g->rows(); ++r)
      if (!g->textMatrix(r, mean5).isEmpty()) v.push_back(g->textMatrix(r, mean5).toDouble());
    return v;
  };
  const std::vector<double> down = means();
  QVERIFY(down.size() > 10 && std::is_sorted(down.rbegin(), down.rend()));
  emit g->headerClicked(mean5);
  const std::vector<double> up = means();
  QVERIFY(std::is_sorted(up.begin(), up.end()));

  // Selecting a pattern lists its hits, latest first; a stock asks for its chart.
  const int flatRow = rowOf(g, "Command14");
  g->view()->setCurrentIndex(g->model()->index(flatRow - 1, 2));  // model rows start below the titles
  QCOMPARE(bt.shownPattern(), QString("Command14"));
  ui::FlexGrid* hits = bt.hitGrid();
  QCOMPARE(QString::number(hits->rows() - 1), g->textMatrix(flatRow, 4));
  QVERIFY(hits->rows() > 2);
  QVERIFY(hits->textMatrix(1, 1) >= hits->textMatrix(hits->rows() - 1, 1));
  QCOMPARE(hits->textMatrix(0, 6), QString("1日後%"));
  QSignalSpy spy(&bt, &ui::BacktestWindow::chartRequested);
  hits->view()->setCurrentIndex(hits->model()->index(0, 3));
  test::UiFixture::click(bt, "backtestChartButton");
  QCOMPARE(spy.count(), 1);
  QCOMPARE(spy.at(0).at(0).toString(), hits->textMatrix(1, 2));
  QVERIFY(!spy.at(0).at(0).toString().isEmpty());

  // Opening it again for the same universe keeps the result; "閉じる" hides it.
  test::UiFixture::click(w, "backtestButton");
  QVERIFY(!bt.running());
  QCOMPARE(bt.shownPattern(), QString("Command14"));
  test::UiFixture::click(bt, "backtestCloseButton");
  QVERIFY(!bt.isVisible());
}

void BacktestWindowTest::cancelStopsTheRun() {
  Sample s;
  const Paths paths(s.dir.path());
  ui::BacktestWindow& bt = s.f.ctx->backtest();
  bt.show();
  bt.openFor(1, toUtf8(paths.dailyDb()), {}, "day");
  QVERIFY(bt.running());
  QVERIFY(!button(bt, "backtestRunButton")->isEnabled());
  QVERIFY(button(bt, "backtestCancelButton")->isEnabled());
  button(bt, "backtestCancelButton")->click();
  QVERIFY(bt.waitForRun(60000));
  QCOMPARE(bt.statusText(), QString("中止しました。"));
  QCOMPARE(bt.summaryGrid()->rows(), 1);
  QVERIFY(button(bt, "backtestRunButton")->isEnabled());
  // Run again to the end; a window closed while running waits for its worker.
  test::UiFixture::click(bt, "backtestRunButton");
  QVERIFY(bt.waitForRun(60000));
  QCOMPARE(bt.summaryGrid()->rows(), 69);
  test::UiFixture::click(bt, "backtestRunButton");
  QVERIFY(bt.running());
  s.f.ctx->unload(&bt);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Fifteen dates: the first date tested (the tenth) has five after it, so the
// window's ten-date horizon is refused in its status line, without a dialog.
void BacktestWindowTest::horizonPastTheHistoryIsRefusedInTheStatus() {
  test::TempDir dir;
  test::UiFixture f(dir.path());
  const auto db = dir / "short.mdb";
  createPriceDatabase(db, "day");
  {
    Database d(db);
    Transaction tx(d);
    HistoryWriter history(d);
    d.execute("insert into [list] ([銘柄],[コード],[市場],[単位]) values (?,?,?,?)",
              {Value(std::string("株1301")), historyCodeValue("1301"), Value(std::string("東証プライム")), Value(100)});
    const int day0 = *dayFromCivil(2026, 1, 1);
    for (int k = 0; k < 15; ++k) history.putClose(historyCodeValue("1301"), day0 + k, 1000 + k);
    history.flush();
    tx.commit();
  }
  ui::BacktestWindow& bt = f.ctx->backtest();
  bt.show();
  bt.openFor(1, toUtf8(db), {}, "day");
  QVERIFY(bt.waitForRun(60000));
  QVERIFY2(bt.statusText().contains(QStringLiteral("最長 5 日後")), qPrintable(bt.statusText()));
  QVERIFY2(bt.statusText().contains(QStringLiteral("2026-01-10")), qPrintable(bt.statusText()));
  QVERIFY2(bt.statusText().contains(QStringLiteral("10 日後")), qPrintable(bt.statusText()));
  QCOMPARE(bt.summaryGrid()->rows(), 1);
  QVERIFY(f.prompts.messages().empty());
  QVERIFY(button(bt, "backtestRunButton")->isEnabled());
}

QTEST_MAIN(BacktestWindowTest)
#include "backtest_window_test.moc"
