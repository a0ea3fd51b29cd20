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

Bar closeBar(int d, std::int32_t closeTenths) {
  Bar b;
  b.day = d;
  b.close = closeTenths;
  return b;
}

Bar fullBar(int d, std::int32_t open, std::int32_t high, std::int32_t low, std::int32_t close,
            std::int64_t volume = -1) {
  return Bar{d, close, open, high, low, volume};
}

std::vector<std::int64_t> closesOf(const ChartSeries& s) {
  std::vector<std::int64_t> out;
  for (const Bar& b : s.bars) out.push_back(b.close);
  return out;
}

// Business days (Monday to Friday) from `from` to `to`, closes 1000, 1001, ... yen.
ChartSeries businessDays(int from, int to) {
  std::vector<Bar> h;
  std::int32_t close = 10000;
  for (int d = from; d <= to; ++d) {
    const int weekday = ((d % 7) + 7 + 4) % 7;  // 0 = Sunday
    if (weekday == 0 || weekday == 6) continue;
    h.push_back(closeBar(d, close));
    close += 10;
  }
  return buildSeries(h, {});
}

std::vector<std::string> texts(const std::vector<DateLabel>& labels) {
  std::vector<std::string> out;
  for (const DateLabel& l : labels) out.push_back(l.text);
  return out;
}

}  // namespace

TEST(ChartSeries, HistoryAndTheTenPositionsMakeOneBarPerTradingPeriod) {
  // Friday, Monday, Tuesday: the weekend leaves no gap.
  const std::vector<Bar> history = {fullBar(day(2026, 3, 6), 1000, 1020, 990, 1005, 12300),
                                    closeBar(day(2026, 3, 9), 1100), closeBar(day(2026, 3, 10), 0),
                                    closeBar(day(2026, 3, 11), 1305)};
  std::array<PositionClose, 10> positions;
  positions[0] = {day(2026, 3, 12), 140};  // a day the history lacks: its close alone, in tenths
  positions[1] = {day(2026, 3, 11), 999};  // the history's bar wins, the day is marked
  positions[2] = {std::nullopt, 50};       // no real date
  positions[3] = {day(2026, 3, 5), std::nullopt};
  positions[4] = {day(2026, 3, 4), 0};  // no price
  const ChartSeries s = buildSeries(history, positions);
  EXPECT_EQ(s.days, (std::vector<int>{day(2026, 3, 6), day(2026, 3, 9), day(2026, 3, 11), day(2026, 3, 12)}));
  EXPECT_EQ(closesOf(s), (std::vector<std::int64_t>{1005, 1100, 1305, 1400}));
  EXPECT_EQ(s.bars[0], history[0]);  // open, high, low and volume kept
  EXPECT_FALSE(s.bars[3].hasRange());
  EXPECT_FALSE(s.bars[3].hasVolume());
  EXPECT_EQ(s.registered, (std::vector<bool>{false, false, true, true}));
  for (std::size_t i = 0; i < s.size(); ++i) EXPECT_EQ(s.bars[i].day, s.days[i]);

  // Only the ten positions known: they still make a series.
  std::array<PositionClose, 10> only;
  for (int k = 0; k < 10; ++k) only[static_cast<size_t>(k)] = {day(2026, 3, 20) - k, 200 - k};
  const ChartSeries ten = buildSeries({}, only);
  ASSERT_EQ(ten.size(), 10u);
  EXPECT_EQ(ten.bars.front().close, 1910);
  EXPECT_EQ(ten.days.back(), day(2026, 3, 20));
  EXPECT_EQ(std::count(ten.registered.begin(), ten.registered.end(), true), 10);
}

TEST(ChartSeries, MovingAveragesOfEachUnitInYen) {
  EXPECT_EQ(averagePeriods(ChartUnit::Day), (std::array<int, 3>{5, 25, 75}));
  EXPECT_EQ(averagePeriods(ChartUnit::Week), (std::array<int, 3>{13, 26, 52}));
  EXPECT_EQ(averagePeriods(chartUnitFromWord("month")), (std::array<int, 3>{12, 24, 60}));
  EXPECT_EQ(chartUnitFromWord("?"), ChartUnit::Day);

  std::vector<Bar> bars;
  for (std::int32_t c : {100, 200, 300, 400, 500, 615}) bars.push_back(closeBar(0, c));
  const auto ma3 = movingAverage(bars, 3);
  ASSERT_EQ(ma3.size(), bars.size());
  EXPECT_FALSE(ma3[0]);
  EXPECT_FALSE(ma3[1]);
  EXPECT_DOUBLE_EQ(*ma3[2], 20);
  EXPECT_DOUBLE_EQ(*ma3[5], 151.5 / 3);
  const auto ma1 = movingAverage(bars, 1);
  EXPECT_DOUBLE_EQ(*ma1[5], 61.5);
  for (const auto& v : movingAverage(bars, 7)) EXPECT_FALSE(v);  // fewer closes than periods

  // The 75-day average over a year of business days: the mean of the last 75.
  const ChartSeries s = businessDays(day(2025, 1, 1), day(2025, 12, 31));
  const auto ma75 = movingAverage(s.bars, 75);
  EXPECT_FALSE(ma75[73]);
  EXPECT_DOUBLE_EQ(*ma75[74], 1000 + 37);
  EXPECT_DOUBLE_EQ(*ma75.back(), s.bars.back().close / 10.0 - 37);
}

