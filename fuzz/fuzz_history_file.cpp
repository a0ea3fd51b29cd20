// History files over any bytes: the layouts (the downloader's header rows
// among them), every line's fields, and every date.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/calendar.h"
#include "formats/history_layout.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::size_t groups = 0;
  std::size_t seen = 0;
  (void)tavrin::readHistoryText(
      bytes,
      [&](const tavrin::HistoryHeader& header) {
        groups = header.tickers.size();
        return std::string();
      },
      [&](const tavrin::HistoryTextLine& line) {
        // A line's group is one of the header's tickers (the only one without).
        if (line.group >= (groups ? groups : 1)) __builtin_trap();
        for (std::string_view f : {line.code, line.close, line.open, line.high, line.low, line.volume})
          seen += f.empty() ? 0 : static_cast<unsigned char>(f.back());
        (void)tavrin::parseHistoryDate(std::string(line.date));
        return std::string();
      });
  (void)seen;
  (void)tavrin::shownLine(bytes.substr(0, 200));
  return 0;
}
