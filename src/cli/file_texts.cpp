#include "cli/file_texts.h"

#include "base/files.h"

namespace tavrin::cli {

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

std::string backupFailureText(const BackupOutcome& o, const std::string& unit, const std::string& dateText) {
  switch (o.failure) {
    case BackupFailure::None: break;
    case BackupFailure::TargetExists: return "backup exists, left as it is: " + toUtf8(o.plan.target);
    case BackupFailure::SourceMissing: return "no database to back up: " + toUtf8(o.plan.source);
    case BackupFailure::UnsafeDateText: return "the date text cannot be part of a file name: " + dateText;
    case BackupFailure::NoUnit: return "unknown unit '" + unit + "'";
    case BackupFailure::CopyFailed: return "backup failed: " + o.detail;
  }
  return {};
}

}  // namespace tavrin::cli
