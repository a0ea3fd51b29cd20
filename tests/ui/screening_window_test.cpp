#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

#include "base/log.h"
#include "data/price_schema.h"
#include "screening/pattern_catalogue.h"
#include "screening/query_assembly.h"
#include "test_support.h"
#include "ui/app/main_menu_window.h"
#include "ui/chart/chart_entries.h"
#include "ui/chart/chart_window.h"
#include "ui/common/flex_grid.h"
#include "ui/screening/screening_window.h"
#include "ui/watchlists/watch_list_windows.h"
#include "ui_test_support.h"
#include "watchlists/watch_query.h"

using namespace tavrin;

namespace {

// Prices from 10000 and nine whole ratios.
std::vector<Value> pricesFrom(std::initializer_list<int> ratios) {
  std::vector<Value> p{Value(10000)};
  for (int r : ratios) p.emplace_back(10000 + 100 * r);
  return p;
}

struct Env {
  explicit Env(const std::string& unit = "day") : f(dir.path()) {
    db = dir / "kabuka.mdb";
    createPriceDatabase(db, unit);
    Database d(db);
    test::writeTenDecemberDates(d);
    struct S {
      const char* name;
      int code;
      const char* market;
      int unit;
      std::vector<Value> prices;
    };
    const S stocks[] = {
        {"保合一", 1001, "東証１部", 100, pricesFrom({3, -3, 0, 1, 2, 0, 0, -1, 3})},
        {"保合二", 1002, "東証２部", 1000, pricesFrom({0, 0, 0, 0, 0, 0, 0, 0, 0})},
        {"急騰", 1003, "ジャスダック", 1, pricesFrom({-12, -20, -25, -25, -30, -30, -31, -35, -40})},
        {"abc商事", 1004, "東証１部", 10, pricesFrom({9, 10, 12, 12, 20, 20, 30, 30, 30})},
    };
    for (const S& s : stocks) {
      std::vector<Value> params{Value(s.name), Value(s.code), Value(s.market), Value(s.unit)};
      params.insert(params.end(), s.prices.begin(), s.prices.end());
      d.execute(
          "insert into [list] ([銘柄],[コード],[市場],[単位],[kabuka1],[kabuka2],[kabuka3],[kabuka4],[kabuka5],"
          "[kabuka6],[kabuka7],[kabuka8],[kabuka9],[kabuka10]) values (?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
          params);
    }
  }
  ui::ScreeningWindow& open(const char* menuButton = "Command53") {
    f.menuOn(db).button(menuButton)->click();
    return f.ctx->screening();
  }
  QStringList column(ui::ScreeningWindow& w, int c) {
    QStringList out;
    for (int r = 1; r < w.grid()->rows(); ++r) out << w.grid()->textMatrix(r, c);
    return out;
  }

  test::TempDir dir;
  test::UiFixture f;
  std::filesystem::path db;
};

QString countText(ui::ScreeningWindow& w) { return test::UiFixture::find<QLineEdit>(w, "Text7")->text(); }

}  // namespace

class ScreeningWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void opensOnTheUniverseFromTheMenu();
  void everyControlIsThere();
  void patternClickListsSortsAndColours();
  void rankingFollowsTheUnitWord();
  void hiddenGroupIsReachableAndWorks();
  void searchesAndRestore();
  void typedCodesFoldToTheListsCapitals();
  void sortButtons();
  void countBoxAlwaysShowsTheCount();
  void helpMessages();
  void okClosesAndTitleBarDoesNot();
  void unknownUnitKeepsFieldNames();
  void watchListUniverseJoinsWithAnd();
  void clickedCellIsSelectedAfterPatterns();
  void universeColourLeavesGridAndBoxesWhite();
};

