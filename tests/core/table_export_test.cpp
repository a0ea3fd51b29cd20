#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>

#include "app/paths.h"
#include "base/log.h"
#include "cli/file_texts.h"
#include "export/table_export.h"
#include "formats/csv_text.h"
#include "test_support.h"

using namespace tavrin;
using namespace tavrin::exporting;

namespace {

// Writes the table; false with the command line's text of the failure in *error.
bool writeTable(const std::filesystem::path& path, const ExportTable& t, ExportFormat f, std::string* error) {
  const ExportOutcome o = exporting::writeTable(path, t, f);
  *error = cli::exportFailureText(o);
  return o.done();
}

bool writeTable(const std::filesystem::path& path, const ExportRows& rows, ExportFormat f, std::string* error) {
  const ExportOutcome o = exporting::writeTable(path, rows, f);
  *error = cli::exportFailureText(o);
  return o.done();
}

bool csvBytes(const ExportTable& t, ExportFormat f, std::string& out, std::string* error) {
  const ExportOutcome o = exporting::csvBytes(t, f, out);
  *error = cli::exportFailureText(o);
  return o.done();
}

const std::string kSep = "\xE2\x90\x9E";  // U+241E, between the cells read_table.py prints

// A screening-like table with every kind of cell a grid shows.
ExportTable sampleTable() {
  ExportTable t;
  t.titles = {"ID", "銘柄", "コード", "市場", "単位", "26/12/09", "1日前"};
  t.sheetName = "全市場";
  t.rows.push_back({cellOf(Value(1)), cellOf(Value("トヨタ自動車")), cellOf(Value(7203)), cellOf(Value("東証プライム")),
                    cellOf(Value(100)), cellOf(Value(2890.5)), cellOf(Value(-3))});
  t.rows.push_back({cellOf(Value(2)), cellOf(Value("カンマ, と \"引用\"")), cellOf(Value("130A")),
                    cellOf(Value("東証グロース")), cellOf(Value(1)), cellOf(Value(123456789)), cellOf(Value())});
  t.rows.push_back({cellOf(Value(3)), cellOf(Value("改行\nあり")), cellOf(Value("0123")), cellOf(Value("ｶﾌﾞ①")),
                    cellOf(Value(1000)), cellOf(Value(0.25)), cellOf(Value(0))});
  return t;
}

// What read_table.py prints for the table: every cell a text, or empty.
std::string asTexts(const ExportTable& t) {
  auto line = [](const std::vector<std::string>& cells) {
    std::string out;
    for (size_t i = 0; i < cells.size(); ++i) {
      std::string v = cells[i];
      for (size_t p = 0; (p = v.find('\n', p)) != std::string::npos; p += 2) v.replace(p, 1, "\\n");
      out += (i ? kSep : "") + (v.empty() ? std::string("e:") : "s:" + v);
    }
    return out + "\n";
  };
  std::string out = line(t.titles);
  for (const auto& row : t.rows) {
    std::vector<std::string> texts;
    for (const auto& c : row) texts.push_back(c.text);
    out += line(texts);
  }
  return out;
}

test::CommandResult readBack(const std::string& kind, const std::filesystem::path& file, const std::string& enc = "") {
  return test::runCommand("/usr/bin/python3 " + std::string(TAVRIN_TEST_DATA_DIR) + "/read_table.py " + kind + " '" +
                          toUtf8(file) + "' " + enc);
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::string_view line;
  TextLines walk(text);
  while (walk.next(line)) out.emplace_back(line);
  return out;
}

}  // namespace

