#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "history/history_files.h"
#include "registration/price_import.h"
#include "stocklist/listed_issues.h"
#include "stocklist/stock_list_update.h"

namespace tavrin::cli {

// The command line's words for the imports: the registration's report, the
// history import's notes and the stock list's summary and report.

// What an import read, period by period: prices read, stocks of list without
// a price, codes list lacks (with the first ten), cells that were no numbers,
// formula cells without a value.
std::vector<std::string> importReportLines(const ImportOutcome& outcome);

// One line per file of a history import with something to say: skipped (why,
// by kind), with adjusted closes taken for closes, or with codes list lacks.
std::vector<std::string> historyNoteLines(const HistoryImportOutcome& outcome, std::size_t maxCodes = 10);

// The list of listed issues as read: rows read, issues taken, rows skipped by kind.
std::string listedIssuesLine(const ListedIssues& issues);

// The report of one database: a line of counts, then with listAll one line
// per added, updated and missing code (tab-separated: what, code, name,
// details); without it one line of the missing codes.
std::vector<std::string> stockListReportLines(const StockListReport& report, bool dryRun, bool listAll);
// The reports of several databases: each one's line of counts, and each
// stock's line once, under the first database that has it (a database that
// changed a stock otherwise than the ones before it adds its own line).
std::vector<std::string> stockListReportsLines(const std::vector<StockListReport>& reports, bool dryRun);

}  // namespace tavrin::cli
