// History files as their writers write them (tests/data/history_files.py:
// pandas, the csv module, openpyxl, zipfile): every layout gives the bars
// the file holds, a refused line damages the whole file, and each file that
// cannot be taken fails with its own kind and text.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <memory>

#include "base/calendar.h"
#include "base/files.h"
#include "cli/import_texts.h"
#include "data/price_bars.h"
#include "formats/csv_text.h"
#include "history/history_files.h"
#include "test_support.h"

namespace tavrin {
namespace {

int day(int y, int m, int d) { return *dayFromCivil(y, m, d); }

// The day files may hold in these tests: what "tomorrow" is for the reader.
const int kLatest = day(2030, 6, 11);

// "7203 2024-12-19 c27715 o27485 h28075 l27355 v51442500", sorted.
std::vector<std::string> shown(const ParsedHistoryFile& f) {
  std::vector<std::string> out;
  for (const HistoryFileRecord& r : f.records) {
    const Bar& b = r.bar;
    out.push_back(r.code + " " + isoDate(b.day) + " c" + std::to_string(b.close) + " o" + std::to_string(b.open) +
                  " h" + std::to_string(b.high) + " l" + std::to_string(b.low) + " v" + std::to_string(b.volume));
  }
  std::sort(out.begin(), out.end());
  return out;
}

using Lines = std::vector<std::string>;

class HistoryLayouts : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = std::make_unique<test::TempDir>();
    const test::CommandResult r = test::runCommand("/usr/bin/python3 " + std::string(TAVRIN_TEST_DATA_DIR) +
                                                   "/history_files.py '" + toUtf8(dir_->path()) + "' 2>&1");
    ASSERT_EQ(r.status, 0) << r.out;
  }
  static void TearDownTestSuite() { dir_.reset(); }
  static std::filesystem::path file(const std::string& name) { return *dir_ / name; }
  static ParsedHistoryFile read(const std::string& name) { return readHistoryFile(file(name), kLatest); }
  // The fields of a file's lines after the header (csv module output, no quotes).
  static std::vector<std::vector<std::string>> rows(const std::string& name) {
    std::vector<std::vector<std::string>> out;
    const std::string text = test::readFileBytes(file(name));
    TextLines lines(text);
    std::string_view line;
    lines.next(line);
    std::vector<std::string> fields;
    while (lines.next(line))
      if (splitCsvLine(line, ',', fields)) out.push_back(fields);
    return out;
  }

  static std::unique_ptr<test::TempDir> dir_;
};
std::unique_ptr<test::TempDir> HistoryLayouts::dir_;

TEST_F(HistoryLayouts, TheDownloadersFrameWithItsThreeHeaderRows) {
  const std::string text = test::readFileBytes(file("downloader.csv"));
  ASSERT_EQ(text.substr(0, text.find("2024")),
            "Price,Adj Close,Close,High,Low,Open,Volume\n"
            "Ticker,7203.T,7203.T,7203.T,7203.T,7203.T,7203.T\n"
            "Date,,,,,,\n");
  const ParsedHistoryFile f = read("downloader.csv");
  ASSERT_TRUE(f.done()) << f.detail;
  EXPECT_EQ(f.layout, ParsedHistoryFile::Layout::Downloader);
  EXPECT_FALSE(f.adjustedCloses);
  EXPECT_EQ(f.lines, 4u);
  EXPECT_EQ(f.withoutClose, 1u);  // the day pandas wrote as empty fields
  // Close rather than Adj Close; 280.70001220703125 is 280.7; the volume
  // column pandas wrote as floats ("51442500.0"), its empty field unknown.
  EXPECT_EQ(shown(f),
            (Lines{"7203 2024-12-19 c27715 o27485 h28075 l27355 v51442500",
                   "7203 2024-12-20 c2807 o2800 h2815 l2790 v-1", "7203 2024-12-24 c28000 o27950 h28100 l27900 v0"}));

  const ParsedHistoryFile adjusted = read("adjusted.csv");
  ASSERT_TRUE(adjusted.done()) << adjusted.detail;
  EXPECT_TRUE(adjusted.adjustedCloses);
  EXPECT_EQ(shown(adjusted).front(), "7203 2024-12-19 c27000 o27485 h28075 l27355 v51442500");

  const ParsedHistoryFile letters = read("letters.csv");
  ASSERT_TRUE(letters.done()) << letters.detail;
  EXPECT_EQ(shown(letters), (Lines{"130A 2024-12-19 c27715 o27485 h28075 l27355 v51442500"}));

  // An index of a time zone without a name: no Date row, a time after the date.
  const ParsedHistoryFile tz = read("tz.csv");
  ASSERT_TRUE(tz.done()) << tz.detail;
  EXPECT_EQ(shown(tz), (Lines{"7203 2024-12-19 c27715 o27485 h28075 l27355 v100"}));
}

