// Prices from today's files: .xlsx and .ods from their real writers, CSV in
// the layouts and encodings data services use, the run's report, and dates
// that must be calendar dates.
#include <gtest/gtest.h>
#include <random>

#include "base/encoding.h"
#include "base/log.h"
#include "data/price_text.h"
#include "history/price_history.h"
#include "registration/period_file.h"
#include "registration/price_import.h"
#include "registration_support.h"

using namespace tavrin;
using namespace tavrin::test;

namespace {

Value I(std::int64_t v) { return Value(v); }

class PriceFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setLogQuiet(true);
    makePriceDb(db(), "day",
                {{"A", I(7203), {I(1), I(1)}},
                 {"B", I(9984), {I(2), I(2)}},
                 {"C", Value("130A"), {I(3), I(3)}},
                 {"D", I(6758), {I(4), I(4)}},
                 {"Index", I(1000), {I(9), I(9)}}});
  }
  void TearDown() override { setLogQuiet(false); }
  std::filesystem::path db() const { return dir / "kabuka.mdb"; }
  void writeText(const std::string& name, const std::string& utf8, bool cp932 = false) {
    std::ofstream out(dir / name, std::ios::binary);
    out << (cp932 ? *utf8ToCp932(utf8) : utf8);
  }
  ImportOutcome latest(const std::string& date, const std::string& name) {
    Database d(db());
    return importLatest(d, paths, periodFromParts(date.substr(0, 2), date.substr(3, 2), date.substr(6, 2), name),
                        "day");
  }
  // The same latest import through the command line: what it prints.
  CommandResult latestByCli(const std::string& date, const std::string& name) {
    return runCommand(cliPath() + " --root '" + toUtf8(dir.path()) + "' latest --db '" + toUtf8(db()) + "' '" + date +
                      ":" + name + "' 2>&1");
  }
  std::vector<Value> latestPrices() {
    Database d(db());
    return {pricesOf(d, I(7203))[0], pricesOf(d, I(9984))[0], pricesOf(d, Value("130A"))[0], pricesOf(d, I(6758))[0]};
  }
  TempDir dir;
  Paths paths{dir.path()};
};

const std::vector<Value> kNoneRead{Value(), Value(), Value(), Value()};

}  // namespace

TEST(PriceText, CodesAndPricesInTheFormsServicesWriteThem) {
  for (const char* text : {"7203", " 7203 ", "7203.T", "7203.JP", "7203.jp", "72030", "７２０３", "7203.0"})
    EXPECT_EQ(stockCodeOf(Value(text)), "7203") << text;
  EXPECT_EQ(stockCodeOf(Value(std::int64_t(72030))), "7203");
  EXPECT_EQ(stockCodeOf(Value(7203.0)), "7203");
  EXPECT_EQ(stockCodeOf(Value("130A")), "130A");
  EXPECT_EQ(stockCodeOf(Value("130a.jp")), "130A");
  EXPECT_EQ(stockCodeOf(Value("72035")), "72035");  // no check digit: a five-character code
  for (const char* bad : {"", "  ", "7203.5x", "72 03", "トヨタ"})
    EXPECT_EQ(stockCodeOf(Value(bad)), std::nullopt) << bad;
  EXPECT_EQ(stockCodeOf(Value(7203.5)), std::nullopt);

  std::int32_t p = 0;
  auto price = [&p](const Value& v) {
    return priceOf(v, p) == PriceCell::Price ? std::optional<int>(p) : std::nullopt;
  };
  EXPECT_EQ(price(Value("1,234")), 1234);
  EXPECT_EQ(price(Value("１２３４")), 1234);
  EXPECT_EQ(price(Value("１，２３４．５")), 1234);  // halves to even
  EXPECT_EQ(price(Value("1235.5")), 1236);
  EXPECT_EQ(price(Value(2500.5)), 2500);
  for (const char* none : {"", "-", "－", "--", " - "}) EXPECT_EQ(priceOf(Value(none), p), PriceCell::NoPrice) << none;
  EXPECT_EQ(priceOf(Value(), p), PriceCell::NoPrice);
  for (const char* bad : {"abc", "12円", "3e12"}) EXPECT_EQ(priceOf(Value(bad), p), PriceCell::NotNumber) << bad;

  EXPECT_EQ(dayOfCell(Value("2026/12/9")), dayFromCivil(2026, 12, 9));
  EXPECT_EQ(dayOfCell(Value("2026-12-09")), dayFromCivil(2026, 12, 9));
  EXPECT_EQ(dayOfCell(Value(std::int64_t(20261209))), dayFromCivil(2026, 12, 9));
  EXPECT_EQ(dayOfCell(Value(46365.0)), dayFromCivil(2026, 12, 9));  // a spreadsheet date serial
  EXPECT_EQ(dayOfCell(Value("2026/13/09")), std::nullopt);
}

