#include "registration/workbook.h"

#include <algorithm>
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

Workbook::Workbook(const std::filesystem::path& path) : Workbook(path, ReaderLimits{}) {}

Workbook::Workbook(const std::filesystem::path& path, const ReaderLimits& limitsIn) : path_(path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) throw WorkbookError("no such workbook: " + toUtf8(path));
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec) throw WorkbookError("cannot read " + toUtf8(path) + ": " + ec.message());
  const std::filesystem::path reader = xlsReaderProgram();
  if (reader.empty()) throw WorkbookError("the workbook reader tavrin-xls-reader is not installed");

  ReaderLimits limits = limitsIn;
  limits.outputBytes = std::min(limits.outputBytes, xlsOutputLimit(size));
  ReaderRun run = runReader(reader, {"--", toUtf8(path)}, limits);
  if (run.end == ReaderRun::End::NotStarted) throw WorkbookError("cannot start the workbook reader " + toUtf8(reader));
  XlsContents contents;
  try {
    contents = decodeXlsFrames(reinterpret_cast<const unsigned char*>(run.output.data()), run.output.size());
  } catch (const WorkbookDamaged& e) {
    // A reader that crashed or was killed says so; otherwise the output is at fault.
    if (!run.ok()) throw WorkbookDamaged("the workbook reader " + run.describe() + ": " + toUtf8(path));
    throw WorkbookDamaged(std::string(e.what()) + ": " + toUtf8(path));
  }
  if (!contents.refusal.empty()) throw WorkbookDamaged(contents.refusal + ": " + toUtf8(path));
  if (!run.ok()) throw WorkbookDamaged("the workbook reader " + run.describe() + ": " + toUtf8(path));
  sheetNames_ = std::move(contents.sheetNames);
  sheets_ = std::move(contents.sheets);
}

Workbook::~Workbook() = default;

int Workbook::findSheet(const std::string& name) const {
  const std::string want = asciiLower(name);
  for (size_t i = 0; i < sheetNames_.size(); ++i)
    if (asciiLower(sheetNames_[i]) == want) return static_cast<int>(i);
  return -1;
}

void Workbook::selectSheet(const std::string& name) {
  const int index = findSheet(name);
  if (index < 0) throw WorkbookError("no sheet " + name + " in " + toUtf8(path_));
  const XlsSheet& sheet = sheets_[static_cast<size_t>(index)];
  if (sheet.status != XlsSheetStatus::Ok)
    throw WorkbookDamaged("cannot read sheet " + name + " (" + sheet.reason + ") in " + toUtf8(path_));
  current_ = &sheet;
  rows_ = sheet.rows;
  columns_ = sheet.columns;
}

Value Workbook::cell(std::uint32_t row, std::uint16_t col) const {
  if (!current_ || row >= rows_ || col >= columns_) return {};
  const std::uint32_t key = xlsCellKey(row, col);
  const auto& cells = current_->cells;
  auto it = std::lower_bound(cells.begin(), cells.end(), key,
                             [](const std::pair<std::uint32_t, Value>& c, std::uint32_t k) { return c.first < k; });
  if (it == cells.end() || it->first != key) return {};
  return it->second;
}

std::size_t xlsOutputLimit(std::uintmax_t fileSize) {
  constexpr std::uintmax_t floor = 64u << 20, cap = 1024u << 20;
  const std::uintmax_t scaled = fileSize > cap / 64 ? cap : floor + fileSize * 64;
  return static_cast<std::size_t>(std::min(scaled, cap));
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
  const std::uint32_t rows = book.rows();  // at most 65,536: the reader refuses larger claims
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
