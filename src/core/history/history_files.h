#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/outcome.h"
#include "data/database.h"
#include "data/price_bars.h"
#include "history/history_checks.h"
#include "history/price_history.h"

namespace tavrin {

// History files from outside (the layouts: formats/history_layout.h): the
// downloader's pandas frame (Price/Ticker/Date header rows, one or many
// tickers), the bulk-download layout (<TICKER>,<PER>,<DATE>,…), the export
// layout Date,Open,High,Low,Close[,Adj Close],Volume with the code from the
// file name (7203.csv, 7203.T.csv, 130a.jp.txt -> 130A), and per-day files
// (日付, コード, 始値, 高値, 安値, 終値, 出来高 …), comma or tab separated, UTF-8
// or code page 932.
// Every line gives a bar of one stock: prices in tenths of a yen (thousands
// separators and full-width digits allowed), an empty open, high, low or
// volume unknown. A line with an empty close (or "-", "null") is no price and
// is skipped. A close that is not a positive number, a volume that is not a
// whole number, a date before the exchange reopened (1949-05-16) or after
// the latest day makes the line refused. A file is read whole and checked
// before anything is written: a refused line makes the file damaged, and
// nothing of it is kept.
struct HistoryFileRecord {
  std::string code;  // code key: "7203", "130A"
  Bar bar;
};

// Why a history file was not imported; detail gives the reason in English.
enum class HistoryFileFailure {
  None,
  Folder,      // the path is a folder
  Missing,     // no such file
  Empty,       // no bytes, or only blank lines
  OtherKind,   // no history layout in its first lines (a workbook, an archive, another table)
  Damaged,     // a line that breaks the file's own layout, or a refused line
  TooLarge,    // larger than any history file
  Unreadable,  // cannot be read
  NotWritten,  // the database refused the file's bars
};

struct ParsedHistoryFile : Outcome<HistoryFileFailure> {
  enum class Layout { Downloader, BulkDownload, Export, PerDay };
  Layout layout = Layout::Export;
  std::vector<HistoryFileRecord> records;
  std::size_t lines = 0;         // data lines read (the downloader's: one per line and ticker)
  std::size_t withoutClose = 0;  // of them without a price
  bool adjustedCloses = false;   // no Close column: the closes are Adj Close
  std::string firstLine;         // OtherKind: the first line, printable and cut to 60 characters
};

// The code an export file's name gives: the part before the first dot,
// letters upper-cased; nothing when that is empty.
std::optional<std::string> codeFromFileName(const std::string& fileName);

// The first day a history may hold: 1949-05-16, when the exchange reopened.
inline constexpr int kFirstHistoryDay = -7535;
// The latest day a history file may hold by default: tomorrow by the local
// clock (a file from a time zone ahead of ours may hold it).
int historyLatestDay();

// Reads the bytes of one file; fileName (no folder needed) gives the export
// layout its code. Days after latestDay are refused.
ParsedHistoryFile parseHistoryFile(const std::string& bytes, const std::string& fileName,
                                   int latestDay = historyLatestDay());

// Files larger than this are refused (TooLarge).
inline constexpr std::uintmax_t kMaxHistoryFileBytes = 512ull << 20;

// Reads one file whole and parses it: a folder, a missing, empty, too large
// or unreadable file and one of another kind each fail with their own kind.
ParsedHistoryFile readHistoryFile(const std::filesystem::path& path, int latestDay = historyLatestDay());

struct HistoryFileReport : Outcome<HistoryFileFailure> {
  std::filesystem::path file;
  bool imported = false;               // done and written
  std::size_t lines = 0;               // data lines
  std::size_t written = 0;             // closes stored
  std::set<std::string> unknownCodes;  // codes not in list, skipped
  std::size_t unknownLines = 0;
  bool adjustedCloses = false;  // the closes were Adj Close: the file has no Close column
  std::string firstLine;        // OtherKind: the file's first line as shown
};

struct HistoryImportProgress {
  std::size_t file = 0;   // files finished
  std::size_t files = 0;  // files given
  std::size_t lines = 0;  // data lines read so far
  std::size_t written = 0;
  std::string current;  // the file being read (name only)
};
// Returns false to stop after the file being written (the files done stay).
using HistoryProgressFn = std::function<bool(const HistoryImportProgress&)>;

// Why a history import could not run at all: the database could not be
// opened or prepared (detail gives the reason). Damaged files do not fail
// the import: they are counted and noted.
enum class HistoryImportFailure { None, Database };

struct HistoryImportOutcome : Outcome<HistoryImportFailure> {
  std::size_t files = 0;
  std::size_t imported = 0;
  std::size_t failed = 0;
  std::size_t lines = 0;
  std::size_t written = 0;
  bool stopped = false;
  std::set<std::string> unknownCodes;
  // Files with something to say: not imported, with unknown codes, or with
  // adjusted closes.
  std::vector<HistoryFileReport> notes;
  // After the import: the history's incomplete days, and what the checks
  // find in the stocks the import wrote.
  std::vector<HistoryDay> incompleteDays;
  std::vector<HistoryFinding> findings;
};

// Imports history files into an open price database. A file goes in whole or
// not at all (a damaged or failing file leaves the database as it was and the
// next file goes on); files are committed in batches, so that an interrupted
// import keeps whole files done before it, never part of one. Codes not in list are skipped and reported.
// Progress is reported after every file and within long files.
HistoryImportOutcome importHistoryFiles(Database& db, const std::vector<std::filesystem::path>& files,
                                        const HistoryProgressFn& progress = {});

}  // namespace tavrin
