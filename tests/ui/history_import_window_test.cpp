#include <QAbstractTextDocumentLayout>
#include <QCheckBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QtTest>
#include <fstream>

#include "base/calendar.h"
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

int december(int d) { return *dayFromCivil(2024, 12, d); }

// A history file of the export layout with a close for each day of December
// 2024 from `from` to `to`.
std::string exportFile(int from, int to, const std::function<std::string(int day)>& close) {
  std::string text = "Date,Open,High,Low,Close,Volume\n";
  for (int d = from; d <= to; ++d) {
    const std::string c = close(d);
    text += "2024-12-" + std::string(d < 10 ? "0" : "") + std::to_string(d) + "," + c + "," + c + "," + c + "," + c +
            ",1000\n";
  }
  return text;
}

// Five stocks with files from 2024-12-11 to 2024-12-24; 7203 and 6758 have
// 2024-12-25 as well (the day whose other files have not arrived yet), 9984
// has one wrong close on 2024-12-18 (a digit lost) and 8306 a 1:5 split on
// 2024-12-20.
struct Market : Setup {
  Market() {
    Database d(db);
    for (const Value& code : {Value(std::int64_t{9984}), Value(std::int64_t{8306}), Value(std::string("130A"))})
      d.execute("insert into [list] ([銘柄], [コード], [市場], [単位]) values ('x', ?, '東証プライム', 100)", {code});
    chosen = {
        file("7203.csv", exportFile(11, 25, [](int day) { return std::to_string(2000 + day); })),
        file("6758.csv", exportFile(11, 25, [](int day) { return std::to_string(3000 + day); })),
        file("9984.csv",
             exportFile(11, 24, [](int day) { return day == 18 ? std::string("27") : std::to_string(260 + day); })),
        file("8306.csv", exportFile(11, 24, [](int day) { return std::string(day < 20 ? "1500" : "300"); })),
        file("130a.csv", exportFile(11, 24, [](int day) { return std::to_string(500 + day); }))};
  }
  // Imports the files, with the positions when asked (up to `at` when given).
  QString runImport(ui::HistoryImportWindow& w, bool positions, std::optional<QDate> at = std::nullopt) {
    UiFixture::click(w, "historyImportChooseButton");
    UiFixture::find<QCheckBox>(w, "historyImportSetPositionsCheck")->setChecked(positions);
    UiFixture::find<QCheckBox>(w, "positionsDateCheck")->setChecked(at.has_value());
    if (at) UiFixture::find<QDateEdit>(w, "positionsDateEdit")->setDate(*at);
    if (!w.start()) return QStringLiteral("not started");
    waitDone(w);
    return w.reportText();
  }
  // Fills the removal box and presses 削除….
  static void remove(ui::HistoryImportWindow& w, const QString& code, std::optional<QDate> day) {
    UiFixture::find<QLineEdit>(w, "historyRemoveCode")->setText(code);
    UiFixture::find<QCheckBox>(w, "historyRemoveDayCheck")->setChecked(day.has_value());
    if (day) UiFixture::find<QDateEdit>(w, "historyRemoveDay")->setDate(*day);
    UiFixture::click(w, "historyRemoveButton");
    waitDone(w);
  }
  std::int64_t rows() {
    Database d(db, Database::Mode::ReadOnly);
    return historyRowCount(d);
  }
  std::vector<Bar> history(const std::string& code) {
    Database d(db, Database::Mode::ReadOnly);
    return readHistory(d, code);
  }
};

