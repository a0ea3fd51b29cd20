// Column widths of the grids: the set width is the least, short texts show
// whole, long names take the room the grid has left.
#include <QHeaderView>
#include <QLineEdit>
#include <QStyle>
#include <QTableView>
#include <QtTest>

#include "data/price_schema.h"
#include "test_support.h"
#include "ui/app/main_menu_window.h"
#include "ui/common/flex_grid.h"
#include "ui/registration/list_browser_window.h"
#include "ui/screening/screening_window.h"
#include "ui_test_support.h"

using namespace tavrin;
using ui::FlexGrid;

namespace {

// Names as long as the exchange's listed issues have them, and longer.
const char* const kLongName = "三菱ＵＦＪフィナンシャル・グループ";
const char* const kVeryLongName =
    "ジャパン・インターナショナル・ホールディングス・アンド・トレーディング・カンパニー株式会社";

// Whether the view draws the cell's text cut short: the text as its font lays
// it out, within the cell (the column less the grid line) less the margins
// the style keeps on either side of an item's text.
bool cutShort(QTableView* v, int viewRow, int c) {
  const QString text = v->model()->index(viewRow, c).data().toString();
  const int margin = v->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, v) + 1;
  return QFontMetrics(v->font()).horizontalAdvance(text) + 2 * margin > v->columnWidth(c) - 1;
}

bool titleCutShort(QTableView* v, int c) {
  QHeaderView* h = v->horizontalHeader();
  const QString text = v->model()->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
  const int margin = h->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, h);
  return h->fontMetrics().horizontalAdvance(text) + 2 * margin > v->columnWidth(c);
}

int widthSum(QTableView* v) {
  int sum = 0;
  for (int c = 0; c < v->model()->columnCount(); ++c) sum += v->columnWidth(c);
  return sum;
}

// The room the columns have: the viewport's width once the view has laid out
// its scroll bars.
int roomOf(QTableView* v) {
  QCoreApplication::processEvents();
  return v->viewport()->width();
}

int viewRowOf(QTableView* v, int c, const QString& text) {
  for (int r = 0; r < v->model()->rowCount(); ++r)
    if (v->model()->index(r, c).data().toString() == text) return r;
  return -1;
}

// A grid of the screening window's first columns: ID, name, code, market, unit.
std::unique_ptr<FlexGrid> stocksGrid(const char* name) {
  auto g = std::make_unique<FlexGrid>();
  g->setContent({"ID", "銘柄", "コード", "市場", "単位"},
                {{Value(1), Value("極洋"), Value(1301), Value("東証プライム"), Value(100)},
                 {Value(2914), Value(name), Value(2914), Value("東証スタンダード"), Value(100)},
                 {Value(3), Value("ＪＴ"), Value(130), Value("名証メイン"), Value(1)}});
  const int twips[] = {250, 550, 1280, 600, 900, 600};
  for (int c = 0; c < 6; ++c) g->setColWidth(c, twips[c]);
  for (int c : {1, 3, 4, 5}) g->setColFitsContents(c);
  g->setColTakesRoomLeft(2);
  return g;
}

struct Env {
  Env() : f(dir.path()) {
    db = dir / "kabuka.mdb";
    createPriceDatabase(db, "day");
    Database d(db);
    test::writeTenDecemberDates(d);
    struct S {
      int id;
      const char* name;
      int code;
      const char* market;
      const char* section;
    };
    const S stocks[] = {
        {2914, "日本たばこ産業", 2914, "東証プライム", "プライム（内国株式）"},
        {3001, kLongName, 8306, "東証プライム", "プライム（内国株式）"},
        {3002, kVeryLongName, 9999, "東証スタンダード", "スタンダード（内国株式）"},
        {3003, "極洋", 1301, "東証スタンダード", "スタンダード（内国株式）"},
    };
    for (const S& s : stocks) {
      std::vector<Value> params{Value(s.id),     Value(s.name), Value(s.code),
                                Value(s.market), Value(100),    Value(s.section)};
      for (int k = 0; k < 10; ++k) params.emplace_back(123456 + 10 * k);
      d.execute(
          "insert into [list] ([ID],[銘柄],[コード],[市場],[単位],[市場区分],[kabuka1],[kabuka2],[kabuka3],[kabuka4],"
          "[kabuka5],[kabuka6],[kabuka7],[kabuka8],[kabuka9],[kabuka10]) values (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
          params);
    }
  }
  ui::MainMenuWindow& menu() { return f.menuOn(db); }

  test::TempDir dir;
  test::UiFixture f;
  std::filesystem::path db;
};

