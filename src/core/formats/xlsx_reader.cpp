// .xlsx (Office Open XML) workbooks: the workbook part lists the sheets, its
// relationships name each sheet's part, shared strings are read once.
#include <cstring>
#include <map>

#include "formats/cell_text.h"
#include "formats/price_file.h"
#include "formats/xml_stream.h"
#include "formats/zip_archive.h"

namespace tavrin {

std::unique_ptr<PriceFile> openOdsArchive(std::unique_ptr<ZipArchive> zip);

namespace {

constexpr std::size_t kMaxSheets = 1024;

struct WorkbookHandler : XmlHandler {
  std::vector<std::pair<std::string, std::string>> sheets;  // name, relationship id
  void start(const char* name, const char** atts) override {
    if (std::strcmp(name, "sheet") != 0) return;
    if (sheets.size() >= kMaxSheets) {
      error = "too many sheets";
      return;
    }
    const char* n = findAttribute(atts, "name");
    const char* id = findAttribute(atts, "id");
    sheets.emplace_back(n ? n : "", id ? id : "");
  }
  void end(const char*) override {}
  void text(const char*, int) override {}
};

struct RelsHandler : XmlHandler {
  std::map<std::string, std::string> targets;
  void start(const char* name, const char** atts) override {
    if (std::strcmp(name, "Relationship") != 0 || targets.size() >= kMaxSheets * 4) return;
    const char* id = findAttribute(atts, "Id");
    const char* target = findAttribute(atts, "Target");
    if (id && target) targets[id] = target;
  }
  void end(const char*) override {}
  void text(const char*, int) override {}
};

// <si> items: the text of every <t>, except the phonetic runs (<rPh>).
struct SharedStringsHandler : XmlHandler {
  std::vector<std::string> strings;
  std::string current;
  bool inItem = false, inText = false;
  int phonetic = 0;
  void start(const char* name, const char**) override {
    if (std::strcmp(name, "si") == 0) {
      inItem = true;
      current.clear();
    } else if (std::strcmp(name, "rPh") == 0) {
      ++phonetic;
    } else if (std::strcmp(name, "t") == 0) {
      inText = inItem && phonetic == 0;
    }
  }
  void end(const char* name) override {
    if (std::strcmp(name, "si") == 0) {
      strings.push_back(current);
      inItem = false;
    } else if (std::strcmp(name, "rPh") == 0) {
      --phonetic;
    } else if (std::strcmp(name, "t") == 0) {
      inText = false;
    }
  }
  void text(const char* d, int n) override {
    if (inText) current.append(d, static_cast<std::size_t>(n));
  }
};

struct SheetHandler : XmlHandler {
  SheetHandler(SheetCells& out, const std::vector<std::string>& shared) : builder(out), cells(out), strings(shared) {}
  SheetBuilder builder;
  SheetCells& cells;
  const std::vector<std::string>& strings;

  std::uint32_t row = 0, column = 0;
  bool rowSeen = false;
  // The cell being read.
  bool inCell = false, inValue = false, inInlineText = false, hasFormula = false, hasValue = false;
  std::string type, value;

  void start(const char* name, const char** atts) override {
    if (std::strcmp(name, "row") == 0) {
      const char* r = findAttribute(atts, "r");
      std::uint32_t next = rowSeen ? row + 1 : 0;
      if (r) {
        char* end = nullptr;
        const unsigned long v = std::strtoul(r, &end, 10);
        if (*end == '\0' && v >= 1 && v <= kMaxSheetRows) next = static_cast<std::uint32_t>(v - 1);
      }
      if (next >= kMaxSheetRows) {
        error = "more rows than a sheet holds";
        return;
      }
      row = next;
      rowSeen = true;
      column = 0;
    } else if (std::strcmp(name, "c") == 0) {
      const char* ref = findAttribute(atts, "r");
      std::uint32_t r = row, c = column;
      if (ref && !parseCellReference(ref, r, c)) {
        error = std::string("bad cell reference ") + ref;
        return;
      }
      if (!rowSeen) row = r;
      column = c;
      const char* t = findAttribute(atts, "t");
      type = t ? t : "n";
      value.clear();
      inCell = true;
      hasFormula = hasValue = false;
    } else if (inCell && std::strcmp(name, "v") == 0) {
      inValue = true;
      hasValue = true;
    } else if (inCell && std::strcmp(name, "f") == 0) {
      hasFormula = true;
    } else if (inCell && std::strcmp(name, "t") == 0 && type == "inlineStr") {
      inInlineText = true;
      hasValue = true;
    }
  }
  void end(const char* name) override {
    if (std::strcmp(name, "v") == 0) {
      inValue = false;
    } else if (std::strcmp(name, "t") == 0) {
      inInlineText = false;
    } else if (std::strcmp(name, "c") == 0 && inCell) {
      inCell = false;
      finishCell();
      ++column;
    }
  }
  void text(const char* d, int n) override {
    if (inValue || inInlineText) {
      if (value.size() + static_cast<std::size_t>(n) > (1u << 20)) {
        error = "cell text too long";
        return;
      }
      value.append(d, static_cast<std::size_t>(n));
    }
  }

