#include "ui/common/datafetch_texts.h"

#include <QDate>
#include <QDir>
#include <cstdlib>

#include "base/calendar.h"
#include "base/files.h"
#include "base/text.h"
#include "datafetch/service_key.h"
#include "ui/common/import_texts.h"
#include "ui/common/message_text.h"

namespace tavrin::ui {

namespace {

QString q(const std::string& s) { return messageText(s); }
QString count(std::size_t n) { return q(groupedCount(static_cast<std::int64_t>(n))); }
QString service() { return QString::fromLatin1(kServiceName); }

// The service's own words, kept short and printable.
QString detailOf(const std::string& detail) {
  QString d = q(printableText(detail));
  if (d.size() > 200) d = d.left(200) + QStringLiteral("…");
  return d;
}

QString withDetail(const QString& line, const std::string& detail) {
  if (detail.empty()) return line;
  return line + QStringLiteral("（") + detailOf(detail) + QStringLiteral("）");
}

QString placeOf(const KeyPlaces& p, const std::filesystem::path& keyFile) {
  if (p.environment) return keyVariableText();
  if (p.store) return keyStoreText();
  if (p.file) return keyFileText(keyFile);
  return {};
}

}  // namespace

QString homeRelativePath(const std::filesystem::path& path) {
  const QString text = q(toUtf8(path));
  const char* home = std::getenv("HOME");
  if (!home || !*home) return text;
  QString h = QDir::cleanPath(QString::fromLocal8Bit(home));
  if (h == QStringLiteral("/")) return text;
  if (text == h) return QStringLiteral("~");
  if (text.startsWith(h + QLatin1Char('/'))) return QStringLiteral("~") + text.mid(h.size());
  return text;
}

QString keyStoreText() { return QStringLiteral("デスクトップの鍵の保管庫"); }
QString keyFileText(const std::filesystem::path& keyFile) {
  return QStringLiteral("鍵ファイル ") + homeRelativePath(keyFile);
}
QString keyVariableText() { return QStringLiteral("環境変数 ") + QString::fromLatin1(datafetch::kKeyVariable); }

QString keyStatusText(const KeyPlaces& p, const std::filesystem::path& keyFile) {
  if (!p.any()) return QStringLiteral("%1 の APIキーは設定されていません。").arg(service());
  if (p.environment) {
    QString text = QStringLiteral("%1 の APIキーは %2 で設定されています。").arg(service(), keyVariableText());
    if (p.store || p.file)
      text += QStringLiteral("%1 に保存したキーより優先します。").arg(p.store ? keyStoreText() : keyFileText(keyFile));
    return text;
  }
  return QStringLiteral("%1 の APIキーは %2 に保存されています。").arg(service(), placeOf(p, keyFile));
}

QString keyShortText(const KeyPlaces& p, const std::filesystem::path& keyFile) {
  if (!p.any()) return QStringLiteral("APIキー: 未設定（「設定…」で入力してください）");
  return QStringLiteral("APIキー: 設定済み（%1）").arg(placeOf(p, keyFile));
}

QString keySavedText(bool ok, bool toFile, const std::string& why, const std::filesystem::path& keyFile) {
  if (!ok) return withDetail(QStringLiteral("APIキーを保存できませんでした"), why) + QStringLiteral("。");
  if (toFile)
    return QStringLiteral("鍵の保管庫が使えないため %1 に保存しました（ほかのユーザーには読めません）。")
        .arg(keyFileText(keyFile));
  return QStringLiteral("APIキーを %1 に保存しました。").arg(keyStoreText());
}

QString keyRejectedText() {
  return QStringLiteral("APIキーが空か、使えない文字（空白や全角文字など）を含んでいます。保存していません。");
}

QString keyForgottenText(bool ok, bool environmentStillSet) {
  if (!ok) return QStringLiteral("保存した APIキーを削除できませんでした。");
  QString text = QStringLiteral("保存した APIキーを削除しました。");
  if (environmentStillSet) text += QStringLiteral("%1 のキーは引き続き使われます。").arg(keyVariableText());
  return text;
}

QString serviceFailureText(const datafetch::ServiceOutcome& o) {
  using datafetch::ServiceFailure;
  switch (o.failure) {
    case ServiceFailure::None: return {};
    case ServiceFailure::NoKey:
      return QStringLiteral("%1 の APIキーが設定されていません。「設定…」で入力してください。").arg(service());
    case ServiceFailure::BadAddress:
      return withDetail(QStringLiteral("データサービスのアドレスが使えません（https でないアドレスには接続しません）"),
                        o.detail) +
             QStringLiteral("。");
    case ServiceFailure::Refused:
      return withDetail(QStringLiteral("%1 が APIキーかご契約のプランでこの要求を断りました").arg(service()),
                        o.detail) +
             QStringLiteral("。キーとプランを確かめてください。");
    case ServiceFailure::RateLimited:
      return QStringLiteral("%1 の利用回数の上限に達しました。しばらく待ってからもう一度取得してください。")
          .arg(service());
    case ServiceFailure::Network:
      return withDetail(QStringLiteral("%1 に接続できませんでした（ネットワークか、サービス側の障害）").arg(service()),
                        o.detail) +
             QStringLiteral("。");
    case ServiceFailure::Timeout:
      return QStringLiteral("%1 から決められた時間内に応答がありませんでした。").arg(service());
    case ServiceFailure::BadAnswer:
      return QStringLiteral("%1 の応答が想定した形式ではありませんでした。").arg(service());
    case ServiceFailure::TooLarge: return QStringLiteral("%1 の応答が大きすぎるため読みませんでした。").arg(service());
    case ServiceFailure::Cancelled: return QStringLiteral("中止しました。");
  }
  return {};
}

QString dayText(int day) {
  int y = 0, m = 0, d = 0;
  civilFromDay(day, y, m, d);
  static const char* const kWeekdays[] = {"月", "火", "水", "木", "金", "土", "日"};
  const int wd = QDate(y, m, d).dayOfWeek();
  QString text = q(isoDate(day));
  if (wd >= 1 && wd <= 7) text += QStringLiteral("（%1）").arg(QString::fromUtf8(kWeekdays[wd - 1]));
  return text;
}

QString fetchDayText(const datafetch::FetchDayReport& r) {
  QStringList notes;
  if (r.noTrade) notes << QStringLiteral("取引なし %1").arg(count(r.noTrade));
  if (r.unknown) notes << QStringLiteral("一覧にない %1").arg(count(r.unknown));
  if (r.splits) notes << QStringLiteral("分割 %1").arg(count(r.splits));
  QString text = QStringLiteral("%1: %2 銘柄").arg(dayText(r.day), count(r.stocks));
  if (!notes.isEmpty()) text += QStringLiteral("（") + notes.join(QStringLiteral("、")) + QStringLiteral("）");
  return text;
}

QString fetchProgressText(const datafetch::FetchProgress& p) {
  return QStringLiteral("%1 を取得しています（%2 / %3 日）").arg(dayText(p.day), count(p.done), count(p.total));
}

QStringList fetchPricesOutcomeText(const datafetch::FetchPricesOutcome& o, std::optional<int> latestHeld) {
  using datafetch::FetchFailure;
  QStringList lines;
  if (!o.done()) {
    switch (o.failure) {
      case FetchFailure::Service: lines << serviceFailureText(o.service); break;
      case FetchFailure::NoDatabase:
        lines << QStringLiteral("日足の株価データベース（kabuka.mdb）がありません。何も取得していません。");
        break;
      case FetchFailure::Database:
        lines << withDetail(QStringLiteral("株価データベースに書き込めませんでした"), o.detail) + QStringLiteral("。");
        break;
      case FetchFailure::None: break;
    }
    if (!o.days.empty())
      lines << QStringLiteral("それまでの %1 日分（%2 まで）は保存してあります。")
                   .arg(count(o.days.size()), dayText(o.days.back().day));
    else if (o.failure != FetchFailure::NoDatabase)
      lines << QStringLiteral("株価は何も変えていません。");
    return lines;
  }
  if (o.upToDate) {
    lines << (latestHeld
                  ? QStringLiteral("取得する日はありません（保存している最新の日: %1）。").arg(dayText(*latestHeld))
                  : QStringLiteral("取得する日はありません。"));
    return lines;
  }
  QString head = QStringLiteral("%1 から %2 まで: %3 日分を保存しました")
                     .arg(dayText(o.from), dayText(o.to), count(o.days.size()));
  if (o.holidays) head += QStringLiteral("（取引のない日 %1 日）").arg(count(o.holidays));
  lines << head + QStringLiteral("。");
  if (o.positionsDay)
    lines << QStringLiteral("日足の登録株価と日付を %1 までにしました。").arg(dayText(*o.positionsDay));
  if (o.weekDay) lines << QStringLiteral("週足の登録株価を %1 の週までにしました。").arg(dayText(*o.weekDay));
  if (o.monthDay) lines << QStringLiteral("月足の登録株価を %1 の月までにしました。").arg(dayText(*o.monthDay));
  return lines;
}

QStringList watchListReportText(const std::vector<std::string>& report, std::optional<int> latestDay) {
  QStringList lines;
  const QString day = latestDay ? dayText(*latestDay) : QStringLiteral("最新の日");
  if (report.empty()) {
    lines << QStringLiteral("注目銘柄に %1 のパターンが出た銘柄はありません。").arg(day);
    return lines;
  }
  lines << QStringLiteral("注目銘柄で %1 にパターンが出た銘柄:").arg(day);
  for (const std::string& line : report) lines << QStringLiteral("  ") + q(line);
  return lines;
}

QStringList fetchListOutcomeText(const datafetch::FetchListOutcome& o, bool dryRun) {
  QStringList lines;
  if (!o.service.done()) {
    lines << serviceFailureText(o.service) << QStringLiteral("銘柄リストは何も変えていません。");
    return lines;
  }
  if (!o.issues.done()) {
    lines << withDetail(QStringLiteral("%1 の銘柄一覧を読み取れませんでした").arg(service()), o.issues.detail) +
                 QStringLiteral("。銘柄リストは何も変えていません。");
    return lines;
  }
  lines << QStringLiteral("%1 の銘柄一覧: ").arg(service()) + listedIssuesText(o.issues);
  if (!o.lists.done()) {
    lines << stockListAppliedText(o.issues, o.lists).split(QLatin1Char('\n')).front();
    return lines;
  }
  for (const StockListReport& r : o.lists.reports) lines << stockListReportText(r, dryRun, false);
  return lines;
}

std::vector<std::string> removeMissingQuestion(std::size_t stocks) {
  return {"一覧にない銘柄 " + groupedCount(static_cast<std::int64_t>(stocks)) + " 銘柄を削除します。",
          "削除した銘柄の株価も消えます。よろしいですか？"};
}

QString latestHeldText(std::optional<int> day) {
  if (!day) return QStringLiteral("保存している最新の日: なし（まだ株価の履歴がありません）");
  return QStringLiteral("保存している最新の日: %1").arg(dayText(*day));
}

}  // namespace tavrin::ui
