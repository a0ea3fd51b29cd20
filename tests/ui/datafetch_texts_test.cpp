// The data service's texts: one line of its own for every failure, the
// service's message kept printable and short, the days with their weekday,
// the places of the key (never the key), and a fetch stopped part way.
#include <QSet>
#include <QtTest>

#include "base/calendar.h"
#include "ui/common/datafetch_texts.h"

using namespace tavrin;
using datafetch::ServiceFailure;

namespace {

datafetch::ServiceOutcome failed(ServiceFailure kind, const std::string& detail = {}) {
  datafetch::ServiceOutcome o;
  o.fail(kind, detail);
  return o;
}

int dec(int d) { return *dayFromCivil(2024, 12, d); }

}  // namespace

class DataFetchTextsTest : public QObject {
  Q_OBJECT
 private slots:
  void everyFailureOfTheServiceHasALineOfItsOwn() {
    const ServiceFailure kinds[] = {ServiceFailure::NoKey,       ServiceFailure::BadAddress, ServiceFailure::Refused,
                                    ServiceFailure::RateLimited, ServiceFailure::Network,    ServiceFailure::Timeout,
                                    ServiceFailure::BadAnswer,   ServiceFailure::TooLarge,   ServiceFailure::Cancelled};
    QSet<QString> lines;
    for (ServiceFailure k : kinds) {
      const QString line = ui::serviceFailureText(failed(k, "d"));
      QVERIFY2(!line.isEmpty() && !line.contains(QLatin1Char('\n')), qPrintable(line));
      lines.insert(line);
    }
    QCOMPARE(lines.size(), static_cast<qsizetype>(std::size(kinds)));
    QVERIFY(ui::serviceFailureText(datafetch::ServiceOutcome{}).isEmpty());

    // A refusal carries the service's own words, made printable and cut short.
    QCOMPARE(ui::serviceFailureText(failed(ServiceFailure::Refused, "HTTP 403: This plan does not cover the request.")),
             QStringLiteral("J-Quants が APIキーかご契約のプランでこの要求を断りました（HTTP 403: This plan does not "
                            "cover the request.）。キーとプランを確かめてください。"));
    const QString odd =
        ui::serviceFailureText(failed(ServiceFailure::Refused, "bad\nline\x1b[31m" + std::string(500, 'x')));
    QVERIFY(!odd.contains(QLatin1Char('\n')) && !odd.contains(QChar(0x1b)));
    QVERIFY2(odd.size() < 320, qPrintable(odd));
    QVERIFY(odd.contains(QStringLiteral("…")));
    std::string japanese;
    for (int i = 0; i < 150; ++i) japanese += "拒否";
    QVERIFY(!ui::serviceFailureText(failed(ServiceFailure::Network, japanese))
                 .contains(QChar(0xFFFD)));  // cut between characters
  }

