// Windows on a 1366×768 desktop: where they open, whether they fit, and
// whether their boxes and columns show what they hold.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTableView>
#include <QtTest>
#include <fstream>

#include "base/log.h"
#include "data/price_schema.h"
#include "registration_support.h"
#include "test_support.h"
#include "ui/app/main_menu_window.h"
#include "ui/common/flex_grid.h"
#include "ui/common/window_placement.h"
#include "ui/datafetch/data_fetch_window.h"
#include "ui/registration/list_browser_window.h"
#include "ui/registration/registration_window.h"
#include "ui/screening/screening_window.h"
#include "ui/settings/settings_window.h"
#include "ui/splits/splits_window.h"
#include "ui/utilities/memo_window.h"
#include "ui/watchlists/watch_list_windows.h"
#include "ui_test_support.h"
#include "watchlists/watch_list_store.h"

using namespace tavrin;
using test::UiFixture;

namespace {

const QRect kScreen(0, 0, 1366, 768);
// The same screen less a desktop's top panel, with a usual title bar.
const QRect kPanelledArea(0, 32, 1366, 736);
const QMargins kTitleBar(1, 37, 1, 1);

// A price database of `count` stocks, opened in the main menu.
struct Desk {
  explicit Desk(int count = 6) {
    setLogQuiet(true);
    std::vector<test::Stock> stocks;
    for (int i = 0; i < count; ++i)
      stocks.push_back({"銘柄" + std::to_string(i),
                        Value(std::int64_t(1300 + i)),
                        {Value(std::int64_t(1000 + i)), Value(std::int64_t(990))}});
    test::makePriceDb(db(), "day", stocks);
    test::setBaseDates(db());
    f = std::make_unique<UiFixture>(dir.path());
    f->ctx->state().priceDbPath = toUtf8(db());
    auto& menu = f->ctx->mainMenu();
    menu.setPathBox(QString::fromStdString(toUtf8(db())));
    menu.show();
    menu.activate();
  }
  ~Desk() {
    f->ctx->unloadAll();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    setLogQuiet(false);
  }
  std::filesystem::path db() const { return dir / "kabuka.mdb"; }
  ui::MainMenuWindow& menu() { return f->ctx->mainMenu(); }

  test::TempDir dir;
  std::unique_ptr<UiFixture> f;
};

QRect available(const QWidget& w) { return w.screen()->availableGeometry(); }

// The width a line edit draws its text in, as its paint event lays it out.
int textRoom(QLineEdit* box) {
  QStyleOptionFrame opt;
  opt.initFrom(box);
  opt.rect = box->rect();
  opt.lineWidth = box->hasFrame() ? box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, box) : 0;
  opt.state |= QStyle::State_Sunken;
  QRect r = box->style()->subElementRect(QStyle::SE_LineEditContents, &opt, box);
  r = r.marginsRemoved(box->textMargins());
  return r.width() - 2 * 2;  // the line edit's own margin each side
}

// A text box shows its whole text, the cursor after it included.
#define VERIFY_SHOWS_WHOLE(box)                                                        \
  QVERIFY2(textRoom(box) >= (box)->fontMetrics().horizontalAdvance((box)->text()) + 1, \
           qPrintable(QStringLiteral("%1 \"%2\": room %3, text %4")                    \
                          .arg((box)->objectName(), (box)->text())                     \
                          .arg(textRoom(box))                                          \
                          .arg((box)->fontMetrics().horizontalAdvance((box)->text()))))

// Every cell text of the column fits between the cell margins.
void verifyColumnShowsWhole(ui::FlexGrid* g, int c) {
  QTableView* v = g->view();
  const int margin = v->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, v) + 1;
  const int room = v->visualRect(v->model()->index(0, c)).width() - 2 * margin;
  for (int r = 1; r < g->rows(); ++r) {
    const QString t = g->textMatrix(r, c);
    QVERIFY2(v->fontMetrics().horizontalAdvance(t) <= room,
             qPrintable(QStringLiteral("column %1 \"%2\" in %3 pixels").arg(c).arg(t).arg(room)));
  }
}

// Every shown control of a window lies inside it.
void verifyControlsInside(QWidget& w) {
  for (QWidget* c : w.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (c->isHidden() || c->geometry().bottom() < 0) continue;  // the group kept above the visible area
    QVERIFY2(w.rect().contains(c->geometry()), qPrintable(c->objectName()));
  }
}

}  // namespace

