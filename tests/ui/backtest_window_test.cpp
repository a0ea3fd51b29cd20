#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QtTest>

#include "backtest/backtest.h"
#include "base/calendar.h"
#include "base/text.h"
#include "data/grid_sort.h"
#include "data/price_schema.h"
#include "export/table_export.h"
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
using ui::FlexGrid;

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

// The summary's row of a pattern (its control name, or "baseline").
int rowOf(const ui::BacktestWindow& bt, const QString& control) {
  for (int r = 1; r < bt.summaryGrid()->rows(); ++r)
    if (bt.patternAt(r) == control) return r;
  return -1;
}

}  // namespace

class BacktestWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void countsEqualWhatEveryButtonLists();
  void currentPatternMarkedApartAndEmptyPatternsDimmed();
  void backtestWindowListsEveryPatternAndItsHits();
  void hitGridShowsSortsAndSavesTheHits();
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
  QCOMPARE(g->cols(), 1 + 3 + 12);
  QCOMPARE(g->textMatrix(0, 1), QString("パターン"));
  QCOMPARE(g->textMatrix(0, 4), QString("1日後 件数"));
  QCOMPARE(g->textMatrix(0, 15), QString("10日後 勝率%"));
  for (const backtest::PatternResult& p : expected.patterns) {
    const QString control = QString::fromLatin1(screening::patternCatalogue()[p.pattern].control);
    const int r = rowOf(bt, control);
    QVERIFY(r > 0);
    QCOMPARE(g->textMatrix(r, 3), QString::number(p.hits.size()));
    for (size_t h = 0; h < 3; ++h) {
      QCOMPARE(g->textMatrix(r, 4 + 4 * static_cast<int>(h)), QString::number(p.stats[h].events));
      QCOMPARE(g->textMatrix(r, 5 + 4 * static_cast<int>(h)),
               QString::fromStdString(backtest::formatNumber(p.stats[h].mean)));
    }
  }
  const int base = rowOf(bt, "baseline");
  QCOMPARE(g->textMatrix(base, 1), QString("基準（全銘柄）"));
  QCOMPARE(g->textMatrix(base, 4), QString::number(expected.baseline[0].events));
  QCOMPARE(g->textMatrix(base, 7), QString::fromStdString(backtest::formatNumber(expected.baseline[0].win)));

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

  // The first column shows each pattern's caption beside its group; the
  // pointer over the caption names the button, on whatever row it is now.
  const int b1 = rowOf(bt, "Command28");
  QCOMPARE(g->textMatrix(b1, 1), QString("B1"));
  QCOMPARE(g->textMatrix(b1, 2), QString("横這から上昇"));
  QCOMPARE(g->model()->data(g->model()->index(b1 - 1, 1), Qt::ToolTipRole).toString(), QString("Command28"));
  QCOMPARE(g->model()->data(g->model()->index(b1 - 1, 2), Qt::ToolTipRole).toString(), QString("横這から上昇"));
  for (int r = 1; r < g->rows(); ++r) {
    if (bt.patternAt(r) == QLatin1String("baseline")) continue;
    const auto* p = screening::findPattern(bt.patternAt(r).toStdString());
    QVERIFY2(p, qPrintable(bt.patternAt(r)));
    QCOMPARE(g->cellToolTip(r, 1), QString::fromLatin1(p->control));
    QCOMPARE(g->textMatrix(r, 1), QString::fromUtf8(p->caption));
    QVERIFY(!g->textMatrix(r, 1).startsWith("Command"));
  }
  // No column shows a control name, and a saved summary holds none.
  for (const auto& row : g->exportTable().rows)
    for (const auto& cell : row) QVERIFY2(cell.text.rfind("Command", 0) != 0, cell.text.c_str());

  // Selecting a pattern lists its hits, latest first; a stock asks for its chart.
  const int flatRow = rowOf(bt, "Command14");
  g->view()->setCurrentIndex(g->model()->index(flatRow - 1, 2));  // model rows start below the titles
  QCOMPARE(bt.shownPattern(), QString("Command14"));
  ui::FlexGrid* hits = bt.hitGrid();
  QCOMPARE(QString::number(hits->rows() - 1), g->textMatrix(flatRow, 3));
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

namespace {

// The hit list as the window made it with a row of values per hit: latest
// dates first, each cell's text and whether it was a number.
std::vector<std::vector<exporting::ExportCell>> listedHits(const backtest::HistoryPanel& panel,
                                                           const backtest::PatternResult& p) {
  std::vector<std::vector<exporting::ExportCell>> rows;
  for (auto it = p.hits.rbegin(); it != p.hits.rend(); ++it) {
    const backtest::PanelStock& s = panel.stocks[it->stock];
    auto& row = rows.emplace_back();
    row.push_back({isoDate(panel.days[it->day]), false});
    row.push_back(exporting::cellOf(s.code));
    row.push_back({s.name, false});
    row.push_back({s.market, false});
    row.push_back(exporting::cellOf(Value(panel.closeAt(it->stock, it->day))));
    for (int h : ui::BacktestWindow::horizons())
      row.push_back({backtest::formatNumber(backtest::hitReturn(panel, *it, h)), false});
  }
  return rows;
}

}  // namespace

