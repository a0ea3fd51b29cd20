#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace tavrin {

// The layouts of history files (closes by day, comma or tab separated, UTF-8
// or code page 932), found by the header names of their first line:
// - the bulk-download layout, one or many tickers a file:
//   <TICKER>,<PER>,<DATE>,<TIME>,<OPEN>,<HIGH>,<LOW>,<CLOSE>,<VOL>,<OPENINT>;
// - the export layout Date,Open,High,Low,Close,Volume without a code column
//   (the file's name says whose closes they are);
// - per-day files with a code column (コード, 銘柄コード, 証券コード, Code, SC …),
//   a date column (日付, 日時, Date …) and a close column (終値, 株価, Close …).
enum class HistoryLayout { BulkDownload, Export, PerDay };

// One data line of a history file, its fields as text (valid during the call).
struct HistoryTextLine {
  std::size_t number = 0;             // counted from 1, the header included
  const std::string* code = nullptr;  // none in the export layout
  const std::string* date = nullptr;
  const std::string* close = nullptr;
  // "line 7", for the reasons a line is refused.
  std::string where() const { return "line " + std::to_string(number); }
};

// Reads a history file's bytes line by line. onLayout is told the layout
// once the header is read, onLine each data line; either returns a reason
// (non-empty) to refuse the file. Returns why the file is refused ("line 7:
// unclosed quote", "empty file", what a callback said), empty when every line
// was read.
std::string readHistoryText(const std::string& raw, const std::function<std::string(HistoryLayout)>& onLayout,
                            const std::function<std::string(const HistoryTextLine&)>& onLine);

}  // namespace tavrin
