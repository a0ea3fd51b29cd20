#include "formats/table_writer.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <ostream>
#include <system_error>

#include "base/encoding.h"
#include "base/value.h"

namespace tavrin {

namespace fs = std::filesystem;

namespace {

constexpr const char* kByteOrderMark = "\xEF\xBB\xBF";

void appendField(std::string& out, const std::string& s, TableFormat format) {
  if (format == TableFormat::Tsv) {
    const std::size_t at = out.size();
    out += s;
    for (std::size_t i = at; i < out.size(); ++i)
      if (out[i] == '\t' || out[i] == '\n' || out[i] == '\r') out[i] = ' ';
    return;
  }
  if (s.find_first_of(",\"\r\n") == std::string::npos) {
    out += s;
    return;
  }
  out += '"';
  for (char c : s) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

// One line of texts (fieldAt(k) for k < n) as the format separates them.
template <class FieldAt>
void appendLine(std::string& out, std::size_t n, FieldAt fieldAt, TableFormat format) {
  const bool tsv = format == TableFormat::Tsv;
  for (std::size_t i = 0; i < n; ++i) {
    if (i) out += tsv ? '\t' : ',';
    appendField(out, fieldAt(i), format);
  }
  out += tsv ? "\n" : "\r\n";
}

// The code point at s[i] and the bytes it takes (a byte that starts no
// sequence counts as one).
char32_t codePointAt(const std::string& s, std::size_t i, std::size_t& len) {
  const auto b = static_cast<unsigned char>(s[i]);
  len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 1;
  if (i + len > s.size()) len = 1;
  char32_t cp = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
  for (std::size_t k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
  return cp;
}

// Code points of a UTF-8 text.
std::vector<char32_t> codePoints(const std::string& s) {
  std::vector<char32_t> out;
  for (std::size_t i = 0, len = 0; i < s.size(); i += len) out.push_back(codePointAt(s, i, len));
  return out;
}

std::size_t codePointCount(const std::string& s) {
  std::size_t n = 0;
  for (std::size_t i = 0, len = 0; i < s.size(); i += len, ++n) codePointAt(s, i, len);
  return n;
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
  for (std::size_t i = 0, len = 0; i < utf8.size(); i += len) w += wide(codePointAt(utf8, i, len)) ? 2 : 1;
  return w;
}

TableRows rowsOf(const TextTable& table) {
  TableRows rows;
  rows.titles = table.titles;
  rows.sheetName = table.sheetName;
  rows.count = table.rows.size();
  rows.row = [&table](std::size_t i, std::vector<TableCell>& cells) { cells = table.rows[i]; };
  return rows;
}

namespace {

constexpr std::size_t kChunkBytes = 256 * 1024;

// The lines of the rows handed to sink a chunk at a time (for code page 932
// each chunk converted: the code page keeps no state from one line to the
// next, so the bytes are those of the whole text converted at once).
template <class Sink>
TableWriteOutcome writeLines(const TableRows& t, TableFormat format, Sink&& sink, bool byteOrderMark = true) {
  TableWriteOutcome o;
  if (format == TableFormat::CsvUtf8 && byteOrderMark && !sink(std::string(kByteOrderMark))) {
    o.fail(TableWriteFailure::WriteFailed, "the bytes could not be written");
    return o;
  }
  std::string chunk;
  std::size_t chunkFirst = 0;  // the chunk's first line: 0 the titles, r + 1 row r
  std::vector<TableCell> cells;
  // Names the first text of lines first .. next - 1 that code page 932 lacks.
  auto findUnconvertible = [&](std::size_t first, std::size_t next) {
    auto check = [&](const std::string& text, std::size_t row, std::size_t column) {
      if (o.cellFound || utf8ToCp932(text)) return;
      o.cellFound = true;
      o.row = row;
      o.column = column;
      o.cellText = text;
    };
    for (std::size_t line = first; line < next && !o.cellFound; ++line) {
      if (line == 0) {
        for (std::size_t c = 0; c < t.titles.size(); ++c) check(t.titles[c], 0, c + 1);
        continue;
      }
      cells.clear();
      t.row(line - 1, cells);
      for (std::size_t c = 0; c < cells.size(); ++c) check(cells[c].text, line, c + 1);
    }
    o.fail(TableWriteFailure::NotCp932, o.cellFound ? "no code page 932 for the text of row " + std::to_string(o.row) +
                                                          ", column " + std::to_string(o.column)
                                                    : "no code page 932 for the table's text");
  };
  auto flush = [&](std::size_t next) {
    if (chunk.empty()) return true;
    bool written;
    if (format == TableFormat::CsvCp932) {
      const std::optional<std::string> bytes = utf8ToCp932(chunk);
      if (!bytes) {
        findUnconvertible(chunkFirst, next);
        return false;
      }
      written = sink(*bytes);
    } else {
      written = sink(chunk);
    }
    if (!written) {
      o.fail(TableWriteFailure::WriteFailed, "the bytes could not be written");
      return false;
    }
    chunk.clear();
    chunkFirst = next;
    return true;
  };
  appendLine(
      chunk, t.titles.size(), [&](std::size_t i) -> const std::string& { return t.titles[i]; }, format);
  for (std::size_t r = 0; r < t.count; ++r) {
    if (chunk.size() >= kChunkBytes && !flush(r + 1)) return o;
    cells.clear();
    t.row(r, cells);
    appendLine(
        chunk, cells.size(), [&](std::size_t i) -> const std::string& { return cells[i].text; }, format);
  }
  flush(t.count + 1);
  return o;
}

std::string joinTable(const TextTable& table, TableFormat format) {
  std::string out;
  writeLines(
      rowsOf(table), format,
      [&out](const std::string& bytes) {
        out += bytes;
        return true;
      },
      false);
  return out;
}

}  // namespace

std::string tsvText(const TextTable& table) { return joinTable(table, TableFormat::Tsv); }

std::string csvText(const TextTable& table) { return joinTable(table, TableFormat::CsvUtf8); }

TableWriteOutcome writeDelimited(std::ostream& out, const TableRows& rows, TableFormat format) {
  if (format == TableFormat::Xlsx) format = TableFormat::CsvUtf8;
  return writeLines(rows, format, [&out](const std::string& bytes) {
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
  });
}

TableWriteOutcome csvBytes(const TextTable& table, TableFormat format, std::string& out) {
  if (format != TableFormat::CsvCp932) format = TableFormat::CsvUtf8;
  std::string bytes;
  TableWriteOutcome o = writeLines(rowsOf(table), format, [&bytes](const std::string& b) {
    bytes += b;
    return true;
  });
  out = o.done() ? std::move(bytes) : std::string();
  return o;
}

TableWriteOutcome writeXlsx(const fs::path& path, const TextTable& table) { return writeXlsx(path, rowsOf(table)); }

TableWriteOutcome writeXlsx(const fs::path& path, const TableRows& t) {
  TableWriteOutcome o;
  if (t.count + 1 > kSheetRows) {
    o.fail(TableWriteFailure::TooManyRows, std::to_string(t.count + 1) + " rows");
    return o;
  }
  auto tooWide = [&](std::size_t cols) {
    o.fail(TableWriteFailure::TooManyColumns, std::to_string(cols) + " columns");
    return o;
  };
  if (t.titles.size() > kSheetCols) return tooWide(t.titles.size());
  auto holdable = [](const std::string& text) { return validUtf8(text) && codePointCount(text) <= kCellChars; };
  for (std::size_t c = 0; c < t.titles.size(); ++c) {
    if (!holdable(t.titles[c])) {
      o.fail(TableWriteFailure::BadTitle, "title " + std::to_string(c + 1) + " is no text a cell holds");
      return o;
    }
  }

  const std::string file = path.string();
  // Each row goes to a scratch file as the next one begins; the scratch
  // files go beside the workbook rather than into a temporary folder that
  // may be kept in memory.
  std::error_code ec;
  std::string scratch = path.parent_path().string();
  if (scratch.empty()) scratch = ".";
  lxw_workbook_options options{};
  options.constant_memory = LXW_TRUE;
  options.tmpdir = fs::is_directory(scratch, ec) ? scratch.data() : nullptr;
  lxw_workbook* book = workbook_new_opt(file.c_str(), &options);
  if (!book) {
    o.fail(TableWriteFailure::NoWorkbook, "cannot start a workbook at " + file);
    return o;
  }
  const std::string sheetName = sheetNameFor(t.sheetName);
  lxw_worksheet* sheet = workbook_add_worksheet(book, sheetName.c_str());
  if (!sheet) sheet = workbook_add_worksheet(book, nullptr);
  lxw_format* bold = workbook_add_format(book);
  format_set_bold(bold);

  std::vector<int> widths(t.titles.size(), 0);
  lxw_error status = LXW_NO_ERROR;
  auto note = [&](lxw_error e) {
    if (status == LXW_NO_ERROR && e != LXW_NO_ERROR) status = e;
  };
  for (std::size_t c = 0; c < t.titles.size(); ++c) {
    note(worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(c), t.titles[c].c_str(), bold));
    widths[c] = std::max(widths[c], displayWidth(t.titles[c]) + 2);  // bold is wider
  }
  std::vector<TableCell> cells;
  for (std::size_t r = 0; r < t.count && o.done() && status == LXW_NO_ERROR; ++r) {
    cells.clear();
    t.row(r, cells);
    if (cells.size() > kSheetCols) {
      tooWide(cells.size());
      break;
    }
    if (cells.size() > widths.size()) widths.resize(cells.size(), 0);
    const auto row = static_cast<lxw_row_t>(r + 1);
    for (std::size_t c = 0; c < cells.size(); ++c) {
      const TableCell& cell = cells[c];
      if (cell.text.empty()) continue;
      if (!holdable(cell.text)) {
        o.fail(TableWriteFailure::BadCell,
               "row " + std::to_string(r + 1) + ", column " + std::to_string(c + 1) + " is no text a cell holds");
        break;
      }
      const auto col = static_cast<lxw_col_t>(c);
      std::optional<double> number = cell.number ? parseNumber(cell.text) : std::nullopt;
      if (number && std::isfinite(*number))
        note(worksheet_write_number(sheet, row, col, *number, nullptr));
      else
        note(worksheet_write_string(sheet, row, col, cell.text.c_str(), nullptr));
      widths[c] = std::max(widths[c], displayWidth(cell.text));
    }
  }
  for (std::size_t c = 0; c < widths.size(); ++c)
    note(worksheet_set_column(sheet, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c),
                              std::clamp(widths[c] + 1, 6, 60), nullptr));
  worksheet_freeze_panes(sheet, 1, 0);
  const lxw_error closed = workbook_close(book);  // frees the workbook whatever happens
  note(closed);
  if (!o.done() || status != LXW_NO_ERROR) {
    fs::remove(path, ec);
    if (o.done()) o.fail(TableWriteFailure::Workbook, lxw_strerror(status));
  }
  return o;
}

}  // namespace tavrin
