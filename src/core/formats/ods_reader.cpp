// .ods (OpenDocument spreadsheet) workbooks: every sheet is a table of
// content.xml, read once when the file is opened.
#include <cstring>

#include "formats/cell_text.h"
#include "formats/price_file.h"
#include "formats/xml_stream.h"
#include "formats/zip_archive.h"

namespace tavrin {

namespace {

constexpr std::size_t kMaxSheets = 1024;
constexpr std::uint64_t kMaxRepeat = kMaxSheetRows;

std::uint64_t repeatCount(const char** atts, const char* name) {
  const char* r = findAttribute(atts, name);
  if (!r) return 1;
  char* end = nullptr;
  const unsigned long long v = std::strtoull(r, &end, 10);
  if (*end || v == 0) return 1;
  return v > kMaxRepeat ? kMaxRepeat : v;
}

struct ContentHandler : XmlHandler {
  std::vector<std::string> names;
  std::vector<SheetCells> sheets;
  std::size_t totalCells = 0;

  int tableDepth = 0;
  std::uint64_t row = 0, column = 0, rowRepeat = 1;
  // The row being read, replayed rowRepeat times at its end.
  std::vector<std::pair<std::uint64_t, Value>> rowCells;
  // The cell being read.
  bool inCell = false;
  int paragraph = 0;
  std::uint64_t columnRepeat = 1;
  Value cellValue;
  bool textCell = false, formulaNoValue = false;
  std::string text_;

  void start(const char* name, const char** atts) override {
    if (std::strcmp(name, "table") == 0) {
      if (++tableDepth > 1) return;  // tables inside cells are not sheets
      if (names.size() >= kMaxSheets) {
        error = "too many sheets";
        return;
      }
      const char* n = findAttribute(atts, "name");
      names.emplace_back(n ? n : "");
      sheets.emplace_back();
      row = 0;
      return;
    }
    if (tableDepth != 1) return;
    if (std::strcmp(name, "table-row") == 0) {
      rowRepeat = repeatCount(atts, "number-rows-repeated");
      column = 0;
      rowCells.clear();
    } else if (std::strcmp(name, "table-cell") == 0 || std::strcmp(name, "covered-table-cell") == 0) {
      inCell = true;
      columnRepeat = repeatCount(atts, "number-columns-repeated");
      cellValue = Value();
      text_.clear();
      textCell = false;
      formulaNoValue = false;
      const char* type = findAttribute(atts, "value-type");
      const char* formula = findAttribute(atts, "formula");
      if (!type) {
        formulaNoValue = formula != nullptr;
      } else if (!std::strcmp(type, "float") || !std::strcmp(type, "percentage") || !std::strcmp(type, "currency")) {
        const char* v = findAttribute(atts, "value");
        if (v && *v)
          cellValue = numberOrText(v);
        else
          formulaNoValue = formula != nullptr;
      } else if (!std::strcmp(type, "date")) {
        const char* v = findAttribute(atts, "date-value");
        if (v) cellValue = Value(std::string(v));
      } else if (!std::strcmp(type, "time")) {
        const char* v = findAttribute(atts, "time-value");
        if (v) cellValue = Value(std::string(v));
      } else if (!std::strcmp(type, "boolean")) {
        const char* v = findAttribute(atts, "boolean-value");
        cellValue = Value(std::string(v && !std::strcmp(v, "true") ? "TRUE" : "FALSE"));
      } else {
        textCell = true;  // string: the text of its paragraphs
        const char* v = findAttribute(atts, "string-value");
        if (v) {
          cellValue = Value(std::string(v));
          textCell = false;
        }
      }
    } else if (inCell && std::strcmp(name, "p") == 0) {
      if (paragraph == 0 && !text_.empty()) text_ += '\n';
      ++paragraph;
    } else if (inCell && paragraph > 0 && std::strcmp(name, "s") == 0) {
      std::uint64_t n = repeatCount(atts, "c");
      if (text_.size() + n > (1u << 20)) n = 0;
      text_.append(static_cast<std::size_t>(n), ' ');
    } else if (inCell && paragraph > 0 && std::strcmp(name, "tab") == 0) {
      text_ += '\t';
    }
  }

  void end(const char* name) override {
    if (std::strcmp(name, "table") == 0) {
      --tableDepth;
      return;
    }
    if (tableDepth != 1) return;
    if (std::strcmp(name, "p") == 0) {
      if (paragraph > 0) --paragraph;
    } else if (inCell && (std::strcmp(name, "table-cell") == 0 || std::strcmp(name, "covered-table-cell") == 0)) {
      inCell = false;
      if (textCell && !text_.empty()) cellValue = Value(text_);
      if (formulaNoValue) sheets.back().formulaCellsWithoutValue += static_cast<std::size_t>(columnRepeat);
      if (!cellValue.isNull()) {
        for (std::uint64_t i = 0; i < columnRepeat && column + i < kMaxSheetColumns; ++i) {
          rowCells.emplace_back(column + i, cellValue);
        }
      }
      column += columnRepeat;
    } else if (std::strcmp(name, "table-row") == 0) {
      if (!rowCells.empty()) {
        SheetBuilder builder(sheets.back());
        for (std::uint64_t r = 0; r < rowRepeat && row + r < kMaxSheetRows; ++r) {
          for (const auto& [col, v] : rowCells) {
            if (!budget()) return;
            if (!builder.add(static_cast<std::uint32_t>(row + r), static_cast<std::uint32_t>(col), v)) {
              error = "more cells than a price sheet can hold";
              return;
            }
          }
        }
      }
      row += rowRepeat;
    }
  }

  void text(const char* d, int n) override {
    if (inCell && paragraph > 0 && textCell) {
      if (text_.size() + static_cast<std::size_t>(n) > (1u << 20)) {
        error = "cell text too long";
        return;
      }
      text_.append(d, static_cast<std::size_t>(n));
    }
  }

  bool budget() {
    if (++totalCells > kMaxSheetCells) {
      error = "more cells than a price file can hold";
      return false;
    }
    return true;
  }
};

class OdsFile : public PriceFile {
 public:
  explicit OdsFile(std::unique_ptr<ZipArchive> zip) {
    ContentHandler h;
    parseXmlEntry(*zip, "content.xml", h);
    if (h.names.empty()) throw FormatError::damaged("the document holds no table");
    names_ = std::move(h.names);
    sheets_ = std::move(h.sheets);
  }
  PriceFileKind kind() const override { return PriceFileKind::Ods; }
  bool hasSheets() const override { return true; }
  std::vector<std::string> sheetNames() const override { return names_; }
  SheetCells readSheet(const std::string& name) override {
    const int index = findSheet(name);
    if (index < 0) throw FormatError::damaged("no sheet " + name);
    return sheets_[static_cast<std::size_t>(index)];
  }

 private:
  std::vector<std::string> names_;
  std::vector<SheetCells> sheets_;
};

}  // namespace

std::unique_ptr<PriceFile> openOdsArchive(std::unique_ptr<ZipArchive> zip) {
  if (!zip->has("content.xml")) throw FormatError::damaged("no content.xml in the .ods container");
  return std::make_unique<OdsFile>(std::move(zip));
}

std::unique_ptr<PriceFile> openOdsBytes(std::string bytes) {
  auto zip = std::make_unique<ZipArchive>(std::move(bytes));
  return openOdsArchive(std::move(zip));
}

}  // namespace tavrin