void ScreeningWindowTest::opensOnTheUniverseFromTheMenu() {
  Env e;
  auto& w = e.open();
  QVERIFY(w.isVisible());
  QVERIFY(!e.f.ctx->mainMenu().isVisible());
  QCOMPARE(e.f.ctx->state().universeIndex, 1);
  QCOMPARE(QString::fromStdString(e.f.ctx->state().baseQuery), QString("select * from [list1plus]"));
  QCOMPARE(w.windowTitle(), QString("全市場銘柄"));
  QCOMPARE(w.grid()->rows(), 5);
  QCOMPARE(countText(w), QString("4"));
  QCOMPARE(e.column(w, 3), QStringList({"1001", "1002", "1003", "1004"}));
  QCOMPARE(w.grid()->textMatrix(0, 6), QString("26/12/20"));
  QCOMPARE(w.grid()->textMatrix(0, 7), QString("26/12/11"));
  QCOMPARE(w.grid()->textMatrix(0, 8), QString("1日前"));
  QCOMPARE(w.grid()->textMatrix(0, 16), QString("9日前"));
  QCOMPARE(w.grid()->colWidth(2), 1280);
  QCOMPARE(test::UiFixture::find<QLineEdit>(w, "Text3")->text(), QString("day"));
  // Entering a cell fills the hidden holders.
  w.grid()->view()->setCurrentIndex(w.grid()->model()->index(2, 1));
  QCOMPARE(w.selectedCode(), QString("1003"));
  QCOMPARE(w.selectedMarket(), QString("ジャスダック"));

  // "千株" from a fresh window lists the 1000-share stocks.
  test::UiFixture::click(w, "Command5");
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  auto& w2 = e.open("Command56");
  QCOMPARE(QString::fromStdString(e.f.ctx->state().baseQuery), QString("select * from [list1plus-1000U]"));
  QCOMPARE(e.column(w2, 2), QStringList({"保合二"}));
}

void ScreeningWindowTest::everyControlIsThere() {
  Env e;
  auto& w = e.open();
  for (const char* n : {"Command5", "Command1", "Command13", "Command10", "Command34", "Command33", "Command40",
                        "Command16", "Command52", "Command26", "Command78"})
    QVERIFY2(test::UiFixture::find<QPushButton>(w, n), n);
  for (const char* n : {"Text1", "Text2", "Text3", "Text7"}) QVERIFY2(test::UiFixture::find<QLineEdit>(w, n), n);
  for (const char* n : {"Label1",    "Label10",   "Label11",    "Label3",     "Label4",     "Label5",     "Label7",
                        "Label8",    "Label9",    "Label12",    "Label13",    "Label14",    "Label15",    "Label16",
                        "Label27",   "HprLnkEx1", "HprLnkEx2",  "HprLnkEx3",  "HprLnkEx4",  "HprLnkEx5",  "HprLnkEx6",
                        "HprLnkEx7", "HprLnkEx9", "HprLnkEx10", "HprLnkEx14", "HprLnkEx15", "HprLnkEx16", "HprLnkEx17"})
    QVERIFY2(test::UiFixture::find<QLabel>(w, n), n);
  QVERIFY(!test::UiFixture::find<QLineEdit>(w, "Text1")->isVisible());
  int patterns = 0;
  for (const auto& p : screening::patternCatalogue()) {
    QPushButton* b = test::UiFixture::find<QPushButton>(w, p.control);
    QVERIFY2(b, p.control);
    QCOMPARE(b->text(), QString::fromUtf8(p.caption));
    ++patterns;
  }
  QCOMPARE(patterns, 67);
  // Rows: B1..B7 above S1..S7 above nothing; the grid below the whole panel.
  auto* b1 = test::UiFixture::find<QPushButton>(w, "Command28");
  auto* s1 = test::UiFixture::find<QPushButton>(w, "Command27");
  auto* e3 = test::UiFixture::find<QPushButton>(w, "Command109");
  QVERIFY(b1->y() < s1->y() && s1->y() < e3->y());
  QVERIFY(e3->geometry().bottom() < w.grid()->y());
  auto* byName = test::UiFixture::find<QPushButton>(w, "Command34");
  auto* byCode = test::UiFixture::find<QPushButton>(w, "Command33");
  QVERIFY(byName->y() < byCode->y());
  QVERIFY(test::UiFixture::find<QPushButton>(w, "Command40")->y() <
          test::UiFixture::find<QPushButton>(w, "Command16")->y());
}

void ScreeningWindowTest::patternClickListsSortsAndColours() {
  Env e;
  auto& w = e.open();
  QPushButton* flat = w.patternButton("Command14");
  flat->click();
  QCOMPARE(e.column(w, 2), QStringList({"保合二", "保合一"}));  // 単位 descending
  QCOMPARE(countText(w), QString("2"));
  QVERIFY(flat->styleSheet().contains("#ffff80"));
  QVERIFY(QString::fromStdString(w.data1().recordSource()).startsWith("select * from [list1plus] where ("));
  flat->click();
  QCOMPARE(e.column(w, 2), QStringList({"保合二", "保合一"}));
  QVERIFY(flat->styleSheet().contains("#ffff80"));

  // "S1"-like titles: r1 red, the rest of the ratios light blue.
  w.patternButton("Command27")->click();
  QCOMPARE(w.grid()->cellBackColor(0, 8), QColor(0xFF, 0x80, 0x80));
  QCOMPARE(w.grid()->cellBackColor(0, 16), QColor(0xC0, 0xFF, 0xFF));
  QCOMPARE(w.grid()->textMatrix(0, 8), QString("1日前"));
  // Nothing matches: only the title row, count 0.
  w.patternButton("Command102")->click();
  QCOMPARE(w.grid()->rows(), 1);
  QCOMPARE(countText(w), QString("0"));

  // A damaged view: the grid keeps its rows.
  w.patternButton("Command14")->click();
  {
    Database d(e.db);
    d.exec("drop view [list1plus]");
  }
  setLogQuiet(true);
  w.patternButton("Command50")->click();
  setLogQuiet(false);
  QCOMPARE(w.grid()->rows(), 3);
  QVERIFY(w.patternButton("Command50")->styleSheet().contains("#ffff80"));
}

