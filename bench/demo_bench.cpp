// Figures for the sample market: how long `tavrin-cli demo` takes to write a
// market of a given size (databases, watch lists, companion files and the
// workbook).
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "base/log.h"
#include "sample/sample_market.h"

using namespace tavrin;
using Clock = std::chrono::steady_clock;

int main(int argc, char** argv) {
  setLogQuiet(true);
  const auto dir = std::filesystem::temp_directory_path() / ("tavrin-bench-demo-" + std::to_string(::getpid()));
  std::vector<int> sizes = {3800, 100000};
  if (argc > 1) {
    sizes.clear();
    for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
  }
  for (int stocks : sizes) {
    std::filesystem::remove_all(dir);
    DemoOptions o;
    o.stocks = stocks;
    const auto t = Clock::now();
    const DemoResult r = makeDemo(Paths(dir), o);
    const double s = std::chrono::duration<double>(Clock::now() - t).count();
    std::uintmax_t bytes = 0;
    for (const auto& f : r.files) bytes += std::filesystem::file_size(f);
    std::printf("%6d stocks: %.1f s, %zu files, %.1f MB, %zu stocks per workbook sheet%s%s\n", stocks, s,
                r.files.size(), static_cast<double>(bytes) / 1e6, r.workbookStocks,
                r.done() ? "" : ", workbook not written: ", r.detail.c_str());
  }
  std::filesystem::remove_all(dir);
  return 0;
}
