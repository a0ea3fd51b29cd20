#include <gtest/gtest.h>
#include <fstream>
#include <iterator>

#include "base/encoding.h"
#include "base/log.h"
#include "test_support.h"
#include "utilities/memo.h"

using namespace tavrin;

TEST(Memo, SavesTextWithOneCrLfInCodePage932) {
  test::TempDir dir;
  ASSERT_TRUE(saveMemoFile(dir / "memo.txt", "abc").done());
  EXPECT_EQ(test::readFileBytes(dir / "memo.txt"), "abc\r\n");
  // 日 is 0x93FA in code page 932; ～ (U+FF5E) and － (U+FF0D) exist only in
  // the Windows variant, which plain Shift_JIS converters reject.
  ASSERT_TRUE(saveMemoFile(dir / "memo.txt", "日\n～－").done());
  EXPECT_EQ(test::readFileBytes(dir / "memo.txt"), "\x93\xfa\r\n\x81\x60\x81\x7c\r\n");
}

TEST(Memo, SaveAndReloadCyclesDoNotGrowTheText) {
  test::TempDir dir;
  std::string text = "買い候補：トヨタ　７２０３\n損切り －５％～\n\n";
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(saveMemoFile(dir / "memo.txt", text).done());
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
  ASSERT_TRUE(saveMemoFile(dir / "memo.txt", "old").done());
  // Hangul has no code page 932 form.
  MemoSaveOutcome o = saveMemoFile(dir / "memo.txt", "한국");
  EXPECT_FALSE(o.done());
  EXPECT_EQ(o.failure, MemoFailure::NotCp932);
  EXPECT_FALSE(o.detail.empty());
  EXPECT_EQ(test::readFileBytes(dir / "memo.txt"), "old\r\n");
  o = saveMemoFile(dir / "no-such-folder" / "memo.txt", "x");
  EXPECT_FALSE(o.done());
  EXPECT_EQ(o.failure, MemoFailure::CannotWrite);
  EXPECT_EQ(o.path, dir / "no-such-folder" / "memo.txt");
  EXPECT_FALSE(o.detail.empty());
  std::filesystem::permissions(dir / "memo.txt", std::filesystem::perms::owner_read);
  o = saveMemoFile(dir / "memo.txt", "new");
  EXPECT_FALSE(o.done());
  EXPECT_EQ(o.failure, MemoFailure::ReadOnly);
  EXPECT_EQ(test::readFileBytes(dir / "memo.txt"), "old\r\n");
  setLogQuiet(false);
}

namespace {
// How a save went, in words: "saved", "saved keeping old", "left alone" or "failed".
std::string savedAs(const MemoSaveOutcome& o) {
  if (!o.done()) return "failed";
  switch (o.saved) {
    case MemoSaved::Saved: return "saved";
    case MemoSaved::SavedKeepingOld: return "saved keeping old";
    case MemoSaved::LeftAlone: return "left alone";
  }
  return "?";
}

void writeBytes(const std::filesystem::path& p, const std::string& bytes) {
  std::ofstream(p, std::ios::binary) << bytes;
}
}  // namespace

