#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/text.h"
#include "data/database.h"
#include "history/price_history.h"

namespace tavrin::chart {

// What the chart window draws, without any drawing: one stock's closes by
// trading period, its moving averages, the visible range and the date labels.

enum class ChartUnit { Day, Week, Month };
// The date record's unit word ("day", "week", "month"); anything else is Day.
ChartUnit chartUnitFromWord(const std::string& unitWord);

// One stock's closes, one point per trading period (a day, week or month with
// a close), oldest first: weekends and holidays leave no gaps.
struct ChartSeries {
  std::vector<int> days;             // day numbers (days since 1970-01-01)
  std::vector<std::int64_t> closes;  // one per day
  std::vector<bool> registered;      // the day is one of the ten positions
  std::size_t size() const { return days.size(); }
  bool empty() const { return days.empty(); }
};

// One of the ten positions of list with the date the record gives it.
struct PositionClose {
  std::optional<int> day;
  std::optional<std::int64_t> close;
};

// The history with the ten positions: a position fills a day the history
// lacks (a database that knows only its ten positions still has a series);
// where both know a day the history's close is kept. Positions without a real
// date or a close are left out.
ChartSeries buildSeries(const std::vector<Bar>& history, const std::array<PositionClose, 10>& positions);

// The three moving averages of a unit, shortest first: day 5/25/75,
// week 13/26/52, month 12/24/60.
std::array<int, 3> averagePeriods(ChartUnit unit);
// Simple moving average over `periods` points ending at each point; nothing
// for the first periods-1 points.
std::vector<std::optional<double>> movingAverage(const std::vector<std::int64_t>& closes, int periods);

// The range buttons of a unit: caption and the months they reach back from
// the latest point (0: the whole series).
struct RangeChoice {
  const char* caption;
  int months;
};
std::array<RangeChoice, 4> rangeChoices(ChartUnit unit);
// The button shown first (day: 1年, week: 3年, month: 10年).
inline constexpr int kDefaultRangeChoice = 2;

struct IndexRange {
  std::size_t first = 0;
  std::size_t count = 0;
  std::size_t end() const { return first + count; }
};
// The points later than the latest point's date less `months` calendar
// months (the day of month clamped to the month's length); months <= 0 gives
// the whole series.
IndexRange rangeFor(const ChartSeries& series, int months);

// A date label under the point at `index`. Labels mark the first point of a
// new week, month, quarter, half-year, year or several years: the finest
// step the unit allows that gives no more than maxLabels labels in the
// range. `major` marks a new year (or a new month for week labels).
struct DateLabel {
  std::size_t index = 0;
  std::string text;
  bool major = false;
};
std::vector<DateLabel> dateLabels(const ChartSeries& series, IndexRange range, ChartUnit unit, std::size_t maxLabels);

// "2026-03-05（木）  終値 1,234  前日比 +12（+0.98%）" for the point at index;
// the first point has no change ("前日比 —").
std::string pointDescription(const ChartSeries& series, std::size_t index, ChartUnit unit);

// Round values for the price axis between low and high (steps of 1, 2, 2.5
// or 5 times a power of ten), at most maxTicks of them.
std::vector<double> valueTicks(double low, double high, int maxTicks);

// One stock of a price database, ready to draw.
struct ChartStock {
  bool found = false;
  std::string error;  // why nothing was read (English)
  std::string name;
  std::string code;  // as the list shows it: "7203", "130A"
  std::string market;
  std::string unitWord;
  ChartUnit unit = ChartUnit::Day;
  ChartSeries series;
  std::size_t historyPoints = 0;  // of the series' points, those the history gave
};
ChartStock loadChartStock(Database& db, const std::string& code);
// Opens the file read-only; a file that cannot be read gives found = false.
ChartStock loadChartStock(const std::filesystem::path& dbPath, const std::string& code);
// "トヨタ自動車（7203・東証プライム）"; the market is left out when empty.
std::string stockTitle(const ChartStock& stock);

}  // namespace tavrin::chart
