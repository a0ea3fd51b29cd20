#include "backtest/backtest.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <exception>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include "backtest/universe_filter.h"
#include "data/price_schema.h"
#include "data/stock_code.h"
#include "history/price_history.h"
#include "screening/columnar.h"
#include "screening/pattern_catalogue.h"

namespace tavrin::backtest {

namespace {}  // namespace

std::optional<std::size_t> HistoryPanel::findStock(const std::string& code) const {
  const std::optional<std::string> key = stockCodeKeyOfText(code);
  if (!key) return std::nullopt;
  for (std::size_t s = 0; s < stocks.size(); ++s)
    if (stocks[s].key == *key) return s;
  return std::nullopt;
}

std::optional<std::size_t> HistoryPanel::findDay(int dayNumber) const {
  const auto it = std::lower_bound(days.begin(), days.end(), dayNumber);
  if (it == days.end() || *it != dayNumber) return std::nullopt;
  return static_cast<std::size_t>(it - days.begin());
}

namespace {

// A row of "select [コード], [銘柄], [市場], [単位] from [list]"; nothing without a code.
std::optional<PanelStock> panelStockOf(Statement& st) {
  PanelStock s;
  s.code = st.column(0);
  const std::optional<std::string> key = codeKey(s.code);
  if (!key) return std::nullopt;
  s.key = *key;
  const Value name = st.column(1), market = st.column(2), unit = st.column(3);
  s.name = name.isNull() ? std::string() : name.display();
  s.market = market.isText() ? market.textValue() : market.display();
  if (!unit.isText()) s.unit = unit.asNumber();
  return s;
}

}  // namespace

HistoryPanel loadHistoryPanel(Database& db) {
  HistoryPanel panel;
  if (const auto rec = readDateRecord(db)) panel.unitWord = rec->unit;
  // Stocks: the rows of list with a code, in the views' order. Two rows with
  // one code both get its closes.
  std::unordered_map<std::string, std::vector<std::uint32_t>> byKey;
  {
    Statement st(db, "select [コード], [銘柄], [市場], [単位] from [list] order by rowid");
    while (st.step()) {
      std::optional<PanelStock> row = panelStockOf(st);
      if (!row) continue;
      PanelStock& s = *row;
      byKey[s.key].push_back(static_cast<std::uint32_t>(panel.stocks.size()));
      panel.stocks.push_back(std::move(s));
    }
  }
  if (!hasHistoryTable(db)) return panel;

  // The complete days of the history (a day whose files have not all
  // arrived stays out), then one pass over every stock's bars.
  for (const HistoryDay& d : historyDays(db))
    if (d.complete) panel.days.push_back(d.day);
  const std::size_t n = panel.stocks.size();
  panel.closes.assign(panel.days.size() * n, kNoClose);
  forEachStockHistory(db, [&](const Value& code, const std::vector<Bar>& bars) {
    const std::optional<std::string> key = codeKey(code);
    if (!key) return;
    const auto it = byKey.find(*key);
    if (it == byKey.end()) return;
    for (const Bar& b : bars)
      if (const std::optional<std::size_t> d = panel.findDay(b.day))
        for (std::uint32_t s : it->second) panel.closes[*d * n + s] = wholeYen(b.close);
  });
  return panel;
}

HistoryPanel loadStockPanel(Database& db, const std::string& wanted) {
  HistoryPanel panel;
  if (const auto rec = readDateRecord(db)) panel.unitWord = rec->unit;
  {
    Statement st(db, "select [コード], [銘柄], [市場], [単位] from [list] order by rowid");
    while (st.step() && panel.stocks.empty()) {
      std::optional<PanelStock> row = panelStockOf(st);
      if (row && row->key == wanted) panel.stocks.push_back(std::move(*row));
    }
  }
  if (panel.stocks.empty() || !hasHistoryTable(db)) return panel;
  for (const HistoryDay& d : historyDays(db))
    if (d.complete) panel.days.push_back(d.day);
  panel.closes.assign(panel.days.size(), kNoClose);
  for (const Bar& b : readHistory(db, panel.stocks.front().code))
    if (const std::optional<std::size_t> d = panel.findDay(b.day)) panel.closes[*d] = wholeYen(b.close);
  return panel;
}

std::vector<StockDate> patternDaysOfStock(const std::filesystem::path& dbPath, const std::string& codeKey) {
  Database db = openForReading(dbPath);
  const HistoryPanel panel = loadStockPanel(db, codeKey);
  if (panel.stocks.empty()) return {};
  BacktestRequest request;
  request.universeIndex = 1;
  return patternsMetByStock(panel, 0, request);
}

HistoryPanel loadHistoryPanel(const std::filesystem::path& dbPath) {
  Database db = openForReading(dbPath);
  return loadHistoryPanel(db);
}

std::optional<double> viewRatio(std::int64_t latest, std::int64_t earlier) {
  if (latest == kNoClose || earlier == kNoClose || latest == 0) return std::nullopt;
  const std::int64_t num = 100 * (earlier - latest);
  const std::int64_t a = num < 0 ? -num : num;
  const std::int64_t b = latest < 0 ? -latest : latest;
  const std::int64_t q = (2 * a + b) / (2 * b);
  return static_cast<double>(((num < 0) != (latest < 0)) ? -q : q);
}

std::optional<double> forwardReturn(std::int64_t close, std::int64_t later) {
  if (close == kNoClose || later == kNoClose || close == 0) return std::nullopt;
  return 100.0 * (static_cast<double>(later) / static_cast<double>(close) - 1.0);
}

UniverseMembers::UniverseMembers(const HistoryPanel& panel, int universeIndex,
                                 const std::vector<std::string>& watchCodes)
    : panel_(panel), universeIndex_(universeIndex), listPart_(panel.stocks.size(), 0) {
  const UniverseFilter& f = universeFilter(universeIndex);
  const bool watched = f.watchList;
  std::unordered_set<std::string> keys;
  if (watched)
    for (const std::string& c : watchCodes)
      if (const auto k = stockCodeKeyOfText(c)) keys.insert(*k);
  for (std::size_t s = 0; s < panel.stocks.size(); ++s) {
    const PanelStock& st = panel.stocks[s];
    listPart_[s] = passesListPart(f, st.market, st.unit) && (!watched || keys.count(st.key)) ? 1 : 0;
  }
}

bool UniverseMembers::holds(std::size_t stock, std::size_t day) const {
  if (!listPart_[stock]) return false;
  const UniverseFilter& f = universeFilter(universeIndex_);
  if (!f.priced) return true;
  const std::int64_t close = panel_.closeAt(stock, day);
  const std::optional<double> unit = panel_.stocks[stock].unit;
  std::optional<double> cost;
  if (close != kNoClose && unit) cost = static_cast<double>(close) * *unit;
  return passesCost(f, cost);
}

void UniverseMembers::membersAt(std::size_t day, std::vector<std::uint32_t>& out) const {
  out.clear();
  for (std::size_t s = 0; s < listPart_.size(); ++s)
    if (holds(s, day)) out.push_back(static_cast<std::uint32_t>(s));
}

ReturnStats returnStats(std::vector<double> returns) {
  ReturnStats st;
  st.events = returns.size();
  if (returns.empty()) return st;
  double sum = 0;
  std::size_t wins = 0;
  for (double r : returns) {
    sum += r;
    if (r > 0) ++wins;
  }
  st.mean = sum / static_cast<double>(returns.size());
  st.win = 100.0 * static_cast<double>(wins) / static_cast<double>(returns.size());
  const std::size_t mid = returns.size() / 2;
  std::nth_element(returns.begin(), returns.begin() + static_cast<long>(mid), returns.end());
  double median = returns[mid];
  if (returns.size() % 2 == 0) {
    const double lower = *std::max_element(returns.begin(), returns.begin() + static_cast<long>(mid));
    median = (lower + median) / 2;
  }
  st.median = median;
  return st;
}

std::optional<double> hitReturn(const HistoryPanel& panel, const Hit& hit, int horizon) {
  const std::size_t later = static_cast<std::size_t>(hit.day) + static_cast<std::size_t>(horizon);
  if (horizon < 1 || later >= panel.days.size()) return std::nullopt;
  return forwardReturn(panel.closeAt(hit.stock, hit.day), panel.closeAt(hit.stock, later));
}

namespace {

std::vector<std::uint32_t> evaluatedDates(const HistoryPanel& panel, const BacktestRequest& request) {
  std::vector<std::uint32_t> dates;
  for (std::size_t i = 9; i < panel.days.size(); ++i) {
    const int day = panel.days[i];
    if (request.fromDay && day < *request.fromDay) continue;
    if (request.toDay && day > *request.toDay) continue;
    dates.push_back(static_cast<std::uint32_t>(i));
  }
  return dates;
}

std::vector<std::size_t> patternIndexes(const BacktestRequest& request) {
  std::vector<std::size_t> out = request.patterns;
  if (out.empty())
    for (std::size_t i = 0; i < screening::patternCatalogue().size(); ++i) out.push_back(i);
  return out;
}

// The nine ratio columns of some stocks on one date.
struct DateColumns {
  std::array<std::vector<double>, 9> col;
  const double* ptr[9] = {};

