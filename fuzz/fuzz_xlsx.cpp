// The .xlsx reader over any bytes: every sheet read whole.
#include <cstddef>
#include <cstdint>
#include <string>

#include "readers/price_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    auto file = tavrin::openXlsxBytes(std::string(reinterpret_cast<const char*>(data), size));
    for (const std::string& name : file->sheetNames()) {
      try {
        (void)file->readSheet(name);
      } catch (const tavrin::PriceFileError&) {
      }
    }
  } catch (const tavrin::PriceFileError&) {
  }
  return 0;
}
