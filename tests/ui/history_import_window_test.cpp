#include <QCheckBox>
#include <QListWidget>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>
#include <fstream>

#include "base/log.h"
#include "data/price_schema.h"
#include "history/price_history.h"
#include "test_support.h"
#include "ui/app/main_menu_window.h"
#include "ui/history/history_import_window.h"
#include "ui_test_support.h"

using namespace tavrin;
using test::UiFixture;

namespace {

void writeText(const std::filesystem::path& p, const std::string& text) {
  std::ofstream out(p, std::ios::binary);
  out << text;
}

struct Setup {
  test::TempDir dir;
  UiFixture f{dir.path()};
  std::filesystem::path db = dir / "kabuka.mdb";
  QStringList chosen;

  Setup() {
    createPriceDatabase(db, "day");
    Database d(db);
    for (const char* code : {"7203", "6758"})
      d.execute("insert into [list] ([銘柄], [コード], [市場], [単位]) values ('x', ?, '東証プライム', 100)",
                {Value(static_cast<std::int64_t>(std::stoll(code)))});
  }
  ui::HistoryImportWindow& open() {
    auto& menu = f.ctx->mainMenu();
    menu.setPathBox(QString::fromStdString(toUtf8(db)));
    menu.show();
    menu.activate();
    menu.button("historyImportButton")->click();
    ui::HistoryImportWindow& w = f.ctx->historyImport();
    w.chooseFilesDialog = [this](QWidget*) { return chosen; };
    return w;
  }
  QString file(const std::string& name, const std::string& text) {
    writeText(dir / name, text);
    return QString::fromStdString((dir / name).string());
  }
  static void waitDone(ui::HistoryImportWindow& w) { QTRY_VERIFY_WITH_TIMEOUT(!w.running(), 60000); }
};

}  // namespace

class HistoryImportWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { setLogQuiet(true); }

  void importsTheChosenFilesAndSetsThePositions() {
    Setup s;
    std::string longer = "Date,Open,High,Low,Close,Volume\n";
    for (int k = 1; k <= 12; ++k)
      longer += "2026-03-" + std::string(k < 10 ? "0" : "") + std::to_string(k) + ",1,1,1," + std::to_string(100 + k) +
                ",1\n";
    s.chosen = {s.file("7203.jp.txt", longer), s.file("broken.csv", "Date,Close\n2026-03-02,abc\n"),
                s.file("day.csv", "コード,銘柄,日付,終値\n6758,B,2026/03/12,500\n8888,X,2026/03/12,9\n")};
    ui::HistoryImportWindow& w = s.open();
    QVERIFY(w.isVisible());
    auto* start = UiFixture::find<QPushButton>(w, "historyImportStartButton");
    QVERIFY(!start->isEnabled());
    UiFixture::click(w, "historyImportChooseButton");
    QCOMPARE(UiFixture::find<QListWidget>(w, "historyImportFileList")->count(), 3);
    QVERIFY(start->isEnabled());
    UiFixture::find<QCheckBox>(w, "historyImportSetPositionsCheck")->setChecked(true);

    QSignalSpy finished(&w, &ui::HistoryImportWindow::finished);
    start->click();
    QVERIFY(w.running());
    QVERIFY(!UiFixture::find<QPushButton>(w, "historyImportCloseButton")->isEnabled());
    QVERIFY(UiFixture::find<QPushButton>(w, "historyImportCancelButton")->isEnabled());
    Setup::waitDone(w);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(UiFixture::find<QProgressBar>(w, "historyImportProgress")->value(), 3);
    const QString report = w.reportText();
    QVERIFY2(report.contains(QStringLiteral("3 ファイルのうち 2 ファイルを取り込みました")), qPrintable(report));
    QVERIFY(report.contains(QStringLiteral("終値 13 件を保存")));
    QVERIFY(report.contains(QStringLiteral("取り込めなかったファイル: 1")));
    QVERIFY(report.contains(QStringLiteral("一覧にないため飛ばしたコード: 1（8888）")));
    QVERIFY(report.contains(QStringLiteral("broken.csv: 壊れているため飛ばしました")));
    QVERIFY(report.contains(
        QStringLiteral("登録株価と日付を履歴の最新10期間（2026-03-03 〜 2026-03-12）にしました: 銘柄 2")));

    Database d(s.db, Database::Mode::ReadOnly);
    QCOMPARE(historyRowCount(d), std::int64_t{13});
    QCOMPARE(readDateRecord(d)->dates[0], std::string("26/03/12"));
    QCOMPARE(d.scalar("select kabuka1 from list where [コード] = 6758").integer(), std::int64_t{500});
    QVERIFY(UiFixture::find<QPushButton>(w, "historyImportCloseButton")->isEnabled());
    UiFixture::click(w, "historyImportCloseButton");
    QVERIFY(!w.isVisible());
  }

  void cancelStopsAfterTheFileBeingWritten() {
    Setup s;
    for (int f = 0; f < 5; ++f)
      s.chosen << s.file("7203-" + std::to_string(f) + ".csv",
                         "コード,日付,終値\n7203,2026/03/0" + std::to_string(f + 1) + ",10" + std::to_string(f) + "\n");
    ui::HistoryImportWindow& w = s.open();
    UiFixture::click(w, "historyImportChooseButton");
    UiFixture::find<QCheckBox>(w, "historyImportSetPositionsCheck")->setChecked(true);
    {
      // The worker waits for the database until the cancel has been pressed.
      Database lock(s.db);
      lock.exec("begin exclusive");
      QVERIFY(w.start());
      UiFixture::click(w, "historyImportCancelButton");
      lock.exec("rollback");
    }
    Setup::waitDone(w);
    const QString report = w.reportText();
    QVERIFY2(report.contains(QStringLiteral("5 ファイルのうち 1 ファイルを取り込みました")), qPrintable(report));
    QVERIFY(report.contains(QStringLiteral("中止しました: 残りの 4 ファイルは取り込んでいません。")));
    QVERIFY(report.contains(QStringLiteral("中止したため、登録株価と日付は変えていません。")));
    Database d(s.db, Database::Mode::ReadOnly);
    QCOMPARE(historyRowCount(d), std::int64_t{1});
  }

  void aFileThatIsNoPriceDatabaseOrAHistoryWithoutClosesChangesNothing() {
    Setup s;
    s.chosen = {s.file("9999.csv", "Date,Open,High,Low,Close,Volume\n2026-03-02,1,1,1,100,5\n")};
    // Only a code list lacks: the history stays empty, so the positions stay.
    ui::HistoryImportWindow& w = s.open();
    UiFixture::click(w, "historyImportChooseButton");
    UiFixture::find<QCheckBox>(w, "historyImportSetPositionsCheck")->setChecked(true);
    QVERIFY(w.start());
    Setup::waitDone(w);
    QVERIFY2(w.reportText().endsWith(QStringLiteral("登録株価と日付は変えていません（the history holds no closes）。")),
             qPrintable(w.reportText()));

    // A database without list: nothing is read.
    const std::filesystem::path other = s.dir / "other.mdb";
    {
      Database d(other, Database::Mode::Create);
      d.exec("create table t (x)");
    }
    s.db = other;
    s.open();
    QVERIFY(w.start());
    Setup::waitDone(w);
    const QStringList lines = w.reportText().split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0], QStringLiteral("取り込み先: ") + QString::fromStdString(toUtf8(other)));
    QCOMPARE(lines[1],
             QStringLiteral("株価データベースを開けませんでした（not a price database）。何も取り込んでいません。"));
    QCOMPARE(UiFixture::find<QProgressBar>(w, "historyImportProgress")->value(), 0);
  }

  void windowDestroyedWhileImportingStopsAndJoinsTheImport() {
    Setup s;
    for (int f = 0; f < 5; ++f)
      s.chosen << s.file("6758-" + std::to_string(f) + ".csv",
                         "コード,日付,終値\n6758,2026/03/0" + std::to_string(f + 1) + ",20" + std::to_string(f) + "\n");
    QPointer<ui::HistoryImportWindow> w = &s.open();
    UiFixture::click(*w, "historyImportChooseButton");
    QSignalSpy finished(w.data(), &ui::HistoryImportWindow::finished);
    {
      // The import waits for the database while the window goes away.
      Database lock(s.db);
      lock.exec("begin exclusive");
      QVERIFY(w->start());
      s.f.ctx->unload(w.data());
      lock.exec("rollback");
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(w.isNull());
    QCoreApplication::processEvents();
    QCOMPARE(finished.count(), 0);
    // The file being written when the stop came is whole; the rest are not read.
    Database d(s.db, Database::Mode::ReadOnly);
    QVERIFY(historyRowCount(d) <= 1);
    QVERIFY(s.f.ctx->historyImport().files().isEmpty());  // a fresh window
  }
};

QTEST_MAIN(HistoryImportWindowTest)
#include "history_import_window_test.moc"