TEST(ChartSeries, WeeksAndMonthsGatheredFromTheDays) {
  // 2025-01-13 (Monday) was a holiday: that week is Tuesday to Friday.
  std::vector<Bar> days = {
      fullBar(day(2025, 1, 10), 1000, 1010, 990, 1005, 1000),  // Friday of the week before
      fullBar(day(2025, 1, 14), 1010, 1050, 1000, 1040, 2000),
      fullBar(day(2025, 1, 15), 1040, 1080, 1030, 1070),  // no volume that day
      fullBar(day(2025, 1, 16), 1070, 1075, 960, 980, 500),
      fullBar(day(2025, 1, 17), 985, 1000, 970, 995, 700),
      fullBar(day(2025, 1, 20), 990, 995, 985, 990),  // a week without any volume
  };
  std::array<PositionClose, 10> positions;
  positions[0] = {day(2025, 1, 15), 107};
  const ChartSeries daily = buildSeries(days, positions);
  const ChartSeries weeks = seriesInUnit(daily, ChartUnit::Week);
  ASSERT_EQ(weeks.size(), 3u);
  EXPECT_EQ(weeks.days, (std::vector<int>{day(2025, 1, 10), day(2025, 1, 17), day(2025, 1, 20)}));
  EXPECT_EQ(weeks.bars[1], fullBar(day(2025, 1, 17), 1010, 1080, 960, 995, 3200));
  EXPECT_EQ(weeks.bars[0], days[0]);  // a week of one day is that day
  EXPECT_FALSE(weeks.bars[2].hasVolume());
  EXPECT_EQ(weeks.registered, (std::vector<bool>{false, true, false}));
  EXPECT_EQ(periodOf(day(2025, 1, 13), ChartUnit::Week) + 1, periodOf(day(2025, 1, 19) + 1, ChartUnit::Week));
  EXPECT_EQ(periodOf(day(2025, 1, 13), ChartUnit::Week), periodOf(day(2025, 1, 19), ChartUnit::Week));  // Mon..Sun

  // A month with a day that lacks its high (its close counts there) and a
  // first day without an open (its close opens the month); the week across
  // the month's end is one week but belongs to two months.
  Bar noHigh = fullBar(day(2025, 3, 28), 1100, 0, 1090, 1190, 100);
  Bar noOpen = fullBar(day(2025, 3, 3), 0, 1110, 1095, 1100, 100);
  const ChartSeries march = buildSeries(
      {noOpen, fullBar(day(2025, 3, 14), 1100, 1150, 1080, 1120, 100), noHigh,
       fullBar(day(2025, 3, 31), 1180, 1185, 1170, 1175, 100), fullBar(day(2025, 4, 1), 1175, 1200, 1170, 1199, 100)},
      {});
  const ChartSeries months = seriesInUnit(march, ChartUnit::Month);
  ASSERT_EQ(months.size(), 2u);
  EXPECT_EQ(months.bars[0], fullBar(day(2025, 3, 31), 1100, 1190, 1080, 1175, 400));
  EXPECT_EQ(months.bars[1].day, day(2025, 4, 1));
  EXPECT_EQ(seriesInUnit(march, ChartUnit::Week).size(), 4u);  // 3/3, 3/14, 3/28, 3/31..4/1

  // Days with closes alone make weeks with closes alone.
  const ChartSeries closesOnly = seriesInUnit(businessDays(day(2025, 6, 2), day(2025, 6, 27)), ChartUnit::Week);
  ASSERT_EQ(closesOnly.size(), 4u);
  for (const Bar& b : closesOnly.bars) {
    EXPECT_FALSE(b.hasRange());
    EXPECT_FALSE(b.hasVolume());
  }
  EXPECT_EQ(closesOnly.bars[0].close, 10040);  // Friday's close
  EXPECT_EQ(seriesInUnit(daily, ChartUnit::Day).bars, daily.bars);

  // Marked days move to the bar of their week; a day of no bar is left out.
  EXPECT_EQ(barDaysOf(weeks, {day(2025, 1, 14), day(2025, 1, 16), day(2025, 1, 9), day(2025, 1, 27)}, ChartUnit::Week),
            (std::vector<int>{day(2025, 1, 10), day(2025, 1, 17)}));
  EXPECT_EQ(barDaysOf(daily, {day(2025, 1, 15), day(2025, 1, 13)}, ChartUnit::Day),
            (std::vector<int>{day(2025, 1, 15)}));

  // A weekly database's bars are drawn as they are, whatever the view asks.
  ChartStock weekly;
  weekly.unit = ChartUnit::Week;
  weekly.series = weeks;
  EXPECT_EQ(seriesOfStock(weekly, ChartUnit::Month).bars, weeks.bars);
  EXPECT_EQ(viewUnits(ChartUnit::Week), (std::vector<ChartUnit>{ChartUnit::Week}));
  EXPECT_EQ(viewUnits(ChartUnit::Month), (std::vector<ChartUnit>{ChartUnit::Month}));
  EXPECT_EQ(viewUnits(ChartUnit::Day).size(), 3u);
  ChartStock dailyStock;
  dailyStock.series = daily;
  EXPECT_EQ(seriesOfStock(dailyStock, ChartUnit::Week).bars, weeks.bars);
}

