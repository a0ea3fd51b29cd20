#pragma once
#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "app/paths.h"
#include "base/outcome.h"

namespace tavrin {

// Creates an empty companion database: list (ID, コード, 銘柄, kabuka1..10)
// and 日付 (ID, kabuka1..kabuka21) with one empty row. Fails when the file exists.
void createCompanionDatabase(const std::filesystem::path& path);

// The companion files a transfer can write, chosen by a mode keyword.
enum class CompanionMode { Day, Week, Month, WDivuzi };

// "day", "week", "month", "wDivuzi", compared exactly; nullopt for any other text.
std::optional<CompanionMode> companionModeFromKeyword(const std::string& keyword);
const char* companionModeKeyword(CompanionMode mode);
std::filesystem::path companionFile(const Paths& paths, CompanionMode mode);

// What the menu does before a transfer. The weekly and monthly files are
// rebuilt from the daily one: a fresh copy is made beside the real file
// (NAME.part-PID-N), the transfer writes into that copy, and only then does
// it take the real file's place in one rename; until then the real file
// stays as it was, and a failed or interrupted run leaves it so. The second
// weekly file becomes a fresh copy of its own source at once; the daily
// file needs nothing.
struct PreparedCompanion {
  CompanionMode mode = CompanionMode::Day;
  std::filesystem::path target;   // the companion file the transfer is for
  std::filesystem::path writeTo;  // where the transfer writes: target, or the fresh copy beside it
  bool isDraft() const { return writeTo != target; }
};

enum class PrepareFailure {
  None,
  CopyFailed,     // the fresh copy could not be made (the reason in detail)
  CannotReplace,  // the transferred copy could not take the real file's place
};

// What preparing a file ended with: the prepared file, and the file its copy
// comes from (empty for the daily file, which needs none).
struct PrepareOutcome : Outcome<PrepareFailure> {
  PreparedCompanion prepared;
  std::filesystem::path source;
};

// Prepares the file of a mode; CopyFailed when the copy could not be made,
// which leaves every existing file as it was. Files that an interrupted run
// left beside the target are removed first.
PrepareOutcome prepareCompanion(const Paths& paths, CompanionMode mode);
// Puts a transferred copy in place of the real file (nothing to do for a
// file written in place); afterwards the transfer writes to the target.
Outcome<PrepareFailure> finishPreparedCompanion(PreparedCompanion& prepared);
// Removes a copy that was not put in place.
void discardPreparedCompanion(const PreparedCompanion& prepared);

struct TransferProgress {
  std::size_t visited = 0;  // companion rows done
  std::size_t total = 0;    // companion rows in all
  std::size_t counted = 0;  // the window's counter
};
using TransferProgressFn = std::function<void(const TransferProgress&)>;

enum class TransferFailure {
  None,
  SenderUnavailable,     // the price database or its list cannot be read
  NoCompanionList,       // the companion file has no list to visit
  CompanionUnavailable,  // missing, not a database, or a write failed
  CompanionReadOnly,
  CompanionLocked,  // another program holds it
};

// What a transfer ended with: the counts, or the kind of failure with what
// the database said in detail.
struct TransferOutcome : Outcome<TransferFailure> {
  std::size_t companionRows = 0;  // rows visited
  std::size_t counted = 0;        // matched rows other than the placeholder 1000
  std::size_t copied = 0;         // rows that received kabuka1..10
  std::size_t cleared = 0;        // code 1000 rows whose kabuka1 was emptied
  std::size_t zeroCode = 0;       // code 0: counted, nothing copied
  std::size_t unmatched = 0;      // no such code in our list (or no code): left unchanged
  std::size_t failed = 0;         // rows the companion refused to save
  bool dateRecordCopied = false;

  std::size_t updated() const { return copied + cleared; }
  std::size_t leftAlone() const { return zeroCode + unmatched + failed; }
};

// Copies the ten prices of every companion list row from the sender's list
// row with the same code, then the sender's date record into the
// companion's first 日付 row: all in one transaction on the companion file,
// so a transfer that fails or is interrupted leaves it as it was. The sender
// is only read. progress is called after every companion row.
TransferOutcome transferToCompanion(const std::filesystem::path& senderDb, const std::filesystem::path& companionDb,
                                    const TransferProgressFn& progress = {});

// Transfers into a prepared file and puts a copy in place once the transfer
// is done. When the transfer fails the target stays as it was (the copy is
// kept for another try).
TransferOutcome transferToPrepared(const std::filesystem::path& senderDb, PreparedCompanion& prepared,
                                   const TransferProgressFn& progress = {});

}  // namespace tavrin
