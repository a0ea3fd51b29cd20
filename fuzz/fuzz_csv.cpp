// The CSV price-file reader over any bytes: decoded, split and indexed.
#include "read_every_sheet.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return tavrin::fuzz::readEverySheet(tavrin::openCsvBytes, data, size);
}