TEST(ChartSeries, BarKindsAndHowARangeIsDrawn) {
  EXPECT_EQ(barKind(fullBar(1, 1000, 1100, 990, 1050)), BarKind::Rising);
  EXPECT_EQ(barKind(fullBar(1, 1000, 1100, 990, 995)), BarKind::Falling);
  EXPECT_EQ(barKind(fullBar(1, 1000, 1000, 1000, 1000)), BarKind::Even);
  EXPECT_EQ(barKind(fullBar(1, 1000, 1100, 0, 1050)), BarKind::CloseOnly);  // no low
  EXPECT_EQ(barKind(closeBar(1, 1050)), BarKind::CloseOnly);

  std::vector<Bar> ranged, mostlyCloses;
  for (int d = 0; d < 60; ++d) {
    ranged.push_back(fullBar(d, 1000, 1010, 990, 1005));
    mostlyCloses.push_back(d % 4 == 0 ? fullBar(d, 1000, 1010, 990, 1005) : closeBar(d, 1000));
  }
  const ChartSeries r = buildSeries(ranged, {}), m = buildSeries(mostlyCloses, {});
  const IndexRange all{0, 60};
  EXPECT_EQ(priceStyle(r, all, 300), PriceStyle::Candles);  // five pixels a bar
  EXPECT_EQ(priceStyle(r, all, 180), PriceStyle::Candles);
  EXPECT_EQ(priceStyle(r, all, 179), PriceStyle::HighLow);
  EXPECT_EQ(priceStyle(r, all, 60), PriceStyle::HighLow);
  EXPECT_EQ(priceStyle(r, all, 59), PriceStyle::Columns);
  EXPECT_EQ(priceStyle(m, all, 300), PriceStyle::Candles);  // candles where there are ranges
  EXPECT_EQ(priceStyle(m, all, 50), PriceStyle::Line);
  EXPECT_EQ(priceStyle(m, IndexRange{1, 3}, 300), PriceStyle::Line);    // no bar of the range has a range
  EXPECT_EQ(priceStyle(r, IndexRange{50, 20}, 300), PriceStyle::Line);  // past the series
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
  for (int d = day(2020, 1, 3); d <= day(2026, 3, 27); d += 7) weekly.push_back(closeBar(d, 5000));
  for (int y = 2000; y <= 2025; ++y)
    for (int m = 1; m <= 12; ++m) monthly.push_back(closeBar(day(y, m, 28), 8000));
  const ChartSeries w = buildSeries(weekly, {});
  const auto wl = dateLabels(w, rangeFor(w, 6), ChartUnit::Week, 10);
  EXPECT_EQ(texts(wl), (std::vector<std::string>{"2025/10", "11月", "12月", "2026/1", "2月", "3月"}));
  const ChartSeries mo = buildSeries(monthly, {});
  const auto ml = dateLabels(mo, rangeFor(mo, 0), ChartUnit::Month, 8);
  EXPECT_EQ(texts(ml), (std::vector<std::string>{"2005", "2010", "2015", "2020", "2025"}));
  EXPECT_TRUE(dateLabels(mo, IndexRange{0, mo.size() + 1}, ChartUnit::Month, 8).empty());
}

