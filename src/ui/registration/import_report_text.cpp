#include "ui/registration/import_report_text.h"

#include "history/price_history.h"
#include "registration/import_report.h"

namespace tavrin::ui {

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }
QString count(std::size_t n) { return q(groupedCount(n)); }

// Why a run wrote nothing, in the report's words.
QString failureReason(const ImportOutcome& o) {
  const QString file = q(o.failedWorkbook);
  switch (o.failure) {
    case ImportOutcome::Failure::None: return {};
    case ImportOutcome::Failure::Workbook: return QStringLiteral("ファイルが開けません：%1").arg(file);
    case ImportOutcome::Failure::Sheet:
      return QStringLiteral("シート %1 がありません（%2）").arg(q(o.failedSheet), file);
    case ImportOutcome::Failure::Damaged:
      return QStringLiteral("%1 を読めませんでした（壊れている可能性があります）。").arg(file);
    case ImportOutcome::Failure::Database: return QStringLiteral("データベースに書き込めませんでした。");
    case ImportOutcome::Failure::NoPrices: {
      QString why = QStringLiteral("%1 から株価を一つも読み取れませんでした。").arg(file);
      if (!o.periods.empty()) {
        const PeriodReport& p = o.periods.back();
        if (p.formulasWithoutValue > 0)
          why += QStringLiteral(
                     "株価が値の保存されていない数式です（%1 セル）。表計算ソフトで開いて保存し直すか、"
                     "値として貼り付けてください。")
                     .arg(count(p.formulasWithoutValue));
        else if (p.notNumbers > 0)
          why += QStringLiteral("株価の欄が数値ではありません（%1 セル）。").arg(count(p.notNumbers));
      }
      return why;
    }
    case ImportOutcome::Failure::OtherDay:
      return QStringLiteral("このファイルは %1 の株価です（%2）。日付かファイル名を確かめてください。")
          .arg(slashDate(o.otherDay), file);
    case ImportOutcome::Failure::BadDate: return dateProblemText(o);
  }
  return {};
}

}  // namespace

QString slashDate(int dayNumber) {
  int y = 0, m = 0, d = 0;
  civilFromDay(dayNumber, y, m, d);
  return QStringLiteral("%1/%2/%3")
      .arg(y, 4, 10, QLatin1Char('0'))
      .arg(m, 2, 10, QLatin1Char('0'))
      .arg(d, 2, 10, QLatin1Char('0'));
}

QString dateProblemText(const ImportOutcome& o) {
  const DateProblem& p = o.dateProblem;
  if (p.samePosition)
    return QStringLiteral("日付が重なっています：%1 行目と %2 行目が同じ %3")
        .arg(p.samePosition)
        .arg(p.position)
        .arg(q(p.date));
  return QStringLiteral("日付が正しくありません：%1 行目 %2")
      .arg(p.position)
      .arg(p.date.empty() ? QStringLiteral("（空）") : q(p.date));
}

QStringList importReportText(const ImportOutcome& o) {
  QStringList lines;
  if (!o.done()) {
    lines << QStringLiteral("何も書き込んでいません。") << failureReason(o) << QString();
  }
  for (const PeriodReport& p : o.periods) {
    QString head = QStringLiteral("%1 行目　%2　%3").arg(p.position).arg(q(p.date), q(p.file));
    if (!p.sheet.empty()) head += QStringLiteral("（シート %1）").arg(q(p.sheet));
    lines << head;
    lines << QStringLiteral("　読み込んだ株価：%1 件").arg(count(p.pricesRead));
    if (o.done()) {
      lines << QStringLiteral("　ファイルに株価のない銘柄：%1 件").arg(count(p.listWithoutPrice));
      QString unknown = QStringLiteral("　銘柄リストにないコード：%1 件").arg(count(p.unknownCodes));
      if (p.unknownCodes > 0) {
        QStringList codes;
        for (const std::string& c : p.unknownSample) codes << q(c);
        if (p.unknownCodes > p.unknownSample.size()) codes << QStringLiteral("…");
        unknown += QStringLiteral("（%1）").arg(codes.join(QStringLiteral("、")));
      }
      lines << unknown;
      if (p.unknownCodes > 0)
        lines << QStringLiteral("　　→ 新しい銘柄はメニューの「銘柄リストの更新」で銘柄リストに加えると読み込めます");
    }
    if (p.notNumbers > 0) lines << QStringLiteral("　数値でない株価のセル：%1 個").arg(count(p.notNumbers));
    if (p.formulasWithoutValue > 0)
      lines << QStringLiteral("　値の保存されていない数式セル：%1 個").arg(count(p.formulasWithoutValue));
  }
  if (o.done())
    lines << QString()
          << QStringLiteral("%1 銘柄を書き込みました（株価の変わった銘柄 %2）")
                 .arg(count(o.stocks), count(o.rowsChanged));
  return lines;
}

}  // namespace tavrin::ui
