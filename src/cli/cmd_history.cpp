#include <unistd.h>

#include <iostream>

#include "base/text.h"
#include "cli/commands.h"
#include "cli/import_texts.h"
#include "data/price_schema.h"
#include "data/stock_code.h"
#include "history/history_checks.h"
#include "history/history_files.h"
#include "history/price_history.h"

namespace tavrin::cli {

namespace {

constexpr const char* kHistoryUsage =
    "tavrin-cli [--root DIR] history [--db FILE] [--ohlcv] [--raw] CODE\n"
    "       tavrin-cli [--root DIR] history import [--db FILE] [--set-positions] [--positions-date YYYY-MM-DD] "
    "FILE...\n"
    "       tavrin-cli [--root DIR] history remove [--db FILE] --day YYYY-MM-DD [--code CODE]\n"
    "       tavrin-cli [--root DIR] history remove [--db FILE] --code CODE\n"
    "       tavrin-cli [--root DIR] history check [--db FILE] [CODE]";

std::string volumeText(std::int64_t v) { return v < 0 ? std::string() : std::to_string(v); }
std::string knownPrice(std::int32_t tenths) { return tenths > 0 ? priceText(tenths) : std::string(); }

int printHistory(const std::filesystem::path& file, const std::string& typed, bool ohlcv, bool raw) {
  const std::optional<std::string> code = typedStockCodeKey(typed);
  if (!code) return failure(notAStockCode(typed));
  Database db = openForReading(file);
  if (!db.tableExists("list")) return failure("history: " + toUtf8(file) + " is not a price database");
  const std::vector<Bar> bars = readHistory(db, *code, raw ? HistoryPrices::AsTraded : HistoryPrices::Adjusted);
  const bool listed =
      db.scalar("select count(*) from [list] where [コード] = ?", {historyCodeValue(*code)}).integer() > 0;
  if (bars.empty() && !listed) return failure("history: no stock " + *code + " in " + toUtf8(file));
  std::string out = ohlcv ? "日付\t始値\t高値\t安値\t終値\t出来高\n" : "日付\t終値\n";
  for (const Bar& b : bars) {
    out += isoDate(b.day);
    if (ohlcv)
      out += "\t" + knownPrice(b.open) + "\t" + knownPrice(b.high) + "\t" + knownPrice(b.low) + "\t" +
             priceText(b.close) + "\t" + volumeText(b.volume) + "\n";
    else
      out += "\t" + priceText(b.close) + "\n";
  }
  std::cout << out;
  return kOk;
}

std::string daysText(const std::vector<HistoryDay>& days, std::size_t most) {
  std::string out;
  for (std::size_t i = 0; i < days.size() && i < most; ++i)
    out += (i ? ", " : "") + isoDate(days[i].day) + " (" + std::to_string(days[i].stocks) +
           (days[i].stocks == 1 ? " stock)" : " stocks)");
  if (days.size() > most) out += ", and " + std::to_string(days.size() - most) + " more";
  return out;
}

std::string findingLine(const HistoryFinding& f) {
  std::string closes;
  for (std::size_t i = 0; i < f.around.size(); ++i) {
    const std::string p = priceText(f.around[i].close);
    closes += (i ? " " : "") + (i == f.at ? "[" + p + "]" : p);
  }
  const std::string kind = f.kind == FindingKind::Spike ? "spike"
                           : f.ratio >= 1               ? "step " + ratioText(f.ratio) + " (split)"
                                                        : "step " + ratioText(f.ratio) + " (consolidation)";
  return f.code + "\t" + isoDate(f.day) + "\t" + kind + "\t" + closes;
}

int positionsFailure(const PositionsOutcome& p) {
  switch (p.failure) {
    case PositionsFailure::NoSuchDay:
    case PositionsFailure::Incomplete:
      return failure("history import: positions not set: " + p.detail + "; the positions were not changed");
    default: return failure("history import: positions not set (" + p.detail + "); nothing was changed");
  }
}

int importFiles(const std::filesystem::path& file, bool setPositions, std::optional<int> atDay, const Args& names) {
  Database db(file, Database::Mode::ReadWrite);
  if (!db.tableExists("list")) return failure("history import: " + toUtf8(file) + " is not a price database");
  std::vector<std::filesystem::path> files;
  for (const std::string& n : names) files.push_back(fromUtf8(n));
  const bool terminal = ::isatty(STDERR_FILENO) == 1;
  HistoryImportOutcome o = importHistoryFiles(db, files, [&](const HistoryImportProgress& p) {
    if (terminal) std::cerr << "\r" << p.file << " / " << p.files << " files, " << p.lines << " lines" << std::flush;
    return true;
  });
  if (terminal) std::cerr << "\n";
  if (!o.done() && o.imported == 0 && o.failed == 0)
    return failure(o.detail);  // the database could not be prepared: no file was read
  for (const std::string& line : historyNoteLines(o)) std::cerr << line << "\n";
  std::cout << "history import into " << toUtf8(file) << ": " << o.imported << " of " << o.files << " files, "
            << o.lines << " lines, " << o.written << " closes stored";
  if (o.failed) std::cout << ", " << o.failed << " file(s) skipped";
  if (!o.unknownCodes.empty()) std::cout << ", " << o.unknownCodes.size() << " code(s) not in list skipped";
  std::cout << "\n";
  if (!o.done()) return failure("history import: " + o.detail);
  if (!o.incompleteDays.empty())
    std::cout << "incomplete days (fewer than half of the stocks of the day before have a close; left out of the "
                 "positions and backtests): "
              << daysText(o.incompleteDays, 10) << "\n";
  if (!o.findings.empty()) {
    std::cout << o.findings.size() << " finding(s) to look at (nothing was changed):\n";
    std::size_t n = 0;
    for (const HistoryFinding& f : o.findings) {
      if (n++ == 50) {
        std::cout << "… and " << o.findings.size() - 50 << " more: tavrin-cli history check\n";
        break;
      }
      std::cout << findingLine(f) << "\n";
    }
  }
  if (setPositions) {
    PositionsOutcome p = setPositionsFromHistory(db, atDay);
    if (!p.done()) return positionsFailure(p);
    std::cout << "positions 1.." << p.days.size() << " set from the history: " << isoDate(p.days.front()) << " back to "
              << isoDate(p.days.back()) << "; " << p.stocks << " stocks, " << p.withLatest << " with a close on "
              << isoDate(p.days.front()) << "\n";
    if (!p.incompleteAfter.empty()) std::cout << "left out as incomplete: " << daysText(p.incompleteAfter, 10) << "\n";
  }
  return o.failed ? kFailed : kOk;
}

int removeFromHistory(const std::filesystem::path& file, const std::optional<std::string>& dayText,
                      const std::optional<std::string>& typedCode) {
  std::optional<int> day;
  if (dayText) {
    day = parseHistoryDate(*dayText);
    if (!day) return failure("history remove: '" + printableText(*dayText) + "' is not a date (YYYY-MM-DD)");
  }
  std::optional<Value> code;
  if (typedCode) {
    const std::optional<std::string> key = typedStockCodeKey(*typedCode);
    if (!key) return failure(notAStockCode(*typedCode));
    Database probe = openForReading(file);
    if (!probe.tableExists("list")) return failure("history remove: " + toUtf8(file) + " is not a price database");
    Value stored = historyCodeValue(*key);
    Statement st(probe, "select [コード] from [list] where [コード] = ? limit 1");
    st.bind(1, stored);
    if (st.step()) stored = st.column(0);
    code = stored;
  }
  Database db(file, Database::Mode::ReadWrite);
  if (!db.tableExists("list")) return failure("history remove: " + toUtf8(file) + " is not a price database");
  const RemovalOutcome r = tavrin::removeFromHistory(db, day, code);
  if (!r.done()) return failure("history remove: " + r.detail + "; nothing was removed");
  std::string what = day && code ? "the close of " + *typedCode + " on " + isoDate(*day)
                     : day       ? "every close on " + isoDate(*day)
                                 : "the whole history of " + *typedCode;
  if (r.bars == 0) {
    std::cout << "history remove: nothing to remove (" << what << ")\n";
    return kOk;
  }
  std::cout << "history remove from " << toUtf8(file) << ": " << what << ": " << r.bars << " day(s) of " << r.stocks
            << " stock(s) removed\n";
  return kOk;
}

int checkHistory(const std::filesystem::path& file, const std::optional<std::string>& typed) {
  std::optional<std::string> key;
  if (typed) {
    key = typedStockCodeKey(*typed);
    if (!key) return failure(notAStockCode(*typed));
  }
  Database db = openForReading(file);
  if (!db.tableExists("list")) return failure("history check: " + toUtf8(file) + " is not a price database");
  const std::vector<HistoryFinding> findings = tavrin::checkHistory(db, key);
  std::string out;
  for (const HistoryFinding& f : findings) out += findingLine(f) + "\n";
  std::cout << out;
  std::cerr << findings.size() << " finding(s)\n";
  return kOk;
}

}  // namespace

int cmdHistory(const Paths& paths, const Args& argsIn) {
  Args args = argsIn;
  std::string verb;
  if (!args.empty() && (args[0] == "import" || args[0] == "remove" || args[0] == "check")) {
    verb = args[0];
    args.erase(args.begin());
  }
  bool bad = false;
  const std::filesystem::path file = takeDatabase(args, paths.dailyDb(), &bad);
  if (verb == "import") {
    const bool setPositions = takeFlag(args, "--set-positions");
    const std::optional<std::string> at = takeOption(args, "--positions-date", &bad);
    if (bad || hasStrayOption(args) || args.empty()) return usageError(kHistoryUsage);
    std::optional<int> atDay;
    if (at) {
      atDay = parseHistoryDate(*at);
      if (!atDay) return failure("history import: '" + printableText(*at) + "' is not a date (YYYY-MM-DD)");
    }
    return importFiles(file, setPositions || at.has_value(), atDay, args);
  }
  if (verb == "remove") {
    const std::optional<std::string> day = takeOption(args, "--day", &bad);
    const std::optional<std::string> code = takeOption(args, "--code", &bad);
    if (bad || hasStrayOption(args) || !args.empty() || (!day && !code)) return usageError(kHistoryUsage);
    return removeFromHistory(file, day, code);
  }
  if (verb == "check") {
    if (bad || hasStrayOption(args) || args.size() > 1) return usageError(kHistoryUsage);
    return checkHistory(file, args.empty() ? std::nullopt : std::optional<std::string>(args[0]));
  }
  const bool ohlcv = takeFlag(args, "--ohlcv");
  const bool raw = takeFlag(args, "--raw");
  if (bad || hasStrayOption(args) || args.size() != 1) return usageError(kHistoryUsage);
  return printHistory(file, args[0], ohlcv, raw);
}

}  // namespace tavrin::cli
