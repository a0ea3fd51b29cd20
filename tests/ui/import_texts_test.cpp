// The history import window's texts of the files it did not take: one per
// kind, each naming the file and what the outcome carries (the reason, the
// first line of a file of another kind), and the note of adjusted closes;
// the reason a price file or a list of listed issues could not be read.
#include <QtTest>

#include "history/history_files.h"
#include "ui/common/import_texts.h"

using namespace tavrin;

class ImportTextsTest : public QObject {
  Q_OBJECT
 private slots:
  void everyKindOfSkippedHistoryFileHasItsText();
  void namesThatAreNoUtf8AreShownEscaped();
  void aDamagedPriceFileOrListCarriesTheReadersReason();
};

void ImportTextsTest::namesThatAreNoUtf8AreShownEscaped() {
  HistoryImportOutcome o;
  o.files = o.failed = 1;
  HistoryFileReport r;
  r.file = "/d/bad\xED\xA0\x80.csv";
  r.fail(HistoryFileFailure::Damaged, "line 2: close 'caf\xE9'");
  o.notes.push_back(r);
  const QString all = ui::historyImportReportText("/d/kabuka.mdb", o, PositionsOutcome{}, false).join('\n');
  QVERIFY2(
      all.contains(QStringLiteral("/d/bad\\xED\\xA0\\x80.csv: 壊れているため飛ばしました（line 2: close 'caf\\xE9'）")),
      qPrintable(all));
  QVERIFY(!all.contains(QChar::ReplacementCharacter));
  QCOMPARE(ui::listedIssuesFailureText(ListedIssuesFailure::Missing, QStringLiteral("x.xls")),
           QStringLiteral("ファイルが見つかりません: x.xls"));
}

void ImportTextsTest::everyKindOfSkippedHistoryFileHasItsText() {
  struct Case {
    HistoryFileFailure kind;
    const char* detail;
    const char* firstLine;
    QString text;
  };
  const std::vector<Case> cases = {
      {HistoryFileFailure::Folder, "a folder, not a file", "", QStringLiteral("/d/f0: フォルダーのため飛ばしました")},
      {HistoryFileFailure::Missing, "no such file", "",
       QStringLiteral("/d/f1: ファイルが見つからないため飛ばしました")},
      {HistoryFileFailure::Empty, "empty file", "", QStringLiteral("/d/f2: 空のファイルのため飛ばしました")},
      {HistoryFileFailure::OtherKind, "no history header in the first 5 lines", "PK\\x03\\x04",
       QStringLiteral("/d/f3: 株価の履歴ファイルではないため飛ばしました（先頭の行: PK\\x03\\x04）。最初の5行に "
                      "Date,Open,High,Low,Close,Volume、ダウンローダーの Price / Ticker / Date の行、"
                      "<TICKER>,<DATE>,…,<CLOSE> または 日付,コード,終値 の見出しがあるファイルを読み込めます")},
      {HistoryFileFailure::Damaged, "line 7: close '-1'", "",
       QStringLiteral("/d/f4: 壊れているため飛ばしました（line 7: close '-1'）")},
      {HistoryFileFailure::TooLarge, "536,870,913 bytes, more than 512 MiB", "",
       QStringLiteral("/d/f5: 大きすぎるため飛ばしました（536,870,913 bytes, more than 512 MiB）")},
      {HistoryFileFailure::Unreadable, "cannot read: Permission denied", "",
       QStringLiteral("/d/f6: 読み込めないため飛ばしました（cannot read: Permission denied）")},
      {HistoryFileFailure::NotWritten, "not written: disk I/O error", "",
       QStringLiteral("/d/f7: データベースに書き込めませんでした（not written: disk I/O error）")},
  };
  HistoryImportOutcome o;
  o.files = cases.size() + 1;
  o.imported = 1;
  o.failed = cases.size();
  for (std::size_t i = 0; i < cases.size(); ++i) {
    HistoryFileReport r;
    r.file = "/d/f" + std::to_string(i);
    r.fail(cases[i].kind, cases[i].detail);
    r.firstLine = cases[i].firstLine;
    o.notes.push_back(r);
  }
  HistoryFileReport adjusted;
  adjusted.file = "/d/7203.T.csv";
  adjusted.imported = true;
  adjusted.adjustedCloses = true;
  o.notes.push_back(adjusted);

  const QStringList lines = ui::historyImportReportText("/d/kabuka.mdb", o, PositionsOutcome{}, false);
  QVERIFY2(lines.contains(QStringLiteral("取り込めなかったファイル: 8")), qPrintable(lines.join('\n')));
  for (const Case& c : cases) QVERIFY2(lines.contains(c.text), qPrintable(c.text + "\n\n" + lines.join('\n')));
  QVERIFY(lines.contains(
      QStringLiteral("/d/7203.T.csv: 終値（Close）の列がないため、調整後終値（Adj Close）を終値として取り込みました")));
}

void ImportTextsTest::aDamagedPriceFileOrListCarriesTheReadersReason() {
  ImportOutcome o;
  o.fail(ImportFailure::Damaged, "line 2 is longer than 1 MB");
  o.failedWorkbook = "kabuka_20261209.csv";
  const QStringList lines = ui::importReportText(o);
  QCOMPARE(lines.value(0), QStringLiteral("何も書き込んでいません。"));
  QCOMPARE(lines.value(1),
           QStringLiteral(
               "kabuka_20261209.csv を読めませんでした（壊れている可能性があります: line 2 is longer than 1 MB）。"));
  QCOMPARE(ui::listedIssuesFailureText(ListedIssuesFailure::Unreadable, QStringLiteral("data_j.csv"),
                                       "not a readable workbook: line 1 is longer than 1 MB"),
           QStringLiteral("ワークブックを読めませんでした（壊れている可能性があります）: data_j.csv"
                          "（not a readable workbook: line 1 is longer than 1 MB）"));
  // Without a reason, the words alone.
  QCOMPARE(ui::listedIssuesFailureText(ListedIssuesFailure::Unreadable, QStringLiteral("data_j.xls")),
           QStringLiteral("ワークブックを読めませんでした（壊れている可能性があります）: data_j.xls"));
}

QTEST_MAIN(ImportTextsTest)
#include "import_texts_test.moc"