TEST_F(HistoryLayouts, AFrameOfSeveralTickersGroupedEitherWay) {
  const Lines expected = {"6758 2024-12-20 c31000 o30500 h0 l0 v1200", "7203 2024-12-19 c27715 o27485 h0 l0 v51442500",
                          "7203 2024-12-20 c27800 o27700 h0 l0 v40000000"};
  for (const char* name : {"two.csv", "by-ticker.csv"}) {
    const ParsedHistoryFile f = read(name);
    ASSERT_TRUE(f.done()) << name << ": " << f.detail;
    EXPECT_EQ(f.layout, ParsedHistoryFile::Layout::Downloader);
    EXPECT_EQ(shown(f), expected) << name;
    EXPECT_EQ(f.lines, 4u) << name;
    EXPECT_EQ(f.withoutClose, 1u) << name;  // 6758 before its listing
  }
}

TEST_F(HistoryLayouts, OneLevelBulkDownloadAndPerDayFiles) {
  const ParsedHistoryFile exp = read("7203.T.csv");
  ASSERT_TRUE(exp.done()) << exp.detail;
  EXPECT_EQ(exp.layout, ParsedHistoryFile::Layout::Export);
  EXPECT_FALSE(exp.adjustedCloses);
  EXPECT_EQ(shown(exp), (Lines{"7203 2024-01-04 c25300 o25000 h25500 l24900 v1000000",
                               "7203 2024-01-05 c25405 o25100 h25600 l25000 v900000"}));

  const ParsedHistoryFile tab = read("6758.txt");
  ASSERT_TRUE(tab.done()) << tab.detail;
  EXPECT_EQ(shown(tab), (Lines{"6758 2024-01-04 c30500 o0 h0 l0 v1200"}));

  const ParsedHistoryFile bulk = read("stooq.txt");
  ASSERT_TRUE(bulk.done()) << bulk.detail;
  EXPECT_EQ(bulk.layout, ParsedHistoryFile::Layout::BulkDownload);
  EXPECT_EQ(shown(bulk), (Lines{"130A 2024-01-05 c8125 o8120 h8130 l8110 v100",
                                "7203 2024-01-04 c25300 o25000 h25500 l24900 v1000000",
                                "7203 2024-01-05 c25405 o25300 h25600 l25000 v900000"}));

  // Code page 932 from pandas: thousands separators in quotes, full-width
  // digits, an empty volume, a "-" close.
  const ParsedHistoryFile perDay = read("perday.csv");
  ASSERT_TRUE(perDay.done()) << perDay.detail;
  EXPECT_EQ(perDay.layout, ParsedHistoryFile::Layout::PerDay);
  EXPECT_EQ(shown(perDay),
            (Lines{"130A 2024-01-04 c8125 o8120 h8130 l8110 v100", "6758 2024-01-04 c12340 o30000 h31000 l29900 v-1",
                   "7203 2024-01-04 c25300 o25000 h25500 l24900 v1000000"}));
  EXPECT_EQ(perDay.lines, 4u);
  EXPECT_EQ(perDay.withoutClose, 1u);

  const ParsedHistoryFile shortOne = read("perday-short.csv");
  ASSERT_TRUE(shortOne.done()) << shortOne.detail;
  EXPECT_EQ(shown(shortOne), (Lines{"7203 2024-01-04 c25300 o0 h0 l0 v-1"}));
}

// The readers' quick forms give what the reference readers give: closes as
// tenthsOfPriceText reads them, dates as parseHistoryDate does.
TEST_F(HistoryLayouts, PricesAndDatesAsTheReferenceReadersReadThem) {
  const ParsedHistoryFile prices = read("7203.prices.csv");
  ASSERT_TRUE(prices.done()) << prices.detail;
  const auto priceRows = rows("7203.prices.csv");
  ASSERT_EQ(prices.records.size(), priceRows.size());
  for (std::size_t i = 0; i < priceRows.size(); ++i)
    ASSERT_EQ(prices.records[i].bar.close, tenthsOfPriceText(priceRows[i][1]).value_or(-1)) << priceRows[i][1];

  const ParsedHistoryFile dates = read("7203.dates.csv");
  ASSERT_TRUE(dates.done()) << dates.detail;
  const auto dateRows = rows("7203.dates.csv");
  ASSERT_EQ(dates.records.size(), dateRows.size());
  for (std::size_t i = 0; i < dateRows.size(); ++i)
    EXPECT_EQ(dates.records[i].bar.day, parseHistoryDate(dateRows[i][0]).value_or(-1)) << dateRows[i][0];
  EXPECT_EQ(dates.records[2].bar.day, day(2024, 1, 4));  // 2024/1/4
}