TEST_F(PriceFilesTest, WhichFileANameMeans) {
  EXPECT_EQ(resolvePriceFile(paths, "k"), dir / "k.xls");  // none exists: the workbook as always
  writeText("k.csv", "x");
  EXPECT_EQ(resolvePriceFile(paths, "k"), dir / "k.csv");
  writeText("k.ods", "x");
  EXPECT_EQ(resolvePriceFile(paths, "k"), dir / "k.ods");
  writeText("k.xlsx", "x");
  EXPECT_EQ(resolvePriceFile(paths, "k"), dir / "k.xlsx");
  writeText("k.xls", "x");
  EXPECT_EQ(resolvePriceFile(paths, "k"), dir / "k.xls");
  EXPECT_EQ(resolvePriceFile(paths, "k.CSV"), dir / "k.CSV");
  EXPECT_EQ(resolvePriceFile(paths, "sub/p.txt"), dir / "sub/p.txt");
  EXPECT_EQ(resolvePriceFile(paths, "/elsewhere/p.csv"), std::filesystem::path("/elsewhere/p.csv"));
}

TEST_F(PriceFilesTest, WorkbooksOfEveryWriterImportWithFormulaValuesAndNumbersStoredAsText) {
  // Ten periods in one workbook; the latest sheet has a formula, a text
  // number, a code with a check digit and a stock without a price.
  std::array<PeriodSource, 10> periods;
  std::vector<SheetSpec> sheets;
  for (int k = 0; k < 10; ++k) {
    char dd[3];
    std::snprintf(dd, sizeof dd, "%02d", 20 - k);
    periods[static_cast<size_t>(k)] = periodFromParts("26", "11", dd, "");
    SheetRows rows = {{"コード", "銘柄", "終値"}, {7203, "トヨタ", 2500.5 + k}, {"130A", "新規", "1,234"}};
    if (k == 0) {
      rows.push_back({99840, "x", Formula{"=C2*2", 5001}});
      rows.push_back({6758, "y", "-"});
    }
    sheets.push_back({periods[static_cast<size_t>(k)].sheet, rows});
  }
  for (const std::string writer :
       {"xlsxwriter", "xlsxwriter-inline", "openpyxl", "odfpy", "ssconvert-xlsx", "ssconvert-ods"}) {
    SCOPED_TRACE(writer);
    std::filesystem::remove(db());
    makePriceDb(db(), "day",
                {{"A", I(7203), {}}, {"B", I(9984), {I(2)}}, {"C", Value("130A"), {}}, {"D", I(6758), {I(4)}}});
    const std::string name =
        "book-" + writer + (writer.find("ods") != std::string::npos || writer == "odfpy" ? ".ods" : ".xlsx");
    ASSERT_TRUE(writeWorkbook(dir / name, sheets, writer));
    for (PeriodSource& p : periods) p.baseName = name;
    Database d(db());
    ImportOutcome o = importTenPeriods(d, paths, periods, "");
    ASSERT_TRUE(o.done()) << describeFailure(o);
    EXPECT_EQ(pricesOf(d, I(7203))[0], I(2500));
    EXPECT_EQ(pricesOf(d, I(7203))[1], I(2502));  // 2501.5, halves to even
    EXPECT_EQ(pricesOf(d, Value("130A"))[9], I(1234));
    EXPECT_EQ(pricesOf(d, I(6758))[0], I(4));  // no price: the stored one stays
    ASSERT_EQ(o.periods.size(), 10u);
    const PeriodReport& first = o.periods[0];
    EXPECT_EQ(first.sheet, "s261120");
    if (writer == "openpyxl") {
      // openpyxl stores a formula without its value: counted, never taken as a price.
      EXPECT_EQ(pricesOf(d, I(9984))[0], I(2));
      EXPECT_EQ(first.formulasWithoutValue, 1u);
      EXPECT_EQ(first.pricesRead, 2u);
    } else {
      EXPECT_EQ(pricesOf(d, I(9984))[0], I(5001));
      EXPECT_EQ(first.formulasWithoutValue, 0u);
      EXPECT_EQ(first.pricesRead, 3u);
    }
    EXPECT_EQ(o.periods[1].listWithoutPrice, 2u);  // 9984 and 6758 are not on the older sheets
  }
}

