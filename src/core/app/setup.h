#pragma once
#include <vector>

#include "app/paths.h"

namespace tavrin {

// Creates the standard files that are missing below the root (the three price
// databases with their unit words, the watch-list database, an empty memo),
// never touching one that exists. Returns the files it created.
std::vector<std::filesystem::path> initStandardFiles(const Paths& paths);

}  // namespace tavrin