bool hasDay(const std::vector<Bar>& bars, int day) {
  return std::any_of(bars.begin(), bars.end(), [&](const Bar& b) { return b.day == day; });
}

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
    QVERIFY(
        report.contains(QStringLiteral("登録株価と日付を 2026-03-12 から 2026-03-03 までの 10 "
                                       "日にしました（最新日に終値のある銘柄 2、一覧の銘柄 2）。")));

    Database d(s.db, Database::Mode::ReadOnly);
    QCOMPARE(historyRowCount(d), std::int64_t{13});
    QCOMPARE(readDateRecord(d)->dates[0], std::string("26/03/12"));
    QCOMPARE(d.scalar("select kabuka1 from list where [コード] = 6758").integer(), std::int64_t{500});
    QVERIFY(UiFixture::find<QPushButton>(w, "historyImportCloseButton")->isEnabled());
    UiFixture::click(w, "historyImportCloseButton");
    QVERIFY(!w.isVisible());
  }

  void theReportWrapsItsLinesAndNewFilesClearIt() {
    Setup s;
    // A name much longer than the window is wide: its line of the report wraps.
    const std::string longName = std::string(180, 'x') + ".csv";
    s.chosen = {s.file(longName, "Date,Close\n2026-03-02,abc\n")};
    ui::HistoryImportWindow& w = s.open();
    w.resize(520, w.height());
    UiFixture::click(w, "historyImportChooseButton");
    QVERIFY(w.start());
    Setup::waitDone(w);
    auto* report = UiFixture::find<QPlainTextEdit>(w, "historyImportReport");
    QVERIFY2(report->toPlainText().contains(QString::fromStdString(longName)), qPrintable(report->toPlainText()));
    QCoreApplication::processEvents();
    QCOMPARE(report->horizontalScrollBar()->maximum(), 0);
    const QTextBlock line = report->document()->find(QString::fromStdString(longName)).block();
    QVERIFY(line.isValid());
    report->document()->documentLayout()->blockBoundingRect(line);  // lays the line out
    QVERIFY2(line.layout()->lineCount() > 1, qPrintable(line.text()));

    // Choosing files again: the old report goes, the new list shows.
    s.chosen = {s.file("7203.csv", "Date,Close\n2026-03-02,100\n")};
    UiFixture::click(w, "historyImportChooseButton");
    QVERIFY2(report->toPlainText().isEmpty(), qPrintable(report->toPlainText()));
    QCOMPARE(UiFixture::find<QListWidget>(w, "historyImportFileList")->count(), 1);
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
    QVERIFY2(w.reportText().endsWith(QStringLiteral("登録株価と日付は変えていません: 履歴に終値がありません。")),
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

  void anIncompleteLatestDayIsLeftOutOfThePositionsAndTheChecksAreReported() {
    Market s;
    ui::HistoryImportWindow& w = s.open();
    auto* positions = UiFixture::find<QCheckBox>(w, "historyImportSetPositionsCheck");
    auto* dateCheck = UiFixture::find<QCheckBox>(w, "positionsDateCheck");
    auto* dateEdit = UiFixture::find<QDateEdit>(w, "positionsDateEdit");
    QVERIFY(!dateCheck->isEnabled() && !dateEdit->isEnabled());
    positions->setChecked(true);
    QVERIFY(dateCheck->isEnabled() && !dateEdit->isEnabled());
    dateCheck->setChecked(true);
    QVERIFY(dateEdit->isEnabled());
    dateCheck->setChecked(false);

    // Nothing is removed while the import runs.
    UiFixture::click(w, "historyImportChooseButton");
    UiFixture::find<QLineEdit>(w, "historyRemoveCode")->setText(QStringLiteral("7203"));
    auto* removeButton = UiFixture::find<QPushButton>(w, "historyRemoveButton");
    QVERIFY(removeButton->isEnabled());
    QVERIFY(w.start());
    QVERIFY(!removeButton->isEnabled());
    QVERIFY(!w.removeFromHistory());
    Setup::waitDone(w);
    QVERIFY(s.f.prompts.shown().empty());
    QVERIFY(removeButton->isEnabled());

    const QStringList lines = w.reportText().split(QLatin1Char('\n'));
    auto has = [&](const char* line) { return lines.contains(QString::fromUtf8(line)); };
    QVERIFY2(has("5 ファイルのうち 5 ファイルを取り込みました（72 行、終値 72 件を保存）。"),
             qPrintable(w.reportText()));
    QVERIFY(has("履歴の終値のそろわない日: 2024-12-25（2 銘柄）"));
    QVERIFY(
        has("登録株価と日付を 2024-12-24 から 2024-12-15 までの 10 日にしました（最新日に終値のある銘柄 5、一覧の銘柄 "
            "5）。"));
    QVERIFY(has("終値のそろわない日は登録に使っていません: 2024-12-25（2 銘柄）"));
    QCOMPARE(dateEdit->date(), QDate(2024, 12, 24));  // the day the positions were set at
    // The checks: a line per finding after the heading, the day's close marked.
    const qsizetype heading = lines.indexOf(QStringLiteral("— 値動きの確認 —"));
    QVERIFY(heading > 0);
    QCOMPARE(lines.mid(heading + 1),
             (QStringList{
                 QStringLiteral("8306 2024-12-20 分割・併合の段差 1:5: 1500 → 1500 → 1500 → [300] → 300 → 300 → 300"),
                 QStringLiteral("9984 2024-12-18 一日だけの急変: 275 → 276 → 277 → [27] → 279 → 280 → 281"),
                 QStringLiteral("確認のみで、株価は変えていません。")}));

    Database d(s.db, Database::Mode::ReadOnly);
    QCOMPARE(readDateRecord(d)->dates[0], std::string("24/12/24"));
    QCOMPARE(readDateRecord(d)->dates[9], std::string("24/12/15"));
    QCOMPARE(d.scalar("select kabuka1 from list where [コード] = 7203").integer(), std::int64_t{2024});
    QCOMPARE(d.scalar("select kabuka1 from list where [コード] = '130A'").integer(), std::int64_t{524});
    // Only a check: the wrong close stays as the file gave it.
    QCOMPARE(d.scalar("select kabuka7 from list where [コード] = 9984").integer(), std::int64_t{27});
  }

  void thePositionsDateSetsTheCompleteDaysUpToIt() {
    Market s;
    ui::HistoryImportWindow& w = s.open();
    QString report = s.runImport(w, true, QDate(2024, 12, 20));
    QVERIFY2(report.contains(QStringLiteral("登録株価と日付を 2024-12-20 から 2024-12-11 までの 10 日にしました")),
             qPrintable(report));
    {
      Database d(s.db, Database::Mode::ReadOnly);
      QCOMPARE(readDateRecord(d)->dates[0], std::string("24/12/20"));
      QCOMPARE(d.scalar("select kabuka1 from list where [コード] = 8306").integer(), std::int64_t{300});
    }

    // A day without closes, and the incomplete day: the positions stay.
    report = s.runImport(w, true, QDate(2024, 12, 30));
    QVERIFY2(report.contains(QStringLiteral("登録株価と日付は変えていません: 2024-12-30 の終値がありません。")),
             qPrintable(report));
    report = s.runImport(w, true, QDate(2024, 12, 25));
    QVERIFY2(report.contains(
                 QStringLiteral("登録株価と日付は変えていません: 2024-12-25 は終値のそろわない日です（2 銘柄）。")),
             qPrintable(report));
    Database d(s.db, Database::Mode::ReadOnly);
    QCOMPARE(readDateRecord(d)->dates[0], std::string("24/12/20"));
  }

  void removingADayAsksFirstAndTakesEveryStocksCloseOfIt() {
    Market s;
    ui::HistoryImportWindow& w = s.open();
    s.runImport(w, false);
    const QString importReport = w.reportText();
    QCOMPARE(s.rows(), std::int64_t{72});
    QVERIFY(!UiFixture::find<QPushButton>(w, "historyRemoveButton")->isEnabled());  // nothing chosen yet
    // The removal's date box offers the incomplete day the import found.
    auto* removeDay = UiFixture::find<QDateEdit>(w, "historyRemoveDay");
    QCOMPARE(removeDay->date(), QDate(2024, 12, 25));

    // No: nothing changes.
    s.f.prompts.queueMessageAnswer(MessageAnswer::Cancel);
    Market::remove(w, QString(), QDate(2024, 12, 25));
    QCOMPARE(s.f.prompts.messages().size(), std::size_t{1});
    QCOMPARE(s.f.prompts.messages()[0].text(),
             std::string("2024-12-25 の終値をすべての銘柄から削除します。よろしいですか？"));
    QCOMPARE(s.f.prompts.messages()[0].buttons, MessageButtons::OkCancel);
    QCOMPARE(s.rows(), std::int64_t{72});
    QCOMPARE(w.reportText(), importReport);

    // Yes: the day goes from both stocks that had it.
    s.f.prompts.queueMessageAnswer(MessageAnswer::Ok);
    Market::remove(w, QString(), QDate(2024, 12, 25));
    QCOMPARE(w.reportText(), QStringLiteral("2024-12-25: 2 銘柄の 2 件を削除しました。"));
    QCOMPARE(s.rows(), std::int64_t{70});
    QCOMPARE(s.history("7203").back().day, december(24));
    QCOMPARE(s.history("6758").size(), std::size_t{14});
    QCOMPARE(removeDay->date(), QDate(2024, 12, 24));  // the latest day now
    removeDay->setDate(QDate(2024, 12, 25));
    w.hide();
    w.show();  // shown again, the boxes start from the history's latest day
    QCOMPARE(removeDay->date(), QDate(2024, 12, 24));
    QCOMPARE(UiFixture::find<QDateEdit>(w, "positionsDateEdit")->date(), QDate(2024, 12, 24));
    removeDay->setDate(QDate(2024, 12, 25));

    Market::remove(w, QString(), QDate(2024, 12, 25));
    QCOMPARE(w.reportText(), QStringLiteral("削除するものはありませんでした。"));
    QCOMPARE(s.rows(), std::int64_t{70});
  }

  void removingAStockOrOneCloseOfItAndABadCode() {
    Market s;
    ui::HistoryImportWindow& w = s.open();
    s.runImport(w, false);

    // A code typed in lower case is the stock's code.
    Market::remove(w, QStringLiteral("130a"), std::nullopt);
    QCOMPARE(s.f.prompts.messages().back().text(), std::string("130A の履歴をすべて削除します。よろしいですか？"));
    QCOMPARE(w.reportText(), QStringLiteral("130A: 履歴の 14 件（14 日分）を削除しました。"));
    QCOMPARE(UiFixture::find<QLineEdit>(w, "historyRemoveCode")->text(), QStringLiteral("130A"));
    QVERIFY(s.history("130A").empty());
    QCOMPARE(s.rows(), std::int64_t{58});

    // Code and day: that stock's close of that day only.
    Market::remove(w, QStringLiteral("7203"), QDate(2024, 12, 18));
    QCOMPARE(s.f.prompts.messages().back().text(),
             std::string("7203 の 2024-12-18 の終値を削除します。よろしいですか？"));
    QCOMPARE(w.reportText(), QStringLiteral("7203 の 2024-12-18: 終値を削除しました。"));
    const std::vector<Bar> toyota = s.history("7203");
    QCOMPARE(toyota.size(), std::size_t{14});
    QVERIFY(!hasDay(toyota, december(18)) && hasDay(toyota, december(17)) && hasDay(toyota, december(19)));
    QVERIFY(hasDay(s.history("6758"), december(18)));

    // Not a code: refused as the code search refuses it, nothing asked or removed.
    s.f.prompts.clear();
    const QString before = w.reportText();
    Market::remove(w, QStringLiteral("1e3"), std::nullopt);
    QCOMPARE(s.f.prompts.messages().size(), std::size_t{1});
    QCOMPARE(s.f.prompts.messages()[0].icon, MessageIcon::Warning);
    QCOMPARE(s.f.prompts.messages()[0].buttons, MessageButtons::Ok);
    QVERIFY(QString::fromStdString(s.f.prompts.messages()[0].text())
                .startsWith(QStringLiteral("コードではありません：1e3")));
    QCOMPARE(w.reportText(), before);
    QCOMPARE(s.rows(), std::int64_t{57});

    // A database that is no price database: said, nothing removed.
    const std::filesystem::path other = s.dir / "other.mdb";
    {
      Database d(other, Database::Mode::Create);
      d.exec("create table t (x)");
    }
    s.db = other;
    s.open();
    Market::remove(w, QStringLiteral("7203"), std::nullopt);
    QCOMPARE(w.reportText(),
             QStringLiteral("履歴から削除できませんでした（not a price database）。何も削除していません。"));
  }
};

QTEST_MAIN(HistoryImportWindowTest)
#include "history_import_window_test.moc"