TEST(ChartSeries, CrosshairTextsInTenthsWithOpenHighLowAndVolume) {
  ChartSeries s = buildSeries(
      {closeBar(day(2026, 3, 4), 12220), closeBar(day(2026, 3, 5), 12340), closeBar(day(2026, 3, 6), 12000)}, {});
  EXPECT_EQ(pointDescription(s, 0, ChartUnit::Day), "2026-03-04（水）  終値 1,222  前日比 —");
  EXPECT_EQ(pointDescription(s, 1, ChartUnit::Day), "2026-03-05（木）  終値 1,234  前日比 +12（+0.98%）");
  EXPECT_EQ(pointDescription(s, 2, ChartUnit::Week), "2026-03-06  終値 1,200  前週比 -34（-2.76%）");
  EXPECT_EQ(pointDescription(s, 3, ChartUnit::Day), "");

  const ChartSeries full = buildSeries({fullBar(day(2024, 12, 19), 27500, 27700, 27400, 27637, 40000000),
                                        fullBar(day(2024, 12, 20), 27485, 28075, 27355, 27715, 51442500),
                                        fullBar(day(2024, 12, 23), 27700, 27750, 27650, 27712)},
                                       {});
  EXPECT_EQ(pointDescription(full, 1, ChartUnit::Day),
            "2024-12-20（金）  始値 2,748.5  高値 2,807.5  安値 2,735.5  終値 2,771.5  出来高 51,442,500  "
            "前日比 +7.8（+0.28%）");
  // A change under one yen keeps its sign; without a volume none is written.
  EXPECT_EQ(pointDescription(full, 2, ChartUnit::Month),
            "2024-12-23  始値 2,770  高値 2,775  安値 2,765  終値 2,771.2  前月比 -0.3（-0.01%）");
  EXPECT_EQ(barDetails(full, 1, ChartUnit::Day),
            (std::vector<std::string>{"2024-12-20（金）", "始値 2,748.5", "高値 2,807.5", "安値 2,735.5",
                                      "終値 2,771.5", "出来高 51,442,500"}));
  EXPECT_EQ(barDetails(s, 0, ChartUnit::Week), (std::vector<std::string>{"2026-03-04", "終値 1,222"}));
  EXPECT_TRUE(barDetails(s, 5, ChartUnit::Day).empty());

  EXPECT_EQ(priceLabel(8520), "852");
  EXPECT_EQ(priceLabel(12345675), "1,234,567.5");
  EXPECT_EQ(priceLabel(-3), "-0.3");
  EXPECT_EQ(priceLabel(0), "0");
  EXPECT_EQ(volumeLabel(0), "0");
  EXPECT_EQ(volumeLabel(5000), "5,000");
  EXPECT_EQ(volumeLabel(25000), "2.5万");
  EXPECT_EQ(volumeLabel(12000000), "1,200万");
  EXPECT_EQ(volumeLabel(150000000), "1.5億");
  EXPECT_EQ(volumeLabel(125000000), "1.25億");
  EXPECT_EQ(volumeLabel(2e12), "20,000億");
  EXPECT_EQ(groupedCount(1234567), "1,234,567");
  EXPECT_EQ(groupedCount(-999), "-999");
  EXPECT_EQ(groupedCount(INT64_MIN), "-9,223,372,036,854,775,808");
}

TEST(ChartSeries, AxisValues) {
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
  EXPECT_EQ(closesOf(only.series), (std::vector<std::int64_t>{24000, 25000}));
  EXPECT_EQ(only.series.days.back(), day(2026, 3, 27));
  EXPECT_EQ(stockTitle(only), "見本（7203・東証１部）");

  const Bar stored = fullBar(day(2025, 1, 10), 20005, 20100, 19950, 20015, 123400);
  {
    Database d(db);
    Transaction tx(d);
    HistoryWriter w(d);
    w.put(Value(std::int64_t{7203}), stored);
    for (int k = 2; k <= 30; ++k) w.put(Value(std::int64_t{7203}), closeBar(day(2025, 1, 3) + 7 * k, (2000 + k) * 10));
    w.put(Value("130A"), closeBar(day(2026, 3, 20), 8805));
    w.flush();
    tx.commit();
  }
  ChartStock full = loadChartStock(db, "7203");
  EXPECT_EQ(full.historyPoints, 30u);
  EXPECT_EQ(full.series.size(), 32u);
  EXPECT_EQ(full.series.bars.front(), stored);                            // open, high, low and volume as stored
  EXPECT_EQ(seriesOfStock(full, ChartUnit::Day).bars, full.series.bars);  // a weekly database as it is
  ChartStock lettered = loadChartStock(db, "130A");
  ASSERT_TRUE(lettered.found);
  EXPECT_EQ(lettered.code, "130A");
  EXPECT_EQ(closesOf(lettered.series), (std::vector<std::int64_t>{8805, 9000}));
  EXPECT_EQ(pointDescription(lettered.series, 0, lettered.unit), "2026-03-20  終値 880.5  前週比 —");

  EXPECT_FALSE(loadChartStock(db, "9999").found);
  EXPECT_FALSE(loadChartStock(dir / "missing.mdb", "7203").found);
}
