#pragma once
#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "app/paths.h"
#include "base/outcome.h"
#include "data/database.h"
#include "data/price_schema.h"
#include "stocklist/listed_issues.h"

namespace tavrin {

// What an update of the stock list does (or, in a dry run, would do) to one
// price database: the stocks of list and hojyo made to follow a list of
// listed issues.
struct StockListChange {
  std::string field;  // "銘柄", "市場" or "市場区分"
  std::string from;
  std::string to;
};
struct UpdatedStock {
  std::string code;
  std::string name;  // the new name
  std::vector<StockListChange> changes;
};
struct StockListEntry {
  std::string code;
  std::string name;
};

struct StockListReport {
  std::filesystem::path database;
  std::vector<ListedIssue> added;       // new codes, with empty prices and 単位 100
  std::vector<UpdatedStock> updated;    // name, market or 市場区分 changed
  std::vector<StockListEntry> missing;  // in the database but not in the file
  bool missingRemoved = false;          // the missing ones were (or would be) removed
  std::size_t unchanged = 0;            // in both, nothing to change
  bool created = false;                 // the file did not exist and was (or would be) created
  // The dated list applied last to this file, and whether the list given is
  // older than it.
  std::optional<AppliedStockList> appliedBefore;
  bool olderList = false;
};

struct StockListUpdateOptions {
  bool dryRun = false;         // report only, write nothing
  bool removeMissing = false;  // remove the stocks the file does not list
  bool allowOlder = false;     // apply a list older than the one applied last
};

// One database to update. A unit word ("day", "week", "month") lets a missing
// file be created with that unit; without one a missing file is a failure.
struct StockListTarget {
  std::filesystem::path path;
  std::string unitWord;
};

// The three standard price databases (day, week, month) of the root.
std::vector<StockListTarget> standardStockListTargets(const Paths& paths);

// Why an update changed nothing: a database is missing, locked, read-only or
// no price database (detail gives the reason); the list is older than the one
// applied last to a database (failedDatabase, with newerList), and older
// lists were not allowed.
enum class StockListFailure { None, Database, OlderList };

struct StockListOutcome : Outcome<StockListFailure> {
  std::filesystem::path failedDatabase;       // the file that failed (empty when none)
  std::optional<AppliedStockList> newerList;  // OlderList: what failedDatabase followed
  std::vector<StockListReport> reports;       // one per target, in order (when done)
};

// Compares every target with the issues and, unless it is a dry run, writes
// the changes: new codes are appended to list and hojyo (name, code as the
// importer stores it, market word, 単位 100, 市場区分, no prices); existing
// codes get the name, market and 市場区分 of the file when they differ (an
// absent market column leaves market and 市場区分 alone) and keep 単位 and
// every price; codes the file lacks are reported and kept, or removed from
// list and hojyo with removeMissing. The row of code 1000 is never touched.
//
// A list with a date (ListedIssues::listDay) is compared with the dated list
// applied last to each target; an older one fails (OlderList) unless
// allowOlder, and a dry run marks the reports instead. Its date is kept in
// every target written.
//
// Every target is written in one transaction spanning all files: when one
// fails (missing, locked, read-only, not a price database), none changes and
// a file (and an empty data folder) created for the update is removed again.
StockListOutcome updateStockLists(const std::vector<StockListTarget>& targets, const ListedIssues& issues,
                                  const StockListUpdateOptions& options);

}  // namespace tavrin
