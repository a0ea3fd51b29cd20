#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QtTest>
#include <fstream>

#include "base/encoding.h"
#include "base/log.h"
#include "data/price_schema.h"
#include "registration/price_import.h"
#include "registration_support.h"
#include "test_support.h"
#include "ui/app/main_menu_window.h"
#include "ui/common/flex_grid.h"
#include "ui/registration/list_browser_window.h"
#include "ui/registration/registration_window.h"
#include "ui_test_support.h"

using namespace tavrin;
using test::UiFixture;

namespace {

QLineEdit* box(QWidget& w, const QString& name) { return w.findChild<QLineEdit*>(name); }
QString text(QWidget& w, const QString& name) {
  QLineEdit* b = box(w, name);
  return b ? b->text() : QStringLiteral("<missing %1>").arg(name);
}
bool hidden(QWidget& w, const char* name) { return w.findChild<QWidget*>(QString::fromLatin1(name))->isHidden(); }

// A data root with kabuka.mdb (the unit given), stocks and a date record of
// 04/05/10 .. 04/05/01 read from workbook "base".
struct Setup {
  explicit Setup(const std::string& unit, int extraStocks = 0) {
    setLogQuiet(true);
    std::vector<test::Stock> stocks = {
        {"トヨタ", Value(std::int64_t(7203)), {Value(std::int64_t(10)), Value(std::int64_t(20))}},
        {"O'Neil 100%", Value("130A"), {Value(std::int64_t(30))}},
        {"固定", Value(std::int64_t(1000)), {Value(std::int64_t(5))}},
        {"ソフト", Value(std::int64_t(9984)), {}}};
    for (int i = 0; i < extraStocks; ++i)
      stocks.push_back({"x" + std::to_string(i), Value(std::int64_t(20000 + i)), {}});
    test::makePriceDb(db(), unit, stocks);
    test::setBaseDates(db());
    f = std::make_unique<UiFixture>(dir.path());
    f->ctx->state().priceDbPath = toUtf8(db());
    auto& menu = f->ctx->mainMenu();
    menu.setPathBox(QString::fromStdString(toUtf8(db())));
    menu.activate();
  }
  ~Setup() { setLogQuiet(false); }
  std::filesystem::path db() const { return dir / "kabuka.mdb"; }
  ui::RegistrationWindow& reg() { return f->ctx->registration(); }
  // Ten sheets s040510 .. s040501 in workbook "base", each with the rows given.
  void writeBase(const test::SheetRows& rows) {
    std::vector<test::SheetSpec> sheets;
    for (int k = 1; k <= 10; ++k) sheets.push_back({QString::asprintf("s0405%02d", 11 - k).toStdString(), rows});
    QVERIFY(test::writeWorkbook(f->ctx->paths().workbook("base"), sheets));
  }
  int messagesTitled(const std::string& title) const {
    int n = 0;
    for (const auto& m : f->prompts.messages()) n += m.shownTitle() == title;
    return n;
  }
  test::TempDir dir;
  std::unique_ptr<UiFixture> f;
};

}  // namespace

class RegistrationWindowsTest : public QObject {
  Q_OBJECT
 private slots:
  void loadShowsOnlyTheStartButton();
  void startFillsRowsByUnit_data();
  void startFillsRowsByUnit();
  void boxesRecomputeStampsSheetsAndPaths();
  void batchImportFromTheWindow();
  void insertThenLatestImport();
  void progressMovesWhileButtonsAreDisabled();
  void csvAndXlsxRowsImportAndTheReportIsShownWhole();
  void rowsThatAreNoCalendarDatesAreRefused();
  void damagedWorkbookIsReportedAndChangesNothing();
  void listBrowserSearchesAndSorts();
  void okButtonsReturnToTheMenu();
};