// Every column at least its set width, every short column whole on every row
// and under its title, the long-text columns cut only where the grid is full
// (then showing the whole text in the tooltip).
void checkWindowGrid(FlexGrid* g, const std::vector<int>& twips, const std::vector<int>& longColumns) {
  QTableView* v = g->view();
  QVERIFY(v->model()->rowCount() >= 4);
  for (int c = 0; c < g->cols(); ++c) {
    const int least = ui::twipsToPixels(twips[static_cast<size_t>(std::min<size_t>(c, twips.size() - 1))], g);
    QVERIFY2(v->columnWidth(c) >= least,
             qPrintable(QString("column %1: %2 < %3").arg(c).arg(v->columnWidth(c)).arg(least)));
    if (c == 0) continue;
    const bool isLong = std::find(longColumns.begin(), longColumns.end(), c) != longColumns.end();
    if (!isLong) QVERIFY2(!titleCutShort(v, c), qPrintable(QString("title of column %1").arg(c)));
    for (int r = 0; r < v->model()->rowCount(); ++r) {
      if (!cutShort(v, r, c)) continue;
      const QString text = v->model()->index(r, c).data().toString();
      QVERIFY2(isLong, qPrintable(QString("column %1 cuts %2").arg(c).arg(text)));
      QCOMPARE(v->model()->index(r, c).data(Qt::ToolTipRole).toString(), text);
    }
  }
  // The very long name is cut, so the columns fill the grid's width.
  QVERIFY(cutShort(v, viewRowOf(v, 2, QString::fromUtf8(kVeryLongName)), 2));
  QCOMPARE(widthSum(v), roomOf(v));
}

}  // namespace

class GridWidthsTest : public QObject {
  Q_OBJECT
 private slots:
  void shortColumnsWholeNamesTakeTheRoomLeft();
  void namesFollowResizeWithinTheirBounds();
  void reloadMeasuresAgainAndCellWritesWiden();
  void bigGridsFitFromTheLongestTexts();
  void screeningWindowShowsTodaysTexts();
  void listBrowserShowsTodaysTexts();
};

void GridWidthsTest::shortColumnsWholeNamesTakeTheRoomLeft() {
  // Room enough: every text whole, the name column as wide as its name and
  // no wider, the rest of the grid left empty.
  auto g = stocksGrid(kLongName);
  g->resize(900, 300);
  g->show();
  QVERIFY(QTest::qWaitForWindowExposed(g.get()));
  QTableView* v = g->view();
  for (int r = 0; r < 3; ++r)
    for (int c = 1; c <= 5; ++c) QVERIFY2(!cutShort(v, r, c), qPrintable(QString("%1,%2").arg(r).arg(c)));
  QVERIFY(widthSum(v) < roomOf(v));
  QVERIFY(cutShort(v, 1, 2) == false);
  const int nameWidth = v->columnWidth(2);
  v->setColumnWidth(2, nameWidth - 3);
  QVERIFY(cutShort(v, 1, 2));  // no wider than the name needs, give or take the margins
  g->resize(901, 300);
  QCOMPARE(v->columnWidth(2), nameWidth);

  // Too little room for every text: the short columns stay whole, the name
  // takes what is left and never less than its set width.
  auto narrow = stocksGrid(kVeryLongName);
  narrow->resize(250, 300);
  narrow->show();
  QVERIFY(QTest::qWaitForWindowExposed(narrow.get()));
  v = narrow->view();
  for (int r = 0; r < 3; ++r)
    for (int c : {1, 3, 4, 5}) QVERIFY(!cutShort(v, r, c));
  QCOMPARE(v->columnWidth(2), ui::twipsToPixels(1280, narrow.get()));
  QVERIFY(cutShort(v, 1, 2));
  QCOMPARE(v->model()->index(1, 2).data(Qt::ToolTipRole).toString(), QString::fromUtf8(kVeryLongName));
}

void GridWidthsTest::namesFollowResizeWithinTheirBounds() {
  auto g = stocksGrid(kVeryLongName);
  g->resize(700, 300);
  g->show();
  QVERIFY(QTest::qWaitForWindowExposed(g.get()));
  QTableView* v = g->view();
  const int least = ui::twipsToPixels(1280, g.get());
  QVERIFY(cutShort(v, 1, 2));
  QCOMPARE(widthSum(v), roomOf(v));
  const int at700 = v->columnWidth(2);
  QVERIFY(at700 > least);

  g->resize(600, 300);
  QCOMPARE(v->columnWidth(2), at700 - 100);
  QCOMPARE(widthSum(v), roomOf(v));
  g->resize(250, 300);
  QCOMPARE(v->columnWidth(2), least);
  g->resize(3000, 300);
  QVERIFY(!cutShort(v, 1, 2));
  QVERIFY(widthSum(v) < roomOf(v));
  g->resize(700, 300);
  QCOMPARE(v->columnWidth(2), at700);

  // Two long-text columns share the room; a short one needs less and gives
  // the rest to the other.
  g->setColTakesRoomLeft(4);
  QVERIFY(!cutShort(v, 1, 4));
  QCOMPARE(widthSum(v), roomOf(v));
  QVERIFY(cutShort(v, 1, 2));
  // Taken back to a short column: whole again whatever the room.
  g->setColFitsContents(4);
  g->resize(300, 300);
  QVERIFY(!cutShort(v, 1, 4));
}

