#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/paths.h"
#include "base/outcome.h"

namespace tavrin {

// The largest sample market: beyond the four-character codes (about 75,000)
// it takes five-character ones.
inline constexpr int kMaxDemoStocks = 200000;
// Stocks a sheet of the sample workbook holds: a .xls sheet has 65,536 rows,
// one of them the heading.
inline constexpr std::size_t kMaxSheetStocks = 65535;

struct DemoOptions {
  int stocks = 3800;  // random-walk stocks, 0..kMaxDemoStocks
  std::uint64_t seed = 1;
  bool replace = false;  // replace existing sample files
};

enum class DemoFailure {
  None,
  StocksOutOfRange,    // the count of stocks is outside 0..kMaxDemoStocks; nothing written
  FilesExist,          // a sample file is there and replace is off; nothing written
  Failed,              // a file could not be made (the reason in detail)
  WorkbookNotWritten,  // every file but the sample workbook was written (why in detail)
};

struct DemoResult : Outcome<DemoFailure> {
  std::vector<std::filesystem::path> files;
  std::size_t stocks = 0;          // stocks of list besides the index placeholder
  std::size_t workbookStocks = 0;  // stocks on each sheet of the workbook (fewer than stocks when they do not fit)
};

// Fills the root with a plausible sample market: the three price databases
// (ten dated periods each), the watch lists, the companion databases and the
// workbook of the daily periods plus the next day. The same seed gives the
// same files. Every stock has a price on the next day's sheet; pattern
// samples are planted so that every screening pattern lists a stock of the
// whole market both now and after the next day has been inserted and read.
// Fails when a target exists and replace is off, or when the count of
// stocks is out of range, before anything is written.
DemoResult makeDemo(const Paths& paths, const DemoOptions& options);

// The codes of the random-walk stocks of a sample market, in the order they
// are given out: distinct, four characters ("7203", "130A") as long as any
// is left, five after that ("72035"); none below 1301.
std::vector<std::string> sampleStockCodes(std::size_t count, std::uint64_t seed);

// The next day's sheet name in the sample workbook ("s" + yymmdd) and the
// workbook's base name.
inline constexpr const char* kDemoWorkbook = "owarine";
// The sample's list of listed issues in the exchange's layout, a month on:
// new listings, renames, moves and stocks left out, for the stock list update.
inline constexpr const char* kDemoListedIssues = "data_j";
inline constexpr const char* kDemoNextDaySheet = "s261209";
inline constexpr const char* kDemoNextDayDate = "26/12/09";

}  // namespace tavrin
