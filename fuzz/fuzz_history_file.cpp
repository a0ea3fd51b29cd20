// History files over any bytes: the layouts, and every date of their lines.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/calendar.h"
#include "formats/history_layout.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  (void)tavrin::readHistoryText(
      bytes, [](tavrin::HistoryLayout) { return std::string(); },
      [](const tavrin::HistoryTextLine& line) {
        (void)tavrin::parseHistoryDate(*line.date);
        return std::string();
      });
  return 0;
}
