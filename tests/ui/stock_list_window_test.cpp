#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include "app/setup.h"
#include "base/log.h"
#include "registration_support.h"
#include "stocklist/stock_list_update.h"
#include "ui/app/main_menu_window.h"
#include "ui/stocklist/stock_list_window.h"
#include "ui_test_support.h"

using namespace tavrin;
using test::Cell;
using test::UiFixture;

namespace {

std::vector<Cell> issue(Cell code, const char* name, const char* section, double date = 20261130.0) {
  return {date, code, name, section, "-", "-", "-", "-", "-", "-"};
}

test::SheetRows listedIssues(bool withOld) {
  test::SheetRows rows = {{"日付", "コード", "銘柄名", "市場・商品区分", "33業種コード", "33業種区分", "17業種コード",
                           "17業種区分", "規模コード", "規模区分"},
                          issue(7203, "トヨタ自動車", "プライム（内国株式）"),
                          issue("130A", "ベリタス", "グロース（内国株式）"),
                          issue(1305, "ＥＴＦ", "ETF・ETN")};
  if (withOld) rows.push_back(issue(9999, "上場廃止予定", "スタンダード（内国株式）"));
  return rows;
}

std::size_t listRows(const std::filesystem::path& db) {
  Database d(db, Database::Mode::ReadOnly);
  return static_cast<std::size_t>(d.scalar("select count(*) from [list]").integer());
}

struct Setup {
  test::TempDir dir;
  Paths paths{dir.path()};
  UiFixture f{dir.path()};
  Setup() { initStandardFiles(paths); }

  ui::StockListWindow& open() {
    auto& menu = f.ctx->mainMenu();
    menu.setPathBox(QString::fromStdString(toUtf8(paths.dailyDb())));
    menu.show();
    menu.activate();
    QPushButton* b = menu.button("stockListUpdateButton");
    if (!b) return f.ctx->stockList();
    b->click();
    return f.ctx->stockList();
  }
  QString report() { return UiFixture::find<QPlainTextEdit>(f.ctx->stockList(), "stockListReport")->toPlainText(); }
  QPushButton* button(const char* name) { return UiFixture::find<QPushButton>(f.ctx->stockList(), name); }
  QCheckBox* check(const char* name) { return UiFixture::find<QCheckBox>(f.ctx->stockList(), name); }
};

}  // namespace

class StockListWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { setLogQuiet(true); }
  void previewThenApplyFillsTheThreeDatabases();
  void removingAsksHowManyAndCancelKeepsThem();
  void unusableFilesWriteNothing();
  void foldersMissingEmptyAndOtherFilesAreNamed();
  void anOlderListAsksFirst();
};

void StockListWindowTest::previewThenApplyFillsTheThreeDatabases() {
  Setup s;
  QVERIFY(s.f.ctx->mainMenu().button("stockListUpdateButton"));
  QCOMPARE(s.f.ctx->mainMenu().button("stockListUpdateButton")->text(), QString("銘柄リストの更新"));
  ui::StockListWindow& w = s.open();
  QVERIFY(w.isVisible());
  QCOMPARE(w.objectName(), QString("StockListWindow"));
  QVERIFY(!s.button("stockListApplyButton")->isEnabled());

  const auto file = s.dir / "data_j.xls";
  QVERIFY(test::writeWorkbook(file, {{"Sheet1", listedIssues(false)}}));
  s.f.nextFileChoice = "";
  s.button("stockListChooseButton")->click();  // cancelled dialog: nothing happens
  QVERIFY(!s.button("stockListApplyButton")->isEnabled());

  const std::string before = test::readBytes(s.paths.dailyDb());
  s.f.nextFileChoice = toUtf8(file);
  s.button("stockListChooseButton")->click();
  QCOMPARE(UiFixture::find<QLineEdit>(w, "stockListFileBox")->text(), QString::fromStdString(toUtf8(file)));
  QVERIFY(s.report().contains("プレビュー"));
  QVERIFY(s.report().contains("kabuka.mdb（試算・書き込みなし）: 追加 2"));
  QVERIFY(s.report().contains("追加\t130A\tベリタス"));
  QVERIFY(s.report().contains("ETF・ETN 1"));
  QCOMPARE(test::readBytes(s.paths.dailyDb()), before);  // the preview writes nothing
  // Funds on request.
  s.check("stockListFundsCheck")->setChecked(true);
  QVERIFY(s.report().contains("kabuka.mdb（試算・書き込みなし）: 追加 3"));
  s.check("stockListFundsCheck")->setChecked(false);

  QVERIFY(s.button("stockListApplyButton")->isEnabled());
  s.button("stockListApplyButton")->click();
  QVERIFY(s.f.prompts.shown().empty());
  QVERIFY(s.report().contains("更新しました"));
  QVERIFY(s.report().contains("Tkabuka.mdb: 追加 2"));
  // Every database's counts, each added stock once.
  QVERIFY(s.report().contains("\nkabuka.mdb: 追加 2"));
  QVERIFY(s.report().contains("\nWkabuka.mdb: 追加 2"));
  QCOMPARE(s.report().count("追加\t130A\t"), 1);
  for (const auto& t : standardStockListTargets(s.paths)) QCOMPARE(listRows(t.path), std::size_t(2));
  QVERIFY(!s.button("stockListApplyButton")->isEnabled());

  s.button("stockListCloseButton")->click();
  QVERIFY(!w.isVisible());
}

