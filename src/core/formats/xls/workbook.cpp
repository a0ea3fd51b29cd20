#include "formats/xls/workbook.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/files.h"
#include "base/text.h"

namespace tavrin {

namespace {}  // namespace

Workbook::Workbook(const std::filesystem::path& path) : Workbook(path, ReaderLimits{}) {}

Workbook::Workbook(const std::filesystem::path& path, const ReaderLimits& limitsIn) : path_(path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) throw FormatError::unavailable("no such workbook: " + toUtf8(path));
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec) throw FormatError::unavailable("cannot read " + toUtf8(path) + ": " + ec.message());
  const std::filesystem::path reader = xlsReaderProgram();
  if (reader.empty()) throw FormatError::unavailable("the workbook reader tavrin-xls-reader is not installed");

  ReaderLimits limits = limitsIn;
  limits.outputBytes = std::min(limits.outputBytes, xlsOutputLimit(size));
  ReaderRun run = runReader(reader, {"--", toUtf8(path)}, limits);
  if (run.end == ReaderRun::End::NotStarted)
    throw FormatError::unavailable("cannot start the workbook reader " + toUtf8(reader));
  XlsContents contents;
  try {
    contents = decodeXlsFrames(reinterpret_cast<const unsigned char*>(run.output.data()), run.output.size());
  } catch (const FormatError& e) {
    // A reader that crashed or was killed says so; otherwise the output is at fault.
    if (!run.ok()) throw FormatError::damaged("the workbook reader " + run.describe() + ": " + toUtf8(path));
    throw FormatError::damaged(std::string(e.what()) + ": " + toUtf8(path));
  }
  if (!contents.refusal.empty()) throw FormatError::damaged(contents.refusal + ": " + toUtf8(path));
  if (!run.ok()) throw FormatError::damaged("the workbook reader " + run.describe() + ": " + toUtf8(path));
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
  if (index < 0) throw FormatError::unavailable("no sheet " + name + " in " + toUtf8(path_));
  const XlsSheet& sheet = sheets_[static_cast<size_t>(index)];
  if (sheet.status != XlsSheetStatus::Ok)
    throw FormatError::damaged("cannot read sheet " + name + " (" + sheet.reason + ") in " + toUtf8(path_));
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

}  // namespace tavrin
