#include <QAction>
#include <QCheckBox>
#include <QImage>
#include <QLabel>
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
// latest registered date (closes 1000, 1001, ...), the others only their ten
// positions.
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
    for (size_t k = 0; k < days.size(); ++k)
      w.putClose(Value(std::int64_t{1001}), days[k], 1000 + static_cast<std::int64_t>(k));
    w.flush();
    tx.commit();
    latest = days.back();
  }
  ui::MainMenuWindow& menu() {
    auto& m = f.ctx->mainMenu();
    m.setPathBox(QString::fromStdString(toUtf8(db)));
    m.show();
    m.activate();
    return m;
  }
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
    QVERIFY(c.pointText().contains(QStringLiteral("終値 1,150  前日比 +1（+0.09%）")));

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
    QCOMPARE(c.stock().series.closes.back(), std::int64_t{2299});
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
