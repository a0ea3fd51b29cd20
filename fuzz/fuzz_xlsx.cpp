// The .xlsx reader over any bytes: every sheet read whole.
#include "read_every_sheet.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return tavrin::fuzz::readEverySheet(tavrin::openXlsxBytes, data, size);
}
