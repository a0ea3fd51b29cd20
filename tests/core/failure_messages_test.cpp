// Failures name their cause, once, and never echo a user's control characters.
#include <sqlite3.h>

#include <gtest/gtest.h>
#include <algorithm>
#include <fstream>

#include "app/paths.h"
#include "app/prompts.h"
#include "base/encoding.h"
#include "base/log.h"
#include "base/text.h"
#include "data/database.h"
#include "data/stock_code.h"
#include "test_support.h"
#include "watch_samples.h"

using namespace tavrin;

TEST(StockCodes, OnlyCodesAndPlainNumbersAreCodes) {
  EXPECT_EQ(parseStockCode("7203"), "7203");
  EXPECT_EQ(parseStockCode(" 130A "), "130A");
  EXPECT_EQ(parseStockCode("２５９３５"), "25935");
  EXPECT_EQ(parseStockCode("1000"), "1000");
  EXPECT_EQ(parseStockCode("1"), "1");  // a plain number as old files hold
  for (const char* no : {"1e3", "0x10", "7203 or 1=1", "-5", "7203.0", "130a", "", "  ", "7203;", "ABCDEFG"})
    EXPECT_EQ(parseStockCode(no), std::nullopt) << no;
}

TEST(PrintableText, ControlCharactersAreShownEscaped) {
  EXPECT_EQ(printableText("a\x1b[31mb"), "a\\x1b[31mb");
  EXPECT_EQ(printableText("line\nnext\t"), "line\\nnext\\t");
  EXPECT_EQ(printableText("\xc2\x85"), "\\u0085");
  EXPECT_EQ(printableText("トヨタ 7203\\x"), "トヨタ 7203\\x");
}

TEST(PrintableText, BytesOutsideUtf8AreEscapedSoEveryMessageIsValid) {
  // An encoded surrogate, a lone continuation byte, a cut sequence, Latin-1.
  EXPECT_EQ(printableText("a\xED\xA0\x80"
                          "b"),
            "a\\xED\\xA0\\x80b");
  EXPECT_EQ(escapeInvalidUtf8("\x80トヨタ\xE3\x83"), "\\x80トヨタ\\xE3\\x83");
  EXPECT_EQ(escapeInvalidUtf8("caf\xe9\n"), "caf\\xE9\n");
  EXPECT_EQ(escapeInvalidUtf8(std::string("a\0b", 3)), "a\\x00b");
  for (const char* valid : {"", "東証プライム", "7203,トヨタ自動車\n", "\xF0\x9F\x93\x88"})
    EXPECT_EQ(escapeInvalidUtf8(valid), valid);
  EXPECT_TRUE(validUtf8(printableText("\xFF\xFE\xC0\xAF\xF5\x80\x80\x80")));
  // The message boxes show the same escapes.
  MessageRequest m;
  m.title = "\xED\xA0\x80.csv";
  m.lines = {"読めません: \xED\xA0\x80.csv", "次の行"};
  EXPECT_EQ(m.shownTitle(), "\\xED\\xA0\\x80.csv");
  EXPECT_EQ(m.text(), "読めません: \\xED\\xA0\\x80.csv\n次の行");
}