class WindowFitTest : public QObject {
  Q_OBJECT
 private slots:
  void placementRules();
  void everyWindowOpensInsideTheScreen();
  void watchListsOpenInsideTheScreen();
  void windowShownAgainKeepsItsPlace();
  void tallWindowsFitAPanelledScreen();
  void boxesAndColumnsShowWhatTheyHold();
  void dataServiceWindowsOpenInsideTheScreen();
};

void WindowFitTest::placementRules() {
  using ui::besideOrOver;
  using ui::fitInside;
  const QRect wide(0, 0, 1600, 1000);
  const QSize list(524, 460);
  // At x = 1550 nothing fits on either side: inside the screen, over the other window.
  const QRect far(440, 100, 1114, 760);
  QRect r = besideOrOver(list, far, wide);
  QVERIFY(wide.contains(r));
  QVERIFY(r.intersects(far));
  QCOMPARE(r.size(), list);
  QCOMPARE(r.top(), 100);
  // Room on the right, then only on the left.
  r = besideOrOver(list, QRect(0, 100, 1114, 760), QRect(0, 0, 1920, 1080));
  QCOMPARE(r.topLeft(), QPoint(1122, 100));
  r = besideOrOver(list, QRect(800, 100, 1114, 760), QRect(0, 0, 1920, 1080));
  QCOMPARE(r.topLeft(), QPoint(800 - 8 - 524, 100));
  // Beside, but raised so that its bottom stays on the screen.
  r = besideOrOver(list, QRect(0, 700, 600, 200), wide);
  QCOMPARE(r.left(), 608);
  QCOMPARE(r.bottom(), 999);
  // A frame larger than the area starts at the area's corner.
  QCOMPARE(fitInside(QRect(300, 300, 2000, 1200), kPanelledArea).topLeft(), kPanelledArea.topLeft());
  QCOMPARE(fitInside(QRect(1300, 700, 100, 100), kScreen), QRect(1266, 668, 100, 100));
  // Sizes: shrunk to the area less the frame, never below the minimum.
  QCOMPARE(ui::fittedSize(QSize(1110, 720), QSize(1110, 400), kTitleBar, kPanelledArea), QSize(1110, 698));
  QCOMPARE(ui::fittedSize(QSize(1110, 720), QSize(1110, 710), kTitleBar, kPanelledArea), QSize(1110, 710));
  QCOMPARE(ui::fittedSize(QSize(500, 400), QSize(100, 100), kTitleBar, kPanelledArea), QSize(500, 400));
}

void WindowFitTest::everyWindowOpensInsideTheScreen() {
  QCOMPARE(QGuiApplication::primaryScreen()->availableGeometry(), kScreen);
  Desk d;
  auto& menu = d.menu();
  QVERIFY(available(menu).contains(menu.frameGeometry()));

  // The registration window and the list browser.
  menu.button("Command10")->click();
  auto& reg = d.f->ctx->registration();
  auto& browser = d.f->ctx->listBrowser();
  for (QWidget* w : {static_cast<QWidget*>(&reg), static_cast<QWidget*>(&browser)}) {
    QVERIFY(w->isVisible());
    QVERIFY2(available(*w).contains(w->frameGeometry()), qPrintable(w->objectName()));
  }
  // The splits window from the list browser.
  UiFixture::click(browser, "listSplitsButton");
  auto& splits = d.f->ctx->splits();
  QVERIFY(splits.isVisible());
  QVERIFY(available(splits).contains(splits.frameGeometry()));
  QTRY_VERIFY(!splits.running());
  UiFixture::click(splits, "splitsCloseButton");
  QVERIFY(!splits.isVisible());
  UiFixture::click(reg, "Command3");
  UiFixture::click(reg, "Command2");
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

  // The screening window, and the memo pad and backup window from the menu.
  menu.button("Command53")->click();
  auto& screening = d.f->ctx->screening();
  QVERIFY(screening.isVisible());
  QVERIFY(available(screening).contains(screening.frameGeometry()));
  verifyControlsInside(screening);
  UiFixture::click(screening, "Command5");
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  menu.button("Command20")->click();
  QVERIFY(available(d.f->ctx->memo()).contains(d.f->ctx->memo().frameGeometry()));
}

