#include "cli/import_texts.h"

#include <set>

#include "base/calendar.h"
#include "base/text.h"

namespace tavrin::cli {

std::vector<std::string> importReportLines(const ImportOutcome& o) {
  std::vector<std::string> lines;
  for (const PeriodReport& p : o.periods) {
    std::string head = "position " + std::to_string(p.position) + ": " + p.date + " from " + p.file;
    if (!p.sheet.empty()) head += " sheet " + p.sheet;
    lines.push_back(head + " (" + p.kind + ")");
    lines.push_back("  prices read: " + groupedCount(p.pricesRead));
    if (o.done()) {
      lines.push_back("  stocks of the list without a price: " + groupedCount(p.listWithoutPrice));
      std::string unknown = "  codes not in the list: " + groupedCount(p.unknownCodes);
      if (p.unknownCodes > 0) {
        unknown += " (";
        for (std::size_t i = 0; i < p.unknownSample.size(); ++i) unknown += (i ? ", " : "") + p.unknownSample[i];
        if (p.unknownCodes > p.unknownSample.size()) unknown += ", ...";
        unknown += "); update the stock list to import them (tavrin-cli stocks update)";
      }
      lines.push_back(unknown);
    }
    if (p.notNumbers > 0) lines.push_back("  price cells that are no numbers: " + groupedCount(p.notNumbers));
    if (p.formulasWithoutValue > 0)
      lines.push_back("  formula cells without a stored value: " + groupedCount(p.formulasWithoutValue) +
                      " (save the file again from a spreadsheet program, or paste the prices as values)");
  }
  return lines;
}

namespace {

// The layouts a history file may have, as the note of a file of another kind lists them.
constexpr const char* kHistoryLayouts =
    "Date,Open,High,Low,Close,Volume; the downloader's rows Price,Close,… / Ticker,7203.T,… / Date; "
    "<TICKER>,<PER>,<DATE>,<TIME>,<OPEN>,<HIGH>,<LOW>,<CLOSE>,<VOL>,<OPENINT>; or 日付,コード,終値";

// Why a history file was not taken, after its name.
std::string skippedHistoryFile(const HistoryFileReport& r) {
  switch (r.failure) {
    case HistoryFileFailure::Folder: return "a folder, not a file; skipped";
    case HistoryFileFailure::Missing: return "no such file; skipped";
    case HistoryFileFailure::Empty: return "empty file; skipped";
    case HistoryFileFailure::OtherKind:
      return "not a history file, skipped (first line: '" + r.firstLine + "'); the first five lines should hold " +
             "a header such as " + kHistoryLayouts;
    case HistoryFileFailure::Damaged: return "damaged, skipped (" + r.detail + ")";
    case HistoryFileFailure::TooLarge: return "too large, skipped (" + r.detail + ")";
    case HistoryFileFailure::Unreadable: return "cannot be read, skipped (" + r.detail + ")";
    case HistoryFileFailure::NotWritten: return "not written (" + r.detail + ")";
    case HistoryFileFailure::None: break;
  }
  return "skipped (" + r.detail + ")";
}

}  // namespace

std::vector<std::string> historyNoteLines(const HistoryImportOutcome& outcome, std::size_t maxCodes) {
  std::vector<std::string> lines;
  for (const HistoryFileReport& r : outcome.notes) {
    const std::string name = toUtf8(r.file);
    if (!r.imported) {
      lines.push_back(name + ": " + skippedHistoryFile(r));
      continue;
    }
    if (r.adjustedCloses)
      lines.push_back(name + ": no Close column; the adjusted closes (Adj Close) were imported as closes");
    if (r.unknownCodes.empty()) continue;
    std::string codes;
    std::size_t n = 0;
    for (const std::string& c : r.unknownCodes) {
      if (n++ == maxCodes) {
        codes += ", …";
        break;
      }
      codes += (codes.empty() ? "" : ", ") + c;
    }
    lines.push_back(name + ": " + std::to_string(r.unknownLines) + " line(s) of code(s) not in list skipped (" + codes +
                    ")");
  }
  return lines;
}

namespace {

// A kind of rows the list did not take, in the summary's words.
std::string skippedWord(const SkippedRows& s) {
  switch (s.reason) {
    case SkippedRows::Reason::NoCode: return "コードが読めない行";
    case SkippedRows::Reason::IndexCode: return "コード1000";
    case SkippedRows::Reason::NoName: return "銘柄名のない行";
    case SkippedRows::Reason::NoSection: return "市場区分のない行";
    case SkippedRows::Reason::Duplicate: return "重複したコード";
    case SkippedRows::Reason::Section: return s.section;
  }
  return s.section;
}

std::string fileName(const std::filesystem::path& p) { return toUtf8(p.filename()); }

}  // namespace

std::string listedIssuesLine(const ListedIssues& issues) {
  std::string line = "読んだ行 " + std::to_string(issues.rows) + "、銘柄 " + std::to_string(issues.issues.size()) +
                     "、読み飛ばした行 " + std::to_string(issues.skippedRows());
  if (!issues.skipped.empty()) {
    line += "（";
    for (size_t i = 0; i < issues.skipped.size(); ++i)
      line += (i ? "、" : "") + skippedWord(issues.skipped[i]) + " " + std::to_string(issues.skipped[i].count);
    line += "）";
  }
  if (!issues.hasMarketColumn) line += "、市場の列なし（市場と市場区分は変えません）";
  if (issues.listDay) line += "、一覧の日付 " + isoDate(*issues.listDay);
  return line;
}

std::vector<std::string> stockListReportLines(const StockListReport& r, bool dryRun, bool listAll) {
  std::vector<std::string> lines;
  std::string head = fileName(r.database) + (dryRun ? "（試算・書き込みなし）" : "") +
                     (r.created ? "（新規作成）" : "") + ": 追加 " + std::to_string(r.added.size()) + "、更新 " +
                     std::to_string(r.updated.size()) + "、上場していない銘柄 " + std::to_string(r.missing.size());
  if (!r.missing.empty()) head += r.missingRemoved ? (dryRun ? "（削除します）" : "（削除しました）") : "（残します）";
  head += "、変更なし " + std::to_string(r.unchanged);
  if (r.olderList && r.appliedBefore) head += "（前回の一覧 " + isoDate(r.appliedBefore->day) + " より古い一覧です）";
  lines.push_back(head);
  if (listAll) {
    for (const ListedIssue& a : r.added)
      lines.push_back("追加\t" + a.code + "\t" + a.name + "\t" + a.market + "\t" + a.section);
    for (const UpdatedStock& u : r.updated) {
      std::string line = "更新\t" + u.code + "\t" + u.name;
      for (const StockListChange& c : u.changes) line += "\t" + c.field + ": " + c.from + " → " + c.to;
      lines.push_back(line);
    }
  }
  if (listAll || !r.missing.empty()) {
    const std::string word = r.missingRemoved ? "削除" : "上場なし";
    if (listAll) {
      for (const StockListEntry& m : r.missing) lines.push_back(word + "\t" + m.code + "\t" + m.name);
    } else {
      std::string codes = "上場していない銘柄:";
      for (const StockListEntry& m : r.missing) codes += " " + m.code;
      lines.push_back(codes);
    }
  }
  return lines;
}

std::vector<std::string> stockListReportsLines(const std::vector<StockListReport>& reports, bool dryRun) {
  std::vector<std::string> lines;
  std::set<std::string> listed;
  for (const StockListReport& r : reports) {
    const std::vector<std::string> own = stockListReportLines(r, dryRun, true);
    lines.push_back(own.front());
    for (std::size_t i = 1; i < own.size(); ++i)
      if (listed.insert(own[i]).second) lines.push_back(own[i]);
  }
  return lines;
}

}  // namespace tavrin::cli
