#pragma once
#include <optional>
#include <string>
#include <vector>

#include "exchange/companion.h"
#include "export/table_export.h"
#include "utilities/backup.h"
#include "utilities/memo.h"

namespace tavrin {
class Prompts;
}

namespace tavrin::ui {

// The windows' texts for what the file tasks end with: saving a table,
// the memo pad, backups, the transfer to the companion, stock codes typed
// by the user. One text per kind of outcome, shared by every window.

// Why a table could not be saved (the grid's save).
std::string exportFailureText(const exporting::ExportOutcome& outcome);

// Why the memo (or its copy) was not saved.
std::string memoFailureText(const MemoSaveOutcome& outcome);

// What the backup window says after making the backup folder.
std::string backupFolderText(BackupFolderResult result);
// The backup window's note on a backup: the file's name, or why none was made.
std::string backupNoteText(const BackupOutcome& outcome);
// The warning for a date text that cannot be part of a file name.
std::vector<std::string> unsafeBackupDateLines(const std::string& dateText);

// The watch-list file could not be opened: the lines of the warning.
std::vector<std::string> watchListUnavailableLines(const std::filesystem::path& path);

// A text the user typed that is no stock code.
std::string invalidStockCodeMessage(const std::string& text);
// The code key of a code the user typed ("130a", "１３０Ａ" are 130A); when
// it is none, nullopt after a warning under the title that says so.
std::optional<std::string> typedCodeOrWarning(Prompts& prompts, const std::string& title, const std::string& typed);

// One line about a failed transfer.
std::string transferFailureText(TransferFailure failure);
// Why the second weekly file could not be prepared: the lines of the warning.
std::vector<std::string> divuziCopyFailureLines(const PrepareOutcome& outcome);

}  // namespace tavrin::ui
