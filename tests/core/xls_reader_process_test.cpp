// The .xls reader runs in a process of its own: whatever it does — crash,
// hang, flood its output, write garbage — the import fails as a damaged
// workbook, writes nothing, and this process goes on.
#include <stdlib.h>
#include <sys/stat.h>

#include <gtest/gtest.h>
#include <chrono>
#include <fstream>

#include "base/log.h"
#include "data/stock_code.h"
#include "formats/xls/workbook.h"
#include "registration/price_import.h"
#include "registration_support.h"
#include "test_support.h"

using namespace tavrin;
using namespace tavrin::test;

namespace {

// Points the program at a stand-in reader for the life of the object.
class FakeReader {
 public:
  FakeReader(const TempDir& dir, const std::string& script) : path_(dir / "fake-reader") {
    std::ofstream(path_) << "#!/bin/sh\n" << script << "\n";
    ::chmod(path_.c_str(), 0755);
    ::setenv("TAVRIN_XLS_READER", path_.c_str(), 1);
  }
  ~FakeReader() { ::unsetenv("TAVRIN_XLS_READER"); }

 private:
  std::filesystem::path path_;
};

class XlsReaderProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    setLogQuiet(true);
    makePriceDb(dir / "kabuka.mdb", "day", {{"A", Value(std::int64_t(7203)), {Value(std::int64_t(1))}}});
    ASSERT_TRUE(writeWorkbook(paths.workbook("book"), {{"s261209", priceRows({{7203, 500}})}}));
  }
  void TearDown() override { setLogQuiet(false); }
  // The latest import of book.xls through whatever reader is set.
  ImportOutcome importBook() {
    Database d(dir / "kabuka.mdb");
    return importLatest(d, paths, periodFromParts("26", "12", "09", "book"), "day");
  }
  TempDir dir;
  Paths paths{dir.path()};
};

}  // namespace

TEST_F(XlsReaderProcess, EveryWayTheReaderCanFailIsADamagedWorkbook) {
  const std::string before = dumpPriceDb(dir / "kabuka.mdb");
  const std::pair<const char*, const char*> readers[] = {
      {"crash", "kill -SEGV $$"},
      {"abort", "kill -ABRT $$"},
      {"refusal without output", "exit 3"},
      {"garbage", "printf 'TXLS garbage that is no frame'"},
      {"half a frame", "printf 'TXLS\\001\\000\\000\\000\\001\\377\\377'"},
      {"exit 0 with nothing", "exit 0"},
  };
  for (const auto& [what, script] : readers) {
    FakeReader fake(dir, script);
    const ImportOutcome o = importBook();
    EXPECT_EQ(o.failure, ImportOutcome::Failure::Damaged) << what << ": " << describeFailure(o);
    EXPECT_EQ(o.failedWorkbook, "book.xls") << what;
  }
  EXPECT_EQ(dumpPriceDb(dir / "kabuka.mdb"), before);
  // The real reader again: the same file imports.
  EXPECT_TRUE(importBook().done());
}

TEST_F(XlsReaderProcess, AHangingOrFloodingReaderIsKilledAtItsLimit) {
  ReaderLimits limits;
  limits.wallTime = std::chrono::milliseconds(300);
  limits.outputBytes = 1 << 16;
  {
    // Its child keeps the pipe open too: the whole process group goes.
    FakeReader fake(dir, "sleep 60 & sleep 60");
    try {
      Workbook book(paths.workbook("book"), limits);
      ADD_FAILURE() << "a hanging reader was waited for";
    } catch (const FormatError& e) {
      EXPECT_EQ(e.kind(), FormatError::Kind::Damaged) << e.what();
    }
  }
  {
    FakeReader fake(dir, "printf 'TXLS'; exec yes");
    try {
      Workbook book(paths.workbook("book"), limits);
      ADD_FAILURE() << "a flood of output was taken";
    } catch (const FormatError& e) {
      EXPECT_EQ(e.kind(), FormatError::Kind::Damaged) << e.what();
      EXPECT_NE(std::string(e.what()).find("output"), std::string::npos) << e.what();
    }
  }
}

TEST_F(XlsReaderProcess, DamagedCopiesOfRealWorkbooksAreRefusedWhole) {
  // Damaged workbooks written from real ones by a script (the edits that
  // broke the reader or FreeXL when the files were first tried).
  const std::filesystem::path out = dir / "damaged";
  CommandResult r =
      runCommand("/usr/bin/python3 " + std::string(TAVRIN_TEST_DATA_DIR) + "/damaged_xls.py " + out.string());
  ASSERT_EQ(r.status, 0) << r.out;
  std::vector<std::filesystem::path> files;
  for (const auto& e : std::filesystem::directory_iterator(out)) files.push_back(e.path());
  ASSERT_GE(files.size(), 5u);
  const std::string before = dumpPriceDb(dir / "kabuka.mdb");
  for (const std::filesystem::path& f : files) {
    std::filesystem::copy_file(f, paths.workbook("book"), std::filesystem::copy_options::overwrite_existing);
    const ImportOutcome o = importBook();
    EXPECT_EQ(o.failure, ImportOutcome::Failure::Damaged) << f.filename() << ": " << describeFailure(o);
  }
  EXPECT_EQ(dumpPriceDb(dir / "kabuka.mdb"), before);
}
