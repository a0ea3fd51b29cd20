#include <QLineEdit>
#include <QPlainTextEdit>
#include <QtTest>
#include <fstream>
#include <iterator>

#include "base/encoding.h"
#include "base/log.h"
#include "data/price_schema.h"
#include "test_support.h"
#include "ui/app/file_select_window.h"
#include "ui/app/main_menu_window.h"
#include "ui/utilities/memo_window.h"
#include "ui_test_support.h"
#include "utilities/memo.h"

using namespace tavrin;

class MemoAndEndTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { setLogQuiet(true); }
  void memoLoadsOnceAndSavesFromEitherItem();
  void failedSaveKeepsTheWindowOpen();
  void endWritesTheMemoCopy();
  void endWithoutMemoFileWritesAnEmptyCopy();
  void endWarnsWhenTheCopyCannotBeWritten();
  void utf8MemoFileLoads();
  void damagedMemoFileSurvivesLeavingThePad();
  void fileSelectionOpensTheMenuOnTheChoice();
  void titleBarCloseIsRefused();
};

void MemoAndEndTest::memoLoadsOnceAndSavesFromEitherItem() {
  test::TempDir dir;
  QVERIFY(saveMemoFile(dir / "memo.txt", "注文メモ～").done());
  test::UiFixture f(dir.path());
  auto& memo = f.ctx->memo();
  QCOMPARE(memo.objectName(), QString("Form7"));
  QCOMPARE(memo.text(), QString("注文メモ～"));
  memo.show();
  memo.setText("一行目\n二行目");
  auto* end = memo.findChild<QAction*>("mnuEND");
  QVERIFY(end);
  end->trigger();
  QVERIFY(!memo.isVisible());
  QCOMPARE(test::readFileBytes(dir / "memo.txt"), *utf8ToCp932("一行目\r\n二行目\r\n"));
  // The file changes behind its back: the window keeps its own text.
  QVERIFY(saveMemoFile(dir / "memo.txt", "other").done());
  QCOMPARE(f.ctx->memo().text(), QString("一行目\n二行目"));
}

void MemoAndEndTest::failedSaveKeepsTheWindowOpen() {
  test::TempDir dir;
  test::UiFixture f(dir.path());
  auto& memo = f.ctx->memo();
  memo.show();
  memo.setText("한국");  // no code page 932 form
  memo.findChild<QAction*>("mnuSAVE")->trigger();
  QVERIFY(memo.isVisible());
  QCOMPARE(f.prompts.shown().size(), size_t(1));
  QVERIFY(!std::filesystem::exists(dir / "memo.txt"));
  memo.setText("ok");
  memo.findChild<QAction*>("mnuSAVE")->trigger();
  QVERIFY(!memo.isVisible());
}

void MemoAndEndTest::endWritesTheMemoCopy() {
  test::TempDir dir;
  test::UiFixture f(dir.path());
  f.ctx->memo().setText("メモ");
  auto& menu = f.ctx->mainMenu();
  menu.show();
  test::UiFixture::click(menu, "Command3");
  QVERIFY(f.quitCalled);
  QCOMPARE(test::readFileBytes(dir / "メモ帖.txt"), *utf8ToCp932("メモ\r\n"));
}

void MemoAndEndTest::endWithoutMemoFileWritesAnEmptyCopy() {
  test::TempDir dir;
  test::UiFixture f(dir.path());
  f.ctx->mainMenu().Command3_Click();
  QCOMPARE(test::readFileBytes(dir / "メモ帖.txt"), std::string("\r\n"));
}

void MemoAndEndTest::endWarnsWhenTheCopyCannotBeWritten() {
  test::TempDir dir;
  test::UiFixture f(dir.path());
  f.ctx->memo().setText("한국");  // no code page 932 form
  test::UiFixture::click(f.ctx->mainMenu(), "Command3");
  QCOMPARE(f.prompts.messages().size(), size_t(1));
  const MessageRequest& m = f.prompts.messages()[0];
  QCOMPARE(QString::fromStdString(m.shownTitle()), QString("メモ帖"));
  QVERIFY(m.icon == MessageIcon::Warning);
  QVERIFY(QString::fromStdString(m.text()).contains("メモ帖.txt"));
  QVERIFY(!std::filesystem::exists(dir / "メモ帖.txt"));
  QVERIFY(f.quitCalled);
}

