// Figures for reading history files, without the database:
// - parseHistoryFile on 3,000-line texts of each layout (the downloader's
//   frame with open, high, low, close, adjusted close and volume; the export
//   and bulk-download layouts; a per-day file of 4,000 stocks in code page
//   932): MB/s and lines/s on one thread, the best of five runs;
// - readHistoryFile over downloader files on disk, on one and on two
//   threads (as the import runs them): files/s and lines/s.
//   history_parse_bench [--files N] [--lines N] (default 400 × 3,000; the
//   whole-market figure is 2,500 × 3,000, 400 MB of files).
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "base/calendar.h"
#include "base/encoding.h"
#include "base/files.h"
#include "history/history_files.h"

using namespace tavrin;
using Clock = std::chrono::steady_clock;

namespace {

double since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

// Business days (Monday to Friday) from 2013-01-07 on.
std::vector<int> businessDays(int count) {
  std::vector<int> out;
  for (int d = *dayFromCivil(2013, 1, 7); static_cast<int>(out.size()) < count; ++d) {
    const int weekday = ((d % 7) + 7 + 4) % 7;
    if (weekday != 0 && weekday != 6) out.push_back(d);
  }
  return out;
}

// A price as pandas writes a float64 widened from a float32: the shortest
// digits that read back to it ("2771.5", "2650.123046875"), ".0" for a whole one.
std::string floatText(double v) {
  char buf[64];
  const auto end = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed).ptr;
  std::string s(buf, end);
  if (s.find('.') == std::string::npos) s += ".0";
  return s;
}

std::string downloaderText(const std::string& ticker, int lines, int seed) {
  std::string t = "Price,Adj Close,Close,High,Low,Open,Volume\nTicker";
  for (int k = 0; k < 6; ++k) t += "," + ticker;
  t += "\nDate,,,,,,\n";
  const std::vector<int> days = businessDays(lines);
  double close = 1000 + seed % 3000;
  for (int k = 0; k < lines; ++k) {
    close = std::max(10.0, close + ((k * 7919 + seed) % 41 - 20) * 0.5);
    const double adj = static_cast<double>(static_cast<float>(close * 0.93117));
    t += isoDate(days[static_cast<std::size_t>(k)]) + "," + floatText(adj) + "," + floatText(close) + "," +
         floatText(close + 12.5) + "," + floatText(close - 8) + "," + floatText(close - 2.5) + "," +
         std::to_string(100000 + (k * 131 + seed) % 9000000) + "\n";
  }
  return t;
}

std::string exportText(int lines) {
  std::string t = "Date,Open,High,Low,Close,Volume\n";
  const std::vector<int> days = businessDays(lines);
  for (int k = 0; k < lines; ++k)
    t += isoDate(days[static_cast<std::size_t>(k)]) + "," + std::to_string(2500 + k % 50) + "," +
         std::to_string(2550 + k % 50) + "," + std::to_string(2490 + k % 50) + "," + std::to_string(2530 + k % 50) +
         ".5," + std::to_string(1000000 + k) + "\n";
  return t;
}

std::string bulkText(int lines) {
  std::string t = "<TICKER>,<PER>,<DATE>,<TIME>,<OPEN>,<HIGH>,<LOW>,<CLOSE>,<VOL>,<OPENINT>\n";
  const std::vector<int> days = businessDays(lines);
  for (int k = 0; k < lines; ++k) {
    int y, m, d;
    civilFromDay(days[static_cast<std::size_t>(k)], y, m, d);
    char buf[128];
    std::snprintf(buf, sizeof buf, "7203.JP,D,%04d%02d%02d,000000,%d,%d,%d,%d.5,%d,0\n", y, m, d, 2500 + k % 50,
                  2550 + k % 50, 2490 + k % 50, 2530 + k % 50, 1000000 + k);
    t += buf;
  }
  return t;
}

std::string perDayText(int stocks) {
  std::string t = "日付,コード,銘柄名,始値,高値,安値,終値,出来高\n";
  for (int s = 0; s < stocks; ++s)
    t += "2024/1/4," + std::to_string(1301 + s) + ",銘柄" + std::to_string(s) + ",\"2,500\",\"2,550\",\"2,490\",\"" +
         std::to_string(1 + s % 9) + "," + std::to_string(100 + s % 900) + "\",\"1,000,000\"\n";
  return *utf8ToCp932(t);
}

void parseFigure(const char* what, const std::string& bytes, const std::string& name, int rounds) {
  ParsedHistoryFile f = parseHistoryFile(bytes, name);
  if (!f.done()) {
    std::printf("%s: not read: %s\n", what, f.detail.c_str());
    return;
  }
  // The best of five runs: the machine is shared.
  double secs = 1e9;
  for (int run = 0; run < 5; ++run) {
    const auto t = Clock::now();
    for (int r = 0; r < rounds; ++r) (void)parseHistoryFile(bytes, name);
    secs = std::min(secs, since(t));
  }
  const double lines = static_cast<double>(f.lines) * rounds;
  std::printf("parse %-34s %8.0f MB/s %6.2f million lines/s (%zu lines, %zu bytes a file)\n", what,
              static_cast<double>(bytes.size()) * rounds / secs / 1e6, lines / secs / 1e6, f.lines, bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
  int files = 400, lines = 3000;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--files") == 0) files = std::atoi(argv[i + 1]);
    if (std::strcmp(argv[i], "--lines") == 0) lines = std::atoi(argv[i + 1]);
  }
  parseFigure("downloader's frame, OHLCV + Adj Close", downloaderText("7203.T", lines, 7), "7203.T.csv", 200);
  parseFigure("export layout", exportText(lines), "7203.csv", 200);
  parseFigure("bulk-download layout", bulkText(lines), "7203.jp.txt", 200);
  parseFigure("per-day file, code page 932", perDayText(4000), "20240104.csv", 100);

  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("tavrin-history-parse-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::vector<std::filesystem::path> paths;
  std::uintmax_t bytes = 0;
  for (int f = 0; f < files; ++f) {
    paths.push_back(dir / (std::to_string(1301 + f) + ".T.csv"));
    const std::string text = downloaderText(std::to_string(1301 + f) + ".T", lines, f);
    bytes += text.size();
    std::ofstream(paths.back(), std::ios::binary) << text;
  }
  for (int threads : {1, 2}) {
    std::atomic<std::size_t> next{0}, read{0}, failed{0};
    const auto t = Clock::now();
    std::vector<std::thread> pool;
    for (int k = 0; k < threads; ++k)
      pool.emplace_back([&] {
        for (std::size_t i; (i = next++) < paths.size();) {
          const ParsedHistoryFile f = readHistoryFile(paths[i]);
          read += f.lines;
          if (!f.done()) ++failed;
        }
      });
    for (std::thread& th : pool) th.join();
    const double secs = since(t);
    std::printf(
        "read and parse %d downloader files (%.0f MB) on %d thread(s): %.2f s, %.0f files/s, %.2f million lines/s%s\n",
        files, static_cast<double>(bytes) / 1e6, threads, secs, files / secs, static_cast<double>(read) / secs / 1e6,
        failed ? " (some failed)" : "");
  }
  std::filesystem::remove_all(dir);
  return 0;
}
