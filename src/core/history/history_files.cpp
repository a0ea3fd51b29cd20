#include "history/history_files.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <fstream>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "app/paths.h"
#include "base/calendar.h"
#include "base/files.h"
#include "base/log.h"
#include "base/text.h"
#include "data/stock_code.h"
#include "formats/csv_text.h"
#include "formats/history_layout.h"
#include "history/history_checks.h"
#include "history/price_history.h"

namespace tavrin {

namespace {

constexpr std::size_t kProgressLines = 50000;

std::string nameOnly(const std::filesystem::path& p) { return toUtf8(p.filename()); }

bool digit(char c) { return static_cast<unsigned char>(c - '0') < 10; }

// A field as the messages quote it.
std::string inQuotes(std::string_view field) { return "'" + shownLine(field, 40) + "'"; }

// Dates of a file, one after the other: YYYY-MM-DD within the month of the
// line before is the day of the month from the month's first day.
class DayReader {
 public:
  std::optional<int> operator()(std::string_view t) {
    if (t.size() >= 10 && (t.size() == 10 || t[10] == ' ' || t[10] == 'T') && t[4] == '-' && t[7] == '-' &&
        digit(t[8]) && digit(t[9]) && t.substr(0, 7) == std::string_view(month_, 7)) {
      const int d = (t[8] - '0') * 10 + (t[9] - '0');
      if (d >= 1 && d <= monthDays_) return monthStart_ + d - 1;
    }
    const std::optional<int> day = parseHistoryDate(t);
    if (day && t.size() >= 10 && t[4] == '-' && t[7] == '-') {
      int y, m, d;
      civilFromDay(*day, y, m, d);
      monthStart_ = *day - d + 1;
      monthDays_ = m == 12 ? 31 : *dayFromCivil(y, m + 1, 1) - monthStart_;
      std::memcpy(month_, t.data(), 7);
    }
    return day;
  }