void MemoAndEndTest::utf8MemoFileLoads() {
  test::TempDir dir;
  { std::ofstream(dir / "memo.txt", std::ios::binary) << "買い候補：７２０３\n損切り －５％\n"; }
  test::UiFixture f(dir.path());
  auto& menu = f.ctx->mainMenu();
  test::UiFixture::click(menu, "Command20");
  auto& memo = f.ctx->memo();
  QVERIFY(memo.isVisible());
  QCOMPARE(memo.text(), QString("買い候補：７２０３\n損切り －５％"));
  QVERIFY(f.prompts.shown().empty());
  memo.findChild<QAction*>("mnuSAVE")->trigger();
  QCOMPARE(test::readFileBytes(dir / "memo.txt"), *utf8ToCp932("買い候補：７２０３\r\n損切り －５％\r\n"));
}

void MemoAndEndTest::damagedMemoFileSurvivesLeavingThePad() {
  test::TempDir dir;
  const std::string original = "注文メモ\xFF一行目\n";
  { std::ofstream(dir / "memo.txt", std::ios::binary) << original; }
  test::UiFixture f(dir.path());
  auto& menu = f.ctx->mainMenu();
  test::UiFixture::click(menu, "Command20");
  auto& memo = f.ctx->memo();
  QCOMPARE(memo.text(), QString("注文メモ〓一行目"));
  // Told once, on showing the pad.
  QCOMPARE(f.prompts.messages().size(), size_t(1));
  QCOMPARE(QString::fromStdString(f.prompts.messages()[0].shownTitle()), QString("メモ帖"));
  QVERIFY(QString::fromStdString(f.prompts.messages()[0].text()).contains("memo.txt.bak"));

  // Leaving without a change leaves the file alone.
  memo.findChild<QAction*>("mnuEND")->trigger();
  QVERIFY(!memo.isVisible());
  QCOMPARE(test::readFileBytes(dir / "memo.txt"), original);
  QVERIFY(!std::filesystem::exists(dir / "memo.txt.bak"));

  test::UiFixture::click(menu, "Command20");
  QCOMPARE(f.prompts.messages().size(), size_t(1));
  memo.setText(memo.text() + "\n追記");
  memo.findChild<QAction*>("mnuSAVE")->trigger();
  QVERIFY(!memo.isVisible());
  QCOMPARE(test::readFileBytes(dir / "memo.txt.bak"), original);
  QCOMPARE(test::readFileBytes(dir / "memo.txt"), *utf8ToCp932("注文メモ〓一行目\r\n追記\r\n"));
  QCOMPARE(f.prompts.messages().size(), size_t(1));
}

void MemoAndEndTest::fileSelectionOpensTheMenuOnTheChoice() {
  test::TempDir dir;
  createPriceDatabase(dir / "saved.mdb", "week");
  test::UiFixture f(dir.path());
  auto& fs = f.ctx->fileSelect();
  fs.prepareSearch();
  fs.show();
  f.nextFileChoice = toUtf8(dir / "saved.mdb");
  test::UiFixture::click(fs, "Command1");
  QVERIFY(!fs.isVisible());
  auto& menu = f.ctx->mainMenu();
  QVERIFY(menu.isVisible());
  QCOMPARE(f.ctx->state().priceDbPath, toUtf8(dir / "saved.mdb"));
  QCOMPARE(test::UiFixture::find<QLineEdit>(menu, "Text3_1")->text(), QString("week"));

  // Cancel: an empty path and empty dates.
  menu.hide();
  auto& again = f.ctx->fileSelect();
  again.show();
  f.nextFileChoice.clear();
  test::UiFixture::click(again, "Command1");
  QCOMPARE(test::UiFixture::find<QLineEdit>(again, "Text1")->text(), QString());
  QCOMPARE(f.ctx->state().priceDbPath, std::string());
  QCOMPARE(test::UiFixture::find<QLineEdit>(menu, "Text3_1")->text(), QString());

  // The title-bar close acts as OK: the menu is shown, never no window at all.
  menu.hide();
  auto& third = f.ctx->fileSelect();
  third.show();
  third.close();
  QVERIFY(menu.isVisible());
  QVERIFY(!third.isVisible());
}

void MemoAndEndTest::titleBarCloseIsRefused() {
  test::TempDir dir;
  test::UiFixture f(dir.path());
  auto& menu = f.ctx->mainMenu();
  menu.show();
  QVERIFY(!menu.close());
  QVERIFY(menu.isVisible());
  auto& memo = f.ctx->memo();
  memo.show();
  QVERIFY(!memo.close());
  QVERIFY(memo.isVisible());
}

QTEST_MAIN(MemoAndEndTest)
#include "memo_and_end_test.moc"
