#include <gtest/gtest.h>

#include <cmath>

#include "base/log.h"
#include "data/price_bars.h"
#include "history/history_checks.h"
#include "history/price_history.h"
#include "registration_support.h"

namespace tavrin {
namespace {

Value I(std::int64_t v) { return Value(v); }

Bar bar(int day, std::int32_t close, std::int32_t open = 0, std::int32_t high = 0, std::int32_t low = 0,
        std::int64_t volume = -1) {
  Bar b;
  b.day = day;
  b.close = close;
  b.open = open;
  b.high = high;
  b.low = low;
  b.volume = volume;
  return b;
}

TEST(PriceBars, TenthsAsWrittenAndWholeYenHalvesToEven) {
  EXPECT_EQ(tenthsOfPriceText("2771.5"), 27715);
  EXPECT_EQ(tenthsOfPriceText("280.70001220703125"), 2807);
  EXPECT_EQ(tenthsOfPriceText("852"), 8520);
  EXPECT_EQ(tenthsOfPriceText("1e3"), 10000);
  EXPECT_EQ(tenthsOfPriceText("0.25"), 2);  // the half goes to the even tenth
  EXPECT_EQ(tenthsOfPriceText("0.35"), 4);
  EXPECT_EQ(tenthsOfPriceText("0.2500001"), 3);
  for (const char* bad : {"-1", "0", "0.04", "1e-300", "abc", "", "1e20", "12.3.4", "1e"})
    EXPECT_FALSE(tenthsOfPriceText(bad)) << bad;
  EXPECT_EQ(tenthsOfPrice(280.70001220703125), 2807);
  EXPECT_FALSE(tenthsOfPrice(-1));
  EXPECT_FALSE(tenthsOfPrice(std::nan("")));

  EXPECT_EQ(wholeYen(27715), 2772);
  EXPECT_EQ(wholeYen(8525), 852);
  EXPECT_EQ(wholeYen(8535), 854);
  EXPECT_EQ(wholeYen(8524), 852);
  EXPECT_EQ(wholeYen(8526), 853);
  EXPECT_EQ(priceText(8520), "852");
  EXPECT_EQ(priceText(27715), "2771.5");
  EXPECT_EQ(priceText(28), "2.8");
}

TEST(PriceBars, BlocksRoundTripAndRefuseDamage) {
  const int block = barBlockOf(*dayFromCivil(2024, 12, 20));
  const int start = barBlockStart(block);
  const std::vector<Bar> bars = {bar(start, 27715, 27485, 28075, 27355, 51442500), bar(start + 1, 27805),
                                 bar(start + 7, 1, 0, 3, 0, 0),
                                 bar(start + kBarBlockDays - 1, kMaxPriceTenths, 1, kMaxPriceTenths, 1, INT64_MAX)};
  const std::string bytes = encodeBarBlock(block, bars);
  std::vector<Bar> back;
  ASSERT_TRUE(decodeBarBlock(block, bytes, back));
  EXPECT_EQ(back, bars);
  // Small: a full bar of a real day in a dozen bytes or so.
  EXPECT_LE(encodeBarBlock(block, {bars[0]}).size(), 16u);

  // Every cut and every flipped byte is refused or read as bars of the
  // block (never outside it, never a price that is not positive).
  for (std::size_t n = 0; n < bytes.size(); ++n) {
    std::vector<Bar> out = {bar(1, 1)};
    if (!decodeBarBlock(block, std::string_view(bytes).substr(0, n), out)) {
      EXPECT_EQ(out.size(), 1u);
    }
    std::string flipped = bytes;
    flipped[n] = static_cast<char>(flipped[n] ^ 0xA5);
    out.clear();
    if (decodeBarBlock(block, flipped, out)) {
      for (const Bar& b : out) {
        EXPECT_GE(b.day, start);
        EXPECT_LT(b.day, start + kBarBlockDays);
        EXPECT_GT(b.close, 0);
      }
    }
  }
  EXPECT_EQ(barBlockOf(-1), -1);
  EXPECT_EQ(barBlockOf(0), 0);
  EXPECT_EQ(barBlockStart(barBlockOf(-65)), -128);
}

class HistoryStore : public ::testing::Test {
 protected:
  void SetUp() override {
    setLogQuiet(true);
    test::makePriceDb(db(), "day",
                      {{"A", I(1001), {}},
                       {"B", I(1002), {}},
                       {"C", I(1003), {}},
                       {"D", Value("130A"), {}},
                       {"Fixed", I(1000), {I(7)}}});
  }
  void TearDown() override { setLogQuiet(false); }
  std::filesystem::path db() const { return dir / "kabuka.mdb"; }
  // Writes bars in one transaction.
  void write(const std::vector<std::pair<Value, Bar>>& bars,
             HistoryWriter::Existing existing = HistoryWriter::Existing::Replace) {
    Database d(db());
    Transaction tx(d);
    HistoryWriter w(d, existing);
    for (const auto& [code, b] : bars) w.put(code, b);
    w.flush();
    tx.commit();
  }
  test::TempDir dir;
};

// Business days from 2024-12-02 (a Monday).
int bday(int k) { return *dayFromCivil(2024, 12, 2) + k / 5 * 7 + k % 5; }

TEST_F(HistoryStore, WritesMergeAcrossBlocksReplaceOrKeep) {
  std::vector<std::pair<Value, Bar>> bars;
  for (int k = 0; k < 200; ++k) bars.push_back({I(1001), bar(bday(k), 10000 + k, 9990, 10100 + k, 9900, 100 * k)});
  bars.push_back({Value("130A"), bar(bday(3), 8125)});
  write(bars);
  Database d(db());
  std::vector<Bar> a = readHistory(d, std::string("1001"));
  ASSERT_EQ(a.size(), 200u);
  EXPECT_EQ(a[199], bars[199].second);
  EXPECT_EQ(readHistory(d, std::string("130A")).at(0).close, 8125);
  EXPECT_EQ(historyRowCount(d), 201);

  // Replace one day in the middle, add one before everything; Keep leaves a
  // stored day alone.
  write({{I(1001), bar(bday(100), 55555)}, {I(1001), bar(bday(-10), 4242)}});
  write({{I(1001), bar(bday(100), 1)}, {I(1001), bar(bday(300), 777)}}, HistoryWriter::Existing::Keep);
  a = readHistory(d, std::string("1001"));
  ASSERT_EQ(a.size(), 202u);
  EXPECT_EQ(a.front().close, 4242);
  EXPECT_EQ(a[101].close, 55555);
  EXPECT_FALSE(a[101].hasRange());
  EXPECT_EQ(a.back().close, 777);
}

TEST_F(HistoryStore, EarlierClosesMoveIntoBlocksOnFirstWrite) {
  {
    Database d(db());
    d.exec(
        "CREATE TABLE [history] ([コード] INTEGER NOT NULL, [day] INTEGER NOT NULL, [close] INTEGER, "
        "PRIMARY KEY ([コード], [day])) WITHOUT ROWID");
    d.exec("DROP TABLE [history_bars]");
    d.execute("insert into [history] values (1001, ?, 852), (1001, ?, 860), ('130A', ?, 99)",
              {I(bday(0)), I(bday(1)), I(bday(0))});
  }
  {
    Database d(db(), Database::Mode::ReadOnly);  // read as they are before any write
    ASSERT_EQ(readHistory(d, std::string("1001")).size(), 2u);
    EXPECT_EQ(readHistory(d, std::string("1001"))[1].close, 8600);
    EXPECT_EQ(latestHistoryDay(d), bday(1));
  }
  write({{I(1002), bar(bday(0), 500)}});
  Database d(db());
  EXPECT_FALSE(d.tableExists("history"));
  EXPECT_EQ(readHistory(d, std::string("1001"))[0].close, 8520);
  EXPECT_EQ(readHistory(d, std::string("130A"))[0].close, 990);
  EXPECT_EQ(historyRowCount(d), 4);
}

TEST_F(HistoryStore, PositionsSkipAnIncompleteLastDayAndRemovalBringsThemBack) {
  // Three stocks over 12 days; a 13th day only one stock has (a file that
  // came a day early); 130A lacks day 5.
  std::vector<std::pair<Value, Bar>> bars;
  for (int k = 0; k < 12; ++k)
    for (int s = 0; s < 3; ++s) bars.push_back({I(1001 + s), bar(bday(k), 1000 * (s + 1) + 10 * k + 5)});
  for (int k = 0; k < 12; ++k)
    if (k != 5) bars.push_back({Value("130A"), bar(bday(k), 3000 + k)});
  bars.push_back({I(1001), bar(bday(12), 2000)});
  write(bars);

  Database d(db());
  const std::vector<HistoryDay> days = historyDays(d);
  ASSERT_EQ(days.size(), 13u);
  EXPECT_TRUE(days[5].complete);  // three of the four
  EXPECT_FALSE(days[12].complete);
  EXPECT_EQ(days[12].stocks, 1u);
  EXPECT_EQ(latestHistoryDay(d), bday(12));

  PositionsOutcome p = setPositionsFromHistory(d);
  ASSERT_TRUE(p.done()) << p.detail;
  EXPECT_EQ(p.days.front(), bday(11));
  EXPECT_EQ(p.days.back(), bday(2));
  ASSERT_EQ(p.incompleteAfter.size(), 1u);
  EXPECT_EQ(p.incompleteAfter[0].day, bday(12));
  EXPECT_EQ(p.withLatest, 4u);
  // Whole yen, halves to even: 1115 tenths is 111.5 → 112; 1105 → 110.
  EXPECT_EQ(test::pricesOf(d, I(1001))[0], I(112));
  EXPECT_EQ(test::pricesOf(d, I(1001))[1], I(110));
  EXPECT_EQ(test::pricesOf(d, Value("130A"))[6], Value());  // day 5
  EXPECT_EQ(test::pricesOf(d, I(1000))[0], I(7));
  EXPECT_EQ(*readDateRecord(d)->dates.begin(), recordDate(bday(11)));

  // A given day: the complete days up to it; a missing or incomplete day is refused.
  p = setPositionsFromHistory(d, bday(8));
  ASSERT_TRUE(p.done());
  EXPECT_EQ(p.days.front(), bday(8));
  EXPECT_EQ(p.days.size(), 9u);
  EXPECT_EQ(setPositionsFromHistory(d, bday(12)).failure, PositionsFailure::Incomplete);
  EXPECT_EQ(setPositionsFromHistory(d, bday(12) + 1).failure, PositionsFailure::NoSuchDay);
  EXPECT_EQ(test::pricesOf(d, I(1001))[0], I(108));  // 108.5 on the given day

  // Removing the early day, a stock's day, a stock.
  RemovalOutcome r = removeFromHistory(d, bday(12), std::nullopt);
  ASSERT_TRUE(r.done());
  EXPECT_EQ(r.bars, 1u);
  EXPECT_EQ(historyDays(d).size(), 12u);
  EXPECT_EQ(latestHistoryDay(d), bday(11));
  r = removeFromHistory(d, bday(3), I(1002));
  EXPECT_EQ(r.bars, 1u);
  EXPECT_EQ(readHistory(d, I(1002)).size(), 11u);
  r = removeFromHistory(d, std::nullopt, Value("130A"));
  EXPECT_EQ(r.bars, 11u);
  EXPECT_EQ(r.days, 11u);
  EXPECT_TRUE(readHistory(d, Value("130A")).empty());
  EXPECT_EQ(removeFromHistory(d, std::nullopt, I(1001)).bars, 12u);
  EXPECT_EQ(removeFromHistory(d, std::nullopt, I(1002)).bars, 11u);
  EXPECT_EQ(removeFromHistory(d, std::nullopt, I(1003)).bars, 12u);
  EXPECT_EQ(latestHistoryDay(d), std::nullopt);
  r = removeFromHistory(d, bday(40), std::nullopt);
  EXPECT_TRUE(r.done());
  EXPECT_EQ(r.bars, 0u);
  EXPECT_EQ(removeFromHistory(d, std::nullopt, std::nullopt).failure, RemovalFailure::NothingChosen);
}

TEST(HistoryChecks, SpikesAndLastingStepsOfSplitRatios) {
  auto series = [](std::vector<std::int32_t> yen) {
    std::vector<Bar> out;
    for (std::size_t i = 0; i < yen.size(); ++i) out.push_back(bar(bday(static_cast<int>(i)), yen[i] * 10));
    return out;
  };
  // A source error: 2.835 between 274 and 285.
  std::vector<Bar> s = series({270, 272, 274, 285, 286});
  s[3].close = 28;
  s.push_back(bar(bday(5), 2850));
  auto f = checkBars("7203", s);
  ASSERT_EQ(f.size(), 1u);
  EXPECT_EQ(f[0].kind, FindingKind::Spike);
  EXPECT_EQ(f[0].day, bday(3));
  EXPECT_EQ(f[0].around[f[0].at].close, 28);

  // 1:5 split, 10:1 consolidation, each lasting; a 1:2 fall that comes
  // back is none; then a one-day jump.
  f = checkBars("7203", series({2850, 2860, 2840, 570,  575,  580,  571,  569,  572,   5700, 5710, 5690,
                                5720, 5700, 5710, 2850, 2860, 5700, 5710, 5705, 14500, 5700, 5690}));
  ASSERT_EQ(f.size(), 3u);
  EXPECT_EQ(f[0].kind, FindingKind::Step);
  EXPECT_EQ(f[0].ratio, 5);
  EXPECT_EQ(f[0].day, bday(3));
  EXPECT_EQ(f[1].kind, FindingKind::Step);
  EXPECT_DOUBLE_EQ(f[1].ratio, 0.1);
  EXPECT_EQ(f[1].day, bday(9));
  EXPECT_EQ(ratioText(f[1].ratio), "10:1");
  EXPECT_EQ(ratioText(5), "1:5");
  EXPECT_EQ(ratioText(1.5), "1:1.5");
  EXPECT_EQ(f[2].kind, FindingKind::Spike);
  EXPECT_EQ(f[2].day, bday(20));
  // Ordinary moves are no findings.
  EXPECT_TRUE(checkBars("7203", series({1000, 1100, 1000, 1150, 1200, 900, 950, 1000})).empty());
  // A step on the last day cannot be told from a spike yet.
  EXPECT_TRUE(checkBars("7203", series({1000, 1000, 200})).empty());
}

}  // namespace
}  // namespace tavrin