 private:
  char month_[7] = {};  // "2024-12" of the month kept
  int monthStart_ = 0;
  int monthDays_ = 0;
};

enum class Field { Empty, Value, Bad };

// A price written as plain decimal digits ("2771.5", "280.70001220703125"):
// tenths of a yen rounded as tenthsOfPriceText rounds (to the nearest,
// halves to even on the digits). False for any other form.
bool plainTenths(std::string_view s, std::int64_t& tenths) {
  const char* p = s.data();
  const char* const end = p + s.size();
  std::uint64_t whole = 0;  // wraps past 20 digits; more than 10 are refused below
  for (; p < end && digit(*p); ++p) whole = whole * 10 + static_cast<unsigned>(*p - '0');
  const std::ptrdiff_t wholeDigits = p - s.data();
  if (wholeDigits == 0 || wholeDigits > 10) return false;
  int tenth = 0, next = -1;
  bool restNonZero = false;
  if (p < end) {
    if (*p++ != '.') return false;
    if (p < end) {
      if (!digit(*p)) return false;
      tenth = *p++ - '0';
    }
    if (p < end) {
      if (!digit(*p)) return false;
      next = *p++ - '0';
    }
    for (; p < end; ++p) {
      if (!digit(*p)) return false;
      restNonZero |= *p != '0';
    }
  }
  tenths = static_cast<std::int64_t>(whole) * 10 + tenth;
  if (next > 5 || (next == 5 && (restNonZero || (tenths & 1)))) ++tenths;
  return true;
}

// A field as priceOf reads a price cell's text: full-width forms folded,
// thousands separators, blanks and quotes dropped.
std::string cleanedNumber(std::string_view s) {
  std::string t;
  for (char c : foldFullWidth(s))
    if (c != ',' && c != ' ' && c != '\t' && c != '\r' && c != '"') t += c;
  return t;
}

// What files write for "no value": nothing, dashes, null, N/A, NaN.
bool noValue(const std::string& t) {
  if (t.empty() || t.find_first_not_of('-') == std::string::npos) return true;
  if (t == "\xE2\x80\x95" || t == "\xE2\x80\x94" || t == "\xE2\x88\x92") return true;  // ― — −
  return t == "null" || t == "NULL" || t == "N/A" || t == "n/a" || t == "NaN" || t == "nan";
}

Field priceField(std::string_view s, std::int32_t& out) {
  if (s.empty()) return Field::Empty;
  std::int64_t tenths = 0;
  // Up to 24 characters: no more digits than tenthsOfPriceText weighs.
  if (s.size() <= 24 && plainTenths(s, tenths)) {
    if (tenths < 1 || tenths > kMaxPriceTenths) return Field::Bad;
    out = static_cast<std::int32_t>(tenths);
    return Field::Value;
  }
  const std::string t = cleanedNumber(s);
  if (noValue(t)) return Field::Empty;
  const std::optional<std::int32_t> p = tenthsOfPriceText(t);
  if (!p) return Field::Bad;
  out = *p;
  return Field::Value;
}

// A whole number written as decimal digits, maybe with a fraction of zeros
// or an exponent ("51442500", "51442500.0", "5.14425e7"); false when it is
// not a whole number from 0 to INT64_MAX.
bool wholeCount(std::string_view s, std::int64_t& out) {
  std::string digits;  // significant digits
  int pointAt = 0;     // digits before the point
  bool any = false, seenPoint = false;
  std::size_t i = 0;
  if (i < s.size() && s[i] == '+') ++i;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    if (digit(c)) {
      any = true;
      if (digits.empty() && c == '0') {
        if (seenPoint) --pointAt;
        continue;
      }
      if (digits.size() > 40) return false;
      digits.push_back(c);
      if (!seenPoint) ++pointAt;
    } else if (c == '.' && !seenPoint) {
      seenPoint = true;
    } else {
      break;
    }
  }
  if (!any) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    if (i >= s.size()) return false;
    int exp = 0;
    for (; i < s.size() && digit(s[i]); ++i)
      if (exp < 1000) exp = exp * 10 + (s[i] - '0');
    pointAt += negative ? -exp : exp;
  }
  if (i != s.size()) return false;
  if (digits.empty()) {
    out = 0;
    return true;
  }
  if (pointAt < static_cast<int>(digits.size())) {
    // A whole number: every digit after the point is a zero.
    for (std::size_t k = static_cast<std::size_t>(std::max(pointAt, 0)); k < digits.size(); ++k)
      if (digits[k] != '0') return false;
  }
  if (pointAt > 19) return false;
  std::uint64_t v = 0;  // 19 digits fit
  for (int k = 0; k < pointAt; ++k) {
    const std::size_t at = static_cast<std::size_t>(k);
    v = v * 10 + static_cast<unsigned>(at < digits.size() ? digits[at] - '0' : 0);
  }
  if (v > static_cast<std::uint64_t>(INT64_MAX)) return false;
  out = static_cast<std::int64_t>(v);
  return true;
}

Field volumeField(std::string_view s, std::int64_t& out) {
  if (s.empty()) return Field::Empty;
  // The plain forms: digits, maybe ".0" as pandas writes a float column.
  std::size_t i = 0;
  std::int64_t v = 0;
  while (i < s.size() && i < 18 && digit(s[i])) v = v * 10 + (s[i++] - '0');
  if (i > 0 && (i == s.size() || (s[i] == '.' && s.find_first_not_of('0', i + 1) == std::string_view::npos))) {
    out = v;
    return Field::Value;
  }
  const std::string t = cleanedNumber(s);
  if (noValue(t)) return Field::Empty;
  return wholeCount(t, out) ? Field::Value : Field::Bad;
}

}  // namespace

std::optional<std::string> codeFromFileName(const std::string& fileName) {
  std::string base = toUtf8(std::filesystem::path(fromUtf8(fileName)).filename());
  const size_t dot = base.find('.');
  if (dot != std::string::npos) base.resize(dot);
  return stockCodeOfTicker(base);
}

int historyLatestDay() {
  const std::tm now = localNow();
  return dayFromCivil(now.tm_year + 1900, now.tm_mon + 1, now.tm_mday).value_or(0) + 1;
}

