#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/paths.h"
#include "export/table_export.h"

namespace tavrin::screening {
struct ScreeningPattern;
}

namespace tavrin::cli {

// Exit codes: 0 done, 1 failed (one line on stderr), 2 wrong arguments.
inline constexpr int kOk = 0;
inline constexpr int kFailed = 1;
inline constexpr int kUsage = 2;

using Args = std::vector<std::string>;

// Each command gets the data root and its own arguments (after the command word).
int cmdInit(const Paths& paths, const Args& args);
int cmdDemo(const Paths& paths, const Args& args);
int cmdDump(const Paths& paths, const Args& args);
int cmdScreen(const Paths& paths, const Args& args);
int cmdImport(const Paths& paths, const Args& args);
int cmdInsert(const Paths& paths, const Args& args);
int cmdLatest(const Paths& paths, const Args& args);
int cmdWatch(const Paths& paths, const Args& args);
int cmdLinks(const Paths& paths, const Args& args);
int cmdTransfer(const Paths& paths, const Args& args);
int cmdBackup(const Paths& paths, const Args& args);
int cmdHistory(const Paths& paths, const Args& args);
int cmdStocks(const Paths& paths, const Args& args);
int cmdBacktest(const Paths& paths, const Args& args);
int cmdSplit(const Paths& paths, const Args& args);
int cmdFetch(const Paths& paths, const Args& args);

// Helpers shared by the commands.
int usageError(const std::string& usageLine);
int failure(const std::string& message);
// Takes "--name VALUE" out of args; nullopt when absent. Sets *bad when the
// option is there without a value.
std::optional<std::string> takeOption(Args& args, const std::string& name, bool* bad);
bool takeFlag(Args& args, const std::string& name);
// Takes "--db FILE": that file, else the fallback (the root's database of the command's unit).
std::filesystem::path takeDatabase(Args& args, const std::filesystem::path& fallback, bool* bad);
// Whether an argument left over looks like an option ("-x", "--x").
bool hasStrayOption(const Args& args);
// Where a command's table goes: "--format tsv|csv|csv-cp932|xlsx" and
// "--output FILE" (TSV on stdout by default; a file without --format takes
// the format its extension names). False when the options do not fit
// together (an unknown format, csv or xlsx without a file).
struct TableOutput {
  exporting::ExportFormat format = exporting::ExportFormat::Tsv;
  std::optional<std::string> path;
};
bool takeTableOutput(Args& args, TableOutput& out, bool* bad);
// Prints the table as TSV or writes it to the file; kOk or a failure.
int emitTable(const exporting::ExportTable& table, const TableOutput& out);
// The failure text for a command-line code that is no stock code.
std::string notAStockCode(const std::string& text);
// The one pattern button a typed name (control name, caption, group and
// caption) names; else nullptr and *message says that none or which several.
const screening::ScreeningPattern* namedPattern(const std::string& name, std::string* message);

}  // namespace tavrin::cli