TEST(Memo, ReadsUtf8AndDecodesWhatItCanOfDamagedFiles) {
  struct Case {
    const char* name;
    std::string bytes;
    std::string text;
    MemoEncoding encoding;
    bool whole;
  };
  const std::string sjis = *utf8ToCp932("株価\r\n～－");
  const Case cases[] = {
      {"code page 932", sjis + "\r\n", "株価\n～－", MemoEncoding::Cp932, true},
      // A Linux editor: UTF-8, LF line ends, one final LF.
      {"UTF-8", "買い候補：トヨタ　７２０３\n損切り\n", "買い候補：トヨタ　７２０３\n損切り", MemoEncoding::Utf8, true},
      {"UTF-8 with BOM", "\xEF\xBB\xBFメモ\r\n", "メモ", MemoEncoding::Utf8, true},
      {"BOM only", "\xEF\xBB\xBF", "", MemoEncoding::Utf8, true},
      {"ASCII", "abc\r\n", "abc", MemoEncoding::Cp932, true},
      // Half-width katakana that also happen to form a valid UTF-8 pair.
      {"katakana", "\xC3\xBD", "ﾃｽ", MemoEncoding::Cp932, true},
      // Stray bytes in UTF-8 text: only they are lost.
      {"UTF-8 with stray bytes", "注文メモ\xFF一行目\n\x80二行目", "注文メモ〓一行目\n〓二行目", MemoEncoding::Utf8,
       false},
      {"BOM with stray byte",
       "\xEF\xBB\xBF"
       "a\xE3\x81"
       "b",
       "a〓〓b", MemoEncoding::Utf8, false},
      // Stray bytes in code page 932 text; a lead byte without its second
      // byte loses itself, not the line break after it.
      {"code page 932 with stray bytes", *utf8ToCp932("株価") + "\xA0" + *utf8ToCp932("メモ") + "\x88\n" + "b",
       "株価〓メモ〓\nb", MemoEncoding::Cp932, false},
      // A file cut short by a crash, padded with NUL.
      {"NUL padding", *utf8ToCp932("メモ") + std::string(3, '\0'), "メモ〓〓〓", MemoEncoding::Cp932, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoContent m = decodeMemoBytes(c.bytes);
    EXPECT_EQ(m.text, c.text);
    EXPECT_EQ(m.encoding, c.encoding);
    EXPECT_EQ(m.whole, c.whole);
    EXPECT_TRUE(m.exists);
  }
  test::TempDir dir;
  MemoContent missing = readMemoFile(dir / "memo.txt");
  EXPECT_FALSE(missing.exists);
  EXPECT_TRUE(missing.whole);
  writeBytes(dir / "memo.txt", "\xEF\xBB\xBF日本\n");
  EXPECT_EQ(loadMemoFile(dir / "memo.txt"), "日本");
}

TEST(Memo, DamagedFileIsOnlyReplacedWhenTheTextChangedAndThenKeptAsBak) {
  setLogQuiet(true);
  test::TempDir dir;
  const std::string original = "注文メモ\xFF一行目\n";
  writeBytes(dir / "memo.txt", original);
  MemoFile file(dir / "memo.txt");
  ASSERT_TRUE(file.damaged());
  EXPECT_EQ(file.backupPath(), dir / "memo.txt.bak");

  // Unchanged: the file stays as it is and no copy is made.
  EXPECT_EQ(savedAs(file.save(file.loaded().text)), "left alone");
  EXPECT_EQ(test::readFileBytes(dir / "memo.txt"), original);
  EXPECT_FALSE(std::filesystem::exists(dir / "memo.txt.bak"));

  // A text that code page 932 cannot hold: nothing written, no copy.
  MemoSaveOutcome failed = file.save("한국");
  EXPECT_EQ(savedAs(failed), "failed");
  EXPECT_EQ(failed.failure, MemoFailure::NotCp932);
  EXPECT_FALSE(failed.detail.empty());
  EXPECT_EQ(test::readFileBytes(dir / "memo.txt"), original);
  EXPECT_FALSE(std::filesystem::exists(dir / "memo.txt.bak"));

  // Changed: the old bytes go to memo.txt.bak first, once.
  EXPECT_EQ(savedAs(file.save("注文メモ〓一行目\n追記")), "saved keeping old");
  EXPECT_EQ(test::readFileBytes(dir / "memo.txt.bak"), original);
  EXPECT_EQ(test::readFileBytes(dir / "memo.txt"), *utf8ToCp932("注文メモ〓一行目\r\n追記\r\n"));
  EXPECT_FALSE(file.damaged());
  EXPECT_EQ(savedAs(file.save("次")), "saved");
  EXPECT_EQ(test::readFileBytes(dir / "memo.txt.bak"), original);

  // A whole file is saved over as before, even unchanged; UTF-8 becomes code page 932.
  writeBytes(dir / "utf8.txt", "メモ\n");
  MemoFile utf8(dir / "utf8.txt");
  EXPECT_FALSE(utf8.damaged());
  EXPECT_EQ(savedAs(utf8.save(utf8.loaded().text)), "saved");
  EXPECT_EQ(test::readFileBytes(dir / "utf8.txt"), *utf8ToCp932("メモ\r\n"));
  EXPECT_FALSE(std::filesystem::exists(dir / "utf8.txt.bak"));

  // A file that cannot be read at all is never replaced.
  std::filesystem::create_directory(dir / "folder.txt");
  MemoFile unreadable(dir / "folder.txt");
  EXPECT_TRUE(unreadable.damaged());
  EXPECT_EQ(savedAs(unreadable.save("x")), "failed");
  EXPECT_TRUE(std::filesystem::is_directory(dir / "folder.txt"));
  setLogQuiet(false);
}
