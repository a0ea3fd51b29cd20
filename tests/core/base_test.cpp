// The lowest layer's rules, written once for every reader and writer.
#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>

#include "base/calendar.h"
#include "base/encoding.h"
#include "base/files.h"
#include "base/text.h"
#include "test_support.h"

namespace tavrin {
namespace {

TEST(Encoding, OneStrictUtf8CheckForEveryText) {
  EXPECT_TRUE(validUtf8("7203,トヨタ自動車,𠮷"));
  EXPECT_TRUE(validUtf8("\xEF\xBB\xBF"));
  // Overlong forms, surrogates, code points past U+10FFFF, stray and cut bytes.
  for (const char* bad :
       {"\xE0\x80\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xC0\xAF", "\xF5\x80\x80\x80", "\x80", "\xE3\x81"})
    EXPECT_FALSE(validUtf8(bad)) << printableText(bad);
}

TEST(Encoding, ATextFileIsUtf8OrCodePage932AndNeverInvalidUtf8) {
  EXPECT_EQ(decodeTextFile("\xEF\xBB\xBF"
                           "コード,銘柄名\n"),
            "コード,銘柄名\n");
  const std::optional<std::string> sjis = decodeTextFile(*utf8ToCp932("コード,銘柄名\n"));
  ASSERT_TRUE(sjis);
  EXPECT_EQ(*sjis, "コード,銘柄名\n");
  EXPECT_FALSE(decodeTextFile(std::string("a\0b", 3)));
  // Sequences the lenient check of a CSV reader once let through: what comes
  // out is valid UTF-8 (read as code page 932) or nothing, never the bytes.
  for (const std::string raw : {"1301,\xE0\x80\x80\n", "1301,\xED\xA0\x80\n", "1301,\xF4\x90\x80\x80\n"}) {
    const std::optional<std::string> text = decodeTextFile(raw);
    if (text) {
      EXPECT_TRUE(validUtf8(*text));
      EXPECT_NE(*text, raw);
    }
  }
  std::size_t replaced = 0;
  EXPECT_EQ(cp932ToUtf8Lenient(std::string("\x82\xA0\xFF", 3), &replaced), "あ〓");
  EXPECT_EQ(replaced, 1u);
  EXPECT_EQ(toCrLf("a\nb\r\nc\rd"), "a\r\nb\r\nc\r\nd");
  EXPECT_EQ(fromCrLf("a\r\nb\rc"), "a\nb\nc");
}

TEST(Text, TrimsFoldsAndGroups) {
  EXPECT_EQ(trimmed(" \t7203\r\n"), "7203");
  EXPECT_EQ(trimmed("\xE3\x80\x80"
                    "7203"),
            "\xE3\x80\x80"
            "7203");
  EXPECT_EQ(trimmedBlanks("\xE3\x80\x80 7203\xE3\x80\x80"), "7203");
  EXPECT_EQ(trimmedBlanks("\xE3\x80\x80"), "");
  EXPECT_EQ(asciiLower("Close,終値"), "close,終値");
  EXPECT_TRUE(equalsIgnoringAsciiCase("Sheet1", "SHEET1"));
  EXPECT_FALSE(equalsIgnoringAsciiCase("Sheet1", "Sheet12"));
  EXPECT_EQ(foldFullWidth("７２０３．Ｔ　－"), "7203.T -");
  EXPECT_EQ(groupedCount(0), "0");
  EXPECT_EQ(groupedCount(1234567), "1,234,567");
  EXPECT_EQ(groupedCount(-1234), "-1,234");
  EXPECT_EQ(groupedCount(INT64_MIN), "-9,223,372,036,854,775,808");
  EXPECT_EQ(printableText("a\x1b[2Jb\n"), "a\\x1b[2Jb\\n");
}

TEST(Calendar, EveryDateFormOfTheProgram) {
  const std::optional<int> day = dayFromCivil(2026, 12, 8);
  ASSERT_TRUE(day);
  EXPECT_EQ(isoDate(*day), "2026-12-08");
  EXPECT_EQ(slashDate(*day), "2026/12/08");
  EXPECT_EQ(recordDate(*day), "26/12/08");
  EXPECT_EQ(dayFromRecordDate("26/12/08"), day);
  EXPECT_FALSE(dayFromRecordDate("26/02/30"));
  EXPECT_EQ(parseHistoryDate("2026/12/8"), day);
  EXPECT_EQ(parseHistoryDate("20261208"), day);
  EXPECT_EQ(dayOfCell(Value(std::int64_t{20261208})), day);
  EXPECT_EQ(dayOfCell(Value(46364.75)), day);  // a spreadsheet serial with a time
  EXPECT_EQ(twoDigitDate(126, 3, 5, "/"), "26/03/05");
  EXPECT_EQ(twoDigitDate(2008, 3, 5, ""), "080305");
}

TEST(Files, WholeReadsSayWhatWentWrongAndReplacesAreWhole) {
  test::TempDir dir;
  EXPECT_EQ(readWholeFile(dir / "none.csv", 100).failure, FileBytes::Failure::Missing);
  EXPECT_EQ(readWholeFile(dir.path(), 100).failure, FileBytes::Failure::NotAFile);
  const auto file = dir / "a.txt";
  ASSERT_FALSE(writeFileReplacing(file, "old"));
  ASSERT_FALSE(writeFileReplacing(file, "new text"));
  EXPECT_EQ(readWholeFile(file, 100).bytes, "new text");
  EXPECT_EQ(readWholeFile(file, 3).failure, FileBytes::Failure::TooLarge);
  // A replace that cannot happen leaves the target and no file beside it.
  EXPECT_TRUE(writeFileReplacing(dir / "no-folder" / "b.txt", "x"));
  std::size_t files = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) files += e.is_regular_file();
  EXPECT_EQ(files, 1u);
  EXPECT_EQ(fromUtf8(toUtf8(dir / "メモ帖.txt")), dir / "メモ帖.txt");
}

TEST(Files, LinesLongerThanTheBoundAreFoundAsTheBytesComeInAnyPieces) {
  // Lines of 4 bytes at most: the line end (LF, CR LF) is no part of a line,
  // nor is a byte order mark at the start; a CR elsewhere is.
  struct Case {
    std::string bytes;
    std::size_t longLine;  // 0: none
  };
  const std::vector<Case> cases = {
      {"abcd\nabcd", 0},
      {"abcd\r\nabcd\r\n", 0},
      {"abcd\r", 0},  // a CR at the end, as the readers drop it
      {"\xEF\xBB\xBF"
       "abcd\nx",
       0},
      {"\xEF\xBB\xBF"
       "abcde",
       1},
      {"ab\nabcde\n", 2},
      {"ab\nab\rcd\n", 2},  // a CR inside the line counts
      {"abcd\r\r\n", 1},
      {"\n\n\nabcdef", 4},
      {"abc\nabcdefghijklmnop\nabc", 2},
      {"ab\n\xEF\xBB\xBF"
       "ab",
       2},  // the mark counts after the start
  };
  for (const Case& c : cases) {
    EXPECT_EQ(firstLineLongerThan(c.bytes, 4), c.longLine) << printableText(c.bytes);
    for (std::size_t piece = 1; piece <= 3; ++piece) {
      LineLengthCheck check(4);
      bool within = true;
      for (std::size_t at = 0; at < c.bytes.size() && within; at += piece)
        within = check.feed(std::string_view(c.bytes).substr(at, piece));
      within = within && check.finish();
      EXPECT_EQ(within ? 0u : check.line(), c.longLine) << printableText(c.bytes) << " in pieces of " << piece;
    }
  }
  // Once refused, the check stays refused.
  LineLengthCheck check(4);
  EXPECT_FALSE(check.feed("abcdefg"));
  EXPECT_FALSE(check.feed("\nab"));
  EXPECT_EQ(check.line(), 1u);
}

TEST(Files, AWholeReadWithALineBoundStopsAtTheFirstLongerLine) {
  test::TempDir dir;
  const auto file = dir / "long.csv";
  const std::string head = "a,b\n1,2\n";
  {
    std::ofstream out(file, std::ios::binary);
    out << head << std::string(6u << 20, 'x') << "\n3,4\n";
  }
  FileBytes read = readWholeFile(file, 64u << 20, 1u << 20);
  EXPECT_EQ(read.failure, FileBytes::Failure::LineTooLong);
  EXPECT_EQ(read.line, 3u);
  // What was read up to the bound, not the file.
  EXPECT_EQ(read.bytes.substr(0, head.size()), head);
  EXPECT_GT(read.bytes.size(), (1u << 20) + head.size());
  EXPECT_LE(read.bytes.size(), 2u << 20);
  // Without the bound the whole file; within it, the same.
  EXPECT_EQ(readWholeFile(file, 64u << 20).bytes.size(), head.size() + (6u << 20) + 5);
  FileBytes within = readWholeFile(file, 64u << 20, 6u << 20);
  EXPECT_TRUE(within.ok());
  EXPECT_EQ(within.bytes.size(), head.size() + (6u << 20) + 5);
  // A last line without a line end is measured too.
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << head << std::string(100, 'y');
  }
  read = readWholeFile(file, 1000, 99);
  EXPECT_EQ(read.failure, FileBytes::Failure::LineTooLong);
  EXPECT_EQ(read.line, 3u);
  EXPECT_TRUE(readWholeFile(file, 1000, 100).ok());
}

}  // namespace
}  // namespace tavrin
