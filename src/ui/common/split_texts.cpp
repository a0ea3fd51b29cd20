#include "ui/common/split_texts.h"

#include <QStringList>

#include "base/calendar.h"
#include "base/files.h"
#include "base/text.h"
#include "ui/common/message_text.h"

namespace tavrin::ui {

namespace {

QString q(const std::string& s) { return messageText(s); }
QString day(int d) { return q(isoDate(d)); }
QString fileName(const std::filesystem::path& p) { return q(toUtf8(p.filename())); }
QString codeOf(const Split& s) { return q(s.code.display()); }

// "kabuka.mdb 7、Wkabuka.mdb 0、Tkabuka.mdb 1"
QString perFile(const SplitOutcome& o) {
  QStringList parts;
  for (const SplitDatabaseReport& r : o.reports)
    parts << QStringLiteral("%1 %2").arg(fileName(r.database), q(groupedCount(static_cast<std::int64_t>(r.positions))));
  return parts.join(QStringLiteral("、"));
}

QString failureText(const SplitOutcome& o) {
  switch (o.failure) {
    case SplitFailure::NoTargets: return QStringLiteral("株価データベースがありません。");
    case SplitFailure::NotInList:
      return QStringLiteral("%1 はどの株価データベースの銘柄一覧にもありません。何も変えていません。")
          .arg(codeOf(o.split));
    case SplitFailure::SameRatio: return QStringLiteral("比率が 1:1 では株価は変わりません。何も変えていません。");
    case SplitFailure::NoSuchSplit:
      return QStringLiteral("%1 の %2 には分割が登録されていません。").arg(codeOf(o.split), day(o.split.day));
    case SplitFailure::Database:
      return QStringLiteral("%1 に書き込めませんでした（%2）。どのファイルも変えていません。")
          .arg(fileName(o.failedDatabase), q(printableText(o.detail)));
    case SplitFailure::None: break;
  }
  return {};
}

}  // namespace

QString splitSourceText(SplitSource source) {
  switch (source) {
    case SplitSource::Check: return QStringLiteral("値動きの確認");
    case SplitSource::Service: return QStringLiteral("データサービス");
    case SplitSource::Entered: break;
  }
  return QStringLiteral("手入力");
}

QString splitAddedText(const SplitOutcome& o) {
  if (!o.done()) return failureText(o);
  QString text = QStringLiteral("%1 の %2 からの分割 %3 を登録しました")
                     .arg(codeOf(o.split), day(o.split.day), q(splitRatioText(o.split.ratio)));
  if (o.replaced) text += QStringLiteral("（それまでの比率 %1 を置き換えました）").arg(q(splitRatioText(*o.replaced)));
  return text + QStringLiteral("。権利落ち日より前の登録株価を書き換えた数: %1").arg(perFile(o));
}

QString splitRemovedText(const SplitOutcome& o) {
  if (!o.done()) return failureText(o);
  return QStringLiteral("%1 の %2 の分割 %3 を削除し、登録株価を元に戻しました: %4")
      .arg(codeOf(o.split), day(o.split.day), q(splitRatioText(o.split.ratio)), perFile(o));
}

QString splitRemovalQuestion(const std::string& codeKey, int exDay, const SplitRatio& ratio) {
  return QStringLiteral("%1 の %2 の分割 %3 を削除します。よろしいですか？")
      .arg(q(codeKey), day(exDay), q(splitRatioText(ratio)));
}

QString splitRatioHelp() {
  return QStringLiteral(
      "比率は "
      "1:5（1株を5株に分割）、10:1（10株を1株に併合）、または1株あたりの分割後の株数（5、0.1）で入力してください。");
}

}  // namespace tavrin::ui
