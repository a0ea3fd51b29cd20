// The windows' texts of the file tasks: one per outcome kind, each naming
// what the outcome carries (the file, the cell, the typed text).
#include <QtTest>

#include "base/files.h"
#include "export/table_export.h"
#include "test_support.h"
#include "ui/common/file_texts.h"

using namespace tavrin;

class FileTextsTest : public QObject {
  Q_OBJECT
 private slots:
  void exportTextsNameTheFileAndTheCell();
  void memoBackupAndTransferTexts();
  void invalidCodesAreShownPrintable();
};

void FileTextsTest::exportTextsNameTheFileAndTheCell() {
  using exporting::ExportFailure;
  test::TempDir dir;
  exporting::ExportTable t;
  t.titles = {"コード", "銘柄"};
  t.rows = {{{"7203", true}, {"한국", false}}};
  exporting::ExportOutcome o = exporting::writeTable(dir / "x.csv", t, exporting::ExportFormat::CsvCp932);
  QCOMPARE(ui::exportFailureText(o), std::string("Shift_JIS（cp932）で表せない文字があります: 1行目 "
                                                 "2列目「한국」。CSV（UTF-8）かExcel形式で保存してください。"));
  t.titles[0] = "😀";
  o = exporting::writeTable(dir / "x.csv", t, exporting::ExportFormat::CsvCp932);
  QVERIFY(ui::exportFailureText(o).find(": 見出し 1列目「😀」。") != std::string::npos);
  o = exporting::writeTable(dir / "none" / "x.csv", t, exporting::ExportFormat::CsvUtf8);
  QCOMPARE(ui::exportFailureText(o),
           "ファイルに保存できませんでした: " + toUtf8(dir / "none" / "x.csv") + "（フォルダがありません）");
  o = exporting::writeTable(dir.path(), t, exporting::ExportFormat::Tsv);
  QCOMPARE(ui::exportFailureText(o), "ファイルに保存できませんでした: " + toUtf8(dir.path()) + "（フォルダです）");
  // A reason the system words is shown as it gave it.
  exporting::ExportOutcome other;
  other.path = dir / "y.xlsx";
  other.fail(ExportFailure::SystemError, "Input/output error");
  QCOMPARE(ui::exportFailureText(other),
           "ファイルに保存できませんでした: " + toUtf8(dir / "y.xlsx") + "（Input/output error）");
  QVERIFY(ui::exportFailureText(exporting::ExportOutcome{}).empty());
}

void FileTextsTest::memoBackupAndTransferTexts() {
  MemoSaveOutcome memo;
  memo.path = "/data/メモ帖.txt";
  memo.fail(MemoFailure::ReadOnly, "read-only");
  QCOMPARE(ui::memoFailureText(memo), std::string("メモのファイルが読み取り専用です: /data/メモ帖.txt"));
  memo.fail(MemoFailure::NotCp932, "");
  QCOMPARE(ui::memoFailureText(memo), std::string("メモにShift_JISで保存できない文字があります。"));

  BackupOutcome backup;
  backup.plan.fileName = "kabuka261209.mdb";
  backup.plan.source = "/data/kabuka.mdb";
  QCOMPARE(ui::backupNoteText(backup), std::string("ファイル名は　kabuka261209.mdb"));
  backup.fail(BackupFailure::SourceMissing, "");
  QCOMPARE(ui::backupNoteText(backup), std::string("元のデータベースがないため作成しませんでした　kabuka.mdb"));
  QCOMPARE(ui::backupFolderText(BackupFolderResult::Created), std::string("Mdbフォルダを作成しました！"));

  QCOMPARE(ui::transferFailureText(TransferFailure::CompanionLocked),
           std::string("Orvelのデータベースは他のプログラムが使用中です。"));
  QVERIFY(ui::transferFailureText(TransferFailure::None).empty());
  PrepareOutcome prepared;
  prepared.source = "/hp/Divuzi.mdb";
  prepared.prepared.target = "/hp/wDivuzi.mdb";
  prepared.fail(PrepareFailure::CopyFailed, "no such file");
  QCOMPARE(
      ui::divuziCopyFailureLines(prepared),
      (std::vector<std::string>{"Divuziのデータベースをコピーできませんでした。", "/hp/Divuzi.mdb → /hp/wDivuzi.mdb"}));
}

void FileTextsTest::invalidCodesAreShownPrintable() {
  QVERIFY(ui::invalidStockCodeMessage("1e3").find("1e3") != std::string::npos);
  QCOMPARE(ui::invalidStockCodeMessage("72\x1b"),
           std::string("コードではありません：72\\x1b（数字と英大文字の4～5文字で入力してください）"));
}

QTEST_MAIN(FileTextsTest)
#include "file_texts_test.moc"