TEST(CommandLine, WhatItPrintsIsValidUtf8WhateverTheFilesNamesAndContents) {
  test::TempDir dir;
  const std::string cli = test::cliPath() + " --root '" + toUtf8(dir.path()) + "' ";
  ASSERT_EQ(test::runCommand(cli + "init").status, 0);
  // A file name that is no UTF-8, and a file whose first line is none.
  const std::string badName = "bad\xED\xA0\x80.csv";
  std::ofstream(dir / badName) << "";
  std::ofstream(dir / "latin1.csv") << "caf\xe9,\xff\xfe\n1,2\n";
  const test::CommandResult r = test::runCommand("cd '" + toUtf8(dir.path()) + "' && " + cli + "history import '" +
                                                 badName + "' latin1.csv 2>&1");
  EXPECT_TRUE(validUtf8(r.out)) << r.out;
  EXPECT_NE(r.out.find("bad\\xED\\xA0\\x80.csv: empty file; skipped"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("caf\\xE9"), std::string::npos) << r.out;
  const test::CommandResult s =
      test::runCommand("cd '" + toUtf8(dir.path()) + "' && " + cli + "stocks update '" + badName + "' 2>&1");
  EXPECT_EQ(s.status, 1);
  EXPECT_TRUE(validUtf8(s.out)) << s.out;
  EXPECT_NE(s.out.find("bad\\xED\\xA0\\x80.csv: empty file; nothing was changed"), std::string::npos) << s.out;
}

TEST(DatabaseOpening, TheCauseIsNamed) {
  setLogQuiet(true);
  test::TempDir dir;
  auto kindOf = [](const std::filesystem::path& p, Database::Mode mode) {
    try {
      Database d(p, mode);
      d.scalar("select count(*) from sqlite_master");
      return std::optional<DatabaseFailure>();
    } catch (const DatabaseError& e) {
      return std::optional<DatabaseFailure>(e.kind());
    }
  };
  EXPECT_EQ(kindOf(dir / "none.mdb", Database::Mode::ReadOnly), DatabaseFailure::Missing);
  std::ofstream(dir / "text.mdb") << std::string(4096, 'x');
  EXPECT_EQ(kindOf(dir / "text.mdb", Database::Mode::ReadOnly), DatabaseFailure::NotADatabase);

  {
    Database create(dir / "db.mdb", Database::Mode::Create);
    create.exec("create table t (x)");
  }
  sqlite3* holder = nullptr;
  ASSERT_EQ(sqlite3_open((dir / "db.mdb").c_str(), &holder), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(holder, "begin exclusive", nullptr, nullptr, nullptr), SQLITE_OK);
  try {
    Database d(dir / "db.mdb", Database::Mode::ReadOnly);
    d.scalar("select count(*) from t");
    ADD_FAILURE() << "a locked file was read";
  } catch (const DatabaseError& e) {
    EXPECT_EQ(e.kind(), DatabaseFailure::Locked);
    EXPECT_NE(std::string(e.what()).find("in use"), std::string::npos) << e.what();
  }
  sqlite3_exec(holder, "rollback", nullptr, nullptr, nullptr);
  sqlite3_close(holder);
  EXPECT_EQ(kindOf(dir / "db.mdb", Database::Mode::ReadOnly), std::nullopt);
  setLogQuiet(false);
}

TEST(CliFailures, OneEscapedLineOnStderrAndTheSameInTheLog) {
  test::TempDir dir;
  const std::string cli = test::cliPath() + " --root '" + toUtf8(dir.path()) + "' ";
  ASSERT_EQ(test::runCommand(cli + "init >/dev/null").status, 0);

  auto r = test::runCommand(cli + "latest \"$(printf '26/12/09:a\\033b')\" 2>&1 >/dev/null");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
  EXPECT_EQ(r.out.find('\x1b'), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("a\\x1bb"), std::string::npos) << r.out;
  const std::string log = test::readFileBytes(dir / "tavrin.log");
  EXPECT_NE(log.find("a\\x1bb"), std::string::npos) << log;
  EXPECT_EQ(log.find('\x1b'), std::string::npos);

  r = test::runCommand(cli + "watch add trend 1e3 2>&1");
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_NE(r.out.find("1e3"), std::string::npos) << r.out;
  EXPECT_EQ(test::runCommand(cli + "watch list trend").out.find("1000"), std::string::npos);
}

// While another program holds the write lock of a file, the commands that
// write it name the file and the cause in one line, not SQLite's words.
TEST(CliFailures, AWriteLockHeldElsewhereNamesTheFile) {
  setLogQuiet(true);
  test::TempDir dir;
  const Paths paths(dir.path());
  test::plantStocks(paths.dailyDb(), {{"7203", "トヨタ自動車", "東証１部", 100, 2000, 2200}});
  std::ofstream(dir / "day.csv") << "SC,日付,株価\n7203,20261209,2501\n";
  std::ofstream(dir / "history.csv") << "コード,日付,終値\n7203,2026/03/02,2002\n";
  const std::string cli = test::cliPath() + " --root '" + toUtf8(dir.path()) + "' ";
  ASSERT_EQ(test::runCommand(cli + "watch add trend 7203 2>&1").status, 0);  // the watch-list file is made

  struct Holder {
    explicit Holder(const std::filesystem::path& file) {
      EXPECT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
      EXPECT_EQ(sqlite3_exec(db, "begin immediate", nullptr, nullptr, nullptr), SQLITE_OK);
    }
    ~Holder() {
      sqlite3_exec(db, "rollback", nullptr, nullptr, nullptr);
      sqlite3_close(db);
    }
    sqlite3* db = nullptr;
  };
  auto expectInUse = [&](const std::string& args, const std::filesystem::path& file) {
    const test::CommandResult r = test::runCommand(cli + args + " 2>&1 >/dev/null");
    EXPECT_EQ(r.status, 1) << args << ": " << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << args << ": " << r.out;
    EXPECT_NE(r.out.find(toUtf8(file) + " is in use by another program (locked); try again when it is done"),
              std::string::npos)
        << args << ": " << r.out;
    EXPECT_EQ(r.out.find("database is locked"), std::string::npos) << args << ": " << r.out;
  };
  const std::string before = test::readFileBytes(paths.dailyDb());
  {
    Holder holder(paths.dailyDb());
    expectInUse("latest 26/12/09:day.csv", paths.dailyDb());
    expectInUse("insert", paths.dailyDb());
    expectInUse("history import '" + toUtf8(dir / "history.csv") + "'", paths.dailyDb());
  }
  EXPECT_EQ(test::readFileBytes(paths.dailyDb()), before);
  {
    Holder holder(paths.watchListDb());
    expectInUse("watch add checklist 7203", paths.watchListDb());
  }
  // Once the other program is done, the same commands work.
  EXPECT_EQ(test::runCommand(cli + "watch add checklist 7203 2>&1").status, 0);
  EXPECT_EQ(test::runCommand(cli + "insert 2>&1").status, 0);
  setLogQuiet(false);
}
