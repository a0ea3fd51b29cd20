#include "ui/common/file_texts.h"

#include "app/prompts.h"
#include "base/files.h"
#include "base/text.h"
#include "data/stock_code.h"

namespace tavrin::ui {

namespace {

std::string exportReason(const exporting::ExportOutcome& o) {
  using exporting::ExportFailure;
  switch (o.failure) {
    case ExportFailure::None:
    case ExportFailure::NotCp932: break;
    case ExportFailure::IsFolder: return "フォルダです";
    case ExportFailure::ReadOnlyFile: return "読み取り専用のファイルです";
    case ExportFailure::NotPermitted: return "書き込みが許されていません";
    case ExportFailure::NoFolder: return "フォルダがありません";
    case ExportFailure::NoSpace: return "ディスクに空きがありません";
    case ExportFailure::WriteFailed: return "書き込みに失敗しました";
    case ExportFailure::SystemError: return o.detail;
    case ExportFailure::TooManyRows: return "行が多すぎます（1,048,576行まで）";
    case ExportFailure::TooManyColumns: return "列が多すぎます（16,384列まで）";
    case ExportFailure::BadTitle: return "見出しの文字列を書けません";
    case ExportFailure::BadCell: return "書けない文字列があります（32,767文字まで）";
    case ExportFailure::NoWorkbook: return "ワークブックを作れません";
    case ExportFailure::Workbook: return o.detail;
  }
  return {};
}

}  // namespace

std::string exportFailureText(const exporting::ExportOutcome& o) {
  if (o.done()) return {};
  if (o.failure == exporting::ExportFailure::NotCp932) {
    std::string where;
    if (o.cellFound)
      where = (o.row == 0 ? "見出し " + std::to_string(o.column) + "列目"
                          : std::to_string(o.row) + "行目 " + std::to_string(o.column) + "列目") +
              "「" + o.cellText + "」";
    return "Shift_JIS（cp932）で表せない文字があります" + (where.empty() ? std::string() : ": " + where) +
           "。CSV（UTF-8）かExcel形式で保存してください。";
  }
  return "ファイルに保存できませんでした: " + toUtf8(o.path) + "（" + exportReason(o) + "）";
}

std::string memoFailureText(const MemoSaveOutcome& o) {
  switch (o.failure) {
    case MemoFailure::None: return {};
    case MemoFailure::NotCp932: return "メモにShift_JISで保存できない文字があります。";
    case MemoFailure::ReadOnly: return "メモのファイルが読み取り専用です: " + toUtf8(o.path);
    case MemoFailure::CannotWrite: return "メモを保存できません: " + toUtf8(o.path);
    case MemoFailure::CannotKeepOld: return "元のメモを残せないため保存できません: " + toUtf8(o.path);
  }
  return {};
}

std::string backupFolderText(BackupFolderResult result) {
  switch (result) {
    case BackupFolderResult::Created: return "Mdbフォルダを作成しました！";
    case BackupFolderResult::NotCreated: return "エラーが発生した時は再度トライしてください！";
    case BackupFolderResult::NoUnit: break;
  }
  return {};
}

std::string backupNoteText(const BackupOutcome& o) {
  std::string note;
  switch (o.failure) {
    case BackupFailure::None: note = "ファイル名は　"; break;
    case BackupFailure::TargetExists: note = "同じ名前のファイルがあるため作成しませんでした　"; break;
    case BackupFailure::SourceMissing: note = "元のデータベースがないため作成しませんでした　"; break;
    case BackupFailure::CopyFailed: note = "バックアップファイルを作成できませんでした　"; break;
    case BackupFailure::NoUnit: note = "単位が読めないため作成しませんでした"; break;
    case BackupFailure::UnsafeDateText: note = "日付にファイル名に使えない文字があるため作成しませんでした"; break;
  }
  if (!o.plan.fileName.empty())
    note += o.failure == BackupFailure::SourceMissing ? toUtf8(o.plan.source.filename()) : o.plan.fileName;
  return note;
}

std::vector<std::string> unsafeBackupDateLines(const std::string& dateText) {
  return {"ファイル名に使えない文字が含まれています。", "「" + dateText + "」",
          "バックアップファイルは作成しませんでした。"};
}

std::vector<std::string> watchListUnavailableLines(const std::filesystem::path& path) {
  return {"注目銘柄のファイルを開けません。", toUtf8(path), "リストは空のまま表示します。"};
}

std::string invalidStockCodeMessage(const std::string& text) {
  return "コードではありません：" + printableText(text) + "（数字と英大文字の4～5文字で入力してください）";
}

std::optional<std::string> typedCodeOrWarning(Prompts& prompts, const std::string& title, const std::string& typed) {
  std::optional<std::string> key = typedStockCodeKey(typed);
  if (key) return key;
  MessageRequest m;
  m.title = title;
  m.icon = MessageIcon::Warning;
  m.lines = {invalidStockCodeMessage(typed)};
  prompts.message(m);
  return std::nullopt;
}

std::string transferFailureText(TransferFailure failure) {
  switch (failure) {
    case TransferFailure::None: return {};
    case TransferFailure::SenderUnavailable: return "Tavrinの株価データベースが読めません。";
    case TransferFailure::NoCompanionList: return "Orvelのリストが開かれていません。";
    case TransferFailure::CompanionUnavailable: return "Orvelのデータベースが開けません。";
    case TransferFailure::CompanionReadOnly: return "Orvelのデータベースは読み取り専用です。";
    case TransferFailure::CompanionLocked: return "Orvelのデータベースは他のプログラムが使用中です。";
  }
  return {};
}

std::vector<std::string> divuziCopyFailureLines(const PrepareOutcome& o) {
  return {"Divuziのデータベースをコピーできませんでした。", toUtf8(o.source) + " → " + toUtf8(o.prepared.target)};
}

}  // namespace tavrin::ui
