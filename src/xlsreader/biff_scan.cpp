#include "biff_scan.h"

#include <algorithm>

namespace tavrin::xls {

namespace {

constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFree = 0xFFFFFFFF;

struct Bytes {
  const unsigned char* p;
  std::size_t n;
  bool has(std::size_t at, std::size_t len) const { return at <= n && len <= n - at; }
  std::uint16_t u16(std::size_t at) const { return static_cast<std::uint16_t>(p[at] | p[at + 1] << 8); }
  std::uint32_t u32(std::size_t at) const {
    return static_cast<std::uint32_t>(p[at]) | static_cast<std::uint32_t>(p[at + 1]) << 8 |
           static_cast<std::uint32_t>(p[at + 2]) << 16 | static_cast<std::uint32_t>(p[at + 3]) << 24;
  }
};

struct Failure {
  std::string why;
};

// The compound file (OLE2) container holding the workbook stream.
class Compound {
 public:
  explicit Compound(Bytes f) : f_(f) {
    static const unsigned char magic[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    if (!f_.has(0, 512) || !std::equal(magic, magic + 8, f_.p)) throw Failure{"not a compound file"};
    const std::uint16_t shift = f_.u16(0x1E);
    if (shift != 9 && shift != 12) throw Failure{"bad sector size"};
    sector_ = std::size_t{1} << shift;
    if (f_.u16(0x20) != 6) throw Failure{"bad mini sector size"};
    const std::size_t sectors = f_.n / sector_;
    // The FAT sectors: 109 in the header, the rest in the DIFAT chain.
    std::vector<std::uint32_t> fatSectors;
    const std::uint32_t fatCount = f_.u32(0x2C);
    if (fatCount > sectors) throw Failure{"more FAT sectors than the file holds"};
    for (std::uint32_t i = 0; i < 109 && fatSectors.size() < fatCount; ++i) fatSectors.push_back(f_.u32(0x4C + 4 * i));
    std::uint32_t difat = f_.u32(0x44);
    for (std::size_t guard = 0; fatSectors.size() < fatCount; ++guard) {
      if (guard > sectors) throw Failure{"DIFAT loop"};
      const std::size_t at = offset(difat);
      const std::size_t per = sector_ / 4 - 1;
      for (std::size_t i = 0; i < per && fatSectors.size() < fatCount; ++i) fatSectors.push_back(f_.u32(at + 4 * i));
      difat = f_.u32(at + 4 * per);
    }
    for (std::uint32_t s : fatSectors) {
      const std::size_t at = offset(s);
      for (std::size_t i = 0; i < sector_ / 4; ++i) fat_.push_back(f_.u32(at + 4 * i));
    }
    directory_ = chain(fat_, f_.u32(0x30), SIZE_MAX, false);
    miniCutoff_ = f_.u32(0x38);
    miniFatStart_ = f_.u32(0x3C);
  }

  // The bytes of the stream named Workbook (BIFF8) or Book (BIFF5).
  std::vector<unsigned char> workbookStream() {
    const Bytes d{directory_.data(), directory_.size()};
    std::size_t found = SIZE_MAX;
    for (std::size_t at = 0; d.has(at, 128); at += 128) {
      const std::uint16_t len = d.u16(at + 0x40);
      if (len < 2 || len > 64 || d.p[at + 0x42] != 2) continue;
      std::string name;
      for (std::size_t i = 0; i + 2 < len; i += 2) {
        const std::uint16_t ch = d.u16(at + i);
        name += ch < 128 ? static_cast<char>(ch >= 'a' && ch <= 'z' ? ch - 32 : ch) : '?';
      }
      if (name == "WORKBOOK" || (name == "BOOK" && found == SIZE_MAX)) found = at;
    }
    if (found == SIZE_MAX) throw Failure{"no workbook stream"};
    const std::uint32_t start = d.u32(found + 0x74);
    const std::uint32_t size = d.u32(found + 0x78);
    if (size >= miniCutoff_) return chain(fat_, start, size, false);
    // A small stream lives in the mini stream, held by the root entry.
    if (!d.has(0, 128)) throw Failure{"no root entry"};
    const std::vector<unsigned char> miniFatBytes = chain(fat_, miniFatStart_, SIZE_MAX, false);
    std::vector<std::uint32_t> miniFat;
    for (std::size_t i = 0; i + 4 <= miniFatBytes.size(); i += 4)
      miniFat.push_back(Bytes{miniFatBytes.data(), miniFatBytes.size()}.u32(i));
    mini_ = chain(fat_, d.u32(0x74), d.u32(0x78), false);
    return chain(miniFat, start, size, true);
  }

 private:
  std::size_t offset(std::uint32_t sector) const {
    const std::size_t at = (static_cast<std::size_t>(sector) + 1) * sector_;
    if (sector >= kEndOfChain - 8 || !f_.has(at, sector_)) throw Failure{"a sector beyond the file"};
    return at;
  }

  // Follows a chain of sectors (or mini sectors) up to `size` bytes.
  std::vector<unsigned char> chain(const std::vector<std::uint32_t>& table, std::uint32_t start, std::size_t size,
                                   bool mini) const {
    std::vector<unsigned char> out;
    const std::size_t unit = mini ? 64 : sector_;
    if (size != SIZE_MAX && size > f_.n) throw Failure{"a stream larger than the file"};
    std::uint32_t s = start;
    for (std::size_t steps = 0; s != kEndOfChain && out.size() < size; ++steps) {
      if (s == kFree || s >= table.size() || steps > table.size()) throw Failure{"a broken sector chain"};
      if (mini) {
        const std::size_t at = static_cast<std::size_t>(s) * 64;
        if (at > mini_.size() || mini_.size() - at < 64) throw Failure{"a mini sector beyond the mini stream"};
        out.insert(out.end(), mini_.begin() + static_cast<std::ptrdiff_t>(at),
                   mini_.begin() + static_cast<std::ptrdiff_t>(at + 64));
      } else {
        const std::size_t at = offset(s);
        out.insert(out.end(), f_.p + at, f_.p + at + unit);
      }
      s = table[s];
    }
    if (size != SIZE_MAX) {
      if (out.size() < size) throw Failure{"a stream shorter than its size"};
      out.resize(size);
    }
    return out;
  }

  Bytes f_;
  std::size_t sector_ = 512;
  std::vector<std::uint32_t> fat_;
  std::vector<unsigned char> directory_;
  std::vector<unsigned char> mini_;
  std::uint32_t miniCutoff_ = 4096;
  std::uint32_t miniFatStart_ = kEndOfChain;
};

void noteCell(SheetScan& s, std::uint32_t row, std::uint32_t col) {
  s.usedRows = std::max(s.usedRows, row + 1);
  s.usedColumns = std::max(s.usedColumns, col + 1);
}

SheetScan scanSheet(const Bytes& b, std::size_t at) {
  SheetScan s;
  if (!b.has(at, 4) || (b.u16(at) & 0xFF) != 0x09) throw Failure{"a sheet offset without its BOF"};
  int depth = 0;
  while (b.has(at, 4)) {
    const std::uint16_t type = b.u16(at), len = b.u16(at + 2);
    const std::size_t body = at + 4;
    if (!b.has(body, len)) throw Failure{"a record runs past the stream"};
    if ((type & 0xFF) == 0x09 && (type >> 8) <= 0x08)
      ++depth;
    else if (type == 0x000A && --depth == 0)
      return s;
    else if (depth == 1) {
      switch (type) {
        case 0x0200:  // DIMENSIONS
          s.hasDimensions = true;
          if (len >= 14) {
            s.claimedRows = b.u32(body + 4);
            s.claimedColumns = b.u16(body + 10);
            if (b.u32(body) > s.claimedRows || b.u16(body + 8) > s.claimedColumns) s.claimedRows = UINT32_MAX;
          } else if (len >= 10) {
            s.claimedRows = b.u16(body + 2);
            s.claimedColumns = b.u16(body + 6);
          } else
            throw Failure{"a short DIMENSIONS record"};
          break;
        case 0x0006:  // FORMULA
          ++s.formulaCells;
          [[fallthrough]];
        case 0x0201:
        case 0x0203:
        case 0x0204:
        case 0x0205:
        case 0x027E:
        case 0x00FD:
        case 0x00D6:
          if (len >= 4) noteCell(s, b.u16(body), b.u16(body + 2));
          break;
        case 0x00BD:  // MULRK
        case 0x00BE:  // MULBLANK: row, first column, ..., last column
          if (len >= 6) noteCell(s, b.u16(body), b.u16(body + len - 2));
          break;
        case 0x0208:  // ROW
          if (len >= 2) noteCell(s, b.u16(body), 0);
          break;
        default: break;
      }
    }
    at = body + len;
  }
  return s;  // a sheet cut off before its EOF: FreeXL decides
}

}  // namespace

BookScan scanWorkbook(const unsigned char* data, std::size_t size) {
  BookScan out;
  try {
    Compound file(Bytes{data, size});
    const std::vector<unsigned char> stream = file.workbookStream();
    const Bytes b{stream.data(), stream.size()};
    // The globals: BOUNDSHEET records up to the first EOF.
    std::vector<std::size_t> offsets;
    std::size_t at = 0;
    while (b.has(at, 4)) {
      const std::uint16_t type = b.u16(at), len = b.u16(at + 2);
      if (!b.has(at + 4, len)) throw Failure{"a record runs past the stream"};
      if (type == 0x000A) break;
      if (type == 0x0085 && len >= 6 && b.p[at + 4 + 5] == 0) offsets.push_back(b.u32(at + 4));
      at += 4 + std::size_t{len};
    }
    for (std::size_t o : offsets) out.sheets.push_back(scanSheet(b, o));
    out.ok = true;
  } catch (const Failure& f) {
    out.problem = f.why;
  }
  return out;
}

std::string refuseClaim(const SheetScan& s) {
  if (!s.hasDimensions) return {};
  if (s.claimedRows > 65536 || s.claimedColumns > 256)
    return "the sheet claims " + std::to_string(s.claimedRows) + " rows and " + std::to_string(s.claimedColumns) +
           " columns, beyond the format's 65536 x 256";
  // A large grid is accepted only when its records reach that far.
  const std::uint64_t cells = std::uint64_t{s.claimedRows} * s.claimedColumns;
  if (cells > (1u << 20) && (s.claimedRows > s.usedRows || s.claimedColumns > s.usedColumns))
    return "the sheet claims " + std::to_string(s.claimedRows) + " rows and " + std::to_string(s.claimedColumns) +
           " columns; its records reach " + std::to_string(s.usedRows) + " and " + std::to_string(s.usedColumns);
  return {};
}

}  // namespace tavrin::xls
