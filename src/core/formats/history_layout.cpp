#include "formats/history_layout.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "base/encoding.h"
#include "base/text.h"
#include "formats/cell_text.h"
#include "formats/csv_text.h"

namespace tavrin {

std::string readHistoryText(const std::string& raw, const std::function<std::string(HistoryLayout)>& onLayout,
                            const std::function<std::string(const HistoryTextLine&)>& onLine) {
  if (raw.find('\0') != std::string::npos) return "not a text file";
  const std::optional<std::string> text = decodeTextFile(raw);
  if (!text) return "neither UTF-8 nor code page 932 text";
  TextLines lines(*text);

  std::string_view line;
  bool haveHeader = false;
  while (lines.next(line))
    if (!trimmed(line).empty()) {
      haveHeader = true;
      break;
    }
  if (!haveHeader) return "empty file";
  const char sep = detectSeparator(line);
  std::vector<std::string> fields;
  if (!splitCsvLine(line, sep, fields)) return "line 1: unclosed quote";
  std::vector<std::string> keys;
  for (const std::string& f : fields) keys.push_back(headerKey(f));

  const int dateCol = findHeaderColumn(keys, {"date", "日付", "日時", "年月日", "取引日"});
  const int closeCol = findHeaderColumn(keys, {"close", "終値", "株価", "現在値"});
  const int codeCol = findHeaderColumn(keys, {"ticker", "コード", "銘柄コード", "証券コード", "code", "sc", "symbol"});
  if (dateCol < 0 || closeCol < 0) return "line " + std::to_string(lines.number()) + ": no date and close columns";
  const HistoryLayout layout = codeCol < 0                                      ? HistoryLayout::Export
                               : keys[static_cast<size_t>(codeCol)] == "ticker" ? HistoryLayout::BulkDownload
                                                                                : HistoryLayout::PerDay;
  if (std::string refused = onLayout(layout); !refused.empty()) return refused;
  const size_t needed = static_cast<size_t>(std::max({dateCol, closeCol, codeCol})) + 1;

  while (lines.next(line)) {
    if (trimmed(line).empty()) continue;
    HistoryTextLine l;
    l.number = lines.number();
    if (!splitCsvLine(line, sep, fields)) return l.where() + ": unclosed quote";
    if (fields.size() < needed) return l.where() + ": " + std::to_string(fields.size()) + " fields";
    if (codeCol >= 0) l.code = &fields[static_cast<size_t>(codeCol)];
    l.date = &fields[static_cast<size_t>(dateCol)];
    l.close = &fields[static_cast<size_t>(closeCol)];
    if (std::string refused = onLine(l); !refused.empty()) return refused;
  }
  return {};
}

}  // namespace tavrin