// The hit grid, whose rows are made when shown, shows, sorts and saves the
// same cells as a list of every hit's values: each title click orders the
// rows as a stable sort of the texts shown, the CSV holds those bytes and
// the workbook those cells.
void BacktestWindowTest::hitGridShowsSortsAndSavesTheHits() {
  Sample s;
  const Paths paths(s.dir.path());
  ui::BacktestWindow& bt = s.f.ctx->backtest();
  bt.show();
  bt.openFor(1, toUtf8(paths.dailyDb()), {}, "day");
  QVERIFY(bt.waitForRun(60000));
  backtest::BacktestRequest request;
  request.universeIndex = 1;
  request.horizons = ui::BacktestWindow::horizons();
  const backtest::HistoryPanel panel = backtest::loadHistoryPanel(paths.dailyDb());
  const backtest::BacktestResult result = backtest::runBacktest(panel, request);
  // The pattern with the most hits.
  const backtest::PatternResult* most = &result.patterns.front();
  for (const auto& p : result.patterns)
    if (p.hits.size() > most->hits.size()) most = &p;
  QVERIFY(most->hits.size() > 100);
  const screening::ScreeningPattern& mostPattern = screening::patternCatalogue()[most->pattern];
  QVERIFY(bt.showPattern(QString::fromLatin1(mostPattern.control)));
  // The label names the button as the panel does; its control name in the tooltip.
  auto* hitsLabel = bt.findChild<QLabel*>("backtestHitsLabel");
  QVERIFY(hitsLabel);
  QCOMPARE(hitsLabel->text(),
           QString::fromStdString(screening::patternTitle(mostPattern) +
                                  " のヒット: " + groupedCount(static_cast<std::int64_t>(most->hits.size())) + " 件"));
  QCOMPARE(hitsLabel->toolTip(), QString::fromLatin1(mostPattern.control));
  ui::FlexGrid* hits = bt.hitGrid();
  hits->setExportName("ヒット");

  std::vector<std::vector<exporting::ExportCell>> expected = listedHits(panel, *most);
  auto check = [&](const char* step) {
    QCOMPARE(hits->rows(), static_cast<int>(expected.size()) + 1);
    const exporting::ExportTable shown = hits->exportTable();
    QCOMPARE(shown.titles,
             (std::vector<std::string>{"日付", "コード", "銘柄", "市場", "終値", "1日後%", "5日後%", "10日後%"}));
    for (size_t r = 0; r < expected.size(); ++r)
      for (size_t c = 0; c < expected[r].size(); ++c) {
        QVERIFY2(shown.rows[r][c].text == expected[r][c].text && shown.rows[r][c].number == expected[r][c].number,
                 qPrintable(QString("%1: row %2, column %3: %4")
                                .arg(step)
                                .arg(r + 1)
                                .arg(c + 1)
                                .arg(QString::fromStdString(shown.rows[r][c].text))));
        QCOMPARE(hits->textMatrix(static_cast<int>(r) + 1, static_cast<int>(c) + 1).toStdString(), expected[r][c].text);
      }
  };
  check("as listed");
  // Each title, once ascending and once the other way round.
  for (int col = 1; col < hits->cols(); ++col)
    for (int setting : {FlexGrid::GenericAscending, FlexGrid::GenericDescending}) {
      emit hits->headerClicked(col);
      std::vector<int> order(expected.size());
      std::vector<std::string> texts;
      for (size_t i = 0; i < order.size(); ++i) {
        order[i] = static_cast<int>(i);
        texts.push_back(expected[i][static_cast<size_t>(col - 1)].text);
      }
      sortGridOrder(order, texts, setting);
      std::vector<std::vector<exporting::ExportCell>> sorted;
      for (int i : order) sorted.push_back(expected[static_cast<size_t>(i)]);
      expected = std::move(sorted);
      check(qPrintable(QString("column %1, setting %2").arg(col).arg(setting)));
    }

  // Saved: the CSV's bytes, the workbook's cells, as sorted last.
  exporting::ExportTable table;
  table.titles = hits->exportTable().titles;
  table.rows = expected;
  const std::filesystem::path csv = s.dir / "hits.csv", xlsx = s.dir / "hits.xlsx";
  s.f.nextSaveChoice = ui::SaveFileChoice{toUtf8(csv), 0};
  QVERIFY(hits->saveAs());
  QVERIFY(test::readFileBytes(csv) == "\xEF\xBB\xBF" + exporting::csvText(table));
  s.f.nextSaveChoice = ui::SaveFileChoice{toUtf8(xlsx), 2};
  QVERIFY(hits->saveAs());
  const auto r = test::runCommand("/usr/bin/python3 " + std::string(TAVRIN_TEST_DATA_DIR) + "/read_table.py xlsx '" +
                                  toUtf8(xlsx) + "'");
  QCOMPARE(r.status, 0);
  std::string listing;
  auto line = [&](const std::vector<exporting::ExportCell>& cells) {
    for (size_t c = 0; c < cells.size(); ++c)
      listing += (c ? "\xE2\x90\x9E" : "") +
                 (cells[c].text.empty() ? std::string("e:") : (cells[c].number ? "n:" : "s:") + cells[c].text);
    listing += "\n";
  };
  std::vector<exporting::ExportCell> titles;
  for (const std::string& t : table.titles) titles.push_back({t, false});
  line(titles);
  for (const auto& row : expected) line(row);
  QVERIFY(r.out.rfind(listing + "sheet:ヒット\n", 0) == 0);
  QVERIFY(s.f.prompts.messages().empty());
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