ParsedHistoryFile parseHistoryFile(const std::string& raw, const std::string& fileName, int latestDay) {
  ParsedHistoryFile out;
  std::optional<std::string> fileCode;
  std::vector<std::string> groupCodes;  // the downloader's layout: the code of each ticker
  auto onHeader = [&](const HistoryHeader& header) -> std::string {
    switch (header.layout) {
      case HistoryLayout::Downloader: out.layout = ParsedHistoryFile::Layout::Downloader; break;
      case HistoryLayout::BulkDownload: out.layout = ParsedHistoryFile::Layout::BulkDownload; break;
      case HistoryLayout::Export: out.layout = ParsedHistoryFile::Layout::Export; break;
      case HistoryLayout::PerDay: out.layout = ParsedHistoryFile::Layout::PerDay; break;
    }
    out.adjustedCloses = header.adjustedCloses;
    if (header.layout == HistoryLayout::Export) {
      fileCode = codeFromFileName(fileName);
      if (!fileCode) return "no stock code in the file name";
    }
    for (const std::string& ticker : header.tickers) {
      std::optional<std::string> c = stockCodeOfTicker(ticker);
      if (!c) return "no stock code in the ticker " + inQuotes(ticker);
      groupCodes.push_back(std::move(*c));
    }
    out.records.reserve(raw.size() / 40 * std::max<std::size_t>(1, header.tickers.size()));
    return {};
  };
  DayReader dayOf;
  std::string lastCodeText;  // the code column's last field and its code
  std::optional<std::string> lastCode;
  auto onLine = [&](const HistoryTextLine& line) -> std::string {
    ++out.lines;
    const std::string* code;
    if (fileCode) {
      code = &*fileCode;
    } else if (!groupCodes.empty()) {
      code = &groupCodes[line.group];
    } else {
      if (line.code != lastCodeText || lastCodeText.empty()) {
        lastCodeText.assign(line.code);
        lastCode = stockCodeOfTicker(lastCodeText);
      }
      if (!lastCode) return line.where() + ": no stock code " + inQuotes(line.code);
      code = &*lastCode;
    }
    const std::optional<int> day = dayOf(line.date);
    if (!day) return line.where() + ": date " + inQuotes(line.date);
    if (*day < kFirstHistoryDay) return line.where() + ": date " + inQuotes(line.date) + " before 1949-05-16";
    if (*day > latestDay) return line.where() + ": date " + inQuotes(line.date) + " after " + isoDate(latestDay);
    Bar b;
    b.day = *day;
    switch (priceField(line.close, b.close)) {
      case Field::Empty: ++out.withoutClose; return {};
      case Field::Bad: return line.where() + ": close " + inQuotes(line.close);
      case Field::Value: break;
    }
    if (priceField(line.open, b.open) == Field::Bad) return line.where() + ": open " + inQuotes(line.open);
    if (priceField(line.high, b.high) == Field::Bad) return line.where() + ": high " + inQuotes(line.high);
    if (priceField(line.low, b.low) == Field::Bad) return line.where() + ": low " + inQuotes(line.low);
    if (volumeField(line.volume, b.volume) == Field::Bad) return line.where() + ": volume " + inQuotes(line.volume);
    out.records.push_back(HistoryFileRecord{*code, b});
    return {};
  };
  HistoryTextOutcome read = readHistoryText(raw, onHeader, onLine);
  switch (read.failure) {
    case HistoryTextFailure::None: return out;
    case HistoryTextFailure::Empty: out.fail(HistoryFileFailure::Empty, std::move(read.detail)); break;
    case HistoryTextFailure::OtherKind: out.fail(HistoryFileFailure::OtherKind, std::move(read.detail)); break;
    case HistoryTextFailure::Damaged: out.fail(HistoryFileFailure::Damaged, std::move(read.detail)); break;
  }
  out.firstLine = std::move(read.firstLine);
  out.records.clear();
  return out;
}

