// Figures for the import of per-stock daily history files as the Python
// downloader writes them (a pandas frame with a two-level column index: three
// header rows; open, high, low, close in tenths of a yen, volume):
// - our import: seconds, rows per second, peak memory of the importing
//   process, bytes per stock-day of the database file;
// - the same files through pandas read_csv + sqlite3 executemany in one
//   transaction (bench/pandas_history_import.py), in the same run;
// - a daily update: one more day for every stock.
// history_import_bench [--files N] [--days N] [--keep DIR] (default 2,500 × 3,000)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "base/calendar.h"
#include "base/log.h"
#include "data/database.h"
#include "data/price_schema.h"
#include "history/history_checks.h"
#include "history/history_files.h"
#include "history/price_history.h"

using namespace tavrin;
using Clock = std::chrono::steady_clock;

namespace {

double since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

std::vector<int> businessDays(int count) {
  std::vector<int> out;
  for (int d = *dayFromCivil(2013, 1, 4); static_cast<int>(out.size()) < count; ++d) {
    const int weekday = ((d % 7) + 7 + 4) % 7;
    if (weekday != 0 && weekday != 6) out.push_back(d);
  }
  return out;
}

// A random walk on the exchange's ticks: 0.1 yen below 1,000 yen, 0.5 below
// 3,000, 1 above; volumes in lots of 100.
struct Walk {
  std::uint64_t s;
  double next() {
    s ^= s << 13;
    s ^= s >> 7;
    s ^= s << 17;
    return static_cast<double>(s % 1000000) / 1000000.0;
  }
};
double tick(double p) { return p < 1000 ? 0.1 : p < 3000 ? 0.5 : 1; }
double onTick(double p) { return std::max(tick(p), std::round(p / tick(p)) * tick(p)); }

std::string price(double p) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f", p);
  return buf;
}

void writeFiles(const std::filesystem::path& dir, int files, const std::vector<int>& days) {
  std::filesystem::create_directories(dir);
  for (int f = 0; f < files; ++f) {
    const std::string ticker = std::to_string(1301 + f) + ".T";
    std::string text = "Price,Adj Close,Close,High,Low,Open,Volume\nTicker";
    for (int k = 0; k < 6; ++k) text += "," + ticker;
    text += "\nDate,,,,,,\n";
    Walk w{0x9E3779B97F4A7C15ull ^ static_cast<std::uint64_t>(f + 1) * 0x100000001B3ull};
    double close = 200 + w.next() * 5000;
    for (int d : days) {
      const double open = onTick(close * (0.99 + 0.02 * w.next()));
      close = onTick(close * (0.97 + 0.06 * w.next()));
      const double high = onTick(std::max(open, close) * (1 + 0.02 * w.next()));
      const double low = onTick(std::min(open, close) * (1 - 0.02 * w.next()));
      const long volume = 100L * static_cast<long>(1 + w.next() * 100000);
      text += isoDate(d) + "," + price(close) + "," + price(close) + "," + price(high) + "," + price(low) + "," +
              price(open) + "," + std::to_string(volume) + "\n";
    }
    std::ofstream(dir / (ticker + ".csv"), std::ios::binary) << text;
  }
}

void makeDatabase(const std::filesystem::path& db, int stocks) {
  std::filesystem::remove(db);
  createPriceDatabase(db, "day");
  Database d(db);
  Transaction tx(d);
  Statement st(d, "insert into [list] ([銘柄], [コード], [市場], [単位]) values (?, ?, '東証プライム', 100)");
  for (int i = 0; i < stocks; ++i) {
    st.bind(1, Value("銘柄" + std::to_string(i)));
    st.bind(2, Value(static_cast<std::int64_t>(1301 + i)));
    st.step();
    st.reset();
  }
  tx.commit();
}

