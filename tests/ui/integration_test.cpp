// The windows together, driven through their own controls as a user would,
// on the sample market.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QtTest>
#include <algorithm>
#include <map>
#include <set>

#include "app/setup.h"
#include "base/log.h"
#include "data/database.h"
#include "registration/period_file.h"
#include "sample/sample_market.h"
#include "screening/chart_links.h"
#include "screening/pattern_catalogue.h"
#include "test_support.h"
#include "ui/app/chooser_window.h"
#include "ui/app/main_menu_window.h"
#include "ui/common/flex_grid.h"
#include "ui/exchange/transfer_window.h"
#include "ui/registration/list_browser_window.h"
#include "ui/registration/registration_window.h"
#include "ui/screening/screening_window.h"
#include "ui/utilities/backup_window.h"
#include "ui/watchlists/watch_list_windows.h"
#include "ui_test_support.h"
#include "watchlists/watch_list_store.h"

using namespace tavrin;
using test::UiFixture;
using ui::FlexGrid;

namespace {

constexpr int kStocks = 200;

// A data root with the sample market and a process over it; the chooser's
// answer "1" has opened the menu on the daily database.
struct Demo {
  Demo() {
    setLogQuiet(true);
    DemoOptions o;
    o.stocks = kStocks;
    const DemoResult made = makeDemo(Paths(dir.path()), o);
    if (!made.done()) qWarning("sample workbook not written: %s", made.detail.c_str());
    f = std::make_unique<UiFixture>(dir.path());
    auto& chooser = f->ctx->chooser();
    chooser.show();
    f->prompts.queueInput("1");
    UiFixture::click(chooser, "Command1");
  }
  ~Demo() { setLogQuiet(false); }
  ui::MainMenuWindow& menu() { return f->ctx->mainMenu(); }
  QString menuDate(int k) {
    return UiFixture::find<QLineEdit>(menu(), qPrintable(QStringLiteral("Text3_%1").arg(k)))->text();
  }
  std::set<std::string> trendCodes() {
    std::set<std::string> out;
    for (const std::string& c : readWatchCodes(f->ctx->paths().watchListDb(), WatchList::Trend)) out.insert(c);
    return out;
  }
  test::TempDir dir;
  std::unique_ptr<UiFixture> f;
};

std::vector<std::string> column(FlexGrid* g, int c) {
  std::vector<std::string> out;
  for (int r = 1; r < g->rows(); ++r) out.push_back(g->textMatrix(r, c).toStdString());
  return out;
}

QTableView* view(FlexGrid* g) { return g->findChild<QTableView*>(); }

// Clicks or double-clicks a grid cell (grid row r >= 1) with the mouse.
void clickCell(FlexGrid* g, int r, int c, bool twice = false) {
  QTableView* v = view(g);
  const QModelIndex i = v->model()->index(r - 1, c);
  v->scrollTo(i);
  const QPoint p = v->visualRect(i).center();
  if (twice)
    QTest::mouseDClick(v->viewport(), Qt::LeftButton, {}, p);
  else
    QTest::mouseClick(v->viewport(), Qt::LeftButton, {}, p);
}

void clickLabel(QWidget& w, const char* name) {
  auto* l = UiFixture::find<QLabel>(w, name);
  QVERIFY2(l, name);
  QTest::mouseClick(l, Qt::LeftButton, {}, l->rect().center());
}

bool isHighlighted(QPushButton* b) { return b->styleSheet().contains(QStringLiteral("#ffff80")); }

std::optional<double> number(const QString& t) {
  bool ok = false;
  const double v = t.toDouble(&ok);
  return ok ? std::optional<double>(v) : std::nullopt;
}

}  // namespace

class IntegrationTest : public QObject {
  Q_OBJECT
 private slots:
  void screeningRoundFromTheMenu();
  void trendUniverseListsOnlyWatchedStocks();
  void emptyTrendListKeepsTheMenu();
  void nextDayRegistrationReachesMenuAndBrowser();
  void backupAndTransferFromTheMenu();
};

