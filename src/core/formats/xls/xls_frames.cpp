#include "formats/xls/xls_frames.h"

#include <cstring>

#include "formats/format_error.h"

namespace tavrin {

namespace {

// A bounded little-endian reader over one span; any read past its end throws.
class Cursor {
 public:
  Cursor(const unsigned char* data, std::size_t size) : p_(data), left_(size) {}

  std::size_t left() const { return left_; }
  bool atEnd() const { return left_ == 0; }

  const unsigned char* take(std::size_t n) {
    if (n > left_) fail("a record runs past the end of the output");
    const unsigned char* at = p_;
    p_ += n;
    left_ -= n;
    return at;
  }
  std::uint8_t u8() { return *take(1); }
  std::uint16_t u16() {
    const unsigned char* b = take(2);
    return static_cast<std::uint16_t>(b[0] | b[1] << 8);
  }
  std::uint32_t u32() {
    const unsigned char* b = take(4);
    return static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
           static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
  }
  std::uint64_t u64() {
    const std::uint64_t lo = u32();
    return lo | static_cast<std::uint64_t>(u32()) << 32;
  }
  std::string text() {
    const std::uint32_t n = u32();
    const unsigned char* b = take(n);
    return std::string(reinterpret_cast<const char*>(b), n);
  }
  Cursor sub(std::size_t n) {
    const unsigned char* b = take(n);
    return Cursor(b, n);
  }

  [[noreturn]] static void fail(const std::string& why) {
    throw FormatError::damaged("the workbook reader's output is garbled: " + why);
  }

 private:
  const unsigned char* p_;
  std::size_t left_;
};

XlsSheet decodeSheet(Cursor& c) {
  XlsSheet s;
  const std::uint8_t status = c.u8();
  if (status > static_cast<std::uint8_t>(XlsSheetStatus::Refused)) Cursor::fail("unknown sheet status");
  s.status = static_cast<XlsSheetStatus>(status);
  s.rows = c.u32();
  s.columns = c.u16();
  s.formulaCells = c.u32();
  if (s.rows > kXlsMaxRows || s.columns > kXlsMaxColumns) Cursor::fail("a sheet larger than the format allows");
  if (s.status != XlsSheetStatus::Ok) {
    s.reason = c.text();
    s.rows = 0;
    s.columns = 0;
  } else {
    const std::uint32_t count = c.u32();
    // The smallest cell (an empty text) takes 11 bytes: refuse a count the record cannot hold
    // before reserving for it.
    if (count > c.left() / 11 || count > static_cast<std::uint64_t>(s.rows) * s.columns)
      Cursor::fail("more cells than the record holds");
    s.cells.reserve(count);
    std::uint32_t previous = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::uint32_t row = c.u32();
      const std::uint16_t col = c.u16();
      if (row >= s.rows || col >= s.columns) Cursor::fail("a cell outside its sheet");
      const std::uint32_t key = xlsCellKey(row, col);
      if (i > 0 && key <= previous) Cursor::fail("cells out of order");
      previous = key;
      switch (c.u8()) {
        case static_cast<std::uint8_t>(XlsCellType::Integer):
          s.cells.emplace_back(key, Value(static_cast<std::int64_t>(c.u64())));
          break;
        case static_cast<std::uint8_t>(XlsCellType::Real): {
          const std::uint64_t bits = c.u64();
          double d;
          std::memcpy(&d, &bits, sizeof d);
          s.cells.emplace_back(key, Value(d));
          break;
        }
        case static_cast<std::uint8_t>(XlsCellType::Text): s.cells.emplace_back(key, Value(c.text())); break;
        default: Cursor::fail("unknown cell type");
      }
    }
  }
  if (!c.atEnd()) Cursor::fail("bytes left over in a sheet record");
  return s;
}

}  // namespace

XlsContents decodeXlsFrames(const unsigned char* data, std::size_t size) {
  Cursor c(data, size);
  if (size < 8 || std::memcmp(c.take(4), kXlsFrameMagic, 4) != 0) Cursor::fail("no header");
  if (c.u32() != kXlsFrameVersion) Cursor::fail("another version");
  XlsContents out;
  bool haveNames = false, ended = false;
  std::vector<bool> seen;
  while (!c.atEnd()) {
    if (ended) Cursor::fail("records after the end");
    const std::uint8_t kind = c.u8();
    const std::uint32_t length = c.u32();
    Cursor rec = c.sub(length);
    switch (kind) {
      case static_cast<std::uint8_t>(XlsFrameKind::Names): {
        if (haveNames) Cursor::fail("the sheet names twice");
        haveNames = true;
        const std::uint32_t count = rec.u32();
        if (count > rec.left() / 4 || count > 65535) Cursor::fail("more sheet names than the record holds");
        for (std::uint32_t i = 0; i < count; ++i) out.sheetNames.push_back(rec.text());
        if (!rec.atEnd()) Cursor::fail("bytes left over in the names");
        out.sheets.resize(count);
        seen.assign(count, false);
        break;
      }
      case static_cast<std::uint8_t>(XlsFrameKind::Sheet): {
        if (!haveNames) Cursor::fail("a sheet before the names");
        const std::uint32_t index = rec.u32();
        if (index >= out.sheets.size() || seen[index]) Cursor::fail("a sheet index out of range or repeated");
        seen[index] = true;
        out.sheets[index] = decodeSheet(rec);
        break;
      }
      case static_cast<std::uint8_t>(XlsFrameKind::Refused): {
        out.refusal = rec.text();
        if (out.refusal.empty()) out.refusal = "refused";
        if (!rec.atEnd()) Cursor::fail("bytes left over in a refusal");
        ended = true;  // a refusal is the last word
        break;
      }
      case static_cast<std::uint8_t>(XlsFrameKind::End): {
        if (!haveNames) Cursor::fail("the end before the names");
        if (rec.u32() != out.sheets.size() || !rec.atEnd()) Cursor::fail("a wrong sheet count at the end");
        for (bool s : seen)
          if (!s) Cursor::fail("a sheet missing");
        ended = true;
        break;
      }
      default: Cursor::fail("an unknown record");
    }
  }
  if (!ended) Cursor::fail("the output stops before its end");
  return out;
}

}  // namespace tavrin
