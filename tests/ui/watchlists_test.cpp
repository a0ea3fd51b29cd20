#include <QLabel>
#include <QLineEdit>
#include <QtTest>
#include <fstream>

#include "base/log.h"
#include "data/price_schema.h"
#include "test_support.h"
#include "ui/app/main_menu_window.h"
#include "ui/common/flex_grid.h"
#include "ui/screening/screening_hooks.h"
#include "ui/screening/screening_window.h"
#include "ui/watchlists/watch_list_windows.h"
#include "ui/watchlists/watch_menu_actions.h"
#include "ui_test_support.h"
#include "watch_samples.h"
#include "watchlists/watch_list_store.h"
#include "watchlists/watch_query.h"

using namespace tavrin;
using ui::FlexGrid;

namespace {

std::vector<test::SampleStock> sampleMarket() {
  return {{"7203", "トヨタ自動車", "東証１部", 100, 2000, 2200},  // ratio1 10
          {"6758", "ソニー", "東証１部", 100, 1000, 1300},        // ratio1 30
          {"130A", "新興テック", "マザーズ", 100, 500, 450},      // ratio1 -10
          {"9999", "二部工業", "東証２部", 1000, 300, 330}};
}

void list(const std::filesystem::path& root, WatchList l, const std::vector<std::string>& codes,
          const std::string& date = "26/12/01") {
  const auto path = root / "kabulist.mdb";
  prepareWatchListDatabase(path);
  for (const auto& c : codes) addWatchStock(path, l, {c, "銘柄" + c, "東証１部", "100", date});
}

std::vector<std::string> gridCodes(FlexGrid* g, int col) {
  std::vector<std::string> out;
  for (int r = 1; r < g->rows(); ++r) out.push_back(g->textMatrix(r, col).toStdString());
  return out;
}

// A screening window over the sample market on one universe's query.
ui::ScreeningWindow& screeningOn(test::UiFixture& f, const std::filesystem::path& db, int universe,
                                 const std::string& baseQuery) {
  auto& s = f.ctx->screening();
  f.ctx->state().priceDbPath = toUtf8(db);
  f.ctx->state().universeIndex = universe;
  f.ctx->state().baseQuery = baseQuery;
  s.data1().setDatabaseName(toUtf8(db));
  if (!s.requery(baseQuery)) qFatal("sample query failed");
  return s;
}

}  // namespace

class WatchListsTest : public QObject {
  Q_OBJECT
 private slots:
  void missingFileIsCreatedWithEmptyLists();
  void unreadableFileIsReportedOnceAndListsStayEmpty();
  void activationRemovesOneRepeatedCodeEachTime();
  void deleteSortCountAndClose();
  void doubleClickPutsTheStockOnTheTrendList();
  void menuButtonsOpenTheWatchedUniverse();
  void menuButtonWithEmptyListStaysOnTheMenu();
  void extractionKeepsListedStocksByRatio1();
  void chartLinksOpenOrShowTheAddress();
};

void WatchListsTest::missingFileIsCreatedWithEmptyLists() {
  test::TempDir dir;
  test::UiFixture f(dir.path());
  auto& trend = f.ctx->trendList();
  auto& interest = f.ctx->interestList();
  QCOMPARE(trend.objectName(), QString("Form17"));
  QCOMPARE(interest.objectName(), QString("Form13"));
  QVERIFY(std::filesystem::exists(dir / "kabulist.mdb"));
  QVERIFY(f.prompts.shown().empty());
  for (ui::WatchListWindow* w :
       {static_cast<ui::WatchListWindow*>(&trend), static_cast<ui::WatchListWindow*>(&interest)}) {
    QCOMPARE(w->grid()->rows(), 1);
    QCOMPARE(w->countText(), QString("0"));
    QCOMPARE(w->grid()->textMatrix(0, 2), QString("コード"));
    QCOMPARE(w->grid()->colWidth(6), 1100);
    w->activate();  // nothing to remove on an empty list
    QCOMPARE(w->grid()->rows(), 1);
  }
  QCOMPARE(test::UiFixture::find<QLabel>(trend, "Label3")->text(), QString("トレンド注目銘柄"));
  QCOMPARE(test::UiFixture::find<QLabel>(interest, "Label3")->text(), QString("注目銘柄"));
}

