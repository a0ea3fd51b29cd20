#include "export/table_export.h"

#include <cerrno>
#include <cmath>
#include <fstream>
#include <system_error>

#include "base/files.h"
#include "base/log.h"
#include "base/text.h"
#include "utilities/backup.h"

namespace tavrin::exporting {

namespace fs = std::filesystem;

namespace {

// The kind of a system error met while writing.
ExportOutcome systemFailure(const fs::path& path, const std::error_code& ec) {
  ExportOutcome o;
  o.path = path;
  if (ec == std::errc::permission_denied || ec == std::errc::read_only_file_system ||
      ec == std::errc::operation_not_permitted)
    o.fail(ExportFailure::NotPermitted, ec.message());
  else if (ec == std::errc::no_such_file_or_directory || ec == std::errc::not_a_directory)
    o.fail(ExportFailure::NoFolder, ec.message());
  else if (ec == std::errc::no_space_on_device)
    o.fail(ExportFailure::NoSpace, ec.message());
  else if (ec)
    o.fail(ExportFailure::SystemError, ec.message());
  else
    o.fail(ExportFailure::WriteFailed, "the bytes could not be written");
  return o;
}

ExportOutcome fromWriter(const fs::path& path, const TableWriteOutcome& w) {
  ExportOutcome o;
  o.path = path;
  o.cellFound = w.cellFound;
  o.row = w.row;
  o.column = w.column;
  o.cellText = w.cellText;
  switch (w.failure) {
    case TableWriteFailure::None: break;
    case TableWriteFailure::NotCp932: o.fail(ExportFailure::NotCp932, w.detail); break;
    case TableWriteFailure::TooManyRows: o.fail(ExportFailure::TooManyRows, w.detail); break;
    case TableWriteFailure::TooManyColumns: o.fail(ExportFailure::TooManyColumns, w.detail); break;
    case TableWriteFailure::BadTitle: o.fail(ExportFailure::BadTitle, w.detail); break;
    case TableWriteFailure::BadCell: o.fail(ExportFailure::BadCell, w.detail); break;
    case TableWriteFailure::NoWorkbook: o.fail(ExportFailure::NoWorkbook, w.detail); break;
    case TableWriteFailure::Workbook: o.fail(ExportFailure::Workbook, w.detail); break;
    case TableWriteFailure::WriteFailed: o.fail(ExportFailure::WriteFailed, w.detail); break;
  }
  return o;
}

}  // namespace

ExportCell cellOf(const Value& value) {
  ExportCell cell;
  cell.text = value.display();
  cell.number = value.isInteger() || (value.isReal() && std::isfinite(value.real()));
  return cell;
}

ExportFormat formatForPath(const fs::path& path) {
  const std::string ext = asciiLower(path.extension().string());
  if (ext == ".xlsx") return ExportFormat::Xlsx;
  if (ext == ".tsv" || ext == ".txt") return ExportFormat::Tsv;
  return ExportFormat::CsvUtf8;
}

ExportOutcome csvBytes(const ExportTable& table, ExportFormat format, std::string& out) {
  return fromWriter({}, ::tavrin::csvBytes(table, format, out));
}

ExportOutcome writeXlsx(const fs::path& path, const ExportTable& table) {
  return fromWriter(path, ::tavrin::writeXlsx(path, table));
}

ExportOutcome writeTable(const fs::path& path, const ExportTable& table, ExportFormat format) {
  return writeTable(path, rowsOf(table), format);
}

ExportOutcome writeTable(const fs::path& path, const ExportRows& rows, ExportFormat format) {
  ExportOutcome o;
  o.path = path;
  std::error_code ec;
  if (fs::is_directory(path, ec)) {
    o.fail(ExportFailure::IsFolder, "a folder is there");
    return o;
  }
  // A file made read-only is refused rather than replaced.
  if (fs::exists(path, ec) && (fs::status(path, ec).permissions() & fs::perms::owner_write) == fs::perms::none) {
    o.fail(ExportFailure::ReadOnlyFile, "the file is read-only");
    return o;
  }
  // What an export killed while writing left beside its file goes first, as
  // the backup and the transfer do it.
  removeStalePartFiles(path.parent_path());
  const fs::path tmp = temporaryBeside(path);
  bool written = false;
  {
    // Opened here for every format, so that a folder that refuses the file
    // is named as such.
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out) {
      o = systemFailure(path, std::error_code(errno, std::generic_category()));
    } else if (format == ExportFormat::Xlsx) {
      out.close();
      written = static_cast<bool>(out);
      if (!written) o = systemFailure(path, {});
    } else {
      // The outcome names the file the user chose, not the one in the making.
      o = fromWriter(path, writeDelimited(out, rows, format));
      out.close();
      written = o.done() && static_cast<bool>(out);
      if (o.failure == ExportFailure::WriteFailed || (o.done() && !written)) o = systemFailure(path, {});
    }
  }
  if (written && format == ExportFormat::Xlsx) {
    o = fromWriter(path, ::tavrin::writeXlsx(tmp, rows));
    written = o.done();
  }
  if (written) {
    ec = replaceWithWritten(tmp, path);
    if (!ec) return o;
    o = systemFailure(path, ec);
  } else {
    fs::remove(tmp, ec);
  }
  // A text code page 932 lacks is the table's fault, not the file's.
  if (o.failure != ExportFailure::NotCp932) logLine("export", "cannot write " + toUtf8(path) + ": " + o.detail);
  return o;
}

}  // namespace tavrin::exporting
