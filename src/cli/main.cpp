#include <cstring>
#include <iostream>
#include <map>

#include "base/log.h"
#include "base/text.h"
#include "cli/commands.h"
#include "cli/utf8_output.h"
#include "tavrin_version.h"

namespace tavrin::cli {

int usageError(const std::string& usageLine) {
  std::cerr << "usage: " << usageLine << "\n";
  return kUsage;
}

int failure(const std::string& message) {
  // One line on stderr; the same line goes to the log, as the window keeps it.
  logLine("cli", message);
  std::cerr << "tavrin-cli: " << tavrin::printableText(message) << "\n";
  return kFailed;
}

std::optional<std::string> takeOption(Args& args, const std::string& name, bool* bad) {
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == name) {
      if (i + 1 >= args.size()) {
        if (bad) *bad = true;
        args.erase(args.begin() + static_cast<long>(i));
        return std::nullopt;
      }
      std::string v = args[i + 1];
      args.erase(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(i) + 2);
      return v;
    }
    if (args[i].rfind(name + "=", 0) == 0) {
      std::string v = args[i].substr(name.size() + 1);
      args.erase(args.begin() + static_cast<long>(i));
      return v;
    }
  }
  return std::nullopt;
}

std::filesystem::path takeDatabase(Args& args, const std::filesystem::path& fallback, bool* bad) {
  const std::optional<std::string> db = takeOption(args, "--db", bad);
  return db ? fromUtf8(*db) : fallback;
}

bool hasStrayOption(const Args& args) {
  for (const std::string& a : args)
    if (a.size() > 1 && a[0] == '-') return true;
  return false;
}

bool takeFlag(Args& args, const std::string& name) {
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == name) {
      args.erase(args.begin() + static_cast<long>(i));
      return true;
    }
  }
  return false;
}

}  // namespace tavrin::cli

namespace {

const char* kHelp =
    "usage: tavrin-cli [--root DIR] COMMAND [ARGS]\n"
    "       tavrin-cli --version\n"
    "\n"
    "The data root is DIR, else $TAVRIN_ROOT, else ~/.local/share/Zentavo.\n"
    "\n"
    "commands:\n"
    "  init                                 create the standard files that are missing\n"
    "  demo [--stocks N] [--seed N] [--replace]  fill the root with sample data\n"
    "  dump [--db FILE] [OUTPUT] TABLE      print a table or view as TSV\n"
    "  screen [--db FILE] --universe CODE [--pattern NAME | --all-patterns |\n"
    "         --search-code TEXT | --search-name TEXT | --extract trend|checklist | --restore] [OUTPUT]\n"
    "                                       list a universe as the screening window does\n"
    "                                       (NAME: a button's caption, B1 or 保合, its group and caption,\n"
    "                                       ランキング 1, or its control name, Command14)\n"
    "  import [--db FILE] K:yy/mm/dd:NAME ...   ten-period import from workbooks or CSV files\n"
    "  insert [--db FILE]                   move every price back one period\n"
    "  latest [--db FILE] yy/mm/dd:NAME     read the latest period from a workbook or CSV file\n"
    "  watch list trend|checklist [OUTPUT]  print a watch list\n"
    "  watch add trend|checklist CODE       put a stock on a watch list\n"
    "  watch remove trend|checklist CODE    take a stock off a watch list\n"
    "  links CODE MARKET                    print the chart-link addresses\n"
    "  transfer day|week|month|wDivuzi      copy the price history to the companion database\n"
    "  backup [--db FILE] [--date TEXT]     make a dated backup of the unit's database\n"
    "  history [--db FILE] [--ohlcv] [--raw] CODE\n"
    "                                       print a stock's price history as TSV (--raw: as traded)\n"
    "  history import [--db FILE] [--set-positions] [--positions-date YYYY-MM-DD] FILE...\n"
    "                                       read history files (per stock or per day) into the history\n"
    "  history remove [--db FILE] --day YYYY-MM-DD [--code CODE] | --code CODE\n"
    "                                       remove a day, a stock's history or one close\n"
    "  history check [--db FILE] [CODE]     list one-day spikes and steps of a split ratio\n"
    "  fetch list [--dry-run] [--remove-missing] [--include-funds] [--allow-older]\n"
    "                                       the stock list from the J-Quants data service\n"
    "  fetch prices [--from YYYY-MM-DD] [--to YYYY-MM-DD] [--report]\n"
    "                                       every day's prices from the data service since the latest held\n"
    "  split add [--db FILE] CODE YYYY-MM-DD RATIO\n"
    "                                       enter a split (1:5) or consolidation (10:1) from its ex-date\n"
    "  split list [--db FILE] [CODE]        print the splits entered\n"
    "  split remove [--db FILE] CODE YYYY-MM-DD\n"
    "                                       remove a split, the positions as they were\n"
    "  stocks update [--db FILE] [--dry-run] [--remove-missing] [--include-funds] [--allow-older] FILE\n"
    "                                       make the stock list follow the exchange's listed-issues file\n"
    "  backtest [--db FILE] --universe CODE --pattern NAME|all --horizon H [--from YYYY-MM-DD] [--to YYYY-MM-DD]\n"
    "                                       how a pattern's hits in the price history went on, as TSV\n"
    "  backtest [--db FILE] --code CODE [--universe CODE] [--from YYYY-MM-DD] [--to YYYY-MM-DD]\n"
    "                                       the dates on which one stock met patterns\n"
    "\n"
    "OUTPUT: [--format tsv|csv|csv-cp932|xlsx] [--output FILE]\n"
    "    TSV on stdout unless told otherwise; csv is UTF-8 with a byte order mark, csv-cp932 code page\n"
    "    932 (Shift_JIS), xlsx an Excel workbook with numbers as numbers. csv and xlsx need --output;\n"
    "    a FILE without --format is written in the format its extension names (.csv, .xlsx, else TSV).\n";

}  // namespace