void IntegrationTest::screeningRoundFromTheMenu() {
  Demo d;
  auto& menu = d.menu();
  QVERIFY(menu.isVisible());
  QVERIFY(!d.f->ctx->chooser().isVisible());
  QCOMPARE(d.menuDate(0), QString("登録株価"));
  QCOMPARE(d.menuDate(1), QString("day"));
  QCOMPARE(d.menuDate(2), QString("26/12/08"));
  QVERIFY(!d.menuDate(11).isEmpty());

  UiFixture::click(menu, "Command53");
  auto& s = d.f->ctx->screening();
  QVERIFY(s.isVisible());
  QVERIFY(!menu.isVisible());
  QCOMPARE(s.windowTitle(), QString("全市場銘柄"));
  QCOMPARE(d.f->ctx->state().universeIndex, 1);
  FlexGrid* g = s.grid();
  QVERIFY(g->rows() > kStocks);
  QCOMPARE(UiFixture::find<QLineEdit>(s, "Text7")->text(), QString::number(g->rows() - 1));
  QCOMPARE(UiFixture::find<QLineEdit>(s, "Text3")->text(), QString("day"));
  QCOMPARE(g->textMatrix(0, 6), QString("26/12/08"));
  QCOMPARE(g->textMatrix(0, 7), d.menuDate(11));
  QCOMPARE(g->textMatrix(0, 8), QString("1日前"));
  QCOMPARE(g->textMatrix(0, 16), QString("9日前"));
  const auto codes = column(g, 3);
  QVERIFY(std::is_sorted(codes.begin(), codes.end(), [](const std::string& a, const std::string& b) {
    const auto x = number(QString::fromStdString(a)), y = number(QString::fromStdString(b));
    return x && y ? *x < *y : false;
  }));

  // A pattern button narrows the list and is highlighted.
  QPushButton* hit = nullptr;
  for (const auto& p : screening::patternCatalogue()) {
    QPushButton* b = s.patternButton(QString::fromLatin1(p.control));
    QVERIFY(b);
    QVERIFY(!isHighlighted(b));
    b->click();
    if (g->rows() > 1 && g->rows() - 1 < kStocks) {
      hit = b;
      break;
    }
  }
  QVERIFY2(hit, "no pattern listed part of the market");
  QVERIFY(isHighlighted(hit));
  QCOMPARE(UiFixture::find<QLineEdit>(s, "Text7")->text(), QString::number(g->rows() - 1));
  QCOMPARE(g->textMatrix(0, 8), QString("1日前"));

  // Entering a cell sets the hidden code and market holders.
  clickCell(g, 1, 2);
  const QString code = g->textMatrix(1, 3), market = g->textMatrix(1, 4);
  QVERIFY(!code.isEmpty());
  QCOMPARE(UiFixture::find<QLineEdit>(s, "Text1")->text(), code);
  QCOMPARE(UiFixture::find<QLineEdit>(s, "Text2")->text(), market);

  // A chart link hands the stock's address to the browser.
  clickLabel(s, "HprLnkEx1");
  QCOMPARE(d.f->openedUrls.size(), size_t(1));
  const LinkEndpoints endpoints = LinkEndpoints::load(d.f->ctx->paths().linksIni(), nullptr);
  QCOMPARE(QString::fromStdString(d.f->openedUrls[0]),
           QString::fromStdString(chartLinkAddress(*chartLinkByControl("HprLnkEx1"), code.toStdString(),
                                                   market.toStdString(), endpoints)));
  QVERIFY(QString::fromStdString(d.f->openedUrls[0]).contains("/q?s=" + code));

  // A double-click puts the stock on the trend list and shows that list.
  QVERIFY(!d.trendCodes().count(code.toStdString()));
  clickCell(g, 1, 2, true);
  QVERIFY(d.trendCodes().count(code.toStdString()));
  auto& trend = d.f->ctx->trendList();
  QVERIFY(trend.isVisible());
  const auto listed = trend.listedCodes();
  QVERIFY(std::find(listed.begin(), listed.end(), code.toStdString()) != listed.end());
  QCOMPARE(trend.countText(), QString::number(trend.grid()->rows() - 1));
  QVERIFY(s.isVisible());

  // "抽出" under "トレンド" keeps the listed stocks, by ratio1 descending.
  UiFixture::click(s, "Command26");
  const std::set<std::string> trendCodes = d.trendCodes();
  QVERIFY(g->rows() > 1);
  QVERIFY(g->rows() - 1 <= static_cast<int>(trendCodes.size()));
  for (const auto& c : column(g, 3)) QVERIFY2(trendCodes.count(c), c.c_str());
  const auto shown = column(g, 3);
  QVERIFY(std::find(shown.begin(), shown.end(), code.toStdString()) != shown.end());
  std::optional<double> previous;
  bool blank = false;
  for (int r = 1; r < g->rows(); ++r) {
    const auto v = number(g->textMatrix(r, 8));
    if (!v) {
      blank = true;
      continue;
    }
    QVERIFY2(!blank, "a row with ratio1 after one without");
    if (previous) QVERIFY(*v <= *previous);
    previous = v;
  }
  QCOMPARE(UiFixture::find<QLineEdit>(s, "Text7")->text(), QString::number(g->rows() - 1));

  // OK: back to the menu, the universe forgotten.
  UiFixture::click(s, "Command5");
  QVERIFY(menu.isVisible());
  QVERIFY(!d.f->ctx->screeningLoaded());
  QCOMPARE(d.f->ctx->state().universeIndex, 0);
  QCOMPARE(d.menuDate(2), QString("26/12/08"));

  // A second universe opens afresh, without the old highlight.
  UiFixture::click(menu, "Command11");
  auto& again = d.f->ctx->screening();
  QCOMPARE(again.windowTitle(), QString("1部市場銘柄"));
  QVERIFY(!isHighlighted(again.patternButton(hit->objectName())));
  QVERIFY(again.grid()->rows() > 1);
  for (const auto& m : column(again.grid(), 4))
    QVERIFY2(QString::fromStdString(m).endsWith("１部") || m == "東証プライム" || m == "名証プレミア", m.c_str());
  UiFixture::click(again, "Command5");
}

