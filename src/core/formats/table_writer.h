#pragma once
#include <cstddef>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "base/outcome.h"

namespace tavrin {

// One cell of a table of texts; number marks a cell whose text is a number
// (a spreadsheet gets it as a number, not as text).
struct TableCell {
  std::string text;
  bool number = false;
};

// A table of UTF-8 texts: the title row, then the rows in their order.
struct TextTable {
  std::vector<std::string> titles;
  std::vector<std::vector<TableCell>> rows;
  std::string sheetName;  // the worksheet's name in a workbook ("Sheet1" when empty)
};

// A table whose rows are asked for one at a time, so that a writer holds
// one row and never the whole table: the title row, how many rows follow,
// and what fills row i (0 .. count - 1). Asked for the same row twice, it
// gives the same cells.
struct TableRows {
  std::vector<std::string> titles;
  std::string sheetName;  // as in TextTable
  std::size_t count = 0;
  std::function<void(std::size_t i, std::vector<TableCell>& cells)> row;  // replaces what cells held
};

// The rows of a table kept whole; the table must outlive what this returns.
TableRows rowsOf(const TextTable& table);

enum class TableFormat { Tsv, CsvUtf8, CsvCp932, Xlsx };

// A worksheet's limits: rows with the title row, columns, characters of a cell.
inline constexpr std::size_t kSheetRows = 1048576;
inline constexpr std::size_t kSheetCols = 16384;
inline constexpr std::size_t kCellChars = 32767;

enum class TableWriteFailure {
  None,
  NotCp932,        // a text has no counterpart in code page 932 (the cell in TableWriteOutcome)
  TooManyRows,     // more rows than a worksheet holds
  TooManyColumns,  // more columns than a worksheet holds
  BadTitle,        // a title that is no UTF-8 or longer than a cell holds
  BadCell,         // a cell's text that is no UTF-8 or longer than a cell holds
  NoWorkbook,      // the workbook could not be started
  Workbook,        // the workbook library failed (its reason in detail)
  WriteFailed,     // the stream refused the bytes
};

// What writing a table ended with. For NotCp932 the first text that code
// page 932 cannot hold: a title (row 0) or a cell (rows counted from 1),
// columns counted from 1; cellFound is false when no single text is at fault.
struct TableWriteOutcome : Outcome<TableWriteFailure> {
  bool cellFound = false;
  std::size_t row = 0;
  std::size_t column = 0;
  std::string cellText;
};

// Tab-separated lines (LF), titles first; tabs and line breaks inside a cell
// become blanks so that the columns hold.
std::string tsvText(const TextTable& table);

// Comma-separated lines ending in CR LF, titles first; a field holding a
// comma, a double quote or a line break is enclosed in double quotes, a quote
// inside doubled (RFC 4180). UTF-8, without a byte order mark.
std::string csvText(const TextTable& table);

// The bytes of a CSV file: UTF-8 after a byte order mark, or code page 932
// (NotCp932 when a text has no counterpart there; out is then left empty).
TableWriteOutcome csvBytes(const TextTable& table, TableFormat format, std::string& out);

// The lines of tsvText, or the bytes of csvBytes, written to out as the rows
// come, a few hundred kilobytes at a time. On a failure (NotCp932 with the
// text at fault, WriteFailed) what was written before stays in out: write
// into a file that is thrown away then.
TableWriteOutcome writeDelimited(std::ostream& out, const TableRows& rows, TableFormat format);

// The .xlsx workbook (one worksheet: bold title row kept in view, numbers as
// numbers, columns as wide as their texts), written straight to path; a
// failed workbook is removed again. The rows go into the workbook one after
// another and leave memory as they go (the library's constant memory mode,
// its scratch files in the folder of path): the texts are kept in the cells
// themselves, not in a table of shared strings.
TableWriteOutcome writeXlsx(const std::filesystem::path& path, const TextTable& table);
TableWriteOutcome writeXlsx(const std::filesystem::path& path, const TableRows& rows);

// Width of a text in spreadsheet columns: East Asian wide characters count two.
int displayWidth(const std::string& utf8);

}  // namespace tavrin
