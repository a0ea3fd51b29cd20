#pragma once
// The output of the workbook reader process (tavrin-xls-reader), little-endian:
//
//   "TXLS" u32 version
//   records: u8 kind, u32 length, payload of that length
//     'N' u32 count, count x (u32 length, UTF-8 name)           the sheet names, once, first
//     'S' u32 sheet, u8 status, u32 rows, u16 columns, u32 formula cells,
//         then for status Ok: u32 count, count cells in row-major order:
//           u32 row, u16 column, u8 type (1 int64, 2 double, 3 text),
//           8 bytes, or u32 length + UTF-8 text
//         otherwise: u32 length, the reason (UTF-8)
//     'F' the whole workbook was refused: u32 length, the reason
//     'E' u32 sheets written (the end; nothing may follow)
//
// The reader is fed untrusted files and may be broken by them, so the decoder
// takes nothing on trust: every length and index is checked against the
// bytes there are and the limits of the format.
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "base/value.h"

namespace tavrin {

inline constexpr char kXlsFrameMagic[4] = {'T', 'X', 'L', 'S'};
inline constexpr std::uint32_t kXlsFrameVersion = 1;
// A BIFF8 sheet holds at most this many rows and columns.
inline constexpr std::uint32_t kXlsMaxRows = 65536;
inline constexpr std::uint32_t kXlsMaxColumns = 256;

enum class XlsFrameKind : std::uint8_t { Names = 'N', Sheet = 'S', Refused = 'F', End = 'E' };
enum class XlsSheetStatus : std::uint8_t { Ok = 0, Unreadable = 1, Refused = 2 };
enum class XlsCellType : std::uint8_t { Integer = 1, Real = 2, Text = 3 };

struct XlsSheet {
  XlsSheetStatus status = XlsSheetStatus::Unreadable;
  std::string reason;  // why it could not be read
  std::uint32_t rows = 0;
  std::uint16_t columns = 0;
  std::uint32_t formulaCells = 0;
  // (row << 16 | column, value), ascending; empty cells are not listed.
  std::vector<std::pair<std::uint32_t, Value>> cells;
};

struct XlsContents {
  std::vector<std::string> sheetNames;
  std::vector<XlsSheet> sheets;  // one per name
  std::string refusal;           // set when the reader refused the whole workbook
};

// Decodes a complete reader output. Throws a damaged FormatError on anything out of
// shape: wrong header, a length or index out of range, cells out of order or
// outside the sheet, records missing, repeated or after the end.
XlsContents decodeXlsFrames(const unsigned char* data, std::size_t size);

// The key under which XlsSheet::cells lists a cell.
inline std::uint32_t xlsCellKey(std::uint32_t row, std::uint32_t column) { return row << 16 | column; }

}  // namespace tavrin