void IntegrationTest::trendUniverseListsOnlyWatchedStocks() {
  Demo d;
  const std::set<std::string> watched = d.trendCodes();
  QVERIFY(watched.size() >= 2);
  UiFixture::click(d.menu(), "Command25");
  auto& s = d.f->ctx->screening();
  QVERIFY(s.isVisible());
  QVERIFY(!d.menu().isVisible());
  QCOMPARE(s.windowTitle(), QString("トレンド注目銘柄"));
  QCOMPARE(d.f->ctx->state().universeIndex, 22);
  FlexGrid* g = s.grid();
  const auto all = column(g, 3);
  QCOMPARE(std::set<std::string>(all.begin(), all.end()), watched);
  QCOMPARE(g->textMatrix(0, 8), QString("1日前"));

  // Every pattern lists watched stocks only.
  int listedByPatterns = 0;
  for (const auto& p : screening::patternCatalogue()) {
    s.patternButton(QString::fromLatin1(p.control))->click();
    for (const auto& c : column(g, 3)) QVERIFY2(watched.count(c), p.control);
    listedByPatterns += g->rows() - 1;
    QCOMPARE(UiFixture::find<QLineEdit>(s, "Text7")->text(), QString::number(g->rows() - 1));
  }
  QVERIFY(listedByPatterns > 0);

  // The searches look among the watched stocks too.
  d.f->prompts.queueInput(std::string());
  UiFixture::click(s, "Command34");
  const auto byName = column(g, 3);
  QCOMPARE(std::set<std::string>(byName.begin(), byName.end()), watched);

  const std::string one = *watched.begin();
  d.f->prompts.queueInput(one);
  UiFixture::click(s, "Command33");
  QCOMPARE(column(g, 3), std::vector<std::string>{one});

  std::string outside;
  {
    Database db(d.f->ctx->paths().dailyDb());
    for (const Row& r : db.query("select [コード] from [list] where [コード] <> 1000").rows)
      if (!watched.count(r[0].display())) {
        outside = r[0].display();
        break;
      }
  }
  QVERIFY(!outside.empty());
  d.f->prompts.queueInput(outside);
  UiFixture::click(s, "Command33");
  QCOMPARE(g->rows(), 1);
  QCOMPARE(UiFixture::find<QLineEdit>(s, "Text7")->text(), QString("0"));

  // Restore brings back the watched stocks.
  UiFixture::click(s, "Command10");
  const auto restored = column(g, 3);
  QCOMPARE(std::set<std::string>(restored.begin(), restored.end()), watched);
  UiFixture::click(s, "Command5");
  QVERIFY(d.menu().isVisible());
  QCOMPARE(d.f->ctx->state().universeIndex, 0);
}

