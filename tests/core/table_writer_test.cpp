// The table writers of formats/ on their own, without the program's save:
// what they write reads back through Python's csv and openpyxl.
#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>

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