  void fill(const HistoryPanel& panel, std::size_t day, const std::vector<std::uint32_t>& stocks) {
    const std::size_t n = panel.stocks.size();
    const std::int64_t* latest = panel.closes.data() + day * n;
    for (std::size_t k = 0; k < 9; ++k) {
      std::vector<double>& c = col[k];
      c.resize(stocks.size());
      const std::int64_t* earlier = panel.closes.data() + (day - k - 1) * n;
      for (std::size_t j = 0; j < stocks.size(); ++j) {
        const std::optional<double> r = viewRatio(latest[stocks[j]], earlier[stocks[j]]);
        c[j] = r ? *r : std::nan("");
      }
      ptr[k] = c.data();
    }
  }
};

}  // namespace

namespace {

// Threads besides the caller's for n items of work: none for small runs.
unsigned extraThreads(std::size_t items) {
  if (items < 32) return 0;
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  return std::min(cores, 8u) - 1;
}

// Runs work(i, t) for i = 0..n-1 on the caller's thread (t = 0) and `extra`
// more (t = 1..extra), each taking the next item; the caller's thread calls
// after(done) following each of its items, and stops everyone when it
// returns false. The first exception thrown on any thread stops the others;
// once all are joined it is rethrown on the caller's thread.
template <class Work, class After>
bool shareOut(std::size_t n, unsigned extra, Work&& work, After&& after) {
  std::atomic<std::size_t> next{0}, done{0};
  std::atomic<bool> stop{false};
  std::mutex failureMutex;
  std::exception_ptr failure;
  auto fail = [&] {
    std::lock_guard<std::mutex> lock(failureMutex);
    if (!failure) failure = std::current_exception();
    stop = true;
  };
  auto loop = [&](unsigned t) {
    try {
      for (;;) {
        if (stop.load(std::memory_order_relaxed)) return;
        const std::size_t i = next.fetch_add(1);
        if (i >= n) return;
        work(i, t);
        const std::size_t d = done.fetch_add(1) + 1;
        if (t == 0 && !after(d)) stop = true;
      }
    } catch (...) {
      fail();
    }
  };
  std::vector<std::thread> threads;
  try {
    for (unsigned t = 1; t <= extra; ++t) threads.emplace_back(loop, t);
  } catch (...) {
    fail();  // a thread that could not start: the ones started are joined
  }
  loop(0);
  for (std::thread& t : threads) t.join();
  if (failure) std::rethrow_exception(failure);
  return !stop.load();
}

// What one date gives: the hits of every pattern, one pattern after the
// other (counts[p] of pattern p), kept apart so that the dates can be worked
// on in any order and gathered in theirs.
struct DateWork {
  bool done = false;
  std::vector<Hit> hits;
  std::vector<std::uint32_t> counts;
};

}  // namespace

BacktestResult runBacktest(const HistoryPanel& panel, const BacktestRequest& request, const Progress& progress) {
  BacktestResult result;
  const auto& catalogue = screening::patternCatalogue();
  const std::string unit = request.unitWord.value_or(panel.unitWord);
  for (int h : request.horizons)
    if (h >= 1) result.horizons.push_back(h);
  result.dates = evaluatedDates(panel, request);
  std::vector<const screening::ColumnarCondition*> conditions;
  for (std::size_t p : patternIndexes(request)) {
    if (p >= catalogue.size()) continue;
    conditions.push_back(&screening::columnarFor(catalogue[p], request.universeIndex, unit));
    PatternResult r;
    r.pattern = p;
    result.patterns.push_back(std::move(r));
  }

  const UniverseMembers universe(panel, request.universeIndex, request.watchCodes);
  const std::size_t nStocks = panel.stocks.size();
  const std::size_t nDates = result.dates.size();
  std::vector<DateWork> work(nDates);
  const unsigned extra = extraThreads(nDates);
  // Scratch of each thread.
  struct Scratch {
    std::vector<std::uint32_t> members;
    DateColumns columns;
    std::vector<std::uint8_t> hits;
  };
  std::vector<Scratch> scratches(extra + 1);

  const bool complete = shareOut(
      nDates, extra,
      [&](std::size_t k, unsigned t) {
        Scratch& sc = scratches[t];
        DateWork& w = work[k];
        const std::size_t day = result.dates[k];
        if (request.beforeDate) request.beforeDate(day);
        universe.membersAt(day, sc.members);
        sc.columns.fill(panel, day, sc.members);
        sc.hits.resize(sc.members.size());
        w.counts.resize(conditions.size());
        for (std::size_t p = 0; p < conditions.size(); ++p) {
          conditions[p]->evaluate(sc.columns.ptr, sc.members.size(), sc.hits.data());
          const std::size_t before = w.hits.size();
          for (std::size_t j = 0; j < sc.members.size(); ++j)
            if (sc.hits[j]) w.hits.push_back({static_cast<std::uint32_t>(day), sc.members[j]});
          w.counts[p] = static_cast<std::uint32_t>(w.hits.size() - before);
        }
        w.hits.shrink_to_fit();
        w.done = true;
      },
      [&](std::size_t done) { return !progress || progress(done, nDates); });

  // The dates done without a gap, in their order; each date's hits leave
  // once they are gathered, so that they are never held twice over.
  std::size_t kept = 0;
  while (kept < nDates && work[kept].done) ++kept;
  result.cancelled = !complete;
  result.dates.resize(kept);
  for (std::size_t p = 0; p < result.patterns.size(); ++p) {
    std::size_t total = 0;
    for (std::size_t k = 0; k < kept; ++k) total += work[k].counts[p];
    result.patterns[p].hits.reserve(total);
    result.patterns[p].perDate.reserve(kept);
  }
  for (std::size_t k = 0; k < kept; ++k) {
    auto at = work[k].hits.begin();
    for (std::size_t p = 0; p < result.patterns.size(); ++p) {
      PatternResult& r = result.patterns[p];
      const std::uint32_t n = work[k].counts[p];
      r.hits.insert(r.hits.end(), at, at + n);
      r.perDate.push_back(n);
      at += n;
    }
    DateWork().hits.swap(work[k].hits);
  }
  work.clear();
  work.shrink_to_fit();

  // Figures of each pattern (and of the baseline) on every thread. The
  // baseline's returns are gathered here, one horizon at a time, in the
  // order of the dates and the universe's stocks.
  const std::size_t nPatterns = result.patterns.size();
  const std::size_t nBaseline = result.horizons.size();
  result.baseline.resize(nBaseline);
  shareOut(
      nPatterns + nBaseline, extraThreads(nPatterns),
      [&](std::size_t i, unsigned) {
        if (i >= nPatterns) {
          const std::size_t horizon = static_cast<std::size_t>(result.horizons[i - nPatterns]);
          std::vector<std::uint32_t> members;
          std::vector<double> returns;
          for (int pass = 0; pass < 2; ++pass) {
            std::size_t count = 0;
            for (std::size_t k = 0; k < kept; ++k) {
              const std::size_t day = result.dates[k];
              const std::size_t later = day + horizon;
              if (later >= panel.days.size()) continue;
              universe.membersAt(day, members);
              const std::int64_t* now = panel.closes.data() + day * nStocks;
              const std::int64_t* then = panel.closes.data() + later * nStocks;
              for (std::uint32_t s : members)
                if (const auto fr = forwardReturn(now[s], then[s])) {
                  if (pass == 1) returns.push_back(*fr);
                  ++count;
                }
            }
            if (pass == 0) returns.reserve(count);
          }
          result.baseline[i - nPatterns] = returnStats(std::move(returns));
          return;
        }
        PatternResult& r = result.patterns[i];
        std::vector<double> returns;
        for (int h : result.horizons) {
          returns.clear();
          for (const Hit& hit : r.hits)
            if (const auto fr = hitReturn(panel, hit, h)) returns.push_back(*fr);
          r.stats.push_back(returnStats(returns));
        }
      },
      [](std::size_t) { return true; });
  return result;
}

std::optional<int> firstTestedDay(const HistoryPanel& panel, const BacktestRequest& request) {
  const std::vector<std::uint32_t> dates = evaluatedDates(panel, request);
  if (dates.empty()) return std::nullopt;
  return panel.days[dates.front()];
}

std::optional<int> longestHorizon(const HistoryPanel& panel, const BacktestRequest& request) {
  const std::vector<std::uint32_t> dates = evaluatedDates(panel, request);
  if (dates.empty()) return std::nullopt;
  return static_cast<int>(panel.days.size() - 1 - dates.front());
}

std::optional<int> horizonBeyondHistory(const HistoryPanel& panel, const BacktestRequest& request) {
  const std::optional<int> longest = longestHorizon(panel, request);
  if (!longest || request.horizons.empty()) return std::nullopt;
  const int wanted = *std::max_element(request.horizons.begin(), request.horizons.end());
  if (wanted <= *longest) return std::nullopt;
  return wanted;
}

std::vector<DateLine> dateLines(const HistoryPanel& panel, const BacktestResult& result, const PatternResult& pattern,
                                int horizon) {
  std::vector<DateLine> lines;
  std::size_t at = 0;
  for (std::size_t k = 0; k < pattern.perDate.size() && k < result.dates.size(); ++k) {
    DateLine line;
    line.day = panel.days[result.dates[k]];
    line.hits = pattern.perDate[k];
    double sum = 0;
    std::size_t events = 0;
    for (std::size_t j = 0; j < line.hits; ++j)
      if (const auto fr = hitReturn(panel, pattern.hits[at + j], horizon)) {
        sum += *fr;
        ++events;
      }
    at += line.hits;
    if (events) line.mean = sum / static_cast<double>(events);
    lines.push_back(line);
  }
  return lines;
}

std::vector<StockDate> patternsMetByStock(const HistoryPanel& panel, std::size_t stock,
                                          const BacktestRequest& request) {
  std::vector<StockDate> out;
  if (stock >= panel.stocks.size()) return out;
  const UniverseMembers universe(panel, request.universeIndex, request.watchCodes);
  std::vector<std::uint32_t> dates;
  for (std::uint32_t d : evaluatedDates(panel, request))
    if (universe.holds(stock, d)) dates.push_back(d);
  // One row per date: the stock's ratios as they stood on each date.
  std::array<std::vector<double>, 9> col;
  const double* ptr[9];
  for (std::size_t k = 0; k < 9; ++k) {
    col[k].resize(dates.size());
    for (std::size_t j = 0; j < dates.size(); ++j) {
      const auto r = viewRatio(panel.closeAt(stock, dates[j]), panel.closeAt(stock, dates[j] - k - 1));
      col[k][j] = r ? *r : std::nan("");
    }
    ptr[k] = col[k].data();
  }
  const std::string unit = request.unitWord.value_or(panel.unitWord);
  const auto& catalogue = screening::patternCatalogue();
  std::vector<std::vector<std::size_t>> met(dates.size());
  std::vector<std::uint8_t> hits(dates.size());
  for (std::size_t p : patternIndexes(request)) {
    if (p >= catalogue.size()) continue;
    screening::columnarFor(catalogue[p], request.universeIndex, unit).evaluate(ptr, dates.size(), hits.data());
    for (std::size_t j = 0; j < dates.size(); ++j)
      if (hits[j]) met[j].push_back(p);
  }
  for (std::size_t j = 0; j < dates.size(); ++j)
    if (!met[j].empty()) out.push_back({panel.days[dates[j]], std::move(met[j])});
  return out;
}

std::string formatNumber(const std::optional<double>& v) {
  if (!v) return {};
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.2f", *v);
  std::string s = buf;
  if (s == "-0.00") s = "0.00";
  return s;
}

std::string summaryFields(const ReturnStats& p, const ReturnStats& b) {
  return "events=" + std::to_string(p.events) + "\tmean=" + formatNumber(p.mean) +
         "\tmedian=" + formatNumber(p.median) + "\twin=" + formatNumber(p.win) +
         "\tbaseline_events=" + std::to_string(b.events) + "\tbaseline_mean=" + formatNumber(b.mean) +
         "\tbaseline_win=" + formatNumber(b.win);
}

}  // namespace tavrin::backtest