void StockListWindowTest::removingAsksHowManyAndCancelKeepsThem() {
  Setup s;
  const auto first = s.dir / "first.xls", second = s.dir / "second.xls";
  QVERIFY(test::writeWorkbook(first, {{"Sheet1", listedIssues(true)}}));
  QVERIFY(test::writeWorkbook(second, {{"Sheet1", listedIssues(false)}}));
  ui::StockListWindow& w = s.open();
  QVERIFY(w.preview(QString::fromStdString(toUtf8(first))));
  w.apply();
  QCOMPARE(listRows(s.paths.weeklyDb()), std::size_t(3));

  QVERIFY(w.preview(QString::fromStdString(toUtf8(second))));
  QVERIFY(s.report().contains("上場していない銘柄 1（残します）"));
  s.check("stockListRemoveCheck")->setChecked(true);
  QVERIFY(s.report().contains("上場していない銘柄 1（削除します）"));
  s.f.prompts.queueMessageAnswer(MessageAnswer::Cancel);
  s.button("stockListApplyButton")->click();
  QCOMPARE(s.f.prompts.messages().size(), size_t(1));
  const MessageRequest& m = s.f.prompts.messages()[0];
  QCOMPARE(QString::fromStdString(m.shownTitle()), QString("銘柄リストの更新"));
  QVERIFY(QString::fromStdString(m.text()).contains("一覧にない銘柄 1 銘柄を削除します。"));
  QCOMPARE(listRows(s.paths.weeklyDb()), std::size_t(3));

  s.f.prompts.queueMessageAnswer(MessageAnswer::Ok);
  s.button("stockListApplyButton")->click();
  QVERIFY(s.report().contains("削除\t9999\t上場廃止予定"));
  for (const auto& t : standardStockListTargets(s.paths)) QCOMPARE(listRows(t.path), std::size_t(2));
}

void StockListWindowTest::unusableFilesWriteNothing() {
  Setup s;
  ui::StockListWindow& w = s.open();
  const auto prices = s.dir / "owarine.xls";
  QVERIFY(test::writeWorkbook(prices, {{"s261209", {{"日付", "終値"}, {1, 2}}}}));
  QVERIFY(!w.preview(QString::fromStdString(toUtf8(prices))));
  QCOMPARE(s.report(), QString("コードと銘柄名の列が見つかりません: owarine.xls"));
  QVERIFY(!s.button("stockListApplyButton")->isEnabled());
  const auto broken = s.dir / "broken.xls";
  {
    std::ofstream out(broken, std::ios::binary);
    out << "\xD0\xCF\x11\xE0 not really a workbook";
  }
  QVERIFY(!w.preview(QString::fromStdString(toUtf8(broken))));
  QVERIFY(s.report().startsWith("ワークブックを読めませんでした"));
  // The reader's reason follows.
  QCOMPARE(s.report(), QString("ワークブックを読めませんでした（壊れている可能性があります）: broken.xls"
                               "（not a readable workbook: not a text file in UTF-8 or code page 932）"));

  // A database held by another program: a message, nothing written anywhere.
  const auto file = s.dir / "data_j.xls";
  QVERIFY(test::writeWorkbook(file, {{"Sheet1", listedIssues(false)}}));
  QVERIFY(w.preview(QString::fromStdString(toUtf8(file))));
  const std::string daily = test::readBytes(s.paths.dailyDb());
  {
    Database other(s.paths.monthlyDb());
    other.exec("begin immediate");
    other.exec("update [日付] set [kabuka1] = 'x'");
    s.button("stockListApplyButton")->click();
    other.exec("rollback");
  }
  QCOMPARE(s.f.prompts.messages().size(), size_t(1));
  QVERIFY(QString::fromStdString(s.f.prompts.messages()[0].text()).contains("Tkabuka.mdb"));
  const QString monthly = QString::fromStdString(toUtf8(s.paths.monthlyDb().filename()));
  QCOMPARE(s.f.prompts.messages()[0].lines,
           (std::vector<std::string>{"銘柄リストを更新できませんでした: " + monthly.toStdString(),
                                     "どのデータベースも変更していません。"}));
  QCOMPARE(s.report(), QString("更新できませんでした（どのデータベースも変更していません）: ") + monthly);
  QCOMPARE(test::readBytes(s.paths.dailyDb()), daily);
  QCOMPARE(listRows(s.paths.monthlyDb()), std::size_t(0));
}

