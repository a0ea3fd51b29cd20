#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tavrin {

// The sample market's next day as the paid daily-file services deliver it:
// code page 932, every field quoted, header "SC","名称","市場","業種","日付",
// "株価",…, one line per stock, "-" for a stock without a trade.
inline constexpr const char* kDemoNextDayCsv = "kabuka_20261209.csv";

struct DailyCsvRow {
  std::string code;
  std::string name;
  std::string market;
  std::int64_t close = 0;     // 0: no trade that day
  std::int64_t previous = 0;  // the day before; 0 when unknown
};

// Writes the file (dateText "2026/12/09"); throws std::runtime_error when it
// cannot be written or a name has no code page 932 form.
void writeDailyCsv(const std::filesystem::path& path, const std::string& dateText,
                   const std::vector<DailyCsvRow>& rows);

}  // namespace tavrin
