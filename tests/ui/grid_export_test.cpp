#include <QAction>
#include <QClipboard>
#include <QHeaderView>
#include <QMenu>
#include <QTableView>
#include <QtTest>
#include <fstream>

#include "app/paths.h"
#include "data/price_schema.h"
#include "test_support.h"
#include "ui/app/main_menu_window.h"
#include "ui/common/flex_grid.h"
#include "ui/registration/list_browser_window.h"
#include "ui/screening/screening_window.h"
#include "ui/watchlists/watch_list_windows.h"
#include "ui_test_support.h"
#include "watchlists/watch_list_store.h"

using namespace tavrin;
using ui::FlexGrid;

class GridExportTest : public QObject {
  Q_OBJECT
 private slots:
  void selectAllAndCopyTakeRowsWithTitles();
  void clicksKeepOneCurrentCell();
  void savesWhatTheGridShows();
  void everyWindowGridSaves();
  void failureToWriteIsReported();
};

namespace {

FlexGrid* makeGrid() {
  auto* g = new FlexGrid;
  g->setContent({"ID", "銘柄", "終値"}, {{Value(1), Value("保合一"), Value(2890.5)},
                                         {Value(2), Value("カンマ, 商事"), Value(-12)},
                                         {Value(3), Value("130A"), Value()}});
  g->setTextMatrix(0, 3, "26/12/09");  // retitled as the windows do
  g->resize(400, 300);
  return g;
}

QString clipboard() { return QGuiApplication::clipboard()->text(); }

// The file as Python reads it (tests/data/read_table.py), one line per row.
QStringList readBack(const std::filesystem::path& file, const char* kind, const char* encoding = "") {
  const auto r = test::runCommand("/usr/bin/python3 " + std::string(TAVRIN_TEST_DATA_DIR) + "/read_table.py " + kind +
                                  " '" + toUtf8(file) + "' " + encoding);
  return QString::fromStdString(r.out).split('\n', Qt::SkipEmptyParts);
}

// One row of read_table.py's listing.
QString listed(std::initializer_list<const char*> cells) {
  QStringList out;
  for (const char* c : cells) out << QString::fromUtf8(c);
  return out.join(QChar(0x241E));
}

// A price database with four stocks and a trend watch list of two.
struct Env {
  Env() : f(dir.path()) {
    db = dir / "kabuka.mdb";
    createPriceDatabase(db, "day");
    Database d(db);
    test::writeTenDecemberDates(d);
    int code = 1001;
    for (const char* name : {"保合一", "保合二", "急騰", "abc商事"}) {
      std::vector<Value> params{Value(name), Value(code++), Value("東証プライム"), Value(100)};
      for (int k = 0; k < 10; ++k) params.emplace_back(1000 + 10 * k);
      d.execute(
          "insert into [list] ([銘柄],[コード],[市場],[単位],[kabuka1],[kabuka2],[kabuka3],[kabuka4],[kabuka5],"
          "[kabuka6],[kabuka7],[kabuka8],[kabuka9],[kabuka10]) values (?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
          params);
    }
    prepareWatchListDatabase(f.ctx->paths().watchListDb());
    for (auto [c, n] : {std::pair{"1003", "急騰"}, std::pair{"1001", "保合一"}})
      addWatchStock(f.ctx->paths().watchListDb(), WatchList::Trend, {c, n, "東証プライム", "100", "26/12/20"});
  }
  ui::ScreeningWindow& screening() {
    f.menuOn(db).button("Command53")->click();
    return f.ctx->screening();
  }
  void answerSave(const std::filesystem::path& file, int filter) {
    f.nextSaveChoice = ui::SaveFileChoice{toUtf8(file), filter};
  }

  test::TempDir dir;
  test::UiFixture f;
  std::filesystem::path db;
};

}  // namespace