void WindowFitTest::watchListsOpenInsideTheScreen() {
  Desk d;
  d.menu().button("Command53")->click();
  auto& screening = d.f->ctx->screening();
  // Wherever the screening window is, both lists open whole on the screen.
  for (const QPoint at : {QPoint(0, 0), QPoint(kScreen.width() - screening.frameGeometry().width(), 40)}) {
    screening.move(at);
    for (const char* button : {"Command40", "Command52"}) {
      UiFixture::click(screening, button);
      ui::WatchListWindow& list = std::string(button) == "Command40"
                                      ? static_cast<ui::WatchListWindow&>(d.f->ctx->interestList())
                                      : static_cast<ui::WatchListWindow&>(d.f->ctx->trendList());
      QVERIFY(list.isVisible());
      QVERIFY2(available(list).contains(list.frameGeometry()),
               qPrintable(QStringLiteral("%1 at %2,%3").arg(button).arg(list.x()).arg(list.y())));
      UiFixture::click(list, "Command2");
    }
  }
  // A double-click shows the trend list inside the screen as well.
  screening.grid()->setRow(1);
  emit screening.grid()->doubleClicked();
  QVERIFY(d.f->ctx->trendList().isVisible());
  QVERIFY(available(screening).contains(d.f->ctx->trendList().frameGeometry()));
}

void WindowFitTest::windowShownAgainKeepsItsPlace() {
  Desk d;
  auto& menu = d.menu();
  // Placed explicitly, so that the window system does not place it anew at
  // every show.
  QVERIFY(menu.testAttribute(Qt::WA_Moved));
  menu.move(300, 120);
  const QPoint where = menu.pos();
  for (int i = 0; i < 3; ++i) {
    menu.button("Command53")->click();  // hides the menu
    QVERIFY(!menu.isVisible());
    UiFixture::click(d.f->ctx->screening(), "Command5");  // shows it again
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(menu.isVisible());
    QCOMPARE(menu.pos(), where);
  }
  // Moved partly off the screen while hidden: back inside when shown.
  menu.hide();
  menu.move(kScreen.width() - 50, kScreen.height() - 50);
  menu.show();
  QVERIFY(available(menu).contains(menu.frameGeometry()));
}

void WindowFitTest::tallWindowsFitAPanelledScreen() {
  Desk d;
  QVERIFY(test::writeWorkbook(d.f->ctx->paths().workbook("base"),
                              {{"s040510", test::priceRows({{1300, 2000}, {1301, 3001}})}}));
  auto fits = [](QWidget& w) {
    const QSize s = ui::fittedSize(w.size(), w.minimumSize(), kTitleBar, kPanelledArea);
    QVERIFY2(s.height() + kTitleBar.top() + kTitleBar.bottom() <= kPanelledArea.height(),
             qPrintable(QStringLiteral("%1: %2 high at least").arg(w.objectName()).arg(w.minimumHeight())));
    QVERIFY2(s.width() + kTitleBar.left() + kTitleBar.right() <= kPanelledArea.width(), qPrintable(w.objectName()));
    w.resize(s);
    QCoreApplication::sendPostedEvents();
    verifyControlsInside(w);
  };

  d.menu().button("Command53")->click();
  auto& screening = d.f->ctx->screening();
  fits(screening);
  // The grid is what gets shorter; the bottom strip stays whole.
  QVERIFY(screening.grid()->height() >= 120);
  QVERIFY(screening.findChild<QPushButton*>("Command26")->geometry().bottom() < screening.height());
  UiFixture::click(screening, "Command5");
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

  // The registration window started, then with a sheet shown after an import.
  d.menu().button("Command10")->click();
  auto& reg = d.f->ctx->registration();
  UiFixture::click(reg, "Command3");
  fits(reg);
  UiFixture::click(reg, "Command8");
  QCOMPARE(reg.findChild<QLineEdit*>("Text1")->text(), QStringLiteral("登録　完了しました"));
  QVERIFY(reg.sheetGrid()->isVisible());
  fits(reg);
  QVERIFY(available(reg).contains(reg.frameGeometry()));
}