void ScreeningWindowTest::rankingFollowsTheUnitWord() {
  for (const char* unit : {"day", "week"}) {
    Env e(unit);
    auto& w = e.open();
    w.patternButton("Command64")->click();  // fell: r1 >= 8 (day) or 10
    QCOMPARE(e.column(w, 2), std::string(unit) == "day" ? QStringList({"abc商事"}) : QStringList());
    w.patternButton("Command50")->click();
    QCOMPARE(e.column(w, 2), QStringList({"急騰"}));
  }
}

void ScreeningWindowTest::hiddenGroupIsReachableAndWorks() {
  Env e;
  auto& w = e.open();
  for (const char* n : {"Command57", "Command6", "Command60", "Command71", "Command102"}) {
    QPushButton* b = w.patternButton(n);
    QVERIFY(b->isEnabled());
    QVERIFY(b->geometry().bottom() < 0);
    QVERIFY(b->visibleRegion().isEmpty());
    QVERIFY(b->focusPolicy() & Qt::TabFocus);
  }
  // Reached with the keyboard and pressed.
  QPushButton* d1 = w.patternButton("Command57");
  d1->setFocus();
  QTest::keyClick(d1, Qt::Key_Space);
  QVERIFY(d1->styleSheet().contains("#ffff80"));
  QVERIFY(QString::fromStdString(w.data1().recordSource()).contains("[ratio4]"));
}

void ScreeningWindowTest::searchesAndRestore() {
  Env e;
  auto& w = e.open();
  auto& p = e.f.prompts;
  p.queueInput(std::string("1003"));
  test::UiFixture::click(w, "Command33");
  QCOMPARE(QString::fromStdString(p.shown().back().title), QString("検索"));
  QCOMPARE(QString::fromStdString(p.shown().back().text), QString("検索するコードを入力してください"));
  QCOMPARE(e.column(w, 2), QStringList({"急騰"}));
  p.queueInput(std::nullopt);
  test::UiFixture::click(w, "Command33");
  QCOMPARE(e.column(w, 2), QStringList({"急騰"}));
  p.queueInput(std::string("保合"));
  test::UiFixture::click(w, "Command34");
  QCOMPARE(QString::fromStdString(p.shown().back().text), QString("検索する銘柄を入力してください"));
  QCOMPARE(e.column(w, 2).size(), 2);
  QCOMPARE(countText(w), QString("2"));
  p.queueInput(std::string("' or 1=1 --"));
  test::UiFixture::click(w, "Command34");
  QCOMPARE(w.grid()->rows(), 1);
  p.queueInput(std::nullopt);
  test::UiFixture::click(w, "Command34");
  QCOMPARE(w.grid()->rows(), 5);
  // 元に戻す after a pattern: the whole universe by 単位.
  w.patternButton("Command14")->click();
  test::UiFixture::click(w, "Command10");
  QCOMPARE(e.column(w, 5), QStringList({"1", "10", "100", "1000"}));
  QCOMPARE(countText(w), QString("4"));
}

void ScreeningWindowTest::typedCodesFoldToTheListsCapitals() {
  Env e;
  {
    Database d(e.db);
    std::vector<Value> params{Value("新興"), Value("130A"), Value("グロース"), Value(100)};
    for (const Value& v : pricesFrom({1, 2, 3, 4, 5, 6, 7, 8, 9})) params.push_back(v);
    d.execute(
        "insert into [list] ([銘柄],[コード],[市場],[単位],[kabuka1],[kabuka2],[kabuka3],[kabuka4],[kabuka5],"
        "[kabuka6],[kabuka7],[kabuka8],[kabuka9],[kabuka10]) values (?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
        params);
  }
  auto& w = e.open();
  for (const char* typed : {"130a", "１３０ａ", " 130A "}) {
    e.f.prompts.queueInput(std::string(typed));
    test::UiFixture::click(w, "Command33");
    QCOMPARE(e.column(w, 2), QStringList({"新興"}));
    test::UiFixture::click(w, "Command10");
  }
  // The chart takes the code as typed as well.
  QVERIFY(ui::openChart(*e.f.ctx, QStringLiteral("130a")));
  QVERIFY(e.f.ctx->chart().isVisible());
  QVERIFY2(e.f.ctx->chart().windowTitle().contains(QStringLiteral("130A")), qPrintable(e.f.ctx->chart().windowTitle()));
  e.f.ctx->chart().hide();
}