void RegistrationWindowsTest::loadShowsOnlyTheStartButton() {
  Setup s("day");
  auto& w = s.reg();
  QCOMPARE(w.objectName(), QString("Form1"));
  for (const char* n :
       {"MSFlexGrid2", "Label2", "Text1", "Text2", "Command4", "Command5", "Command8", "Command11", "Command6"})
    QVERIFY2(hidden(w, n), n);
  QVERIFY(!hidden(w, "Command3"));
  QCOMPARE(w.button("Command3")->text(), QString("まずは　ここから"));
  QCOMPARE(w.findChild<QLabel*>("Label1")->text(), QString("株価の登録"));
  for (int k = 0; k <= 10; ++k) {
    QVERIFY(box(w, QStringLiteral("Text3_%1").arg(k)));
    QVERIFY(w.findChild<QLabel*>(QStringLiteral("Label3_%1").arg(k)));
  }
  for (const char* stem : {"Text16_", "Text4_", "Text11_", "Text12_", "Text13_"})
    for (int k = 1; k <= 10; ++k) QVERIFY(box(w, QString::fromLatin1(stem) + QString::number(k)));
  // No unit yet: the information buttons show nothing.
  UiFixture::click(w, "Command1");
  UiFixture::click(w, "Command9");
  QVERIFY(s.f->prompts.shown().empty());
}

void RegistrationWindowsTest::startFillsRowsByUnit_data() {
  QTest::addColumn<QString>("unit");
  QTest::addColumn<QString>("caption");
  QTest::addColumn<QString>("title3");
  QTest::addColumn<int>("selector");
  QTest::newRow("day") << "day"
                       << "一日挿入"
                       << "2日前" << 100;
  QTest::newRow("week") << "week"
                        << "一週挿入"
                        << "2週間前" << 101;
  QTest::newRow("month") << "month"
                         << "一月挿入"
                         << "2月前" << 101;
  QTest::newRow("Day") << "Day"
                       << "一日挿入"
                       << "" << 0;
}

void RegistrationWindowsTest::startFillsRowsByUnit() {
  QFETCH(QString, unit);
  QFETCH(QString, caption);
  QFETCH(QString, title3);
  QFETCH(int, selector);
  Setup s(unit.toStdString());
  auto& w = s.reg();
  UiFixture::click(w, "Command3");
  QCOMPARE(text(w, "Text4_1"), QString("04"));
  QCOMPARE(text(w, "Text11_1"), QString("05"));
  QCOMPARE(text(w, "Text12_1"), QString("10"));
  QCOMPARE(text(w, "Text12_10"), QString("01"));
  QCOMPARE(text(w, "Text16_7"), QString("7"));
  QCOMPARE(text(w, "Text13_1"), QString("040510"));
  QCOMPARE(text(w, "Text3_0"), QString("Excelファイル"));
  QCOMPARE(text(w, "Text3_4"), QString("base"));
  QCOMPARE(text(w, "Text15"), QString("yy年 mm月 dd日"));
  QCOMPARE(s.messagesTitled("入力の注意"), 1);
  QCOMPARE(w.button("Command5")->text(), caption);
  QCOMPARE(w.findChild<QLabel*>("Label3_3")->text(), title3);
  QCOMPARE(s.f->ctx->state().selectorCode, selector);
  QVERIFY(hidden(w, "Command3"));
  QVERIFY(!hidden(w, "Command4") && !hidden(w, "Command5") && !hidden(w, "Command8"));
  QVERIFY(!hidden(w, "Text1") && !hidden(w, "Label2"));
  const bool midPeriod = unit == "week" || unit == "month";
  QCOMPARE(!hidden(w, "Command6"), midPeriod);
  QCOMPARE(!hidden(w, "Command11"), midPeriod);
  if (unit == "day") QCOMPARE(text(w, "Text5"), QString("日単位が選ばれています"));
  if (unit == "week") QCOMPARE(text(w, "Text5"), QString("週単位が選ばれています"));

  // A second start reloads the rows and shows the note again.
  box(w, "Text12_1")->setText("11");
  w.Command3_Click();
  QCOMPARE(text(w, "Text12_1"), QString("10"));
  QCOMPARE(s.messagesTitled("入力の注意"), 2);

  s.f->prompts.clear();
  UiFixture::click(w, "Command9");
  if (selector == 0) {
    QVERIFY(s.f->prompts.shown().empty());
  } else {
    QCOMPARE(s.f->prompts.messages().size(), size_t(1));
    QCOMPARE(s.f->prompts.messages()[0].icon, MessageIcon::Warning);
  }
}

