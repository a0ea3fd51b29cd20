// The 67 pattern counts over a universe in memory: the row evaluator (one
// stock at a time) against the columnar evaluator, for 4,000 and 100,000
// stocks of random-walk prices plus the planted sample stocks.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>

#include "sample/demo_planting.h"
#include "screening/columnar.h"
#include "screening/screening_session.h"

using namespace tavrin;
using Clock = std::chrono::steady_clock;

static double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Ratios as the views compute them: whole percent, halves away from zero.
static std::optional<double> viewRatio(std::int64_t p0, std::int64_t pn) {
  const std::int64_t num = 100 * (pn - p0);
  const std::int64_t q = (2 * (num < 0 ? -num : num) + p0) / (2 * p0);
  return static_cast<double>(num < 0 ? -q : q);
}

int main() {
  std::mt19937 rng(7);
  for (int stocks : {4000, 100000}) {
    std::vector<screening::Ratios> rows;
    for (const auto& p : patternSamplePrices()) {
      screening::Ratios r;
      for (size_t n = 0; n < 9; ++n) r[n] = viewRatio(p[0], p[n + 1]);
      rows.push_back(r);
    }
    for (int s = 0; s < stocks; ++s) {
      double price = 200 + rng() % 5000;
      const double drift = (static_cast<int>(rng() % 21) - 10) / 1000.0;
      std::int64_t p[10];
      for (auto& x : p) {
        x = std::max<std::int64_t>(1, static_cast<std::int64_t>(price));
        price *= 1 + drift + (static_cast<int>(rng() % 61) - 30) / 1000.0;
      }
      screening::Ratios r;
      for (size_t n = 0; n < 9; ++n) r[n] = viewRatio(p[0], p[n + 1]);
      rows.push_back(r);
    }
    const screening::RatioColumns columns = screening::RatioColumns::from(rows);
    for (int u : {1}) {
      std::vector<double> byRow, byColumn;
      std::vector<int> a, b;
      const int repeats = stocks > 10000 ? 5 : 21;
      for (int i = 0; i < repeats; ++i) {
        auto t0 = Clock::now();
        a = screening::countAllPatternsByRow(rows, u, "day");
        byRow.push_back(ms(Clock::now() - t0));
        t0 = Clock::now();
        b = screening::countAllPatterns(columns, u, "day");
        byColumn.push_back(ms(Clock::now() - t0));
      }
      std::sort(byRow.begin(), byRow.end());
      std::sort(byColumn.begin(), byColumn.end());
      long total = 0;
      for (int c : b) total += c;
      std::printf("%6zu stocks  all 67 counts, median: row evaluator %8.2f ms, columnar %7.2f ms  (%ld hits, %s)\n",
                  rows.size(), byRow[byRow.size() / 2], byColumn[byColumn.size() / 2], total,
                  a == b ? "same counts" : "COUNTS DIFFER");
    }
  }
}
