#include "formats/history_layout.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <unordered_map>

#include "base/calendar.h"
#include "base/encoding.h"
#include "base/files.h"
#include "base/text.h"
#include "formats/cell_text.h"
#include "formats/csv_text.h"

namespace tavrin {

namespace {

constexpr std::size_t kHeaderLines = 5;

// The columns of one stock's prices: the one group of a file, or one
// ticker's group in the downloader's layout. -1: no such column.
struct Group {
  int close = -1, open = -1, high = -1, low = -1, volume = -1;
};

// What the header told.
struct Plan {
  HistoryHeader header;
  char sep = ',';
  int date = -1, code = -1;
  std::vector<Group> groups;
  std::size_t needed = 0;      // fields a data line must have
  std::size_t dataFrom = 0;    // offset of the line after the header
  std::size_t headerLine = 0;  // number of the header's last line
};

// The lines of a text, LF or CR LF, counted from 1.
class LineWalk {
 public:
  LineWalk(std::string_view text, std::size_t from = 0, std::size_t number = 0)
      : text_(text), pos_(from), number_(number) {}
  bool next(std::string_view& line) {
    if (pos_ >= text_.size()) return false;
    const char* begin = text_.data() + pos_;
    const auto* nl = static_cast<const char*>(std::memchr(begin, '\n', text_.size() - pos_));
    const std::size_t len = nl ? static_cast<std::size_t>(nl - begin) : text_.size() - pos_;
    line = std::string_view(begin, len);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    pos_ += len + 1;
    ++number_;
    return true;
  }
  std::size_t number() const { return number_; }
  std::size_t offset() const { return std::min(pos_, text_.size()); }

 private:
  std::string_view text_;
  std::size_t pos_;
  std::size_t number_;
};

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool blankLine(std::string_view line) {
  for (char c : line)
    if (!isBlank(c)) return false;
  return true;
}

// A line of nothing but separators and blanks (",,,,," as spreadsheets save
// the rows below a table).
bool onlySeparators(std::string_view line, char sep) {
  for (char c : line)
    if (c != sep && !isBlank(c)) return false;
  return true;
}

bool asciiOnly(std::string_view s) {
  std::uint64_t acc = 0;
  std::size_t i = 0;
  for (; i + 8 <= s.size(); i += 8) {
    std::uint64_t w;
    std::memcpy(&w, s.data() + i, 8);
    acc |= w;
  }
  for (; i < s.size(); ++i) acc |= static_cast<unsigned char>(s[i]);
  return (acc & 0x8080808080808080ull) == 0;
}

std::size_t firstNotUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t len = utf8SequenceAt(s, i);
    if (len == 0) return i;
    i += len;
  }
  return s.size();
}

std::size_t lineOfOffset(std::string_view s, std::size_t offset) {
  return static_cast<std::size_t>(std::count(s.begin(), s.begin() + static_cast<std::ptrdiff_t>(offset), '\n')) + 1;
}

// A field without the blanks around it (and the CR of a CR LF line end).
inline std::string_view trimmedView(const char* b, const char* e) {
  if (b<e&& static_cast<unsigned char>(*b)> ' ' && static_cast<unsigned char>(e[-1]) > ' ')
    return std::string_view(b, static_cast<std::size_t>(e - b));
  while (b < e && (*b == ' ' || *b == '\t' || *b == '\r')) ++b;
  while (e > b && (e[-1] == ' ' || e[-1] == '\t' || e[-1] == '\r')) --e;
  return std::string_view(b, static_cast<std::size_t>(e - b));
}

// The first of the separator, a line feed or a quote from p on (end when
// none): eight bytes at a time, each tested for the three at once.
inline const char* nextSpecial(const char* p, const char* end, char sep) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
  const std::uint64_t seps = kOnes * static_cast<unsigned char>(sep), feeds = kOnes * '\n', quotes = kOnes * '"';
  auto zeroBytes = [](std::uint64_t x) { return (x - kOnes) & ~x & kHighs; };
  if constexpr (std::endian::native == std::endian::little) {
    for (; end - p >= 8; p += 8) {
      std::uint64_t w;
      std::memcpy(&w, p, 8);
      const std::uint64_t hits = zeroBytes(w ^ seps) | zeroBytes(w ^ feeds) | zeroBytes(w ^ quotes);
      // The lowest flagged byte is always a real hit (a false flag only follows one).
      if (hits) return p + (std::countr_zero(hits) >> 3);
    }
  }
  for (; p < end; ++p)
    if (*p == sep || *p == '\n' || *p == '"') return p;
  return end;
}