void WatchListsTest::unreadableFileIsReportedOnceAndListsStayEmpty() {
  test::TempDir dir;
  {
    std::ofstream out(dir / "kabulist.mdb", std::ios::binary);
    out << std::string(8192, '\x42');
  }
  setLogQuiet(true);
  test::UiFixture f(dir.path());
  QCOMPARE(f.ctx->trendList().grid()->rows(), 1);
  QCOMPARE(f.ctx->interestList().grid()->rows(), 1);
  QCOMPARE(f.prompts.messages().size(), size_t(1));
  QVERIFY(QString::fromStdString(f.prompts.messages()[0].text()).contains("kabulist.mdb"));
  // The menu button goes on to its own message; the double-click adds nothing.
  openWatchedScreening(*f.ctx, 22);
  QCOMPARE(f.prompts.messages().size(), size_t(2));
  QCOMPARE(f.prompts.messages()[1].text(), std::string("注目銘柄は選択されていません"));
  setLogQuiet(false);
}

void WatchListsTest::activationRemovesOneRepeatedCodeEachTime() {
  test::TempDir dir;
  list(dir.path(), WatchList::Trend, {"7203", "7203", "6758", "7203"});
  list(dir.path(), WatchList::Checklist, {"130A", "6758", "130A"});
  test::UiFixture f(dir.path());
  auto& trend = f.ctx->trendList();
  QCOMPARE(trend.countText(), QString("4"));
  QVERIFY(!trend.isVisible());  // reading the list does not show it
  trend.activate();
  QVERIFY(trend.isVisible());
  QCOMPARE(trend.countText(), QString("3"));
  trend.activate();
  QCOMPARE(gridCodes(trend.grid(), 2), (std::vector<std::string>{"7203", "6758"}));  // table order after a removal
  trend.activate();
  QCOMPARE(gridCodes(trend.grid(), 2), (std::vector<std::string>{"6758", "7203"}));  // code order otherwise
  QCOMPARE(readWatchCodes(dir / "kabulist.mdb", WatchList::Trend), (std::vector<std::string>{"7203", "6758"}));

  auto& interest = f.ctx->interestList();
  interest.activate();
  QCOMPARE(readWatchCodes(dir / "kabulist.mdb", WatchList::Checklist), (std::vector<std::string>{"130A", "6758"}));
}

void WatchListsTest::deleteSortCountAndClose() {
  test::TempDir dir;
  const auto path = dir / "kabulist.mdb";
  list(dir.path(), WatchList::Trend, {"7203"}, "99/12/30");
  list(dir.path(), WatchList::Trend, {"6758"}, "00/01/05");
  list(dir.path(), WatchList::Trend, {"130A"}, "08/03/05");
  test::UiFixture f(dir.path());
  auto& w = f.ctx->trendList();
  w.show();

  f.prompts.queueMessageAnswer(MessageAnswer::Cancel);
  w.Label2_Click();
  QCOMPARE(f.prompts.messages().size(), size_t(1));
  const MessageRequest& help = f.prompts.messages()[0];
  QCOMPARE(help.shownTitle(), std::string("マイ　リストの削除"));
  QCOMPARE(help.text(), std::string("削除しの準備をします\n　銘柄の見出し部分をダブルクリックします.\n"
                                    "　その後　削除ボタンをクリックしてください。\n\n"));
  QCOMPARE(w.grid()->rows(), 4);  // the answer changes nothing

  // Dates compare as text: year 00 before 99.
  w.grid()->setCol(6);
  test::UiFixture::click(w, "Command3");
  QCOMPARE(gridCodes(w.grid(), 2), (std::vector<std::string>{"6758", "130A", "7203"}));
  w.grid()->setCol(0);
  test::UiFixture::click(w, "Command3");
  QCOMPARE(gridCodes(w.grid(), 2), (std::vector<std::string>{"6758", "130A", "7203"}));

  // The selected row goes.
  w.grid()->setRow(2);
  test::UiFixture::click(w, "Command1");
  QCOMPARE(readWatchCodes(path, WatchList::Trend), (std::vector<std::string>{"7203", "6758"}));
  QCOMPARE(w.countText(), QString("2"));
  // Right after a refresh the current row is row 1.
  test::UiFixture::click(w, "Command1");
  QCOMPARE(readWatchCodes(path, WatchList::Trend), (std::vector<std::string>{"6758"}));

  auto* count = test::UiFixture::find<QLineEdit>(w, "Text9");
  QTest::keyClicks(count, "77");
  QCOMPARE(count->text(), QString("1"));

  QVERIFY(!w.close());
  QVERIFY(w.isVisible());
  test::UiFixture::click(w, "Command2");
  QVERIFY(!w.isVisible());
  QVERIFY(f.ctx->isLoaded(&w));
}

