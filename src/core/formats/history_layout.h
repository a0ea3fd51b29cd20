#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/outcome.h"

namespace tavrin {

// The layouts of history files (prices by day, comma or tab separated, UTF-8
// with or without a byte order mark, or code page 932), found by the header
// names within the first five lines that are not blank, columns in any order:
// - the downloader's pandas frame with a two-level column index as
//   DataFrame.to_csv writes it: a row of price names (Price,Adj Close,Close,
//   High,Low,Open,Volume), a row of tickers (Ticker,7203.T,…; the two in
//   either order) and the row of the index name (Date,,,…, absent when the
//   index has none); one column group per ticker, one or many tickers;
// - the bulk-download layout, one or many tickers a file:
//   <TICKER>,<PER>,<DATE>,<TIME>,<OPEN>,<HIGH>,<LOW>,<CLOSE>,<VOL>,<OPENINT>;
// - the export layout Date,Open,High,Low,Close[,Adj Close],Volume without a
//   code column (the file's name says whose prices they are);
// - per-day files with a code column (コード, 銘柄コード, 証券コード, Code, SC …),
//   a date column (日付, 日時, Date …) and a close column (終値, 株価, Close …),
//   始値, 高値, 安値 and 出来高 when they have them.
// Close is taken, Adj Close only when there is no Close.
enum class HistoryLayout { Downloader, BulkDownload, Export, PerDay };

// What the header says, told before the first data line.
struct HistoryHeader {
  HistoryLayout layout = HistoryLayout::Export;
  bool adjustedCloses = false;  // the closes are Adj Close: the file has no Close column
  // The downloader's layout: the ticker of each column group as written
  // ("7203.T"), in the order of their first column.
  std::vector<std::string> tickers;
};

// One data line of a history file (in the downloader's layout one column
// group of it), its fields as written, blanks around them dropped; a field
// is empty when the file has no such column. The views are valid during
// the call.
struct HistoryTextLine {
  std::size_t number = 0;  // counted from 1, the header included
  std::size_t group = 0;   // the downloader's layout: the index of the ticker in HistoryHeader::tickers
  std::string_view code;   // the code column's field; empty in the export and the downloader's layout
  std::string_view date;
  std::string_view close;  // Adj Close when the file has no Close
  std::string_view open;
  std::string_view high;
  std::string_view low;
  std::string_view volume;
  // "line 7", for the reasons a line is refused.
  std::string where() const { return "line " + std::to_string(number); }
};

// Why a history text was not read to its end; detail gives the reason in
// English ("line 7: unclosed quote", what a callback said).
enum class HistoryTextFailure {
  None,
  Empty,      // no bytes, or only blank lines
  OtherKind,  // no history header within the first five lines (binary files among them)
  Damaged,    // a line that breaks the file's own layout, or a callback's refusal
};
struct HistoryTextOutcome : Outcome<HistoryTextFailure> {
  // OtherKind: the first line that is not blank, printable and cut to 60
  // characters ("PK\x03\x04\x14\x00…").
  std::string firstLine;
};

// Reads a history file's bytes: onHeader is told the layout once the header
// is read, onLine each data line (lines whose fields are all empty are left
// out); either returns a reason (non-empty) to refuse the file. A line longer
// than kMaxLineBytes (formats/csv_text.h) refuses it as damaged before
// anything is converted or split.
using HistoryHeaderFn = std::function<std::string(const HistoryHeader&)>;
using HistoryLineFn = std::function<std::string(const HistoryTextLine&)>;
HistoryTextOutcome readHistoryText(std::string_view raw, const HistoryHeaderFn& onHeader, const HistoryLineFn& onLine);

// The first line as the messages show it: printable, at most `maxChars`
// characters (then "…"); bytes that are not UTF-8 shown as escapes.
std::string shownLine(std::string_view line, std::size_t maxChars = 60);

}  // namespace tavrin