void IntegrationTest::emptyTrendListKeepsTheMenu() {
  Demo d;
  // The user deletes every stock of the trend list through its window.
  auto& trend = d.f->ctx->trendList();
  trend.show();
  for (int guard = 0; trend.grid()->rows() > 1 && guard < 50; ++guard) UiFixture::click(trend, "Command1");
  QCOMPARE(trend.grid()->rows(), 1);
  QVERIFY(d.trendCodes().empty());
  UiFixture::click(trend, "Command2");
  QVERIFY(!trend.isVisible());

  d.f->prompts.clear();
  UiFixture::click(d.menu(), "Command25");
  QCOMPARE(d.f->prompts.messages().size(), size_t(1));
  QCOMPARE(d.f->prompts.messages()[0].text(), std::string("注目銘柄は選択されていません"));
  QVERIFY(d.menu().isVisible());
  QVERIFY(!d.f->ctx->screeningLoaded());

  // The other list still opens its universe.
  UiFixture::click(d.menu(), "Command9");
  QVERIFY(d.f->ctx->screeningLoaded());
  QCOMPARE(d.f->ctx->screening().windowTitle(), QString("注目銘柄"));
  QVERIFY(d.f->ctx->screening().grid()->rows() > 1);
}

void IntegrationTest::nextDayRegistrationReachesMenuAndBrowser() {
  Demo d;
  if (!std::filesystem::exists(d.f->ctx->paths().workbook(kDemoWorkbook))) QSKIP("no workbook writer");
  std::map<std::string, std::string> before;  // code -> kabuka1
  {
    Database db(d.f->ctx->paths().dailyDb());
    for (const Row& r : db.query("select [コード],[kabuka1] from [list]").rows) before[r[0].display()] = r[1].display();
  }
  UiFixture::click(d.menu(), "Command10");
  auto& browser = d.f->ctx->listBrowser();
  auto& reg = d.f->ctx->registration();
  QVERIFY(browser.isVisible());
  QVERIFY(reg.isVisible());
  QVERIFY(!d.menu().isVisible());
  QCOMPARE(d.f->ctx->state().selectorCode, 100);

  UiFixture::click(reg, "Command3");
  QCOMPARE(UiFixture::find<QLineEdit>(reg, "Text4_1")->text(), QString("26"));
  QCOMPARE(UiFixture::find<QLineEdit>(reg, "Text12_1")->text(), QString("08"));
  QCOMPARE(UiFixture::find<QLineEdit>(reg, "Text3_1")->text(), QString("owarine"));
  UiFixture::click(reg, "Command5");
  QCOMPARE(UiFixture::find<QLineEdit>(reg, "Text1")->text(), QString("移動　完了しました"));
  QCOMPARE(UiFixture::find<QLineEdit>(reg, "Text12_2")->text(), QString("08"));

  auto type = [&](const char* name, const QString& t) {
    auto* e = UiFixture::find<QLineEdit>(reg, name);
    e->clear();
    QTest::keyClicks(e, t);
  };
  type("Text4_1", "26");
  type("Text11_1", "12");
  type("Text12_1", "09");
  type("Text3_1", "owarine");
  QCOMPARE(reg.sheetName(1), std::string(kDemoNextDaySheet));
  UiFixture::click(reg, "Command8");
  QCOMPARE(UiFixture::find<QLineEdit>(reg, "Text1")->text(), QString("登録　完了しました"));
  QVERIFY(!reg.sheetGrid()->isHidden());
  QVERIFY(reg.sheetGrid()->rows() > kStocks);

  // The workbook's next-day closes are the browser's latest prices.
  std::map<std::string, std::string> sheet;
  const SheetCells cells = openPriceFile(d.f->ctx->paths().workbook(kDemoWorkbook))->readSheet(kDemoNextDaySheet);
  for (const Row& r : sheetTable(cells, SIZE_MAX).rows) sheet[r[0].display()] = r[2].display();
  FlexGrid* bg = browser.findChild<FlexGrid*>("MSFlexGrid1");
  QVERIFY(bg);
  int kabuka1 = -1, kabuka2 = -1, codeCol = -1;
  for (int c = 0; c < bg->cols(); ++c) {
    if (bg->textMatrix(0, c) == "kabuka1") kabuka1 = c;
    if (bg->textMatrix(0, c) == "kabuka2") kabuka2 = c;
    if (bg->textMatrix(0, c) == QStringLiteral("コード")) codeCol = c;
  }
  QVERIFY(kabuka1 > 0 && kabuka2 > 0 && codeCol > 0);
  int checked = 0;
  for (int r = 1; r < bg->rows(); ++r) {
    const std::string c = bg->textMatrix(r, codeCol).toStdString();
    auto it = sheet.find(c);
    if (it == sheet.end()) continue;
    QCOMPARE(bg->textMatrix(r, kabuka1).toStdString(), it->second);
    QCOMPARE(bg->textMatrix(r, kabuka2).toStdString(), before[c]);
    ++checked;
  }
  QVERIFY(checked >= kStocks / 2);

  // Back in the menu the new day comes first.
  UiFixture::click(reg, "Command2");
  QVERIFY(d.menu().isVisible());
  QVERIFY(!d.f->ctx->listBrowserLoaded());
  QCOMPARE(d.menuDate(2), QString("26/12/09"));
  QCOMPARE(d.menuDate(3), QString("26/12/08"));

  // The screening window titles its price column with the new day.
  UiFixture::click(d.menu(), "Command53");
  QCOMPARE(d.f->ctx->screening().grid()->textMatrix(0, 6), QString("26/12/09"));
  UiFixture::click(d.f->ctx->screening(), "Command5");
}