// The CSV of both encodings reads back, through Python's csv module, to
// exactly the texts the grid showed; quoting follows RFC 4180.
TEST(TableExport, CsvReadsBackInBothEncodings) {
  test::TempDir dir;
  const ExportTable t = sampleTable();
  const std::string text = csvText(t);
  EXPECT_EQ(text.substr(0, text.find("\r\n")), "ID,銘柄,コード,市場,単位,26/12/09,1日前");
  EXPECT_NE(text.find(",\"カンマ, と \"\"引用\"\"\",130A,"), std::string::npos);
  EXPECT_NE(text.find(",\"改行\nあり\",0123,"), std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");

  std::string error;
  ASSERT_TRUE(writeTable(dir / "utf8.csv", t, ExportFormat::CsvUtf8, &error)) << error;
  const std::string utf8 = test::readFileBytes(dir / "utf8.csv");
  EXPECT_EQ(utf8.substr(0, 3), "\xEF\xBB\xBF");
  EXPECT_EQ(utf8.substr(3), text);
  auto r = readBack("csv", dir / "utf8.csv", "utf-8-sig");
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.out, asTexts(t));

  ASSERT_TRUE(writeTable(dir / "sjis.csv", t, ExportFormat::CsvCp932, &error)) << error;
  const std::string sjis = test::readFileBytes(dir / "sjis.csv");
  EXPECT_NE(sjis.substr(0, 3), "\xEF\xBB\xBF");
  EXPECT_EQ(sjis.substr(0, 4), "ID,\x96");  // 銘 in code page 932
  r = readBack("csv", dir / "sjis.csv", "cp932");
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.out, asTexts(t));

  // The program's own CSV splitter reads the lines without breaks alike.
  const auto read = lines(*decodeTextFile(sjis));
  std::vector<std::string> fields;
  ASSERT_TRUE(splitCsvLine(read[2], ',', fields));
  EXPECT_EQ(fields,
            (std::vector<std::string>{"2", "カンマ, と \"引用\"", "130A", "東証グロース", "1", "123456789", ""}));

  // TSV keeps the columns: tabs and breaks inside a cell become blanks.
  ExportTable tabs;
  tabs.titles = {"a\tb", "c"};
  tabs.rows = {{{"x\ny", false}, {"1", true}}};
  EXPECT_EQ(tsvText(tabs), "a b\tc\nx y\t1\n");
}

// A text that code page 932 cannot hold is refused with the cell named; the
// file already there stays as it was and nothing is left beside it.
TEST(TableExport, Cp932RefusesTextsItCannotHold) {
  test::TempDir dir;
  ExportTable t = sampleTable();
  t.rows[1][1].text = "한국 주식";
  {
    std::ofstream old(dir / "out.csv");
    old << "old";
  }
  std::string error;
  EXPECT_FALSE(writeTable(dir / "out.csv", t, ExportFormat::CsvCp932, &error));
  EXPECT_NE(error.find("Shift_JIS"), std::string::npos) << error;
  EXPECT_NE(error.find("2行目 2列目「한국 주식」"), std::string::npos) << error;
  EXPECT_EQ(test::readFileBytes(dir / "out.csv"), "old");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
  // The same text goes into UTF-8 and .xlsx.
  EXPECT_TRUE(writeTable(dir / "out.csv", t, ExportFormat::CsvUtf8, &error));
  EXPECT_NE(test::readFileBytes(dir / "out.csv").find("한국 주식"), std::string::npos);
  t.titles[0] = "😀";
  std::string bytes;
  EXPECT_FALSE(csvBytes(t, ExportFormat::CsvCp932, bytes, &error));
  EXPECT_NE(error.find("見出し 1列目「😀」"), std::string::npos) << error;
}

// The workbook, read by openpyxl: titles as shown and bold, numbers as
// numbers (codes with letters or a leading zero stay texts), empty cells
// empty, columns as wide as their texts, the title row kept in view.
TEST(TableExport, XlsxReadsBackWithNumbersAsNumbers) {
  test::TempDir dir;
  ExportTable t = sampleTable();
  t.sheetName = "一覧: [全市場]/保合";
  std::string error;
  ASSERT_TRUE(writeTable(dir / "hits.xlsx", t, ExportFormat::Xlsx, &error)) << error;
  const auto r = readBack("xlsx", dir / "hits.xlsx");
  ASSERT_EQ(r.status, 0) << r.out;
  const auto got = lines(r.out);
  ASSERT_EQ(got.size(), 8u) << r.out;
  const std::string s = kSep;
  EXPECT_EQ(got[0],
            "s:ID" + s + "s:銘柄" + s + "s:コード" + s + "s:市場" + s + "s:単位" + s + "s:26/12/09" + s + "s:1日前");
  EXPECT_EQ(got[1], "n:1" + s + "s:トヨタ自動車" + s + "n:7203" + s + "s:東証プライム" + s + "n:100" + s + "n:2890.5" +
                        s + "n:-3");
  EXPECT_EQ(got[2], "n:2" + s + "s:カンマ, と \"引用\"" + s + "s:130A" + s + "s:東証グロース" + s + "n:1" + s +
                        "n:123456789" + s + "e:");
  EXPECT_EQ(got[3],
            "n:3" + s + "s:改行\\nあり" + s + "s:0123" + s + "s:ｶﾌﾞ①" + s + "n:1000" + s + "n:0.25" + s + "n:0");
  EXPECT_EQ(got[4], "sheet:一覧_ _全市場__保合");
  EXPECT_EQ(got[5], "bold:1111111");
  EXPECT_EQ(got[6], "freeze:A2");
  std::vector<std::string> widths;
  ASSERT_TRUE(splitCsvLine(got[7].substr(7), ',', widths));
  ASSERT_EQ(widths.size(), 7u);
  EXPECT_GT(std::stoi(widths[1]), std::stoi(widths[0]) + 4);  // 銘柄: twelve columns of Japanese text
  EXPECT_GE(std::stoi(widths[3]), 13);

  // A number marked as such but showing no number goes in as text.
  ExportTable odd;
  odd.titles = {"x"};
  odd.rows = {{{"—", true}}};
  ASSERT_TRUE(writeTable(dir / "odd.xlsx", odd, ExportFormat::Xlsx, &error)) << error;
  EXPECT_EQ(lines(readBack("xlsx", dir / "odd.xlsx").out)[1], "s:—");
}