TEST_F(PriceFilesTest, CsvFilesOfEveryHeaderFamilyAndEncoding) {
  struct Case {
    const char* name;
    std::string text;
    bool cp932;
  };
  const std::vector<Case> cases = {
      {"service.csv",
       "\"SC\",\"名称\",\"市場\",\"業種\",\"日付\",\"株価\",\"前日比\"\r\n"
       "\"7203\",\"トヨタ自動車\",\"東証プライム\",\"輸送用機器\",\"2026/12/09\",\"2,501\",\"+1\"\r\n"
       "\"9984\",\"ソフトバンクＧ\",\"東証プライム\",\"情報・通信業\",\"2026/12/09\",\"-\",\"-\"\r\n"
       "\"130A\",\"新規\",\"東証グロース\",\"サービス業\",\"2026/12/09\",\"１２３４\",\"0\"\r\n"
       "\"6758\",\"ソニーＧ\",\"東証プライム\",\"電気機器\",\"2026/12/09\",\"3000.5\",\"0\"\r\n",
       true},
      {"utf8bom.csv",
       "\xEF\xBB\xBF銘柄コード,銘柄名,終値\n7203,トヨタ,2501\n9984,SBG,\n130A,新規,1234\n6758,ソニー,3000\n", false},
      {"english.csv",
       "Date,Code,Open,High,Low,Close,Volume\n2026-12-09,7203.T,1,1,1,2501,10\n"
       "2026-12-09,130A.T,1,1,1,1234,10\n2026-12-09,6758.T,1,1,1,3000,10\n",
       false},
      {"bulk.txt",
       "<TICKER>,<PER>,<DATE>,<TIME>,<OPEN>,<HIGH>,<LOW>,<CLOSE>,<VOL>,<OPENINT>\n"
       "7203.JP,D,20261209,000000,1,1,1,2501,1,0\n130A.JP,D,20261209,000000,1,1,1,1234,1,0\n"
       "6758.JP,D,20261209,000000,1,1,1,3000,1,0\n",
       false},
      {"tabs.txt", "コード\t銘柄\t現在値\n72030\tトヨタ\t2501\n130A\t新規\t1234\n6758\tソニー\t3000\n", true},
      {"semicolon.csv", "Symbol;Name;Close\n7203;Toyota;2501\n130A;X;1234\n6758;Sony;3000\n", false},
      // No header that names its columns: column 1 the code, column 3 the close.
      {"plain.csv", "7203,トヨタ,2501\n130A,新規,1234\n6758,ソニー,3000\n", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeText(c.name, c.text, c.cp932);
    ImportOutcome o = latest("26/12/09", c.name);
    ASSERT_TRUE(o.done()) << describeFailure(o);
    EXPECT_EQ(latestPrices(), (std::vector<Value>{I(2501), Value(), I(1234), I(3000)}));
    ASSERT_EQ(o.periods.size(), 1u);
    EXPECT_EQ(o.periods[0].kind, "csv");
    EXPECT_EQ(o.periods[0].sheet, "");
    EXPECT_EQ(o.periods[0].pricesRead, 3u);
    EXPECT_EQ(o.periods[0].listWithoutPrice, 1u);
  }
  // The latest import's record names the file as given.
  Database d(db());
  EXPECT_EQ(readDateRecord(d)->sourceNames[0], "plain.csv");
}

TEST_F(PriceFilesTest, TheReportCountsWhatTheFileHeldAndTheListLacks) {
  std::string text = "コード,銘柄,終値\n7203,A,100\n9984,B,abc\n130A,C,\n";
  for (int code = 2001; code <= 2012; ++code) text += std::to_string(code) + ",new,50\n";
  writeText("r.csv", text, true);
  ImportOutcome o = latest("26/12/09", "r.csv");
  ASSERT_TRUE(o.done());
  const PeriodReport& r = o.periods[0];
  EXPECT_EQ(r.pricesRead, 13u);
  EXPECT_EQ(r.notNumbers, 1u);
  EXPECT_EQ(r.listWithoutPrice, 3u);  // 9984, 130A, 6758; the index row does not count
  EXPECT_EQ(r.unknownCodes, 12u);
  EXPECT_EQ(r.unknownSample,
            (std::vector<std::string>{"2001", "2002", "2003", "2004", "2005", "2006", "2007", "2008", "2009", "2010"}));
  // The command line's report of the same import.
  const CommandResult cli = latestByCli("26/12/09", "r.csv");
  EXPECT_EQ(cli.status, 0) << cli.out;
  const std::string& all = cli.out;
  EXPECT_NE(all.find("codes not in the list: 12 (2001, 2002, 2003, 2004, 2005, 2006, 2007, 2008, 2009, 2010, ...)"),
            std::string::npos)
      << all;
  EXPECT_NE(all.find("price cells that are no numbers: 1"), std::string::npos) << all;
}

TEST_F(PriceFilesTest, FailuresExplainThemselvesAndLeaveTheDatabaseByteIdentical) {
  const std::string bytes = readBytes(db());
  // A CSV of another day, a file without one price, formulas without values only.
  writeText("other.csv", "SC,日付,株価\n7203,2026/12/08,2501\n", false);
  writeText("words.csv", "コード,銘柄,終値\n7203,A,高い\n9984,B,-\n", false);
  ASSERT_TRUE(writeWorkbook(dir / "formulas.xlsx",
                            {{"s261209", {{"コード", "銘柄", "終値"}, {7203, "A", Formula{"=1+1", 2}}}}}, "openpyxl"));
  // Damaged containers: a cut .xlsx, an .ods with a damaged member, random bytes after a zip signature.
  ASSERT_TRUE(writeWorkbook(dir / "good.xlsx", {{"s261209", priceRows({{7203, 500}})}}, "xlsxwriter"));
  ASSERT_TRUE(writeWorkbook(dir / "good.ods", {{"s261209", priceRows({{7203, 500}})}}, "odfpy"));
  const std::string xlsx = readBytes(dir / "good.xlsx"), ods = readBytes(dir / "good.ods");
  writeText("cut.xlsx", xlsx.substr(0, xlsx.size() / 2));
  std::string flipped = ods;
  for (std::size_t i = ods.size() / 3; i < ods.size() / 3 + 64; ++i) flipped[i] = static_cast<char>(flipped[i] ^ 0x5A);
  writeText("flipped.ods", flipped);
  std::mt19937 rng(7);
  std::string noise = "PK\x03\x04";
  for (int i = 0; i < 5000; ++i) noise += static_cast<char>(rng());
  writeText("noise.xlsx", noise);

  struct Expect {
    const char* name;
    ImportOutcome::Failure failure;
  };
  for (const Expect& e :
       {Expect{"other.csv", ImportOutcome::Failure::OtherDay}, Expect{"words.csv", ImportOutcome::Failure::NoPrices},
        Expect{"formulas.xlsx", ImportOutcome::Failure::NoPrices}, Expect{"cut.xlsx", ImportOutcome::Failure::Damaged},
        Expect{"flipped.ods", ImportOutcome::Failure::Damaged}, Expect{"noise.xlsx", ImportOutcome::Failure::Damaged},
        Expect{"missing.csv", ImportOutcome::Failure::Workbook}}) {
    ImportOutcome o = latest("26/12/09", e.name);
    EXPECT_EQ(o.failure, e.failure) << e.name << ": " << describeFailure(o);
    EXPECT_EQ(o.failedWorkbook, e.name);
  }
  ImportOutcome o = latest("26/12/09", "other.csv");
  EXPECT_EQ(describeFailure(o),
            "position 1: other.csv holds the prices of 2026-12-08, not of 26/12/09; nothing was changed");
  o = latest("26/12/09", "formulas.xlsx");
  EXPECT_NE(describeFailure(o).find("1 formula cells without a stored value"), std::string::npos);
  // A sheet that is missing from an .xlsx.
  o = latest("26/12/10", "good.xlsx");
  EXPECT_EQ(o.failure, ImportOutcome::Failure::Sheet);
  // One bad period of ten: nothing of the run is written.
  std::array<PeriodSource, 10> periods;
  for (int k = 0; k < 10; ++k) periods[static_cast<size_t>(k)] = periodFromParts("26", "12", "09", "good.xlsx");
  for (int k = 1; k < 10; ++k) periods[static_cast<size_t>(k)].date = "26/11/" + std::to_string(10 + k);
  periods[3].baseName = "words.csv";
  {
    Database d(db());
    o = importTenPeriods(d, paths, periods, "");
  }
  EXPECT_EQ(o.failure, ImportOutcome::Failure::NoPrices);
  EXPECT_EQ(o.failedPeriod, 4);
  EXPECT_EQ(readBytes(db()), bytes);
}

TEST_F(PriceFilesTest, EveryReaderTellsAMissingFileFromADamagedOne) {
  auto kindOf = [](const auto& open) -> std::optional<FormatError::Kind> {
    try {
      open();
    } catch (const FormatError& e) {
      return e.kind();
    }
    return std::nullopt;
  };
  using K = FormatError::Kind;
  for (const char* name : {"none.csv", "none.xlsx", "none.xls"})
    EXPECT_EQ(kindOf([&] { openPriceFile(dir / name); }), K::Unavailable) << name;
  EXPECT_EQ(kindOf([&] { openXlsFile(dir / "none.xls"); }), K::Unavailable);
  EXPECT_EQ(kindOf([] { openPriceFileBytes(std::string("PK\x03\x04garbage", 11), PriceFileKind::Xlsx); }), K::Damaged);
  EXPECT_EQ(kindOf([] { openPriceFileBytes("PK\x03\x04", PriceFileKind::Ods); }), K::Damaged);
  EXPECT_EQ(kindOf([] { openCsvBytes("a,\"b\n"); }), K::Damaged);

  // An .xls workbook: a sheet it lacks is unavailable, a cut file damaged.
  ASSERT_TRUE(writeWorkbook(dir / "book.xls", {{"s261209", priceRows({{7203, 500}})}}));
  EXPECT_EQ(kindOf([&] { openPriceFile(dir / "book.xls")->readSheet("s261210"); }), K::Unavailable);
  EXPECT_EQ(kindOf([&] { openPriceFile(dir / "book.xls")->readSheet("s261209"); }), std::nullopt);
  const std::string xls = readBytes(dir / "book.xls");
  writeText("cut.xls", xls.substr(0, xls.size() / 2));
  EXPECT_EQ(kindOf([&] { openPriceFile(dir / "cut.xls")->readSheet("s261209"); }), K::Damaged);
}

TEST_F(PriceFilesTest, XlsFormulaCellsAreCountedNeverSilentlyEmpty) {
  // xlwt writes formulas without a value, as FreeXL reads them: counted and reported.
  ASSERT_TRUE(
      writeWorkbook(dir / "f.xls",
                    {{"s261209", {{"コード", "銘柄", "終値"}, {7203, "A", 100}, {9984, "B", Formula{"=C2*2", 200}}}}}));
  ImportOutcome o = latest("26/12/09", "f");
  ASSERT_TRUE(o.done()) << describeFailure(o);
  EXPECT_EQ(o.periods[0].formulasWithoutValue, 1u);
  EXPECT_EQ(o.periods[0].pricesRead, 1u);
  const CommandResult cli = latestByCli("26/12/09", "f");
  EXPECT_EQ(cli.status, 0) << cli.out;
  EXPECT_NE(cli.out.find("formula cells without a stored value: 1"), std::string::npos) << cli.out;
  // Prices that are all formulas: nothing is written.
  const std::string bytes = readBytes(db());
  ASSERT_TRUE(
      writeWorkbook(dir / "g.xls", {{"s261209", {{"コード", "銘柄", "終値"}, {7203, "A", Formula{"=1+1", 2}}}}}));
  o = latest("26/12/09", "g");
  EXPECT_EQ(o.failure, ImportOutcome::Failure::NoPrices);
  EXPECT_EQ(readBytes(db()), bytes);
}

TEST_F(PriceFilesTest, AnXlsxRenamedXlsImportsAndHugeFilesAreRefusedWhole) {
  ASSERT_TRUE(writeWorkbook(dir / "renamed.xls", {{"s261209", priceRows({{7203, 777}})}}, "openpyxl"));
  ImportOutcome o = latest("26/12/09", "renamed");
  ASSERT_TRUE(o.done()) << describeFailure(o);
  EXPECT_EQ(o.periods[0].kind, "xlsx");
  EXPECT_EQ(latestPrices()[0], I(777));

  const std::string bytes = readBytes(db());
  // More lines than any sheet holds.
  {
    std::ofstream out(dir / "huge.csv", std::ios::binary);
    out << "コード,銘柄,終値\n";
    for (int i = 0; i < 1'100'000; ++i) out << "7203,A,1\n";
  }
  o = latest("26/12/09", "huge.csv");
  EXPECT_EQ(o.failure, ImportOutcome::Failure::Damaged) << describeFailure(o);
  EXPECT_EQ(readBytes(db()), bytes);
}

TEST_F(PriceFilesTest, ALineLongerThanAMegabyteRefusesTheCsvFile) {
  // The second line holds a name that makes it exactly 1 MB (1,048,576
  // bytes, its CR LF not counted), or one byte more.
  auto csv = [](std::size_t lineBytes) {
    const std::string start = "7203,", end = ",2501";
    return "コード,銘柄,終値\r\n" + start + std::string(lineBytes - start.size() - end.size(), 'A') + end +
           "\r\n9984,B,3000\r\n";
  };
  writeText("exact.csv", csv(1'048'576));
  writeText("longer.csv", csv(1'048'577));
  const std::string bytes = readBytes(db());
  ImportOutcome o = latest("26/12/09", "longer.csv");
  EXPECT_EQ(o.failure, ImportOutcome::Failure::Damaged);
  EXPECT_EQ(o.detail, "line 2 is longer than 1 MB");
  EXPECT_EQ(describeFailure(o),
            "position 1: workbook longer.csv could not be read, it may be damaged (line 2 is longer than 1 MB); "
            "nothing was changed");
  EXPECT_EQ(readBytes(db()), bytes);
  // The same bytes from memory, and a file of one long line without a line end.
  try {
    openCsvBytes(csv(1'048'577));
    ADD_FAILURE() << "a long line was read";
  } catch (const FormatError& e) {
    EXPECT_TRUE(e.isDamaged());
    EXPECT_STREQ(e.what(), "line 2 is longer than 1 MB");
  }
  writeText("one-line.csv", std::string(3u << 20, '7'));
  o = latest("26/12/09", "one-line.csv");
  EXPECT_EQ(o.detail, "line 1 is longer than 1 MB");
  // A binary file without line feeds is no text, as it was.
  writeText("binary.csv", std::string("\x01\x02\0", 3) + std::string(2u << 20, '\0'));
  o = latest("26/12/09", "binary.csv");
  EXPECT_EQ(o.detail, "not a text file in UTF-8 or code page 932");

  o = latest("26/12/09", "exact.csv");
  ASSERT_TRUE(o.done()) << describeFailure(o);
  EXPECT_EQ(o.periods[0].pricesRead, 2u);
  EXPECT_EQ(latestPrices()[0], I(2501));
  const CommandResult cli = latestByCli("26/12/09", "longer.csv");
  EXPECT_NE(cli.status, 0);
  EXPECT_NE(cli.out.find("(line 2 is longer than 1 MB)"), std::string::npos) << cli.out;
}

TEST_F(PriceFilesTest, DatesMustBeCalendarDatesAndDifferent) {
  std::array<PeriodSource, 10> periods;
  for (int k = 0; k < 10; ++k) {
    char dd[3];
    std::snprintf(dd, sizeof dd, "%02d", 20 - k);
    periods[static_cast<size_t>(k)] = periodFromParts("26", "11", dd, "any");
  }
  EXPECT_EQ(checkPeriodDates(periods.data(), 10), std::nullopt);
  periods[2] = periodFromParts("26", "13", "40", "any");
  std::optional<DateProblem> p = checkPeriodDates(periods.data(), 10);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->position, 3);
  EXPECT_EQ(describeDateProblem(*p), "position 3: 26/13/40 is not a calendar date");
  periods[2] = periodFromParts("26", "02", "30", "any");
  EXPECT_EQ(checkPeriodDates(periods.data(), 10)->position, 3);
  periods[2] = periodFromParts("26", "02", "28", "any");
  periods[7] = periodFromParts("26", "11", "20", "any");
  p = checkPeriodDates(periods.data(), 10);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->position, 8);
  EXPECT_EQ(p->samePosition, 1);
  // The import itself refuses before it opens a file.
  const std::string bytes = readBytes(db());
  ImportOutcome o = latest("26/02/29", "nosuch");
  EXPECT_EQ(o.failure, ImportOutcome::Failure::BadDate);
  EXPECT_EQ(readBytes(db()), bytes);
}