TEST_F(HistoryLayouts, ARefusedLineDamagesTheWholeFile) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"close-negative", "line 3: close '-1'"},
      {"close-zero", "line 3: close '0'"},
      {"close-tiny", "line 3: close '1e-300'"},
      {"close-word", "line 3: close 'abc'"},
      {"open-zero", "line 3: open '0'"},
      {"high-negative", "line 3: high '-2550'"},
      {"low-word", "line 3: low 'x'"},
      {"volume-negative", "line 3: volume '-5'"},
      {"volume-fraction", "line 3: volume '1.5'"},
      {"volume-word", "line 3: volume 'many'"},
      {"date-9999", "line 3: date '9999-12-31' after 2030-06-11"},
      {"date-1900", "line 3: date '1900-01-01' before 1949-05-16"},
      {"date-1949-05-15", "line 3: date '1949-05-15' before 1949-05-16"},
      {"date-after-latest", "line 3: date '2030-06-12' after 2030-06-11"},
      {"date-month-13", "line 3: date '2024-13-01'"},
      {"date-feb-30", "line 3: date '20240230'"},
      {"date-trailing", "line 3: date '2024/1/4x'"},
      {"date-mixed-separators", "line 3: date '2024-1/4'"},
      {"date-empty", "line 3: date ''"},
      {"too-few-fields", "line 3: 2 fields, too few for the header"},
  };
  for (const auto& [name, detail] : cases) {
    const ParsedHistoryFile f = read("7203." + name + ".csv");
    EXPECT_EQ(f.failure, HistoryFileFailure::Damaged) << name;
    EXPECT_EQ(f.detail, detail) << name;
    EXPECT_TRUE(f.records.empty()) << name;
  }

  // The first day the exchange traded again and the latest day are taken;
  // dashes are no price; an exponent that makes a whole volume is one; rows of
  // empty fields are nothing.
  ParsedHistoryFile f = read("7203.date-1949-05-16.csv");
  ASSERT_TRUE(f.done()) << f.detail;
  EXPECT_EQ(f.records.back().bar.day, kFirstHistoryDay);
  EXPECT_EQ(kFirstHistoryDay, day(1949, 5, 16));
  f = read("7203.date-latest.csv");
  ASSERT_TRUE(f.done()) << f.detail;
  EXPECT_EQ(f.records.back().bar.day, kLatest);
  f = read("7203.no-prices.csv");
  ASSERT_TRUE(f.done()) << f.detail;
  EXPECT_EQ(f.records.size(), 1u);
  EXPECT_EQ(f.withoutClose, 1u);
  f = read("7203.volume-exponent.csv");
  ASSERT_TRUE(f.done()) << f.detail;
  EXPECT_EQ(f.records.back().bar.volume, 51442500);
  f = read("7203.blank-rows.csv");
  ASSERT_TRUE(f.done()) << f.detail;
  EXPECT_EQ(f.lines, 1u);
}

TEST_F(HistoryLayouts, EachFileThatCannotBeTakenHasItsKindAndText) {
  std::filesystem::create_directory(file("folder.csv"));
  struct Case {
    std::string name;
    HistoryFileFailure kind;
    std::string firstLine;  // the start of it
    std::string cliText;    // a part of the command line's note
  };
  const std::vector<Case> cases = {
      {"folder.csv", HistoryFileFailure::Folder, "", ": a folder, not a file; skipped"},
      {"none.csv", HistoryFileFailure::Missing, "", ": no such file; skipped"},
      {"empty.csv", HistoryFileFailure::Empty, "", ": empty file; skipped"},
      {"blank.csv", HistoryFileFailure::Empty, "", ": empty file; skipped"},
      {"book.xlsx", HistoryFileFailure::OtherKind, "PK\\x03\\x04",
       ": not a history file, skipped (first line: 'PK\\x03"},
      {"archive.zip", HistoryFileFailure::OtherKind, "PK\\x03\\x04", "Date,Open,High,Low,Close,Volume"},
      {"list.csv", HistoryFileFailure::OtherKind, "コード,銘柄名,市場・商品区分,33業種区分,備考",
       "(first line: 'コード,"},
      {"big.csv", HistoryFileFailure::TooLarge, "", ": too large, skipped (536,870,913 bytes, more than 512 MiB)"},
      {"7203.close-word.csv", HistoryFileFailure::Damaged, "", ": damaged, skipped (line 3: close 'abc')"},
  };
  HistoryImportOutcome o;
  for (const Case& c : cases) {
    const ParsedHistoryFile f = read(c.name);
    EXPECT_EQ(f.failure, c.kind) << c.name << ": " << f.detail;
    EXPECT_EQ(f.firstLine.rfind(c.firstLine, 0), 0u) << c.name << ": " << f.firstLine;
    HistoryFileReport r;
    r.file = file(c.name);
    r.fail(f.failure, f.detail);
    r.firstLine = f.firstLine;
    o.notes.push_back(r);
  }
  // The first line is cut to 60 characters.
  const std::string listLine = read("list.csv").firstLine;
  EXPECT_EQ(listLine.substr(listLine.size() - 3), "\xE2\x80\xA6");
  EXPECT_EQ(std::count_if(listLine.begin(), listLine.end(), [](char c) { return (c & 0xC0) != 0x80; }), 61);

  // The command line's note of each, then the note of a file imported from its adjusted closes.
  HistoryFileReport adjusted;
  adjusted.file = file("adjusted.csv");
  adjusted.imported = true;
  adjusted.adjustedCloses = read("adjusted.csv").adjustedCloses;
  o.notes.push_back(adjusted);
  const std::vector<std::string> notes = cli::historyNoteLines(o);
  ASSERT_EQ(notes.size(), cases.size() + 1);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(notes[i].rfind(toUtf8(file(cases[i].name)), 0), 0u) << notes[i];
    EXPECT_NE(notes[i].find(cases[i].cliText), std::string::npos) << notes[i];
  }
  EXPECT_NE(notes.back().find("no Close column; the adjusted closes (Adj Close) were imported"), std::string::npos)
      << notes.back();
}

