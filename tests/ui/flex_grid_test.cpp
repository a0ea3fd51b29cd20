#include <QClipboard>
#include <QGuiApplication>
#include <QTableView>
#include <QtTest>
#include <atomic>

#include "base/files.h"
#include "test_support.h"
#include "ui/common/flex_grid.h"

using namespace tavrin;
using tavrin::ui::FlexGrid;

class FlexGridTest : public QObject {
  Q_OBJECT
 private slots:
  void layoutFollowsTheFields();
  void sortsBySetting_data();
  void sortsBySetting();
  void textMatrixWritesOnlyTheDisplayAndFollowTheRow();
  void rowOrderFromElsewhere();
  void widthsAreTwips();
  void rowsMadeWhenShownWorkAsKeptRows();
};

namespace {
FlexGrid* makeGrid() {
  auto* g = new FlexGrid;
  std::vector<Row> rows = {
      {Value(1), Value("b"), Value(10)},  {Value(2), Value("B"), Value(9)}, {Value(3), Value("a"), Value()},
      {Value(4), Value("10"), Value(-2)}, {Value(5), Value("9"), Value(9)},
  };
  g->setContent({"ID", "name", "ratio"}, rows);
  return g;
}

QStringList column(FlexGrid* g, int c) {
  QStringList out;
  for (int r = 1; r < g->rows(); ++r) out << g->textMatrix(r, c);
  return out;
}
}  // namespace

void FlexGridTest::layoutFollowsTheFields() {
  std::unique_ptr<FlexGrid> g(makeGrid());
  QCOMPARE(g->rows(), 6);
  QCOMPARE(g->cols(), 4);
  QCOMPARE(g->textMatrix(0, 0), QString());
  QCOMPARE(g->textMatrix(0, 1), QString("ID"));
  QCOMPARE(g->textMatrix(1, 0), QString());
  QCOMPARE(g->textMatrix(1, 2), QString("b"));
  QCOMPARE(g->textMatrix(3, 3), QString());  // Null shows empty
  QCOMPARE(g->textMatrix(9, 9), QString());  // out of range reads nothing
  g->clear();
  QCOMPARE(g->rows(), 1);
}

void FlexGridTest::sortsBySetting_data() {
  QTest::addColumn<int>("col");
  QTest::addColumn<int>("setting");
  QTest::addColumn<QString>("expected");
  // Generic: numbers as numbers when both are numbers, else as text.
  QTest::newRow("generic asc") << 2 << 1 << "9,10,B,a,b";
  QTest::newRow("generic desc") << 2 << 2 << "b,a,B,10,9";
  QTest::newRow("generic asc empty first") << 3 << 1 << ",-2,9,9,10";
  QTest::newRow("numeric asc") << 3 << 3 << ",-2,9,9,10";
  QTest::newRow("numeric desc") << 3 << 4 << "10,9,9,-2,";
  QTest::newRow("text no case") << 2 << 5 << "10,9,b,B,a";
  QTest::newRow("text") << 2 << 7 << "10,9,B,a,b";
  QTest::newRow("unknown setting") << 2 << 6 << "b,B,a,10,9";
}

void FlexGridTest::sortsBySetting() {
  QFETCH(int, col);
  QFETCH(int, setting);
  QFETCH(QString, expected);
  std::unique_ptr<FlexGrid> g(makeGrid());
  g->setCol(col);
  g->sort(setting);
  QString want = expected;
  if (setting == 5) {
    // Case-folded ties keep their order: "b" (row 1) before "B" (row 2), "a" before both.
    want = "10,9,a,b,B";
  }
  QCOMPARE(column(g.get(), col).join(','), want);
  // Rows move whole.
  for (int r = 1; r < g->rows(); ++r) {
    const Row* v = g->rowValues(r);
    QCOMPARE(g->textMatrix(r, 1), QString::number(v->at(0).integer()));
  }
}

void FlexGridTest::textMatrixWritesOnlyTheDisplayAndFollowTheRow() {
  std::unique_ptr<FlexGrid> g(makeGrid());
  g->setTextMatrix(0, 3, "1日前");
  g->setTextMatrix(1, 2, "shown");
  QCOMPARE(g->textMatrix(0, 3), QString("1日前"));
  QCOMPARE(g->rowValues(1)->at(1).textValue(), std::string("b"));
  g->setRow(1);
  g->setCol(2);
  g->setCellBackColor(QColor("#FFFF80"));
  g->setRow(0);
  g->setCol(3);
  g->setCellBackColor(QColor("#FF8080"));
  QCOMPARE(g->cellBackColor(0, 3), QColor("#FF8080"));
  g->setCol(1);
  g->sort(2);  // ID descending: row 1 goes last
  QCOMPARE(g->textMatrix(5, 2), QString("shown"));
  QCOMPARE(g->cellBackColor(5, 2), QColor("#FFFF80"));
  // A reload shows the field names and plain values again.
  g->setContent({"x"}, {{Value(1)}});
  QCOMPARE(g->textMatrix(0, 1), QString("x"));
  QCOMPARE(g->cellBackColor(0, 1), QColor());
}