void RegistrationWindowsTest::boxesRecomputeStampsSheetsAndPaths() {
  Setup s("day");
  auto& w = s.reg();
  UiFixture::click(w, "Command3");
  box(w, "Text11_3")->setText("12");
  QCOMPARE(text(w, "Text13_3"), QString("041208"));
  QCOMPARE(w.sheetName(3), std::string("s041208"));
  QCOMPARE(w.rowPeriod(3).date, std::string("04/12/08"));
  box(w, "Text12_2")->setText("9");  // one character: a five-digit stamp, as typed
  QCOMPARE(text(w, "Text13_2"), QString("04059"));
  box(w, "Text3_5")->setText("other");
  QCOMPARE(w.workbookPath(5), toUtf8(s.f->ctx->paths().workbook("other")));
  QCOMPARE(w.workbookPath(4), toUtf8(s.f->ctx->paths().workbook("base")));
}

void RegistrationWindowsTest::batchImportFromTheWindow() {
  Setup s("day");
  s.writeBase(test::priceRows({{7203, 1500.5}, {"130A", 77}, {1000, 1}}));
  auto& w = s.reg();
  UiFixture::click(w, "Command3");
  box(w, "Text12_1")->setText("11");  // a new latest date, sheet s040511
  const std::string before = test::dumpPriceDb(s.db());

  // A missing sheet: nothing changes, Text1 names it.
  UiFixture::click(w, "Command4");
  QVERIFY2(text(w, "Text1").contains("s040511"), qPrintable(text(w, "Text1")));
  QCOMPARE(test::dumpPriceDb(s.db()), before);
  // A missing workbook.
  box(w, "Text12_1")->setText("10");
  box(w, "Text3_6")->setText("absent");
  UiFixture::click(w, "Command4");
  QVERIFY2(text(w, "Text1").contains("absent.xls"), qPrintable(text(w, "Text1")));
  QCOMPARE(test::dumpPriceDb(s.db()), before);
  QVERIFY(hidden(w, "MSFlexGrid2"));

  box(w, "Text3_6")->setText("base");
  auto& browser = s.f->ctx->listBrowser();
  UiFixture::click(w, "Command4");
  QCOMPARE(text(w, "Text1"), QString("登録　完了しました"));
  QVERIFY(!hidden(w, "MSFlexGrid2"));
  QCOMPARE(w.sheetGrid()->rows(), 4);  // header + three sheet rows
  QCOMPARE(w.sheetGrid()->textMatrix(1, 3), QString("1500.5"));
  Database d(s.db());
  QCOMPARE(test::pricesOf(d, Value(std::int64_t(7203)))[9], Value(std::int64_t(1500)));
  QCOMPARE(test::pricesOf(d, Value(std::int64_t(1000)))[0], Value(std::int64_t(5)));
  // The menu's date grid and the browser see the new state at once.
  QCOMPARE(s.f->ctx->dateGridText(12), std::string("day"));
  QCOMPARE(s.f->ctx->dateGridText(17), std::string("base"));
  QCOMPARE(browser.grid()->textMatrix(1, 7), QString("1500"));
}

void RegistrationWindowsTest::insertThenLatestImport() {
  Setup s("day");
  QVERIFY(test::writeWorkbook(s.f->ctx->paths().workbook("new"),
                              {{"s040511", test::priceRows({{7203, 2000}, {9984, 3001}})}}));
  auto& w = s.reg();
  UiFixture::click(w, "Command3");
  s.f->prompts.clear();
  UiFixture::click(w, "Command5");
  QCOMPARE(text(w, "Text1"), QString("移動　完了しました"));
  QCOMPARE(s.f->prompts.messages().size(), size_t(1));
  const MessageRequest& m = s.f->prompts.messages()[0];
  QCOMPARE(m.shownTitle(), std::string("直近株価の入力"));
  QCOMPARE(m.icon, MessageIcon::Warning);
  QCOMPARE(m.buttons, MessageButtons::OkCancel);
  QCOMPARE(m.text(), std::string("直近の日付を書き入れてください。\n書き込んだら　NEXT　のボタンを押してください。"));
  QVERIFY(hidden(w, "Command5"));
  // The rows reload from the record: position 2 now holds the former latest date.
  QCOMPARE(text(w, "Text12_1"), QString("10"));
  QCOMPARE(text(w, "Text12_2"), QString("10"));
  QCOMPARE(text(w, "Text12_10"), QString("02"));
  {
    Database d(s.db());
    QCOMPARE(test::pricesOf(d, Value(std::int64_t(7203)))[0], Value());
    QCOMPARE(test::pricesOf(d, Value(std::int64_t(7203)))[1], Value(std::int64_t(10)));
    QCOMPARE(w.scratchView().data1().rowCount(), size_t(4));
  }

  // A latest import whose workbook is missing changes nothing.
  box(w, "Text12_1")->setText("11");
  box(w, "Text3_1")->setText("nowhere");
  const std::string before = test::dumpPriceDb(s.db());
  UiFixture::click(w, "Command8");
  QVERIFY(text(w, "Text1").contains("nowhere.xls"));
  QCOMPARE(test::dumpPriceDb(s.db()), before);
  QVERIFY(hidden(w, "Command5"));

  box(w, "Text3_1")->setText("new");
  UiFixture::click(w, "Command8");
  QCOMPARE(text(w, "Text1"), QString("登録　完了しました"));
  QVERIFY(!hidden(w, "Command5"));
  QVERIFY(w.button("Command5")->styleSheet().contains("#c0ffc0"));
  Database d(s.db());
  QCOMPARE(test::pricesOf(d, Value(std::int64_t(7203)))[0], Value(std::int64_t(2000)));
  QCOMPARE(test::pricesOf(d, Value(std::int64_t(9984)))[0], Value(std::int64_t(3001)));
  QCOMPARE(s.f->ctx->dateGridText(2), std::string("04/05/11"));
  QCOMPARE(s.f->ctx->dateGridText(3), std::string("04/05/10"));
}

