#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "app/log.h"
#include "test_support.h"
#include "utilities/memo.h"

using namespace tavrin;

TEST(Memo, SavesTextWithOneCrLfInCodePage932) {
  test::TempDir dir;
  ASSERT_TRUE(saveMemoFile(dir / "memo.txt", "abc"));
  EXPECT_EQ(test::readFileBytes(dir / "memo.txt"), "abc\r\n");
  // 日 is 0x93FA in code page 932; ～ (U+FF5E) and － (U+FF0D) exist only in
  // the Windows variant, which plain Shift_JIS converters reject.
  ASSERT_TRUE(saveMemoFile(dir / "memo.txt", "日\n～－"));
  EXPECT_EQ(test::readFileBytes(dir / "memo.txt"), "\x93\xfa\r\n\x81\x60\x81\x7c\r\n");
}

TEST(Memo, SaveAndReloadCyclesDoNotGrowTheText) {
  test::TempDir dir;
  std::string text = "買い候補：トヨタ　７２０３\n損切り －５％～\n\n";
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(saveMemoFile(dir / "memo.txt", text));
    bool ok = false;
    std::string back = loadMemoFile(dir / "memo.txt", &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(back, text);
    text = back;
  }
}

TEST(Memo, ReadsFilesWrittenElsewhere) {
  test::TempDir dir;
  // CR LF line ends and no final break: the text comes back whole.
  { std::ofstream(dir / "memo.txt", std::ios::binary) << "a\r\nb"; }
  EXPECT_EQ(loadMemoFile(dir / "memo.txt"), "a\nb");
  bool ok = true;
  EXPECT_EQ(loadMemoFile(dir / "missing.txt", &ok), "");
  EXPECT_FALSE(ok);
}

TEST(Memo, FailedSavesLeaveTheOldFileAndSayWhy) {
  setLogQuiet(true);
  test::TempDir dir;
  ASSERT_TRUE(saveMemoFile(dir / "memo.txt", "old"));
  std::string error;
  // Hangul has no code page 932 form.
  EXPECT_FALSE(saveMemoFile(dir / "memo.txt", "한국", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(test::readFileBytes(dir / "memo.txt"), "old\r\n");
  error.clear();
  EXPECT_FALSE(saveMemoFile(dir / "no-such-folder" / "memo.txt", "x", &error));
  EXPECT_FALSE(error.empty());
  std::filesystem::permissions(dir / "memo.txt", std::filesystem::perms::owner_read);
  EXPECT_FALSE(saveMemoFile(dir / "memo.txt", "new", &error));
  EXPECT_EQ(test::readFileBytes(dir / "memo.txt"), "old\r\n");
  setLogQuiet(false);
}
