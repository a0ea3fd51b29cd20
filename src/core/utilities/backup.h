#pragma once
#include <cstddef>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>

#include "app/paths.h"
#include "base/files.h"
#include "base/outcome.h"

namespace tavrin {

// Copies a database file as one consistent snapshot, even while another
// connection has it open or is writing to it: the pages are read under a
// read lock through SQLite's online backup, into a temporary file beside the
// target that is then moved into place. With replace false an existing
// target is never touched (the copy fails); with replace true it is replaced
// together with any journal left beside it. Throws DatabaseError on failure;
// nothing is left behind then.
void copyDatabaseSnapshot(const std::filesystem::path& source, const std::filesystem::path& target, bool replace);

// Removes the files in a folder that a killed copy or transfer of ours left:
// names of the form NAME.part-PID-N (and the journals beside them) whose
// process no longer runs. Returns how many files were removed.
std::size_t removeStalePartFiles(const std::filesystem::path& folder);

// Today as "yymmdd", the default date text of a backup.
std::string backupDateText(const std::tm& now);

// Whether a date text can become part of a file name: no path separator,
// none of : * ? " < > |, no control character and no "..".
bool isSafeBackupDateText(const std::string& text);

// Where the backup of one unit goes.
struct BackupPlan {
  std::filesystem::path folder;  // Mdb-D, Mdb-W or Mdb-T
  std::filesystem::path source;  // the standard database of the unit
  std::string fileName;          // "kabuka" + date text + ".mdb"
  std::filesystem::path target;  // folder / fileName
};

// nullopt when the unit word is none of "day", "week", "month" (compared
// exactly) or the date text is not safe for a file name.
std::optional<BackupPlan> backupPlan(const Paths& paths, const std::string& unit, const std::string& dateText);

// Creates the backup folder of a unit.
enum class BackupFolderResult { Created, NotCreated, NoUnit };
BackupFolderResult makeBackupFolder(const Paths& paths, const std::string& unit);

enum class BackupFailure {
  None,
  TargetExists,    // a file of that name is there: left as it is
  SourceMissing,   // the unit's standard database is missing
  UnsafeDateText,  // the date text cannot be part of a file name
  NoUnit,          // the unit word is none of day, week, month
  CopyFailed,      // the copy could not be made (the reason in detail)
};

struct BackupOutcome : Outcome<BackupFailure> {
  BackupPlan plan;  // empty for NoUnit and UnsafeDateText
};

// Copies the unit's standard database to its backup folder under the date
// text, never overwriting. The folder must exist (makeBackupFolder).
BackupOutcome makeBackup(const Paths& paths, const std::string& unit, const std::string& dateText);

}  // namespace tavrin