void RegistrationWindowsTest::damagedWorkbookIsReportedAndChangesNothing() {
  Setup s("day");
  const std::filesystem::path good = s.f->ctx->paths().workbook("good");
  QVERIFY(test::writeWorkbook(good, {{"s040511", test::priceRows({{7203, 2000}})}}));
  {
    const std::string bytes = test::readBytes(good);
    std::ofstream(s.f->ctx->paths().workbook("broken"), std::ios::binary) << bytes.substr(0, bytes.size() * 2 / 3);
  }
  auto& w = s.reg();
  UiFixture::click(w, "Command3");
  box(w, "Text12_1")->setText("11");
  box(w, "Text3_1")->setText("broken");
  const std::string before = test::dumpPriceDb(s.db());
  s.f->prompts.clear();
  UiFixture::click(w, "Command8");
  // The box says it; the run's report, in a scrolling box, says that nothing was written.
  QCOMPARE(text(w, "Text1"), QString("ワークブックを読めませんでした（壊れている可能性があります）: broken.xls"));
  QCOMPARE(s.f->prompts.messages().size(), std::size_t(1));
  QVERIFY(s.f->prompts.messages()[0].scrolling);
  QCOMPARE(s.f->prompts.shown()[0].title, std::string("読み込みの結果"));
  QVERIFY(s.f->prompts.shown()[0].text.find("何も書き込んでいません。\nbroken.xls を読めませんでした") == 0);
  QCOMPARE(test::dumpPriceDb(s.db()), before);
  // The window goes on: the next import with a sound workbook works.
  box(w, "Text3_1")->setText("good");
  UiFixture::click(w, "Command8");
  QCOMPARE(text(w, "Text1"), QString("登録　完了しました"));
}

