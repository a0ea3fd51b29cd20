#include <unistd.h>

#include <iostream>

#include "cli/commands.h"
#include "cli/import_texts.h"
#include "data/price_schema.h"
#include "history/history_files.h"
#include "history/price_history.h"

namespace tavrin::cli {

namespace {

constexpr const char* kHistoryUsage =
    "tavrin-cli [--root DIR] history [--db FILE] CODE\n"
    "       tavrin-cli [--root DIR] history import [--db FILE] [--set-positions] FILE...";

int printHistory(const std::filesystem::path& file, const std::string& code) {
  Database db = openForReading(file);
  if (!db.tableExists("list")) return failure("history: " + toUtf8(file) + " is not a price database");
  const std::vector<Bar> points = readHistory(db, code);
  const bool listed =
      db.scalar("select count(*) from [list] where [コード] = ?", {historyCodeValue(code)}).integer() > 0;
  if (points.empty() && !listed) return failure("history: no stock " + code + " in " + toUtf8(file));
  std::cout << "日付\t終値\n";
  for (const Bar& p : points) std::cout << isoDate(p.day) << "\t" << priceText(p.close) << "\n";
  return kOk;
}

int importFiles(const std::filesystem::path& file, bool setPositions, const Args& names) {
  Database db(file, Database::Mode::ReadWrite);
  if (!db.tableExists("list")) return failure("history import: " + toUtf8(file) + " is not a price database");
  std::vector<std::filesystem::path> files;
  for (const std::string& n : names) files.push_back(fromUtf8(n));
  const bool terminal = ::isatty(STDERR_FILENO) == 1;
  HistoryImportOutcome o = importHistoryFiles(db, files, [&](const HistoryImportProgress& p) {
    if (terminal) std::cerr << "\r" << p.file << " / " << p.files << " files, " << p.lines << " lines" << std::flush;
    return true;
  });
  if (!o.done()) return failure(o.detail);  // the database could not be prepared: no file was read
  if (terminal) std::cerr << "\n";
  for (const std::string& line : historyNoteLines(o)) std::cerr << line << "\n";
  std::cout << "history import into " << toUtf8(file) << ": " << o.imported << " of " << o.files << " files, "
            << o.lines << " lines, " << o.written << " closes stored";
  if (o.failed) std::cout << ", " << o.failed << " damaged file(s) skipped";
  if (!o.unknownCodes.empty()) std::cout << ", " << o.unknownCodes.size() << " code(s) not in list skipped";
  std::cout << "\n";
  if (setPositions) {
    PositionsOutcome p = setPositionsFromHistory(db);
    if (!p.done()) return failure("history import: positions not set (" + p.detail + "); nothing was changed");
    std::cout << "positions 1.." << p.days.size() << " set from the history: " << isoDate(p.days.front()) << " back to "
              << isoDate(p.days.back()) << "; " << p.stocks << " stocks, " << p.withLatest
              << " with a close on the latest day\n";
  }
  return o.failed ? kFailed : kOk;
}

}  // namespace

int cmdHistory(const Paths& paths, const Args& argsIn) {
  Args args = argsIn;
  const bool import = !args.empty() && args[0] == "import";
  if (import) args.erase(args.begin());
  bool bad = false;
  const std::filesystem::path file = takeDatabase(args, paths.dailyDb(), &bad);
  const bool setPositions = import && takeFlag(args, "--set-positions");
  if (bad || hasStrayOption(args)) return usageError(kHistoryUsage);
  if (import) {
    if (args.empty()) return usageError(kHistoryUsage);
    return importFiles(file, setPositions, args);
  }
  if (args.size() != 1) return usageError(kHistoryUsage);
  return printHistory(file, args[0]);
}

}  // namespace tavrin::cli
