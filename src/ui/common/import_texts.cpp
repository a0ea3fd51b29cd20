#include "ui/common/import_texts.h"

#include <QSet>
#include <algorithm>

#include "base/calendar.h"
#include "base/text.h"
#include "data/price_bars.h"
#include "history/history_checks.h"
#include "history/price_history.h"
#include "ui/common/message_text.h"

namespace tavrin::ui {

namespace {

QString q(const std::string& s) { return messageText(s); }
QString count(std::size_t n) { return q(groupedCount(static_cast<std::int64_t>(n))); }

// Why a run wrote nothing, in the report's words.
QString failureReason(const ImportOutcome& o) {
  const QString file = q(o.failedWorkbook);
  switch (o.failure) {
    case ImportFailure::None: return {};
    case ImportFailure::Workbook: return QStringLiteral("ファイルが開けません：%1").arg(file);
    case ImportFailure::Sheet: return QStringLiteral("シート %1 がありません（%2）").arg(q(o.failedSheet), file);
    case ImportFailure::Damaged:
      if (o.detail.empty()) return QStringLiteral("%1 を読めませんでした（壊れている可能性があります）。").arg(file);
      return QStringLiteral("%1 を読めませんでした（壊れている可能性があります: %2）。").arg(file, q(o.detail));
    case ImportFailure::Database: return QStringLiteral("データベースに書き込めませんでした。");
    case ImportFailure::NoPrices: {
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
    case ImportFailure::OtherDay:
      return QStringLiteral("このファイルは %1 の株価です（%2）。日付かファイル名を確かめてください。")
          .arg(slashDate(o.otherDay), file);
    case ImportFailure::BadDate: return dateProblemText(o);
  }
  return {};
}

}  // namespace

QString slashDate(int dayNumber) { return QString::fromStdString(tavrin::slashDate(dayNumber)); }

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

QString importStatusText(const ImportOutcome& o) {
  switch (o.failure) {
    case ImportFailure::Workbook: return QStringLiteral("ファイルが開けません：%1").arg(q(o.failedWorkbook));
    case ImportFailure::Sheet:
      return QStringLiteral("シートが開けません：%1（%2）").arg(q(o.failedSheet), q(o.failedWorkbook));
    case ImportFailure::Damaged:
      return QStringLiteral("ワークブックを読めませんでした（壊れている可能性があります）: %1")
          .arg(q(o.failedWorkbook));
    case ImportFailure::Database: return QStringLiteral("データベースに書き込めません");
    case ImportFailure::NoPrices: return QStringLiteral("株価を読み取れませんでした：%1").arg(q(o.failedWorkbook));
    case ImportFailure::OtherDay:
      return QStringLiteral("このファイルは %1 の株価です：%2").arg(slashDate(o.otherDay), q(o.failedWorkbook));
    case ImportFailure::BadDate: return dateProblemText(o);
    case ImportFailure::None: break;
  }
  return {};
}

QString insertStatusText(const InsertOutcome& o) {
  switch (o.failure) {
    case InsertFailure::Database: return QStringLiteral("データベースに書き込めません");
    case InsertFailure::None: break;
  }
  return {};
}

// History import.

namespace {

QString codesText(const std::set<std::string>& codes, std::size_t max) {
  QStringList out;
  for (const std::string& c : codes) {
    if (static_cast<std::size_t>(out.size()) == max) {
      out << QStringLiteral("…");
      break;
    }
    out << q(c);
  }
  return out.join(QStringLiteral(", "));
}

// A history file that was not taken, by the kind of its failure.
QString skippedFileText(const HistoryFileReport& r) {
  const QString name = q(toUtf8(r.file));
  switch (r.failure) {
    case HistoryFileFailure::Folder: return QStringLiteral("%1: フォルダーのため飛ばしました").arg(name);
    case HistoryFileFailure::Missing: return QStringLiteral("%1: ファイルが見つからないため飛ばしました").arg(name);
    case HistoryFileFailure::Empty: return QStringLiteral("%1: 空のファイルのため飛ばしました").arg(name);
    case HistoryFileFailure::OtherKind:
      return QStringLiteral(
                 "%1: 株価の履歴ファイルではないため飛ばしました（先頭の行: %2）。"
                 "最初の5行に Date,Open,High,Low,Close,Volume、ダウンローダーの Price / Ticker / Date の行、"
                 "<TICKER>,<DATE>,…,<CLOSE> または 日付,コード,終値 の見出しがあるファイルを読み込めます")
          .arg(name, q(r.firstLine));
    case HistoryFileFailure::Damaged:
      return QStringLiteral("%1: 壊れているため飛ばしました（%2）").arg(name, q(r.detail));
    case HistoryFileFailure::TooLarge:
      return QStringLiteral("%1: 大きすぎるため飛ばしました（%2）").arg(name, q(r.detail));
    case HistoryFileFailure::Unreadable:
      return QStringLiteral("%1: 読み込めないため飛ばしました（%2）").arg(name, q(r.detail));
    case HistoryFileFailure::NotWritten:
      return QStringLiteral("%1: データベースに書き込めませんでした（%2）").arg(name, q(r.detail));
    case HistoryFileFailure::None: break;
  }
  return QStringLiteral("%1: 飛ばしました（%2）").arg(name, q(r.detail));
}

}  // namespace

namespace {

constexpr std::size_t kIncompleteDaysShown = 10;
constexpr std::size_t kFindingsShown = 50;

QString isoDay(int day) { return q(isoDate(day)); }

// "2024-12-25（2 銘柄）、2024-12-26（1 銘柄）", the first `max` days, then
// "ほか N 日".
QString daysText(const std::vector<HistoryDay>& days, std::size_t max) {
  QStringList out;
  for (std::size_t i = 0; i < days.size() && i < max; ++i)
    out << QStringLiteral("%1（%2 銘柄）").arg(isoDay(days[i].day), count(days[i].stocks));
  if (days.size() > max) out << QStringLiteral("ほか %1 日").arg(count(days.size() - max));
  return out.join(QStringLiteral("、"));
}

// Why the positions were not set, for the line "登録株価と日付は変えていません: …。".
QString positionsFailureText(const PositionsOutcome& p, const HistoryImportOutcome& o, std::optional<int> atDay) {
  switch (p.failure) {
    case PositionsFailure::NoHistory: return QStringLiteral("履歴に終値がありません");
    case PositionsFailure::NoSuchDay:
      if (atDay) return QStringLiteral("%1 の終値がありません").arg(isoDay(*atDay));
      break;
    case PositionsFailure::Incomplete: {
      if (!atDay) break;
      // The import's list of incomplete days was made after it, as the positions were.
      const auto it = std::find_if(o.incompleteDays.begin(), o.incompleteDays.end(),
                                   [&](const HistoryDay& d) { return d.day == *atDay; });
      if (it == o.incompleteDays.end()) return QStringLiteral("%1 は終値のそろわない日です").arg(isoDay(*atDay));
      return QStringLiteral("%1 は終値のそろわない日です（%2 銘柄）").arg(isoDay(*atDay), count(it->stocks));
    }
    case PositionsFailure::Database: return QStringLiteral("データベースに書き込めませんでした: %1").arg(q(p.detail));
    case PositionsFailure::None: break;
  }
  return q(p.detail);
}

// The lines on the positions after an import that asked for them.
QStringList positionsLines(const HistoryImportOutcome& o, const PositionsOutcome& p, std::optional<int> atDay) {
  QStringList lines;
  if (o.stopped) {
    lines << QStringLiteral("中止したため、登録株価と日付は変えていません。");
    return lines;
  }
  if (!p.done() || p.days.empty()) {
    lines << QStringLiteral("登録株価と日付は変えていません: %1。")
                 .arg(p.done() ? QStringLiteral("履歴に終値がありません") : positionsFailureText(p, o, atDay));
    return lines;
  }
  lines << QStringLiteral(
               "登録株価と日付を %1 から %2 までの %3 日にしました（最新日に終値のある銘柄 %4、一覧の銘柄 %5）。")
               .arg(isoDay(p.days.front()), isoDay(p.days.back()), count(p.days.size()), count(p.withLatest),
                    count(p.stocks));
  if (!p.incompleteAfter.empty())
    lines << QStringLiteral("終値のそろわない日は登録に使っていません: %1")
                 .arg(daysText(p.incompleteAfter, kIncompleteDaysShown));
  return lines;
}

QStringList findingsLines(const std::vector<HistoryFinding>& findings) {
  QStringList lines;
  if (findings.empty()) return lines;
  lines << QString() << QStringLiteral("— 値動きの確認 —");
  for (std::size_t i = 0; i < findings.size() && i < kFindingsShown; ++i) lines << historyFindingText(findings[i]);
  if (findings.size() > kFindingsShown)
    lines << QStringLiteral("ほか %1 件").arg(count(findings.size() - kFindingsShown));
  lines << QStringLiteral("確認のみで、株価は変えていません。");
  return lines;
}

}  // namespace

QString historyFindingText(const HistoryFinding& f) {
  const QString kind = f.kind == FindingKind::Spike ? QStringLiteral("一日だけの急変")
                                                    : QStringLiteral("分割・併合の段差 %1").arg(q(ratioText(f.ratio)));
  QStringList closes;
  for (std::size_t i = 0; i < f.around.size(); ++i) {
    const QString close = q(priceText(f.around[i].close));
    closes << (i == f.at ? QStringLiteral("[%1]").arg(close) : close);
  }
  return QStringLiteral("%1 %2 %3: %4").arg(q(f.code), isoDay(f.day), kind, closes.join(QStringLiteral(" → ")));
}

QString historyRemovalQuestion(std::optional<int> day, const std::optional<std::string>& codeKey) {
  if (day && codeKey)
    return QStringLiteral("%1 の %2 の終値を削除します。よろしいですか？").arg(q(*codeKey), isoDay(*day));
  if (day) return QStringLiteral("%1 の終値をすべての銘柄から削除します。よろしいですか？").arg(isoDay(*day));
  if (codeKey) return QStringLiteral("%1 の履歴をすべて削除します。よろしいですか？").arg(q(*codeKey));
  return {};
}

QString historyRemovalText(const RemovalOutcome& o, std::optional<int> day, const std::optional<std::string>& codeKey) {
  switch (o.failure) {
    case RemovalFailure::NothingChosen: return QStringLiteral("削除する銘柄のコードか日付を指定してください。");
    case RemovalFailure::Database:
      return QStringLiteral("履歴から削除できませんでした（%1）。何も削除していません。").arg(q(o.detail));
    case RemovalFailure::None: break;
  }
  if (o.bars == 0) return QStringLiteral("削除するものはありませんでした。");
  if (day && codeKey) return QStringLiteral("%1 の %2: 終値を削除しました。").arg(q(*codeKey), isoDay(*day));
  if (day)
    return QStringLiteral("%1: %2 銘柄の %3 件を削除しました。").arg(isoDay(*day), count(o.stocks), count(o.bars));
  return QStringLiteral("%1: 履歴の %2 件（%3 日分）を削除しました。")
      .arg(codeKey ? q(*codeKey) : QString(), count(o.bars), count(o.days));
}

QStringList historyImportReportText(const std::string& database, const HistoryImportOutcome& o,
                                    const PositionsOutcome& positions, bool askedPositions, std::optional<int> atDay) {
  QStringList lines;
  lines << QStringLiteral("取り込み先: ") + q(database);
  if (!o.done()) {
    lines << QStringLiteral("株価データベースを開けませんでした（%1）。何も取り込んでいません。").arg(q(o.detail));
    return lines;
  }
  lines << QStringLiteral("%1 ファイルのうち %2 ファイルを取り込みました（%3 行、終値 %4 件を保存）。")
               .arg(count(o.files), count(o.imported), count(o.lines), count(o.written));
  if (o.failed) lines << QStringLiteral("取り込めなかったファイル: %1").arg(count(o.failed));
  if (!o.unknownCodes.empty())
    lines << QStringLiteral("一覧にないため飛ばしたコード: %1（%2）")
                 .arg(count(o.unknownCodes.size()), codesText(o.unknownCodes, 20));
  if (o.stopped)
    lines << QStringLiteral("中止しました: 残りの %1 ファイルは取り込んでいません。")
                 .arg(count(o.files - o.imported - o.failed));
  if (!o.incompleteDays.empty())
    lines << QStringLiteral("履歴の終値のそろわない日: %1").arg(daysText(o.incompleteDays, kIncompleteDaysShown));
  if (!o.notes.empty()) {
    lines << QString() << QStringLiteral("— ファイルごとの注意 —");
    for (const HistoryFileReport& r : o.notes) {
      if (!r.imported) {
        lines << skippedFileText(r);
        continue;
      }
      if (r.adjustedCloses)
        lines << QStringLiteral("%1: 終値（Close）の列がないため、調整後終値（Adj Close）を終値として取り込みました")
                     .arg(q(toUtf8(r.file)));
      if (!r.unknownCodes.empty())
        lines << QStringLiteral("%1: 一覧にないコードの %2 行を飛ばしました（%3）")
                     .arg(q(toUtf8(r.file)), count(r.unknownLines), codesText(r.unknownCodes, 10));
    }
  }
  if (askedPositions) lines << QString() << positionsLines(o, positions, atDay);
  lines << findingsLines(o.findings);
  return lines;
}

// Stock list.

namespace {

// A kind of rows the list did not take, in the summary's words.
QString skippedWord(const SkippedRows& s) {
  switch (s.reason) {
    case SkippedRows::Reason::NoCode: return QStringLiteral("コードが読めない行");
    case SkippedRows::Reason::IndexCode: return QStringLiteral("コード1000");
    case SkippedRows::Reason::NoName: return QStringLiteral("銘柄名のない行");
    case SkippedRows::Reason::NoSection: return QStringLiteral("市場区分のない行");
    case SkippedRows::Reason::Duplicate: return QStringLiteral("重複したコード");
    case SkippedRows::Reason::Section: break;
  }
  return q(s.section);
}

QString joined(const QStringList& lines) {
  QString out;
  for (const QString& l : lines) out += l + QLatin1Char('\n');
  return out;
}

}  // namespace

QString listedIssuesText(const ListedIssues& issues) {
  QString line = QStringLiteral("読んだ行 %1、銘柄 %2、読み飛ばした行 %3")
                     .arg(issues.rows)
                     .arg(issues.issues.size())
                     .arg(issues.skippedRows());
  if (!issues.skipped.empty()) {
    QStringList kinds;
    for (const SkippedRows& s : issues.skipped) kinds << skippedWord(s) + QStringLiteral(" %1").arg(s.count);
    line += QStringLiteral("（") + kinds.join(QStringLiteral("、")) + QStringLiteral("）");
  }
  if (!issues.hasMarketColumn) line += QStringLiteral("、市場の列なし（市場と市場区分は変えません）");
  if (issues.listDay) line += QStringLiteral("、一覧の日付 ") + q(isoDate(*issues.listDay));
  return line;
}

QString listedIssuesFailureText(ListedIssuesFailure failure, const QString& fileName, const std::string& detail) {
  switch (failure) {
    case ListedIssuesFailure::Folder: return QStringLiteral("フォルダーのため読み込めません: ") + fileName;
    case ListedIssuesFailure::Missing: return QStringLiteral("ファイルが見つかりません: ") + fileName;
    case ListedIssuesFailure::Empty: return QStringLiteral("空のファイルのため読み込めません: ") + fileName;
    case ListedIssuesFailure::OtherKind:
      return QStringLiteral("上場銘柄一覧のファイル（xls、xlsx、ods、csv）ではありません: ") + fileName;
    case ListedIssuesFailure::NoColumns: return QStringLiteral("コードと銘柄名の列が見つかりません: ") + fileName;
    case ListedIssuesFailure::Unreadable:
    case ListedIssuesFailure::None: break;
  }
  QString text = QStringLiteral("ワークブックを読めませんでした（壊れている可能性があります）: ") + fileName;
  if (!detail.empty()) text += QStringLiteral("（%1）").arg(q(detail));
  return text;
}

QStringList stockListReportText(const StockListReport& r, bool dryRun, bool listAll) {
  QStringList lines;
  QString head = q(toUtf8(r.database.filename())) + (dryRun ? QStringLiteral("（試算・書き込みなし）") : QString()) +
                 (r.created ? QStringLiteral("（新規作成）") : QString()) +
                 QStringLiteral(": 追加 %1、更新 %2、上場していない銘柄 %3")
                     .arg(r.added.size())
                     .arg(r.updated.size())
                     .arg(r.missing.size());
  if (!r.missing.empty())
    head += r.missingRemoved ? (dryRun ? QStringLiteral("（削除します）") : QStringLiteral("（削除しました）"))
                             : QStringLiteral("（残します）");
  head += QStringLiteral("、変更なし %1").arg(r.unchanged);
  if (r.olderList && r.appliedBefore)
    head += QStringLiteral("（前回の一覧 %1 より古い一覧です）").arg(q(isoDate(r.appliedBefore->day)));
  lines << head;
  const QChar tab = QLatin1Char('\t');
  if (listAll) {
    for (const ListedIssue& a : r.added)
      lines << QStringLiteral("追加") + tab + q(a.code) + tab + q(a.name) + tab + q(a.market) + tab + q(a.section);
    for (const UpdatedStock& u : r.updated) {
      QString line = QStringLiteral("更新") + tab + q(u.code) + tab + q(u.name);
      for (const StockListChange& c : u.changes)
        line += tab + q(c.field) + QStringLiteral(": ") + q(c.from) + QStringLiteral(" → ") + q(c.to);
      lines << line;
    }
  }
  if (listAll || !r.missing.empty()) {
    const QString word = r.missingRemoved ? QStringLiteral("削除") : QStringLiteral("上場なし");
    if (listAll) {
      for (const StockListEntry& m : r.missing) lines << word + tab + q(m.code) + tab + q(m.name);
    } else {
      QString codes = QStringLiteral("上場していない銘柄:");
      for (const StockListEntry& m : r.missing) codes += QLatin1Char(' ') + q(m.code);
      lines << codes;
    }
  }
  return lines;
}

QStringList stockListReportsText(const std::vector<StockListReport>& reports, bool dryRun) {
  QStringList lines;
  QSet<QString> listed;
  for (const StockListReport& r : reports) {
    const QStringList own = stockListReportText(r, dryRun, true);
    lines << own.front();
    for (qsizetype i = 1; i < own.size(); ++i)
      if (!listed.contains(own[i])) {
        listed.insert(own[i]);
        lines << own[i];
      }
  }
  return lines;
}

QString stockListPreviewText(const ListedIssues& issues, const StockListOutcome& preview) {
  if (!preview.done())
    return QStringLiteral("データベースを読めませんでした: ") + q(toUtf8(preview.failedDatabase.filename()));
  QString text =
      QStringLiteral("【プレビュー（まだ書き込んでいません）】\n") + listedIssuesText(issues) + QLatin1Char('\n');
  if (const std::optional<std::vector<std::string>> older = olderListQuestion(issues, preview))
    text += QStringLiteral("注意: ") + q(older->at(0)) + q(older->at(1)) + QLatin1Char('\n');
  text += joined(stockListReportsText(preview.reports, true));
  return text;
}

QString stockListAppliedText(const ListedIssues& issues, const StockListOutcome& applied) {
  if (!applied.done())
    return QStringLiteral("更新できませんでした（どのデータベースも変更していません）: ") +
           q(toUtf8(applied.failedDatabase.filename()));
  QString text = QStringLiteral("【更新しました】\n") + listedIssuesText(issues) + QLatin1Char('\n');
  text += joined(stockListReportsText(applied.reports, false));
  return text;
}

std::vector<std::string> olderListLines(int listDay, const AppliedStockList& before) {
  const std::string was = isoDate(before.day) + (before.source.empty() ? "" : "、" + before.source);
  return {"この一覧（" + isoDate(listDay) + "）は、前回の更新に使った一覧（" + was + "）より古いものです。",
          "古い一覧で更新すると、その後の社名変更や市場の移動が元に戻ります。", "それでも更新しますか？"};
}

std::optional<std::vector<std::string>> olderListQuestion(const ListedIssues& issues, const StockListOutcome& preview) {
  for (const StockListReport& r : preview.reports)
    if (r.olderList && r.appliedBefore && issues.listDay) return olderListLines(*issues.listDay, *r.appliedBefore);
  return std::nullopt;
}

std::vector<std::string> stockListFailureLines(const StockListOutcome& applied) {
  return {"銘柄リストを更新できませんでした: " + toUtf8(applied.failedDatabase.filename()),
          "どのデータベースも変更していません。"};
}

}  // namespace tavrin::ui