void WatchListsTest::doubleClickPutsTheStockOnTheTrendList() {
  test::TempDir dir;
  const auto db = dir / "kabuka.mdb";
  test::plantStocks(db, sampleMarket());
  test::UiFixture f(dir.path());
  auto& s = screeningOn(f, db, 1, universeQuery(1));
  FlexGrid* g = s.grid();
  int row130A = 0;
  for (int r = 1; r < g->rows(); ++r)
    if (g->textMatrix(r, 3) == "130A") row130A = r;
  QVERIFY(row130A > 0);
  g->setRow(row130A);
  ui::screeningGridDoubleClicked(s);
  auto& trend = f.ctx->trendList();
  QVERIFY(trend.isVisible());
  QCOMPARE(trend.grid()->rows(), 2);
  const QueryResult r = readWatchList(dir / "kabulist.mdb", WatchList::Trend);
  QCOMPARE(r.rows.size(), size_t(1));
  QCOMPARE(r.rows[0][1].display(), std::string("130A"));
  QCOMPARE(r.rows[0][2].display(), std::string("新興テック"));
  QCOMPARE(r.rows[0][3].display(), std::string("マザーズ"));
  QCOMPARE(r.rows[0][4].display(), std::string("100"));
  QCOMPARE(r.rows[0][5].display(), std::string("26/12/09"));

  // The same stock again: after the window's activation it is listed once.
  ui::screeningGridDoubleClicked(s);
  QTRY_COMPARE(trend.countText(), QString("1"));
  QCOMPARE(readWatchCodes(dir / "kabulist.mdb", WatchList::Trend), std::vector<std::string>{"130A"});
  QCOMPARE(trend.countText(), QString("1"));
  QVERIFY(f.prompts.shown().empty());
}

void WatchListsTest::menuButtonsOpenTheWatchedUniverse() {
  test::TempDir dir;
  std::vector<std::string> codes;
  for (int i = 0; i < 160; ++i) codes.push_back(std::to_string(2000 + i));
  codes.push_back("130A");
  codes.push_back("2000");
  list(dir.path(), WatchList::Checklist, codes);
  list(dir.path(), WatchList::Trend, {"7203"});
  test::UiFixture f(dir.path());
  auto& menu = f.ctx->mainMenu();
  menu.show();
  menu.button("Command9")->click();
  QCOMPARE(f.ctx->state().selectorCode, 1023);
  QCOMPARE(f.ctx->state().watchQuery, watchListQuery(codes));
  QVERIFY(f.ctx->state().watchQuery.find(", 2159, ") != std::string::npos);
  QVERIFY(f.ctx->state().watchQuery.find(", '130A')") != std::string::npos);
  QVERIFY(f.ctx->screeningLoaded() && f.ctx->screening().isVisible());
  QVERIFY(!menu.isVisible());
  QVERIFY(!f.ctx->interestList().isVisible());
  QVERIFY(f.prompts.shown().empty());

  f.ctx->screening().hide();
  menu.show();
  menu.button("Command25")->click();
  QCOMPARE(f.ctx->state().selectorCode, 1022);
  QCOMPARE(f.ctx->state().watchQuery, std::string("select * from [list1plus]where [コード]=7203"));
}

