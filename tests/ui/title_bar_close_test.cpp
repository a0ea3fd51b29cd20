#include <QtTest>
#include <fstream>

#include "app/setup.h"
#include "base/log.h"
#include "data/database.h"
#include "data/price_schema.h"
#include "test_support.h"
#include "ui/app/chooser_window.h"
#include "ui/app/main_menu_window.h"
#include "ui/backtest/backtest_window.h"
#include "ui/chart/chart_window.h"
#include "ui/exchange/transfer_window.h"
#include "ui/history/history_import_window.h"
#include "ui/registration/list_browser_window.h"
#include "ui/registration/registration_window.h"
#include "ui/screening/screening_window.h"
#include "ui/splits/splits_window.h"
#include "ui/stocklist/stock_list_window.h"
#include "ui/utilities/backup_window.h"
#include "ui/utilities/memo_window.h"
#include "ui/watchlists/watch_list_windows.h"
#include "ui_test_support.h"

using namespace tavrin;

// The title-bar close box (and Alt+F4) arrive as a close event.
class TitleBarCloseTest : public QObject {
  Q_OBJECT
 private slots:
  void newWindowsCloseFromTheTitleBar();
  void aBusyWindowStaysUntilItsWorkIsDone();
  void theFormsRefuseIt();
};

void TitleBarCloseTest::newWindowsCloseFromTheTitleBar() {
  test::TempDir dir;
  initStandardFiles(Paths(dir.path()));
  test::UiFixture f(dir.path());
  auto& c = *f.ctx;
  const QList<QWidget*> windows = {&c.backtest(), &c.stockList(), &c.historyImport(), &c.chart(), &c.splits()};
  for (QWidget* w : windows) {
    w->show();
    QVERIFY2(w->isVisible(), qPrintable(w->objectName()));
    w->close();
    QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
    // It opens again as it was left.
    w->show();
    QVERIFY2(w->isVisible(), qPrintable(w->objectName()));
    w->hide();
  }
}

void TitleBarCloseTest::aBusyWindowStaysUntilItsWorkIsDone() {
  setLogQuiet(true);
  test::TempDir dir;
  test::UiFixture f(dir.path());
  const std::filesystem::path db = dir / "kabuka.mdb";
  createPriceDatabase(db, "day");
  {
    Database d(db);
    d.execute("insert into [list] ([銘柄], [コード], [市場], [単位]) values ('x', 7203, '東証プライム', 100)");
  }
  const std::filesystem::path file = dir / "7203.csv";
  std::ofstream(file) << "コード,日付,終値\n7203,2026/03/02,100\n";
  auto& menu = f.ctx->mainMenu();
  menu.setPathBox(QString::fromStdString(toUtf8(db)));
  menu.show();
  menu.activate();
  menu.button("historyImportButton")->click();
  ui::HistoryImportWindow& w = f.ctx->historyImport();
  QVERIFY(w.isVisible());
  w.setFiles({QString::fromStdString(toUtf8(file))});
  {
    // The import waits for the database while the close box is used.
    Database lock(db);
    lock.exec("begin exclusive");
    QVERIFY(w.start());
    w.close();
    QVERIFY(w.isVisible());
    lock.exec("rollback");
  }
  QTRY_VERIFY_WITH_TIMEOUT(!w.running(), 60000);
  w.close();
  QVERIFY(!w.isVisible());
  setLogQuiet(false);
}

void TitleBarCloseTest::theFormsRefuseIt() {
  test::TempDir dir;
  initStandardFiles(Paths(dir.path()));
  test::UiFixture f(dir.path());
  auto& c = *f.ctx;
  const QList<QWidget*> forms = {&c.chooser(),      &c.mainMenu(),    &c.memo(),         &c.backup(),    &c.screening(),
                                 &c.registration(), &c.listBrowser(), &c.interestList(), &c.trendList(), &c.transfer()};
  for (QWidget* w : forms) {
    QVERIFY2(w->objectName().startsWith(QStringLiteral("Form")), qPrintable(w->objectName()));
    w->show();
    QVERIFY2(!w->close(), qPrintable(w->objectName()));
    QVERIFY2(w->isVisible(), qPrintable(w->objectName()));
    w->hide();
  }
}

QTEST_MAIN(TitleBarCloseTest)
#include "title_bar_close_test.moc"
