#pragma once
#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "base/outcome.h"
#include "base/value.h"
#include "formats/table_writer.h"

namespace tavrin::exporting {

// A grid as it leaves the program: the title row, then the rows in the order
// shown, each cell as shown (number marks a cell a spreadsheet gets as a
// number). Texts are UTF-8.
using ExportCell = TableCell;
using ExportTable = TextTable;
using ExportFormat = TableFormat;
// The same rows asked for one at a time (a grid of many rows is written so).
using ExportRows = TableRows;

using ::tavrin::csvText;
using ::tavrin::displayWidth;
using ::tavrin::rowsOf;
using ::tavrin::tsvText;

// A cell for a database value: its display text, a number when it is one.
ExportCell cellOf(const Value& value);

// The format a file name's extension suggests (.xlsx: Xlsx, .tsv/.txt: Tsv,
// anything else: CsvUtf8).
ExportFormat formatForPath(const std::filesystem::path& path);

enum class ExportFailure {
  None,
  NotCp932,        // a text has no counterpart in code page 932 (the cell in ExportOutcome)
  IsFolder,        // the path names a folder
  ReadOnlyFile,    // the file there may not be written
  NotPermitted,    // the folder refuses the file
  NoFolder,        // the folder is missing
  NoSpace,         // the disk is full
  WriteFailed,     // the bytes could not be written
  SystemError,     // any other reason the system gave (in detail)
  TooManyRows,     // more rows than a worksheet holds
  TooManyColumns,  // more columns than a worksheet holds
  BadTitle,        // a title a worksheet cannot hold
  BadCell,         // a cell's text a worksheet cannot hold
  NoWorkbook,      // the workbook could not be started
  Workbook,        // the workbook library failed (its reason in detail)
};

// What saving a table ended with: the file the user chose, and for NotCp932
// the first text at fault (row 0 is the title row, columns count from 1;
// cellFound false when no single text is).
struct ExportOutcome : Outcome<ExportFailure> {
  std::filesystem::path path;
  bool cellFound = false;
  std::size_t row = 0;
  std::size_t column = 0;
  std::string cellText;
};

// The bytes of a CSV file: UTF-8 after a byte order mark, or code page 932;
// NotCp932 names the first text that has no counterpart there.
ExportOutcome csvBytes(const ExportTable& table, ExportFormat format, std::string& out);

// Writes the table to path in the format: first into a file beside it, which
// then replaces path in one rename, so a failure leaves an existing file as it
// was. A failure is logged.
ExportOutcome writeTable(const std::filesystem::path& path, const ExportTable& table, ExportFormat format);
// The same for rows asked for one at a time: each row goes to the file as it
// comes, so that the file is never held whole in memory.
ExportOutcome writeTable(const std::filesystem::path& path, const ExportRows& rows, ExportFormat format);

// The .xlsx workbook alone, written straight to path.
ExportOutcome writeXlsx(const std::filesystem::path& path, const ExportTable& table);

}  // namespace tavrin::exporting
