#include <QLineEdit>
#include <QtTest>

#include "data/price_schema.h"
#include "test_support.h"
#include "ui/app/chooser_window.h"
#include "ui/app/file_select_window.h"
#include "ui/app/main_menu_window.h"
#include "ui/common/flex_grid.h"
#include "ui_test_support.h"

using namespace tavrin;

class AppWindowsTest : public QObject {
  Q_OBJECT
 private slots:
  void chooserAnswers_data();
  void chooserAnswers();
  void menuShowsDatesAndTransferButtonsByUnit_data();
  void menuShowsDatesAndTransferButtonsByUnit();
  void missingDatabaseGivesEmptyDates();
};

void AppWindowsTest::chooserAnswers_data() {
  QTest::addColumn<bool>("cancel");
  QTest::addColumn<QString>("answer");
  QTest::addColumn<int>("opens");  // 0 nothing, 1 menu, 2 file selection
  QTest::newRow("1") << false << "1" << 1;
  QTest::newRow("blank 2") << false << " 2" << 2;
  QTest::newRow("01") << false << "01" << 1;
  QTest::newRow("abc") << false << "abc" << 0;
  QTest::newRow("empty") << false << "" << 0;
  QTest::newRow("3") << false << "3" << 0;
  QTest::newRow("cancel") << true << "" << 0;
  // Full-width digits and spaces, as the Japanese input method types them.
  QTest::newRow("full-width 1") << false << "１" << 1;
  QTest::newRow("full-width 2 in ideographic spaces") << false << "　２　" << 2;
  QTest::newRow("full-width 01") << false << "０１" << 1;
  QTest::newRow("mixed widths 2") << false << " ２" << 2;
  QTest::newRow("full-width 3") << false << "３" << 0;
  QTest::newRow("full-width 1 2") << false << "１　２" << 0;
}

void AppWindowsTest::chooserAnswers() {
  QFETCH(bool, cancel);
  QFETCH(QString, answer);
  QFETCH(int, opens);
  test::TempDir dir;
  test::UiFixture f(dir.path());
  f.prompts.queueInput(cancel ? std::nullopt : std::optional<std::string>(answer.toStdString()));
  auto& chooser = f.ctx->chooser();
  chooser.show();
  test::UiFixture::click(chooser, "Command1");
  QCOMPARE(f.prompts.shown().size(), size_t(1));
  QCOMPARE(QString::fromStdString(f.prompts.shown()[0].title), QString("***************"));
  QCOMPARE(QString::fromStdString(f.prompts.shown()[0].defaultAnswer), QString("1"));
  if (opens == 0) {
    QVERIFY(chooser.isVisible());
    QVERIFY(f.ctx->state().priceDbPath.empty());
  } else if (opens == 1) {
    QVERIFY(!chooser.isVisible());
    QVERIFY(f.ctx->mainMenu().isVisible());
    QCOMPARE(QString::fromStdString(f.ctx->state().priceDbPath), QString::fromStdString(toUtf8(dir / "kabuka.mdb")));
  } else {
    QVERIFY(!chooser.isVisible());
    QVERIFY(f.ctx->fileSelect().isVisible());
    QCOMPARE(test::UiFixture::find<QLineEdit>(f.ctx->fileSelect(), "Text2")->text(), QString("search"));
  }
}

void AppWindowsTest::menuShowsDatesAndTransferButtonsByUnit_data() {
  QTest::addColumn<QString>("unit");
  QTest::addColumn<QString>("visible");  // transfer-side buttons shown
  QTest::newRow("day") << "day"
                       << "Command26,Command27";
  QTest::newRow("week") << "week"
                        << "Command28,Command29";
  QTest::newRow("month") << "month"
                         << "Command30";
  QTest::newRow("Day") << "Day"
                       << "Command27";
}

void AppWindowsTest::menuShowsDatesAndTransferButtonsByUnit() {
  QFETCH(QString, unit);
  QFETCH(QString, visible);
  test::TempDir dir;
  const auto db = dir / "kabuka.mdb";
  createPriceDatabase(db, unit.toStdString());
  {
    Database d(db);
    auto rec = *readDateRecord(d);
    for (int i = 0; i < 10; ++i) rec.dates[i] = QString::asprintf("26/11/%02d", 20 - i).toStdString();
    writeDateRecord(d, rec);
  }
  test::UiFixture f(dir.path());
  auto& menu = f.ctx->mainMenu();
  menu.setPathBox(QString::fromStdString(toUtf8(db)));
  menu.show();
  menu.activate();
  QCOMPARE(test::UiFixture::find<QLineEdit>(menu, "Text3_0")->text(), QString("登録株価"));
  QCOMPARE(test::UiFixture::find<QLineEdit>(menu, "Text3_1")->text(), unit);
  QCOMPARE(test::UiFixture::find<QLineEdit>(menu, "Text3_2")->text(), QString("26/11/20"));
  QCOMPARE(test::UiFixture::find<QLineEdit>(menu, "Text3_11")->text(), QString("26/11/11"));
  const QStringList shown = visible.split(',');
  for (const char* name : {"Command26", "Command27", "Command28", "Command29", "Command30"})
    QCOMPARE(menu.button(name)->isVisible(), shown.contains(name));
}

void AppWindowsTest::missingDatabaseGivesEmptyDates() {
  test::TempDir dir;
  test::UiFixture f(dir.path());
  auto& menu = f.ctx->mainMenu();
  menu.setPathBox(QString::fromStdString(toUtf8(dir / "missing.mdb")));
  menu.show();
  menu.activate();
  QCOMPARE(test::UiFixture::find<QLineEdit>(menu, "Text3_1")->text(), QString());
  QCOMPARE(test::UiFixture::find<QLineEdit>(menu, "Text3_2")->text(), QString());
  QVERIFY(!std::filesystem::exists(dir / "missing.mdb"));
  QCOMPARE(f.ctx->unitWord(), std::string());
}

QTEST_MAIN(AppWindowsTest)
#include "app_windows_test.moc"