// A place that cannot take the file is reported with its path and reason;
// nothing is written and nothing is left beside it; a read-only file is not
// replaced.
TEST(TableExport, FailuresToWriteAreReported) {
  test::TempDir dir;
  const ExportTable t = sampleTable();
  std::string error;
  for (ExportFormat f : {ExportFormat::CsvUtf8, ExportFormat::Xlsx}) {
    EXPECT_FALSE(writeTable(dir / "none" / "out.csv", t, f, &error));
    EXPECT_NE(error.find("ファイルに保存できませんでした: " + toUtf8(dir / "none" / "out.csv")), std::string::npos)
        << error;
    EXPECT_NE(error.find("フォルダがありません"), std::string::npos) << error;
    EXPECT_FALSE(writeTable(dir.path(), t, f, &error));
  }

  std::filesystem::create_directory(dir / "ro");
  {
    std::ofstream keep(dir / "ro" / "keep.xlsx");
    keep << "old";
  }
  std::filesystem::permissions(dir / "ro" / "keep.xlsx", std::filesystem::perms::owner_read);
  EXPECT_FALSE(writeTable(dir / "ro" / "keep.xlsx", t, ExportFormat::Xlsx, &error));
  EXPECT_NE(error.find("読み取り専用"), std::string::npos) << error;
  EXPECT_EQ(test::readFileBytes(dir / "ro" / "keep.xlsx"), "old");
  // A read-only folder (root writes into one: tavrin-cli is checked there
  // without that right in TableExportCli).
  std::filesystem::permissions(dir / "ro", std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  if (::access(toUtf8(dir / "ro").c_str(), W_OK) != 0) {
    for (ExportFormat f : {ExportFormat::CsvUtf8, ExportFormat::CsvCp932, ExportFormat::Xlsx}) {
      EXPECT_FALSE(writeTable(dir / "ro" / "out.xlsx", t, f, &error));
      EXPECT_NE(error.find("書き込みが許されていません"), std::string::npos) << error;
    }
  }
  std::filesystem::permissions(dir / "ro", std::filesystem::perms::owner_all);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "ro"), {}), 1);
}

// Replacing a file: the new table replaces the old one whole; the format
// follows the extension where none is given.
TEST(TableExport, PartFilesOfAKilledExportGoWithTheNextOne) {
  setLogQuiet(true);
  test::TempDir dir;
  const pid_t gone = ::fork();
  ASSERT_GE(gone, 0);
  if (gone == 0) ::_exit(0);
  ASSERT_EQ(::waitpid(gone, nullptr, 0), gone);
  const std::string dead = std::to_string(gone), alive = std::to_string(::getpid());
  // A killed export of a.csv and of another grid's b.xlsx; an export of this
  // process still writing c.csv.
  const std::vector<std::string> stale = {"a.csv.part-" + dead + "-0", "b.xlsx.part-" + dead + "-7"};
  const std::vector<std::string> kept = {"c.csv.part-" + alive + "-3", "notes.txt"};
  for (const auto& n : stale) std::ofstream(dir / n) << "half";
  for (const auto& n : kept) std::ofstream(dir / n) << "x";
  std::string error;
  ASSERT_TRUE(writeTable(dir / "a.csv", sampleTable(), ExportFormat::CsvUtf8, &error)) << error;
  for (const auto& n : stale) EXPECT_FALSE(std::filesystem::exists(dir / n)) << n;
  for (const auto& n : kept) EXPECT_TRUE(std::filesystem::exists(dir / n)) << n;
  EXPECT_TRUE(std::filesystem::exists(dir / "a.csv"));
  setLogQuiet(false);
}

