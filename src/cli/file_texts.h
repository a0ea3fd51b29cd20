#pragma once
#include <string>

#include "exchange/companion.h"
#include "export/table_export.h"
#include "utilities/backup.h"

namespace tavrin::cli {

// The command line's texts for what the file tasks end with: saving a table,
// backups and the transfer to the companion. One text per kind of outcome; where the
// command line prints a Japanese text, it is the one the windows show.

// Why a table could not be saved.
std::string exportFailureText(const exporting::ExportOutcome& outcome);

// One line about a failed transfer, as the transfer window says it.
std::string transferFailureText(TransferFailure failure);

// Why a backup of the unit under the date text was not made.
std::string backupFailureText(const BackupOutcome& outcome, const std::string& unit, const std::string& dateText);

}  // namespace tavrin::cli
