// The table writers of formats/ on their own, without the program's save:
// what they write reads back through Python's csv and openpyxl.
#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/encoding.h"
#include "base/files.h"
#include "formats/table_writer.h"
#include "test_support.h"

using namespace tavrin;

namespace {

const std::string kSep = "\xE2\x90\x9E";  // between the cells read_table.py prints

test::CommandResult readBack(const std::string& kind, const std::filesystem::path& file, const std::string& enc = "") {
  return test::runCommand("/usr/bin/python3 " + std::string(TAVRIN_TEST_DATA_DIR) + "/read_table.py " + kind + " '" +
                          toUtf8(file) + "' " + enc);
}

TextTable smallTable() {
  TextTable t;
  t.titles = {"コード", "終値"};
  t.rows = {{{"7203", true}, {"2890.5", true}}, {{"130A", false}, {"\"引用\", 改行\nあり", false}}};
  return t;
}

}  // namespace

// CSV bytes in both encodings and a workbook written straight to its path
// read back to the same cells; numbers stay numbers only in the workbook.
TEST(TableWriter, BytesAndWorkbooksReadBack) {
  test::TempDir dir;
  const TextTable t = smallTable();
  const std::string expected =
      "s:コード" + kSep + "s:終値\ns:7203" + kSep + "s:2890.5\ns:130A" + kSep + "s:\"引用\", 改行\\nあり\n";
  for (TableFormat f : {TableFormat::CsvUtf8, TableFormat::CsvCp932}) {
    std::string bytes;
    ASSERT_TRUE(csvBytes(t, f, bytes).done());
    ASSERT_FALSE(writeFileReplacing(dir / "t.csv", bytes));
    const auto r = readBack("csv", dir / "t.csv", f == TableFormat::CsvUtf8 ? "utf-8-sig" : "cp932");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, expected);
  }

  const TableWriteOutcome written = writeXlsx(dir / "t.xlsx", t);
  ASSERT_TRUE(written.done()) << written.detail;
  const auto r = readBack("xlsx", dir / "t.xlsx");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out.substr(0, r.out.find("sheet:")),
            "s:コード" + kSep + "s:終値\nn:7203" + kSep + "n:2890.5\ns:130A" + kSep + "s:\"引用\", 改行\\nあり\n");
  EXPECT_NE(r.out.find("sheet:Sheet1\n"), std::string::npos);
}

// A workbook that cannot be made is a failure with the library's reason,
// never a stray file; a text code page 932 lacks leaves no bytes.
TEST(TableWriter, FailuresLeaveNothing) {
  test::TempDir dir;
  const TableWriteOutcome o = writeXlsx(dir / "none" / "t.xlsx", smallTable());
  EXPECT_EQ(o.failure, TableWriteFailure::Workbook);
  EXPECT_FALSE(o.detail.empty());
  EXPECT_FALSE(std::filesystem::exists(dir / "none"));

  TextTable t = smallTable();
  t.rows[1][0].text = "ä";  // Latin-1 letters are not in code page 932
  std::string bytes = "old";
  const TableWriteOutcome refused = csvBytes(t, TableFormat::CsvCp932, bytes);
  EXPECT_EQ(refused.failure, TableWriteFailure::NotCp932);
  EXPECT_TRUE(refused.cellFound);
  EXPECT_EQ(refused.row, 2u);
  EXPECT_EQ(refused.column, 1u);
  EXPECT_TRUE(bytes.empty());
  EXPECT_EQ(tsvText(t), "コード\t終値\n7203\t2890.5\nä\t\"引用\", 改行 あり\n");
}

namespace {

// Rows made when asked for: 30,000 of them (several chunks of the writer),
// with every kind of text the writers quote or convert; `asked` counts the
// rows made.
TableRows madeRows(std::size_t* asked) {
  TableRows rows;
  rows.titles = {"番号", "銘柄", "終値", "メモ"};
  rows.sheetName = "ヒット";
  rows.count = 30000;
  rows.row = [asked](std::size_t i, std::vector<TableCell>& cells) {
    ++*asked;
    cells = {{std::to_string(i + 1), true},
             {i % 7 == 0 ? "カンマ, と \"引用\"" : "銘柄" + std::to_string(i), false},
             {std::to_string(100 + i % 900) + ".5", true},
             {i % 11 == 0 ? "改行\nあり\tタブ" : "", false}};
  };
  return rows;
}

TextTable tableOf(const TableRows& rows) {
  TextTable t;
  t.titles = rows.titles;
  t.sheetName = rows.sheetName;
  t.rows.resize(rows.count);
  for (std::size_t i = 0; i < rows.count; ++i) rows.row(i, t.rows[i]);
  return t;
}

}  // namespace

