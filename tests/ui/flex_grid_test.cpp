#include <QtTest>

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

QTEST_MAIN(FlexGridTest)
#include "flex_grid_test.moc"