TEST(TableExport, ReplacesWholeAndKnowsFormatsByName) {
  test::TempDir dir;
  ExportTable t = sampleTable();
  std::string error;
  ASSERT_TRUE(writeTable(dir / "a.csv", t, ExportFormat::CsvUtf8, &error));
  t.rows.resize(1);
  ASSERT_TRUE(writeTable(dir / "a.csv", t, ExportFormat::CsvUtf8, &error));
  EXPECT_EQ(test::readFileBytes(dir / "a.csv"), "\xEF\xBB\xBF" + csvText(t));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
  EXPECT_EQ(formatForPath("x.XLSX"), ExportFormat::Xlsx);
  EXPECT_EQ(formatForPath("x.csv"), ExportFormat::CsvUtf8);
  EXPECT_EQ(formatForPath("x.tsv"), ExportFormat::Tsv);
  EXPECT_EQ(displayWidth("東証A"), 5);
  EXPECT_EQ(displayWidth("ｶﾌﾞ"), 3);
}

namespace {
// The TSV a read_table.py listing stands for: the values without their kinds.
std::string tsvOfListing(const std::string& listing) {
  std::string out;
  for (const std::string& line : lines(listing)) {
    if (line.rfind("sheet:", 0) == 0) break;
    std::string row;
    size_t start = 0;
    while (true) {
      const size_t end = line.find(kSep, start);
      const std::string cell = line.substr(start, end == std::string::npos ? std::string::npos : end - start);
      row += (start ? "\t" : "") + cell.substr(2);
      if (end == std::string::npos) break;
      start = end + kSep.size();
    }
    out += row + "\n";
  }
  return out;
}
}  // namespace