void WatchListsTest::menuButtonWithEmptyListStaysOnTheMenu() {
  test::TempDir dir;
  test::UiFixture f(dir.path());
  auto& menu = f.ctx->mainMenu();
  menu.show();
  menu.button("Command25")->click();
  QCOMPARE(f.prompts.messages().size(), size_t(1));
  const MessageRequest& m = f.prompts.messages()[0];
  QCOMPARE(m.text(), std::string("注目銘柄は選択されていません"));
  QCOMPARE(m.shownTitle(), std::string(kApplicationTitle));
  QVERIFY(m.icon == MessageIcon::Critical);
  QVERIFY(m.buttons == MessageButtons::OkCancel);
  QVERIFY(menu.isVisible());
  QVERIFY(!f.ctx->screeningLoaded() || !f.ctx->screening().isVisible());
}

void WatchListsTest::extractionKeepsListedStocksByRatio1() {
  test::TempDir dir;
  const auto db = dir / "kabuka.mdb";
  test::plantStocks(db, sampleMarket());
  list(dir.path(), WatchList::Trend, {"7203", "9999", "6758"});
  test::UiFixture f(dir.path());

  // Universe "１部": the second-section stock is not in it; largest ratio1 first.
  auto& s = screeningOn(f, db, 2, universeQuery(2));
  ui::screeningExtractClicked(s, "Command26");
  QCOMPARE(gridCodes(s.grid(), 3), (std::vector<std::string>{"6758", "7203"}));
  QCOMPARE(s.grid()->col(), 8);
  QVERIFY(!f.ctx->trendList().isVisible());

  // The empty checklist empties the grid.
  ui::screeningExtractClicked(s, "Command16");
  QCOMPARE(s.grid()->rows(), 1);

  // The watch-list universe narrows its own WHERE clause.
  const std::string watched = watchListQuery({"130A", "7203", "6758"});
  screeningOn(f, db, 22, watched);
  QCOMPARE(s.grid()->rows(), 4);
  ui::screeningExtractClicked(s, "Command26");
  QCOMPARE(gridCodes(s.grid(), 3), (std::vector<std::string>{"6758", "7203"}));
  QCOMPARE(f.ctx->state().baseQuery, watched);  // extraction never changes the universe

  ui::screeningListButtonClicked(s, "Command52");
  QVERIFY(f.ctx->trendList().isVisible());
  ui::screeningListButtonClicked(s, "Command40");
  QVERIFY(f.ctx->interestList().isVisible());
}

void WatchListsTest::chartLinksOpenOrShowTheAddress() {
  test::TempDir dir;
  {
    std::ofstream out(dir / "links.ini");
    out << "# local mirror\nG=http://index.example/\n";
  }
  test::UiFixture f(dir.path());
  auto& s = f.ctx->screening();
  ui::screeningChartLinkClicked(s, "HprLnkEx3");
  QCOMPARE(f.openedUrls, std::vector<std::string>{"http://index.example/tknnk0.html "});
  ui::screeningChartLinkClicked(s, "NoSuchLink");
  QCOMPARE(f.openedUrls.size(), size_t(1));
  QVERIFY(f.prompts.shown().empty());

  f.ctx->openUrl = [](const std::string&) { return false; };
  ui::screeningChartLinkClicked(s, "HprLnkEx10");
  QCOMPARE(f.prompts.messages().size(), size_t(1));
  QVERIFY(QString::fromStdString(f.prompts.messages()[0].text())
              .contains("/stocks_data/data/attention_rating/attention_rating.asp"));
}

QTEST_MAIN(WatchListsTest)
#include "watchlists_test.moc"
