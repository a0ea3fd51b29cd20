#include "registration/workbook.h"

#include <freexl.h>

#include <cmath>
#include <limits>

#include "app/paths.h"

namespace tavrin {

namespace {

std::string asciiLower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

std::string trimBlanks(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r' || s[b] == '\n')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r' || s[e - 1] == '\n')) --e;
  return s.substr(b, e - b);
}

std::optional<std::string> wholeNumberKey(double v) {
  if (!std::isfinite(v) || v != std::floor(v) || std::fabs(v) >= 1e15) return std::nullopt;
  return std::to_string(static_cast<long long>(v));
}

}  // namespace

Workbook::Workbook(const std::filesystem::path& path) : path_(path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) throw WorkbookError("no such workbook: " + toUtf8(path));
  const void* h = nullptr;
  int rc = freexl_open(toUtf8(path).c_str(), &h);
  if (rc != FREEXL_OK) {
    if (h) freexl_close(h);
    throw WorkbookError("not a readable .xls workbook (FreeXL error " + std::to_string(rc) + "): " + toUtf8(path));
  }
  handle_ = h;
  unsigned int count = 0;
  if (freexl_get_info(handle_, FREEXL_BIFF_SHEET_COUNT, &count) != FREEXL_OK) {
    freexl_close(handle_);
    handle_ = nullptr;
    throw WorkbookError("cannot list the sheets of " + toUtf8(path));
  }
  for (unsigned int i = 0; i < count; ++i) {
    const char* name = nullptr;
    if (freexl_get_worksheet_name(handle_, static_cast<unsigned short>(i), &name) == FREEXL_OK && name)
      sheetNames_.emplace_back(name);
    else
      sheetNames_.emplace_back();
  }
}

Workbook::~Workbook() {
  if (handle_) freexl_close(handle_);
}

int Workbook::findSheet(const std::string& name) const {
  const std::string want = asciiLower(name);
  for (size_t i = 0; i < sheetNames_.size(); ++i)
    if (asciiLower(sheetNames_[i]) == want) return static_cast<int>(i);
  return -1;
}

void Workbook::selectSheet(const std::string& name) {
  const int index = findSheet(name);
  if (index < 0) throw WorkbookError("no sheet " + name + " in " + toUtf8(path_));
  unsigned int rows = 0;
  unsigned short cols = 0;
  if (freexl_select_active_worksheet(handle_, static_cast<unsigned short>(index)) != FREEXL_OK ||
      freexl_worksheet_dimensions(handle_, &rows, &cols) != FREEXL_OK)
    throw WorkbookError("cannot read sheet " + name + " in " + toUtf8(path_));
  rows_ = rows;
  columns_ = cols;
}

Value Workbook::cell(std::uint32_t row, std::uint16_t col) const {
  if (row >= rows_ || col >= columns_) return {};
  FreeXL_CellValue v;
  if (freexl_get_cell_value(handle_, row, col, &v) != FREEXL_OK) return {};
  switch (v.type) {
    case FREEXL_CELL_INT: return Value(static_cast<std::int64_t>(v.value.int_value));
    case FREEXL_CELL_DOUBLE: return Value(v.value.double_value);
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
    case FREEXL_CELL_DATE:
    case FREEXL_CELL_DATETIME:
    case FREEXL_CELL_TIME: return v.value.text_value ? Value(std::string(v.value.text_value)) : Value();
    default: return {};
  }
}

std::optional<std::int32_t> priceFromCell(const Value& cell) {
  double v;
  if (cell.isInteger()) {
    const std::int64_t i = cell.integer();
    if (i < std::numeric_limits<std::int32_t>::min() || i > std::numeric_limits<std::int32_t>::max())
      return std::nullopt;
    return static_cast<std::int32_t>(i);
  }
  if (!cell.isReal()) return std::nullopt;
  v = cell.real();
  if (!std::isfinite(v)) return std::nullopt;
  const double r = std::nearbyint(v);  // the default rounding: to nearest, halves to even
  if (r < -2147483648.0 || r > 2147483647.0) return std::nullopt;
  return static_cast<std::int32_t>(r);
}

std::optional<std::string> codeKey(const Value& code) {
  if (code.isInteger()) return std::to_string(code.integer());
  if (code.isReal()) return wholeNumberKey(code.real());
  if (!code.isText()) return std::nullopt;
  std::string t = trimBlanks(code.textValue());
  if (t.empty()) return std::nullopt;
  if (std::optional<double> n = parseNumber(t)) return wholeNumberKey(*n);
  return t;
}

PriceIndex buildPriceIndex(const Workbook& book) {
  PriceIndex index;
  const std::uint32_t rows = book.rows();
  index.reserve(rows);
  for (std::uint32_t r = 1; r < rows; ++r) {
    std::optional<std::string> key = codeKey(book.cell(r, 0));
    if (!key) continue;
    auto it = index.find(*key);
    if (it != index.end()) continue;  // the upper row wins
    index.emplace(std::move(*key), priceFromCell(book.cell(r, 2)));
  }
  return index;
}

QueryResult readSheetTable(const Workbook& book, std::size_t maxRows) {
  QueryResult out;
  const std::uint16_t cols = book.columns();
  for (std::uint16_t c = 0; c < cols; ++c) {
    Value title = book.cell(0, c);
    out.fields.push_back(title.isNull() ? "F" + std::to_string(c + 1) : title.display());
  }
  for (std::uint32_t r = 1; r < book.rows() && out.rows.size() < maxRows; ++r) {
    Row row;
    row.reserve(cols);
    for (std::uint16_t c = 0; c < cols; ++c) row.push_back(book.cell(r, c));
    out.rows.push_back(std::move(row));
  }
  return out;
}

}  // namespace tavrin