TEST_F(HistoryLayouts, ALineLongerThanAMegabyteRefusesTheFile) {
  // Line 3 exactly 1 MB (1,048,576 bytes, blanks after its volume, the line
  // end not counted), or one byte more; lines after it that are sound.
  auto history = [](std::size_t lineBytes, const char* end) {
    const std::string line = "2024-01-05,101,103,100,102,2000";
    std::string text = std::string("Date,Open,High,Low,Close,Volume") + end + "2024-01-04,100,102,99,101,1000" + end;
    text += line + std::string(lineBytes - line.size(), ' ') + end;
    for (int d = 10; d <= 13; ++d) text += "2024-01-" + std::to_string(d) + ",100,102,99,101,1000" + end;
    return text;
  };
  struct Case {
    const char* name;
    std::string bytes;
    std::size_t records;  // 0: refused
    const char* detail;
  };
  const std::vector<Case> cases = {
      {"exact.csv", history(1'048'576, "\n"), 6, ""},
      {"exact-crlf.csv", history(1'048'576, "\r\n"), 6, ""},
      {"longer.csv", history(1'048'577, "\n"), 0, "line 3 is longer than 1 MB"},
      {"longer-crlf.csv", history(1'048'577, "\r\n"), 0, "line 3 is longer than 1 MB"},
      {"one-line.csv", std::string(3u << 20, '7'), 0, "line 1 is longer than 1 MB"},
  };
  HistoryImportOutcome o;
  for (const Case& c : cases) {
    {
      std::ofstream out(file(c.name), std::ios::binary);
      out << c.bytes;
    }
    for (const ParsedHistoryFile& f : {read(c.name), parseHistoryFile(c.bytes, c.name, kLatest)}) {
      EXPECT_EQ(f.records.size(), c.records) << c.name << ": " << f.detail;
      EXPECT_EQ(f.failure, c.records ? HistoryFileFailure::None : HistoryFileFailure::Damaged) << c.name;
      EXPECT_EQ(f.detail, c.detail) << c.name;
    }
    HistoryFileReport r;
    r.file = file(c.name);
    const ParsedHistoryFile f = read(c.name);
    if (f.done()) continue;
    r.fail(f.failure, f.detail);
    o.notes.push_back(r);
  }
  const std::vector<std::string> notes = cli::historyNoteLines(o);
  ASSERT_EQ(notes.size(), 3u);
  EXPECT_EQ(notes[0], toUtf8(file("longer.csv")) + ": damaged, skipped (line 3 is longer than 1 MB)");

  // A binary file without line feeds is of another kind, as it was, whether
  // read to its end or not.
  std::string binary = "PK\x03\x04";
  binary += std::string(3u << 20, '\0');
  {
    std::ofstream out(file("long.xlsx"), std::ios::binary);
    out << binary;
  }
  EXPECT_EQ(read("long.xlsx").failure, HistoryFileFailure::OtherKind) << read("long.xlsx").detail;
  EXPECT_EQ(parseHistoryFile(binary, "long.xlsx", kLatest).failure, HistoryFileFailure::OtherKind);
}

}  // namespace
}  // namespace tavrin
