#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/value.h"
#include "formats/format_error.h"

namespace tavrin {

// Every kind of file closing prices come from. A workbook (.xls, .xlsx, .ods)
// holds one sheet per period; a CSV file is one period and has no sheets.
enum class PriceFileKind { Xls, Xlsx, Ods, Csv };
const char* priceFileKindName(PriceFileKind kind);  // "xls", "xlsx", "ods", "csv"

// The cells of one sheet (0-based indexes), only those holding something:
// rows in ascending order, each with its cells in ascending column order.
struct SheetCells {
  struct Row {
    std::uint32_t index = 0;
    std::vector<std::pair<std::uint32_t, Value>> cells;
    // The cell of a column, or nullptr when it is empty.
    const Value* at(std::uint32_t column) const;
  };
  std::vector<Row> rows;
  // Formula cells the file gives without a computed value.
  std::size_t formulaCellsWithoutValue = 0;

  // The row of an index, or nullptr.
  const Row* row(std::uint32_t index) const;
  std::size_t cellCount() const;
};

// One opened price file. Readers are given untrusted files: a damaged one
// throws a FormatError, never more than a bounded amount of memory is used
// for what the file really holds.
class PriceFile {
 public:
  virtual ~PriceFile() = default;
  virtual PriceFileKind kind() const = 0;
  // False for CSV: the file is one period, its only "sheet" has no name.
  virtual bool hasSheets() const = 0;
  virtual std::vector<std::string> sheetNames() const = 0;
  // Index of the sheet of that name (ASCII letters compared without case), or -1.
  int findSheet(const std::string& name) const;
  // Reads one sheet whole; throws FormatError when it is absent or
  // unreadable. For a CSV file the name is not looked at.
  virtual SheetCells readSheet(const std::string& name) = 0;
};

// Limits every reader keeps to.
inline constexpr std::uintmax_t kMaxPriceFileBytes = 256u << 20;  // the file as stored
inline constexpr std::size_t kMaxSheetCells = 4'000'000;          // cells holding something, per sheet
inline constexpr std::uint32_t kMaxSheetRows = 1'048'576;
inline constexpr std::uint32_t kMaxSheetColumns = 16'384;

// What a file is, judged by its first bytes; the extension decides only
// between CSV and "not a price file" for text.
PriceFileKind detectPriceFileKind(const std::string& head, const std::filesystem::path& name);
// What a file that is no price file at all is, judged by its first bytes:
// "a PDF document", "a PNG image", "a zip archive"...; nullptr for anything
// a price file's reader should look at (a workbook, text).
const char* otherFileKind(const std::string& head);
// The same for a file on disk (nothing when it cannot be read).
std::optional<PriceFileKind> priceFileKindOf(const std::filesystem::path& path);

// Opens a file of any kind by its content (an .xlsx renamed .xls is read as
// .xlsx). Throws FormatError: Unavailable when it is missing or cannot be
// read, Damaged when its content is no price file.
std::unique_ptr<PriceFile> openPriceFile(const std::filesystem::path& path);
// The same over bytes in memory (.xls is not read from memory).
std::unique_ptr<PriceFile> openPriceFileBytes(std::string bytes, PriceFileKind kind);

// Readers of the single kinds.
std::unique_ptr<PriceFile> openXlsFile(const std::filesystem::path& path);
std::unique_ptr<PriceFile> openXlsxBytes(std::string bytes);
std::unique_ptr<PriceFile> openOdsBytes(std::string bytes);
std::unique_ptr<PriceFile> openCsvBytes(std::string bytes);

}  // namespace tavrin
