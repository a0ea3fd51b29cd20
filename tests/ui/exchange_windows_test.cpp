#include <QLabel>
#include <QLineEdit>
#include <QtTest>

#include "base/log.h"
#include "exchange_test_data.h"
#include "test_support.h"
#include "ui/app/main_menu_window.h"
#include "ui/common/flex_grid.h"
#include "ui/exchange/transfer_menu_actions.h"
#include "ui/exchange/transfer_window.h"
#include "ui_test_support.h"

using namespace tavrin;
using test::UiFixture;

namespace {

const QString kStart = QStringLiteral("ここから始めます");
const QString kDone = QStringLiteral("登録　完了しました");

// A root with our daily list of three stocks and the companion's daily file.
struct Setup {
  test::TempDir dir;
  Paths paths{dir.path()};
  UiFixture f{dir.path()};

  explicit Setup(const std::string& unit = "day") {
    const auto db = unit == "week" ? paths.weeklyDb() : paths.dailyDb();
    test::makeSender(db, unit,
                     {{7203, "トヨタ", test::priceRun(100)},
                      {6758, "ソニー", test::priceRun(200)},
                      {9984, "ソフトバンク", test::priceRun(300)}},
                     test::sampleDates(unit));
    test::makeCompanion(paths.companionDaily(), {{7203, "TY", test::priceRun(1)},
                                                 {6758, "SN", test::priceRun(2)},
                                                 {9984, "SB", test::priceRun(3)},
                                                 {4444, "not ours", test::priceRun(4)}});
    auto& menu = f.ctx->mainMenu();
    menu.setPathBox(QString::fromStdString(toUtf8(db)));
    menu.show();
    menu.activate();
  }

  // Presses a menu button and lets the transfer window's activation run.
  ui::TransferWindow* press(const char* button) {
    f.ctx->mainMenu().button(button)->click();
    if (!f.ctx->transferLoaded()) return nullptr;
    ui::TransferWindow& w = f.ctx->transfer();
    if (!QTest::qWaitForWindowActive(&w)) w.activate();
    return &w;
  }
  QString text(QWidget& w, const char* name) { return UiFixture::find<QLineEdit>(w, name)->text(); }
  QLabel* label(QWidget& w, const char* name) { return UiFixture::find<QLabel>(w, name); }
  ui::FlexGrid* grid(QWidget& w, const char* name) { return UiFixture::find<ui::FlexGrid>(w, name); }
};

}  // namespace

class ExchangeWindowsTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { setLogQuiet(true); }
  void dailyTransferFromTheMenu();
  void secondWeeklyFileUsesTheOtherStartLabel();
  void missingDivuziSourceIsReported();
  void oldModeHasNoCompanionList();
  void weeklyTransfersStartFromTheDailyFile();
  void unusableCompanionIsReportedAndKept();
  void informationButton();
};

void ExchangeWindowsTest::dailyTransferFromTheMenu() {
  Setup s;
  ui::TransferWindow* w = s.press("Command26");
  QVERIFY(w);
  QCOMPARE(s.text(*w, "Text5"), QString("day"));
  QVERIFY(!s.f.ctx->mainMenu().isVisible());
  QCOMPARE(s.text(*w, "Text3"), QString::fromStdString(toUtf8(s.paths.dailyDb())));
  QCOMPARE(s.text(*w, "Text4"), QString::fromStdString(toUtf8(s.paths.companionDaily())));
  QVERIFY(s.label(*w, "Label4")->isVisible());
  QVERIFY(!s.label(*w, "Label3")->isVisible());
  QCOMPARE(s.label(*w, "Label2")->text(), QString("Orvelのリスト（受け手側））"));
  QCOMPARE(s.grid(*w, "MSFlexGrid1")->rows(), 4);
  QCOMPARE(s.grid(*w, "MSFlexGrid2")->rows(), 5);

  bool okDisabledWhileRunning = true;
  int calls = 0;
  auto* ok = UiFixture::find<QPushButton>(*w, "Command3");
  w->progressHook = [&](const TransferProgress&) {
    ++calls;
    okDisabledWhileRunning = okDisabledWhileRunning && !ok->isEnabled() && w->transferRunning();
    ok->click();  // refused while the loop runs
  };
  QTest::mouseClick(s.label(*w, "Label4"), Qt::LeftButton);
  QCOMPARE(calls, 4);
  QVERIFY(okDisabledWhileRunning);
  QVERIFY(s.f.ctx->transferLoaded());
  QVERIFY(ok->isEnabled());

  QCOMPARE(s.text(*w, "Text2"), QString("3"));
  QCOMPARE(s.label(*w, "Label4")->text(), kDone);
  QCOMPARE(test::companionPrices(s.paths.companionDaily(), 2), test::values(test::priceRun(200)));
  QCOMPARE(test::companionPrices(s.paths.companionDaily(), 4), test::values(test::priceRun(4)));
  // Both grids now show the date tables.
  QCOMPARE(s.grid(*w, "MSFlexGrid1")->rows(), 2);
  QCOMPARE(s.grid(*w, "MSFlexGrid2")->textMatrix(1, 2), QString("26/11/20"));
  QCOMPARE(s.grid(*w, "MSFlexGrid2")->textMatrix(1, 12), QString("day"));

  w->close();  // the title-bar close box is refused
  QVERIFY(w->isVisible());
  ok->click();
  QVERIFY(!s.f.ctx->transferLoaded());
  QVERIFY(s.f.ctx->mainMenu().isVisible());
  // Opened again, the window starts from its design state.
  w = s.press("Command6");
  QCOMPARE(s.label(*w, "Label4")->text(), kStart);
  QCOMPARE(s.text(*w, "Text2"), QString());
}

