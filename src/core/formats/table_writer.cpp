#include "formats/table_writer.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <system_error>

#include "base/encoding.h"
#include "base/value.h"

namespace tavrin {

namespace fs = std::filesystem;

namespace {

constexpr const char* kByteOrderMark = "\xEF\xBB\xBF";

std::string tsvField(const std::string& s) {
  std::string out = s;
  for (char& c : out)
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  return out;
}

std::string csvField(const std::string& s) {
  if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
  std::string out = "\"";
  for (char c : s) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

template <class Field>
void appendLine(std::string& out, const std::vector<std::string>& fields, char sep, Field field, const char* end) {
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i) out += sep;
    out += field(fields[i]);
  }
  out += end;
}

template <class Field>
std::string joinTable(const TextTable& table, char sep, Field field, const char* end) {
  std::string out;
  appendLine(out, table.titles, sep, field, end);
  std::vector<std::string> texts;
  for (const auto& row : table.rows) {
    texts.clear();
    for (const auto& cell : row) texts.push_back(cell.text);
    appendLine(out, texts, sep, field, end);
  }
  return out;
}

// Code points of a UTF-8 text (a byte that starts no sequence counts as one).
std::vector<char32_t> codePoints(const std::string& s) {
  std::vector<char32_t> out;
  for (size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    int len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 1;
    if (i + static_cast<size_t>(len) > s.size()) len = 1;
    char32_t cp = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
    for (int k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + static_cast<size_t>(k)]) & 0x3F);
    out.push_back(cp);
    i += static_cast<size_t>(len);
  }
  return out;
}

