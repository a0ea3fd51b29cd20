#pragma once
#include <filesystem>
#include <string>
#include <vector>

#include "base/value.h"

namespace tavrin::exporting {

// One cell as a grid shows it; number marks a cell whose text is a number
// (a spreadsheet gets it as a number, not as text).
struct ExportCell {
  std::string text;
  bool number = false;
};

// A grid as it leaves the program: the title row, then the rows in the order
// shown, each cell as shown. Texts are UTF-8.
struct ExportTable {
  std::vector<std::string> titles;
  std::vector<std::vector<ExportCell>> rows;
  std::string sheetName;  // the worksheet's name in a workbook ("Sheet1" when empty)
};

// A cell for a database value: its display text, a number when it is one.
ExportCell cellOf(const Value& value);

enum class ExportFormat { Tsv, CsvUtf8, CsvCp932, Xlsx };

// The format a file name's extension suggests (.xlsx: Xlsx, .tsv/.txt: Tsv,
// anything else: CsvUtf8).
ExportFormat formatForPath(const std::filesystem::path& path);

// Tab-separated lines (LF), titles first; tabs and line breaks inside a cell
// become blanks so that the columns hold.
std::string tsvText(const ExportTable& table);

// Comma-separated lines ending in CR LF, titles first; a field holding a
// comma, a double quote or a line break is enclosed in double quotes, a quote
// inside doubled (RFC 4180). UTF-8, without a byte order mark.
std::string csvText(const ExportTable& table);

// The bytes of a CSV file: UTF-8 after a byte order mark, or code page 932.
// False when a text has no counterpart in code page 932; *error then names the
// first such cell.
bool csvBytes(const ExportTable& table, ExportFormat format, std::string& out, std::string* error = nullptr);

// Writes the table to path in the format: first into a file beside it, which
// then replaces path in one rename, so a failure leaves an existing file as it
// was. False on failure, with the reason in *error (Japanese, for the user).
bool writeTable(const std::filesystem::path& path, const ExportTable& table, ExportFormat format,
                std::string* error = nullptr);

// The .xlsx workbook alone (one worksheet: bold title row kept in view,
// numbers as numbers, columns as wide as their texts), written straight to path.
bool writeXlsx(const std::filesystem::path& path, const ExportTable& table, std::string* error = nullptr);

// Width of a text in spreadsheet columns: East Asian wide characters count two.
int displayWidth(const std::string& utf8);

}  // namespace tavrin::exporting
