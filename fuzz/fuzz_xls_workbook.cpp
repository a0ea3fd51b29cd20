// A whole .xls workbook as the imports open it: written to a file, read by the
// reader process under its limits, every sheet turned into a price index.
// The reader may crash on a damaged file; this process must not.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "formats/xls/workbook.h"

namespace {

std::filesystem::path scratchFile() {
  static const std::filesystem::path p =
      std::filesystem::temp_directory_path() / ("tavrin-fuzz-" + std::to_string(::getpid()) + ".xls");
  return p;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  {
    std::ofstream out(scratchFile(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  try {
    tavrin::ReaderLimits limits;
    limits.wallTime = std::chrono::milliseconds(3000);
    tavrin::Workbook book(scratchFile(), limits);
    for (const std::string& name : book.sheetNames()) {
      try {
        book.selectSheet(name);
        for (std::uint32_t r = 0; r < book.rows(); ++r)
          for (std::uint16_t c = 0; c < book.columns(); ++c) (void)book.cell(r, c).display();
      } catch (const tavrin::FormatError&) {
      }
    }
  } catch (const tavrin::FormatError&) {
  }
  return 0;
}