void StockListWindowTest::foldersMissingEmptyAndOtherFilesAreNamed() {
  Setup s;
  ui::StockListWindow& w = s.open();
  std::filesystem::create_directories(s.dir / "lists");
  std::ofstream(s.dir / "empty.csv").close();
  std::ofstream(s.dir / "list.txt") << "コード,銘柄名\n7203,トヨタ自動車\n";
  QCOMPARE(
      test::runCommand("gzip -c '" + toUtf8(s.dir / "list.txt") + "' > '" + toUtf8(s.dir / "data_j.csv") + "'").status,
      0);
  const std::pair<const char*, QString> cases[] = {
      {"lists", "フォルダーのため読み込めません: lists"},
      {"none.xls", "ファイルが見つかりません: none.xls"},
      {"empty.csv", "空のファイルのため読み込めません: empty.csv"},
      {"data_j.csv", "上場銘柄一覧のファイル（xls、xlsx、ods、csv）ではありません: data_j.csv"},
  };
  for (const auto& [name, says] : cases) {
    QVERIFY(!w.preview(QString::fromStdString(toUtf8(s.dir / name))));
    QCOMPARE(s.report(), says);
    QVERIFY(!s.button("stockListApplyButton")->isEnabled());
  }
  QVERIFY(s.f.prompts.shown().empty());
}

void StockListWindowTest::anOlderListAsksFirst() {
  Setup s;
  const auto now = s.dir / "data_j.xls", old = s.dir / "data_j_2023.xls";
  QVERIFY(test::writeWorkbook(now, {{"Sheet1", listedIssues(false)}}));
  test::SheetRows oldRows = listedIssues(false);
  oldRows[1] = issue(7203, "トヨタ", "市場第一部（内国株式）", 20230428.0);
  for (std::size_t i = 2; i < oldRows.size(); ++i) oldRows[i][0] = 20230428.0;
  QVERIFY(test::writeWorkbook(old, {{"Sheet1", oldRows}}));
  ui::StockListWindow& w = s.open();
  QVERIFY(w.preview(QString::fromStdString(toUtf8(now))));
  w.apply();
  QVERIFY(s.f.prompts.shown().empty());

  QVERIFY(w.preview(QString::fromStdString(toUtf8(old))));
  QVERIFY2(s.report().contains("一覧の日付 2023-04-28"), qPrintable(s.report()));
  QVERIFY(s.report().contains("（前回の一覧 2026-11-30 より古い一覧です）"));
  QVERIFY(s.report().contains(
      "\n注意: この一覧（2023-04-28）は、前回の更新に使った一覧（2026-11-30、data_j.xls）より古いものです。"));
  const std::string daily = test::readBytes(s.paths.dailyDb());
  s.f.prompts.queueMessageAnswer(MessageAnswer::Cancel);
  s.button("stockListApplyButton")->click();
  QCOMPARE(s.f.prompts.messages().size(), size_t(1));
  const MessageRequest& m = s.f.prompts.messages()[0];
  QCOMPARE(m.icon, MessageIcon::Warning);
  QCOMPARE(m.buttons, MessageButtons::OkCancel);
  QCOMPARE(m.lines.front(),
           std::string("この一覧（2023-04-28）は、前回の更新に使った一覧（2026-11-30、data_j.xls）より古いものです。"));
  QCOMPARE(test::readBytes(s.paths.dailyDb()), daily);

  s.f.prompts.queueMessageAnswer(MessageAnswer::Ok);
  s.button("stockListApplyButton")->click();
  QCOMPARE(s.f.prompts.messages().size(), size_t(2));
  QVERIFY2(s.report().startsWith("【更新しました】"), qPrintable(s.report()));
  QVERIFY(s.report().contains("銘柄: トヨタ自動車 → トヨタ"));
}

QTEST_MAIN(StockListWindowTest)
#include "stock_list_window_test.moc"