void FlexGridTest::rowOrderFromElsewhere() {
  std::unique_ptr<FlexGrid> g(makeGrid());
  g->setRow(1);
  g->setCol(2);
  g->setCellBackColor(QColor("#FFFF80"));  // on the row with ID 1
  g->setRow(2);
  g->setCol(3);
  g->setRowOrder({4, 3, 2, 1, 0});
  QCOMPARE(column(g.get(), 1), QStringList({"5", "4", "3", "2", "1"}));
  QCOMPARE(g->cellBackColor(5, 2), QColor("#FFFF80"));
  QCOMPARE(g->row(), 2);  // the current cell stays
  QCOMPARE(g->col(), 3);
  // What is no order of every row changes nothing.
  for (const std::vector<int>& wrong : {std::vector<int>{0, 1, 2, 3}, std::vector<int>{0, 0, 1, 2, 3},
                                        std::vector<int>{0, 1, 2, 3, 5}, std::vector<int>{-1, 1, 2, 3, 4}}) {
    g->setRowOrder(wrong);
    QCOMPARE(column(g.get(), 1), QStringList({"5", "4", "3", "2", "1"}));
  }
  // A sort after it starts from the order shown.
  g->setCol(3);
  g->sort(3);
  QCOMPARE(column(g.get(), 1), QStringList({"3", "4", "5", "2", "1"}));
}

void FlexGridTest::widthsAreTwips() {
  std::unique_ptr<FlexGrid> g(makeGrid());
  g->setColWidth(1, 1500);
  QCOMPARE(g->colWidth(1), 1500);
  QCOMPARE(ui::twipsToPixels(1500, nullptr), 100);
  g->setRedraw(false);
  QVERIFY(!g->redraw());
  g->setRedraw(true);
}

namespace {

// Rows made from their index, counting every row made: ID, a name, a ratio
// (empty every seventeenth row), a code that is now a number and now a text.
// Keys for the ID and the ratio; the others sort by their texts.
class MadeRows : public ui::GridRowSource {
 public:
  explicit MadeRows(int n) : n_(n) {}
  int rowCount() const override { return n_; }
  Row row(int i) const override {
    ++made;
    return valuesOf(i);
  }
  static Row valuesOf(int i) {
    return {Value(i + 1), Value("銘柄" + std::to_string((i * 7919) % 1000)),
            i % 17 == 0 ? Value() : Value((i % 13 - 6) * 0.5), i % 5 == 0 ? Value("130A") : Value(1300 + i % 400)};
  }
  bool sortKeys(int field, std::vector<GridSortKey>& keys) const override {
    if (field != 0 && field != 2) return false;
    keys.assign(static_cast<size_t>(n_), GridSortKey());
    for (int i = 0; i < n_; ++i) {
      GridSortKey& k = keys[static_cast<size_t>(i)];
      if (field == 0 || i % 17 != 0) {
        k.kind = GridSortKey::Number;
        k.value = field == 0 ? i + 1 : (i % 13 - 6) * 0.5;
      }
    }
    return true;
  }
  mutable std::atomic<int> made{0};

 private:
  int n_;
};

std::vector<std::vector<QString>> shown(const FlexGrid& g) {
  std::vector<std::vector<QString>> out;
  for (int r = 0; r < g.rows(); ++r) {
    auto& line = out.emplace_back();
    for (int c = 0; c < g.cols(); ++c) line.push_back(g.textMatrix(r, c));
  }
  return out;
}

bool sameTables(const exporting::ExportTable& a, const exporting::ExportTable& b) {
  if (a.titles != b.titles || a.sheetName != b.sheetName || a.rows.size() != b.rows.size()) return false;
  for (size_t r = 0; r < a.rows.size(); ++r) {
    if (a.rows[r].size() != b.rows[r].size()) return false;
    for (size_t c = 0; c < a.rows[r].size(); ++c)
      if (a.rows[r][c].text != b.rows[r][c].text || a.rows[r][c].number != b.rows[r][c].number) return false;
  }
  return true;
}

}  // namespace

