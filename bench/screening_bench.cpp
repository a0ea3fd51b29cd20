// Screening speed through the core: one pattern click (query, refresh, sort)
// and all 67 patterns, for 4,000 and 100,000 stocks.
#include <algorithm>
#include <chrono>
#include <cstdio>

#include "app/paths.h"
#include "screening/pattern_catalogue.h"
#include "screening/screening_session.h"
#include "screening_bench_data.h"

using namespace tavrin;
using Clock = std::chrono::steady_clock;

static double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

int main() {
  const auto dir = std::filesystem::temp_directory_path() / "tavrin_screening_bench";
  std::filesystem::create_directories(dir);
  for (int stocks : {4000, 100000}) {
    const auto db = dir / ("kabuka" + std::to_string(stocks) + ".mdb");
    bench::makeScreeningDb(db, stocks);
    const std::string base = universeQuery(1);
    const auto& all = screening::patternCatalogue();

    // Opening the universe (read once, ratios kept for the clicks).
    screening::ScreeningSession loaded(toUtf8(db), 1, base, "day");
    auto t0 = Clock::now();
    loaded.load();
    std::printf("%6d stocks  load universe                     %8.2f ms\n", stocks, ms(Clock::now() - t0));

    // One click: condition, listed rows, sort steps; median over repeated
    // clicks of a few typical buttons. "remembered" is what the window does
    // while the file is unchanged; "database" asks SQLite.
    for (const char* control : {"Command14", "Command50", "Command27", "Command76", "Command111"}) {
      const auto& p = *screening::findPattern(control);
      std::vector<double> fast, slow;
      for (int i = 0; i < (stocks > 10000 ? 5 : 21); ++i) {
        t0 = Clock::now();
        loaded.clickPattern(p);
        fast.push_back(ms(Clock::now() - t0));
        screening::ScreeningSession asked(toUtf8(db), 1, base, "day");
        t0 = Clock::now();
        asked.clickPattern(p);
        slow.push_back(ms(Clock::now() - t0));
      }
      std::sort(fast.begin(), fast.end());
      std::sort(slow.begin(), slow.end());
      std::printf("%6d stocks  click %-10s %-4s median remembered %7.2f ms, database %8.2f ms  (%d listed)\n", stocks,
                  control, p.caption, fast[fast.size() / 2], slow[slow.size() / 2], loaded.listedCount());
    }

    // All 67 patterns as 67 queries.
    t0 = Clock::now();
    long total = 0;
    for (const auto& p : all) {
      screening::ScreeningSession s(toUtf8(db), 1, base, "day");
      s.clickPattern(p);
      total += s.listedCount();
    }
    std::printf("%6d stocks  all 67 patterns as queries        %8.1f ms  (%ld listed in all)\n", stocks,
                ms(Clock::now() - t0), total);

    // All 67 patterns in one pass over the universe (read included).
    t0 = Clock::now();
    const auto counts = screening::countAllPatterns(toUtf8(db), 1, base, "day");
    long total2 = 0;
    for (int c : counts) total2 += c;
    std::printf("%6d stocks  all 67 patterns in one pass       %8.1f ms  (%ld listed in all)\n", stocks,
                ms(Clock::now() - t0), total2);
    // All 67 patterns over the remembered universe.
    t0 = Clock::now();
    const auto counts3 = screening::countAllPatterns(loaded.universe().ratios(), 1, "day");
    std::printf("%6d stocks  all 67 patterns, universe in memory %6.1f ms\n", stocks, ms(Clock::now() - t0));
  }
  std::filesystem::remove_all(dir);
}
