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

// What the chart window draws, without any drawing: one stock's bars by
// trading period (daily ones also gathered into weeks and months), its moving
// averages, the visible range, the date labels and the texts of a bar.

enum class ChartUnit { Day, Week, Month };
// The date record's unit word ("day", "week", "month"); anything else is Day.
ChartUnit chartUnitFromWord(const std::string& unitWord);

// One stock's bars, one per trading period (a day, week or month with a
// close), oldest first: weekends and holidays leave no gaps. Prices are in
// tenths of a yen; a bar of the ten positions alone has only its close.
struct ChartSeries {
  std::vector<int> days;         // bars[i].day, kept apart for the searches by date
  std::vector<Bar> bars;         // one per day
  std::vector<bool> registered;  // the period holds one of the ten positions
  std::size_t size() const { return days.size(); }
  bool empty() const { return days.empty(); }
};

// One of the ten positions of list with the date the record gives it.
struct PositionClose {
  std::optional<int> day;
  std::optional<std::int64_t> close;
};

// The history with the ten positions (whole yen): a position fills a day the
// history lacks as a bar with its close alone (a database that knows only its
// ten positions still has a series); where both know a day the history's bar
// is kept. Positions without a real date or a close are left out.
ChartSeries buildSeries(const std::vector<Bar>& history, const std::array<PositionClose, 10>& positions);

// The week (Monday to Sunday) or calendar month of a day, as a number that
// grows by one from each period to the next; for Day the day itself.
int periodOf(int day, ChartUnit unit);

// Daily bars gathered into weeks or months: one bar per period that has one,
// dated by its last trading day in the series, with the first open, the
// highest high, the lowest low, the last close and the summed volume. A day
// without a high or low counts with its close there, a first day without an
// open gives its close; a period where no day knows open, high or low has
// only its close, and one where no day knows its volume has none. A period is
// registered when one of its days is. Day gives the series as it is.
ChartSeries seriesInUnit(const ChartSeries& daily, ChartUnit unit);

// The units a database of `databaseUnit` can be shown in: a daily one as
// days, weeks and months; a weekly or monthly one only as its own bars.
std::vector<ChartUnit> viewUnits(ChartUnit databaseUnit);

// Day numbers moved to the date of the bar whose period holds them (days of
// no bar are left out): marks of days on a weekly or monthly series.
std::vector<int> barDaysOf(const ChartSeries& series, const std::vector<int>& days, ChartUnit unit);

// The three moving averages of a unit, shortest first: day 5/25/75,
// week 13/26/52, month 12/24/60.
std::array<int, 3> averagePeriods(ChartUnit unit);
// Simple moving average of the closes over `periods` bars ending at each
// bar, in yen; nothing for the first periods-1 bars.
std::vector<std::optional<double>> movingAverage(const std::vector<Bar>& bars, int periods);

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

// How a bar is drawn: a rising candle (close above open), a falling one, an
// even one (close at its open: a horizontal stroke), or a close alone (on
// the line) when open, high or low is not known.
enum class BarKind { Rising, Falling, Even, CloseOnly };
BarKind barKind(const Bar& bar);

// How the bars of a range fill `width` pixels: candles with at least three
// pixels per bar; high-low bars with at least one; past that each pixel
// column from its lowest to its highest price when most bars have a range,
// else the line of the closes. A range without any bar that has a range is
// always the line.
enum class PriceStyle { Candles, HighLow, Columns, Line };
PriceStyle priceStyle(const ChartSeries& series, IndexRange range, double width);

// A price in tenths of a yen with its digits grouped: "2,771.5", "852".
std::string priceLabel(std::int64_t tenths);
// A volume for the volume axis: grouped digits below 10,000, then in 万 and
// 億 ("5,000", "2.5万", "1,200万", "1.5億").
std::string volumeLabel(double shares);

// The date of a bar: "2026-03-05（木）" for a day, "2026-03-06" otherwise.
std::string barDate(const ChartSeries& series, std::size_t index, ChartUnit unit);

// "2024-12-20（金）  始値 2,748.5  高値 2,807.5  安値 2,735.5  終値 2,771.5
// 出来高 51,442,500  前日比 +7.8（+0.28%）" for the bar at index (one line;
// 始値, 高値, 安値 and 出来高 when known); the first bar has no change
// ("前日比 —").
std::string pointDescription(const ChartSeries& series, std::size_t index, ChartUnit unit);
// The crosshair's box: the date, then 始値, 高値, 安値, 終値 and 出来高 as
// they are known, one per line.
std::vector<std::string> barDetails(const ChartSeries& series, std::size_t index, ChartUnit unit);

// Round values for an axis between low and high (steps of 1, 2, 2.5
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
  std::size_t historyPoints = 0;  // of the series' bars, those the history gave
};
ChartStock loadChartStock(Database& db, const std::string& code);
// Opens the file read-only; a file that cannot be read gives found = false.
ChartStock loadChartStock(const std::filesystem::path& dbPath, const std::string& code);
// "トヨタ自動車（7203・東証プライム）"; the market is left out when empty.
std::string stockTitle(const ChartStock& stock);
// The bars to draw in `view`: a daily database's days gathered into weeks or
// months (seriesInUnit); a weekly or monthly database's own bars as they are,
// whatever view asks for.
ChartSeries seriesOfStock(const ChartStock& stock, ChartUnit view);

}  // namespace tavrin::chart
