// History files over any bytes, under each of the names that choose a layout.
#include <cstddef>
#include <cstdint>
#include <string>

#include "history/history_files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  for (const char* name : {"7203.jp.txt", "130a.csv", "20261209.csv"}) (void)tavrin::parseHistoryFile(bytes, name);
  return 0;
}
