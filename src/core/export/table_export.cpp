#include "base/text.h"
#include "export/table_export.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <fstream>
#include <system_error>

#include "base/log.h"
#include "app/paths.h"
#include "formats/csv_text.h"
#include "base/files.h"
#include "base/encoding.h"

namespace tavrin::exporting {

namespace fs = std::filesystem;

namespace {

constexpr const char* kByteOrderMark = "\xEF\xBB\xBF";
// A worksheet's limits: rows with the title row, columns, characters of a cell.
constexpr size_t kSheetRows = 1048576;
constexpr size_t kSheetCols = 16384;
constexpr size_t kCellChars = 32767;

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
std::string joinTable(const ExportTable& table, char sep, Field field, const char* end) {
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

// Why a file could not be written, for the user.
std::string reasonOf(const std::error_code& ec) {
  if (ec == std::errc::permission_denied || ec == std::errc::read_only_file_system ||
      ec == std::errc::operation_not_permitted)
    return "書き込みが許されていません";
  if (ec == std::errc::no_such_file_or_directory || ec == std::errc::not_a_directory) return "フォルダがありません";
  if (ec == std::errc::no_space_on_device) return "ディスクに空きがありません";
  return ec ? ec.message() : std::string("書き込みに失敗しました");
}

std::string cannotWrite(const fs::path& path, const std::string& reason) {
  return "ファイルに保存できませんでした: " + toUtf8(path) + "（" + reason + "）";
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

int displayWidth(const std::string& utf8) {
  int w = 0;
  for (char32_t c : codePoints(utf8)) w += wide(c) ? 2 : 1;
  return w;
}

std::string tsvText(const ExportTable& table) { return joinTable(table, '\t', tsvField, "\n"); }

std::string csvText(const ExportTable& table) { return joinTable(table, ',', csvField, "\r\n"); }

bool csvBytes(const ExportTable& table, ExportFormat format, std::string& out, std::string* error) {
  const std::string text = csvText(table);
  if (format != ExportFormat::CsvCp932) {
    out = kByteOrderMark + text;
    return true;
  }
  if (auto bytes = utf8ToCp932(text)) {
    out = std::move(*bytes);
    return true;
  }
  // Name the first text that has no counterpart.
  std::string where;
  auto check = [&](const std::string& cell, const std::string& place) {
    if (!where.empty() || utf8ToCp932(cell)) return;
    where = place + "「" + cell + "」";
  };
  for (size_t c = 0; c < table.titles.size(); ++c) check(table.titles[c], "見出し " + std::to_string(c + 1) + "列目");
  for (size_t r = 0; r < table.rows.size() && where.empty(); ++r)
    for (size_t c = 0; c < table.rows[r].size(); ++c)
      check(table.rows[r][c].text, std::to_string(r + 1) + "行目 " + std::to_string(c + 1) + "列目");
  if (error)
    *error = "Shift_JIS（cp932）で表せない文字があります" + (where.empty() ? std::string() : ": " + where) +
             "。CSV（UTF-8）かExcel形式で保存してください。";
  return false;
}

bool writeXlsx(const fs::path& path, const ExportTable& table, std::string* error) {
  auto fail = [&](const std::string& reason) {
    if (error) *error = cannotWrite(path, reason);
    return false;
  };
  if (table.rows.size() + 1 > kSheetRows) return fail("行が多すぎます（1,048,576行まで）");
  size_t cols = table.titles.size();
  for (const auto& row : table.rows) cols = std::max(cols, row.size());
  if (cols > kSheetCols) return fail("列が多すぎます（16,384列まで）");
  for (const auto& t : table.titles)
    if (!validUtf8(t) || codePoints(t).size() > kCellChars) return fail("見出しの文字列を書けません");
  for (const auto& row : table.rows)
    for (const auto& cell : row)
      if (!validUtf8(cell.text) || codePoints(cell.text).size() > kCellChars)
        return fail("書けない文字列があります（32,767文字まで）");

  const std::string file = path.string();
  lxw_workbook* book = workbook_new(file.c_str());
  if (!book) return fail("ワークブックを作れません");
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
      const ExportCell& cell = table.rows[r][c];
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
    return fail(lxw_strerror(status));
  }
  return true;
}

bool writeTable(const fs::path& path, const ExportTable& table, ExportFormat format, std::string* error) {
  std::string bytes;
  if (format == ExportFormat::Tsv) {
    bytes = tsvText(table);
  } else if (format != ExportFormat::Xlsx && !csvBytes(table, format, bytes, error)) {
    return false;
  }

  std::error_code ec;
  if (fs::is_directory(path, ec)) {
    if (error) *error = cannotWrite(path, "フォルダです");
    return false;
  }
  // A file made read-only is refused rather than replaced.
  if (fs::exists(path, ec) && (fs::status(path, ec).permissions() & fs::perms::owner_write) == fs::perms::none) {
    if (error) *error = cannotWrite(path, "読み取り専用のファイルです");
    return false;
  }
  const fs::path tmp = temporaryBeside(path);
  bool written = false;
  std::string reason;
  {
    // Opened here for every format, so that a folder that refuses the file
    // is named as such.
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (out) {
      out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
      out.close();
      written = static_cast<bool>(out);
      if (!written) reason = "書き込みに失敗しました";
    } else {
      reason = reasonOf(std::error_code(errno, std::generic_category()));
    }
    if (!written && error) *error = cannotWrite(path, reason);
  }
  if (written && format == ExportFormat::Xlsx) {
    written = writeXlsx(tmp, table, error);
    if (!written && error) {
      // Name the file the user chose, not the one in the making.
      const std::string own = toUtf8(tmp);
      const size_t at = error->find(own);
      if (at != std::string::npos) error->replace(at, own.size(), toUtf8(path));
    }
  }
  if (written) {
    ec = replaceWithWritten(tmp, path);
    if (!ec) return true;
    if (error) *error = cannotWrite(path, reasonOf(ec));
  } else {
    fs::remove(tmp, ec);
  }
  logLine("export", error ? *error : cannotWrite(path, reason));
  return false;
}

}  // namespace tavrin::exporting