// Rows handed over one at a time make exactly the bytes of the whole table,
// each row asked for once; a text code page 932 lacks far into the rows is
// named by its row and column.
TEST(TableWriter, RowsOneAtATimeMakeTheSameBytes) {
  std::size_t asked = 0;
  const TableRows rows = madeRows(&asked);
  const TextTable whole = tableOf(rows);
  for (TableFormat f : {TableFormat::Tsv, TableFormat::CsvUtf8, TableFormat::CsvCp932}) {
    asked = 0;
    std::ostringstream out;
    ASSERT_TRUE(writeDelimited(out, rows, f).done());
    EXPECT_EQ(asked, rows.count);
    std::string expected;
    if (f == TableFormat::Tsv)
      expected = tsvText(whole);
    else
      ASSERT_TRUE(csvBytes(whole, f, expected).done());
    EXPECT_GT(expected.size(), 700000u);  // several of the writer's chunks
    EXPECT_TRUE(out.str() == expected) << static_cast<int>(f);
  }

  TableRows bad = rows;
  bad.row = [&rows](std::size_t i, std::vector<TableCell>& cells) {
    rows.row(i, cells);
    if (i == 21000) cells[3].text = "한국";
  };
  std::ostringstream out;
  const TableWriteOutcome o = writeDelimited(out, bad, TableFormat::CsvCp932);
  EXPECT_EQ(o.failure, TableWriteFailure::NotCp932);
  EXPECT_TRUE(o.cellFound);
  EXPECT_EQ(o.row, 21001u);
  EXPECT_EQ(o.column, 4u);
  EXPECT_EQ(o.cellText, "한국");
  // UTF-8 holds it.
  std::ostringstream utf8;
  EXPECT_TRUE(writeDelimited(utf8, bad, TableFormat::CsvUtf8).done());

  // A stream that refuses the bytes.
  std::ofstream closed;
  EXPECT_EQ(writeDelimited(closed, rows, TableFormat::Tsv).failure, TableWriteFailure::WriteFailed);
}

// A workbook of rows made one at a time reads back, through openpyxl, to the
// cells of the whole table written at once: numbers, texts, empty cells,
// the bold title row, the widths; a row wider than the titles widens the
// sheet. A text no cell holds far into the rows leaves no workbook.
TEST(TableWriter, WorkbookOfRowsOneAtATime) {
  test::TempDir dir;
  std::size_t asked = 0;
  TableRows rows = madeRows(&asked);
  rows.count = 3000;
  const auto plain = rows.row;
  rows.row = [plain](std::size_t i, std::vector<TableCell>& cells) {
    plain(i, cells);
    if (i == 2999) cells.push_back({"はみ出し", false});
  };
  ASSERT_TRUE(writeXlsx(dir / "rows.xlsx", rows).done());
  EXPECT_EQ(asked, rows.count);
  const TextTable whole = tableOf(rows);
  ASSERT_TRUE(writeXlsx(dir / "whole.xlsx", whole).done());
  const auto a = readBack("xlsx", dir / "rows.xlsx");
  const auto b = readBack("xlsx", dir / "whole.xlsx");
  ASSERT_EQ(a.status, 0) << a.out;
  EXPECT_EQ(a.out, b.out);
  EXPECT_NE(a.out.find("sheet:ヒット\nbold:11110\nfreeze:A2\nwidths:"), std::string::npos)
      << a.out.substr(a.out.size() - 200);
  EXPECT_NE(a.out.find("n:3000" + kSep + "s:銘柄2999" + kSep + "n:" + std::to_string(100 + 2999 % 900) + ".5" + kSep +
                       "e:" + kSep + "s:はみ出し\n"),
            std::string::npos);
  EXPECT_NE(a.out.find("n:1" + kSep + "s:カンマ, と \"引用\"" + kSep + "n:100.5" + kSep + "s:改行\\nあり\tタブ" + kSep +
                       "e:\n"),
            std::string::npos);

  rows.row = [plain](std::size_t i, std::vector<TableCell>& cells) {
    plain(i, cells);
    if (i == 2500) cells[1].text = "\xFF";
  };
  const TableWriteOutcome o = writeXlsx(dir / "bad.xlsx", rows);
  EXPECT_EQ(o.failure, TableWriteFailure::BadCell);
  EXPECT_EQ(o.detail, "row 2501, column 2 is no text a cell holds");
  EXPECT_FALSE(std::filesystem::exists(dir / "bad.xlsx"));
  // Nothing of the workbook's scratch files is left beside it.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
}
