#include "stocklist/listed_issues.h"

#include <algorithm>
#include <fstream>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "base/calendar.h"
#include "base/files.h"
#include "base/text.h"
#include "data/stock_code.h"
#include "formats/price_file.h"

namespace tavrin {

namespace {

// Rows looked at for the header.
constexpr std::uint32_t kHeaderSearchRows = 20;

bool contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

std::string asciiUpper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

std::string headerWord(const Value& cell) {
  if (!cell.isText()) return {};
  std::string t = trimmedBlanks(cell.textValue());
  for (char& c : t)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return t;
}

struct Columns {
  std::uint32_t headerRow = 0;
  std::uint32_t code = 0;
  std::uint32_t name = 0;
  std::optional<std::uint32_t> market;
  std::optional<std::uint32_t> date;
};

// The first of the candidate names that the row holds, as its column.
std::optional<std::uint32_t> findColumn(const SheetCells::Row& row, std::initializer_list<const char*> names) {
  for (const char* wanted : names)
    for (const auto& [column, value] : row.cells)
      if (headerWord(value) == wanted) return column;
  return std::nullopt;
}

std::optional<Columns> findColumns(const SheetCells& sheet) {
  for (const SheetCells::Row& row : sheet.rows) {
    if (row.index >= kHeaderSearchRows) break;
    std::optional<std::uint32_t> code = findColumn(row, {"コード", "銘柄コード", "code"});
    std::optional<std::uint32_t> name = findColumn(row, {"銘柄名", "銘柄", "name"});
    if (!code || !name) continue;
    Columns c;
    c.headerRow = row.index;
    c.code = *code;
    c.name = *name;
    c.market = findColumn(row, {"市場・商品区分", "市場区分", "市場"});
    c.date = findColumn(row, {"日付", "date"});
    return c;
  }
  return std::nullopt;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isDigitOrCapital(char c) { return isDigit(c) || (c >= 'A' && c <= 'Z'); }

// A code cell as the code key, or nullopt when it is no code of a listed
// issue. Such a code has four characters, the first and third digits, the
// second and fourth digits or capitals ("7203", "130A"); or five digits, the
// form with a trailing check digit 0 standing for the four-digit code
// ("72030" is 7203) and any other fifth digit a code of its own ("25935").
// Number cells are whole numbers, text cells are trimmed, full-width and
// lower-case characters are read as ASCII capitals, a market suffix
// ("7203.T") is dropped.
std::optional<std::string> issueCode(const Value& cell) {
  std::optional<std::string> key = stockCodeOf(cell);
  if (!key) return std::nullopt;
  const std::string& k = *key;
  if (k.size() == 4 && isDigit(k[0]) && isDigitOrCapital(k[1]) && isDigit(k[2]) && isDigitOrCapital(k[3])) return key;
  if (k.size() == 5 && std::all_of(k.begin(), k.end(), isDigit)) return key;
  return std::nullopt;
}

std::string cellText(const SheetCells::Row& row, std::uint32_t column) {
  const Value* v = row.at(column);
  return v ? trimmedBlanks(v->display()) : std::string();
}

class SkipCounter {
 public:
  explicit SkipCounter(std::vector<SkippedRows>& out) : out_(out) {}
  void add(SkippedRows::Reason reason, const std::string& section = {}) {
    for (SkippedRows& s : out_)
      if (s.reason == reason && s.section == section) {
        ++s.count;
        return;
      }
    out_.push_back({reason, section, 1});
  }

 private:
  std::vector<SkippedRows>& out_;
};

}  // namespace

IssueSection classifySection(const std::string& sectionText) {
  const std::string s = asciiUpper(trimmedBlanks(sectionText));
  using K = IssueSection::Kind;
  // A list that already names the market by its word (a list of our own, or
  // of a regional exchange) keeps it.
  for (const char* word : {"東証プライム",     "東証スタンダード", "東証グロース", "東証PRO",     "名証プレミア",
                           "名証メイン",       "名証ネクスト",     "福証",         "福証Q-BOARD", "札証",
                           "札証アンビシャス", "東証１部",         "東証２部",     "マザーズ",    "ジャスダック",
                           "大証１部",         "大証２部",         "名証１部",     "名証２部",    "ヘラクレス"})
    if (s == word) return {K::Stock, word == std::string("福証Q-BOARD") ? "福証Q-Board" : word};
  if (contains(s, "ETF") || contains(s, "ETN") || contains(s, "REIT") || contains(s, "出資証券") ||
      contains(s, "ファンド"))
    return {K::Fund, "東証"};
  if (contains(s, "PRO MARKET") || contains(s, "ＰＲＯ")) return {K::Stock, "東証PRO"};
  // The sections before April 2022, as older lists name them.
  if (contains(s, "JASDAQ")) return {K::Stock, "ジャスダック"};
  if (contains(s, "市場第一部")) return {K::Stock, "東証１部"};
  if (contains(s, "市場第二部")) return {K::Stock, "東証２部"};
  if (contains(s, "マザーズ")) return {K::Stock, "マザーズ"};
  // Today's segments.
  if (contains(s, "プライム")) return {K::Stock, "東証プライム"};
  if (contains(s, "スタンダード")) return {K::Stock, "東証スタンダード"};
  if (contains(s, "グロース")) return {K::Stock, "東証グロース"};
  return {K::Other, ""};
}

std::size_t ListedIssues::skippedRows() const {
  std::size_t n = 0;
  for (const SkippedRows& s : skipped) n += s.count;
  return n;
}

ListedIssues readListedIssues(const std::filesystem::path& file, const ListedIssuesOptions& options) {
  ListedIssues failed;
  failed.source = toUtf8(file.filename());
  // What the path is, before any reader says it is damaged.
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(file, ec);
  if (std::filesystem::is_directory(status)) {
    failed.fail(ListedIssuesFailure::Folder, "a folder, not a file");
    return failed;
  }
  if (!std::filesystem::exists(status)) {
    failed.fail(ListedIssuesFailure::Missing, "no such file");
    return failed;
  }
  if (std::filesystem::is_regular_file(status)) {
    const std::uintmax_t size = std::filesystem::file_size(file, ec);
    if (!ec && size == 0) {
      failed.fail(ListedIssuesFailure::Empty, "empty file");
      return failed;
    }
    std::ifstream in(file, std::ios::binary);
    std::string head(512, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    if (const char* kind = otherFileKind(head)) {
      failed.fail(ListedIssuesFailure::OtherKind, std::string("a file of another kind (") + kind +
                                                      "), not a workbook or CSV file (xls, xlsx, ods, csv)");
      return failed;
    }
  }
  std::unique_ptr<PriceFile> book;
  std::optional<SheetCells> sheet;
  std::optional<Columns> columns;
  bool anyCell = false;
  try {
    book = openPriceFile(file);
    const std::vector<std::string> names = book->hasSheets() ? book->sheetNames() : std::vector<std::string>{""};
    for (const std::string& name : names) {
      SheetCells cells = book->readSheet(name);
      anyCell = anyCell || cells.cellCount() > 0;
      columns = findColumns(cells);
      if (columns) {
        sheet = std::move(cells);
        break;
      }
    }
  } catch (const FormatError& e) {
    failed.fail(ListedIssuesFailure::Unreadable, std::string("not a readable workbook: ") + e.what());
    return failed;
  }
  if (!columns && !anyCell) {
    failed.fail(ListedIssuesFailure::Empty, "empty file (no sheet holds a cell)");
    return failed;
  }
  ListedIssues out;
  out.source = failed.source;
  if (!columns) {
    out.fail(ListedIssuesFailure::NoColumns, "no sheet has a code column and a name column (コード, 銘柄名)");
    return out;
  }

  out.hasMarketColumn = columns->market.has_value();
  SkipCounter skip(out.skipped);
  std::unordered_set<std::string> seen;
  std::unordered_map<int, std::size_t> dayRows;  // 日付 -> rows that give it
  for (const SheetCells::Row& row : sheet->rows) {
    if (row.index <= columns->headerRow) continue;
    ++out.rows;
    if (columns->date)
      if (const Value* dateCell = row.at(*columns->date))
        if (const std::optional<int> day = dayOfCell(*dateCell)) ++dayRows[*day];
    const Value* codeCell = row.at(columns->code);
    std::optional<std::string> code = codeCell ? issueCode(*codeCell) : std::nullopt;
    if (!code) {
      skip.add(SkippedRows::Reason::NoCode);
      continue;
    }
    if (*code == "1000") {
      skip.add(SkippedRows::Reason::IndexCode);
      continue;
    }
    ListedIssue issue;
    issue.code = *code;
    issue.name = cellText(row, columns->name);
    if (issue.name.empty()) {
      skip.add(SkippedRows::Reason::NoName);
      continue;
    }
    if (columns->market) {
      issue.section = cellText(row, *columns->market);
      const IssueSection section = classifySection(issue.section);
      const bool take = section.kind == IssueSection::Kind::Stock ||
                        (section.kind == IssueSection::Kind::Fund && options.includeFunds);
      if (!take) {
        if (issue.section.empty())
          skip.add(SkippedRows::Reason::NoSection);
        else
          skip.add(SkippedRows::Reason::Section, issue.section);
        continue;
      }
      issue.market = section.market;
    }
    if (!seen.insert(issue.code).second) {
      skip.add(SkippedRows::Reason::Duplicate);
      continue;
    }
    out.issues.push_back(std::move(issue));
  }
  // A stray date in a damaged row does not make the list newer or older.
  std::size_t most = 0;
  for (const auto& [day, n] : dayRows)
    if (n > most || (n == most && out.listDay && day > *out.listDay)) {
      most = n;
      out.listDay = day;
    }
  return out;
}

}  // namespace tavrin