// tavrin-cli screen, watch list and dump write files that hold exactly the
// rows and cells of their TSV; numbers stay numbers in the workbook.
TEST(TableExportCli, FilesHoldWhatTheTsvHolds) {
  test::TempDir dir;
  const std::string cli = test::cliPath() + " --root '" + toUtf8(dir.path()) + "' ";
  ASSERT_EQ(test::runCommand(cli + "demo --stocks 300 --seed 5 >/dev/null").status, 0);
  const std::string screen = cli + "screen --universe 1001 --pattern Command14 ";
  const auto tsv = test::runCommand(screen);
  ASSERT_EQ(tsv.status, 0);
  ASSERT_GE(lines(tsv.out).size(), 2u);
  EXPECT_EQ(test::runCommand(screen + "--format tsv").out, tsv.out);

  ASSERT_EQ(test::runCommand(screen + "--format csv --output '" + toUtf8(dir / "hits.csv") + "'").status, 0);
  auto back = readBack("csv", dir / "hits.csv", "utf-8-sig");
  ASSERT_EQ(back.status, 0);
  EXPECT_EQ(tsvOfListing(back.out), tsv.out);
  ASSERT_EQ(test::runCommand(screen + "--format csv-cp932 --output '" + toUtf8(dir / "sjis.csv") + "'").status, 0);
  EXPECT_EQ(tsvOfListing(readBack("csv", dir / "sjis.csv", "cp932").out), tsv.out);

  ASSERT_EQ(test::runCommand(screen + "--output '" + toUtf8(dir / "hits.xlsx") + "'").status, 0);
  back = readBack("xlsx", dir / "hits.xlsx");
  ASSERT_EQ(back.status, 0) << back.out;
  EXPECT_EQ(tsvOfListing(back.out), tsv.out);
  // ID, 銘柄, コード, 市場, 単位, two prices, nine ratios.
  const std::string firstRow = lines(back.out)[1];
  EXPECT_EQ(firstRow.rfind("n:", 0), 0u);
  EXPECT_NE(firstRow.find(kSep + "s:"), std::string::npos);
  EXPECT_EQ(lines(back.out)[lines(tsv.out).size() + 1], "bold:1111111111111111");

  // Options that do not fit together are wrong arguments.
  EXPECT_EQ(test::runCommand(screen + "--format csv 2>/dev/null").status, 2);
  EXPECT_EQ(test::runCommand(screen + "--format ods --output x.ods 2>/dev/null").status, 2);
  EXPECT_EQ(
      test::runCommand(cli + "screen --universe 1001 --all-patterns --format csv --output x.csv 2>/dev/null").status,
      2);
  // A place that cannot take the file fails with one line: a missing folder,
  // a read-only one (root loses its right to write anywhere for this).
  auto failed = test::runCommand(screen + "--format xlsx --output '" + toUtf8(dir / "none" / "x.xlsx") + "' 2>&1");
  EXPECT_EQ(failed.status, 1);
  EXPECT_NE(failed.out.find("ファイルに保存できませんでした"), std::string::npos) << failed.out;
  std::filesystem::create_directory(dir / "ro");
  std::filesystem::permissions(dir / "ro", std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec |
                                               std::filesystem::perms::others_read |
                                               std::filesystem::perms::others_exec);
  const std::string withoutRights = ::geteuid() == 0 ? "setpriv --bounding-set=-dac_override,-dac_read_search " : "";
  for (const char* format : {"csv", "csv-cp932", "xlsx"}) {
    failed = test::runCommand(withoutRights + screen + "--format " + format + " --output '" +
                              toUtf8(dir / "ro" / "x.out") + "' 2>&1");
    EXPECT_EQ(failed.status, 1) << format;
    EXPECT_NE(failed.out.find("書き込みが許されていません"), std::string::npos) << failed.out;
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir / "ro"));
  std::filesystem::permissions(dir / "ro", std::filesystem::perms::owner_all);

  const auto watch = test::runCommand(cli + "watch list trend");
  ASSERT_EQ(watch.status, 0);
  ASSERT_EQ(test::runCommand(cli + "watch list trend --format xlsx --output '" + toUtf8(dir / "w.xlsx") + "'").status,
            0);
  EXPECT_EQ(tsvOfListing(readBack("xlsx", dir / "w.xlsx").out), watch.out);
  const auto dump = test::runCommand(cli + "dump list");
  ASSERT_EQ(dump.status, 0);
  ASSERT_EQ(test::runCommand(cli + "dump --output '" + toUtf8(dir / "list.csv") + "' list").status, 0);
  EXPECT_EQ(tsvOfListing(readBack("csv", dir / "list.csv", "utf-8-sig").out), dump.out);
}

