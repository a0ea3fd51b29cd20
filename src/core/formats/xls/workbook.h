#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/value.h"
#include "formats/format_error.h"
#include "formats/xls/reader_process.h"
#include "formats/xls/xls_frames.h"

namespace tavrin {

// One .xls workbook opened read-only (BIFF5/BIFF8 through FreeXL). Formula
// cells are delivered without their cached result, i.e. as empty cells.
//
// The file is read by a short-lived helper process (tavrin-xls-reader) under
// limits on time, memory and output; this object keeps the cells it sent.
// A workbook that makes the reader fail in any way is a damaged FormatError.
class Workbook {
 public:
  // Throws FormatError: Unavailable when the file is missing or the reader is
  // not installed, Damaged when the file could not be read.
  explicit Workbook(const std::filesystem::path& path);
  Workbook(const std::filesystem::path& path, const ReaderLimits& limits);
  ~Workbook();
  Workbook(const Workbook&) = delete;
  Workbook& operator=(const Workbook&) = delete;

  const std::filesystem::path& path() const { return path_; }
  const std::vector<std::string>& sheetNames() const { return sheetNames_; }
  // Index of the sheet of that name (ASCII letters compared without case), or -1.
  int findSheet(const std::string& name) const;
  // Makes a sheet the current one; throws FormatError: Unavailable when it is
  // absent, Damaged when it could not be read.
  void selectSheet(const std::string& name);

  // Size of the current sheet.
  std::uint32_t rows() const { return rows_; }
  std::uint16_t columns() const { return columns_; }
  // A cell of the current sheet (0-based): numbers as int64/double, text and
  // dates as text, empty and unreadable cells as Null.
  Value cell(std::uint32_t row, std::uint16_t col) const;
  // Formula cells (BIFF FORMULA records) of the current sheet: their values
  // are not read, so they show as empty.
  std::size_t formulaCells() const { return current_ ? current_->formulaCells : 0; }

 private:
  std::filesystem::path path_;
  std::vector<std::string> sheetNames_;
  std::vector<XlsSheet> sheets_;
  const XlsSheet* current_ = nullptr;
  std::uint32_t rows_ = 0;
  std::uint16_t columns_ = 0;
};

// The reader's output limit for a workbook file of that size: generous for
// any real sheet, small enough to keep a broken reader from filling memory.
std::size_t xlsOutputLimit(std::uintmax_t fileSize);

}  // namespace tavrin
