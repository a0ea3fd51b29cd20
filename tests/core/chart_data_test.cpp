#include <gtest/gtest.h>
#include <algorithm>

#include "base/text.h"
#include "chart/chart_data.h"
#include "history/price_history.h"
#include "registration_support.h"

using namespace tavrin;
using namespace tavrin::chart;
using namespace tavrin::test;

namespace {

int day(int y, int m, int d) { return *dayFromCivil(y, m, d); }

// A close-only bar in whole yen (0: no close).
Bar closeBar(int d, std::int64_t yen) {
  Bar b;
  b.day = d;
  b.close = static_cast<std::int32_t>(yen * 10);
  return b;
}

// Business days (Monday to Friday) from `from` to `to`, closes 1000, 1001, ...
ChartSeries businessDays(int from, int to) {
  std::vector<Bar> h;
  std::int64_t close = 1000;
  for (int d = from; d <= to; ++d) {
    const int weekday = ((d % 7) + 7 + 4) % 7;  // 0 = Sunday
    if (weekday == 0 || weekday == 6) continue;
    h.push_back(closeBar(d, close++));
  }
  return buildSeries(h, {});
}

std::vector<std::string> texts(const std::vector<DateLabel>& labels) {
  std::vector<std::string> out;
  for (const DateLabel& l : labels) out.push_back(l.text);
  return out;
}

}  // namespace

TEST(ChartSeries, HistoryAndTheTenPositionsMakeOnePointPerTradingPeriod) {
  // Friday, Monday, Tuesday: the weekend leaves no gap.
  const std::vector<Bar> history = {closeBar(day(2026, 3, 6), 100), closeBar(day(2026, 3, 9), 110),
                                    closeBar(day(2026, 3, 10), 0), closeBar(day(2026, 3, 11), 130)};
  std::array<PositionClose, 10> positions;
  positions[0] = {day(2026, 3, 12), 140};  // a day the history lacks
  positions[1] = {day(2026, 3, 11), 999};  // the history's close wins, the day is marked
  positions[2] = {std::nullopt, 50};       // no real date
  positions[3] = {day(2026, 3, 5), std::nullopt};
  const ChartSeries s = buildSeries(history, positions);
  EXPECT_EQ(s.days, (std::vector<int>{day(2026, 3, 6), day(2026, 3, 9), day(2026, 3, 11), day(2026, 3, 12)}));
  EXPECT_EQ(s.closes, (std::vector<std::int64_t>{100, 110, 130, 140}));
  EXPECT_EQ(s.registered, (std::vector<bool>{false, false, true, true}));

  // Only the ten positions known: they still make a series.
  std::array<PositionClose, 10> only;
  for (int k = 0; k < 10; ++k) only[static_cast<size_t>(k)] = {day(2026, 3, 20) - k, 200 - k};
  const ChartSeries ten = buildSeries({}, only);
  ASSERT_EQ(ten.size(), 10u);
  EXPECT_EQ(ten.closes.front(), 191);
  EXPECT_EQ(ten.days.back(), day(2026, 3, 20));
  EXPECT_EQ(std::count(ten.registered.begin(), ten.registered.end(), true), 10);
}

TEST(ChartSeries, MovingAveragesOfEachUnit) {
  EXPECT_EQ(averagePeriods(ChartUnit::Day), (std::array<int, 3>{5, 25, 75}));
  EXPECT_EQ(averagePeriods(ChartUnit::Week), (std::array<int, 3>{13, 26, 52}));
  EXPECT_EQ(averagePeriods(chartUnitFromWord("month")), (std::array<int, 3>{12, 24, 60}));
  EXPECT_EQ(chartUnitFromWord("?"), ChartUnit::Day);

  const std::vector<std::int64_t> closes = {10, 20, 30, 40, 50, 61};
  const auto ma3 = movingAverage(closes, 3);
  ASSERT_EQ(ma3.size(), closes.size());
  EXPECT_FALSE(ma3[0]);
  EXPECT_FALSE(ma3[1]);
  EXPECT_DOUBLE_EQ(*ma3[2], 20);
  EXPECT_DOUBLE_EQ(*ma3[5], 151.0 / 3);
  const auto ma1 = movingAverage(closes, 1);
  EXPECT_DOUBLE_EQ(*ma1[4], 50);
  for (const auto& v : movingAverage(closes, 7)) EXPECT_FALSE(v);  // fewer closes than periods

  // The 75-day average over a year of business days: the mean of the last 75.
  const ChartSeries s = businessDays(day(2025, 1, 1), day(2025, 12, 31));
  const auto ma75 = movingAverage(s.closes, 75);
  EXPECT_FALSE(ma75[73]);
  EXPECT_DOUBLE_EQ(*ma75[74], 1000 + 37);
  EXPECT_DOUBLE_EQ(*ma75.back(), static_cast<double>(s.closes.back()) - 37);
}

