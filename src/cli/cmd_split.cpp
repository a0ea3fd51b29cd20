#include <iostream>

#include "base/calendar.h"
#include "base/files.h"
#include "base/text.h"
#include "cli/commands.h"
#include "data/stock_code.h"
#include "splits/split_entry.h"

namespace tavrin::cli {

namespace {

constexpr const char* kSplitUsage =
    "tavrin-cli [--root DIR] split add [--db FILE] CODE YYYY-MM-DD RATIO   (RATIO 1:5, 10:1 or shares after per "
    "share before)\n"
    "       tavrin-cli [--root DIR] split list [--db FILE] [CODE]\n"
    "       tavrin-cli [--root DIR] split remove [--db FILE] CODE YYYY-MM-DD";

std::string reportLines(const char* verb, const SplitOutcome& o) {
  std::string out;
  for (const SplitDatabaseReport& r : o.reports)
    out += std::string(verb) + toUtf8(r.database) + ": " + std::to_string(r.positions) + " position(s) rewritten\n";
  return out;
}

std::string failureText(const char* verb, const SplitOutcome& o) {
  switch (o.failure) {
    case SplitFailure::Database:
      return std::string("split ") + verb + ": " + toUtf8(o.failedDatabase) + ": " + o.detail +
             "; none of the databases was changed";
    default: return std::string("split ") + verb + ": " + o.detail + "; nothing was changed";
  }
}

struct Typed {
  std::string key;
  int day = 0;
};

std::optional<Typed> codeAndDay(const std::string& code, const std::string& date, std::string& why) {
  Typed t;
  const std::optional<std::string> key = typedStockCodeKey(code);
  if (!key) {
    why = notAStockCode(code);
    return std::nullopt;
  }
  t.key = *key;
  const std::optional<int> day = parseHistoryDate(date);
  if (!day) {
    why = "'" + printableText(date) + "' is not a date (YYYY-MM-DD)";
    return std::nullopt;
  }
  t.day = *day;
  return t;
}

std::vector<std::filesystem::path> targetsOf(const Paths& paths, const std::optional<std::filesystem::path>& db) {
  return db ? std::vector<std::filesystem::path>{*db} : splitTargets(paths);
}

}  // namespace

int cmdSplit(const Paths& paths, const Args& argsIn) {
  Args args = argsIn;
  if (args.empty()) return usageError(kSplitUsage);
  const std::string verb = args[0];
  args.erase(args.begin());
  bool bad = false;
  const std::optional<std::string> db = takeOption(args, "--db", &bad);
  const std::optional<std::filesystem::path> dbPath =
      db ? std::optional<std::filesystem::path>(fromUtf8(*db)) : std::nullopt;
  if (bad || hasStrayOption(args)) return usageError(kSplitUsage);
  std::string why;
  if (verb == "add") {
    if (args.size() != 3) return usageError(kSplitUsage);
    const std::optional<Typed> t = codeAndDay(args[0], args[1], why);
    if (!t) return failure("split add: " + why);
    const std::optional<SplitRatio> ratio = parseSplitRatio(args[2]);
    if (!ratio)
      return failure("split add: '" + printableText(args[2]) +
                     "' is not a ratio (1:5 for a split into five, 10:1 for a consolidation of ten into one, or shares "
                     "after per share before)");
    const SplitOutcome o = addSplit(targetsOf(paths, dbPath), t->key, t->day, *ratio, SplitSource::Entered);
    if (!o.done()) return failure(failureText("add", o));
    std::cout << "split of " << t->key << " on " << isoDate(t->day) << ": " << splitRatioText(*ratio)
              << (o.replaced ? " (was " + splitRatioText(*o.replaced) + ")" : std::string()) << "\n"
              << reportLines("  ", o);
    return kOk;
  }
  if (verb == "remove") {
    if (args.size() != 2) return usageError(kSplitUsage);
    const std::optional<Typed> t = codeAndDay(args[0], args[1], why);
    if (!t) return failure("split remove: " + why);
    const SplitOutcome o = removeSplit(targetsOf(paths, dbPath), t->key, t->day);
    if (!o.done()) return failure(failureText("remove", o));
    std::cout << "split of " << t->key << " on " << isoDate(t->day) << " (" << splitRatioText(o.split.ratio)
              << ") removed\n"
              << reportLines("  ", o);
    return kOk;
  }
  if (verb == "list") {
    if (args.size() > 1) return usageError(kSplitUsage);
    std::optional<std::string> key;
    if (!args.empty()) {
      key = typedStockCodeKey(args[0]);
      if (!key) return failure("split list: " + notAStockCode(args[0]));
    }
    const std::filesystem::path file = dbPath.value_or(paths.dailyDb());
    Database d = openForReading(file);
    if (!d.tableExists("list")) return failure("split list: " + toUtf8(file) + " is not a price database");
    std::string out = "コード\t権利落ち日\t比率\t出所\n";
    for (const Split& s : listSplits(d, key))
      out += codeKey(s.code).value_or(s.code.display()) + "\t" + isoDate(s.day) + "\t" + splitRatioText(s.ratio) +
             "\t" + splitSourceName(s.source) + "\n";
    std::cout << out;
    return kOk;
  }
  return usageError(kSplitUsage);
}

}  // namespace tavrin::cli
