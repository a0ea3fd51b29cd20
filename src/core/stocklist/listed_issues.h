#pragma once
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/outcome.h"

namespace tavrin {

// The exchange's list of listed issues (東証上場銘柄一覧, published monthly as
// data_j.xls): one sheet, a header row (日付, コード, 銘柄名, 市場・商品区分,
// 33業種コード, ...) and one row per issue. Any price file the importer reads
// (.xls, .xlsx, .ods, .csv) serves when its header names a code column and a
// name column; a market column is optional.

// What a 市場・商品区分 text says about the issue.
struct IssueSection {
  enum class Kind {
    Stock,  // a share on a market segment (domestic or foreign)
    Fund,   // ETF・ETN, REIT・…, 出資証券: taken only when funds are asked for
    Other,  // a text not known here: skipped
  };
  Kind kind = Kind::Other;
  // The short market word stored in list.市場: "東証プライム", "東証スタンダード",
  // "東証グロース", "東証PRO" (and the older words for the sections before
  // April 2022); "東証" for funds; empty for Other.
  std::string market;
};
IssueSection classifySection(const std::string& section);

// One issue to be kept in list.
struct ListedIssue {
  std::string code;     // as the code key: "7203", "130A"
  std::string name;     // as given
  std::string market;   // short market word; empty when the file has no market column
  std::string section;  // the whole 市場・商品区分 text, e.g. "プライム（内国株式）"
};

struct ListedIssuesOptions {
  bool includeFunds = false;  // also ETF・ETN, REIT and 出資証券 rows
};

// Rows of one kind that were not taken.
struct SkippedRows {
  enum class Reason {
    NoCode,     // the code cell holds no stock code
    IndexCode,  // code 1000, the index row of the price databases
    NoName,     // no name
    NoSection,  // an empty 市場・商品区分
    Duplicate,  // a code given again
    Section,    // a 市場・商品区分 not taken (section)
  };
  Reason reason = Reason::NoCode;
  std::string section;  // Section: the 市場・商品区分 text, e.g. "ETF・ETN"
  std::size_t count = 0;
};

// Why the list could not be read; detail gives the reader's reason.
enum class ListedIssuesFailure {
  None,
  Folder,      // the path is a folder
  Missing,     // no such file
  Empty,       // no bytes, or sheets without a cell
  OtherKind,   // a file of another kind (an image, a PDF, an archive, a program)
  Unreadable,  // damaged, too large, or cannot be read
  NoColumns,   // readable, but without a code column and a name column
};

struct ListedIssues : Outcome<ListedIssuesFailure> {
  std::vector<ListedIssue> issues;  // in file order, each code once
  // Rows not taken, by kind, in the order first seen.
  std::vector<SkippedRows> skipped;
  std::size_t rows = 0;  // data rows that hold anything
  bool hasMarketColumn = false;
  // The list's date: the day most rows of its 日付 column give (data_j.xls
  // gives one for every row); nullopt without such a column.
  std::optional<int> listDay;
  std::string source;  // the file's name; the service's name for its list

  std::size_t skippedRows() const;
};

// Reads the first sheet whose header (one of the first rows) names a code
// column ("コード", "銘柄コード", "code") and a name column ("銘柄名", "銘柄",
// "name"); the market column is "市場・商品区分" (or "市場区分", "市場").
// Codes: number cells as whole numbers (7203.0 is 7203), text cells trimmed,
// full-width characters as ASCII ones; a row whose code is no stock code is
// skipped. The row of code 1000 (the index of the price databases) is never
// taken. A folder, a missing or empty file, a file of another kind, one that
// is no readable price file, or whose sheets have no such header, fails
// with nothing read.
ListedIssues readListedIssues(const std::filesystem::path& file, const ListedIssuesOptions& options = {});

}  // namespace tavrin
