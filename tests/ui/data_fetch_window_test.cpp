// The data window against the stand-in service on the loopback address: the
// stock list and the prices into the three databases, the log, the menu's
// dates, a cancel during a slow answer, refusals and a missing key.
#include <QAbstractButton>
#include <QCheckBox>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include "base/calendar.h"
#include "base/log.h"
#include "data/database.h"
#include "data/price_schema.h"
#include "data/watch_schema.h"
#include "datafetch/data_fetch.h"
#include "datafetch/service_key.h"
#include "test_support.h"
#include "ui/app/main_menu_window.h"
#include "ui/datafetch/data_fetch_window.h"
#include "ui/settings/settings_window.h"
#include "ui_test_support.h"
#include "watchlists/watch_list_store.h"

using namespace tavrin;
using test::UiFixture;

namespace {

// tests/data/jquants_standin.py: "PORT PID" on its first line, killed at the end.
struct StandIn {
  QProcess process;
  int port = 0;
  explicit StandIn(const QStringList& options = {}) {
    process.setProgram(QStringLiteral("/usr/bin/python3"));
    process.setArguments(QStringList{QStringLiteral(TAVRIN_TEST_DATA_DIR "/jquants_standin.py"),
                                     QStringLiteral("--port"), QStringLiteral("0")} +
                         options);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start();
    if (!process.waitForStarted(10000)) return;
    QElapsedTimer t;
    t.start();
    while (!process.canReadLine() && t.elapsed() < 10000) process.waitForReadyRead(200);
    port = QString::fromLatin1(process.readLine()).split(QLatin1Char(' ')).value(0).toInt();
  }
  ~StandIn() {
    process.kill();
    process.waitForFinished(5000);
  }
  void use() const { qputenv("TAVRIN_JQUANTS_URL", QStringLiteral("http://127.0.0.1:%1/v2").arg(port).toLatin1()); }
};

int dec(int d) { return *dayFromCivil(2024, 12, d); }
QDate decDate(int d) { return QDate(2024, 12, d); }

// Every text a window shows.
QString shownTexts(QWidget& w) {
  QStringList all{w.windowTitle()};
  for (QWidget* c : w.findChildren<QWidget*>()) {
    all << c->toolTip();
    if (auto* l = qobject_cast<QLabel*>(c)) all << l->text();
    if (auto* e = qobject_cast<QLineEdit*>(c)) all << e->text();
    if (auto* b = qobject_cast<QAbstractButton*>(c)) all << b->text();
    if (auto* p = qobject_cast<QPlainTextEdit*>(c)) all << p->toPlainText();
    if (auto* g = qobject_cast<QGroupBox*>(c)) all << g->title();
    if (auto* p = qobject_cast<QProgressBar*>(c)) all << p->text();
  }
  return all.join(QLatin1Char('\n'));
}

// A data root with the three empty price databases, opened in the main menu
// on 2024-12-27, a home of its own without a secret store, and the key of the
// stand-in in the environment.
struct Desk {
  test::TempDir dir;
  std::filesystem::path root = dir / "root";
  Paths paths{root};
  std::filesystem::path log = dir / "tavrin.log";
  std::unique_ptr<UiFixture> f;

