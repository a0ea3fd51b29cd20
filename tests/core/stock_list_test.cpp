// The stock list kept from the exchange's list of listed issues: reading the
// workbook (xlwt, the exchange's header), choosing the rows, and the update of
// list and hojyo in the three price databases.
#include <unistd.h>

#include <fstream>

#include <gtest/gtest.h>

#include "app/setup.h"
#include "base/calendar.h"
#include "base/log.h"
#include "registration_support.h"
#include "stocklist/listed_issues.h"
#include "stocklist/stock_list_update.h"

namespace tavrin {
namespace {

using test::Cell;
using test::SheetRows;

const std::vector<Cell> kHeader = {"日付",       "コード",       "銘柄名",     "市場・商品区分", "33業種コード",
                                   "33業種区分", "17業種コード", "17業種区分", "規模コード",     "規模区分"};

std::vector<Cell> issueRow(Cell code, const std::string& name, const std::string& section) {
  return {20261130.0, code, name, section, "3700", "輸送用機器", "6", "自動車・輸送機", "1", "TOPIX Core30"};
}

// The first list: stocks of every segment, funds, a foreign stock, PRO Market.
SheetRows firstList() {
  return {kHeader,
          issueRow(7203, "トヨタ自動車", "プライム（内国株式）"),
          issueRow("130A", "Ｖｅｒｉｔａｓ　Ｉｎ　Ｓｉｌｉｃｏ", "グロース（内国株式）"),
          issueRow(1301, "極洋", "プライム（内国株式）"),
          issueRow(1305, "ｉＦｒｅｅＥＴＦ　ＴＯＰＩＸ（年１回決算型）", "ETF・ETN"),
          issueRow(8951, "日本ビルファンド投資法人", "REIT・ベンチャーファンド・カントリーファンド・インフラファンド"),
          issueRow(8421, "信金中央金庫", "出資証券"),
          issueRow(9399, "ビート・ホールディングス・リミテッド", "グロース（外国株式）"),
          issueRow(1400, "ルーデン・ホールディングス", "スタンダード（内国株式）"),
          issueRow(2999, "プロ銘柄", "PRO Market")};
}

ListedIssues readRows(const test::TempDir& dir, const SheetRows& rows, bool includeFunds = false) {
  const auto file = dir / "data_j.xls";
  EXPECT_TRUE(test::writeWorkbook(file, {{"Sheet1", rows}}));
  ListedIssuesOptions o;
  o.includeFunds = includeFunds;
  return readListedIssues(file, o);
}

struct StockRow {
  Value code;
  std::string name, market, section;
  Value unit;
  std::vector<Value> prices;
};

std::vector<StockRow> stocksOf(const std::filesystem::path& db, const char* table = "list") {
  Database d(db, Database::Mode::ReadOnly);
  std::vector<StockRow> out;
  QueryResult r =
      d.query(std::string("select [コード], [銘柄], [市場], [市場区分], [単位], kabuka1, kabuka2, kabuka10 from [") +
              table + "] order by rowid");
  for (const Row& row : r.rows)
    out.push_back({row[0], row[1].display(), row[2].display(), row[3].display(), row[4], {row[5], row[6], row[7]}});
  return out;
}

const StockRow* find(const std::vector<StockRow>& rows, const Value& code) {
  for (const StockRow& r : rows)
    if (r.code == code) return &r;
  return nullptr;
}

TEST(ListedIssuesTest, ReadsTheExchangeListAndChoosesTheStocks) {
  test::TempDir dir;
  ListedIssues l = readRows(dir, firstList());
  ASSERT_TRUE(l.hasMarketColumn);
  EXPECT_EQ(l.rows, 9u);
  std::vector<std::string> codes;
  for (const ListedIssue& i : l.issues) codes.push_back(i.code);
  EXPECT_EQ(codes, (std::vector<std::string>{"7203", "130A", "1301", "9399", "1400", "2999"}));
  EXPECT_EQ(l.issues[0].market, "東証プライム");
  EXPECT_EQ(l.issues[0].section, "プライム（内国株式）");
  EXPECT_EQ(l.issues[1].name, "Ｖｅｒｉｔａｓ　Ｉｎ　Ｓｉｌｉｃｏ");  // full-width kept as given
  EXPECT_EQ(l.issues[1].market, "東証グロース");
  EXPECT_EQ(l.issues[3].market, "東証グロース");  // a foreign stock is a stock
  EXPECT_EQ(l.issues[3].section, "グロース（外国株式）");
  EXPECT_EQ(l.issues[4].market, "東証スタンダード");
  EXPECT_EQ(l.issues[5].market, "東証PRO");
  ASSERT_EQ(l.skipped.size(), 3u);
  EXPECT_EQ(l.skipped[0].reason, SkippedRows::Reason::Section);
  EXPECT_EQ(l.skipped[0].section, "ETF・ETN");
  EXPECT_EQ(l.skipped[0].count, 1u);
  EXPECT_EQ(l.skipped[2].reason, SkippedRows::Reason::Section);
  EXPECT_EQ(l.skipped[2].section, "出資証券");
  EXPECT_EQ(l.skipped[2].count, 1u);
  // The command line's summary names the kinds (a dry run over a root
  // without databases changes nothing).
  const test::CommandResult cli = test::runCommand(test::cliPath() + " --root '" + toUtf8(dir.path()) +
                                                   "' stocks update --dry-run '" + toUtf8(dir / "data_j.xls") + "'");
  EXPECT_EQ(cli.status, 0) << cli.out;
  EXPECT_NE(cli.out.find("ETF・ETN 1"), std::string::npos) << cli.out;

  ListedIssues withFunds = readRows(dir, firstList(), true);
  EXPECT_EQ(withFunds.issues.size(), 9u);
  EXPECT_TRUE(withFunds.skipped.empty());
}

// Rows whose code cell holds no code of a listed issue (words, short numbers,
// letters where digits belong, five characters that are not five digits) are
// skipped as NoCode; the five-digit form with its check digit is the code.
TEST(ListedIssuesTest, CodesThatNoIssueHasAreSkipped) {
  test::TempDir dir;
  const char* prime = "プライム（内国株式）";
  SheetRows rows = {kHeader,
                    issueRow("NULL", "空", prime),
                    issueRow("ABCD", "英字", prime),
                    issueRow(0, "零", prime),
                    issueRow(7, "一桁", prime),
                    issueRow("B9B23", "五文字", prime),
                    issueRow("13O0", "英字オー", prime),
                    issueRow(123, "三桁", prime),
                    issueRow("A130", "先頭が英字", prime),
                    issueRow(123456, "六桁", prime),
                    issueRow(7203, "トヨタ自動車", prime),
                    issueRow("130a", "小文字", prime),
                    issueRow(67580, "検査数字つき", prime),
                    issueRow("99830", "検査数字つきの文字", prime),
                    issueRow(25935, "優先株", prime),
                    issueRow("２８５Ａ", "全角", prime)};
  const ListedIssues l = readRows(dir, rows);
  ASSERT_TRUE(l.done()) << l.detail;
  std::vector<std::string> codes;
  for (const ListedIssue& i : l.issues) codes.push_back(i.code);
  EXPECT_EQ(codes, (std::vector<std::string>{"7203", "130A", "6758", "9983", "25935", "285A"}));
  ASSERT_EQ(l.skipped.size(), 1u);
  EXPECT_EQ(l.skipped[0].reason, SkippedRows::Reason::NoCode);
  EXPECT_EQ(l.skipped[0].count, 9u);

  // The command line's summary counts them; a dry run adds the good codes only.
  const auto root = dir / "root";
  const test::CommandResult cli = test::runCommand(test::cliPath() + " --root '" + toUtf8(root) +
                                                   "' stocks update --dry-run '" + toUtf8(dir / "data_j.xls") + "'");
  EXPECT_EQ(cli.status, 0) << cli.out;
  EXPECT_NE(cli.out.find("銘柄 6、読み飛ばした行 9（コードが読めない行 9）"), std::string::npos) << cli.out;
  for (const char* bad : {"NULL", "ABCD", "B9B23", "13O0", "A130"})
    EXPECT_EQ(cli.out.find(std::string("\t") + bad + "\t"), std::string::npos) << bad;
  EXPECT_EQ(cli.out.find("\t0\t"), std::string::npos);
  EXPECT_EQ(cli.out.find("\t7\t"), std::string::npos);
}

TEST(ListedIssuesTest, ColumnsAreFoundByNameAndOddRowsAreSkipped) {
  test::TempDir dir;
  // Another order, a title row above the header, no market column; codes as
  // text with blanks, full-width digits, lower case, a fraction, 1000, a repeat.
  SheetRows rows = {{"上場銘柄"},
                    {"銘柄", nullptr, "コード"},
                    {"トヨタ", nullptr, " 7203 "},
                    {"全角", nullptr, "６７５８"},
                    {"小文字", nullptr, "285a"},
                    {"端数", nullptr, 7203.5},
                    {"指数", nullptr, 1000},
                    {"重複", nullptr, 7203},
                    {nullptr, nullptr, 9984}};
  ListedIssues l = readRows(dir, rows);
  EXPECT_FALSE(l.hasMarketColumn);
  ASSERT_EQ(l.issues.size(), 3u);
  EXPECT_EQ(l.issues[0].code, "7203");
  EXPECT_EQ(l.issues[0].market, "");
  EXPECT_EQ(l.issues[1].code, "6758");
  EXPECT_EQ(l.issues[2].code, "285A");
  EXPECT_EQ(l.skippedRows(), 4u);
  // Each kind of row once, in the order first seen.
  std::vector<SkippedRows::Reason> reasons;
  for (const SkippedRows& s : l.skipped) reasons.push_back(s.reason);
  EXPECT_EQ(reasons, (std::vector<SkippedRows::Reason>{SkippedRows::Reason::NoCode, SkippedRows::Reason::IndexCode,
                                                       SkippedRows::Reason::Duplicate, SkippedRows::Reason::NoName}));

  // A CSV file with the exchange's columns.
  const auto csv = dir / "data_j.csv";
  {
    std::ofstream out(csv, std::ios::binary);
    out << "日付,コード,銘柄名,市場・商品区分\r\n20261130,7203,トヨタ自動車,プライム（内国株式）\r\n"
           "20261130,130A,ベリタス,グロース（外国株式）\r\n20261130,1305,ＥＴＦ,ETF・ETN\r\n";
  }
  ListedIssues fromCsv = readListedIssues(csv);
  ASSERT_EQ(fromCsv.issues.size(), 2u);
  EXPECT_EQ(fromCsv.issues[1].code, "130A");
  EXPECT_EQ(fromCsv.issues[1].market, "東証グロース");
  EXPECT_EQ(fromCsv.skippedRows(), 1u);

  // The header a price workbook of the importer has.
  ListedIssues prices = readRows(dir, test::priceRows({{7203, 2500}, {"130A", 800}}));
  EXPECT_EQ(prices.issues.size(), 2u);
}

TEST(ListedIssuesTest, FilesWithoutTheColumnsOrDamagedAreRefused) {
  test::TempDir dir;
  const ListedIssues noColumns = readRows(dir, {{"日付", "コード", "終値"}, {20261130.0, 7203, 2500}});
  EXPECT_EQ(noColumns.failure, ListedIssuesFailure::NoColumns);
  EXPECT_TRUE(noColumns.issues.empty());
  const auto damaged = dir / "broken.xls";
  ASSERT_TRUE(test::writeWorkbook(damaged, {{"Sheet1", firstList()}}));
  std::string bytes = test::readBytes(damaged);
  bytes.resize(bytes.size() / 3);
  {
    std::ofstream out(damaged, std::ios::binary | std::ios::trunc);
    out << bytes;
  }
  setLogQuiet(true);
  const ListedIssues l = readListedIssues(damaged);
  EXPECT_EQ(l.failure, ListedIssuesFailure::Unreadable);
  EXPECT_NE(l.detail.find("not a readable workbook: "), std::string::npos) << l.detail;
  EXPECT_TRUE(l.issues.empty());
  setLogQuiet(false);
}

TEST(ListedIssuesTest, AFolderAMissingOrEmptyFileAndFilesOfOtherKindsAreToldApart) {
  test::TempDir dir;
  std::filesystem::create_directories(dir / "data_j.xls.d");
  std::ofstream(dir / "empty.xls").close();
  std::ofstream(dir / "blank.csv") << "\n  \n\n";
  ASSERT_TRUE(test::writeWorkbook(dir / "no_cells.xlsx", {{"Sheet1", {}}}, "openpyxl"));
  // Files of other kinds, from their own writers, named as a list might be.
  std::ofstream(dir / "list.txt") << "コード,銘柄名\n7203,トヨタ自動車\n";
  ASSERT_EQ(
      test::runCommand("gzip -c '" + toUtf8(dir / "list.txt") + "' > '" + toUtf8(dir / "data_j.csv") + "'").status, 0);
  ASSERT_EQ(test::runCommand("/usr/bin/python3 -c \"import zipfile,sys; zipfile.ZipFile(sys.argv[1],'w')"
                             ".write(sys.argv[2],'list.txt')\" '" +
                             toUtf8(dir / "data_j.xlsx") + "' '" + toUtf8(dir / "list.txt") + "'")
                .status,
            0);
  const struct {
    const char* name;
    ListedIssuesFailure failure;
    const char* detail;
  } cases[] = {
      {"data_j.xls.d", ListedIssuesFailure::Folder, "a folder, not a file"},
      {"none.xls", ListedIssuesFailure::Missing, "no such file"},
      {"empty.xls", ListedIssuesFailure::Empty, "empty file"},
      {"blank.csv", ListedIssuesFailure::Empty, "empty file (no sheet holds a cell)"},
      {"no_cells.xlsx", ListedIssuesFailure::Empty, "empty file (no sheet holds a cell)"},
      {"data_j.csv", ListedIssuesFailure::OtherKind, "a file of another kind (a gzip archive)"},
      {"data_j.xlsx", ListedIssuesFailure::OtherKind, "a file of another kind (a zip archive)"},
  };
  for (const auto& c : cases) {
    const ListedIssues l = readListedIssues(dir / c.name);
    EXPECT_EQ(l.failure, c.failure) << c.name << ": " << l.detail;
    EXPECT_EQ(l.detail.rfind(c.detail, 0), 0u) << c.name << ": " << l.detail;
  }
  // The same list as plain CSV is read.
  EXPECT_TRUE(readListedIssues(dir / "list.txt").done());
}

TEST(ListedIssuesTest, TheListsDateIsTheDayMostRowsGive) {
  test::TempDir dir;
  SheetRows rows = firstList();
  EXPECT_EQ(readRows(dir, rows).listDay, dayFromCivil(2026, 11, 30));
  // A stray date in one row does not move it; text dates count as well.
  rows[1][0] = 20991231.0;
  rows[2][0] = "2026/11/30";
  EXPECT_EQ(readRows(dir, rows).listDay, dayFromCivil(2026, 11, 30));
  // No 日付 column: no date.
  EXPECT_EQ(readRows(dir, {{"コード", "銘柄名"}, {7203, "トヨタ自動車"}}).listDay, std::nullopt);
}

TEST(ListedIssuesTest, SectionWords) {
  EXPECT_EQ(classifySection("スタンダード（外国株式）").market, "東証スタンダード");
  EXPECT_EQ(classifySection("市場第一部（内国株）").market, "東証１部");
  EXPECT_EQ(classifySection("JASDAQ(スタンダード・内国株）").market, "ジャスダック");
  EXPECT_EQ(classifySection("マザーズ（内国株）").market, "マザーズ");
  EXPECT_EQ(classifySection("ETF・ETN").kind, IssueSection::Kind::Fund);
  EXPECT_EQ(classifySection("よく分からない").kind, IssueSection::Kind::Other);
  // A list that names the market by its word.
  EXPECT_EQ(classifySection("名証プレミア").market, "名証プレミア");
  EXPECT_EQ(classifySection("福証Q-Board").market, "福証Q-Board");
  EXPECT_EQ(classifySection("ヘラクレス").market, "ヘラクレス");
}

// A root after init, with the index row and one priced stock in each database.
struct Root {
  test::TempDir dir;
  Paths paths{dir.path()};
  Root() {
    initStandardFiles(paths);
    for (const auto& t : standardStockListTargets(paths)) {
      Database db(t.path);
      Transaction tx(db);
      for (const char* table : {"list", "hojyo"}) {
        db.execute(std::string("insert into [") + table +
                   "] ([銘柄],[コード],[市場],[単位],[市場区分],kabuka1,kabuka2,kabuka10) values "
                   "('日経平均',1000,'',1,'',38000,37900,37000)");
        db.execute(std::string("insert into [") + table +
                   "] ([銘柄],[コード],[市場],[単位],[市場区分],kabuka1,kabuka2,kabuka10) values "
                   "('極洋（旧）',1301,'東証１部',1000,'',4100,4000,3900)");
      }
      tx.commit();
    }
  }
};

TEST(StockListUpdateTest, FillsAllThreeDatabasesAndKeepsPricesAndTheIndex) {
  Root root;
  ListedIssues first = readRows(root.dir, firstList());
  StockListOutcome o = updateStockLists(standardStockListTargets(root.paths), first, {});
  ASSERT_TRUE(o.done()) << o.detail;
  ASSERT_EQ(o.reports.size(), 3u);
  for (const auto& t : standardStockListTargets(root.paths)) {
    for (const char* table : {"list", "hojyo"}) {
      std::vector<StockRow> rows = stocksOf(t.path, table);
      ASSERT_EQ(rows.size(), 7u) << table;
      // The index row as it was.
      EXPECT_EQ(rows[0].name, "日経平均");
      EXPECT_EQ(rows[0].prices, (std::vector<Value>{38000, 37900, 37000}));
      // The existing stock: new name and market, its unit and prices kept.
      EXPECT_EQ(rows[1].name, "極洋");
      EXPECT_EQ(rows[1].market, "東証プライム");
      EXPECT_EQ(rows[1].section, "プライム（内国株式）");
      EXPECT_EQ(rows[1].unit, Value(1000));
      EXPECT_EQ(rows[1].prices, (std::vector<Value>{4100, 4000, 3900}));
      // New ones: the code as the importer stores it, unit 100, no prices.
      const StockRow* toyota = find(rows, Value(7203));
      ASSERT_NE(toyota, nullptr);
      EXPECT_EQ(toyota->unit, Value(100));
      EXPECT_EQ(toyota->prices, (std::vector<Value>{Value(), Value(), Value()}));
      ASSERT_NE(find(rows, Value("130A")), nullptr);
      EXPECT_EQ(find(rows, Value(2999))->market, "東証PRO");
    }
  }
  const StockListReport& r = o.reports[0];
  EXPECT_EQ(r.added.size(), 5u);
  ASSERT_EQ(r.updated.size(), 1u);
  EXPECT_EQ(r.updated[0].code, "1301");
  EXPECT_EQ(r.updated[0].changes.size(), 3u);
  EXPECT_TRUE(r.missing.empty());

  // The universe views see the new words' stocks with their unit.
  Database db(root.paths.dailyDb(), Database::Mode::ReadOnly);
  EXPECT_EQ(db.scalar("select count(*) from [list1plus-100U]").integer(), 5);
}

TEST(StockListUpdateTest, FilesWithTheViewsOfBeforeGetTodaysSections) {
  Root root;
  for (const auto& t : standardStockListTargets(root.paths)) {
    Database db(t.path);
    db.exec("drop view [list1plus-1bu]");
    db.exec("create view [list1plus-1bu] as select * from [list] where [市場] in ('東証１部')");
  }
  ASSERT_TRUE(updateStockLists(standardStockListTargets(root.paths), readRows(root.dir, firstList()), {}).done());
  for (const auto& t : standardStockListTargets(root.paths)) {
    Database db(t.path, Database::Mode::ReadOnly);
    // 1301 and 7203 on 東証プライム; the view reads its own file's list.
    EXPECT_EQ(db.scalar("select count(*) from [list1plus-1bu]").integer(), 2) << toUtf8(t.path);
    EXPECT_EQ(db.scalar("select count(*) from [list1plus]").integer(), 7) << toUtf8(t.path);
  }
}

TEST(StockListUpdateTest, SecondUpdateRenamesMovesAndReportsMissingCodes) {
  Root root;
  ASSERT_TRUE(updateStockLists(standardStockListTargets(root.paths), readRows(root.dir, firstList()), {}).done());
  // Prices arrive for Toyota.
  for (const auto& t : standardStockListTargets(root.paths)) {
    Database db(t.path);
    db.execute("update [list] set kabuka1 = 2500, kabuka2 = 2450 where [コード] = 7203");
  }
  // Next month: 130A renamed, 1400 moved to グロース, 9399 delisted.
  SheetRows next = {kHeader,
                    issueRow(7203, "トヨタ自動車", "プライム（内国株式）"),
                    issueRow("130A", "ベリタス・イン・シリコ", "グロース（内国株式）"),
                    issueRow(1301, "極洋", "プライム（内国株式）"),
                    issueRow(1400, "ルーデン・ホールディングス", "グロース（内国株式）"),
                    issueRow(2999, "プロ銘柄", "PRO Market")};
  ListedIssues second = readRows(root.dir, next);

  StockListOutcome kept = updateStockLists(standardStockListTargets(root.paths), second, {});
  ASSERT_TRUE(kept.done()) << kept.detail;
  const StockListReport& r = kept.reports[1];
  EXPECT_TRUE(r.added.empty());
  ASSERT_EQ(r.updated.size(), 2u);
  EXPECT_EQ(r.updated[0].code, "130A");
  ASSERT_EQ(r.updated[0].changes.size(), 1u);
  EXPECT_EQ(r.updated[0].changes[0].from, "Ｖｅｒｉｔａｓ　Ｉｎ　Ｓｉｌｉｃｏ");
  EXPECT_EQ(r.updated[1].code, "1400");
  EXPECT_EQ(r.updated[1].changes.size(), 2u);  // market and 市場区分
  ASSERT_EQ(r.missing.size(), 1u);
  EXPECT_EQ(r.missing[0].code, "9399");
  EXPECT_FALSE(r.missingRemoved);
  EXPECT_EQ(r.unchanged, 3u);
  EXPECT_EQ(r.missing[0].name, "ビート・ホールディングス・リミテッド");
  // The command line lists the code that is kept though no longer listed.
  const test::CommandResult cli =
      test::runCommand(test::cliPath() + " --root '" + toUtf8(root.dir.path()) + "' stocks update --dry-run '" +
                       toUtf8(root.dir / "data_j.xls") + "'");
  EXPECT_EQ(cli.status, 0) << cli.out;
  EXPECT_NE(cli.out.find("\n上場なし\t9399\tビート・ホールディングス・リミテッド\n"), std::string::npos) << cli.out;

  std::vector<StockRow> rows = stocksOf(root.paths.weeklyDb());
  ASSERT_NE(find(rows, Value(9399)), nullptr);  // kept
  EXPECT_EQ(find(rows, Value(1400))->market, "東証グロース");
  EXPECT_EQ(find(rows, Value(7203))->prices, (std::vector<Value>{2500, 2450, Value()}));

  StockListUpdateOptions remove;
  remove.removeMissing = true;
  StockListOutcome removed = updateStockLists(standardStockListTargets(root.paths), second, remove);
  ASSERT_TRUE(removed.done());
  EXPECT_TRUE(removed.reports[2].missingRemoved);
  for (const auto& t : standardStockListTargets(root.paths))
    for (const char* table : {"list", "hojyo"}) {
      rows = stocksOf(t.path, table);
      EXPECT_EQ(find(rows, Value(9399)), nullptr);
      EXPECT_EQ(rows.size(), 6u);  // the index and five stocks
      EXPECT_EQ(rows[0].code, Value(1000));
      if (std::string(table) == "list") {
        EXPECT_EQ(find(rows, Value(7203))->prices, (std::vector<Value>{2500, 2450, Value()}));
      }
    }
}

TEST(StockListUpdateTest, DryRunWritesNothing) {
  Root root;
  std::vector<std::string> before;
  for (const auto& t : standardStockListTargets(root.paths)) before.push_back(test::readBytes(t.path));
  StockListUpdateOptions dry;
  dry.dryRun = true;
  dry.removeMissing = true;
  StockListOutcome o = updateStockLists(standardStockListTargets(root.paths), readRows(root.dir, firstList()), dry);
  ASSERT_TRUE(o.done());
  EXPECT_EQ(o.reports[0].added.size(), 5u);
  EXPECT_EQ(o.reports[0].updated.size(), 1u);
  std::vector<std::string> after;
  for (const auto& t : standardStockListTargets(root.paths)) after.push_back(test::readBytes(t.path));
  EXPECT_EQ(before, after);

  // From an empty root a dry run creates nothing; the real run creates the three files.
  test::TempDir empty;
  Paths paths(empty.path());
  o = updateStockLists(standardStockListTargets(paths), readRows(root.dir, firstList()), dry);
  ASSERT_TRUE(o.done());
  EXPECT_TRUE(o.reports[0].created);
  EXPECT_FALSE(std::filesystem::exists(paths.dailyDb()));
  o = updateStockLists(standardStockListTargets(paths), readRows(root.dir, firstList()), {});
  ASSERT_TRUE(o.done()) << o.detail;
  EXPECT_EQ(stocksOf(paths.monthlyDb()).size(), 6u);
  EXPECT_EQ(readDateRecord(paths.monthlyDb())->unit, "month");
}

TEST(StockListUpdateTest, AFailureInOneDatabaseLeavesAllThreeAsTheyWere) {
  Root root;
  ListedIssues first = readRows(root.dir, firstList());
  auto bytesOfAll = [&] {
    std::vector<std::string> out;
    for (const auto& t : standardStockListTargets(root.paths)) out.push_back(test::readBytes(t.path));
    return out;
  };
  const std::vector<std::string> before = bytesOfAll();
  setLogQuiet(true);

  // The monthly file is being written by another program.
  {
    Database other(root.paths.monthlyDb());
    other.exec("begin immediate");
    other.exec("update [list] set [銘柄] = 'busy'");
    StockListOutcome o = updateStockLists(standardStockListTargets(root.paths), first, {});
    EXPECT_FALSE(o.done());
    EXPECT_EQ(o.failedDatabase, root.paths.monthlyDb());
    other.exec("rollback");
  }
  EXPECT_EQ(bytesOfAll(), before);

  // The weekly file cannot be written.
  if (::geteuid() != 0) {
    std::filesystem::permissions(root.paths.weeklyDb(), std::filesystem::perms::owner_read);
    StockListOutcome o = updateStockLists(standardStockListTargets(root.paths), first, {});
    EXPECT_FALSE(o.done());
    std::filesystem::permissions(root.paths.weeklyDb(),
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    EXPECT_EQ(bytesOfAll(), before);
  }

  // The monthly file is no price database: the two others stay as they were,
  // a daily file created for the update is removed again.
  {
    Database m(root.paths.monthlyDb());
    m.exec("alter table [list] rename to [list_old]");
  }
  const std::string daily = test::readBytes(root.paths.dailyDb()), weekly = test::readBytes(root.paths.weeklyDb());
  StockListOutcome o = updateStockLists(standardStockListTargets(root.paths), first, {});
  EXPECT_FALSE(o.done());
  EXPECT_EQ(o.failedDatabase, root.paths.monthlyDb());
  EXPECT_EQ(test::readBytes(root.paths.dailyDb()), daily);
  EXPECT_EQ(test::readBytes(root.paths.weeklyDb()), weekly);
  std::filesystem::remove(root.paths.dailyDb());
  o = updateStockLists(standardStockListTargets(root.paths), first, {});
  EXPECT_FALSE(o.done());
  EXPECT_FALSE(std::filesystem::exists(root.paths.dailyDb()));

  // One named file that does not exist is not created.
  o = updateStockLists({{root.dir / "other.mdb", ""}}, first, {});
  EXPECT_FALSE(o.done());
  EXPECT_FALSE(std::filesystem::exists(root.dir / "other.mdb"));
  setLogQuiet(false);
}

// The list of another month: every row dated that day.
SheetRows datedList(double yyyymmdd, const std::string& name7203, const std::string& section7203) {
  SheetRows rows = firstList();
  rows[1] = issueRow(7203, name7203, section7203);
  for (std::size_t i = 1; i < rows.size(); ++i) rows[i][0] = yyyymmdd;
  return rows;
}

TEST(StockListUpdateTest, AnOlderListIsRefusedUnlessAllowedAndTheLastAppliedDateIsKept) {
  test::TempDir dir;
  Paths paths(dir.path());
  const std::vector<StockListTarget> targets = standardStockListTargets(paths);
  const auto file = dir / "data_j.xls";
  ASSERT_TRUE(test::writeWorkbook(file, {{"Sheet1", datedList(20260130.0, "トヨタ自動車", "プライム（内国株式）")}}));
  ASSERT_TRUE(updateStockLists(targets, readListedIssues(file), {}).done());
  for (const auto& t : targets) {
    Database db(t.path, Database::Mode::ReadOnly);
    const std::optional<AppliedStockList> applied = readAppliedStockList(db);
    ASSERT_TRUE(applied) << t.path;
    EXPECT_EQ(applied->day, *dayFromCivil(2026, 1, 30));
    EXPECT_EQ(applied->source, "data_j.xls");
  }

  // April 2023: an older name and section.
  const auto old = dir / "data_j_202304.xls";
  ASSERT_TRUE(test::writeWorkbook(old, {{"Sheet1", datedList(20230428.0, "トヨタ", "市場第一部（内国株式）")}}));
  const ListedIssues older = readListedIssues(old);
  std::vector<std::string> before;
  for (const auto& t : targets) before.push_back(test::readBytes(t.path));
  setLogQuiet(true);
  const StockListOutcome refused = updateStockLists(targets, older, {});
  setLogQuiet(false);
  EXPECT_EQ(refused.failure, StockListFailure::OlderList);
  EXPECT_EQ(refused.detail, "the list of 2023-04-28 is older than the one applied last (2026-01-30, data_j.xls)");
  EXPECT_EQ(refused.failedDatabase, targets[0].path);
  for (std::size_t i = 0; i < targets.size(); ++i) EXPECT_EQ(test::readBytes(targets[i].path), before[i]);

  // A dry run tells, without refusing.
  StockListUpdateOptions dry;
  dry.dryRun = true;
  const StockListOutcome plan = updateStockLists(targets, older, dry);
  ASSERT_TRUE(plan.done());
  for (const StockListReport& r : plan.reports) {
    EXPECT_TRUE(r.olderList);
    EXPECT_EQ(r.updated.size(), 1u);
  }

  // Allowed: applied, and now the date of the list applied last.
  StockListUpdateOptions allow;
  allow.allowOlder = true;
  ASSERT_TRUE(updateStockLists(targets, older, allow).done());
  EXPECT_EQ(find(stocksOf(targets[2].path), Value(std::int64_t{7203}))->name, "トヨタ");
  {
    Database db(targets[1].path, Database::Mode::ReadOnly);
    EXPECT_EQ(readAppliedStockList(db)->day, *dayFromCivil(2023, 4, 28));
  }
  // So the January list is newer again; a list without a date is never older.
  EXPECT_TRUE(updateStockLists(targets, readListedIssues(file), {}).done());
  ListedIssues undated = older;
  undated.listDay.reset();
  EXPECT_TRUE(updateStockLists(targets, undated, {}).done());
}

TEST(StockListCliTest, StocksUpdateFromAnEmptyRoot) {
  test::TempDir dir;
  const auto file = dir / "data_j.xls";
  ASSERT_TRUE(test::writeWorkbook(file, {{"Sheet1", firstList()}}));
  const std::string cli = test::cliPath() + " --root '" + toUtf8(dir.path() / "root") + "' stocks update ";
  Paths paths(dir.path() / "root");  // not there yet

  test::CommandResult r = test::runCommand(cli + "--dry-run '" + toUtf8(file) + "'");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("追加\t130A\t"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(paths.dailyDb()));

  r = test::runCommand(cli + "--include-funds '" + toUtf8(file) + "'");
  EXPECT_EQ(r.status, 0);
  for (const auto& t : standardStockListTargets(paths)) EXPECT_EQ(stocksOf(t.path).size(), 9u);
  EXPECT_NE(r.out.find("追加\t7203\tトヨタ自動車\t東証プライム\tプライム（内国株式）\n"), std::string::npos);
  // Each stock once (three databases had it added), each database's counts on a line of its own.
  const auto occurrences = [](const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(occurrences(r.out, "\t7203\t"), 1u) << r.out;
  EXPECT_EQ(occurrences(r.out, "\n追加\t"), 9u) << r.out;
  for (const auto& t : standardStockListTargets(paths))
    EXPECT_EQ(occurrences(r.out, "\n" + toUtf8(t.path.filename()) + "（新規作成）: 追加 9、"), 1u) << r.out;

  // One database, the missing ones removed.
  const auto other = dir / "other.mdb";
  createPriceDatabase(other, "day");
  ASSERT_EQ(test::runCommand(cli + "--db '" + toUtf8(other) + "' '" + toUtf8(file) + "'").status, 0);
  EXPECT_EQ(stocksOf(other).size(), 6u);
  ASSERT_TRUE(
      test::writeWorkbook(file, {{"Sheet1", {kHeader, issueRow(7203, "トヨタ自動車", "プライム（内国株式）")}}}));
  r = test::runCommand(cli + "--db '" + toUtf8(other) + "' --remove-missing '" + toUtf8(file) + "'");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("削除\t130A\t"), std::string::npos);
  EXPECT_EQ(stocksOf(other).size(), 1u);

  // A file without the columns, a missing file: exit 1, nothing written.
  const std::string before = test::readBytes(paths.dailyDb());
  const auto prices = dir / "prices.xls";
  ASSERT_TRUE(test::writeWorkbook(prices, {{"s261209", {{"日付", "終値"}, {1, 2}}}}));
  EXPECT_EQ(test::runCommand(cli + "'" + toUtf8(prices) + "' 2>/dev/null").status, 1);
  EXPECT_EQ(test::runCommand(cli + "'" + toUtf8(dir / "none.xls") + "' 2>/dev/null").status, 1);
  EXPECT_EQ(test::readBytes(paths.dailyDb()), before);
  // Each kind of unusable file says what it is.
  std::filesystem::create_directories(dir / "folder.xls");
  std::ofstream(dir / "empty.csv").close();
  for (const auto& [name, says] : std::vector<std::pair<std::string, std::string>>{
           {"folder.xls", "folder.xls: a folder, not a file; nothing was changed"},
           {"none.xls", "none.xls: no such file; nothing was changed"},
           {"empty.csv", "empty.csv: empty file; nothing was changed"}}) {
    r = test::runCommand(cli + "'" + toUtf8(dir / name) + "' 2>&1");
    EXPECT_EQ(r.status, 1) << name;
    EXPECT_NE(r.out.find(says), std::string::npos) << r.out;
  }
  // An older list than the one applied last: refused unless allowed.
  ASSERT_TRUE(
      test::writeWorkbook(file, {{"Sheet1", {kHeader, issueRow(7203, "トヨタ自動車", "プライム（内国株式）")}}}));
  ASSERT_EQ(test::runCommand(cli + "'" + toUtf8(file) + "'").status, 0);
  const auto old = dir / "old.xls";
  SheetRows oldRows = {kHeader, issueRow(7203, "トヨタ", "市場第一部（内国株式）")};
  oldRows[1][0] = 20230428.0;
  ASSERT_TRUE(test::writeWorkbook(old, {{"Sheet1", oldRows}}));
  const std::string applied = test::readBytes(paths.dailyDb());
  r = test::runCommand(cli + "'" + toUtf8(old) + "' 2>&1");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("the list of 2023-04-28 is older than the one applied last (2026-11-30, data_j.xls) in "),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("give --allow-older to apply it anyway; no database was changed"), std::string::npos) << r.out;
  EXPECT_EQ(test::readBytes(paths.dailyDb()), applied);
  r = test::runCommand(cli + "--dry-run '" + toUtf8(old) + "'");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("（前回の一覧 2026-11-30 より古い一覧です）"), std::string::npos) << r.out;
  r = test::runCommand(cli + "--allow-older '" + toUtf8(old) + "'");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("一覧の日付 2023-04-28"), std::string::npos) << r.out;
  // Wrong arguments.
  EXPECT_EQ(test::runCommand(cli + "2>/dev/null").status, 2);
  EXPECT_EQ(test::runCommand(cli + "--bogus '" + toUtf8(file) + "' 2>/dev/null").status, 2);
  EXPECT_EQ(test::runCommand(test::cliPath() + " stocks list 2>/dev/null").status, 2);
}

}  // namespace
}  // namespace tavrin