struct Candidate {
  std::string_view line;
  std::size_t number = 0;
  std::size_t next = 0;  // offset of the line after it
};

bool splitKeys(std::string_view line, char sep, std::vector<std::string>& fields, std::vector<std::string>& keys) {
  if (!splitCsvLine(line, sep, fields)) return false;
  keys.clear();
  for (const std::string& f : fields) keys.push_back(headerKey(f));
  return true;
}

bool isCloseKey(const std::string& k) { return k == "close" || k == "adjclose"; }

int dateColumn(const std::vector<std::string>& keys) {
  return findHeaderColumn(keys, {"date", "日付", "日時", "年月日", "取引日"});
}
int closeColumn(const std::vector<std::string>& keys) {
  return findHeaderColumn(keys, {"close", "終値", "株価", "現在値"});
}
int adjCloseColumn(const std::vector<std::string>& keys) { return findHeaderColumn(keys, {"adjclose", "調整後終値"}); }

void finishPlan(Plan& p, const Candidate& last) {
  int widest = std::max(p.date, p.code);
  for (const Group& g : p.groups) widest = std::max({widest, g.close, g.open, g.high, g.low, g.volume});
  p.needed = static_cast<std::size_t>(widest) + 1;
  p.dataFrom = last.next;
  p.headerLine = last.number;
}

// A header of one line: date and close columns (any order), a code column
// or none.
std::optional<Plan> oneLevelHeader(const Candidate& c) {
  Plan p;
  p.sep = detectSeparator(c.line);
  std::vector<std::string> fields, keys;
  if (!splitKeys(c.line, p.sep, fields, keys)) return std::nullopt;
  p.date = dateColumn(keys);
  Group g;
  g.close = closeColumn(keys);
  if (g.close < 0) {
    g.close = adjCloseColumn(keys);
    p.header.adjustedCloses = g.close >= 0;
  }
  // pandas writes an index without a name as an empty first header.
  if (p.date < 0 && g.close >= 0 && !keys.empty() && keys[0].empty()) p.date = 0;
  if (p.date < 0 || g.close < 0) return std::nullopt;
  g.open = findHeaderColumn(keys, {"open", "始値"});
  g.high = findHeaderColumn(keys, {"high", "高値"});
  g.low = findHeaderColumn(keys, {"low", "安値"});
  g.volume = findHeaderColumn(keys, {"volume", "vol", "出来高"});
  p.code = findHeaderColumn(keys, {"ticker", "コード", "銘柄コード", "証券コード", "code", "sc", "symbol"});
  p.header.layout = p.code < 0                                           ? HistoryLayout::Export
                    : keys[static_cast<std::size_t>(p.code)] == "ticker" ? HistoryLayout::BulkDownload
                                                                         : HistoryLayout::PerDay;
  p.groups.push_back(g);
  finishPlan(p, c);
  return p;
}

bool levelName(const std::string& key) { return key == "price" || key == "ticker" || key.empty(); }