  Desk() {
    std::filesystem::create_directories(root);
    createPriceDatabase(paths.dailyDb(), "day");
    createPriceDatabase(paths.weeklyDb(), "week");
    createPriceDatabase(paths.monthlyDb(), "month");
    std::filesystem::create_directories(dir / "home");
    qputenv("HOME", QByteArray::fromStdString((dir / "home").string()));
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((dir / "home" / ".config").string()));
    qputenv("DBUS_SESSION_BUS_ADDRESS", QByteArray::fromStdString("unix:path=" + (dir / "no-bus").string()));
    qputenv(datafetch::kKeyVariable, "test-key");
    setLogFile(log.string());
    f = std::make_unique<UiFixture>(root);
    f->ctx->now = [] {
      std::tm t{};
      t.tm_year = 124;
      t.tm_mon = 11;
      t.tm_mday = 27;
      return t;
    };
    f->ctx->state().priceDbPath = toUtf8(paths.dailyDb());
    auto& menu = f->ctx->mainMenu();
    menu.setPathBox(QString::fromStdString(toUtf8(paths.dailyDb())));
    menu.show();
    menu.activate();
  }
  ~Desk() {
    f->ctx->unloadAll();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    setLogFile({});
    qunsetenv(datafetch::kKeyVariable);
    qunsetenv("TAVRIN_JQUANTS_URL");
  }
  ui::DataFetchWindow& open() {
    f->ctx->mainMenu().button("dataFetchButton")->click();
    ui::DataFetchWindow& w = f->ctx->dataFetch();
    if (!QTest::qWaitFor([&] { return !w.checkingKey(); }, 20000)) qWarning("the key's place was not found in time");
    return w;
  }
  static bool finish(ui::DataFetchWindow& w, int ms = 60000) {
    return QTest::qWaitFor([&] { return !w.running(); }, ms);
  }
  static void range(ui::DataFetchWindow& w, std::optional<QDate> from, std::optional<QDate> to) {
    UiFixture::find<QCheckBox>(w, "dataFetchFromCheck")->setChecked(from.has_value());
    UiFixture::find<QCheckBox>(w, "dataFetchToCheck")->setChecked(to.has_value());
    if (from) UiFixture::find<QDateEdit>(w, "dataFetchFromEdit")->setDate(*from);
    if (to) UiFixture::find<QDateEdit>(w, "dataFetchToEdit")->setDate(*to);
  }
  std::int64_t listed(const std::filesystem::path& db, const char* where = "1 = 1") {
    Database d(db, Database::Mode::ReadOnly);
    return d.scalar(std::string("select count(*) from [list] where ") + where).integer();
  }
  std::string logFile() const { return test::readFileBytes(log); }
  std::vector<std::string> files() const {
    return {test::readFileBytes(paths.dailyDb()), test::readFileBytes(paths.weeklyDb()),
            test::readFileBytes(paths.monthlyDb())};
  }
};

#define VERIFY_IN_LOG(w, text) \
  QVERIFY2((w).logText().contains(text), qPrintable(QStringLiteral("no \"%1\" in:\n%2").arg(text, (w).logText())))

}  // namespace

class DataFetchWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { qunsetenv("TAVRIN_JQUANTS_URL"); }

  void theListThenThePricesFillTheLogAndMoveTheDates() {
    StandIn s;
    QVERIFY(s.port > 0);
    s.use();
    Desk d;
    ui::DataFetchWindow& w = d.open();
    QVERIFY(w.isVisible());
    auto* keyLabel = UiFixture::find<QLabel>(w, "dataFetchKeyLabel");
    QVERIFY2(keyLabel->text().contains(QStringLiteral("設定済み（環境変数 TAVRIN_JQUANTS_API_KEY）")),
             qPrintable(keyLabel->text()));
    auto* latest = UiFixture::find<QLabel>(w, "dataFetchLatestLabel");
    QVERIFY(latest->text().contains(QStringLiteral("なし")));

    // The stock list into the three files, the fund left out.
    UiFixture::click(w, "dataFetchListButton");
    QVERIFY(d.finish(w));
    VERIFY_IN_LOG(w, QStringLiteral("J-Quants の銘柄一覧: "));
    for (const char* file : {"kabuka.mdb", "Wkabuka.mdb", "Tkabuka.mdb"})
      VERIFY_IN_LOG(w, QStringLiteral("%1: 追加 5、").arg(QLatin1String(file)));
    QCOMPARE(d.listed(d.paths.dailyDb()), 5);
    QCOMPARE(d.listed(d.paths.monthlyDb(), "[コード] = 1306"), 0);

    // Four days chosen: a line each, the outcome, the watch lists' report.
    Desk::range(w, decDate(3), decDate(6));
    QSignalSpy finished(&w, &ui::DataFetchWindow::finished);
    UiFixture::click(w, "dataFetchPricesButton");
    QVERIFY(w.running());
    QVERIFY(!UiFixture::find<QAbstractButton>(w, "dataFetchPricesButton")->isEnabled());
    QVERIFY(!UiFixture::find<QAbstractButton>(w, "dataFetchCloseButton")->isEnabled());
    QVERIFY(d.finish(w));
    for (const QString& day : {QStringLiteral("2024-12-03（火）"), QStringLiteral("2024-12-04（水）"),
                               QStringLiteral("2024-12-05（木）"), QStringLiteral("2024-12-06（金）")})
      VERIFY_IN_LOG(w, day + QStringLiteral(": 5 銘柄（一覧にない 1）"));
    VERIFY_IN_LOG(w, QStringLiteral("2024-12-03（火） から 2024-12-06（金） まで: 4 日分を保存しました。"));
    VERIFY_IN_LOG(w, QStringLiteral("注目銘柄に 2024-12-06（金） のパターンが出た銘柄はありません。"));
    QCOMPARE(w.latestDay(), std::optional<int>(dec(6)));
    QVERIFY2(latest->text().contains(QStringLiteral("2024-12-06")), qPrintable(latest->text()));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(d.f->ctx->dateGridText(2), std::string("24/12/06"));  // the menu's dates follow
    auto* progress = UiFixture::find<QProgressBar>(w, "dataFetchProgress");
    QCOMPARE(progress->value(), progress->maximum());

    // Unchecked boxes: from the day after the latest held up to today, the split of 6758 with it.
    Desk::range(w, std::nullopt, std::nullopt);
    QCOMPARE(UiFixture::find<QDateEdit>(w, "dataFetchFromEdit")->date(), decDate(9));
    QCOMPARE(UiFixture::find<QDateEdit>(w, "dataFetchToEdit")->date(), decDate(27));
    prepareWatchListDatabase(d.paths.watchListDb());
    for (const char* code : {"7203", "6758", "130A"})
      addWatchStock(d.paths.watchListDb(), WatchList::Trend, {code, "銘柄", "東証プライム", "100", "24/12/06"});
    UiFixture::click(w, "dataFetchPricesButton");
    QVERIFY(d.finish(w));
    VERIFY_IN_LOG(w, QStringLiteral("2024-12-16（月）: 5 銘柄（一覧にない 1、分割 1）"));
    VERIFY_IN_LOG(w, QStringLiteral("2024-12-09（月） から 2024-12-27（金） まで: 15 日分を保存しました。"));
    QCOMPARE(w.latestDay(), std::optional<int>(dec(27)));
    QCOMPARE(d.f->ctx->dateGridText(2), std::string("24/12/27"));
    // The report the window shows is the one of the watch lists on the new latest day.
    const std::vector<std::string> report = datafetch::watchListReport(d.paths);
    for (const std::string& line : report) VERIFY_IN_LOG(w, QString::fromStdString(line));
    if (!report.empty()) VERIFY_IN_LOG(w, QStringLiteral("注目銘柄で 2024-12-27（金） にパターンが出た銘柄:"));

    // Nothing more to fetch.
    UiFixture::click(w, "dataFetchPricesButton");
    QVERIFY(d.finish(w));
    VERIFY_IN_LOG(w, QStringLiteral("取得する日はありません（保存している最新の日: 2024-12-27（金））。"));

    QVERIFY(d.f->prompts.shown().empty());
    QVERIFY(!shownTexts(w).contains(QStringLiteral("test-key")));
    QVERIFY(d.logFile().find("test-key") == std::string::npos);
  }

  void aClickOnCancelDuringASlowAnswerStopsTheFetch() {
    StandIn s({QStringLiteral("--delay"), QStringLiteral("0.4"), QStringLiteral("--page-size"), QStringLiteral("100")});
    QVERIFY(s.port > 0);
    s.use();
    Desk d;
    ui::DataFetchWindow& w = d.open();
    UiFixture::click(w, "dataFetchListButton");
    QVERIFY(d.finish(w));
    QCOMPARE(d.listed(d.paths.dailyDb()), 5);

    // Nineteen days of 0.4 s answers.
    Desk::range(w, decDate(3), decDate(27));
    UiFixture::click(w, "dataFetchPricesButton");
    auto* progress = UiFixture::find<QProgressBar>(w, "dataFetchProgress");
    QTRY_VERIFY_WITH_TIMEOUT(progress->maximum() == 19 && progress->value() >= 1, 10000);
    // The window answers at once meanwhile.
    bool answered = false;
    QElapsedTimer sinceAsked;
    sinceAsked.start();
    QTimer::singleShot(0, &w, [&] { answered = true; });
    QTRY_VERIFY_WITH_TIMEOUT(answered, 1000);
    QVERIFY2(sinceAsked.elapsed() < 500, qPrintable(QString::number(sinceAsked.elapsed())));
    QVERIFY(w.running());

    auto* cancel = UiFixture::find<QAbstractButton>(w, "dataFetchCancelButton");
    QVERIFY(cancel->isEnabled());
    QTest::mouseClick(cancel, Qt::LeftButton);
    QVERIFY(!cancel->isEnabled());
    QVERIFY(progress->text().contains(QStringLiteral("中止しています")));
    QElapsedTimer sinceCancel;
    sinceCancel.start();
    QVERIFY(d.finish(w, 5000));
    // The answer on its way, and no other request after it.
    QVERIFY2(sinceCancel.elapsed() < 1500, qPrintable(QString::number(sinceCancel.elapsed())));
    VERIFY_IN_LOG(w, QStringLiteral("中止しました。"));
    VERIFY_IN_LOG(w, QStringLiteral("は保存してあります。"));
    QVERIFY(w.latestDay() && *w.latestDay() >= dec(3) && *w.latestDay() < dec(20));
    QVERIFY(UiFixture::find<QAbstractButton>(w, "dataFetchPricesButton")->isEnabled());
    QVERIFY(d.f->prompts.shown().empty());
  }

  void aRefusedKeyOrPlanGivesItsLineAndChangesNothing() {
    StandIn s;
    QVERIFY(s.port > 0);
    s.use();
    Desk d;
    ui::DataFetchWindow& w = d.open();
    UiFixture::click(w, "dataFetchListButton");
    QVERIFY(d.finish(w));
    Desk::range(w, decDate(3), decDate(4));
    UiFixture::click(w, "dataFetchPricesButton");
    QVERIFY(d.finish(w));
    QCOMPARE(w.latestDay(), std::optional<int>(dec(4)));

    // A key the service does not know.
    qputenv(datafetch::kKeyVariable, "wrong-key-8642");
    const std::vector<std::string> before = d.files();
    Desk::range(w, std::nullopt, std::nullopt);
    QSignalSpy finished(&w, &ui::DataFetchWindow::finished);
    UiFixture::click(w, "dataFetchPricesButton");
    QVERIFY(d.finish(w));
    VERIFY_IN_LOG(w, QStringLiteral("J-Quants が APIキーかご契約のプランでこの要求を断りました（HTTP 401: The incoming "
                                    "token is invalid or expired.）。キーとプランを確かめてください。"));
    VERIFY_IN_LOG(w, QStringLiteral("株価は何も変えていません。"));
    QVERIFY(d.files() == before);
    QCOMPARE(w.latestDay(), std::optional<int>(dec(4)));
    QCOMPARE(finished.count(), 1);

    // A plan that does not cover the stock list.
    StandIn refusing({QStringLiteral("--refuse"), QStringLiteral("--key"), QStringLiteral("wrong-key-8642")});
    QVERIFY(refusing.port > 0);
    refusing.use();
    UiFixture::click(w, "dataFetchListButton");
    QVERIFY(d.finish(w));
    VERIFY_IN_LOG(w, QStringLiteral("（HTTP 403: This plan does not cover the request.）"));
    VERIFY_IN_LOG(w, QStringLiteral("銘柄リストは何も変えていません。"));
    QVERIFY(d.files() == before);

    // One line each, in the window alone: no dialog, and never the key.
    QVERIFY(d.f->prompts.shown().empty());
    QVERIFY(!shownTexts(w).contains(QStringLiteral("wrong-key-8642")));
    QVERIFY(d.logFile().find("wrong-key-8642") == std::string::npos);
    QVERIFY(d.logFile().find("test-key") == std::string::npos);
  }

  void withoutAKeyOrWithAForeignAddressNothingIsAsked() {
    test::TempDir logs;
    const std::string requests = (logs / "requests.log").string();
    StandIn s({QStringLiteral("--log"), QString::fromStdString(requests)});
    QVERIFY(s.port > 0);
    s.use();
    Desk d;
    qunsetenv(datafetch::kKeyVariable);
    ui::DataFetchWindow& w = d.open();
    auto* keyLabel = UiFixture::find<QLabel>(w, "dataFetchKeyLabel");
    QVERIFY2(keyLabel->text().contains(QStringLiteral("未設定")), qPrintable(keyLabel->text()));
    UiFixture::click(w, "dataFetchPricesButton");
    QVERIFY(d.finish(w));
    VERIFY_IN_LOG(w, QStringLiteral("J-Quants の APIキーが設定されていません。「設定…」で入力してください。"));

    // Plain http to another host is refused before anything is sent.
    qputenv(datafetch::kKeyVariable, "test-key");
    qputenv("TAVRIN_JQUANTS_URL", "http://jquants.invalid/v2");
    UiFixture::click(w, "dataFetchListButton");
    QVERIFY(d.finish(w));
    VERIFY_IN_LOG(w, QStringLiteral("データサービスのアドレスが使えません"));
    QVERIFY(!std::filesystem::exists(requests));
    QCOMPARE(d.listed(d.paths.dailyDb()), 0);
    QVERIFY(d.f->prompts.shown().empty());

    // A key saved in the settings window (opened from here) is seen here.
    qunsetenv(datafetch::kKeyVariable);
    UiFixture::click(w, "dataFetchSettingsButton");
    ui::SettingsWindow& settings = d.f->ctx->settings();
    QVERIFY(settings.isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!settings.running(), 20000);
    UiFixture::find<QLineEdit>(settings, "jquantsKeyEdit")->setText(QStringLiteral("test-key"));
    UiFixture::click(settings, "jquantsKeySaveButton");
    QTRY_VERIFY_WITH_TIMEOUT(!settings.running(), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(keyLabel->text().contains(QStringLiteral("設定済み（鍵ファイル")), 20000);
    s.use();
    UiFixture::click(w, "dataFetchListButton");
    QVERIFY(d.finish(w));
    QCOMPARE(d.listed(d.paths.dailyDb()), 5);  // fetched with the key from the file
    QVERIFY(!shownTexts(w).contains(QStringLiteral("test-key")));
    QVERIFY(!shownTexts(settings).contains(QStringLiteral("test-key")));
  }

  void removingTheStocksNoLongerListedIsAskedFirst() {
    StandIn s;
    QVERIFY(s.port > 0);
    s.use();
    Desk d;
    ui::DataFetchWindow& w = d.open();
    UiFixture::click(w, "dataFetchListButton");
    QVERIFY(d.finish(w));
    for (const auto& db : {d.paths.dailyDb(), d.paths.weeklyDb()}) {
      Database file(db);
      file.execute(
          "insert into [list] ([銘柄], [コード], [市場], [単位]) values ('上場廃止', 9999, '東証プライム', 100)");
    }
    UiFixture::find<QCheckBox>(w, "dataFetchRemoveMissingCheck")->setChecked(true);

    // "Cancel": nothing written.
    d.f->prompts.queueMessageAnswer(MessageAnswer::Cancel);
    UiFixture::click(w, "dataFetchListButton");
    QVERIFY(d.finish(w));
    QCOMPARE(d.f->prompts.shown().size(), std::size_t{1});
    QVERIFY2(QString::fromStdString(d.f->prompts.shown()[0].text)
                 .contains(QStringLiteral("一覧にない銘柄 1 銘柄を削除します")),
             d.f->prompts.shown()[0].text.c_str());
    VERIFY_IN_LOG(w, QStringLiteral("取りやめました。銘柄リストは何も変えていません。"));
    QCOMPARE(d.listed(d.paths.dailyDb(), "[コード] = 9999"), 1);

    // "OK": removed from both files that held it.
    d.f->prompts.queueMessageAnswer(MessageAnswer::Ok);
    UiFixture::click(w, "dataFetchListButton");
    QVERIFY(d.finish(w));
    QCOMPARE(d.f->prompts.shown().size(), std::size_t{2});
    VERIFY_IN_LOG(w, QStringLiteral("（削除しました）"));
    QCOMPARE(d.listed(d.paths.dailyDb(), "[コード] = 9999"), 0);
    QCOMPARE(d.listed(d.paths.weeklyDb(), "[コード] = 9999"), 0);
    QCOMPARE(d.listed(d.paths.dailyDb()), 5);

    // Nothing to remove: no question.
    UiFixture::click(w, "dataFetchListButton");
    QVERIFY(d.finish(w));
    QCOMPARE(d.f->prompts.shown().size(), std::size_t{2});
  }

  void anOlderListThanTheOneAppliedLastIsAskedFirst() {
    StandIn s;
    QVERIFY(s.port > 0);
    s.use();
    Desk d;
    // A file of January 2025 applied before: the service's list of 2024-12-27 is older.
    for (const auto& t : standardStockListTargets(d.paths)) {
      Database db(t.path);
      writeAppliedStockList(db, "main", {*dayFromCivil(2025, 1, 31), "data_j.xls"});
    }
    ui::DataFetchWindow& w = d.open();
    d.f->prompts.queueMessageAnswer(MessageAnswer::Cancel);
    UiFixture::click(w, "dataFetchListButton");
    QVERIFY(d.finish(w));
    QCOMPARE(d.f->prompts.shown().size(), std::size_t{1});
    QCOMPARE(
        QString::fromStdString(d.f->prompts.shown()[0].text).split('\n').front(),
        QStringLiteral("この一覧（2024-12-27）は、前回の更新に使った一覧（2025-01-31、data_j.xls）より古いものです。"));
    VERIFY_IN_LOG(w, QStringLiteral("取りやめました。銘柄リストは何も変えていません。"));
    QCOMPARE(d.listed(d.paths.dailyDb()), 0);

    d.f->prompts.queueMessageAnswer(MessageAnswer::Ok);
    UiFixture::click(w, "dataFetchListButton");
    QVERIFY(d.finish(w));
    QCOMPARE(d.f->prompts.shown().size(), std::size_t{2});
    QCOMPARE(d.listed(d.paths.dailyDb()), 5);
    Database db(d.paths.weeklyDb(), Database::Mode::ReadOnly);
    QCOMPARE(readAppliedStockList(db)->day, *dayFromCivil(2024, 12, 27));
    QCOMPARE(readAppliedStockList(db)->source, std::string("J-Quants"));
  }
};

QTEST_MAIN(DataFetchWindowTest)
#include "data_fetch_window_test.moc"