void ScreeningWindowTest::sortButtons() {
  Env e;
  auto& w = e.open();
  test::UiFixture::click(w, "Command1");
  QCOMPARE(QString::fromStdString(e.f.prompts.shown().back().title), QString("並び替え"));
  QVERIFY(QString::fromStdString(e.f.prompts.shown().back().text).endsWith("昇順に並び替えを行います."));
  w.grid()->setCol(0);
  const QStringList before = e.column(w, 2);
  test::UiFixture::click(w, "Command13");
  QCOMPARE(e.column(w, 2), before);
  w.grid()->setCol(8);
  test::UiFixture::click(w, "Command13");
  QCOMPARE(e.column(w, 8), QStringList({"-12", "0", "3", "9"}));
  QCOMPARE(w.grid()->textMatrix(0, 8), QString("1日前"));
  w.grid()->setCol(2);
  test::UiFixture::click(w, "Command13");
  QCOMPARE(e.column(w, 2).first(), QString("abc商事"));
}

void ScreeningWindowTest::countBoxAlwaysShowsTheCount() {
  Env e;
  auto& w = e.open();
  auto* count = test::UiFixture::find<QLineEdit>(w, "Text7");
  count->setText("99");
  QCOMPARE(count->text(), QString("4"));
  QTest::keyClicks(count, "7");
  QCOMPARE(count->text(), QString("4"));
}

void ScreeningWindowTest::helpMessages() {
  Env e("week");
  auto& w = e.open();
  auto* help = test::UiFixture::find<QLabel>(w, "Label10");
  QTest::mouseClick(help, Qt::LeftButton);
  QCOMPARE(e.f.prompts.messages().size(), size_t(1));
  const auto& m = e.f.prompts.messages().back();
  QVERIFY(!m.title);
  QCOMPARE(QString::fromStdString(m.lines[0]), QString("ｎ週前の欄の値を　Ｘ　とすると"));
  QCOMPARE(QString::fromStdString(m.lines[4]), QString("ｎ週前のＸが　　２０　ならば　直近より２０％　高い"));
  test::UiFixture::click(w, "Command78");
  QCOMPARE(QString::fromStdString(e.f.prompts.shown().back().title), QString(""));
  QCOMPARE(QString::fromStdString(e.f.prompts.shown().back().text),
           QString("移動平均を用いて上昇銘柄をリストアップします"));
}

void ScreeningWindowTest::okClosesAndTitleBarDoesNot() {
  Env e;
  auto& w = e.open();
  QVERIFY(!w.close());
  QVERIFY(w.isVisible());
  QPointer<ui::ScreeningWindow> p(&w);
  test::UiFixture::click(w, "Command5");
  QCOMPARE(e.f.ctx->state().universeIndex, 0);
  QVERIFY(e.f.ctx->mainMenu().isVisible());
  QVERIFY(!e.f.ctx->screeningLoaded());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QVERIFY(p.isNull());
}

void ScreeningWindowTest::unknownUnitKeepsFieldNames() {
  Env e("Day");
  auto& w = e.open();
  QCOMPARE(test::UiFixture::find<QLineEdit>(w, "Text3")->text(), QString());
  QCOMPARE(w.grid()->textMatrix(0, 8), QString("ratio1"));
  QCOMPARE(w.grid()->textMatrix(0, 6), QString("26/12/20"));
  // Ranking with an unknown unit word: threshold 10.
  w.patternButton("Command64")->click();
  QCOMPARE(w.grid()->rows(), 1);
}

