// The pattern counts and the pattern backtest, each with the row evaluator
// (one stock at a time) against the columnar evaluator (columns of ratios,
// a block of stocks at a time) in the same run:
//   - all 67 counts over 4,000 and 100,000 stocks whose ratios are in memory;
//   - all 67 patterns backtested over 250 dates × 4,000 stocks (horizons 1, 5, 10);
//   - reading that history (about a million closes) from a price database.
// Prices are random walks plus the planted sample stocks, so that every
// pattern has hits.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <random>
#include <string>
#include <thread>

#include "app/paths.h"
#include "backtest/backtest.h"
#include "data/price_schema.h"
#include "history/price_history.h"
#include "sample/demo_planting.h"
#include "screening/columnar.h"
#include "screening/pattern_catalogue.h"
#include "screening/screening_session.h"

using namespace tavrin;
using Clock = std::chrono::steady_clock;

static double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

static double cpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// The median of the wall-clock times; the processor time of that run goes
// into *cpu (on a busy machine the wall clock also counts the waits for a core).
template <class F>
static double median(int repeats, F&& f, double* cpu = nullptr) {
  std::vector<std::pair<double, double>> t;
  for (int i = 0; i < repeats; ++i) {
    const auto t0 = Clock::now();
    const double c0 = cpuMs();
    f();
    t.emplace_back(ms(Clock::now() - t0), cpuMs() - c0);
  }
  std::sort(t.begin(), t.end());
  if (cpu) *cpu = t[t.size() / 2].second;
  return t[t.size() / 2].first;
}

// A panel of random-walk stocks over `days` dates, the planted stocks last
// (their ten closes at the end of the history).
static backtest::HistoryPanel makePanel(int stocks, int days, std::mt19937& rng) {
  backtest::HistoryPanel panel;
  panel.unitWord = "day";
  for (int d = 0; d < days; ++d) panel.days.push_back(20000 + d);
  const auto planted = patternSamplePrices();
  const std::size_t n = static_cast<std::size_t>(stocks) + planted.size();
  for (std::size_t s = 0; s < n; ++s) {
    backtest::PanelStock st;
    st.key = std::to_string(1300 + s);
    st.code = Value(static_cast<std::int64_t>(1300 + s));
    st.market = "東証プライム";
    st.unit = 100;
    panel.stocks.push_back(std::move(st));
  }
  panel.closes.assign(n * static_cast<std::size_t>(days), backtest::kNoClose);
  for (int s = 0; s < stocks; ++s) {
    double price = 200 + rng() % 5000;
    const double drift = (static_cast<int>(rng() % 21) - 10) / 1000.0;
    for (int d = 0; d < days; ++d) {
      panel.closes[static_cast<std::size_t>(d) * n + static_cast<std::size_t>(s)] =
          std::max<std::int64_t>(1, static_cast<std::int64_t>(price));
      price *= 1 + drift + (static_cast<int>(rng() % 61) - 30) / 1000.0;
    }
  }
  for (std::size_t p = 0; p < planted.size(); ++p)
    for (std::size_t k = 0; k < 10 && k < planted[p].size(); ++k)
      if (planted[p][k] > 0)
        panel.closes[(static_cast<std::size_t>(days) - 1 - k) * n + static_cast<std::size_t>(stocks) + p] =
            planted[p][k];
  return panel;
}

static std::vector<screening::Ratios> latestRatios(const backtest::HistoryPanel& panel) {
  const std::size_t last = panel.days.size() - 1;
  std::vector<screening::Ratios> rows(panel.stocks.size());
  for (std::size_t s = 0; s < rows.size(); ++s)
    for (std::size_t k = 0; k < 9; ++k)
      rows[s][k] = backtest::viewRatio(panel.closeAt(s, last), panel.closeAt(s, last - k - 1));
  return rows;
}

// The backtest's hits with the row evaluator: every stock of every date, one
// condition at a time.
static std::size_t rowBacktestHits(const backtest::HistoryPanel& panel) {
  std::size_t hits = 0;
  std::vector<screening::Ratios> rows(panel.stocks.size());
  for (std::size_t d = 9; d < panel.days.size(); ++d) {
    for (std::size_t s = 0; s < rows.size(); ++s)
      for (std::size_t k = 0; k < 9; ++k)
        rows[s][k] = backtest::viewRatio(panel.closeAt(s, d), panel.closeAt(s, d - k - 1));
    for (const auto& p : screening::patternCatalogue()) {
      const screening::Condition& c = screening::conditionFor(p, 1, "day");
      for (const auto& r : rows)
        if (c.evaluate(r) == screening::Truth::True) ++hits;
    }
  }
  return hits;
}