void GridWidthsTest::reloadMeasuresAgainAndCellWritesWiden() {
  auto g = stocksGrid(kLongName);
  g->resize(1200, 300);
  g->show();
  QVERIFY(QTest::qWaitForWindowExposed(g.get()));
  QTableView* v = g->view();
  const int marketWide = v->columnWidth(4);
  QVERIFY(marketWide > ui::twipsToPixels(900, g.get()));
  // A reload with short texts: back to the set widths.
  g->setContent({"ID", "銘柄", "コード", "市場", "単位"},
                {{Value(1), Value("極洋"), Value(1301), Value("札証"), Value(100)}});
  QCOMPARE(v->columnWidth(4), ui::twipsToPixels(900, g.get()));
  QCOMPARE(v->columnWidth(1), ui::twipsToPixels(550, g.get()));
  // A cell written widens its column; the name column follows its new text.
  g->setTextMatrix(1, 4, QStringLiteral("東証スタンダード"));
  QCOMPARE(v->columnWidth(4), marketWide);
  g->setTextMatrix(1, 1, QStringLiteral("1234567890"));
  QVERIFY(!cutShort(v, 0, 1));
  g->setTextMatrix(1, 2, QString::fromUtf8(kLongName));
  QVERIFY(!cutShort(v, 0, 2));
  // A long title widens its short column.
  g->setTextMatrix(0, 5, QStringLiteral("売買単位（株）"));
  QVERIFY(!titleCutShort(v, 5));
}

void GridWidthsTest::bigGridsFitFromTheLongestTexts() {
  // 100,000 rows of which every hundredth has a long market word and a
  // five-digit ID: the widths read a sample of the rows, which holds them.
  std::vector<Row> rows;
  rows.reserve(100000);
  for (int i = 0; i < 100000; ++i) {
    const bool longer = i % 100 == 57;
    rows.push_back({Value(longer ? 10000 + i % 90000 : 1 + i % 9999), Value("銘柄" + std::to_string(i)), Value(1301),
                    Value(longer ? "東証スタンダード" : "札証"), Value(100)});
  }
  auto g = stocksGrid(kLongName);
  g->resize(900, 300);
  g->setContent({"ID", "銘柄", "コード", "市場", "単位"}, std::move(rows));
  g->show();
  QVERIFY(QTest::qWaitForWindowExposed(g.get()));
  QTableView* v = g->view();
  for (int r : {57, 99957})
    for (int c : {1, 2, 4}) QVERIFY2(!cutShort(v, r, c), qPrintable(QString("%1,%2").arg(r).arg(c)));
}

void GridWidthsTest::screeningWindowShowsTodaysTexts() {
  Env e;
  e.menu().button("Command53")->click();
  ui::ScreeningWindow& w = e.f.ctx->screening();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  FlexGrid* g = w.grid();
  QCOMPARE(g->rows(), 5);
  std::vector<int> twips = {250, 550, 1280, 600, 900, 600, 900, 900};
  twips.resize(17, 500);
  checkWindowGrid(g, twips, {2});
  if (QTest::currentTestFailed()) return;
  QVERIFY(viewRowOf(g->view(), 1, "2914") >= 0);
  // A taller window (the vertical scroll bar goes) keeps the grid filled.
  w.resize(w.width(), w.height() + 200);
  QCOMPARE(widthSum(g->view()), roomOf(g->view()));
}

void GridWidthsTest::listBrowserShowsTodaysTexts() {
  Env e;
  e.menu().button("Command22")->click();
  ui::ListBrowserWindow& w = e.f.ctx->listBrowser();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  FlexGrid* g = w.grid();
  QCOMPARE(g->rows(), 5);
  checkWindowGrid(g, {200, 550, 1100, 600, 900, 700, 700}, {2, 6});
  if (QTest::currentTestFailed()) return;
  // Wider (the window cannot be made narrower than its buttons): every
  // name whole, and no column wider than its texts need.
  w.resize(2600, w.height());
  QTableView* v = g->view();
  QVERIFY(widthSum(v) < roomOf(v));
  for (int r = 0; r < v->model()->rowCount(); ++r) QVERIFY(!cutShort(v, r, 2) && !cutShort(v, r, 6));
}

QTEST_MAIN(GridWidthsTest)
#include "grid_widths_test.moc"
