// Ten sheets of 4,000 stocks imported at once, and the one-period insert on
// 100,000 stocks. Prints the median of several runs.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/paths.h"
#include "data/price_schema.h"
#include "registration/price_import.h"

using namespace tavrin;
using Clock = std::chrono::steady_clock;

namespace {

void fillList(const std::filesystem::path& path, int stocks) {
  createPriceDatabase(path, "day");
  Database db(path);
  Transaction tx(db);
  for (const char* table : {"list", "hojyo"}) {
    Statement st(db,
                 std::string("insert into [") + table +
                     "] ([銘柄], [コード], [市場], [単位], [市場区分], kabuka1, kabuka2, kabuka3, kabuka4, kabuka5, "
                     "kabuka6, kabuka7, kabuka8, kabuka9, kabuka10) values (?, ?, '東証１部', 100, '一般', ?, ?, ?, "
                     "?, ?, ?, ?, ?, ?, ?)");
    for (int i = 0; i < stocks; ++i) {
      st.bind(1, "銘柄" + std::to_string(i));
      st.bind(2, Value(static_cast<std::int64_t>(1300 + i)));
      for (int k = 0; k < 10; ++k) st.bind(3 + k, Value(static_cast<std::int64_t>(1000 + i + k)));
      st.step();
      st.reset();
    }
  }
  tx.commit();
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double ms(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double, std::milli>(b - a).count(); }

// Processor time of this process in ms: the figure that does not depend on
// how busy the other processes keep the machine.
double cpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

}  // namespace

int main() {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("tavrin-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  Paths paths(dir);

  // Ten workbooks of one sheet each, 4,000 stocks, written by the real writer.
  const int stocks = 4000;
  std::array<PeriodSource, 10> periods;
  for (int k = 1; k <= 10; ++k) {
    char dd[16];
    std::snprintf(dd, sizeof dd, "%02d", 11 - k);
    periods[static_cast<size_t>(k - 1)] = periodFromParts("04", "05", dd, "bench" + std::to_string(k));
    std::string json = "{\"path\": \"" + toUtf8(paths.workbook("bench" + std::to_string(k))) +
                       "\", \"sheets\": [{\"name\": \"" + periods[static_cast<size_t>(k - 1)].sheet +
                       "\", \"rows\": [[\"code\", \"name\", \"close\"]";
    for (int i = 0; i < stocks; ++i)
      json += ", [" + std::to_string(1300 + i) + ", \"n\", " + std::to_string(2000 + i + k) + ".5]";
    json += "]}]}";
    const std::filesystem::path request = dir / "request.json";
    std::ofstream(request) << json;
    const std::string cmd = "/usr/bin/python3 tools/write_xls.py < '" + request.string() + "'";
    if (std::system(cmd.c_str()) != 0) {
      std::fprintf(stderr, "cannot write workbooks (run from the source folder)\n");
      return 1;
    }
  }

  std::vector<double> importTimes, latestTimes, insertTimes, importCpu, insertCpu;
  for (int run = 0; run < 5; ++run) {
    const std::filesystem::path db = dir / ("import" + std::to_string(run) + ".mdb");
    fillList(db, stocks);
    Database d(db);
    double c0 = cpuMs();
    auto t0 = Clock::now();
    ImportOutcome o = importTenPeriods(d, paths, periods, "day");
    auto t1 = Clock::now();
    importCpu.push_back(cpuMs() - c0);
    if (!o.done() || o.rowsChanged != static_cast<size_t>(stocks)) {
      std::fprintf(stderr, "import failed: %s\n", describeFailure(o).c_str());
      return 1;
    }
    importTimes.push_back(ms(t0, t1));
    t0 = Clock::now();
    o = importLatest(d, paths, periods[0], "day");
    t1 = Clock::now();
    latestTimes.push_back(ms(t0, t1));
  }
  const std::filesystem::path big = dir / "insert.mdb";
  fillList(big, 100000);
  {
    Database d(big);
    const std::array<PeriodSource, 10> rows = periodsFromRecord(*readDateRecord(d));
    for (int run = 0; run < 5; ++run) {
      double c0 = cpuMs();
      auto t0 = Clock::now();
      InsertOutcome o = insertPeriod(d, rows, "day");
      auto t1 = Clock::now();
      insertCpu.push_back(cpuMs() - c0);
      if (!o.done) return 1;
      insertTimes.push_back(ms(t0, t1));
    }
  }
  std::printf("ten-period import, 10 sheets x %d stocks: %.1f ms wall, %.1f ms cpu (median of 5; target <= 150 ms)\n",
              stocks, median(importTimes), median(importCpu));
  std::printf("latest-period import, 1 sheet x %d stocks: %.1f ms (median of 5)\n", stocks, median(latestTimes));
  std::printf("one-period insert, 100000 stocks: %.1f ms wall, %.1f ms cpu (median of 5; target <= 100 ms)\n",
              median(insertTimes), median(insertCpu));
  std::filesystem::remove_all(dir);
  return 0;
}