void RegistrationWindowsTest::csvAndXlsxRowsImportAndTheReportIsShownWhole() {
  Setup s("day");
  {
    std::string csv = "\"SC\",\"名称\",\"日付\",\"株価\"\r\n\"7203\",\"トヨタ\",\"2004/05/11\",\"2,001\"\r\n";
    for (int code = 3001; code <= 3012; ++code)
      csv += "\"" + std::to_string(code) + "\",\"新\",\"2004/05/11\",\"9\"\r\n";
    std::ofstream(s.dir / "next.csv", std::ios::binary) << *utf8ToCp932(csv);
  }
  auto& w = s.reg();
  UiFixture::click(w, "Command3");
  box(w, "Text12_1")->setText("11");
  box(w, "Text3_1")->setText("next.csv");
  QCOMPARE(QString::fromStdString(w.workbookPath(1)), QString::fromStdString(toUtf8(s.dir / "next.csv")));
  s.f->prompts.clear();
  UiFixture::click(w, "Command8");
  QCOMPARE(text(w, "Text1"), QString("登録　完了しました"));
  QCOMPARE(s.f->prompts.messages().size(), std::size_t(1));
  const std::string report = s.f->prompts.shown()[0].text;
  QVERIFY(s.f->prompts.messages()[0].scrolling);
  for (const char* part :
       {"1 行目　04/05/11　next.csv\n", "　読み込んだ株価：13 件\n", "　ファイルに株価のない銘柄：2 件\n",
        "　銘柄リストにないコード：12 件（3001、3002、3003、3004、3005、3006、3007、3008、3009、3010、…）\n"})
    QVERIFY2(report.find(part) != std::string::npos, report.c_str());
  Database d(s.db());
  QCOMPARE(test::pricesOf(d, Value(std::int64_t(7203)))[0], Value(std::int64_t(2001)));
  // The sheet grid shows the file that was read.
  QVERIFY(!hidden(w, "MSFlexGrid2"));

  // A workbook whose prices are formulas without values writes nothing and says why.
  QVERIFY(test::writeWorkbook(s.dir / "formulas.xlsx",
                              {{"s040511", {{"コード", "銘柄", "終値"}, {7203, "A", test::Formula{"=1+1", 2}}}}},
                              "openpyxl"));
  const std::string before = test::dumpPriceDb(s.db());
  box(w, "Text3_1")->setText("formulas.xlsx");
  s.f->prompts.clear();
  UiFixture::click(w, "Command8");
  QCOMPARE(text(w, "Text1"), QString("株価を読み取れませんでした：formulas.xlsx"));
  const std::string why = s.f->prompts.shown().at(0).text;
  QVERIFY2(why.find("株価が値の保存されていない数式です（1 セル）") != std::string::npos, why.c_str());
  QCOMPARE(test::dumpPriceDb(s.db()), before);
  // Text1 shows its text whole.
  QLineEdit* status = box(w, "Text1");
  QVERIFY(status->width() >= status->fontMetrics().horizontalAdvance(status->text()));
}

void RegistrationWindowsTest::rowsThatAreNoCalendarDatesAreRefused() {
  Setup s("day");
  s.writeBase(test::priceRows({{7203, 1}}));
  auto& w = s.reg();
  UiFixture::click(w, "Command3");
  const std::string before = test::dumpPriceDb(s.db());
  box(w, "Text11_3")->setText("13");
  box(w, "Text12_3")->setText("40");
  UiFixture::click(w, "Command4");
  QCOMPARE(text(w, "Text1"), QString("日付が正しくありません：3 行目 04/13/40"));
  box(w, "Text11_3")->setText("05");
  box(w, "Text12_3")->setText("10");  // the date of row 1
  UiFixture::click(w, "Command4");
  QCOMPARE(text(w, "Text1"), QString("日付が重なっています：1 行目と 3 行目が同じ 04/05/10"));
  QCOMPARE(test::dumpPriceDb(s.db()), before);
}

void RegistrationWindowsTest::progressMovesWhileButtonsAreDisabled() {
  Setup s("day", 1200);
  s.writeBase(test::priceRows({{7203, 1}}));
  auto& w = s.reg();
  UiFixture::click(w, "Command3");
  QStringList counts;
  bool buttonsEnabled = false;
  connect(box(w, "Text1"), &QLineEdit::textChanged, this, [&](const QString& t) {
    counts << t;
    if (t.isEmpty() || !t.at(0).isDigit()) return;
    for (const char* n : {"Command2", "Command5", "Command8", "Command4"}) buttonsEnabled |= w.button(n)->isEnabled();
  });
  UiFixture::click(w, "Command4");
  QVERIFY2(counts.size() >= 4, qPrintable(counts.join(',')));
  QVERIFY(counts.contains("250") && counts.contains("1000"));
  QCOMPARE(counts.last(), QString("登録　完了しました"));
  QVERIFY(!buttonsEnabled);
  QVERIFY(w.button("Command2")->isEnabled());
}