std::vector<std::filesystem::path> filesIn(const std::filesystem::path& dir) {
  std::vector<std::filesystem::path> out;
  for (const auto& e : std::filesystem::directory_iterator(dir)) out.push_back(e.path());
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  int files = 2500, days = 3000;
  std::string keep;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--files")) files = std::atoi(argv[i + 1]);
    if (!std::strcmp(argv[i], "--days")) days = std::atoi(argv[i + 1]);
    if (!std::strcmp(argv[i], "--keep")) keep = argv[i + 1];
  }
  setLogQuiet(true);
  const std::filesystem::path dir =
      keep.empty() ? std::filesystem::temp_directory_path() / ("tavrin-import-bench-" + std::to_string(::getpid()))
                   : std::filesystem::path(keep);
  const std::filesystem::path csv = dir / "csv", db = dir / "kabuka.mdb", pandasDb = dir / "pandas.sqlite";
  const std::vector<int> allDays = businessDays(days + 1);
  const std::vector<int> fileDays(allDays.begin(), allDays.end() - 1);
  if (!std::filesystem::exists(csv)) writeFiles(csv, files, fileDays);
  const std::vector<std::filesystem::path> list = filesIn(csv);
  std::uintmax_t csvBytes = 0;
  for (const auto& f : list) csvBytes += std::filesystem::file_size(f);
  std::printf("%zu files, %d days each, %.0f MB of CSV\n", list.size(), days, csvBytes / 1e6);
  std::fflush(stdout);

  // Our import, in a child process so that its peak memory is its own. The
  // files are read once before, so that both runs find them in the cache.
  makeDatabase(db, files);
  for (const auto& f : list) std::ifstream(f, std::ios::binary).ignore(std::numeric_limits<std::streamsize>::max());
  const Clock::time_point t0 = Clock::now();
  const pid_t child = ::fork();
  if (child == 0) {
    Database d(db);
    const HistoryImportOutcome o = importHistoryFiles(d, list);
    std::printf("  imported %zu of %zu files, %zu rows, %zu failed%s\n", o.imported, o.files, o.written, o.failed,
                o.notes.empty() ? "" : (" (" + o.notes.front().detail + ")").c_str());
    std::fflush(stdout);
    ::_exit(o.imported == o.files ? 0 : 1);
  }
  int status = 0;
  rusage usage{};
  ::wait4(child, &status, 0, &usage);
  const double ours = since(t0);
  const double rows = static_cast<double>(list.size()) * days;
  Database d(db, Database::Mode::ReadOnly);
  const double bytes =
      static_cast<double>(d.scalar("pragma page_count").integer() * d.scalar("pragma page_size").integer());
  std::printf(
      "tavrin import: %.2f s, %.2f million rows/s, peak memory %.0f MB, file %.1f MB = %.1f bytes per stock-day\n",
      ours, rows / ours / 1e6, usage.ru_maxrss / 1024.0, bytes / 1e6, bytes / rows);

  // What the import does after its files, over the whole history.
  {
    Database r(db, Database::Mode::ReadOnly);
    Clock::time_point t = Clock::now();
    std::size_t n = 0;
    forEachStockHistory(r, [&](const Value&, const std::vector<Bar>& bars) { n += bars.size(); });
    std::printf("reading the whole history (%zu bars): %.3f s\n", n, since(t));
    t = Clock::now();
    const std::size_t days = historyDays(r).size();
    std::printf("complete days (%zu days): %.3f s\n", days, since(t));
    t = Clock::now();
    const std::size_t findings = checkHistory(r).size();
    std::printf("checks (%zu findings): %.3f s\n", findings, since(t));
  }

  // One more day for every stock, as a daily update brings it.
  {
    const std::filesystem::path day = dir / "day.csv";
    std::string text = "コード,日付,始値,高値,安値,終値,出来高\n";
    for (int i = 0; i < files; ++i)
      text += std::to_string(1301 + i) + "," + isoDate(allDays.back()) + ",1000,1010,990,1005,12300\n";
    std::ofstream(day, std::ios::binary) << text;
    Database w(db);
    const Clock::time_point t = Clock::now();
    const HistoryImportOutcome o = importHistoryFiles(w, {day});
    std::printf("daily update (one day, %zu stocks): %.3f s\n", o.written, since(t));
  }

  // The same files through pandas.
  if (std::getenv("TAVRIN_BENCH_NO_PANDAS")) return 0;
  const std::string script = std::string(TAVRIN_SOURCE_DIR) + "/bench/pandas_history_import.py";
  std::string cmd = "/usr/bin/python3 " + script + " " + pandasDb.string() + " " + (csv / "*.csv").string();
  std::filesystem::remove(pandasDb);
  const Clock::time_point t1 = Clock::now();
  const int rc = std::system((cmd + " >/dev/null").c_str());
  const double pandas = since(t1);
  if (rc == 0)
    std::printf("pandas read_csv + sqlite3 executemany: %.2f s (%.1f times the time of ours)\n", pandas, pandas / ours);
  else
    std::printf("pandas script failed (python3-pandas installed?)\n");
  if (keep.empty()) std::filesystem::remove_all(dir);
  return 0;
}