TEST(ChartSeries, RangesReachBackCalendarMonthsFromTheLatestPoint) {
  const ChartSeries s = businessDays(day(2024, 1, 1), day(2026, 3, 31));
  const IndexRange all = rangeFor(s, 0);
  EXPECT_EQ(all.first, 0u);
  EXPECT_EQ(all.count, s.size());
  const IndexRange three = rangeFor(s, 3);
  EXPECT_EQ(three.end(), s.size());
  EXPECT_EQ(s.days[three.first], day(2026, 1, 1));  // after 2025-12-31
  EXPECT_EQ(s.days[three.first - 1], day(2025, 12, 31));
  const IndexRange year = rangeFor(s, 12);
  EXPECT_EQ(s.days[year.first], day(2025, 4, 1));
  EXPECT_EQ(rangeFor(s, 120).count, s.size());  // longer than the history: all of it

  // The end of a long month: back to the end of a short one.
  const ChartSeries may = businessDays(day(2026, 1, 1), day(2026, 5, 29));  // Friday
  EXPECT_EQ(may.days[rangeFor(may, 3).first], day(2026, 3, 2));             // after 02-28 (no 02-29 in 2026)
  EXPECT_EQ(rangeFor(ChartSeries{}, 3).count, 0u);

  EXPECT_STREQ(rangeChoices(ChartUnit::Day)[0].caption, "3か月");
  EXPECT_STREQ(rangeChoices(ChartUnit::Day)[3].caption, "全期間");
  EXPECT_EQ(rangeChoices(ChartUnit::Week)[2].months, 36);
  EXPECT_EQ(rangeChoices(ChartUnit::Month)[3].months, 0);
}

TEST(ChartSeries, DateLabelsFollowTheUnitAndTheRoom) {
  const ChartSeries s = businessDays(day(2025, 11, 1), day(2026, 2, 27));
  const IndexRange r = rangeFor(s, 3);  // 2025-11-28 .. 2026-02-27
  // Room for every week: each Monday (the first trading day of a week).
  const auto weeks = dateLabels(s, r, ChartUnit::Day, 30);
  ASSERT_FALSE(weeks.empty());
  EXPECT_EQ(weeks.front().text, "12/1");
  EXPECT_TRUE(weeks.front().major);  // a new month
  for (const DateLabel& l : weeks) EXPECT_EQ(((s.days[l.index] % 7) + 7 + 4) % 7, 1) << l.text;
  // Little room: the months, the year written where it changes.
  EXPECT_EQ(texts(dateLabels(s, r, ChartUnit::Day, 4)), (std::vector<std::string>{"2025/12", "2026/1", "2月"}));

  // Weekly and monthly closes: months, then years.
  std::vector<Bar> weekly, monthly;
  for (int d = day(2020, 1, 3); d <= day(2026, 3, 27); d += 7) weekly.push_back(closeBar(d, 500));
  for (int y = 2000; y <= 2025; ++y)
    for (int m = 1; m <= 12; ++m) monthly.push_back(closeBar(day(y, m, 28), 800));
  const ChartSeries w = buildSeries(weekly, {});
  const auto wl = dateLabels(w, rangeFor(w, 6), ChartUnit::Week, 10);
  EXPECT_EQ(texts(wl), (std::vector<std::string>{"2025/10", "11月", "12月", "2026/1", "2月", "3月"}));
  const ChartSeries mo = buildSeries(monthly, {});
  const auto ml = dateLabels(mo, rangeFor(mo, 0), ChartUnit::Month, 8);
  EXPECT_EQ(texts(ml), (std::vector<std::string>{"2005", "2010", "2015", "2020", "2025"}));
  EXPECT_TRUE(dateLabels(mo, IndexRange{0, mo.size() + 1}, ChartUnit::Month, 8).empty());
}