int main() {
  std::mt19937 rng(11);
  {
    std::ifstream load("/proc/loadavg");
    std::string avg;
    std::getline(load, avg);
    if (!avg.empty()) std::printf("load average %s\n", avg.c_str());
  }

  // Counts over a universe in memory.
  for (int stocks : {4000, 100000}) {
    const backtest::HistoryPanel panel = makePanel(stocks, 12, rng);
    const std::vector<screening::Ratios> rows = latestRatios(panel);
    const screening::RatioColumns columns = screening::RatioColumns::from(rows);
    std::vector<int> a, b;
    const int repeats = stocks > 10000 ? 5 : 21;
    double rowCpu = 0, columnCpu = 0;
    const double byRow = median(
        repeats, [&] { a = screening::countAllPatternsByRow(rows, 1, "day"); }, &rowCpu);
    const double byColumn = median(
        repeats, [&] { b = screening::countAllPatterns(columns, 1, "day"); }, &columnCpu);
    long total = 0;
    for (int c : b) total += c;
    std::printf(
        "counts   %6zu stocks, all 67 patterns: row evaluator %8.2f ms (cpu %.2f), columnar %7.2f ms (cpu %.2f)  "
        "(%ld hits, %s)\n",
        rows.size(), byRow, rowCpu, byColumn, columnCpu, total, a == b ? "same counts" : "COUNTS DIFFER");
  }

  // The backtest: 250 dates (259 days of history) × 4,000 stocks.
  const backtest::HistoryPanel panel = makePanel(4000, 259, rng);
  backtest::BacktestRequest request;
  request.universeIndex = 1;
  request.horizons = {1, 5, 10};
  backtest::BacktestResult result;
  double columnarCpu = 0, rowCpu = 0;
  const double columnar = median(
      5, [&] { result = backtest::runBacktest(panel, request); }, &columnarCpu);
  std::size_t hits = 0;
  for (const auto& p : result.patterns) hits += p.hits.size();
  std::size_t rowHits = 0;
  const double byRow = median(
      1, [&] { rowHits = rowBacktestHits(panel); }, &rowCpu);
  std::printf(
      "backtest %zu dates × %zu stocks, all 67 patterns, horizons 1/5/10: columnar %.0f ms on %u threads (cpu of "
      "the first %.0f, %zu hits); row evaluator, hits only, one thread %.0f ms (cpu %.0f, %s)\n",
      result.dates.size(), panel.stocks.size(), columnar, std::max(1u, std::thread::hardware_concurrency()),
      columnarCpu, hits, byRow, rowCpu, rowHits == hits ? "same hits" : "HITS DIFFER");
  backtest::BacktestRequest band = request;
  band.universeIndex = 9;
  const double banded = median(5, [&] { result = backtest::runBacktest(panel, band); });
  std::printf("backtest of the price band 30～50万 (lot as of each date): %.0f ms\n", banded);
  request.patterns = {
      static_cast<std::size_t>(screening::findPattern("Command14") - screening::patternCatalogue().data())};
  request.horizons = {1};
  const double one = median(5, [&] { result = backtest::runBacktest(panel, request); });
  std::printf("backtest of one pattern (保合), horizon 1: %.0f ms\n", one);

  // Reading the history from a price database.
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "tavrin_backtest_bench";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const auto db = dir / "kabuka.mdb";
  createPriceDatabase(db, "day");
  {
    Database d(db);
    Transaction tx(d);
    HistoryWriter writer(d);
    for (std::size_t s = 0; s < panel.stocks.size(); ++s) {
      d.execute("insert into [list] ([銘柄],[コード],[市場],[単位]) values ('株', ?, '東証プライム', 100)",
                {panel.stocks[s].code});
      for (std::size_t day = 0; day < panel.days.size(); ++day)
        if (panel.closeAt(s, day) != backtest::kNoClose)
          writer.putClose(panel.stocks[s].code, panel.days[day], panel.closeAt(s, day));
    }
    writer.flush();
    tx.commit();
  }
  backtest::HistoryPanel loaded;
  const double load = median(3, [&] { loaded = backtest::loadHistoryPanel(db); });
  std::size_t closes = 0;
  for (std::int64_t c : loaded.closes) closes += c != backtest::kNoClose;
  std::printf("reading the history (%zu closes of %zu stocks over %zu days) from the database: %.0f ms\n", closes,
              loaded.stocks.size(), loaded.days.size(), load);
  std::filesystem::remove_all(dir);
}
