// tavrin-xls-reader FILE: reads an .xls workbook with FreeXL and writes its
// sheet names and the cells of every sheet to stdout in the framing that
// registration/xls_frames.h describes. It runs as a short-lived child of the
// program, so that a workbook which breaks FreeXL breaks only this process.
#include <freexl.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "biff_scan.h"
#include "formats/xls/xls_frames.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TAVRIN_READER_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define TAVRIN_READER_ASAN 1
#endif

namespace {

using namespace tavrin;

void put8(std::string& o, std::uint8_t v) { o.push_back(static_cast<char>(v)); }
void put16(std::string& o, std::uint16_t v) {
  for (int i = 0; i < 2; ++i) o.push_back(static_cast<char>(v >> (8 * i)));
}
void put32(std::string& o, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) o.push_back(static_cast<char>(v >> (8 * i)));
}
void put64(std::string& o, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) o.push_back(static_cast<char>(v >> (8 * i)));
}
void putText(std::string& o, const std::string& t) {
  put32(o, static_cast<std::uint32_t>(t.size()));
  o += t;
}

bool emit(XlsFrameKind kind, const std::string& payload) {
  std::string head;
  put8(head, static_cast<std::uint8_t>(kind));
  put32(head, static_cast<std::uint32_t>(payload.size()));
  return std::fwrite(head.data(), 1, head.size(), stdout) == head.size() &&
         std::fwrite(payload.data(), 1, payload.size(), stdout) == payload.size();
}

int refuse(const std::string& why) {
  std::string p;
  putText(p, why);
  emit(XlsFrameKind::Refused, p);
  std::fflush(stdout);
  return 3;
}

std::string sheetRecord(std::uint32_t index, XlsSheetStatus status, std::uint32_t rows, std::uint16_t cols,
                        std::uint32_t formulas) {
  std::string p;
  put32(p, index);
  put8(p, static_cast<std::uint8_t>(status));
  put32(p, rows);
  put16(p, cols);
  put32(p, formulas);
  return p;
}

void limitSelf() {
  // A damaged file must not take the machine with it. AddressSanitizer
  // reserves terabytes of address space, so its builds keep only the CPU limit.
#ifndef TAVRIN_READER_ASAN
  rlimit as{rlim_t{1} << 30, rlim_t{1} << 30};
  setrlimit(RLIMIT_AS, &as);
#endif
  rlimit cpu{10, 11};
  setrlimit(RLIMIT_CPU, &cpu);
}

}  // namespace

int main(int argc, char** argv) {
  limitSelf();
  const char* path = argc == 3 && std::strcmp(argv[1], "--") == 0 ? argv[2] : argc == 2 ? argv[1] : nullptr;
  if (!path) {
    std::fprintf(stderr, "usage: tavrin-xls-reader [--] FILE.xls\n");
    return 2;
  }
  std::string header(kXlsFrameMagic, 4);
  put32(header, kXlsFrameVersion);
  std::fwrite(header.data(), 1, header.size(), stdout);

  std::vector<unsigned char> bytes;
  {
    std::ifstream in(path, std::ios::binary);
    if (!in) return refuse("cannot open the file");
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  const xls::BookScan scan = xls::scanWorkbook(bytes.data(), bytes.size());
  if (!scan.ok) return refuse("not a readable .xls workbook (" + scan.problem + ")");
  bytes = {};

  const void* h = nullptr;
  const int rc = freexl_open(path, &h);
  if (rc != FREEXL_OK) return refuse("not a readable .xls workbook (FreeXL error " + std::to_string(rc) + ")");
  unsigned int count = 0;
  if (freexl_get_info(h, FREEXL_BIFF_SHEET_COUNT, &count) != FREEXL_OK || count > 65535)
    return refuse("cannot list the sheets");
  if (count != scan.sheets.size()) return refuse("the sheet list does not match the sheets' records");
  std::string names;
  put32(names, count);
  for (unsigned int i = 0; i < count; ++i) {
    const char* name = nullptr;
    putText(names, freexl_get_worksheet_name(h, static_cast<unsigned short>(i), &name) == FREEXL_OK && name
                       ? std::string(name)
                       : std::string());
  }
  if (!emit(XlsFrameKind::Names, names)) return 4;

  for (unsigned int i = 0; i < count; ++i) {
    const xls::SheetScan& s = scan.sheets[i];
    const std::string refusal = xls::refuseClaim(s);
    if (!refusal.empty()) {
      std::string p = sheetRecord(i, XlsSheetStatus::Refused, 0, 0, s.formulaCells);
      putText(p, refusal);
      if (!emit(XlsFrameKind::Sheet, p)) return 4;
      continue;
    }
    unsigned int rows = 0;
    unsigned short cols = 0;
    if (freexl_select_active_worksheet(h, static_cast<unsigned short>(i)) != FREEXL_OK ||
        freexl_worksheet_dimensions(h, &rows, &cols) != FREEXL_OK || rows > kXlsMaxRows || cols > kXlsMaxColumns) {
      std::string p = sheetRecord(i, XlsSheetStatus::Unreadable, 0, 0, s.formulaCells);
      putText(p, "FreeXL cannot read the sheet");
      if (!emit(XlsFrameKind::Sheet, p)) return 4;
      continue;
    }
    std::string cells;
    std::uint32_t n = 0;
    for (unsigned int r = 0; r < rows; ++r)
      for (unsigned short c = 0; c < cols; ++c) {
        FreeXL_CellValue v;
        if (freexl_get_cell_value(h, r, c, &v) != FREEXL_OK) continue;
        const std::size_t mark = cells.size();
        put32(cells, r);
        put16(cells, c);
        switch (v.type) {
          case FREEXL_CELL_INT:
            put8(cells, static_cast<std::uint8_t>(XlsCellType::Integer));
            put64(cells, static_cast<std::uint64_t>(static_cast<std::int64_t>(v.value.int_value)));
            break;
          case FREEXL_CELL_DOUBLE: {
            std::uint64_t bits;
            std::memcpy(&bits, &v.value.double_value, sizeof bits);
            put8(cells, static_cast<std::uint8_t>(XlsCellType::Real));
            put64(cells, bits);
            break;
          }
          case FREEXL_CELL_TEXT:
          case FREEXL_CELL_SST_TEXT:
          case FREEXL_CELL_DATE:
          case FREEXL_CELL_DATETIME:
          case FREEXL_CELL_TIME:
            if (!v.value.text_value) {
              cells.resize(mark);
              continue;
            }
            put8(cells, static_cast<std::uint8_t>(XlsCellType::Text));
            putText(cells, v.value.text_value);
            break;
          default: cells.resize(mark); continue;
        }
        ++n;
      }
    std::string p = sheetRecord(i, XlsSheetStatus::Ok, rows, cols, s.formulaCells);
    put32(p, n);
    p += cells;
    if (!emit(XlsFrameKind::Sheet, p)) return 4;
  }
  freexl_close(h);
  std::string end;
  put32(end, count);
  if (!emit(XlsFrameKind::End, end) || std::fflush(stdout) != 0) return 4;
  return 0;
}
