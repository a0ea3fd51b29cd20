// Ten sheets of 4,000 stocks imported at once from .xls and .xlsx, the
// latest period from an .xls sheet and from a data service's CSV file, and
// the one-period insert on 100,000 stocks. Prints the median of several runs.
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/paths.h"
#include "base/encoding.h"
#include "data/price_schema.h"
#include "formats/price_file.h"
#include "history/price_history.h"
#include "registration/period_file.h"
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

// Writes one workbook with a real writer: tools/write_xls.py (xlwt) for
// .xls, tools/write_price_file.py (xlsxwriter) for .xlsx.
bool writeBook(const std::filesystem::path& dir, const std::filesystem::path& path,
               const std::array<PeriodSource, 10>& periods, int sheets, int stocks) {
  const bool xls = path.extension() == ".xls";
  std::string json = "{\"path\": \"" + toUtf8(path) + "\", \"writer\": \"xlsxwriter\", \"sheets\": [";
  for (int k = 1; k <= sheets; ++k) {
    json += std::string(k > 1 ? ", " : "") + "{\"name\": \"" + periods[static_cast<size_t>(k - 1)].sheet +
            "\", \"rows\": [[\"コード\", \"銘柄\", \"終値\"]";
    for (int i = 0; i < stocks; ++i)
      json += ", [" + std::to_string(1300 + i) + ", \"n\", " + std::to_string(2000 + i + k) + ".5]";
    json += "]}";
  }
  json += "]}";
  const std::filesystem::path request = dir / "request.json";
  std::ofstream(request) << json;
  const std::string cmd = std::string("/usr/bin/python3 tools/") + (xls ? "write_xls.py" : "write_price_file.py") +
                          " < '" + request.string() + "'";
  return std::system(cmd.c_str()) == 0;
}

// The daily file of a data service: code page 932, every field quoted.
void writeServiceCsv(const std::filesystem::path& path, int stocks) {
  std::string text = "\"SC\",\"名称\",\"市場\",\"業種\",\"日付\",\"株価\",\"前日比\",\"出来高\"\r\n";
  for (int i = 0; i < stocks; ++i)
    text += "\"" + std::to_string(1300 + i) + "\",\"銘柄" + std::to_string(i) +
            "\",\"東証プライム\",\"電気機器\",\"2004/05/10\",\"" + std::to_string(2001 + i) + "\",\"+3\",\"12300\"\r\n";
  std::ofstream(path, std::ios::binary) << *utf8ToCp932(text);
}

struct Timing {
  double wall = 0, cpu = 0;
};

// Median wall and processor time of five runs of one import on fresh databases.
template <class Run>
Timing timeImports(const std::filesystem::path& dir, const char* label, int stocks, Run run) {
  std::vector<double> wall, cpu;
  for (int r = 0; r < 5; ++r) {
    const std::filesystem::path db = dir / (std::string(label) + std::to_string(r) + ".mdb");
    fillList(db, stocks);
    Database d(db);
    const double c0 = cpuMs();
    const auto t0 = Clock::now();
    ImportOutcome o = run(d);
    const auto t1 = Clock::now();
    cpu.push_back(cpuMs() - c0);
    wall.push_back(ms(t0, t1));
    if (!o.done()) {
      std::fprintf(stderr, "%s failed: %s\n", label, describeFailure(o).c_str());
      std::exit(1);
    }
  }
  return {median(wall), median(cpu)};
}

}  // namespace

int main() {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("tavrin-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  Paths paths(dir);

  const int stocks = 4000;
  std::array<PeriodSource, 10> periods;
  for (int k = 1; k <= 10; ++k) {
    char dd[16];
    std::snprintf(dd, sizeof dd, "%02d", 11 - k);
    periods[static_cast<size_t>(k - 1)] = periodFromParts("04", "05", dd, "");
  }
  if (!writeBook(dir, paths.workbook("bench"), periods, 10, stocks) ||
      !writeBook(dir, dir / "bench.xlsx", periods, 10, stocks)) {
    std::fprintf(stderr, "cannot write workbooks (run from the source folder)\n");
    return 1;
  }
  writeServiceCsv(dir / "bench.csv", stocks);

  auto withFile = [&periods](const std::string& name) {
    std::array<PeriodSource, 10> p = periods;
    for (PeriodSource& s : p) s.baseName = name;
    return p;
  };
  const auto xlsPeriods = withFile("bench"), xlsxPeriods = withFile("bench.xlsx"), csvPeriods = withFile("bench.csv");
  const Timing tenXls =
      timeImports(dir, "xls10", stocks, [&](Database& d) { return importTenPeriods(d, paths, xlsPeriods, "day"); });
  const Timing tenXlsx =
      timeImports(dir, "xlsx10", stocks, [&](Database& d) { return importTenPeriods(d, paths, xlsxPeriods, "day"); });
  const Timing latestXls =
      timeImports(dir, "xls1", stocks, [&](Database& d) { return importLatest(d, paths, xlsPeriods[0], "day"); });
  const Timing latestCsv =
      timeImports(dir, "csv1", stocks, [&](Database& d) { return importLatest(d, paths, csvPeriods[0], "day"); });

  // The CSV file alone: read, decoded, split and indexed.
  std::vector<double> readCsv;
  for (int r = 0; r < 9; ++r) {
    const double c0 = cpuMs();
    std::unique_ptr<PriceFile> f = openPriceFile(dir / "bench.csv");
    const PeriodPrices prices = readPeriodPrices(f->readSheet(""), f->kind(), dayFromRecordDate("04/05/10"));
    readCsv.push_back(cpuMs() - c0);
    if (prices.pricesRead != static_cast<std::size_t>(stocks)) return 1;
  }

  std::vector<double> insertTimes, insertCpu;
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
      if (!o.done()) return 1;
      insertTimes.push_back(ms(t0, t1));
    }
  }
  std::printf("ten-period import, one workbook of 10 sheets x %d stocks (median of 5):\n", stocks);
  std::printf("  .xls  (xlwt):       %6.1f ms wall, %6.1f ms cpu (the reader process's time is wall only)\n",
              tenXls.wall, tenXls.cpu);
  std::printf("  .xlsx (xlsxwriter): %6.1f ms wall, %6.1f ms cpu (target <= 150 ms)\n", tenXlsx.wall, tenXlsx.cpu);
  std::printf("latest-period import, %d stocks (median of 5):\n", stocks);
  std::printf("  .xls sheet:         %6.1f ms wall, %6.1f ms cpu\n", latestXls.wall, latestXls.cpu);
  std::printf("  CSV, code page 932: %6.1f ms wall, %6.1f ms cpu (target <= 10 ms)\n", latestCsv.wall, latestCsv.cpu);
  std::printf("  of which reading the CSV file: %.1f ms cpu (median of 9)\n", median(readCsv));
  std::printf("one-period insert, 100000 stocks: %.1f ms wall, %.1f ms cpu (median of 5; target <= 100 ms)\n",
              median(insertTimes), median(insertCpu));
  std::filesystem::remove_all(dir);
  return 0;
}
