// A CSV price file: one period, no sheets. Text in UTF-8 (with or without a
// byte order mark) or code page 932; comma, tab or semicolon separated, the
// separator taken from the first line; fields may be quoted.
#include "base/files.h"
#include "formats/cell_text.h"
#include "formats/csv_text.h"
#include "formats/price_file.h"

namespace tavrin {

namespace {

class CsvFile : public PriceFile {
 public:
  explicit CsvFile(SheetCells cells) : cells_(std::move(cells)) {}
  PriceFileKind kind() const override { return PriceFileKind::Csv; }
  bool hasSheets() const override { return false; }
  std::vector<std::string> sheetNames() const override { return {}; }
  SheetCells readSheet(const std::string&) override { return cells_; }

 private:
  SheetCells cells_;
};

}  // namespace

std::unique_ptr<PriceFile> openCsvBytes(std::string bytes) {
  if (bytes.size() > kMaxPriceFileBytes) throw FormatError::damaged("the file is larger than any price file");
  // Nothing is decoded or split before the lines are known to be bounded.
  if (bytes.find('\0') == std::string::npos)
    if (const std::size_t line = firstLineLongerThan(bytes, kMaxLineBytes))
      throw FormatError::damaged(longLineReason(line));
  const std::optional<std::string> text = decodeTextFile(bytes);
  bytes = {};
  if (!text) throw FormatError::damaged("not a text file in UTF-8 or code page 932");
  TextLines lines(*text);
  SheetCells cells;
  SheetBuilder builder(cells);
  std::string_view line;
  std::vector<std::string> fields;
  char sep = 0;
  std::uint32_t row = 0;
  while (lines.next(line)) {
    if (trimmed(line).empty()) continue;
    if (!sep) sep = detectSeparator(line);
    if (row >= kMaxSheetRows) throw FormatError::damaged("more rows than a price file holds");
    if (!splitCsvLine(line, sep, fields))
      throw FormatError::damaged("line " + std::to_string(lines.number()) + ": a quote is not closed");
    if (fields.size() > kMaxSheetColumns) throw FormatError::damaged("more columns than a price file holds");
    for (std::size_t c = 0; c < fields.size(); ++c) {
      if (fields[c].empty()) continue;
      if (!builder.add(row, static_cast<std::uint32_t>(c), numberOrText(fields[c])))
        throw FormatError::damaged("more cells than a price file holds");
    }
    ++row;
  }
  builder.finish();
  return std::make_unique<CsvFile>(std::move(cells));
}

}  // namespace tavrin