void ExchangeWindowsTest::secondWeeklyFileUsesTheOtherStartLabel() {
  Setup s("week");
  std::filesystem::create_directories(s.paths.hpDataDir());
  test::makeCompanion(s.paths.divuziDb(), {{9984, "SB", test::priceRun(5)}, {1111, "x", test::priceRun(6)}});
  test::makeCompanion(s.paths.wDivuziDb(), {{1, "stale", test::priceRun(7)}});
  ui::TransferWindow* w = s.press("Command61");
  QVERIFY(w);
  QCOMPARE(s.text(*w, "Text5"), QString("wDivuzi"));
  QCOMPARE(s.text(*w, "Text4"), QString::fromStdString(toUtf8(s.paths.wDivuziDb())));
  QVERIFY(!s.label(*w, "Label4")->isVisible());
  QVERIFY(s.label(*w, "Label3")->isVisible());
  QCOMPARE(s.grid(*w, "MSFlexGrid2")->rows(), 3);  // the fresh copy, not the stale file
  QTest::mouseClick(s.label(*w, "Label3"), Qt::LeftButton);
  QCOMPARE(s.text(*w, "Text2"), QString("1"));
  QCOMPARE(s.label(*w, "Label4")->text(), kStart);  // no completion sign
  QVERIFY(!s.label(*w, "Label4")->isVisible());
  QCOMPARE(test::companionPrices(s.paths.wDivuziDb(), 1), test::values(test::priceRun(300)));
  QCOMPARE(test::companionPrices(s.paths.divuziDb(), 1), test::values(test::priceRun(5)));
  QVERIFY(s.f.prompts.shown().empty());
}

void ExchangeWindowsTest::missingDivuziSourceIsReported() {
  Setup s;
  QVERIFY(!s.press("Command61"));
  QCOMPARE(s.f.prompts.shown().size(), size_t(1));
  QVERIFY(QString::fromStdString(s.f.prompts.shown()[0].text).contains("Divuzi"));
  QVERIFY(s.f.ctx->mainMenu().isVisible());
}

void ExchangeWindowsTest::oldModeHasNoCompanionList() {
  Setup s;
  ui::TransferWindow* w = s.press("Command6");
  QVERIFY(w);
  QCOMPARE(s.text(*w, "Text5"), QString("old"));
  QVERIFY(!w->companionListOpen());
  QCOMPARE(s.text(*w, "Text4"), QString());
  QVERIFY(s.label(*w, "Label4")->isVisible());
  QCOMPARE(s.grid(*w, "MSFlexGrid2")->rows(), 1);
  w->Label4_Click();  // ends at once and says why
  QCOMPARE(s.f.prompts.shown().size(), size_t(1));
  QVERIFY(QString::fromStdString(s.f.prompts.shown()[0].text).startsWith("Orvelのリストが開かれていません。"));
  QCOMPARE(s.text(*w, "Text2"), QString());
  QCOMPARE(s.label(*w, "Label4")->text(), kStart);

  // The mode box is read again at every activation.
  UiFixture::find<QLineEdit>(*w, "Text5")->setText("day");
  w->activate();
  QVERIFY(w->companionListOpen());
  QCOMPARE(s.text(*w, "Text4"), QString::fromStdString(toUtf8(s.paths.companionDaily())));
  w->Label4_Click();
  QCOMPARE(s.label(*w, "Label4")->text(), kDone);
}