void IntegrationTest::backupAndTransferFromTheMenu() {
  Demo d;
  auto& menu = d.menu();
  UiFixture::click(menu, "Command49");
  auto& backup = d.f->ctx->backup();
  QVERIFY(backup.isVisible());
  QVERIFY(!menu.isVisible());
  d.f->prompts.queueInput("261209");
  UiFixture::click(backup, "Command1");
  const auto copy = d.f->ctx->paths().backupDirDaily() / "kabuka261209.mdb";
  QVERIFY(std::filesystem::exists(copy));
  QCOMPARE(std::filesystem::file_size(copy), std::filesystem::file_size(d.f->ctx->paths().dailyDb()));
  QCOMPARE(UiFixture::find<QPushButton>(backup, "Command1")->text(), QString("バックアップファイル作成終わりました。"));
  UiFixture::click(backup, "Command2");
  QVERIFY(menu.isVisible());
  QVERIFY(!d.f->ctx->isLoaded(&backup));

  QPushButton* day = UiFixture::find<QPushButton>(menu, "Command26");
  QVERIFY(day->isVisible());
  day->click();
  QApplication::processEvents();
  auto& transfer = d.f->ctx->transfer();
  QVERIFY(transfer.isVisible());
  QCOMPARE(transfer.modeKeyword(), QString("day"));
  // No window manager activates the window here: the menu action still sets
  // it up once it has returned.
  QVERIFY(!menu.isVisible());
  FlexGrid* companion = transfer.findChild<FlexGrid*>("MSFlexGrid2");
  QVERIFY(companion->rows() > 1);
  clickLabel(transfer, "Label4");
  QCOMPARE(UiFixture::find<QLabel>(transfer, "Label4")->text(), QString("登録　完了しました"));
  // The companion's date record now shows our latest day.
  QCOMPARE(companion->rows(), 2);
  bool latestShown = false;
  for (int c = 0; c < companion->cols(); ++c) latestShown |= companion->textMatrix(1, c) == "26/12/08";
  QVERIFY(latestShown);
  UiFixture::click(transfer, "Command3");
  QVERIFY(menu.isVisible());
  QVERIFY(!d.f->ctx->transferLoaded());
}

QTEST_MAIN(IntegrationTest)
#include "integration_test.moc"