  void aFetchOfThePricesSaysWhatItWroteOrWhereItStopped() {
    datafetch::FetchPricesOutcome done;
    done.from = dec(9);
    done.to = dec(13);
    done.days = {{dec(9), 5, 0, 1, 0}, {dec(10), 4, 1, 1, 0}, {dec(13), 5, 0, 1, 1}};
    done.holidays = 2;
    done.positionsDay = dec(13);
    done.weekDay = dec(13);
    QCOMPARE(
        ui::fetchPricesOutcomeText(done),
        QStringList(
            {QStringLiteral("2024-12-09（月） から 2024-12-13（金） まで: 3 日分を保存しました（取引のない日 2 日）。"),
             QStringLiteral("日足の登録株価と日付を 2024-12-13（金） までにしました。"),
             QStringLiteral("週足の登録株価を 2024-12-13（金） の週までにしました。")}));
    QCOMPARE(ui::fetchDayText(done.days[1]), QStringLiteral("2024-12-10（火）: 4 銘柄（取引なし 1、一覧にない 1）"));
    QCOMPARE(ui::fetchDayText({dec(14), 4400, 0, 0, 0}), QStringLiteral("2024-12-14（土）: 4,400 銘柄"));

    // Stopped by the service after two days: its line, then that they stay.
    datafetch::FetchPricesOutcome stopped;
    stopped.days = {{dec(9), 5, 0, 0, 0}, {dec(10), 5, 0, 0, 0}};
    stopped.service = failed(ServiceFailure::RateLimited);
    stopped.fail(datafetch::FetchFailure::Service, "2024-12-11: 429");
    const QStringList lines = ui::fetchPricesOutcomeText(stopped);
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0], ui::serviceFailureText(stopped.service));
    QCOMPARE(lines[1], QStringLiteral("それまでの 2 日分（2024-12-10（火） まで）は保存してあります。"));
    // Refused at once: nothing changed. No day database: no word of prices changed either.
    stopped.days.clear();
    QCOMPARE(ui::fetchPricesOutcomeText(stopped).back(), QStringLiteral("株価は何も変えていません。"));
    datafetch::FetchPricesOutcome none;
    none.fail(datafetch::FetchFailure::NoDatabase, "no daily database");
    QCOMPARE(ui::fetchPricesOutcomeText(none).size(), 1);

    datafetch::FetchPricesOutcome upToDate;
    upToDate.upToDate = true;
    QCOMPARE(ui::fetchPricesOutcomeText(upToDate, dec(27)).join(QString()),
             QStringLiteral("取得する日はありません（保存している最新の日: 2024-12-27（金））。"));
  }

  void theKeysPlacesAreNamedWithTheHomeFolderShort() {
    qputenv("HOME", "/home/hanako");
    const std::filesystem::path file = "/home/hanako/.config/tavrin/jquants-key";
    QCOMPARE(ui::homeRelativePath(file), QStringLiteral("~/.config/tavrin/jquants-key"));
    QCOMPARE(ui::homeRelativePath("/home/hanakoX/k"), QStringLiteral("/home/hanakoX/k"));  // not below the home
    ui::KeyPlaces none;
    QVERIFY(ui::keyStatusText(none, file).contains(QStringLiteral("設定されていません")));
    QVERIFY(ui::keyShortText(none, file).contains(QStringLiteral("未設定")));
    ui::KeyPlaces store;
    store.store = true;
    QVERIFY(ui::keyStatusText(store, file).contains(QStringLiteral("デスクトップの鍵の保管庫")));
    ui::KeyPlaces both;
    both.environment = both.file = true;
    const QString status = ui::keyStatusText(both, file);
    QVERIFY2(
        status.contains(QStringLiteral("環境変数 TAVRIN_JQUANTS_API_KEY")) &&
            status.contains(QStringLiteral("鍵ファイル ~/.config/tavrin/jquants-key に保存したキーより優先します")),
        qPrintable(status));
    QCOMPARE(ui::keySavedText(true, true, {}, file),
             QStringLiteral("鍵の保管庫が使えないため 鍵ファイル ~/.config/tavrin/jquants-key "
                            "に保存しました（ほかのユーザーには読めません）。"));
    QVERIFY(ui::keySavedText(false, false, "cannot write /x: Permission denied", file)
                .contains(QStringLiteral("Permission denied")));
  }

  void theLatestDayAndTheWatchListsReport() {
    QCOMPARE(ui::latestHeldText(dec(27)), QStringLiteral("保存している最新の日: 2024-12-27（金）"));
    QVERIFY(ui::latestHeldText(std::nullopt).contains(QStringLiteral("なし")));
    QCOMPARE(ui::watchListReportText({"7203 トヨタ自動車: B1 横這から上昇"}, dec(27)),
             QStringList({QStringLiteral("注目銘柄で 2024-12-27（金） にパターンが出た銘柄:"),
                          QStringLiteral("  7203 トヨタ自動車: B1 横這から上昇")}));
    QCOMPARE(ui::watchListReportText({}, dec(27)).size(), 1);
    QCOMPARE(ui::removeMissingQuestion(1234).front(), std::string("一覧にない銘柄 1,234 銘柄を削除します。"));
  }
};

QTEST_MAIN(DataFetchTextsTest)
#include "datafetch_texts_test.moc"