int main(int argc, char** argv) {
  using namespace tavrin::cli;
  // What the commands print quotes file names and file contents: only valid
  // UTF-8 leaves the program.
  Utf8EscapingStream out(std::cout), err(std::cerr);
  Args args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    std::cout << kHelp;
    return args.empty() ? kUsage : kOk;
  }
  if (args[0] == "--version") {
    std::cout << "tavrin-cli " << tavrin::kVersion << "\n";
    return kOk;
  }
  bool bad = false;
  std::optional<std::string> root;
  if (!args.empty() && (args[0] == "--root" || args[0].rfind("--root=", 0) == 0)) {
    Args head(args.begin(), args.begin() + std::min<size_t>(2, args.size()));
    root = takeOption(head, "--root", &bad);
    args.erase(args.begin(), args.begin() + (args[0] == "--root" ? std::min<size_t>(2, args.size()) : 1));
    if (bad) return usageError("tavrin-cli [--root DIR] COMMAND [ARGS]");
  }
  if (args.empty()) return usageError("tavrin-cli [--root DIR] COMMAND [ARGS]");
  tavrin::Paths paths(tavrin::Paths::resolveRoot(root));
  // Failures are logged in the data root; stderr carries only their one line.
  tavrin::setLogFile(tavrin::toUtf8(paths.logFile()));
  tavrin::setLogStderrFallback(false);
  const std::string command = args[0];
  Args rest(args.begin() + 1, args.end());
  static const std::map<std::string, int (*)(const tavrin::Paths&, const Args&)> commands = {
      {"init", cmdInit},     {"demo", cmdDemo},         {"dump", cmdDump},     {"screen", cmdScreen},
      {"import", cmdImport}, {"insert", cmdInsert},     {"latest", cmdLatest}, {"watch", cmdWatch},
      {"links", cmdLinks},   {"transfer", cmdTransfer}, {"backup", cmdBackup}, {"history", cmdHistory},
      {"stocks", cmdStocks}, {"backtest", cmdBacktest}, {"split", cmdSplit},   {"fetch", cmdFetch}};
  auto it = commands.find(command);
  if (it == commands.end()) {
    std::cerr << "tavrin-cli: unknown command '" << tavrin::printableText(command) << "'\n";
    return usageError("tavrin-cli [--root DIR] COMMAND [ARGS]  (see --help)");
  }
  try {
    return it->second(paths, rest);
  } catch (const std::exception& e) {
    return failure(e.what());
  }
}