  void finishCell() {
    if (hasFormula && (!hasValue || value.empty())) {
      ++cells.formulaCellsWithoutValue;
      return;
    }
    if (!hasValue) return;
    Value v;
    if (type == "s") {
      char* end = nullptr;
      const unsigned long i = std::strtoul(value.c_str(), &end, 10);
      if (value.empty() || *end || i >= strings.size()) return;  // a missing string reads as empty
      if (strings[i].empty()) return;
      v = Value(strings[i]);
    } else if (type == "str" || type == "inlineStr" || type == "e" || type == "d") {
      if (value.empty()) return;
      v = Value(value);
    } else if (type == "b") {
      v = Value(std::string(value == "1" ? "TRUE" : "FALSE"));
    } else {
      if (value.empty()) return;
      v = numberOrText(value);
    }
    if (!builder.add(row, column, std::move(v))) error = "more cells than a price sheet can hold";
  }
};

std::string resolveTarget(const std::string& target) {
  if (!target.empty() && target[0] == '/') return target.substr(1);
  std::string t = target;
  std::string base = "xl/";
  while (t.rfind("../", 0) == 0) {
    t = t.substr(3);
    base.clear();
  }
  return base + t;
}

class XlsxFile : public PriceFile {
 public:
  explicit XlsxFile(std::unique_ptr<ZipArchive> zip) : zip_(std::move(zip)) {
    WorkbookHandler wb;
    parseXmlEntry(*zip_, "xl/workbook.xml", wb);
    if (wb.sheets.empty()) throw FormatError::damaged("the workbook lists no sheet");
    RelsHandler rels;
    if (zip_->has("xl/_rels/workbook.xml.rels")) parseXmlEntry(*zip_, "xl/_rels/workbook.xml.rels", rels);
    for (std::size_t i = 0; i < wb.sheets.size(); ++i) {
      names_.push_back(wb.sheets[i].first);
      auto it = rels.targets.find(wb.sheets[i].second);
      parts_.push_back(it != rels.targets.end() ? resolveTarget(it->second)
                                                : "xl/worksheets/sheet" + std::to_string(i + 1) + ".xml");
    }
  }
  PriceFileKind kind() const override { return PriceFileKind::Xlsx; }
  bool hasSheets() const override { return true; }
  std::vector<std::string> sheetNames() const override { return names_; }
  SheetCells readSheet(const std::string& name) override {
    const int index = findSheet(name);
    if (index < 0) throw FormatError::damaged("no sheet " + name);
    loadStrings();
    SheetCells cells;
    SheetHandler h(cells, strings_);
    parseXmlEntry(*zip_, parts_[static_cast<std::size_t>(index)], h);
    h.builder.finish();
    return cells;
  }

 private:
  void loadStrings() {
    if (stringsLoaded_) return;
    stringsLoaded_ = true;
    for (const char* part : {"xl/sharedStrings.xml", "xl/SharedStrings.xml"}) {
      if (!zip_->has(part)) continue;
      SharedStringsHandler h;
      parseXmlEntry(*zip_, part, h);
      strings_ = std::move(h.strings);
      break;
    }
  }

  std::unique_ptr<ZipArchive> zip_;
  std::vector<std::string> names_, parts_;
  std::vector<std::string> strings_;
  bool stringsLoaded_ = false;
};

}  // namespace

std::unique_ptr<PriceFile> openXlsxBytes(std::string bytes) {
  auto zip = std::make_unique<ZipArchive>(std::move(bytes));
  if (zip->has("xl/workbook.xml")) return std::make_unique<XlsxFile>(std::move(zip));
  if (zip->has("content.xml")) return openOdsArchive(std::move(zip));
  throw FormatError::damaged("a zip container that is neither an .xlsx nor an .ods workbook");
}

}  // namespace tavrin
