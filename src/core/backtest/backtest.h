#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "data/database.h"

namespace tavrin::backtest {

// A missing close in the panel.
inline constexpr std::int64_t kNoClose = std::numeric_limits<std::int64_t>::min();

// One row of list as the backtest sees it.
struct PanelStock {
  Value code;                  // as list stores it
  std::string key;             // "7203", "130A"
  std::string name;            // 銘柄
  std::string market;          // 市場
  std::optional<double> unit;  // 単位
};

// The closes of every stock of list on every day of the price history: the
// days are the distinct days of the history table, oldest first, and a close
// the history lacks is kNoClose.
struct HistoryPanel {
  std::vector<int> days;
  std::vector<PanelStock> stocks;
  std::vector<std::int64_t> closes;  // day-major: closes[d * stocks.size() + s]
  std::string unitWord;              // the date record's unit word

  std::int64_t closeAt(std::size_t stock, std::size_t day) const { return closes[day * stocks.size() + stock]; }
  // The stock of a code key ("7203", "130A", full-width digits too); nullopt when list has none.
  std::optional<std::size_t> findStock(const std::string& code) const;
  // The index of a day number; nullopt when the history has no such day.
  std::optional<std::size_t> findDay(int dayNumber) const;
};

// Reads list, the history and the unit word. Throws DatabaseError.
HistoryPanel loadHistoryPanel(Database& db);
HistoryPanel loadHistoryPanel(const std::filesystem::path& dbPath);
// The same for the one row of list with that code key: every day of the
// history, that stock's closes. Empty stocks when list has no such code.
HistoryPanel loadStockPanel(Database& db, const std::string& codeKey);

// Ratio n as the views compute it from the latest close and the close n
// dates earlier: whole percent, halves away from zero, exact; nullopt when a
// close is missing or the latest is 0.
std::optional<double> viewRatio(std::int64_t latest, std::int64_t earlier);
// 100 × (later / close − 1); nullopt when a close is missing or close is 0.
std::optional<double> forwardReturn(std::int64_t close, std::int64_t later);

// Which rows of the panel a universe holds on a date: its markets and units
// from list, its price band with the close of that date × 単位, and for the
// watch-list universes the codes of the list.
class UniverseMembers {
 public:
  UniverseMembers(const HistoryPanel& panel, int universeIndex, const std::vector<std::string>& watchCodes = {});
  void membersAt(std::size_t day, std::vector<std::uint32_t>& out) const;
  bool holds(std::size_t stock, std::size_t day) const;

 private:
  const HistoryPanel& panel_;
  int universeIndex_;
  std::vector<std::uint8_t> listPart_;  // per stock
};

struct ReturnStats {
  std::size_t events = 0;
  std::optional<double> mean, median, win;  // percent; win: share of returns above 0
};
ReturnStats returnStats(std::vector<double> returns);

// A hit: day index and stock index of the panel.
struct Hit {
  std::uint32_t day;
  std::uint32_t stock;
};

struct BacktestRequest {
  int universeIndex = 1;                // 1..23
  std::vector<std::string> watchCodes;  // the codes of the watch list (22, 23)
  std::optional<std::string> unitWord;  // the panel's unit word when not given
  std::vector<int> horizons{1};         // dates ahead, each >= 1
  std::optional<int> fromDay, toDay;    // day numbers, both included
  std::vector<std::size_t> patterns;    // catalogue indexes; empty: all 67
  // Called with each date's day index as its evaluation begins, on the
  // thread evaluating it. What it throws ends the run: runBacktest rethrows
  // it once every thread has stopped.
  std::function<void(std::size_t day)> beforeDate;
};

struct PatternResult {
  std::size_t pattern = 0;             // catalogue index
  std::vector<Hit> hits;               // by date, then in list order
  std::vector<std::uint32_t> perDate;  // hits per evaluated date
  std::vector<ReturnStats> stats;      // per horizon
};

struct BacktestResult {
  std::vector<std::uint32_t> dates;  // evaluated day indexes (nine earlier dates, within the range)
  std::vector<int> horizons;
  std::vector<PatternResult> patterns;
  std::vector<ReturnStats> baseline;  // per horizon
  bool cancelled = false;
};

// Called after dates are done with how many are done and their count;
// returning false stops the run: the result is marked cancelled and keeps
// the dates done before the first one left undone.
using Progress = std::function<bool(std::size_t done, std::size_t total)>;

// Every date d of the history with nine earlier dates (within the range): the
// ten positions are d and the nine dates before it, the ratios are computed
// from their closes as the views compute them, and each pattern's condition
// is evaluated over the universe's stocks of that date by the screening's
// columnar evaluator (the unit word's thresholds, the universe kind). A hit
// whose close h dates later exists has a forward return; the baseline takes
// every stock of the universe with a close at d and d+h. The dates are
// shared out among the processor's cores; the result does not depend on it.
BacktestResult runBacktest(const HistoryPanel& panel, const BacktestRequest& request, const Progress& progress = {});

// The most dates ahead the history has after the first date the request
// tests; nullopt when it tests no date.
std::optional<int> longestHorizon(const HistoryPanel& panel, const BacktestRequest& request);
// The longest horizon of the request when it is longer than that: no date
// could have a forward return over it.
std::optional<int> horizonBeyondHistory(const HistoryPanel& panel, const BacktestRequest& request);
// The first date the request tests (a day number); nullopt when none.
std::optional<int> firstTestedDay(const HistoryPanel& panel, const BacktestRequest& request);

// The forward return of a hit over h dates.
std::optional<double> hitReturn(const HistoryPanel& panel, const Hit& hit, int horizon);

// One line per evaluated date: its hits and the mean forward return of those
// of them that have one.
struct DateLine {
  int day = 0;
  std::size_t hits = 0;
  std::optional<double> mean;
};
std::vector<DateLine> dateLines(const HistoryPanel& panel, const BacktestResult& result, const PatternResult& pattern,
                                int horizon);

// The reverse question: the dates on which one stock met patterns (catalogue
// indexes), in date order; dates without a pattern are left out.
struct StockDate {
  int day = 0;
  std::vector<std::size_t> patterns;
};
std::vector<StockDate> patternsMetByStock(const HistoryPanel& panel, std::size_t stock, const BacktestRequest& request);
// The days on which a stock of a price database met a pattern of the whole
// market's universe (1001), as `backtest --code` lists them.
std::vector<StockDate> patternDaysOfStock(const std::filesystem::path& dbPath, const std::string& codeKey);

// A number as the outputs print it: two decimals ("-0.00" printed as "0.00");
// empty for nothing.
std::string formatNumber(const std::optional<double>& v);
// "events=N\tmean=X\tmedian=X\twin=X\tbaseline_events=N\tbaseline_mean=X\tbaseline_win=X"
std::string summaryFields(const ReturnStats& pattern, const ReturnStats& baseline);

}  // namespace tavrin::backtest