TEST_F(PriceFilesTest, CommandLineImportsCsvAndRefusesBadDatesWithUsageExit) {
  writeText("day.csv", "SC,日付,株価\n7203,20261209,2501\n6758,20261209,3000\n", true);
  const std::string cli = cliPath() + " --root '" + dir.path().string() + "' ";
  CommandResult r = runCommand(cli + "latest 26/12/09:day.csv 2>&1");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("position 1: 26/12/09 from day.csv (csv)\n  prices read: 2\n"
                       "  stocks of the list without a price: 2\n  codes not in the list: 0\n"),
            std::string::npos)
      << r.out;
  r = runCommand(cli + "latest 26/12/10:day.csv 2>/dev/null");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("prices read: 2"), std::string::npos);  // the report is printed all the same
  r = runCommand(cli + "latest 26/12/10:day.csv 2>&1 >/dev/null");
  EXPECT_EQ(r.out,
            "tavrin-cli: latest: position 1: day.csv holds the prices of 2026-12-09, not of 26/12/10; nothing was "
            "changed\n");
  r = runCommand(cli + "latest 26/02/30:day.csv 2>&1");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("latest: position 1: 26/02/30 is not a calendar date"), std::string::npos) << r.out;
  std::string args;
  for (int k = 1; k <= 10; ++k)
    args += " " + std::to_string(k) + ":26/11/" + std::to_string(10 + (k == 5 ? 1 : k)) + ":day.csv";
  r = runCommand(cli + "import" + args + " 2>&1");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("import: position 5: the date 26/11/11 is also the date of position 1"), std::string::npos)
      << r.out;
}