void ScreeningWindowTest::watchListUniverseJoinsWithAnd() {
  Env e;
  auto& menu = e.f.ctx->mainMenu();
  menu.setPathBox(QString::fromStdString(toUtf8(e.db)));
  menu.activate();
  e.f.ctx->state().watchQuery = tavrin::watchListQuery({"1001", "1003"});
  e.f.ctx->state().selectorCode = 1022;
  auto& w = e.f.ctx->screening();
  w.show();
  QCOMPARE(w.windowTitle(), QString("トレンド注目銘柄"));
  QCOMPARE(e.column(w, 3), QStringList({"1001", "1003"}));
  w.patternButton("Command14")->click();  // 1002 is flat too, but not watched
  QCOMPARE(e.column(w, 3), QStringList({"1001"}));
  QVERIFY(QString::fromStdString(w.data1().recordSource()).contains(") and ("));
  e.f.prompts.queueInput(std::string("急"));
  test::UiFixture::click(w, "Command34");
  QCOMPARE(e.column(w, 3), QStringList({"1003"}));
  e.f.prompts.queueInput(std::string("1002"));
  test::UiFixture::click(w, "Command33");
  QCOMPARE(w.grid()->rows(), 1);
}

namespace {
QPoint cellCentre(ui::FlexGrid* grid, int viewRow, int col) {
  return grid->view()->visualRect(grid->model()->index(viewRow, col)).center();
}
}  // namespace

void ScreeningWindowTest::clickedCellIsSelectedAfterPatterns() {
  Env e;
  auto& w = e.open();
  ui::FlexGrid* grid = w.grid();
  QWidget* viewport = grid->view()->viewport();
  int tried = 0;
  const screening::ScreeningPattern* coloured = nullptr;
  for (const auto& p : screening::patternCatalogue()) {
    if (p.titleColours.empty() || p.sortSteps.empty()) continue;
    w.patternButton(p.control)->click();
    if (grid->rows() < 2) continue;
    ++tried;
    if (!coloured) coloured = &p;
    // The cell the sorting left current in the top row, then another cell.
    const int sortCol = p.sortSteps.back().column;
    for (const auto& [viewRow, col] : {std::pair{0, sortCol}, std::pair{grid->rows() - 2, 2}}) {
      QTest::mouseClick(viewport, Qt::LeftButton, {}, cellCentre(grid, viewRow, col));
      QVERIFY2(w.selectedCode() == grid->textMatrix(viewRow + 1, 3), p.control);
      QCOMPARE(w.selectedMarket(), grid->textMatrix(viewRow + 1, 4));
      QCOMPARE(grid->row(), viewRow + 1);
    }
    // Another pattern leaves the top cell highlighted again; a click on it goes
    // to the chart links with that stock.
    w.patternButton(p.control)->click();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, cellCentre(grid, 0, sortCol));
    QCOMPARE(w.selectedCode(), grid->textMatrix(1, 3));
    QTest::mouseClick(test::UiFixture::find<QLabel>(w, "HprLnkEx1"), Qt::LeftButton);
    QVERIFY(QString::fromStdString(e.f.openedUrls.back()).contains(grid->textMatrix(1, 3)));
  }
  QVERIFY(tried >= 3);

  // A double-click on the highlighted top cell puts that stock on the trend list.
  w.patternButton("Command14")->click();
  w.patternButton(coloured->control)->click();
  const QString code = grid->textMatrix(1, 3);
  const int sortCol = coloured->sortSteps.back().column;
  // What the window system delivers for a double-click.
  const QPoint at = cellCentre(grid, 0, sortCol);
  QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
  QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
  QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
  QCOMPARE(QString::fromStdString(
               e.f.ctx->trendList().listedCodes().empty() ? std::string() : e.f.ctx->trendList().listedCodes().front()),
           code);
  QVERIFY(e.f.ctx->trendList().isVisible());
}

void ScreeningWindowTest::universeColourLeavesGridAndBoxesWhite() {
  Env e;
  auto& w = e.open("Command56");  // 千株: a bright green universe
  const QColor base = QApplication::palette().color(QPalette::Base);
  QCOMPARE(base, QColor(Qt::white));
  QCOMPARE(w.palette().color(QPalette::Window), QColor(0x00, 0xFF, 0x00));
  QCOMPARE(w.grid()->view()->viewport()->palette().color(QPalette::Base), base);
  QCOMPARE(w.grid()->view()->palette().color(QPalette::Base), base);
  for (const char* name : {"Text3", "Text7"})
    QCOMPARE(test::UiFixture::find<QLineEdit>(w, name)->palette().color(QPalette::Base), base);
  // What the viewport paints under a cell.
  const QImage shot = w.grid()->view()->viewport()->grab().toImage();
  const QRect cell = w.grid()->view()->visualRect(w.grid()->model()->index(0, 9));
  const QPoint corner = cell.bottomRight() - QPoint(3, 3);
  QCOMPARE(QColor(shot.pixel(corner)), base);
}

QTEST_MAIN(ScreeningWindowTest)
#include "screening_window_test.moc"