ParsedHistoryFile readHistoryFile(const std::filesystem::path& path, int latestDay) {
  ParsedHistoryFile out;
  FileBytes file = readWholeFile(path, kMaxHistoryFileBytes, kMaxLineBytes);
  switch (file.failure) {
    case FileBytes::Failure::None: return parseHistoryFile(file.bytes, toUtf8(path.filename()), latestDay);
    case FileBytes::Failure::LineTooLong: {
      // The bytes up to the long line, refused as the whole file would be (a
      // binary file as one of another kind); never taken for the file.
      out = parseHistoryFile(file.bytes, toUtf8(path.filename()), latestDay);
      if (out.done()) {
        out = ParsedHistoryFile();
        out.fail(HistoryFileFailure::Damaged, longLineReason(file.line));
      }
      break;
    }
    case FileBytes::Failure::Missing: out.fail(HistoryFileFailure::Missing, "no such file"); break;
    case FileBytes::Failure::NotAFile: {
      std::error_code ec;
      if (std::filesystem::is_directory(path, ec))
        out.fail(HistoryFileFailure::Folder, "a folder, not a file");
      else
        out.fail(HistoryFileFailure::Unreadable, "cannot read: not a regular file");
      break;
    }
    case FileBytes::Failure::TooLarge:
      out.fail(HistoryFileFailure::TooLarge, groupedCount(static_cast<std::int64_t>(file.size)) + " bytes, more than " +
                                                 std::to_string(kMaxHistoryFileBytes >> 20) + " MiB");
      break;
    case FileBytes::Failure::Unreadable:
      out.fail(HistoryFileFailure::Unreadable, "cannot read" + (file.error ? ": " + file.error.message() : ""));
      break;
  }
  return out;
}

namespace {

// Reads and parses one file (the work the reader thread does).
struct ReadFile {
  HistoryFileReport report;
  ParsedHistoryFile parsed;
};

ReadFile readOne(const std::filesystem::path& path) {
  ReadFile r;
  r.report.file = path;
  r.parsed = readHistoryFile(path);
  if (!r.parsed.done()) r.report.fail(r.parsed.failure, r.parsed.detail);
  r.report.adjustedCloses = r.parsed.adjustedCloses;
  r.report.firstLine = r.parsed.firstLine;
  r.report.lines = r.parsed.lines;
  return r;
}

// Files are read and parsed on a thread of their own, a few ahead of the
// writer, in the order given.
class FileReader {
 public:
  explicit FileReader(const std::vector<std::filesystem::path>& files) : files_(files) {
    thread_ = std::thread([this] { run(); });
  }
  ~FileReader() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
  ReadFile next() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return !ready_.empty(); });
    ReadFile r = std::move(ready_.front());
    ready_.pop_front();
    changed_.notify_all();
    return r;
  }

 private:
  void run() {
    for (const std::filesystem::path& f : files_) {
      {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return stop_ || ready_.size() < kAhead; });
        if (stop_) return;
      }
      ReadFile r;
      try {
        r = readOne(f);
      } catch (const std::exception& e) {
        r = ReadFile{};
        r.report.file = f;
        r.report.fail(HistoryFileFailure::Unreadable, std::string("cannot read: ") + e.what());
      }
      std::lock_guard<std::mutex> lock(mutex_);
      ready_.push_back(std::move(r));
      changed_.notify_all();
    }
  }
  static constexpr std::size_t kAhead = 3;
  const std::vector<std::filesystem::path>& files_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<ReadFile> ready_;
  bool stop_ = false;
  std::thread thread_;
};

// Files are written in batches of one transaction (a commit per file would
// sync the disk thousands of times); each file has a savepoint of its own
// so that a file the database refuses leaves nothing of it behind.
constexpr std::size_t kBatchBars = 2'000'000;
// The closes before the first day an import writes that its checks look at.
constexpr std::ptrdiff_t kCheckBefore = 8;

}  // namespace