void RegistrationWindowsTest::listBrowserSearchesAndSorts() {
  Setup s("day");
  auto& b = s.f->ctx->listBrowser();
  QCOMPARE(b.objectName(), QString("Form28"));
  QCOMPARE(b.windowTitle(), QString("株価の入力画面"));
  QCOMPARE(text(b, "Text7"), QString("4"));
  box(b, "Text7")->setText("99");
  QTest::keyClick(box(b, "Text7"), Qt::Key_1);  // typing is overwritten at once
  QCOMPARE(text(b, "Text7"), QString("4"));

  auto search = [&](const char* button, std::optional<std::string> answer) {
    s.f->prompts.queueInput(std::move(answer));
    UiFixture::click(b, button);
    return b.grid()->rows() - 1;
  };
  QCOMPARE(search("Command4", "7203"), 1);
  QCOMPARE(b.grid()->textMatrix(1, 2), QString("トヨタ"));
  QCOMPARE(search("Command4", " 130A "), 1);
  QCOMPARE(b.grid()->textMatrix(1, 3), QString("130A"));
  // Typed in lower case or full width: the same stock.
  for (const char* typed : {"130a", "１３０ａ"}) {
    QCOMPARE(search("Command4", "7203"), 1);
    QCOMPARE(search("Command4", typed), 1);
    QCOMPARE(b.grid()->textMatrix(1, 3), QString("130A"));
  }
  QCOMPARE(search("Command4", std::nullopt), 1);  // Cancel: the grid stays
  QCOMPARE(search("Command4", ""), 1);
  // A text that is no code is refused with a message; the grid stays.
  QCOMPARE(search("Command4", "1 or 1=1"), 1);
  QCOMPARE(s.f->prompts.shown().back().title, std::string("検索"));
  QVERIFY(s.f->prompts.shown().back().text.find("1 or 1=1") != std::string::npos);
  QCOMPARE(search("Command4", "1e3"), 1);
  QCOMPARE(search("Command4", "9999"), 0);
  QCOMPARE(s.f->prompts.shown().back().text, std::string("検索するコードを入力してください"));

  QCOMPARE(search("Command3", "O'Neil"), 1);
  QCOMPARE(search("Command3", "%"), 1);  // a percent sign is only itself
  QCOMPARE(search("Command3", "_"), 0);
  QCOMPARE(search("Command3", "ヨ"), 1);
  QCOMPARE(s.f->prompts.shown().back().text, std::string("検索する銘柄を入力してください"));
  QCOMPARE(search("Command3", std::nullopt), 4);
  QCOMPARE(text(b, "Text7"), QString("4"));

  b.grid()->setCol(3);
  UiFixture::click(b, "Command13");
  QCOMPARE(b.grid()->textMatrix(1, 3), QString("1000"));
  b.grid()->setCol(1);
  UiFixture::click(b, "Command13");  // column 1: no sort
  QCOMPARE(b.grid()->textMatrix(1, 3), QString("1000"));
  int toyota = 1;
  while (toyota < b.grid()->rows() - 1 && b.grid()->textMatrix(toyota, 3) != "7203") ++toyota;
  b.grid()->view()->setCurrentIndex(b.grid()->model()->index(toyota - 1, 4));  // the user enters that row
  QCOMPARE(text(b, "Text3"), QString("7203"));
  QCOMPARE(text(b, "Text6"), QString("トヨタ"));
  QCOMPARE(text(b, "Text1"), QString("20"));
  QCOMPARE(text(b, "Text2"), QString("東証１部"));

  // Imports work on the whole table whatever the browser shows.
  QCOMPARE(search("Command4", "7203"), 1);
  s.writeBase(test::priceRows({{9984, 42}}));
  auto& w = s.reg();
  UiFixture::click(w, "Command3");
  UiFixture::click(w, "Command8");
  Database d(s.db());
  QCOMPARE(test::pricesOf(d, Value(std::int64_t(9984)))[0], Value(std::int64_t(42)));
  QCOMPARE(b.grid()->rows() - 1, 1);  // the browser keeps its search
}

void RegistrationWindowsTest::okButtonsReturnToTheMenu() {
  Setup s("day");
  auto& menu = s.f->ctx->mainMenu();
  UiFixture::click(menu, "Command10");
  QVERIFY(s.f->ctx->listBrowserLoaded());
  QVERIFY(s.f->ctx->registration().isVisible());
  QVERIFY(s.f->ctx->listBrowser().isVisible());
  QCOMPARE(s.f->ctx->state().selectorCode, 100);
  UiFixture::click(s.f->ctx->registration(), "Command2");
  QVERIFY(!s.f->ctx->listBrowserLoaded());
  QVERIFY(menu.isVisible());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  // A fresh registration window starts over.
  QVERIFY(!hidden(s.f->ctx->registration(), "Command3"));

  UiFixture::click(menu, "Command22");
  auto& b = s.f->ctx->listBrowser();
  QVERIFY(b.isVisible());
  UiFixture::click(b, "Command5");
  QVERIFY(!s.f->ctx->listBrowserLoaded());
  QVERIFY(menu.isVisible());
}

QTEST_MAIN(RegistrationWindowsTest)
#include "registration_windows_test.moc"
