#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "base/log.h"
#include "exchange_test_data.h"
#include "test_support.h"
#include "ui/app/file_select_window.h"
#include "ui/app/main_menu_window.h"
#include "ui/utilities/backup_window.h"
#include "ui_test_support.h"

using namespace tavrin;
using test::UiFixture;

namespace {

const QString kDone = QStringLiteral("バックアップファイル作成終わりました。");

struct Setup {
  test::TempDir dir;
  Paths paths{dir.path()};
  UiFixture f{dir.path()};

  // Opens the menu on db (created with that unit unless it is empty).
  void openMenu(const std::filesystem::path& db) {
    auto& menu = f.ctx->mainMenu();
    menu.setPathBox(QString::fromStdString(toUtf8(db)));
    menu.show();
    menu.activate();
  }
  ui::BackupWindow& openBackup() {
    f.ctx->mainMenu().button("Command49")->click();
    return f.ctx->backup();
  }
  QPushButton* button(const char* name) { return UiFixture::find<QPushButton>(f.ctx->backup(), name); }
  std::vector<std::filesystem::path> files() {
    std::vector<std::filesystem::path> out;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir.path())) out.push_back(e.path());
    std::sort(out.begin(), out.end());
    return out;
  }
};

}  // namespace

class BackupWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { setLogQuiet(true); }
  void firstSecondAndCancelledBackups();
  void unsafeDateTextWritesNothing();
  void weeklyCopyOfTheStandardFile();
  void noDateRecordMakesNoCopy();
  void backupOpensThroughFileSelectionWithItsOwnDates();
};

void BackupWindowTest::firstSecondAndCancelledBackups() {
  Setup s;
  test::makeSender(s.paths.dailyDb(), "day", {{7203, "トヨタ", test::priceRun(100)}}, test::sampleDates("day"));
  s.openMenu(s.paths.dailyDb());
  ui::BackupWindow& w = s.openBackup();
  QVERIFY(w.isVisible());
  QVERIFY(!s.f.ctx->mainMenu().isVisible());
  QVERIFY(!s.button("Command4")->isVisible());
  QCOMPARE(s.button("Command1")->text(), QString("名前をつけて　　　　　　　　　　　　バックアップファイルの作成"));

  s.f.prompts.queueInput(std::string("030115"));
  s.button("Command1")->click();
  const auto& shown = s.f.prompts.shown();
  QCOMPARE(shown.size(), size_t(2));
  QCOMPARE(QString::fromStdString(shown[0].text), QString("Mdbフォルダを作成しました！"));
  QCOMPARE(QString::fromStdString(shown[0].title), QString("Tavrinｖ180"));
  QVERIFY(shown[1].isInput);
  QCOMPARE(QString::fromStdString(shown[1].text), QString("日付を入力してください"));
  QCOMPARE(QString::fromStdString(shown[1].title), QString());
  QCOMPARE(QString::fromStdString(shown[1].defaultAnswer), QString("261209"));
  const auto copy = s.dir / "Mdb-D/kabuka030115.mdb";
  QCOMPARE(test::tableRows(copy, "list"), test::tableRows(s.paths.dailyDb(), "list"));
  QCOMPARE(s.button("Command1")->text(), kDone);
  QVERIFY(s.button("Command4")->isVisible());
  QCOMPARE(s.button("Command4")->text(), QString("ファイル名は　kabuka030115.mdb"));

  // Same name again: the folder message, then the prompt; the copy is kept
  // and the window says so instead of reporting completion.
  const auto first = test::fileBytes(copy);
  s.f.prompts.clear();
  s.f.prompts.queueInput(std::string("030115"));
  s.button("Command1")->click();
  QCOMPARE(QString::fromStdString(s.f.prompts.shown()[0].text),
           QString("エラーが発生した時は再度トライしてください！"));
  QVERIFY(s.f.prompts.shown()[1].isInput);
  QCOMPARE(test::fileBytes(copy), first);
  QVERIFY(s.button("Command1")->text() != kDone);
  QVERIFY(s.button("Command4")->text().contains("同じ名前のファイルがある"));

  // Cancel gives an empty date text.
  s.f.prompts.queueInput(std::nullopt);
  s.button("Command1")->click();
  QVERIFY(std::filesystem::exists(s.dir / "Mdb-D/kabuka.mdb"));
  QCOMPARE(s.button("Command4")->text(), QString("ファイル名は　kabuka.mdb"));

  w.close();  // the title-bar close box is refused
  QVERIFY(w.isVisible());
  UiFixture::click(w, "Command2");
  QVERIFY(!s.f.ctx->isLoaded(&w));
  QVERIFY(s.f.ctx->mainMenu().isVisible());
}

