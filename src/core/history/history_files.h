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

// History files from outside, read by a small CSV reader of their own:
// - the bulk-download layout, one or many stocks a file:
//   <TICKER>,<PER>,<DATE>,<TIME>,<OPEN>,<HIGH>,<LOW>,<CLOSE>,<VOL>,<OPENINT>
//   (ticker "7203.JP", dates YYYYMMDD);
// - the export layout Date,Open,High,Low,Close,Volume, the code taken from
//   the file name (7203.csv, 7203.jp.txt, 130a.jp.txt -> 130A);
// - per-day files: a header with a code column (コード, 銘柄コード, 証券コード,
//   Code, SC …), a date column (日付, 日時, Date …) and a close column (終値,
//   株価, Close …), comma or tab separated, UTF-8 or code page 932.
// A file is read whole and checked before anything is written: a line that
// is not one of these layouts makes the file damaged, and nothing of it is
// kept. An empty close (or "-") is no price and is skipped.
struct HistoryFileRecord {
  std::string code;  // code key: "7203", "130A"
  Bar bar;
};

// Why a history file was not imported; detail gives the reason in English.
enum class HistoryFileFailure {
  None,
  Unreadable,  // cannot be read
  TooLarge,    // larger than any history file
  Damaged,     // a line that is none of the layouts
  NotWritten,  // the database refused the file's closes
};

struct ParsedHistoryFile : Outcome<HistoryFileFailure> {
  enum class Layout { BulkDownload, Export, PerDay };
  Layout layout = Layout::Export;
  std::vector<HistoryFileRecord> records;
  std::size_t lines = 0;         // data lines read
  std::size_t withoutClose = 0;  // of them without a price
};

// The code an export file's name gives: the part before the first dot,
// letters upper-cased; nothing when that is empty.
std::optional<std::string> codeFromFileName(const std::string& fileName);

// Reads the bytes of one file; fileName (no folder needed) gives the export
// layout its code.
ParsedHistoryFile parseHistoryFile(const std::string& bytes, const std::string& fileName);

// Files larger than this are refused as damaged.
inline constexpr std::uintmax_t kMaxHistoryFileBytes = 512ull << 20;

struct HistoryFileReport : Outcome<HistoryFileFailure> {
  std::filesystem::path file;
  bool imported = false;               // done and written
  std::size_t lines = 0;               // data lines
  std::size_t written = 0;             // closes stored
  std::set<std::string> unknownCodes;  // codes not in list, skipped
  std::size_t unknownLines = 0;
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
  // Files with something to say: damaged, not written, or with unknown codes.
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