bool wide(char32_t c) {
  return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
         (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
         (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

// A worksheet name Excel accepts: no []:*?/\, at most 31 characters, never empty.
std::string sheetNameFor(const std::string& wanted) {
  std::string name;
  size_t chars = 0;
  for (char32_t c : codePoints(wanted)) {
    if (chars == 31) break;
    std::string piece;
    if (c == '[' || c == ']' || c == ':' || c == '*' || c == '?' || c == '/' || c == '\\' || c < 0x20) {
      piece = "_";
    } else if (c < 0x80) {
      piece = static_cast<char>(c);
    } else if (c < 0x800) {
      piece = {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
    } else if (c < 0x10000) {
      piece = {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
               static_cast<char>(0x80 | (c & 0x3F))};
    } else {
      piece = {static_cast<char>(0xF0 | (c >> 18)), static_cast<char>(0x80 | ((c >> 12) & 0x3F)),
               static_cast<char>(0x80 | ((c >> 6) & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
    }
    name += piece;
    ++chars;
  }
  while (!name.empty() && name.front() == '\'') name.erase(name.begin());
  while (!name.empty() && name.back() == '\'') name.pop_back();
  return name.empty() ? "Sheet1" : name;
}

}  // namespace

int displayWidth(const std::string& utf8) {
  int w = 0;
  for (char32_t c : codePoints(utf8)) w += wide(c) ? 2 : 1;
  return w;
}

std::string tsvText(const TextTable& table) { return joinTable(table, '\t', tsvField, "\n"); }

std::string csvText(const TextTable& table) { return joinTable(table, ',', csvField, "\r\n"); }

TableWriteOutcome csvBytes(const TextTable& table, TableFormat format, std::string& out) {
  TableWriteOutcome o;
  const std::string text = csvText(table);
  if (format != TableFormat::CsvCp932) {
    out = kByteOrderMark + text;
    return o;
  }
  if (auto bytes = utf8ToCp932(text)) {
    out = std::move(*bytes);
    return o;
  }
  out.clear();
  // Name the first text that has no counterpart.
  auto check = [&](const std::string& cell, size_t row, size_t column) {
    if (o.cellFound || utf8ToCp932(cell)) return;
    o.cellFound = true;
    o.row = row;
    o.column = column;
    o.cellText = cell;
  };
  for (size_t c = 0; c < table.titles.size(); ++c) check(table.titles[c], 0, c + 1);
  for (size_t r = 0; r < table.rows.size() && !o.cellFound; ++r)
    for (size_t c = 0; c < table.rows[r].size(); ++c) check(table.rows[r][c].text, r + 1, c + 1);
  o.fail(TableWriteFailure::NotCp932, o.cellFound ? "no code page 932 for the text of row " + std::to_string(o.row) +
                                                        ", column " + std::to_string(o.column)
                                                  : "no code page 932 for the table's text");
  return o;
}

TableWriteOutcome writeXlsx(const fs::path& path, const TextTable& table) {
  TableWriteOutcome o;
  if (table.rows.size() + 1 > kSheetRows) {
    o.fail(TableWriteFailure::TooManyRows, std::to_string(table.rows.size() + 1) + " rows");
    return o;
  }
  size_t cols = table.titles.size();
  for (const auto& row : table.rows) cols = std::max(cols, row.size());
  if (cols > kSheetCols) {
    o.fail(TableWriteFailure::TooManyColumns, std::to_string(cols) + " columns");
    return o;
  }
  for (size_t c = 0; c < table.titles.size(); ++c) {
    const std::string& t = table.titles[c];
    if (!validUtf8(t) || codePoints(t).size() > kCellChars) {
      o.fail(TableWriteFailure::BadTitle, "title " + std::to_string(c + 1) + " is no text a cell holds");
      return o;
    }
  }
  for (size_t r = 0; r < table.rows.size(); ++r)
    for (size_t c = 0; c < table.rows[r].size(); ++c) {
      const std::string& t = table.rows[r][c].text;
      if (!validUtf8(t) || codePoints(t).size() > kCellChars) {
        o.fail(TableWriteFailure::BadCell,
               "row " + std::to_string(r + 1) + ", column " + std::to_string(c + 1) + " is no text a cell holds");
        return o;
      }
    }

  const std::string file = path.string();
  lxw_workbook* book = workbook_new(file.c_str());
  if (!book) {
    o.fail(TableWriteFailure::NoWorkbook, "cannot start a workbook at " + file);
    return o;
  }
  const std::string sheetName = sheetNameFor(table.sheetName);
  lxw_worksheet* sheet = workbook_add_worksheet(book, sheetName.c_str());
  if (!sheet) sheet = workbook_add_worksheet(book, nullptr);
  lxw_format* bold = workbook_add_format(book);
  format_set_bold(bold);

  std::vector<int> widths(cols, 0);
  lxw_error status = LXW_NO_ERROR;
  auto note = [&](lxw_error e) {
    if (status == LXW_NO_ERROR && e != LXW_NO_ERROR) status = e;
  };
  for (size_t c = 0; c < table.titles.size(); ++c) {
    note(worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(c), table.titles[c].c_str(), bold));
    widths[c] = std::max(widths[c], displayWidth(table.titles[c]) + 2);  // bold is wider
  }
  for (size_t r = 0; r < table.rows.size(); ++r) {
    const auto row = static_cast<lxw_row_t>(r + 1);
    for (size_t c = 0; c < table.rows[r].size(); ++c) {
      const TableCell& cell = table.rows[r][c];
      if (cell.text.empty()) continue;
      const auto col = static_cast<lxw_col_t>(c);
      std::optional<double> number = cell.number ? parseNumber(cell.text) : std::nullopt;
      if (number && std::isfinite(*number))
        note(worksheet_write_number(sheet, row, col, *number, nullptr));
      else
        note(worksheet_write_string(sheet, row, col, cell.text.c_str(), nullptr));
      widths[c] = std::max(widths[c], displayWidth(cell.text));
    }
  }
  for (size_t c = 0; c < cols; ++c)
    note(worksheet_set_column(sheet, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c),
                              std::clamp(widths[c] + 1, 6, 60), nullptr));
  worksheet_freeze_panes(sheet, 1, 0);
  const lxw_error closed = workbook_close(book);  // frees the workbook whatever happens
  note(closed);
  if (status != LXW_NO_ERROR) {
    std::error_code ec;
    fs::remove(path, ec);
    o.fail(TableWriteFailure::Workbook, lxw_strerror(status));
  }
  return o;
}

}  // namespace tavrin
