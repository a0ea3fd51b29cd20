// Our own walk over an .xls file's records, which runs before FreeXL sees a file.
#include <cstddef>
#include <cstdint>

#include "biff_scan.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const tavrin::xls::BookScan scan = tavrin::xls::scanWorkbook(data, size);
  for (const auto& sheet : scan.sheets) (void)tavrin::xls::refuseClaim(sheet);
  return 0;
}
