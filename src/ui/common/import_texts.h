#pragma once
#include <QString>
#include <QStringList>
#include <optional>
#include <string>
#include <vector>

#include "history/history_files.h"
#include "history/price_history.h"
#include "registration/price_import.h"
#include "stocklist/listed_issues.h"
#include "stocklist/stock_list_update.h"

namespace tavrin::ui {

// The windows' words for the imports: the registration's imports and
// insert, the history import and the stock-list update. Every window that
// shows one of these outcomes takes its text from here.

// The report of an import run as the registration window shows it.
QStringList importReportText(const ImportOutcome& outcome);
// "2026/12/08"
QString slashDate(int dayNumber);
// The status line for a date row that is no calendar date or repeats another.
QString dateProblemText(const ImportOutcome& outcome);
// The registration window's status line after a failed import or insert.
QString importStatusText(const ImportOutcome& outcome);
QString insertStatusText(const InsertOutcome& outcome);

// The report of a history import into the database, with the positions set
// from the history when they were asked for (up to atDay when one was given):
// the counts, the history's incomplete days, the files' notes, the positions
// and what the checks found in the closes.
QStringList historyImportReportText(const std::string& database, const HistoryImportOutcome& outcome,
                                    const PositionsOutcome& positions, bool askedPositions,
                                    std::optional<int> atDay = std::nullopt);

// One finding of the checks: code, date, kind and the closes around it with
// the day's close marked ("7203 2024-12-20 一日だけの急変: 274 → [2.8] → 285").
QString historyFindingText(const HistoryFinding& finding);

// Removal from the history: the question asked before (a day, a stock's
// code key, or both) and the report after.
QString historyRemovalQuestion(std::optional<int> day, const std::optional<std::string>& codeKey);
QString historyRemovalText(const RemovalOutcome& outcome, std::optional<int> day,
                           const std::optional<std::string>& codeKey);

// The list of listed issues as read: rows read, issues taken, rows skipped by kind.
QString listedIssuesText(const ListedIssues& issues);
// Why the list of that file name could not be read, with the reader's
// reason (in English) when there is one.
QString listedIssuesFailureText(ListedIssuesFailure failure, const QString& fileName, const std::string& detail = {});
// The report of one database: a line of counts, then with listAll one line
// per added, updated and missing code (tab-separated: what, code, name,
// details); without it one line of the missing codes.
QStringList stockListReportText(const StockListReport& report, bool dryRun, bool listAll);
// The reports of several databases: each one's counts, and each stock's line
// once, under the first database that has it.
QStringList stockListReportsText(const std::vector<StockListReport>& reports, bool dryRun);
// The stock-list window's report after a preview or an update (or why it failed).
QString stockListPreviewText(const ListedIssues& issues, const StockListOutcome& preview);
QString stockListAppliedText(const ListedIssues& issues, const StockListOutcome& applied);
// The message box lines of a failed update.
std::vector<std::string> stockListFailureLines(const StockListOutcome& applied);
std::vector<std::string> olderListLines(int listDay, const AppliedStockList& before);
// The question before a list older than the one a database followed last is
// applied; nullopt when the preview found no such database.
std::optional<std::vector<std::string>> olderListQuestion(const ListedIssues& issues, const StockListOutcome& preview);

}  // namespace tavrin::ui