void ExchangeWindowsTest::weeklyTransfersStartFromTheDailyFile() {
  Setup s("week");
  QVERIFY(s.f.ctx->mainMenu().button("Command28")->isVisible());
  ui::TransferWindow* w = s.press("Command28");
  QCOMPARE(s.text(*w, "Text5"), QString("week"));
  QCOMPARE(s.text(*w, "Text4"), QString::fromStdString(toUtf8(s.paths.companionWeekly())));
  QCOMPARE(s.grid(*w, "MSFlexGrid2")->rows(), 5);  // the fresh copy of the daily file
  w->Label4_Click();
  QCOMPARE(s.label(*w, "Label4")->text(), kDone);
  QCOMPARE(test::companionPrices(s.paths.companionWeekly(), 1), test::values(test::priceRun(100)));
  QCOMPARE(test::companionPrices(s.paths.companionWeekly(), 4), test::values(test::priceRun(4)));
  QCOMPARE(test::tableRows(s.paths.companionWeekly(), "日付")[0][11], Value("week"));
  UiFixture::click(*w, "Command3");
  const std::string first = test::fileBytes(s.paths.companionWeekly());

  // The second weekly run gets a new copy: nothing of the first survives.
  // Until its transfer is done the weekly file stays as the first run left it,
  // and a copy never transferred into goes with the window.
  {
    Database db(s.paths.companionDaily());
    db.exec("update [list] set [銘柄] = 'renamed'");
  }
  w = s.press("Command28");
  QCOMPARE(s.grid(*w, "MSFlexGrid2")->textMatrix(1, 3), QString("renamed"));
  QCOMPARE(test::fileBytes(s.paths.companionWeekly()), first);
  UiFixture::click(*w, "Command3");
  QCOMPARE(test::fileBytes(s.paths.companionWeekly()), first);
  w = s.press("Command28");
  w->Label4_Click();
  QCOMPARE(test::tableRows(s.paths.companionWeekly(), "list")[0][2], Value("renamed"));
  QCOMPARE(test::companionPrices(s.paths.companionWeekly(), 1), test::values(test::priceRun(100)));
  QCOMPARE(test::companionPrices(s.paths.companionDaily(), 1), test::values(test::priceRun(1)));
  UiFixture::click(*w, "Command3");
  for (const auto& e : std::filesystem::directory_iterator(s.dir.path()))
    QVERIFY2(e.path().filename().string().find(".part-") == std::string::npos, e.path().c_str());

  // Without the daily file the weekly one stays as it was and no list opens.
  const std::string second = test::fileBytes(s.paths.companionWeekly());
  std::filesystem::remove(s.paths.companionDaily());
  w = s.press("Command28");
  QVERIFY(w);
  QCOMPARE(test::fileBytes(s.paths.companionWeekly()), second);
  QVERIFY(!w->companionListOpen());
  w->Label4_Click();
  QVERIFY(QString::fromStdString(s.f.prompts.shown().back().text).startsWith("Orvelのリストが開かれていません。"));
  QCOMPARE(test::fileBytes(s.paths.companionWeekly()), second);
}

void ExchangeWindowsTest::unusableCompanionIsReportedAndKept() {
  Setup s;
  ui::TransferWindow* w = s.press("Command26");
  Database other(s.paths.companionDaily());
  other.exec("begin immediate");
  w->Label4_Click();
  other.exec("rollback");
  QCOMPARE(s.f.prompts.shown().size(), size_t(1));
  QVERIFY(QString::fromStdString(s.f.prompts.shown()[0].text).contains("使用中"));
  QCOMPARE(s.label(*w, "Label4")->text(), kStart);
  QCOMPARE(test::companionPrices(s.paths.companionDaily(), 1), test::values(test::priceRun(1)));
  QVERIFY(UiFixture::find<QPushButton>(*w, "Command3")->isEnabled());
  UiFixture::click(*w, "Command3");

  // A file of the companion's name that is no database.
  std::filesystem::remove(s.paths.companionDaily());
  { std::ofstream(s.paths.companionDaily(), std::ios::binary) << "Standard Jet DB"; }
  w = s.press("Command26");
  s.f.prompts.clear();
  w->Label4_Click();
  QCOMPARE(s.f.prompts.shown().size(), size_t(1));
  QVERIFY(QString::fromStdString(s.f.prompts.shown()[0].text).startsWith("Orvelのデータベースが開けません。"));
  QCOMPARE(test::fileBytes(s.paths.companionDaily()), std::string("Standard Jet DB"));
  QCOMPARE(s.label(*w, "Label4")->text(), kStart);
}

void ExchangeWindowsTest::informationButton() {
  Setup s;
  s.f.prompts.queueMessageAnswer(MessageAnswer::Cancel);
  s.f.ctx->mainMenu().button("Command8")->click();
  QCOMPARE(s.f.prompts.messages().size(), size_t(1));
  const MessageRequest& m = s.f.prompts.messages()[0];
  QCOMPARE(QString::fromStdString(m.shownTitle()), QString("株価データの転送"));
  QVERIFY(m.buttons == MessageButtons::OkCancel);
  QCOMPARE(QString::fromStdString(m.text()),
           QString("Orvelがインストールされていれば\n株価データをOrvelに転送します。"));
  QVERIFY(!s.f.ctx->transferLoaded());
  QVERIFY(s.f.ctx->mainMenu().isVisible());
}

QTEST_MAIN(ExchangeWindowsTest)
#include "exchange_windows_test.moc"