void WindowFitTest::dataServiceWindowsOpenInsideTheScreen() {
  Desk d;
  // No secret store and a configuration folder of the test's own.
  qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((d.dir / "config").string()));
  qputenv("DBUS_SESSION_BUS_ADDRESS", QByteArray::fromStdString("unix:path=" + (d.dir / "no-bus").string()));
  auto& menu = d.menu();
  QVERIFY(available(menu).contains(menu.frameGeometry()));
  for (const char* button : {"dataFetchButton", "settingsButton"}) {
    QPushButton* b = menu.button(QString::fromLatin1(button));
    QVERIFY2(b && b->isVisible(), button);
    QVERIFY(menu.rect().contains(b->geometry().translated(b->parentWidget()->mapTo(&menu, QPoint()))));
    b->click();
  }
  for (QWidget* w : {static_cast<QWidget*>(&d.f->ctx->dataFetch()), static_cast<QWidget*>(&d.f->ctx->settings())}) {
    QVERIFY(w->isVisible());
    QVERIFY2(available(*w).contains(w->frameGeometry()), qPrintable(w->objectName()));
    verifyControlsInside(*w);
  }
  QTRY_VERIFY_WITH_TIMEOUT(!d.f->ctx->settings().running() && !d.f->ctx->dataFetch().checkingKey(), 20000);
  qunsetenv("XDG_CONFIG_HOME");
  qunsetenv("DBUS_SESSION_BUS_ADDRESS");
}

void WindowFitTest::boxesAndColumnsShowWhatTheyHold() {
  Desk d(3868);
  auto& menu = d.menu();

  // The list browser's count.
  menu.button("Command22")->click();
  auto& browser = d.f->ctx->listBrowser();
  QCoreApplication::sendPostedEvents();
  auto* count = browser.findChild<QLineEdit*>("Text7");
  QCOMPARE(count->text(), QStringLiteral("3868"));
  VERIFY_SHOWS_WHOLE(count);
  UiFixture::click(browser, "Command5");
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

  // A failed import says so whole.
  menu.button("Command10")->click();
  auto& reg = d.f->ctx->registration();
  UiFixture::click(reg, "Command3");
  reg.findChild<QLineEdit*>("Text3_1")->setText("nosuchbook");
  UiFixture::click(reg, "Command8");
  QCoreApplication::sendPostedEvents();
  auto* text1 = reg.findChild<QLineEdit*>("Text1");
  QVERIFY(text1->text().contains("nosuchbook.xls"));
  VERIFY_SHOWS_WHOLE(text1);
  QVERIFY(available(reg).contains(reg.frameGeometry()) || reg.frameGeometry().width() > kScreen.width());
  UiFixture::click(reg, "Command2");
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

  // Watch lists with two-digit IDs, four-figure units and long names.
  const auto path = d.f->ctx->paths().watchListDb();
  prepareWatchListDatabase(path);
  for (int i = 0; i < 40; ++i)
    addWatchStock(path, WatchList::Trend,
                  {std::to_string(1300 + i), i % 2 ? "トヨタ自動車" : "ソフトバンクグループ",
                   i % 2 ? "東証１部" : "ジャスダック", i % 3 ? "1000" : "100", "26/12/09"});
  auto& trend = d.f->ctx->trendList();
  trend.show();
  QCoreApplication::sendPostedEvents();
  QCOMPARE(trend.grid()->rows(), 41);
  for (int c = 1; c <= 6; ++c) verifyColumnShowsWhole(trend.grid(), c);
  VERIFY_SHOWS_WHOLE(trend.findChild<QLineEdit*>("Text9"));
}

// The windows open on a 1366×768 screen of the offscreen platform.
int main(int argc, char** argv) {
  const std::filesystem::path config =
      std::filesystem::temp_directory_path() /
      ("tavrin_window_fit_" + std::to_string(QCoreApplication::applicationPid()) + ".json");
  {
    std::ofstream out(config);
    out << R"({"screens": [{"name": "desk", "x": 0, "y": 0, "width": 1366, "height": 768,)"
        << R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})";
  }
  qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + QByteArray::fromStdString(config.string()));
  QApplication app(argc, argv);
  std::filesystem::remove(config);
  WindowFitTest test;
  QTEST_SET_MAIN_SOURCE_PATH
  return QTest::qExec(&test, argc, argv);
}

#include "window_fit_test.moc"
