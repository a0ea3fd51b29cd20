#include <QFile>
#include <QtTest>

#include "test_support.h"
#include "ui/app/chooser_window.h"
#include "ui/app/file_select_window.h"
#include "ui/app/main_menu_window.h"
#include "ui/common/app_identity.h"
#include "ui/exchange/transfer_window.h"
#include "ui/registration/list_browser_window.h"
#include "ui/registration/registration_window.h"
#include "ui/screening/screening_window.h"
#include "ui/utilities/backup_window.h"
#include "ui/utilities/memo_window.h"
#include "ui/watchlists/watch_list_windows.h"
#include "ui_test_support.h"

using namespace tavrin;

class AppIdentityTest : public QObject {
  Q_OBJECT
 private slots:
  void desktopIdIsTheInstalledEntrysName();
  void everyWindowShowsTheApplicationIcon();
};

void AppIdentityTest::desktopIdIsTheInstalledEntrysName() {
  ui::applyApplicationIdentity();
  // The shell matches a window to its menu entry by this name.
  QCOMPARE(QGuiApplication::desktopFileName(), QStringLiteral(TAVRIN_DESKTOP_ID));
  QVERIFY(QFile::exists(QStringLiteral(TAVRIN_SOURCE_DIR "/desktop/" TAVRIN_DESKTOP_ID ".desktop")));
}

void AppIdentityTest::everyWindowShowsTheApplicationIcon() {
  ui::applyApplicationIdentity();
  test::TempDir dir;
  test::UiFixture f(dir.path());
  auto& c = *f.ctx;
  const QList<QWidget*> windows = {&c.chooser(),      &c.mainMenu(),  &c.fileSelect(),   &c.memo(),
                                   &c.backup(),       &c.screening(), &c.registration(), &c.listBrowser(),
                                   &c.interestList(), &c.trendList(), &c.transfer()};
  // The largest size is the PNG installed into the icon theme, pixel for pixel.
  const QImage installed(QStringLiteral(TAVRIN_SOURCE_DIR "/desktop/icons/256x256/" TAVRIN_DESKTOP_ID ".png"));
  QVERIFY(!installed.isNull());
  for (QWidget* w : windows) {
    const QIcon icon = w->windowIcon();
    QVERIFY2(!icon.isNull(), qPrintable(w->objectName()));
    const QList<QSize> sizes = icon.availableSizes();
    for (int size : {16, 24, 32, 48, 64, 128, 256})
      QVERIFY2(sizes.contains(QSize(size, size)), qPrintable(w->objectName()));
    QCOMPARE(icon.pixmap(QSize(256, 256)).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied),
             installed.convertToFormat(QImage::Format_ARGB32_Premultiplied));
  }
}

QTEST_MAIN(AppIdentityTest)
#include "app_identity_test.moc"
