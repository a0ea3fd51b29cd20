#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/paths.h"
#include "base/outcome.h"
#include "data/database.h"
#include "data/splits.h"
#include "history/history_checks.h"

namespace tavrin {

// The price databases a split goes into: the day, week and month files of
// the data folder that exist, or, when the database opened is another file
// (a saved copy), that file alone.
std::vector<std::filesystem::path> splitTargets(const Paths& paths,
                                                const std::optional<std::filesystem::path>& opened = std::nullopt);

enum class SplitFailure {
  None,
  NoTargets,    // no price database to write
  NotInList,    // the stock is in none of the files' lists
  SameRatio,    // a ratio of 1:1
  NoSuchSplit,  // nothing to remove
  Database,     // a file could not be written (failedDatabase names it): none was
};

struct SplitDatabaseReport {
  std::filesystem::path database;
  std::size_t positions = 0;  // positions whose value changed
};

struct SplitOutcome : Outcome<SplitFailure> {
  Split split;                               // as entered or removed
  std::optional<SplitRatio> replaced;        // the ratio a split of the same day had
  std::vector<SplitDatabaseReport> reports;  // per file written
  std::filesystem::path failedDatabase;
};

// Enters a split of the stock (code key) with its ex-date into every file, in
// one transaction over all of them: a split of the same stock and day is
// replaced. The positions before the ex-date are adjusted (their as-traded
// values kept); the history keeps its prices as traded and is read adjusted.
SplitOutcome addSplit(const std::vector<std::filesystem::path>& files, const std::string& codeKey, int exDay,
                      const SplitRatio& ratio, SplitSource source = SplitSource::Entered);
// Removes it from every file, the positions brought back to what they were.
SplitOutcome removeSplit(const std::vector<std::filesystem::path>& files, const std::string& codeKey, int exDay);

// The splits of a price database, by code and day (or one stock's).
std::vector<Split> listSplits(Database& db, const std::optional<std::string>& codeKey = std::nullopt);

// The steps of a split ratio the checks find in the adjusted history (so a
// split entered is no longer among them), each as the split it would be.
struct SplitCandidate {
  std::string code;  // code key
  int exDay = 0;
  SplitRatio ratio;
  HistoryFinding finding;
};
std::vector<SplitCandidate> splitCandidates(Database& db, const std::optional<std::string>& codeKey = std::nullopt);

}  // namespace tavrin
