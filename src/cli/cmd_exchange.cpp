#include <ctime>
#include <iostream>

#include "base/calendar.h"
#include "cli/commands.h"
#include "cli/file_texts.h"
#include "data/price_schema.h"
#include "exchange/companion.h"
#include "utilities/backup.h"

namespace tavrin::cli {

namespace {
std::filesystem::path standardDb(const Paths& paths, CompanionMode mode) {
  switch (mode) {
    case CompanionMode::Day: return paths.dailyDb();
    case CompanionMode::Month: return paths.monthlyDb();
    case CompanionMode::Week:
    case CompanionMode::WDivuzi: return paths.weeklyDb();
  }
  return paths.dailyDb();
}
}  // namespace

int cmdTransfer(const Paths& paths, const Args& argsIn) {
  const char* usage = "tavrin-cli [--root DIR] transfer day|week|month|wDivuzi [--db FILE]";
  Args args = argsIn;
  bool bad = false;
  const std::filesystem::path db = takeDatabase(args, {}, &bad);
  if (bad || args.size() != 1) return usageError(usage);
  auto mode = companionModeFromKeyword(args[0]);
  if (!mode) return usageError(usage);

  const std::filesystem::path target = companionFile(paths, *mode);
  PrepareOutcome prepared = prepareCompanion(paths, *mode);
  if (!prepared.done())
    return failure("cannot copy " + toUtf8(prepared.source) + " (" + prepared.detail + "); " + toUtf8(target) +
                   " left as it was");
  if (*mode != CompanionMode::Day) std::cout << "prepared: " << toUtf8(target) << "\n";

  const std::filesystem::path sender = db.empty() ? standardDb(paths, *mode) : db;
  TransferOutcome r = transferToPrepared(sender, prepared.prepared);
  discardPreparedCompanion(prepared.prepared);
  if (!r.done())
    return failure("transfer to " + toUtf8(target) + " not made: " + transferFailureText(r.failure) + " (" + r.detail +
                   ")");
  std::cout << "from: " << toUtf8(sender) << "\n"
            << "to: " << toUtf8(target) << "\n"
            << "companion rows: " << r.companionRows << "\n"
            << "counted: " << r.counted << "\n"
            << "updated: " << r.updated() << " (prices copied " << r.copied << ", placeholder cleared " << r.cleared
            << ")\n"
            << "left alone: " << r.leftAlone() << " (not in our list " << r.unmatched << ", code 0 " << r.zeroCode
            << ", refused " << r.failed << ")\n"
            << "date record: " << (r.dateRecordCopied ? "copied" : "not copied") << "\n";
  return kOk;
}

int cmdBackup(const Paths& paths, const Args& argsIn) {
  const char* usage = "tavrin-cli [--root DIR] backup [--db FILE] [--date TEXT]";
  Args args = argsIn;
  bool bad = false;
  const std::filesystem::path file = takeDatabase(args, paths.dailyDb(), &bad);
  auto date = takeOption(args, "--date", &bad);
  if (bad || !args.empty()) return usageError(usage);

  std::optional<DateRecord> record;
  try {
    // Opened here, not through the quiet reader, so that a missing, locked or
    // damaged file is named for what it is.
    Database d = openForReading(file);
    record = readDateRecord(d);
  } catch (const std::exception& e) {
    return failure(e.what());
  }
  if (!record) return failure("no date record in " + toUtf8(file));
  const std::string& unit = record->unit;
  if (makeBackupFolder(paths, unit) == BackupFolderResult::NoUnit)
    return failure("unknown unit '" + unit + "' in " + toUtf8(file));

  std::string dateText;
  if (date) {
    dateText = *date;
  } else {
    dateText = backupDateText(localNow());
  }
  const BackupOutcome r = makeBackup(paths, unit, dateText);
  if (!r.done()) return failure(backupFailureText(r, unit, dateText));
  std::cout << toUtf8(r.plan.target) << "\n";
  return kOk;
}

}  // namespace tavrin::cli
