#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "app/paths.h"

namespace tavrin {

struct DemoOptions {
  int stocks = 3800;
  std::uint64_t seed = 1;
  bool replace = false;  // replace existing sample files
};

struct DemoResult {
  std::vector<std::filesystem::path> files;
  std::string workbookNote;  // why the workbook was not written, if it was not
};

// Fills the root with a plausible sample market: the three price databases
// (ten dated periods each), the watch lists, the companion databases and the
// workbook of the daily periods plus the next day. The same seed gives the
// same files. Throws when a target exists and replace is off.
DemoResult makeDemo(const Paths& paths, const DemoOptions& options);

// The next day's sheet name in the sample workbook ("s" + yymmdd) and the
// workbook's base name.
inline constexpr const char* kDemoWorkbook = "owarine";
inline constexpr const char* kDemoNextDaySheet = "s261209";
inline constexpr const char* kDemoNextDayDate = "26/12/09";

}  // namespace tavrin