HistoryImportOutcome importHistoryFiles(Database& db, const std::vector<std::filesystem::path>& files,
                                        const HistoryProgressFn& progress) {
  HistoryImportOutcome out;
  out.files = files.size();
  std::unordered_map<std::string, Value> codes;
  try {
    codes = listCodes(db);
    Transaction tx(db);
    ensureHistoryTable(db);
    tx.commit();
  } catch (const std::exception& e) {
    out.fail(HistoryImportFailure::Database, e.what());
    return out;
  }
  HistoryImportProgress pr;
  pr.files = files.size();
  auto report = [&]() { return !progress || progress(pr); };
  std::unordered_map<std::string, int> touched;  // code -> the earliest day written
  std::optional<Transaction> batch;
  std::size_t batchBars = 0, batchFiles = 0;
  // A batch the database refuses keeps none of its files: they count as not
  // written, and the import stops.
  auto loseBatch = [&](const std::string& why) {
    batch.reset();
    out.imported -= batchFiles;
    out.failed += batchFiles;
    out.written -= batchBars;
    batchBars = batchFiles = 0;
    out.fail(HistoryImportFailure::Database, "not written: " + why);
    logLine("history import", out.detail);
  };
  auto commitBatch = [&]() -> bool {
    if (!batch) return true;
    try {
      batch->commit();
    } catch (const std::exception& e) {
      loseBatch(e.what());
      return false;
    }
    batch.reset();
    batchBars = batchFiles = 0;
    return true;
  };
  {
    FileReader reader(files);
    for (size_t i = 0; i < files.size(); ++i) {
      ReadFile read = reader.next();
      HistoryFileReport& rep = read.report;
      pr.current = nameOnly(files[i]);
      out.lines += rep.lines;
      pr.lines += rep.lines;
      if (rep.done()) {
        bool savepoint = false;
        try {
          if (!batch) batch.emplace(db);
          db.exec("savepoint history_file");
          savepoint = true;
          HistoryWriter writer(db);
          std::size_t sinceReport = 0;
          const std::string* lastCode = nullptr;
          std::string lastHitCode;  // the code looked up last, and what list said
          std::optional<std::unordered_map<std::string, Value>::const_iterator> lastHit;
          for (const HistoryFileRecord& r : read.parsed.records) {
            if (lastCode && *lastCode != r.code) writer.flush();  // one stock at a time
            lastCode = &r.code;
            if (!lastHit || lastHitCode != r.code) {
              lastHitCode = r.code;
              lastHit = codes.find(r.code);
            }
            const auto hit = *lastHit;
            if (hit == codes.end()) {
              rep.unknownCodes.insert(r.code);
              ++rep.unknownLines;
              continue;
            }
            if (auto [t, added] = touched.emplace(r.code, r.bar.day); !added && r.bar.day < t->second)
              t->second = r.bar.day;
            writer.put(hit->second, r.bar);
            if (++sinceReport == kProgressLines) {
              sinceReport = 0;
              pr.written = out.written + writer.written();
              report();
            }
          }
          writer.flush();
          db.exec("release history_file");
          rep.written = writer.written();
          rep.imported = true;
          batchBars += rep.written;
          ++batchFiles;
        } catch (const std::exception& e) {
          if (savepoint) {
            try {
              db.exec("rollback to history_file");
              db.exec("release history_file");
            } catch (const std::exception& again) {
              loseBatch(again.what());
              return out;
            }
          }
          rep.fail(HistoryFileFailure::NotWritten, std::string("not written: ") + e.what());
          rep.written = 0;
        }
      }
      if (rep.imported) {
        ++out.imported;
        out.written += rep.written;
      } else {
        ++out.failed;
        logLine("history import", toUtf8(rep.file) + ": " + rep.detail);
      }
      out.unknownCodes.insert(rep.unknownCodes.begin(), rep.unknownCodes.end());
      if (!rep.imported || !rep.unknownCodes.empty() || rep.adjustedCloses) out.notes.push_back(std::move(rep));
      if (batchBars >= kBatchBars && !commitBatch()) return out;
      pr.file = i + 1;
      pr.written = out.written;
      if (!report() && i + 1 < files.size()) {
        out.stopped = true;
        break;
      }
    }
  }
  if (!commitBatch()) return out;
  try {
    out.incompleteDays.clear();
    for (const HistoryDay& d : historyDays(db))
      if (!d.complete) out.incompleteDays.push_back(d);
    // The checks look at the days written and the closes just before them.
    std::vector<std::pair<std::string, int>> order(touched.begin(), touched.end());
    std::sort(order.begin(), order.end());
    for (const auto& [code, firstDay] : order) {
      std::vector<Bar> bars = readHistory(db, codes.at(code));
      const auto first =
          std::lower_bound(bars.begin(), bars.end(), firstDay, [](const Bar& b, int day) { return b.day < day; });
      bars.erase(bars.begin(), first - std::min<std::ptrdiff_t>(first - bars.begin(), kCheckBefore));
      std::vector<HistoryFinding> f = checkBars(code, bars);
      out.findings.insert(out.findings.end(), std::make_move_iterator(f.begin()), std::make_move_iterator(f.end()));
    }
  } catch (const std::exception& e) {
    logLine("history import", std::string("checks not made: ") + e.what());
  }
  return out;
}

}  // namespace tavrin
