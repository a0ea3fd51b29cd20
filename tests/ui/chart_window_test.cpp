#include <QAction>
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMouseEvent>
#include <QTableView>
#include <QtTest>

#include "base/log.h"
#include "chart/chart_data.h"
#include "data/price_schema.h"
#include "history/price_history.h"
#include "test_support.h"
#include "ui/app/main_menu_window.h"
#include "ui/chart/chart_canvas.h"
#include "ui/chart/chart_window.h"
#include "ui/common/flex_grid.h"
#include "ui/registration/list_browser_window.h"
#include "ui/screening/screening_window.h"
#include "ui_test_support.h"

using namespace tavrin;

namespace {

bool businessDay(int d) {
  const int weekday = ((d % 7) + 7 + 4) % 7;
  return weekday != 0 && weekday != 6;
}

// Four stocks; the first has 300 business days of history ending on the
// latest registered date (closes 1000, 1001, ... yen; the days of even index
// rise from their open, the others fall; volumes 1,000, 2,000, ...), the
// others only their ten positions.
struct Env {
  explicit Env(const std::string& unit = "day") : f(dir.path()) {
    db = dir / "kabuka.mdb";
    createPriceDatabase(db, unit);
    std::vector<int> days;
    for (int d = *dayFromCivil(2026, 12, 18); days.size() < 300; --d)
      if (businessDay(d)) days.insert(days.begin(), d);
    Database d(db);
    Transaction tx(d);
    auto rec = *readDateRecord(d);
    for (int i = 0; i < 10; ++i) rec.dates[static_cast<size_t>(i)] = recordDate(days[days.size() - 1 - i]);
    writeDateRecord(d, rec);
    const char* names[] = {"履歴あり", "十日だけ", "急騰", "文字"};
    const Value codes[] = {Value(std::int64_t{1001}), Value(std::int64_t{1002}), Value(std::int64_t{1003}),
                           Value("130A")};
    for (int s = 0; s < 4; ++s) {
      std::vector<Value> params{Value(names[s]), codes[s], Value("東証１部"), Value(std::int64_t{100})};
      for (int k = 0; k < 10; ++k) params.emplace_back(static_cast<std::int64_t>(1299 - k + s * 1000));
      d.execute(
          "insert into [list] ([銘柄],[コード],[市場],[単位],[kabuka1],[kabuka2],[kabuka3],[kabuka4],[kabuka5],"
          "[kabuka6],[kabuka7],[kabuka8],[kabuka9],[kabuka10]) values (?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
          params);
    }
    HistoryWriter w(d);
    for (size_t k = 0; k < days.size(); ++k) w.put(Value(std::int64_t{1001}), bar(days[k], k));
    w.flush();
    tx.commit();
    latest = days.back();
  }
  ui::MainMenuWindow& menu() { return f.menuOn(db); }
  ui::ScreeningWindow& screening() {
    menu().button("Command53")->click();
    return f.ctx->screening();
  }
  static int rowOf(ui::FlexGrid* g, const QString& code) {
    for (int r = 1; r < g->rows(); ++r)
      if (g->textMatrix(r, 3) == code) return r;
    return -1;
  }
  ui::ChartWindow& chart() { return f.ctx->chart(); }
  static Bar bar(int day, std::size_t k) {
    const auto close = static_cast<std::int32_t>(1000 + k) * 10;
    Bar b;
    b.day = day;
    b.close = close;
    b.open = k % 2 == 0 ? close - 30 : close + 40;
    b.high = std::max(b.open, b.close) + 20;
    b.low = std::min(b.open, b.close) - 20;
    b.volume = 1000 * static_cast<std::int64_t>(k + 1);
    return b;
  }

  test::TempDir dir;
  test::UiFixture f;
  std::filesystem::path db;
  int latest = 0;
};

// The chart item of the grid's context menu, which keeps copying and saving too.
QAction* chartAction(ui::FlexGrid* g) {
  QAction* chart = nullptr;
  bool copy = false;
  for (QAction* a : g->contextMenu()->actions()) {
    if (a->objectName() == QLatin1String("chartWindowAction")) chart = a;
    copy = copy || a->objectName() == QLatin1String("gridCopyAction");
  }
  return copy ? chart : nullptr;
}

}  // namespace

class ChartWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { setLogQuiet(true); }

  void screeningButtonEnterKeyAndContextItemOpenTheRowsStock() {
    Env e;
    ui::ScreeningWindow& s = e.screening();
    ui::FlexGrid* g = s.grid();
    QCOMPARE(g->rows(), 5);

    g->setRow(Env::rowOf(g, "1003"));
    test::UiFixture::click(s, "chartWindowButton");
    ui::ChartWindow& c = e.chart();
    QVERIFY(c.isVisible());
    QCOMPARE(QString::fromStdString(c.stock().code), QStringLiteral("1003"));
    QVERIFY(c.windowTitle().contains(QStringLiteral("急騰（1003・東証１部）")));

    // Enter on a grid row: the same window shows the other stock.
    g->setRow(Env::rowOf(g, "1001"));
    g->view()->setFocus();
    QTest::keyClick(g->view(), Qt::Key_Return);
    QCOMPARE(&e.chart(), &c);
    QCOMPARE(QString::fromStdString(c.stock().code), QStringLiteral("1001"));
    QCOMPARE(c.stock().series.size(), 300u);

    // The grid's context-menu item.
    QAction* item = chartAction(g);
    QVERIFY(item);
    QCOMPARE(item->text(), QStringLiteral("チャートを表示"));
    QCOMPARE(g->contextMenu()->actions().first(), item);  // first, above copying and saving
    g->setRow(Env::rowOf(g, "130A"));
    item->trigger();
    QCOMPARE(QString::fromStdString(c.stock().code), QStringLiteral("130A"));
    QCOMPARE(c.findChild<QLabel*>("chartTitleLabel")->text(), QStringLiteral("文字（130A・東証１部）"));

    // Without a stock row: a message, and the chart stays as it was.
    g->setRow(0);
    test::UiFixture::click(s, "chartWindowButton");
    QCOMPARE(e.f.prompts.shown().size(), 1u);
    QCOMPARE(QString::fromStdString(e.f.prompts.shown().back().text),
             QStringLiteral("チャートを表示する銘柄を選んでください"));
    QCOMPARE(QString::fromStdString(c.stock().code), QStringLiteral("130A"));
  }

  void listBrowserOpensTheSelectedStock() {
    Env e;
    e.menu().button("Command22")->click();
    ui::ListBrowserWindow& b = e.f.ctx->listBrowser();
    ui::FlexGrid* g = b.grid();
    g->setRow(Env::rowOf(g, "1002"));
    test::UiFixture::click(b, "chartWindowButton");
    QCOMPARE(QString::fromStdString(e.chart().stock().code), QStringLiteral("1002"));
    g->setRow(Env::rowOf(g, "1001"));
    QTest::keyClick(g->view(), Qt::Key_Enter);
    QCOMPARE(QString::fromStdString(e.chart().stock().code), QStringLiteral("1001"));
    QVERIFY(chartAction(g));
  }

  void rangesAveragesCrosshairAndMarks() {
    Env e;
    e.menu();
    ui::ChartWindow& c = e.chart();
    QVERIFY(c.showStock(toUtf8(e.db), QStringLiteral("1001")));
    c.show();
    const chart::ChartSeries& s = c.stock().series;
    ui::ChartCanvas* canvas = c.canvas();

    const char* buttons[] = {"chartRangeShortButton", "chartRangeMediumButton", "chartRangeLongButton",
                             "chartRangeAllButton"};
    const char* captions[] = {"3か月", "6か月", "1年", "全期間"};
    const int months[] = {3, 6, 12, 0};
    QCOMPARE(canvas->range().count, chart::rangeFor(s, 12).count);  // 1年 first
    for (int i = 0; i < 4; ++i) {
      auto* b = test::UiFixture::find<QPushButton>(c, buttons[i]);
      QVERIFY2(b, buttons[i]);
      QCOMPARE(b->text(), QString::fromUtf8(captions[i]));
      b->click();
      QVERIFY(b->isChecked());
      QCOMPARE(canvas->range().first, chart::rangeFor(s, months[i]).first);
      QCOMPARE(canvas->range().end(), s.size());
    }
    QCOMPARE(canvas->range().count, 300u);

    auto* ma75 = test::UiFixture::find<QCheckBox>(c, "chartAverageLongCheck");
    QCOMPARE(ma75->text(), QStringLiteral("75日移動平均"));
    QVERIFY(canvas->averageShown(2));
    ma75->setChecked(false);
    QVERIFY(!canvas->averageShown(2));
    QCOMPARE(test::UiFixture::find<QCheckBox>(c, "chartAverageShortCheck")->text(), QStringLiteral("5日移動平均"));

    // The line under the chart: the latest point, then the point under the mouse.
    QCOMPARE(c.pointText(), QString::fromStdString(chart::pointDescription(s, 299, chart::ChartUnit::Day)));
    const QPointF at(canvas->xOf(150), canvas->height() / 2.0);
    QMouseEvent move(QEvent::MouseMove, at, canvas->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(canvas, &move);
    QCOMPARE(canvas->crosshair(), std::optional<std::size_t>(150));
    QCOMPARE(c.pointText(), QString::fromStdString(chart::pointDescription(s, 150, chart::ChartUnit::Day)));
    QVERIFY(c.pointText().contains(
        QStringLiteral("始値 1,147  高値 1,152  安値 1,145  終値 1,150  出来高 151,000  前日比 +1（+0.09%）")));

    // Marked days change the drawing.
    canvas->setCrosshair(std::nullopt);
    const QImage before = canvas->grab().toImage();
    c.setMarkedDays({s.days[200], s.days[250]}, QStringLiteral("保合"));
    QVERIFY(canvas->grab().toImage() != before);

    // The registered positions are the ten latest days.
    QCOMPARE(std::count(s.registered.begin(), s.registered.end(), true), 10);
    QVERIFY(s.registered.back());
  }

  void onlyTheTenPositionsStillDraw() {
    Env e;
    e.menu();
    ui::ChartWindow& c = e.chart();
    QVERIFY(c.showStock(toUtf8(e.db), QStringLiteral("1002")));
    QCOMPARE(c.stock().series.size(), 10u);
    QCOMPARE(c.stock().series.days.back(), e.latest);
    QCOMPARE(c.stock().series.bars.back().close, 22990);  // tenths of a yen
    QVERIFY(c.findChild<QLabel*>("chartNoteLabel")->text().contains(QStringLiteral("10期間だけ")));
    c.show();
    QCOMPARE(c.canvas()->range().count, 10u);

    // An unknown code: a message, the window keeps its stock.
    QVERIFY(!c.showStock(toUtf8(e.db), QStringLiteral("9999")));
    QCOMPARE(e.f.prompts.shown().size(), 1u);
    QCOMPARE(QString::fromStdString(c.stock().code), QStringLiteral("1002"));
  }

  void weeklyDatabaseUsesWeeklyRangesAndAverages() {
    Env e("week");
    e.menu();
    ui::ChartWindow& c = e.chart();
    QVERIFY(c.showStock(toUtf8(e.db), QStringLiteral("1001")));
    QCOMPARE(test::UiFixture::find<QPushButton>(c, "chartRangeShortButton")->text(), QStringLiteral("6か月"));
    QCOMPARE(test::UiFixture::find<QPushButton>(c, "chartRangeLongButton")->text(), QStringLiteral("3年"));
    QCOMPARE(test::UiFixture::find<QCheckBox>(c, "chartAverageShortCheck")->text(), QStringLiteral("13週移動平均"));
    QVERIFY(c.pointText().contains(QStringLiteral("前週比")));
    // Its own bars as they are (here a day each), no unit to choose.
    c.show();
    QVERIFY(!test::UiFixture::find<QPushButton>(c, "chartWeeklyButton")->isVisible());
    QCOMPARE(c.viewUnit(), chart::ChartUnit::Week);
    QCOMPARE(c.shownSeries().bars, c.stock().series.bars);
    QCOMPARE(c.shownSeries().size(), 300u);
  }

  void candlesInTheirColoursAndTheVolumePane() {
    Env e;
    e.menu();
    ui::ChartWindow& c = e.chart();
    QVERIFY(c.showStock(toUtf8(e.db), QStringLiteral("1001")));
    c.show();
    QVERIFY(QTest::qWaitForWindowExposed(&c));
    test::UiFixture::click(c, "chartRangeShortButton");  // 3か月: wide candles
    ui::ChartCanvas* canvas = c.canvas();
    const chart::ChartSeries& s = c.shownSeries();
    const chart::IndexRange r = canvas->range();
    const ui::ChartCanvas::Marks& m = canvas->marks();
    QCOMPARE(m.style, chart::PriceStyle::Candles);
    QCOMPARE(static_cast<std::size_t>(m.risingBodies.size() + m.fallingBodies.size()), r.count);
    QVERIFY(!m.risingBodies.isEmpty() && !m.fallingBodies.isEmpty());
    QCOMPARE(static_cast<std::size_t>(m.volumeBars.size()), r.count);
    QVERIFY(!m.volumePane.isEmpty());
    QVERIFY(m.volumePane.top() > m.pricePane.bottom());
    QVERIFY(m.closeLines.empty());

    // A rising day is red in the middle of its body, a falling one blue, and
    // the volume pane has a bar under each.
    const QImage image = canvas->grab().toImage();
    auto pixelAt = [&](std::size_t i, double yen) {
      return image.pixelColor(static_cast<int>(std::floor(canvas->xOf(i))), static_cast<int>(canvas->priceY(yen)));
    };
    const std::size_t rising = r.end() - 2, falling = r.end() - 1;  // 298 rises, 299 falls
    QCOMPARE(chart::barKind(s.bars[rising]), chart::BarKind::Rising);
    QCOMPARE(chart::barKind(s.bars[falling]), chart::BarKind::Falling);
    QCOMPARE(pixelAt(rising, (s.bars[rising].open + s.bars[rising].close) / 20.0), ui::ChartCanvas::risingColor());
    QCOMPARE(pixelAt(falling, (s.bars[falling].open + s.bars[falling].close) / 20.0), ui::ChartCanvas::fallingColor());
    const QRectF latestVolume = m.volumeBars.back();
    QVERIFY(latestVolume.bottom() >= m.volumePane.bottom() - 1);
    QVERIFY(latestVolume.height() > m.volumePane.height() / 2);  // the largest volume of the range
    const QColor volume = image.pixelColor(latestVolume.center().toPoint());
    QVERIFY(volume != Qt::white && volume != ui::ChartCanvas::risingColor());

    // The whole history (300 days) in fewer than three pixels a day: high-low
    // bars, then the line for a stock with its closes alone.
    c.resize(700, 560);
    c.layout()->activate();
    QVERIFY(canvas->width() < 3 * 300);
    test::UiFixture::click(c, "chartRangeAllButton");
    QCOMPARE(canvas->marks().style, chart::PriceStyle::HighLow);
    QVERIFY(canvas->marks().risingBodies.isEmpty());
    QCOMPARE(static_cast<std::size_t>(canvas->marks().risingWicks.size() + canvas->marks().fallingWicks.size()),
             s.size());
    QVERIFY(c.showStock(toUtf8(e.db), QStringLiteral("1002")));
    QCOMPARE(canvas->marks().style, chart::PriceStyle::Line);
    QVERIFY(canvas->marks().volumePane.isEmpty());
    QCOMPARE(canvas->marks().closeLines.size(), 1u);

    // The crosshair's bar in the line under the chart.
    QVERIFY(c.showStock(toUtf8(e.db), QStringLiteral("1001")));
    const QImage before = canvas->grab().toImage();
    canvas->setCrosshair(std::size_t{250});
    QVERIFY(canvas->grab().toImage() != before);
    QVERIFY(c.pointText().startsWith(QString::fromStdString(chart::barDate(s, 250, chart::ChartUnit::Day))));
    QVERIFY(c.pointText().contains(QStringLiteral("出来高 251,000")));
  }

  void dailyWeeklyAndMonthlyCandles() {
    Env e;
    e.menu();
    ui::ChartWindow& c = e.chart();
    QVERIFY(c.showStock(toUtf8(e.db), QStringLiteral("1001")));
    c.show();
    auto* daily = test::UiFixture::find<QPushButton>(c, "chartDailyButton");
    auto* weekly = test::UiFixture::find<QPushButton>(c, "chartWeeklyButton");
    auto* monthly = test::UiFixture::find<QPushButton>(c, "chartMonthlyButton");
    QVERIFY(daily && weekly && monthly);
    QCOMPARE(daily->text(), QStringLiteral("日足"));
    QCOMPARE(weekly->text(), QStringLiteral("週足"));
    QCOMPARE(monthly->text(), QStringLiteral("月足"));
    QVERIFY(daily->isVisible() && daily->isChecked());
    const chart::ChartSeries& days = c.stock().series;
    c.setMarkedDays({days.days[297], days.days[120]}, QStringLiteral("保合"));

    weekly->click();
    QVERIFY(weekly->isChecked() && !daily->isChecked());
    QCOMPARE(c.viewUnit(), chart::ChartUnit::Week);
    const chart::ChartSeries weeks = chart::seriesInUnit(days, chart::ChartUnit::Week);
    QCOMPARE(c.shownSeries().bars, weeks.bars);
    QCOMPARE(c.canvas()->range().count, chart::rangeFor(weeks, 36).count);  // 3年
    QCOMPARE(test::UiFixture::find<QPushButton>(c, "chartRangeShortButton")->text(), QStringLiteral("6か月"));
    QCOMPARE(test::UiFixture::find<QCheckBox>(c, "chartAverageShortCheck")->text(), QStringLiteral("13週移動平均"));
    QVERIFY(c.pointText().contains(QStringLiteral("前週比")));
    QCOMPARE(c.pointText(),
             QString::fromStdString(chart::pointDescription(weeks, weeks.size() - 1, chart::ChartUnit::Week)));
    // The marks move to the bars of their weeks.
    const std::vector<int> onWeeks = chart::barDaysOf(weeks, {days.days[297], days.days[120]}, chart::ChartUnit::Week);
    QCOMPARE(c.canvas()->markedDays(), std::unordered_set<int>(onWeeks.begin(), onWeeks.end()));
    QCOMPARE(c.canvas()->marks().style, chart::PriceStyle::Candles);
    // Marked days sit on a strip of their own under the prices, never over a candle.
    const ui::ChartCanvas::Marks& m = c.canvas()->marks();
    QVERIFY(!m.markStrip.isEmpty());
    QVERIFY(m.markStrip.top() > m.pricePane.bottom());
    QVERIFY(m.volumePane.isEmpty() || m.markStrip.bottom() < m.volumePane.top());

    monthly->click();
    QCOMPARE(c.shownSeries().size(), chart::seriesInUnit(days, chart::ChartUnit::Month).size());
    QCOMPARE(test::UiFixture::find<QCheckBox>(c, "chartAverageShortCheck")->text(), QStringLiteral("12か月移動平均"));
    QVERIFY(c.pointText().contains(QStringLiteral("前月比")));

    // Another stock keeps the chosen unit; 日足 brings the days back with their marks.
    QVERIFY(c.showStock(toUtf8(e.db), QStringLiteral("1002")));
    QCOMPARE(c.viewUnit(), chart::ChartUnit::Month);
    QVERIFY(c.showStock(toUtf8(e.db), QStringLiteral("1001")));
    c.setMarkedDays({days.days[297]}, QStringLiteral("保合"));
    daily->click();
    QCOMPARE(c.shownSeries().size(), 300u);
    QCOMPARE(c.canvas()->markedDays(), std::unordered_set<int>{c.stock().series.days[297]});
  }

  void savesThePictureThroughTheMenu() {
    Env e;
    e.menu();
    ui::ChartWindow& c = e.chart();
    QVERIFY(c.showStock(toUtf8(e.db), QStringLiteral("1001")));
    c.show();
    QString suggested;
    const QString file = QString::fromStdString((e.dir / "saved.png").string());
    c.saveFileDialog = [&](QWidget*, const QString& s) {
      suggested = s;
      return file;
    };
    auto* action = c.findChild<QAction*>("chartSavePngAction");
    QVERIFY(action);
    action->trigger();
    QVERIFY(suggested.endsWith(QStringLiteral("chart-1001.png")));
    QImage saved(file);
    QVERIFY(!saved.isNull());
    QVERIFY(saved.width() >= c.canvas()->width());

    // Cancelled: nothing written; an unwritable place: a message.
    c.saveFileDialog = [](QWidget*, const QString&) { return QString(); };
    action->trigger();
    QVERIFY(e.f.prompts.shown().empty());
    c.saveFileDialog = [&](QWidget*, const QString&) {
      return QString::fromStdString((e.dir / "missing" / "x.png").string());
    };
    action->trigger();
    QCOMPARE(e.f.prompts.shown().size(), 1u);
  }
};

QTEST_MAIN(ChartWindowTest)
#include "chart_window_test.moc"
