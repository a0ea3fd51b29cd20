#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

#include "base/calendar.h"
#include "base/log.h"
#include "chart/chart_data.h"
#include "data/price_schema.h"
#include "history/price_history.h"
#include "test_support.h"
#include "ui/app/main_menu_window.h"
#include "ui/chart/chart_entries.h"
#include "ui/chart/chart_window.h"
#include "ui/splits/splits_window.h"
#include "ui_test_support.h"

using namespace tavrin;
using test::UiFixture;

namespace {

int december(int d) { return *dayFromCivil(2024, 12, d); }

// A day and a week file; 7203 has 20 days of December with a 1:2 split from
// 2024-12-16 (as traded: 1,601 yen, then about 800), 130A none.
struct Market {
  test::TempDir dir;
  UiFixture f{dir.path()};
  Paths paths{dir.path()};
  std::vector<int> days;

  Market() {
    for (int d = 2; d <= 27; ++d) {
      int y = 0, m = 0, dd = 0;
      civilFromDay(december(d), y, m, dd);
      const int weekday = (december(d) + 4) % 7;  // 1970-01-01 was a Thursday
      if (weekday != 0 && weekday != 6) days.push_back(december(d));
    }
    for (const auto& [file, unit] : {std::pair{paths.dailyDb(), "day"}, std::pair{paths.weeklyDb(), "week"}}) {
      createPriceDatabase(file, unit);
      Database d(file);
      Transaction tx(d);
      for (const Value& code : {Value(std::int64_t{7203}), Value(std::string("130A"))})
        d.execute(
            "insert into [list] ([銘柄], [コード], [市場], [単位], [kabuka1], [kabuka2]) values ('x', ?, "
            "'東証プライム', "
            "100, 800, 1601)",
            {code});
      DateRecord rec;
      rec.dates[0] = "24/12/27";
      rec.dates[1] = "24/12/13";
      writeDateRecord(d, rec);
      tx.commit();
    }
    Database d(paths.dailyDb());
    Transaction tx(d);
    HistoryWriter w(d);
    for (int day : days) {
      Bar b;
      b.day = day;
      b.close = day < december(16) ? 16010 : 8000 + (day - december(16)) * 10;
      b.volume = 1000;
      w.put(Value(std::int64_t{7203}), b);
    }
    w.flush();
    tx.commit();
  }
  void openMenu() {
    auto& m = f.ctx->mainMenu();
    m.setPathBox(QString::fromStdString(toUtf8(paths.dailyDb())));
    m.show();
    m.activate();
  }
  static void waitIdle(ui::SplitsWindow& w) { QTRY_VERIFY_WITH_TIMEOUT(!w.running(), 30000); }
  std::vector<Value> positions(const std::filesystem::path& file, const Value& code) {
    Database d(file, Database::Mode::ReadOnly);
    QueryResult r = d.query("select kabuka1, kabuka2 from list where [コード] = ?", {code});
    return r.rows.front();
  }
};

}  // namespace

class SplitsWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { setLogQuiet(true); }

  void theChartOpensItForItsStockAndAStepIsEnteredInOneClick() {
    Market m;
    m.openMenu();
    QVERIFY(ui::openChart(*m.f.ctx, QStringLiteral("7203")));
    ui::ChartWindow& chart = m.f.ctx->chart();
    QCOMPARE(chart.stock().series.bars.front().close, 16010);
    UiFixture::click(chart, "chartSplitsButton");
    ui::SplitsWindow& w = m.f.ctx->splits();
    QVERIFY(w.isVisible());
    QCOMPARE(w.objectName(), QStringLiteral("SplitsWindow"));
    Market::waitIdle(w);
    QCOMPARE(UiFixture::find<QLineEdit>(w, "splitCodeEdit")->text(), QStringLiteral("7203"));
    QVERIFY(UiFixture::find<QLabel>(w, "splitsTargetsLabel")->text().contains(QStringLiteral("Wkabuka.mdb")));
    auto* candidates = UiFixture::find<QTableWidget>(w, "splitCandidatesTable");
    QCOMPARE(candidates->rowCount(), 1);
    QCOMPARE(candidates->item(0, 2)->text(), QStringLiteral("2024-12-16"));
    QCOMPARE(candidates->item(0, 3)->text(), QStringLiteral("1:2"));
    QVERIFY(candidates->item(0, 5)->text().contains(QStringLiteral("1601 → [800]")));

    // One click: entered in both files, the positions before the ex-date
    // halved, the chart redrawn from adjusted prices, the step gone.
    auto* enter = qobject_cast<QPushButton*>(candidates->cellWidget(0, 4));
    QVERIFY(enter);
    enter->click();
    Market::waitIdle(w);
    QTRY_COMPARE(candidates->rowCount(), 0);
    QCOMPARE(
        w.reportText(),
        QStringLiteral("7203 の 2024-12-16 からの分割 1:2 を登録しました。権利落ち日より前の登録株価を書き換えた数: "
                       "kabuka.mdb 1、Wkabuka.mdb 1"));
    auto* splits = UiFixture::find<QTableWidget>(w, "splitsTable");
    QCOMPARE(splits->rowCount(), 1);
    QCOMPARE(splits->item(0, 4)->text(), QStringLiteral("値動きの確認"));
    QCOMPARE(m.positions(m.paths.dailyDb(), Value(std::int64_t{7203})),
             (std::vector<Value>{Value(std::int64_t{800}), Value(std::int64_t{800})}));  // 1601 / 2 = 800.5 -> 800
    QCOMPARE(m.positions(m.paths.weeklyDb(), Value(std::int64_t{7203}))[1], Value(std::int64_t{800}));
    QCOMPARE(chart.stock().series.bars.front().close, 8005);
    QCOMPARE(m.positions(m.paths.dailyDb(), Value(std::string("130A")))[1], Value(std::int64_t{1601}));

    // Removed after a question: No leaves it, Yes brings the positions back.
    splits->selectRow(0);
    m.f.prompts.queueMessageAnswer(MessageAnswer::Cancel);
    UiFixture::click(w, "splitRemoveButton");
    QCOMPARE(m.f.prompts.messages().back().text(),
             std::string("7203 の 2024-12-16 の分割 1:2 を削除します。よろしいですか？"));
    QVERIFY(!w.running());
    QCOMPARE(splits->rowCount(), 1);
    m.f.prompts.queueMessageAnswer(MessageAnswer::Ok);
    UiFixture::click(w, "splitRemoveButton");
    Market::waitIdle(w);
    QTRY_COMPARE(splits->rowCount(), 0);
    QCOMPARE(m.positions(m.paths.dailyDb(), Value(std::int64_t{7203}))[1], Value(std::int64_t{1601}));
    QCOMPARE(m.positions(m.paths.weeklyDb(), Value(std::int64_t{7203}))[1], Value(std::int64_t{1601}));
    QTRY_COMPARE(chart.stock().series.bars.front().close, 16010);
    QTRY_COMPARE(candidates->rowCount(), 1);
    UiFixture::click(w, "splitsCloseButton");
    QVERIFY(!w.isVisible());
  }

  void enteredFromTheBoxesWithTheirMistakesTold() {
    Market m;
    m.openMenu();
    ui::SplitsWindow& w = m.f.ctx->splits();
    w.showStock(QString());
    w.show();
    Market::waitIdle(w);
    QVERIFY(UiFixture::find<QCheckBox>(w, "splitsAllStocksCheck")->isChecked());
    auto* code = UiFixture::find<QLineEdit>(w, "splitCodeEdit");
    auto* ratio = UiFixture::find<QLineEdit>(w, "splitRatioEdit");
    UiFixture::find<QDateEdit>(w, "splitDayEdit")->setDate(QDate(2024, 12, 20));

    code->setText(QStringLiteral("72-03"));
    ratio->setText(QStringLiteral("1:2"));
    QVERIFY(!w.addFromBoxes());
    QCOMPARE(m.f.prompts.messages().size(), std::size_t{1});
    code->setText(QStringLiteral("１３０ａ"));  // full width, lower case
    ratio->setText(QStringLiteral("1:0"));
    QVERIFY(!w.addFromBoxes());
    QVERIFY(QString::fromStdString(m.f.prompts.messages().back().text()).startsWith(QStringLiteral("比率は 1:5")));
    ratio->setText(QStringLiteral("10:1"));
    UiFixture::click(w, "splitAddButton");
    Market::waitIdle(w);
    QCOMPARE(code->text(), QStringLiteral("130A"));
    QVERIFY2(w.reportText().startsWith(QStringLiteral("130A の 2024-12-20 からの分割 10:1 を登録しました")),
             qPrintable(w.reportText()));
    QCOMPARE(m.positions(m.paths.dailyDb(), Value(std::string("130A")))[1], Value(std::int64_t{16010}));
    auto* splits = UiFixture::find<QTableWidget>(w, "splitsTable");
    QTRY_COMPARE(splits->rowCount(), 1);
    QCOMPARE(splits->item(0, 4)->text(), QStringLiteral("手入力"));

    // A stock in no list: nothing changes, and the report says why.
    code->setText(QStringLiteral("9999"));
    ratio->setText(QStringLiteral("1:2"));
    QVERIFY(w.addFromBoxes());
    Market::waitIdle(w);
    QCOMPARE(w.reportText(),
             QStringLiteral("9999 はどの株価データベースの銘柄一覧にもありません。何も変えていません。"));
  }
};

QTEST_MAIN(SplitsWindowTest)
#include "splits_window_test.moc"