TEST(ChartSeries, CrosshairTextAndPriceAxis) {
  ChartSeries s = buildSeries(
      {closeBar(day(2026, 3, 4), 1222), closeBar(day(2026, 3, 5), 1234), closeBar(day(2026, 3, 6), 1200)}, {});
  EXPECT_EQ(pointDescription(s, 0, ChartUnit::Day), "2026-03-04（水）  終値 1,222  前日比 —");
  EXPECT_EQ(pointDescription(s, 1, ChartUnit::Day), "2026-03-05（木）  終値 1,234  前日比 +12（+0.98%）");
  EXPECT_EQ(pointDescription(s, 2, ChartUnit::Week), "2026-03-06  終値 1,200  前週比 -34（-2.76%）");
  EXPECT_EQ(pointDescription(s, 3, ChartUnit::Day), "");
  EXPECT_EQ(groupedCount(1234567), "1,234,567");
  EXPECT_EQ(groupedCount(-999), "-999");
  EXPECT_EQ(groupedCount(INT64_MIN), "-9,223,372,036,854,775,808");

  EXPECT_EQ(valueTicks(0, 100, 6), (std::vector<double>{0, 20, 40, 60, 80, 100}));
  EXPECT_EQ(valueTicks(0, 100, 5), (std::vector<double>{0, 25, 50, 75, 100}));
  EXPECT_EQ(valueTicks(1203, 1291, 4), (std::vector<double>{1220, 1240, 1260, 1280}));
  EXPECT_EQ(valueTicks(5, 5, 4), (std::vector<double>{5}));
  EXPECT_TRUE(valueTicks(5, 4, 4).empty());
}

TEST(ChartSeries, StocksReadFromAPriceDatabase) {
  TempDir dir;
  const auto db = dir / "kabuka.mdb";
  makePriceDb(db, "week",
              {{"見本", Value(std::int64_t{7203}), {Value(std::int64_t{2500}), Value(), Value(std::int64_t{2400})}},
               {"文字", Value("130A"), {Value(std::int64_t{900})}}});
  {
    Database d(db);
    DateRecord rec = *readDateRecord(d);
    for (int k = 0; k < 10; ++k) rec.dates[static_cast<size_t>(k)] = recordDate(day(2026, 3, 27) - 7 * k);
    rec.unit = "week";
    writeDateRecord(d, rec);
  }
  // Without history: the positions with a close, by the record's dates.
  ChartStock only = loadChartStock(db, "7203");
  ASSERT_TRUE(only.found) << only.error;
  EXPECT_EQ(only.unit, ChartUnit::Week);
  EXPECT_EQ(only.historyPoints, 0u);
  EXPECT_EQ(only.series.closes, (std::vector<std::int64_t>{2400, 2500}));
  EXPECT_EQ(only.series.days.back(), day(2026, 3, 27));
  EXPECT_EQ(stockTitle(only), "見本（7203・東証１部）");

  {
    Database d(db);
    Transaction tx(d);
    HistoryWriter w(d);
    for (int k = 1; k <= 30; ++k) w.putClose(Value(std::int64_t{7203}), day(2025, 1, 3) + 7 * k, 2000 + k);
    w.putClose(Value("130A"), day(2026, 3, 20), 880);
    w.flush();
    tx.commit();
  }
  ChartStock full = loadChartStock(db, "7203");
  EXPECT_EQ(full.historyPoints, 30u);
  EXPECT_EQ(full.series.size(), 32u);
  EXPECT_EQ(full.series.closes.front(), 2001);
  ChartStock lettered = loadChartStock(db, "130A");
  ASSERT_TRUE(lettered.found);
  EXPECT_EQ(lettered.code, "130A");
  EXPECT_EQ(lettered.series.closes, (std::vector<std::int64_t>{880, 900}));

  EXPECT_FALSE(loadChartStock(db, "9999").found);
  EXPECT_FALSE(loadChartStock(dir / "missing.mdb", "7203").found);
}