void BackupWindowTest::unsafeDateTextWritesNothing() {
  Setup s;
  test::makeSender(s.paths.dailyDb(), "day", {}, test::sampleDates("day"));
  std::filesystem::create_directories(s.paths.backupDirDaily());
  s.openMenu(s.paths.dailyDb());
  s.openBackup();
  const auto before = s.files();
  for (const char* bad : {"../../escape", "03/01/15", "a:b", "..", "x\ty"}) {
    s.f.prompts.clear();
    s.f.prompts.queueInput(std::string(bad));
    s.button("Command1")->click();
    const auto& msgs = s.f.prompts.messages();
    QCOMPARE(msgs.size(), size_t(2));  // the folder message and the refusal
    QVERIFY(msgs[1].icon == MessageIcon::Warning);
    QCOMPARE(QString::fromStdString(msgs[1].lines[0]), QString("ファイル名に使えない文字が含まれています。"));
    QVERIFY(s.button("Command1")->text() != kDone);
  }
  QCOMPARE(s.files(), before);
  QVERIFY(!std::filesystem::exists(s.dir.path().parent_path() / "escape.mdb"));
}

void BackupWindowTest::weeklyCopyOfTheStandardFile() {
  Setup s;
  test::makeSender(s.paths.weeklyDb(), "week", {{7203, "トヨタ", test::priceRun(100)}}, test::sampleDates("week"));
  // A saved weekly file is open; the standard weekly file is what is copied.
  test::makeSender(s.dir / "saved.mdb", "week", {}, test::sampleDates("week", 10));
  s.openMenu(s.dir / "saved.mdb");
  s.openBackup();
  s.f.prompts.queueInput(std::string("261209"));
  s.button("Command1")->click();
  const auto copy = s.dir / "Mdb-W/Wkabuka261209.mdb";
  QVERIFY(std::filesystem::exists(copy));
  QCOMPARE(test::tableRows(copy, "list").size(), size_t(1));
  QCOMPARE(s.button("Command4")->text(), QString("ファイル名は　Wkabuka261209.mdb"));

  // Without the standard monthly file nothing is copied and the window says so.
  test::makeSender(s.dir / "month.mdb", "month", {}, test::sampleDates("month"));
  s.openMenu(s.dir / "month.mdb");
  s.f.prompts.queueInput(std::string("261209"));
  s.button("Command1")->click();
  QVERIFY(std::filesystem::is_empty(s.paths.backupDirMonthly()));
  QVERIFY(s.button("Command4")->text().contains("元のデータベースがない"));
  QVERIFY(s.button("Command1")->text() != kDone);
}

void BackupWindowTest::noDateRecordMakesNoCopy() {
  Setup s;
  s.openMenu(s.dir / "missing.mdb");
  s.openBackup();
  s.f.prompts.queueInput(std::string("261209"));
  s.button("Command1")->click();
  QCOMPARE(QString::fromStdString(s.f.prompts.shown()[0].text),
           QString("エラーが発生した時は再度トライしてください！"));
  QVERIFY(s.files().empty());
  QVERIFY(s.button("Command1")->text() != kDone);
  QVERIFY(s.f.ctx->backup().isVisible());
}

void BackupWindowTest::backupOpensThroughFileSelectionWithItsOwnDates() {
  Setup s;
  test::makeSender(s.paths.dailyDb(), "day", {{7203, "トヨタ", test::priceRun(100)}}, test::sampleDates("day", 20));
  s.openMenu(s.paths.dailyDb());
  s.openBackup();
  s.f.prompts.queueInput(std::string("261120"));
  s.button("Command1")->click();
  UiFixture::click(s.f.ctx->backup(), "Command2");
  const auto copy = s.dir / "Mdb-D/kabuka261120.mdb";
  QVERIFY(std::filesystem::exists(copy));

  // The standard file moves on to later dates.
  {
    Database db(s.paths.dailyDb());
    writeDateRecord(db, test::sampleDates("day", 28));
  }
  s.f.ctx->mainMenu().activate();
  QCOMPARE(UiFixture::find<QLineEdit>(s.f.ctx->mainMenu(), "Text3_2")->text(), QString("26/11/28"));

  ui::FileSelectWindow& sel = s.f.ctx->fileSelect();
  sel.prepareSearch();
  sel.show();
  s.f.nextFileChoice = toUtf8(copy);
  UiFixture::click(sel, "Command1");
  auto& menu = s.f.ctx->mainMenu();
  QVERIFY(menu.isVisible());
  QCOMPARE(s.f.ctx->state().priceDbPath, toUtf8(copy));
  QCOMPARE(UiFixture::find<QLineEdit>(menu, "Text3_1")->text(), QString("day"));
  QCOMPARE(UiFixture::find<QLineEdit>(menu, "Text3_2")->text(), QString("26/11/20"));
  QCOMPARE(UiFixture::find<QLineEdit>(menu, "Text3_11")->text(), QString("26/11/11"));
}

QTEST_MAIN(BackupWindowTest)
#include "backup_window_test.moc"