void GridExportTest::selectAllAndCopyTakeRowsWithTitles() {
  std::unique_ptr<FlexGrid> g(makeGrid());
  g->setRow(2);
  g->setCol(2);
  // Nothing but the current cell selected: its row.
  QTest::keyClick(g->view(), Qt::Key_C, Qt::ControlModifier);
  QCOMPARE(clipboard(), QString("ID\t銘柄\t26/12/09\n2\tカンマ, 商事\t-12\n"));
  QTest::keyClick(g->view(), Qt::Key_A, Qt::ControlModifier);
  QCOMPARE(g->selectedRows(), (std::vector<int>{1, 2, 3}));
  QCOMPARE(g->row(), 2);  // the current cell stays
  QTest::keyClick(g->view(), Qt::Key_C, Qt::ControlModifier);
  QCOMPARE(clipboard(), QString("ID\t銘柄\t26/12/09\n1\t保合一\t2890.5\n2\tカンマ, 商事\t-12\n3\t130A\t\n"));
  // Rows go in the order shown.
  g->setCol(1);
  g->sort(FlexGrid::NumericDescending);
  auto* sel = g->view()->selectionModel();
  sel->select(QItemSelection(g->model()->index(0, 1), g->model()->index(1, 2)), QItemSelectionModel::ClearAndSelect);
  QCOMPARE(g->selectedRows(), (std::vector<int>{1, 2}));
  g->contextMenu()->findChild<QAction*>("gridCopyAction")->trigger();
  QCOMPARE(clipboard(), QString("ID\t銘柄\t26/12/09\n3\t130A\t\n2\tカンマ, 商事\t-12\n"));
  g->contextMenu()->findChild<QAction*>("gridSelectAllAction")->trigger();
  QCOMPARE(g->selectedRows().size(), size_t(3));
}

void GridExportTest::clicksKeepOneCurrentCell() {
  std::unique_ptr<FlexGrid> g(makeGrid());
  g->show();
  QVERIFY(QTest::qWaitForWindowExposed(g.get()));
  QSignalSpy entered(g.get(), &FlexGrid::cellEntered);
  QTest::keyClick(g->view(), Qt::Key_A, Qt::ControlModifier);
  // A click after Ctrl+A selects its one cell and makes it current.
  const QPoint cell = g->view()->visualRect(g->model()->index(2, 2)).center();
  QTest::mouseClick(g->view()->viewport(), Qt::LeftButton, {}, cell);
  QCOMPARE(g->row(), 3);
  QCOMPARE(g->col(), 2);
  QCOMPARE(g->selectedRows(), (std::vector<int>{3}));
  QCOMPARE(int(g->view()->selectionModel()->selectedIndexes().size()), 1);
  // A title click makes its column current and leaves row and selection.
  QHeaderView* header = g->view()->horizontalHeader();
  const QPoint title(header->sectionViewportPosition(1) + header->sectionSize(1) / 2, header->height() / 2);
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, title);
  QCOMPARE(g->col(), 1);
  QCOMPARE(g->row(), 3);
  QCOMPARE(int(g->view()->selectionModel()->selectedIndexes().size()), 1);
  QVERIFY(entered.count() >= 2);
}