// The downloader's header at candidate i: the rows of the two column levels
// (price names and tickers, either first), then the index name's row when
// the index has a name. Sets `damaged` for such a header that lacks a close
// column for a ticker.
std::optional<Plan> downloaderHeader(const std::vector<Candidate>& cands, std::size_t i, std::string& damaged) {
  if (i + 1 >= cands.size()) return std::nullopt;
  Plan p;
  p.sep = detectSeparator(cands[i].line);
  std::vector<std::string> a, keysA, b, keysB;
  if (!splitKeys(cands[i].line, p.sep, a, keysA) || !splitKeys(cands[i + 1].line, p.sep, b, keysB)) return std::nullopt;
  if (a.size() < 2 || a.size() != b.size() || !levelName(keysA[0]) || !levelName(keysB[0])) return std::nullopt;
  if (keysA[0] == keysB[0] && !keysA[0].empty()) return std::nullopt;
  const bool closeInA = std::any_of(keysA.begin() + 1, keysA.end(), isCloseKey);
  const bool closeInB = std::any_of(keysB.begin() + 1, keysB.end(), isCloseKey);
  bool pricesInA;
  if (keysA[0] == "price" || keysB[0] == "ticker")
    pricesInA = true;
  else if (keysB[0] == "price" || keysA[0] == "ticker")
    pricesInA = false;
  else if (closeInA != closeInB)
    pricesInA = closeInA;
  else
    return std::nullopt;
  if (!(pricesInA ? closeInA : closeInB)) return std::nullopt;
  const std::vector<std::string>& priceKeys = pricesInA ? keysA : keysB;
  const std::vector<std::string>& tickers = pricesInA ? b : a;

  std::unordered_map<std::string, std::size_t> groupOf;
  std::vector<int> adjusted;
  for (std::size_t j = 1; j < priceKeys.size(); ++j) {
    auto [it, added] = groupOf.try_emplace(tickers[j], p.groups.size());
    if (added) {
      p.groups.emplace_back();
      adjusted.push_back(-1);
      p.header.tickers.push_back(tickers[j]);
    }
    Group& g = p.groups[it->second];
    const std::string& k = priceKeys[j];
    const int col = static_cast<int>(j);
    if (k == "close") g.close = col;
    if (k == "adjclose") adjusted[it->second] = col;
    if (k == "open") g.open = col;
    if (k == "high") g.high = col;
    if (k == "low") g.low = col;
    if (k == "volume") g.volume = col;
  }
  for (std::size_t k = 0; k < p.groups.size(); ++k) {
    if (p.groups[k].close >= 0) continue;
    if (adjusted[k] < 0) {
      damaged = "line " + std::to_string(cands[i].number) + ": no Close column for the ticker '" +
                shownLine(p.header.tickers[k], 40) + "'";
      return std::nullopt;
    }
    p.groups[k].close = adjusted[k];
    p.header.adjustedCloses = true;
  }
  p.header.layout = HistoryLayout::Downloader;
  p.date = 0;
  std::size_t last = i + 1;
  // The index name's row: a name (or nothing) and empty fields.
  if (i + 2 < cands.size()) {
    std::vector<std::string> c;
    if (splitCsvLine(cands[i + 2].line, p.sep, c) &&
        std::all_of(c.begin() + 1, c.end(), [](const std::string& f) { return f.empty(); }) && !parseHistoryDate(c[0]))
      last = i + 2;
  }
  finishPlan(p, cands[last]);
  return p;
}

enum class HeaderFound { Found, None, Damaged };

HeaderFound findHeader(std::string_view text, Plan& plan, std::string& damaged) {
  // The first lines that are not blank, and two more for the downloader's rows.
  std::vector<Candidate> cands;
  LineWalk walk(text);
  std::string_view line;
  while (cands.size() < kHeaderLines + 2 && walk.next(line))
    if (!blankLine(line)) cands.push_back({line, walk.number(), walk.offset()});
  for (std::size_t i = 0; i < std::min(kHeaderLines, cands.size()); ++i) {
    if (std::optional<Plan> p = downloaderHeader(cands, i, damaged)) {
      plan = std::move(*p);
      return HeaderFound::Found;
    }
    if (!damaged.empty()) return HeaderFound::Damaged;
    if (std::optional<Plan> p = oneLevelHeader(cands[i])) {
      plan = std::move(*p);
      return HeaderFound::Found;
    }
  }
  return HeaderFound::None;
}

std::string_view firstNonBlankLine(std::string_view text) {
  LineWalk walk(text);
  std::string_view line;
  while (walk.next(line))
    if (!blankLine(line)) return line;
  return {};
}

}  // namespace

std::string shownLine(std::string_view line, std::size_t maxChars) {
  std::string safe;
  std::size_t chars = 0;
  for (std::size_t i = 0; i < line.size(); ++chars) {
    if (chars == maxChars) {
      safe += "\xE2\x80\xA6";  // …
      break;
    }
    const std::size_t len = utf8SequenceAt(line, i);
    if (len == 0) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", static_cast<unsigned char>(line[i]));
      safe += buf;
      ++i;
    } else {
      safe.append(line.substr(i, len));
      i += len;
    }
  }
  return printableText(safe);
}

