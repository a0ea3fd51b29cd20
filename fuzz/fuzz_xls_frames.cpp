// The decoder of the workbook reader's output: it must hold against any bytes,
// since a reader broken by a damaged file may write anything.
#include <cstddef>
#include <cstdint>

#include "formats/format_error.h"
#include "formats/xls/xls_frames.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    (void)tavrin::decodeXlsFrames(data, size);
  } catch (const tavrin::FormatError&) {
  }
  return 0;
}