void GridExportTest::savesWhatTheGridShows() {
  test::TempDir dir;
  ScriptedPrompts prompts;
  std::vector<ui::SaveFileRequest> asked;
  std::optional<ui::SaveFileChoice> answer;
  std::unique_ptr<FlexGrid> g(makeGrid());
  g->setSaveServices(
      [&](QWidget*, const ui::SaveFileRequest& r) {
        asked.push_back(r);
        return answer;
      },
      &prompts);
  g->setExportName("保合/全市場");
  g->setCol(1);
  g->sort(FlexGrid::NumericDescending);
  g->setTextMatrix(1, 2, "表示だけ");

  // Cancel writes nothing.
  QTest::keyClick(g->view(), Qt::Key_S, Qt::ControlModifier);
  QCOMPARE(asked.size(), size_t(1));
  QCOMPARE(asked[0].filters.size(), size_t(3));
  QCOMPARE(QString::fromStdString(asked[0].filters[0]), QString("CSV（UTF-8） (*.csv)"));
  QVERIFY(QString::fromStdString(asked[0].filters[1]).contains("Shift_JIS"));
  QVERIFY(QString::fromStdString(asked[0].filters[2]).endsWith("(*.xlsx)"));
  QCOMPARE(QString::fromStdString(asked[0].suggestedName), QString("保合_全市場.csv"));

  // Excel: numbers as numbers, the titles and texts as shown, rows as sorted.
  answer = ui::SaveFileChoice{toUtf8(dir / "hits"), 2};
  QSignalSpy saved(g.get(), &FlexGrid::saved);
  g->contextMenu()->findChild<QAction*>("gridSaveExcelAction")->trigger();
  QCOMPARE(asked.back().selectedFilter, 2);
  QCOMPARE(int(saved.count()), 1);
  QCOMPARE(saved[0][0].toString(), QString::fromStdString(toUtf8(dir / "hits.xlsx")));
  QStringList got = readBack(dir / "hits.xlsx", "xlsx");
  QVERIFY(got.size() >= 6);
  QCOMPARE(got[0], listed({"s:ID", "s:銘柄", "s:26/12/09"}));
  QCOMPARE(got[1], listed({"n:3", "s:表示だけ", "e:"}));
  QCOMPARE(got[2], listed({"n:2", "s:カンマ, 商事", "n:-12"}));
  QCOMPARE(got[3], listed({"n:1", "s:保合一", "n:2890.5"}));
  QCOMPARE(got[4], QString("sheet:保合_全市場"));
  QCOMPARE(got[5], QString("bold:111"));
  QVERIFY(prompts.messages().empty());

  // Ctrl+S offers the format used last; code page 932 on its filter.
  answer = ui::SaveFileChoice{toUtf8(dir / "hits.csv"), 1};
  QTest::keyClick(g->view(), Qt::Key_S, Qt::ControlModifier);
  QCOMPARE(asked.back().selectedFilter, 2);
  got = readBack(dir / "hits.csv", "csv", "cp932");
  QCOMPARE(got, QStringList({listed({"s:ID", "s:銘柄", "s:26/12/09"}), listed({"s:3", "s:表示だけ", "e:"}),
                             listed({"s:2", "s:カンマ, 商事", "s:-12"}), listed({"s:1", "s:保合一", "s:2890.5"})}));
  g->contextMenu()->findChild<QAction*>("gridSaveCsvAction")->trigger();
  QCOMPARE(asked.back().selectedFilter, 1);
  // A name with the other kind's extension is written as its name says.
  answer = ui::SaveFileChoice{toUtf8(dir / "typed.xlsx"), 0};
  QVERIFY(g->saveAs());
  QCOMPARE(readBack(dir / "typed.xlsx", "xlsx").value(1), listed({"n:3", "s:表示だけ", "e:"}));
  answer = ui::SaveFileChoice{toUtf8(dir / "typed.csv"), 2};
  QVERIFY(g->saveAs());
  QCOMPARE(test::readFileBytes(dir / "typed.csv").substr(0, 5), std::string("\xEF\xBB\xBFID"));
  QVERIFY(prompts.messages().empty());
}