HistoryTextOutcome readHistoryText(std::string_view raw, const HistoryHeaderFn& onHeader, const HistoryLineFn& onLine) {
  HistoryTextOutcome out;
  std::string_view text = raw;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::string converted;
  std::string notText;  // why the bytes are no text, when they are not
  if (const void* nul = std::memchr(raw.data(), '\0', raw.size())) {
    const auto at = static_cast<std::size_t>(static_cast<const char*>(nul) - raw.data());
    notText = "line " + std::to_string(lineOfOffset(raw, at)) + ": a NUL byte (not a text file)";
  } else if (const std::size_t longLine = firstLineLongerThan(raw, kMaxLineBytes)) {
    // Refused before anything is converted or split.
    out.fail(HistoryTextFailure::Damaged, longLineReason(longLine));
    return out;
  } else if (!asciiOnly(text) && !validUtf8(text)) {
    if (std::optional<std::string> cp932 = cp932ToUtf8(std::string(raw))) {
      converted = std::move(*cp932);
      text = converted;
    } else {
      notText =
          "line " + std::to_string(lineOfOffset(text, firstNotUtf8(text))) + ": neither UTF-8 nor code page 932 text";
    }
  }
  if (!notText.empty()) {
    // Bytes that are no text: damaged when their first lines are a history
    // header, else a file of another kind (a workbook, an archive).
    std::string_view head = text.substr(0, 16384);
    std::string lenient;
    if (!validUtf8(head)) {
      std::size_t replaced = 0;
      lenient = cp932ToUtf8Lenient(std::string(head), &replaced);
      head = lenient;
    }
    Plan plan;
    std::string damaged;
    if (findHeader(head, plan, damaged) != HeaderFound::None) {
      out.fail(HistoryTextFailure::Damaged, notText);
    } else {
      out.firstLine = shownLine(firstNonBlankLine(text));  // its bytes as they are
      out.fail(HistoryTextFailure::OtherKind, "not a history file: " + notText);
    }
    return out;
  }

  const std::string_view first = firstNonBlankLine(text);
  if (first.empty()) {
    out.fail(HistoryTextFailure::Empty, raw.empty() ? "empty file" : "only blank lines");
    return out;
  }
  Plan plan;
  std::string damaged;
  switch (findHeader(text, plan, damaged)) {
    case HeaderFound::Found: break;
    case HeaderFound::Damaged: out.fail(HistoryTextFailure::Damaged, damaged); return out;
    case HeaderFound::None:
      out.firstLine = shownLine(first);
      out.fail(HistoryTextFailure::OtherKind, "no history header in the first " + std::to_string(kHeaderLines) +
                                                  " lines; first line '" + out.firstLine + "'");
      return out;
  }
  if (std::string refused = onHeader(plan.header); !refused.empty()) {
    out.fail(HistoryTextFailure::Damaged, std::move(refused));
    return out;
  }

  // The data lines: one pass over each finds its end and its fields; a line
  // with a quote is split again by the CSV reader.
  const char sep = plan.sep;
  const std::size_t needed = plan.needed;
  std::vector<std::string_view> fields(needed);
  std::vector<std::string> quoted;
  HistoryTextLine l;
  auto field = [&](int col) { return col < 0 ? std::string_view() : fields[static_cast<std::size_t>(col)]; };
  const char* p = text.data() + std::min(plan.dataFrom, text.size());
  const char* const end = text.data() + text.size();
  std::size_t number = plan.headerLine;
  while (p < end) {
    ++number;
    const char* const lineStart = p;
    const char* fieldStart = p;
    std::size_t n = 0;
    bool hasQuote = false;
    while ((p = nextSpecial(p, end, sep)) < end) {
      const char c = *p;
      if (c == '\n') break;
      if (c == sep) {
        if (n < needed) fields[n] = trimmedView(fieldStart, p);
        ++n;
        fieldStart = p + 1;
      } else {
        hasQuote = true;
      }
      ++p;
    }
    const char* const lineEnd = p;
    if (p < end) ++p;
    if (n < needed) fields[n] = trimmedView(fieldStart, lineEnd);
    ++n;
    std::string_view line(lineStart, static_cast<std::size_t>(lineEnd - lineStart));
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (hasQuote) {
      if (!splitCsvLine(line, sep, quoted)) {
        out.fail(HistoryTextFailure::Damaged, "line " + std::to_string(number) + ": unclosed quote");
        return out;
      }
      n = quoted.size();
      for (std::size_t k = 0; k < std::min(n, needed); ++k) fields[k] = quoted[k];
    }
    if (n < needed || field(plan.date).empty()) {
      if (onlySeparators(line, sep)) continue;
      if (n < needed) {
        out.fail(HistoryTextFailure::Damaged, "line " + std::to_string(number) + ": " + std::to_string(n) +
                                                  (n == 1 ? " field" : " fields") + ", too few for the header");
        return out;
      }
    }
    l.number = number;
    l.code = field(plan.code);
    l.date = field(plan.date);
    for (std::size_t g = 0; g < plan.groups.size(); ++g) {
      const Group& cols = plan.groups[g];
      l.group = g;
      l.close = field(cols.close);
      l.open = field(cols.open);
      l.high = field(cols.high);
      l.low = field(cols.low);
      l.volume = field(cols.volume);
      if (std::string refused = onLine(l); !refused.empty()) {
        out.fail(HistoryTextFailure::Damaged, std::move(refused));
        return out;
      }
    }
  }
  return out;
}

}  // namespace tavrin