// The outcome of a save names its kind, the file the user chose and, for
// code page 932, the first text at fault; nothing is left beside the file.
TEST(TableExport, OutcomesNameTheKindAndThePlace) {
  test::TempDir dir;
  ExportTable t = sampleTable();
  t.rows[2][3].text = "한";
  ExportOutcome o = exporting::writeTable(dir / "x.csv", t, ExportFormat::CsvCp932);
  EXPECT_EQ(o.failure, ExportFailure::NotCp932);
  EXPECT_TRUE(o.cellFound);
  EXPECT_EQ(o.row, 3u);
  EXPECT_EQ(o.column, 4u);
  EXPECT_EQ(o.cellText, "한");
  t.titles[6] = "😀";
  std::string bytes = "old";
  o = exporting::csvBytes(t, ExportFormat::CsvCp932, bytes);
  EXPECT_EQ(o.failure, ExportFailure::NotCp932);
  EXPECT_EQ(o.row, 0u);
  EXPECT_EQ(o.column, 7u);
  EXPECT_TRUE(bytes.empty());
  EXPECT_TRUE(exporting::csvBytes(t, ExportFormat::CsvUtf8, bytes).done());

  t = sampleTable();
  o = exporting::writeTable(dir / "none" / "x.xlsx", t, ExportFormat::Xlsx);
  EXPECT_EQ(o.failure, ExportFailure::NoFolder);
  EXPECT_EQ(o.path, dir / "none" / "x.xlsx");
  EXPECT_EQ(exporting::writeTable(dir.path(), t, ExportFormat::Tsv).failure, ExportFailure::IsFolder);

  // A workbook past a worksheet's columns is refused before anything is
  // written; the text names the file chosen, not the one in the making.
  ExportTable wide;
  wide.titles.assign(kSheetCols + 1, "c");
  o = exporting::writeTable(dir / "wide.xlsx", wide, ExportFormat::Xlsx);
  EXPECT_EQ(o.failure, ExportFailure::TooManyColumns);
  EXPECT_EQ(cli::exportFailureText(o),
            "ファイルに保存できませんでした: " + toUtf8(dir / "wide.xlsx") + "（列が多すぎます（16,384列まで））");
  wide.titles = {"ok", "\xFF"};
  EXPECT_EQ(exporting::writeTable(dir / "bad.xlsx", wide, ExportFormat::Xlsx).failure, ExportFailure::BadTitle);
  wide.titles = {"ok"};
  wide.rows = {{{"a", false}, {std::string(kCellChars + 1, 'x'), false}}};
  EXPECT_EQ(exporting::writeTable(dir / "bad.xlsx", wide, ExportFormat::Xlsx).failure, ExportFailure::BadCell);
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

// A grid's rows saved as they are made: the file holds what the whole table
// gives, and a failure found far into the rows (a text code page 932 lacks,
// a text no cell holds) leaves the file there as it was and nothing beside.
TEST(TableExport, RowsSavedAsTheyAreMade) {
  test::TempDir dir;
  const ExportTable sample = sampleTable();
  ExportRows rows;
  rows.titles = sample.titles;
  rows.sheetName = sample.sheetName;
  rows.count = 20000;
  rows.row = [&sample](std::size_t i, std::vector<ExportCell>& cells) {
    cells = sample.rows[i % sample.rows.size()];
    cells[0].text = std::to_string(i + 1);
  };
  ExportTable whole;
  whole.titles = rows.titles;
  whole.sheetName = rows.sheetName;
  whole.rows.resize(rows.count);
  for (std::size_t i = 0; i < rows.count; ++i) rows.row(i, whole.rows[i]);
  std::string error;
  for (ExportFormat f : {ExportFormat::CsvUtf8, ExportFormat::CsvCp932, ExportFormat::Tsv}) {
    ASSERT_TRUE(writeTable(dir / "rows.csv", rows, f, &error)) << error;
    ASSERT_TRUE(writeTable(dir / "whole.csv", whole, f, &error)) << error;
    EXPECT_TRUE(test::readFileBytes(dir / "rows.csv") == test::readFileBytes(dir / "whole.csv"));
  }
  rows.count = 1500;
  whole.rows.resize(rows.count);
  ASSERT_TRUE(writeTable(dir / "rows.xlsx", rows, ExportFormat::Xlsx, &error)) << error;
  ASSERT_TRUE(writeTable(dir / "whole.xlsx", whole, ExportFormat::Xlsx, &error)) << error;
  const auto a = readBack("xlsx", dir / "rows.xlsx");
  ASSERT_EQ(a.status, 0) << a.out;
  EXPECT_EQ(a.out, readBack("xlsx", dir / "whole.xlsx").out);
  EXPECT_EQ(lines(a.out)[1500].rfind("n:1500" + kSep + "s:改行\\nあり", 0), 0u) << lines(a.out)[1500];

  // Far into the rows, past what the writer gathers before it writes.
  rows.count = 20000;
  std::ofstream(dir / "keep.csv") << "old";
  std::ofstream(dir / "keep.xlsx") << "old";
  auto failAt = [&](std::size_t at, std::string text) {
    rows.row = [&sample, at, text](std::size_t i, std::vector<ExportCell>& cells) {
      cells = sample.rows[i % sample.rows.size()];
      if (i == at) cells[3].text = text;
    };
  };
  failAt(18000, "한국");
  const ExportOutcome o = exporting::writeTable(dir / "keep.csv", rows, ExportFormat::CsvCp932);
  EXPECT_EQ(o.failure, ExportFailure::NotCp932);
  EXPECT_EQ(o.row, 18001u);
  EXPECT_EQ(o.column, 4u);
  EXPECT_EQ(o.path, dir / "keep.csv");
  failAt(19999, std::string(kCellChars + 1, 'x'));
  EXPECT_EQ(exporting::writeTable(dir / "keep.xlsx", rows, ExportFormat::Xlsx).failure, ExportFailure::BadCell);
  EXPECT_EQ(test::readFileBytes(dir / "keep.csv"), "old");
  EXPECT_EQ(test::readFileBytes(dir / "keep.xlsx"), "old");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 6);
}
