// Figures for the price history:
// - storage: bytes per stored close of 4,000 stocks × 5 years of business
//   days (page_count × page_size / rows, as written stock by stock and after
//   VACUUM);
// - bulk import of per-stock history files (export layout): files and lines
//   per second. history_bench [--files N] [--lines N] (default 2,000 × 500;
//   10,000 × 500 is the whole-market figure).
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#include "base/log.h"
#include "data/database.h"
#include "data/price_schema.h"
#include "history/history_files.h"
#include "history/price_history.h"

using namespace tavrin;
using Clock = std::chrono::steady_clock;

namespace {

double since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

// Business days (Monday to Friday) from 2021-01-04 on.
std::vector<int> businessDays(int count) {
  std::vector<int> out;
  for (int d = *dayFromCivil(2021, 1, 4); static_cast<int>(out.size()) < count; ++d) {
    const int weekday = ((d % 7) + 7 + 4) % 7;
    if (weekday != 0 && weekday != 6) out.push_back(d);
  }
  return out;
}

void addStocks(Database& db, int count) {
  Transaction tx(db);
  Statement st(db, "insert into [list] ([銘柄], [コード], [市場], [単位]) values (?, ?, '東証プライム', 100)");
  for (int i = 0; i < count; ++i) {
    st.bind(1, Value("銘柄" + std::to_string(i)));
    st.bind(2, Value(static_cast<std::int64_t>(1001 + i)));
    st.step();
    st.reset();
  }
  tx.commit();
}

std::int64_t fileBytes(Database& db) {
  return db.scalar("pragma page_count").integer() * db.scalar("pragma page_size").integer();
}

}  // namespace

int main(int argc, char** argv) {
  int files = 2000, lines = 500;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--files") == 0) files = std::atoi(argv[i + 1]);
    if (std::strcmp(argv[i], "--lines") == 0) lines = std::atoi(argv[i + 1]);
  }
  setLogQuiet(true);
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("tavrin-history-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);

  // Storage.
  {
    const int stocks = 4000, days = 5 * 245;
    const std::filesystem::path path = dir / "storage.mdb";
    createPriceDatabase(path, "day");
    Database db(path);
    addStocks(db, stocks);
    const std::int64_t empty = fileBytes(db);
    const std::vector<int> d = businessDays(days);
    const auto t = Clock::now();
    {
      Transaction tx(db);
      HistoryWriter w(db);
      for (int s = 0; s < stocks; ++s)
        for (int k = 0; k < days; ++k)
          w.putClose(Value(static_cast<std::int64_t>(1001 + s)), d[k], 500 + (s * 7 + k * 13) % 9000);
      w.flush();
      tx.commit();
    }
    const double secs = since(t);
    const std::int64_t rows = historyRowCount(db);
    const std::int64_t stored = fileBytes(db) - empty;
    db.exec("vacuum");
    const std::int64_t vacuumed = fileBytes(db) - empty;
    std::printf("history storage: %d stocks x %d days = %lld closes written in %.1f s\n", stocks, days,
                static_cast<long long>(rows), secs);
    std::printf("  as written: %.1f MB, %.1f bytes per close; after VACUUM: %.1f MB, %.1f bytes per close\n",
                stored / 1e6, static_cast<double>(stored) / static_cast<double>(rows), vacuumed / 1e6,
                static_cast<double>(vacuumed) / static_cast<double>(rows));
  }

  // Bulk import.
  {
    const std::filesystem::path path = dir / "import.mdb";
    createPriceDatabase(path, "day");
    Database db(path);
    addStocks(db, files);
    const std::vector<int> d = businessDays(lines);
    std::vector<std::filesystem::path> paths;
    for (int f = 0; f < files; ++f) {
      paths.push_back(dir / (std::to_string(1001 + f) + ".jp.txt"));
      std::ofstream out(paths.back(), std::ios::binary);
      out << "Date,Open,High,Low,Close,Volume\n";
      for (int k = 0; k < lines; ++k) out << isoDate(d[k]) << ",1,1,1," << (300 + (f + k) % 5000) << ",1000\n";
    }
    std::size_t reports = 0;
    const std::clock_t cpu = std::clock();
    const auto t = Clock::now();
    const HistoryImportOutcome o = importHistoryFiles(db, paths, [&](const HistoryImportProgress&) {
      ++reports;
      return true;
    });
    const double secs = since(t);
    std::printf(
        "history import: %zu files, %zu lines, %zu closes stored in %.2f s: %.0f files/s, %.0f lines/s"
        " (%zu progress reports)\n",
        o.imported, o.lines, o.written, secs, static_cast<double>(o.imported) / secs,
        static_cast<double>(o.lines) / secs, reports);
    const double cpuSecs = static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC;
    std::printf(
        "  of that %.2f s of processor time (%.0f lines/s); the rest waits for the disk to confirm each file's"
        " commit (%.1f ms a file)\n",
        cpuSecs, static_cast<double>(o.lines) / cpuSecs, (secs - cpuSecs) * 1000.0 / static_cast<double>(files));
    const auto p = Clock::now();
    const PositionsOutcome pos = setPositionsFromHistory(db);
    std::printf("positions from the history: %zu stocks in %.2f s\n", pos.stocks, since(p));
  }
  std::filesystem::remove_all(dir);
  return 0;
}
