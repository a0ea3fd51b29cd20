#include <gtest/gtest.h>

#include "history/history_files.h"
#include "history/price_history.h"

namespace tavrin {
namespace {

TEST(HistoryDates, DayNumbersAndTheFormsFilesWrite) {
  EXPECT_EQ(dayFromCivil(1970, 1, 1), 0);
  EXPECT_EQ(isoDate(*dayFromCivil(2026, 12, 8)), "2026-12-08");
  EXPECT_EQ(dayFromRecordDate("26/12/08"), dayFromCivil(2026, 12, 8));
  EXPECT_FALSE(dayFromRecordDate("26/02/30"));
  EXPECT_EQ(parseHistoryDate("20240104"), dayFromCivil(2024, 1, 4));
  EXPECT_EQ(parseHistoryDate("2024/1/4 15:00"), dayFromCivil(2024, 1, 4));
  EXPECT_EQ(parseHistoryDate("24-01-04"), dayFromCivil(2024, 1, 4));
  EXPECT_FALSE(parseHistoryDate("2024-13-01"));
  EXPECT_FALSE(parseHistoryDate("yesterday"));
}

TEST(HistoryFiles, BothPerStockLayoutsPerDayFilesAndDamage) {
  ParsedHistoryFile bulk = parseHistoryFile(
      "<TICKER>,<PER>,<DATE>,<TIME>,<OPEN>,<HIGH>,<LOW>,<CLOSE>,<VOL>,<OPENINT>\r\n"
      "130A.JP,D,20240104,000000,1,1,1,812.5,100,0\r\n",
      "x.txt");
  ASSERT_TRUE(bulk.ok) << bulk.error;
  ASSERT_EQ(bulk.records.size(), 1u);
  EXPECT_EQ(bulk.records[0].code, "130A");
  EXPECT_EQ(bulk.records[0].close, 812);  // halves to even

  ParsedHistoryFile exp =
      parseHistoryFile("Date,Open,High,Low,Close,Volume\n2024-01-04,1,1,1,2500,9\n2024-01-05,,,,,\n", "130a.jp.txt");
  ASSERT_TRUE(exp.ok) << exp.error;
  EXPECT_EQ(exp.records.size(), 1u);
  EXPECT_EQ(exp.withoutClose, 1u);
  EXPECT_EQ(exp.records[0].code, "130A");
  EXPECT_EQ(codeFromFileName("7203.csv"), "7203");

  ParsedHistoryFile day = parseHistoryFile("コード,銘柄,日付,終値\n7203,トヨタ,2024/01/04,\"2,500\"\n", "d.csv");
  ASSERT_TRUE(day.ok) << day.error;
  EXPECT_EQ(day.records[0].close, 2500);

  EXPECT_FALSE(parseHistoryFile("Date,Close\n2024-01-04,abc\n", "7203.csv").ok);
  EXPECT_FALSE(parseHistoryFile(std::string("PK\x03\x04\0\0", 6), "7203.csv").ok);
  EXPECT_FALSE(parseHistoryFile("", "7203.csv").ok);
}

}  // namespace
}  // namespace tavrin
