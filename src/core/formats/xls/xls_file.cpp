// An .xls workbook behind the price-file interface: read by the workbook
// reader process (formats/xls/workbook.h), which throws the FormatError of
// every other reader.
#include "formats/cell_text.h"
#include "formats/price_file.h"
#include "formats/xls/workbook.h"

namespace tavrin {

namespace {

class XlsFile : public PriceFile {
 public:
  explicit XlsFile(const std::filesystem::path& path) : book_(path) {}
  PriceFileKind kind() const override { return PriceFileKind::Xls; }
  bool hasSheets() const override { return true; }
  std::vector<std::string> sheetNames() const override { return book_.sheetNames(); }
  SheetCells readSheet(const std::string& name) override {
    book_.selectSheet(name);
    SheetCells cells;
    SheetBuilder builder(cells);
    for (std::uint32_t r = 0; r < book_.rows(); ++r)
      for (std::uint16_t c = 0; c < book_.columns(); ++c) {
        Value v = book_.cell(r, c);
        if (v.isNull()) continue;
        if (!builder.add(r, c, std::move(v))) throw FormatError::damaged("more cells than a price file holds");
      }
    builder.finish();
    cells.formulaCellsWithoutValue = book_.formulaCells();
    return cells;
  }

 private:
  Workbook book_;
};

}  // namespace

std::unique_ptr<PriceFile> openXlsFile(const std::filesystem::path& path) { return std::make_unique<XlsFile>(path); }

}  // namespace tavrin
