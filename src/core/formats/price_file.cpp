#include "formats/price_file.h"

#include <algorithm>
#include <cstring>
#include <fstream>

#include "base/files.h"
#include "base/text.h"
#include "formats/csv_text.h"

namespace tavrin {

namespace {

bool startsWith(const std::string& s, const char* prefix, std::size_t n) {
  return s.size() >= n && std::memcmp(s.data(), prefix, n) == 0;
}

// The file's bytes. A text file's lines are no longer than a line may be:
// the reading stops at a longer one (its number in longLine), keeping what
// was read.
std::string readWhole(const std::filesystem::path& path, std::size_t lineLimit, std::size_t& longLine) {
  FileBytes file = readWholeFile(path, kMaxPriceFileBytes, lineLimit);
  longLine = file.line;
  switch (file.failure) {
    case FileBytes::Failure::None:
    case FileBytes::Failure::LineTooLong: return std::move(file.bytes);
    case FileBytes::Failure::Missing:
    case FileBytes::Failure::NotAFile: throw FormatError::unavailable("no such file: " + toUtf8(path));
    case FileBytes::Failure::TooLarge: throw FormatError::damaged("file too large for a price file: " + toUtf8(path));
    case FileBytes::Failure::Unreadable: break;
  }
  throw FormatError::unavailable((file.size ? "cannot open " : "cannot read ") + toUtf8(path));
}

}  // namespace

const char* priceFileKindName(PriceFileKind kind) {
  switch (kind) {
    case PriceFileKind::Xls: return "xls";
    case PriceFileKind::Xlsx: return "xlsx";
    case PriceFileKind::Ods: return "ods";
    case PriceFileKind::Csv: return "csv";
  }
  return "";
}

const Value* SheetCells::Row::at(std::uint32_t column) const {
  auto it = std::lower_bound(cells.begin(), cells.end(), column,
                             [](const std::pair<std::uint32_t, Value>& c, std::uint32_t col) { return c.first < col; });
  return it != cells.end() && it->first == column ? &it->second : nullptr;
}

const SheetCells::Row* SheetCells::row(std::uint32_t index) const {
  auto it =
      std::lower_bound(rows.begin(), rows.end(), index, [](const Row& r, std::uint32_t i) { return r.index < i; });
  return it != rows.end() && it->index == index ? &*it : nullptr;
}

std::size_t SheetCells::cellCount() const {
  std::size_t n = 0;
  for (const Row& r : rows) n += r.cells.size();
  return n;
}

int PriceFile::findSheet(const std::string& name) const {
  const std::vector<std::string> names = sheetNames();
  const std::string want = asciiLower(name);
  for (std::size_t i = 0; i < names.size(); ++i)
    if (asciiLower(names[i]) == want) return static_cast<int>(i);
  return -1;
}

PriceFileKind detectPriceFileKind(const std::string& head, const std::filesystem::path& name) {
  if (startsWith(head, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)) return PriceFileKind::Xls;
  if (startsWith(head, "PK\x03\x04", 4) || startsWith(head, "PK\x05\x06", 4)) {
    // Both are zip containers: an OpenDocument file starts with its
    // uncompressed "mimetype" entry.
    if (head.find("application/vnd.oasis.opendocument") != std::string::npos) return PriceFileKind::Ods;
    if (head.find("mimetype") != std::string::npos && head.find("xl/") == std::string::npos) return PriceFileKind::Ods;
    return PriceFileKind::Xlsx;
  }
  // BIFF5/BIFF8 without the compound file only comes from very old writers.
  const std::string ext = asciiLower(name.extension().string());
  if (ext == ".xls" && head.find('\0') != std::string::npos &&
      !(startsWith(head, "\xFF\xFE", 2) || startsWith(head, "\xFE\xFF", 2)))
    return PriceFileKind::Xls;  // binary but not a container we know: FreeXL says why
  return PriceFileKind::Csv;
}

const char* otherFileKind(const std::string& head) {
  static const struct {
    const char* magic;
    std::size_t size;
    const char* kind;
  } kKinds[] = {
      {"%PDF-", 5, "a PDF document"},
      {"\x89PNG\r\n\x1a\n", 8, "a PNG image"},
      {"\xFF\xD8\xFF", 3, "a JPEG image"},
      {"GIF8", 4, "a GIF image"},
      {"\x1F\x8B", 2, "a gzip archive"},
      {"BZh", 3, "a bzip2 archive"},
      {"\xFD"
       "7zXZ\0",
       6, "an xz archive"},
      {"7z\xBC\xAF\x27\x1C", 6, "a 7-Zip archive"},
      {"Rar!\x1A\x07", 6, "a RAR archive"},
      {"\x7F"
       "ELF",
       4, "a program"},
      {"SQLite format 3\0", 16, "an SQLite database"},
  };
  for (const auto& k : kKinds)
    if (startsWith(head, k.magic, k.size)) return k.kind;
  if (startsWith(head, "MZ", 2) && head.find('\0') != std::string::npos) return "a Windows program";
  // A Jet file carries its name after four bytes.
  if (head.size() >= 19 && (head.compare(4, 15, "Standard Jet DB") == 0 || head.compare(4, 15, "Standard ACE DB") == 0))
    return "an Access database";
  if (startsWith(head, "PK\x03\x04", 4)) {
    // A zip that is no workbook: no part of a workbook's in its first entry.
    const bool workbookLike =
        head.find("xl/") != std::string::npos || head.find("[Content_Types]") != std::string::npos ||
        head.find("mimetype") != std::string::npos || head.find("opendocument") != std::string::npos;
    if (!workbookLike) return "a zip archive";
  }
  return nullptr;
}

std::optional<PriceFileKind> priceFileKindOf(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string head(512, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<std::size_t>(in.gcount()));
  return detectPriceFileKind(head, path);
}

std::unique_ptr<PriceFile> openPriceFile(const std::filesystem::path& path) {
  const bool text = priceFileKindOf(path) == PriceFileKind::Csv;
  std::size_t longLine = 0;
  std::string bytes = readWhole(path, text ? kMaxLineBytes : 0, longLine);
  const PriceFileKind kind = detectPriceFileKind(bytes.substr(0, 512), path);
  if (kind == PriceFileKind::Xls && !longLine) return openXlsFile(path);
  // The bytes up to a long line: the reader refuses them as it would the
  // whole file (a binary file as no text), and never takes them for a file.
  std::unique_ptr<PriceFile> file = openPriceFileBytes(std::move(bytes), kind);
  if (longLine) throw FormatError::damaged(longLineReason(longLine));
  return file;
}

std::unique_ptr<PriceFile> openPriceFileBytes(std::string bytes, PriceFileKind kind) {
  switch (kind) {
    case PriceFileKind::Xlsx: return openXlsxBytes(std::move(bytes));
    case PriceFileKind::Ods: return openOdsBytes(std::move(bytes));
    case PriceFileKind::Csv: return openCsvBytes(std::move(bytes));
    case PriceFileKind::Xls: break;
  }
  throw FormatError::damaged(".xls workbooks are read from files only");
}

}  // namespace tavrin