void GridExportTest::everyWindowGridSaves() {
  Env e;
  auto& screening = e.screening();
  QCOMPARE(screening.grid()->rows(), 5);
  auto& browser = e.f.ctx->listBrowser();
  QCOMPARE(browser.grid()->rows(), 5);
  auto& trend = e.f.ctx->trendList();
  auto& interest = e.f.ctx->interestList();
  QCOMPARE(trend.grid()->rows(), 3);
  struct Case {
    FlexGrid* grid;
    const char* file;
  };
  const Case cases[] = {{screening.grid(), "screening.xlsx"},
                        {browser.grid(), "browser.xlsx"},
                        {trend.grid(), "trend.xlsx"},
                        {interest.grid(), "checklist.xlsx"}};
  for (const Case& c : cases) {
    const auto file = e.dir / c.file;
    e.answerSave(file, 2);
    QTest::keyClick(c.grid->view(), Qt::Key_S, Qt::ControlModifier);
    QVERIFY2(std::filesystem::exists(file), c.file);
    const QStringList got = readBack(file, "xlsx");
    // The title row and every row, each cell as the grid shows it.
    QCOMPARE(int(got.size()), c.grid->rows() + 4);
    for (int r = 0; r < c.grid->rows(); ++r) {
      const QStringList cells = got[r].split(QChar(0x241E));
      QCOMPARE(int(cells.size()), c.grid->cols() - 1);
      for (int col = 1; col < c.grid->cols(); ++col) {
        const QString cell = cells[col - 1];
        QCOMPARE(cell.mid(2), c.grid->textMatrix(r, col));
        if (r > 0 && cell.startsWith("n:")) QVERIFY(c.grid->rowValues(r)->at(static_cast<size_t>(col - 1)).isInteger());
      }
    }
    QVERIFY2(got[1].startsWith("n:") || c.grid == interest.grid(), c.file);  // the ID column
  }
  QCOMPARE(e.f.saveRequests.size(), size_t(4));
  QCOMPARE(QString::fromStdString(e.f.saveRequests[0].suggestedName), screening.windowTitle() + ".csv");
  QCOMPARE(interest.grid()->rows(), 1);  // an empty list saves its titles
  // Ctrl+A and Ctrl+C in a window: the rows of the hits with their titles.
  QTest::keyClick(screening.grid()->view(), Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(screening.grid()->view(), Qt::Key_C, Qt::ControlModifier);
  QCOMPARE(int(clipboard().count('\n')), screening.grid()->rows());
  QVERIFY(clipboard().startsWith("ID\t銘柄\tコード\t"));
  QVERIFY(e.f.prompts.messages().empty());
}

void GridExportTest::failureToWriteIsReported() {
  Env e;
  auto& trend = e.f.ctx->trendList();
  // A folder that is not there, then a text code page 932 cannot hold.
  e.answerSave(e.dir / "none" / "list.csv", 0);
  QVERIFY(!trend.grid()->saveAs());
  QCOMPARE(e.f.prompts.messages().size(), size_t(1));
  const MessageRequest& m = e.f.prompts.messages().back();
  QCOMPARE(QString::fromStdString(m.shownTitle()), QString("一覧の保存"));
  QCOMPARE(m.icon, MessageIcon::Warning);
  QVERIFY(QString::fromStdString(m.text()).contains(QString::fromStdString(toUtf8(e.dir / "none" / "list.csv"))));
  QVERIFY(QString::fromStdString(m.text()).endsWith("一覧は保存されていません。"));

  trend.grid()->setTextMatrix(1, 3, "한국");
  e.answerSave(e.dir / "list.csv", 1);
  QVERIFY(!trend.grid()->saveAs());
  QVERIFY(QString::fromStdString(e.f.prompts.messages().back().text()).contains("Shift_JIS"));
  QVERIFY(!std::filesystem::exists(e.dir / "list.csv"));
  // A file made read-only is not replaced.
  {
    std::ofstream keep(e.dir / "keep.csv");
    keep << "old";
  }
  std::filesystem::permissions(e.dir / "keep.csv", std::filesystem::perms::owner_read);
  e.answerSave(e.dir / "keep.csv", 0);
  QVERIFY(!trend.grid()->saveAs());
  QVERIFY(QString::fromStdString(e.f.prompts.messages().back().text()).contains("読み取り専用のファイルです"));
  QCOMPARE(QString::fromStdString(test::readFileBytes(e.dir / "keep.csv")), QString("old"));
  QCOMPARE(int(e.f.prompts.messages().size()), 3);
  // A read-only folder (where this user cannot write into one).
  std::filesystem::create_directory(e.dir / "ro");
  std::filesystem::permissions(e.dir / "ro", std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  e.answerSave(e.dir / "ro" / "list.xlsx", 2);
  const bool written = trend.grid()->saveAs();
  const bool rootWrites = std::filesystem::exists(e.dir / "ro" / "list.xlsx");
  std::filesystem::permissions(e.dir / "ro", std::filesystem::perms::owner_all);
  if (!rootWrites) {
    QVERIFY(!written);
    QVERIFY(QString::fromStdString(e.f.prompts.messages().back().text()).contains("書き込みが許されていません"));
  }
}

QTEST_MAIN(GridExportTest)
#include "grid_export_test.moc"
