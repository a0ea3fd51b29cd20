#include "app/setup.h"

#include <fstream>

#include "data/price_schema.h"
#include "data/watch_schema.h"

namespace tavrin {

std::vector<std::filesystem::path> initStandardFiles(const Paths& paths) {
  std::vector<std::filesystem::path> made;
  std::filesystem::create_directories(paths.root());
  const std::pair<std::filesystem::path, const char*> dbs[] = {
      {paths.dailyDb(), "day"}, {paths.weeklyDb(), "week"}, {paths.monthlyDb(), "month"}};
  for (const auto& [path, unit] : dbs) {
    if (std::filesystem::exists(path)) continue;
    createPriceDatabase(path, unit);
    made.push_back(path);
  }
  if (!std::filesystem::exists(paths.watchListDb())) {
    createWatchListDatabase(paths.watchListDb());
    made.push_back(paths.watchListDb());
  }
  if (!std::filesystem::exists(paths.memoFile())) {
    std::ofstream(paths.memoFile(), std::ios::binary);
    made.push_back(paths.memoFile());
  }
  return made;
}

}  // namespace tavrin