// A grid of 60,000 rows made when shown does what a grid of the same rows
// kept does: texts, values, sorts (by keys or by texts, a written text
// counting as what it shows), colours that follow the rows, the rows taken
// out and saved; only the rows shown, measured or taken out are ever made.
void FlexGridTest::rowsMadeWhenShownWorkAsKeptRows() {
  const int n = 60000;
  const std::vector<std::string> fields = {"ID", "銘柄", "騰落%", "コード"};
  auto source = std::make_shared<MadeRows>(n);
  FlexGrid made, kept;
  std::vector<Row> rows;
  for (int i = 0; i < n; ++i) rows.push_back(MadeRows::valuesOf(i));
  kept.setContent(fields, std::move(rows));
  made.setRows(fields, source);
  for (FlexGrid* g : {&made, &kept}) {
    g->setExportName("一覧");
    g->resize(600, 400);
    g->show();
  }
  QVERIFY(QTest::qWaitForWindowExposed(&made));
  QCoreApplication::processEvents();
  QVERIFY2(source->made < 200, qPrintable(QString::number(source->made)));  // a screenful
  QCOMPARE(made.rows(), n + 1);
  QCOMPARE(made.textMatrix(18, 3), QString());
  QCOMPARE(made.textMatrix(3, 4), QString("1302"));
  QCOMPARE(made.rowValues(6)->at(3).textValue(), std::string("130A"));
  QCOMPARE(made.view()->model()->data(made.model()->index(2, 2), Qt::ToolTipRole).toString(), kept.textMatrix(3, 2));

  // Sorts, the current cell on the row it was on; keys make no rows.
  for (FlexGrid* g : {&made, &kept}) {
    g->setRow(5);
    g->setCol(2);
    g->setCellBackColor(QColor("#FFFF80"));
    g->setTextMatrix(9, 3, "99");  // shown in place of the ratio
  }
  struct Step {
    int col, setting;
  };
  for (const Step& step : {Step{3, 1}, Step{1, 2}, Step{3, 2}, Step{2, 1}, Step{4, 2}, Step{4, 3}, Step{3, 1}}) {
    const int before = source->made;
    for (FlexGrid* g : {&made, &kept}) {
      g->setCol(step.col);
      g->sort(step.setting);
    }
    if (step.col == 1) QCOMPARE(source->made.load(), before);
    QVERIFY2(shown(made) == shown(kept), qPrintable(QString("column %1, setting %2").arg(step.col).arg(step.setting)));
  }
  for (int r = 1; r < made.rows(); r += 997) {
    QCOMPARE(made.cellBackColor(r, 2), kept.cellBackColor(r, 2));
    QCOMPARE(made.rowValues(r)->at(0), kept.rowValues(r)->at(0));
  }
  // The row written on, and the one coloured, are where the kept grid has them.
  int coloured = 0;
  for (int r = 1; r < made.rows(); ++r) coloured += made.cellBackColor(r, 2).isValid();
  QCOMPARE(coloured, 1);

  // Measuring a column's texts makes a bounded sample of rows.
  int before = source->made;
  made.setColFitsContents(2);
  QVERIFY2(source->made - before <= 1200, qPrintable(QString::number(source->made - before)));

  // Taken out: the same cells (numbers marked alike), whole or selected.
  QVERIFY(sameTables(made.exportTable(), kept.exportTable()));
  for (FlexGrid* g : {&made, &kept}) {
    auto* sel = g->view()->selectionModel();
    sel->select(QItemSelection(g->model()->index(100, 0), g->model()->index(40000, 1)),
                QItemSelectionModel::ClearAndSelect);
  }
  QVERIFY(sameTables(made.selectedRowsTable(), kept.selectedRowsTable()));
  QCOMPARE(made.selectedRowsTable().rows.size(), size_t(39901));
  made.copySelectedRows();
  const QString copied = QGuiApplication::clipboard()->text();
  kept.copySelectedRows();
  QCOMPARE(copied, QGuiApplication::clipboard()->text());

  // Saved on the save's thread, the same bytes as the kept grid's file.
  test::TempDir dir;
  for (FlexGrid* g : {&made, &kept}) {
    const std::string path = toUtf8(dir / (g == &made ? "made.csv" : "kept.csv"));
    g->setSaveServices([path](QWidget*, const ui::SaveFileRequest&) { return ui::SaveFileChoice{path, 0}; }, nullptr);
    QVERIFY(g->saveAs(exporting::ExportFormat::CsvUtf8));
  }
  const std::string bytes = test::readFileBytes(dir / "made.csv");
  QVERIFY(bytes.size() > 1000000);
  QVERIFY(bytes == test::readFileBytes(dir / "kept.csv"));
}

QTEST_MAIN(FlexGridTest)
#include "flex_grid_test.moc"
