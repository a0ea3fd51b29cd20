#include "data/splits.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numeric>

#include "base/calendar.h"
#include "base/text.h"
#include "data/price_schema.h"
#include "data/stock_code.h"

namespace tavrin {

namespace {

std::string table(const std::string& schema, const char* name) { return "[" + schema + "].[" + name + "]"; }

bool schemaHasTable(Database& db, const std::string& schema, const std::string& name) {
  return db.scalar("select count(*) from [" + schema + "].sqlite_master where type = 'table' and name = ?", {name})
             .integer() > 0;
}

SplitRatio reduced(std::int64_t after, std::int64_t before) {
  const std::int64_t g = std::gcd(after, before);
  return {after / g, before / g};
}

// n / d to the nearest whole number, halves to even (d > 0, n >= 0).
std::int64_t roundedQuotient(__int128 n, __int128 d) {
  const __int128 q = n / d, r = n % d;
  if (2 * r > d || (2 * r == d && (q % 2) != 0)) return static_cast<std::int64_t>(q + 1);
  return static_cast<std::int64_t>(q);
}

// A decimal number as written, without exponent: "1.5", "10", "0.25".
std::optional<double> plainNumber(std::string_view s) {
  if (s.empty() || s.size() > 24) return std::nullopt;
  std::size_t dots = 0;
  for (char c : s) {
    if (c == '.')
      ++dots;
    else if (c < '0' || c > '9')
      return std::nullopt;
  }
  if (dots > 1 || s == ".") return std::nullopt;
  return std::strtod(std::string(s).c_str(), nullptr);
}

}  // namespace

std::optional<SplitRatio> splitRatioOf(double r) {
  if (!std::isfinite(r) || r <= 0) return std::nullopt;
  // Continued fractions: the first convergent within a millionth.
  std::int64_t p0 = 0, q0 = 1, p1 = 1, q1 = 0;
  double x = r;
  for (int i = 0; i < 40; ++i) {
    const double a = std::floor(x);
    if (a > static_cast<double>(kMaxSplitTerm)) break;
    const std::int64_t ai = static_cast<std::int64_t>(a);
    const std::int64_t p2 = ai * p1 + p0, q2 = ai * q1 + q0;
    if (p2 > kMaxSplitTerm || q2 > kMaxSplitTerm) break;
    p0 = p1;
    q0 = q1;
    p1 = p2;
    q1 = q2;
    if (p1 > 0 && std::fabs(static_cast<double>(p1) / static_cast<double>(q1) - r) <= r * 1e-5) return reduced(p1, q1);
    const double frac = x - a;
    if (frac < 1e-12) break;
    x = 1 / frac;
  }
  return std::nullopt;
}

std::optional<SplitRatio> parseSplitRatio(std::string_view text) {
  std::string s = foldFullWidth(text);
  for (const char* colon : {"：", "対"}) {
    for (std::size_t at = s.find(colon); at != std::string::npos; at = s.find(colon))
      s.replace(at, std::strlen(colon), ":");
  }
  std::string t = trimmed(s);
  const std::size_t colon = t.find(':');
  if (colon == std::string::npos) {
    const std::optional<double> n = plainNumber(t);
    return n ? splitRatioOf(*n) : std::nullopt;
  }
  const std::optional<double> before = plainNumber(trimmed(t.substr(0, colon)));
  const std::optional<double> after = plainNumber(trimmed(t.substr(colon + 1)));
  if (!before || !after || *before <= 0 || *after <= 0) return std::nullopt;
  return splitRatioOf(*after / *before);
}

std::string splitRatioText(const SplitRatio& r) {
  auto decimal = [](std::int64_t n, std::int64_t d) -> std::optional<std::string> {
    // n/d written with at most two decimals, when it can be.
    for (std::int64_t scale : {1, 10, 100}) {
      if ((n * scale) % d != 0) continue;
      const std::int64_t v = n * scale / d;
      std::string out = std::to_string(v / scale);
      if (scale > 1) {
        std::string frac = std::to_string(v % scale);
        frac.insert(0, (scale == 100 ? 2 : 1) - frac.size(), '0');
        while (!frac.empty() && frac.back() == '0') frac.pop_back();
        if (!frac.empty()) out += "." + frac;
      }
      return out;
    }
    return std::nullopt;
  };
  if (r.after >= r.before) {
    if (auto a = decimal(r.after, r.before)) return "1:" + *a;
  } else if (auto b = decimal(r.before, r.after)) {
    return *b + ":1";
  }
  return std::to_string(r.before) + ":" + std::to_string(r.after);
}

const char* splitSourceName(SplitSource source) {
  switch (source) {
    case SplitSource::Check: return "check";
    case SplitSource::Service: return "service";
    case SplitSource::Entered: break;
  }
  return "entered";
}

std::optional<SplitSource> splitSourceOf(std::string_view name) {
  if (name == "entered") return SplitSource::Entered;
  if (name == "check") return SplitSource::Check;
  if (name == "service") return SplitSource::Service;
  return std::nullopt;
}

void ensureSplitTables(Database& db, const std::string& schema) {
  db.exec("CREATE TABLE IF NOT EXISTS " + table(schema, kSplitsTable) +
          " ([コード] NOT NULL, [day] INTEGER NOT NULL, [ratio] REAL NOT NULL, [source] TEXT NOT NULL, "
          "PRIMARY KEY ([コード], [day]))");
  db.exec("CREATE TABLE IF NOT EXISTS " + table(schema, kSplitPositionsTable) +
          " ([コード] NOT NULL, [日付] TEXT NOT NULL, [as_traded] INTEGER NOT NULL, [adjusted] INTEGER NOT NULL, "
          "PRIMARY KEY ([コード], [日付]))");
}

namespace {

// The splits of every stock, or of the stock stored as `only`.
std::unordered_map<std::string, std::vector<Split>> splitsWhere(Database& db, const std::string& schema,
                                                                const Value* only) {
  std::unordered_map<std::string, std::vector<Split>> out;
  if (!schemaHasTable(db, schema, kSplitsTable)) return out;
  Statement st(db, "select [コード], [day], [ratio], [source] from " + table(schema, kSplitsTable) +
                       (only ? " where [コード] = ?" : "") + " order by [day]");
  if (only) st.bind(1, *only);
  while (st.step()) {
    const Value code = st.column(0);
    const std::optional<std::string> key = codeKey(code);
    const Value day = st.column(1);
    const std::optional<double> r = st.column(2).asNumber();
    const std::optional<SplitRatio> ratio = r ? splitRatioOf(*r) : std::nullopt;
    if (!key || !day.isInteger() || !ratio) continue;  // a row no version writes
    Split s;
    s.code = code;
    s.day = static_cast<int>(day.integer());
    s.ratio = *ratio;
    const Value source = st.column(3);
    s.source = splitSourceOf(source.isText() ? source.textValue() : std::string()).value_or(SplitSource::Entered);
    out[*key].push_back(std::move(s));
  }
  return out;
}

}  // namespace

std::unordered_map<std::string, std::vector<Split>> readSplits(Database& db, const std::string& schema) {
  return splitsWhere(db, schema, nullptr);
}

std::vector<Split> splitsOfStoredCode(Database& db, const Value& code, const std::string& schema) {
  std::unordered_map<std::string, std::vector<Split>> found = splitsWhere(db, schema, &code);
  const std::optional<std::string> key = codeKey(code);
  const auto it = key ? found.find(*key) : found.end();
  return it == found.end() ? std::vector<Split>{} : std::move(it->second);
}

std::vector<Split> readSplitsOf(Database& db, const std::string& codeKeyText, const std::string& schema) {
  std::unordered_map<std::string, std::vector<Split>> all = readSplits(db, schema);
  const auto it = all.find(codeKeyText);
  return it == all.end() ? std::vector<Split>{} : std::move(it->second);
}

SplitFactor splitFactorAt(const std::vector<Split>& splits, int day) {
  SplitFactor f;
  for (const Split& s : splits) {
    if (s.day <= day) continue;
    f.num *= s.ratio.before;
    f.den *= s.ratio.after;
    const std::int64_t g = std::gcd(f.num, f.den);
    f.num /= g;
    f.den /= g;
    if (f.num > (INT64_MAX >> 20) || f.den > (INT64_MAX >> 20)) break;  // no real history splits this often
  }
  return f;
}

std::int64_t adjustedTenths(std::int64_t tenths, const SplitFactor& f) {
  if (f.isOne() || tenths <= 0) return tenths;
  return std::max<std::int64_t>(1, roundedQuotient(static_cast<__int128>(tenths) * f.num, f.den));
}

std::int64_t adjustedVolume(std::int64_t volume, const SplitFactor& f) {
  if (f.isOne() || volume <= 0) return volume;
  return roundedQuotient(static_cast<__int128>(volume) * f.den, f.num);
}

std::int64_t adjustedWholeYen(std::int64_t yen, const SplitFactor& f) {
  if (f.isOne() || yen <= 0) return yen;
  return wholeYen(adjustedTenths(yen * 10, f));
}

void adjustBars(std::vector<Bar>& bars, const std::vector<Split>& splits) {
  if (splits.empty() || bars.empty()) return;
  // From the newest bar back, the factor grows at each ex-date passed.
  std::size_t next = splits.size();  // splits[next..] lie after the bar
  SplitFactor f;
  auto clamp = [](std::int64_t v) { return static_cast<std::int32_t>(std::min<std::int64_t>(v, kMaxPriceTenths)); };
  for (std::size_t i = bars.size(); i-- > 0;) {
    Bar& b = bars[i];
    if (next > 0 && splits[next - 1].day > b.day) {
      while (next > 0 && splits[next - 1].day > b.day) --next;
      std::vector<Split> after(splits.begin() + static_cast<std::ptrdiff_t>(next), splits.end());
      f = splitFactorAt(after, b.day);
    }
    if (f.isOne()) continue;
    b.close = clamp(adjustedTenths(b.close, f));
    if (b.open > 0) b.open = clamp(adjustedTenths(b.open, f));
    if (b.high > 0) b.high = clamp(adjustedTenths(b.high, f));
    if (b.low > 0) b.low = clamp(adjustedTenths(b.low, f));
    if (b.volume > 0) b.volume = adjustedVolume(b.volume, f);
  }
}

namespace {

struct PositionRow {
  std::int64_t rowid = 0;
  Value code;
  std::array<Value, 10> prices;
};

std::array<std::string, 10> recordDates(Database& db, const std::string& schema) {
  std::array<std::string, 10> dates;
  if (!schemaHasTable(db, schema, "日付")) return dates;
  std::string sql = "select ";
  for (int i = 1; i <= 10; ++i) sql += std::string(i > 1 ? ", " : "") + "[kabuka" + std::to_string(i) + "]";
  sql += " from " + table(schema, "日付") + " order by rowid limit 1";
  Statement st(db, sql);
  if (st.step())
    for (int i = 0; i < 10; ++i) dates[static_cast<std::size_t>(i)] = st.column(i).display();
  return dates;
}

std::vector<PositionRow> positionRows(Database& db, const std::string& schema, const std::string* onlyKey) {
  std::vector<PositionRow> out;
  std::string sql = "select rowid, [コード]";
  for (int i = 1; i <= 10; ++i) sql += ", [kabuka" + std::to_string(i) + "]";
  sql += " from " + table(schema, "list");
  Statement st(db, sql);
  while (st.step()) {
    PositionRow r;
    r.code = st.column(1);
    const std::optional<std::string> key = codeKey(r.code);
    if (!key || *key == "1000") continue;  // the index row is never adjusted
    if (onlyKey && *key != *onlyKey) continue;
    r.rowid = st.column(0).integer();
    for (int i = 0; i < 10; ++i) r.prices[static_cast<std::size_t>(i)] = st.column(2 + i);
    out.push_back(std::move(r));
  }
  return out;
}

// The stock's closes as traded on the given days, from the schema's history
// (day -> tenths).
std::unordered_map<int, std::int32_t> tradedCloses(Database& db, const std::string& schema, const Value& code,
                                                   const std::array<std::optional<int>, 10>& days) {
  std::unordered_map<int, std::int32_t> out;
  if (!schemaHasTable(db, schema, kHistoryTable)) return out;
  std::vector<int> blocks;
  for (const std::optional<int>& d : days)
    if (d) blocks.push_back(barBlockOf(*d));
  std::sort(blocks.begin(), blocks.end());
  blocks.erase(std::unique(blocks.begin(), blocks.end()), blocks.end());
  Statement st(db, "select [bars] from " + table(schema, kHistoryTable) + " where [コード] = ? and [block] = ?");
  std::vector<Bar> bars;
  for (int block : blocks) {
    st.reset();
    st.bind(1, code);
    st.bind(2, Value(static_cast<std::int64_t>(block)));
    bars.clear();
    if (st.step() && decodeBarBlock(block, st.columnBytes(0), bars))
      for (const Bar& b : bars) out[b.day] = b.close;
  }
  return out;
}

std::size_t rewriteRows(Database& db, const std::string& schema, const std::vector<PositionRow>& rows,
                        const std::unordered_map<std::string, std::vector<Split>>& splits) {
  const std::array<std::string, 10> dates = recordDates(db, schema);
  std::array<std::optional<int>, 10> days;
  for (std::size_t k = 0; k < 10; ++k) days[k] = dayFromRecordDate(dates[k]);
  Statement kept(
      db, "select [日付], [as_traded], [adjusted] from " + table(schema, kSplitPositionsTable) + " where [コード] = ?");
  Statement keep(db, "insert or replace into " + table(schema, kSplitPositionsTable) +
                         " ([コード], [日付], [as_traded], [adjusted]) values (?, ?, ?, ?)");
  Statement forget(db, "delete from " + table(schema, kSplitPositionsTable) + " where [コード] = ? and [日付] = ?");
  std::size_t changed = 0;
  for (const PositionRow& row : rows) {
    const std::optional<std::string> key = codeKey(row.code);
    static const std::vector<Split> none;
    const auto hit = key ? splits.find(*key) : splits.end();
    const std::vector<Split>& own = hit == splits.end() ? none : hit->second;
    struct Kept {
      std::int64_t asTraded, adjusted;
    };
    std::unordered_map<std::string, Kept> keptByDate;
    kept.reset();
    kept.bind(1, row.code);
    while (kept.step()) {
      const Value a = kept.column(1), b = kept.column(2);
      if (a.isInteger() && b.isInteger()) keptByDate[kept.column(0).display()] = {a.integer(), b.integer()};
    }
    std::string set;
    std::vector<Value> values;
    std::optional<std::unordered_map<int, std::int32_t>> closes;  // read when first needed
    for (std::size_t k = 0; k < 10; ++k) {
      const Value& v = row.prices[k];
      const std::optional<double> n = v.asNumber();
      if (!n || !days[k] || *n != std::floor(*n) || *n <= 0) continue;
      const std::int64_t current = static_cast<std::int64_t>(*n);
      const auto was = keptByDate.find(dates[k]);
      // A kept value counts while the position still holds what was written.
      const std::int64_t traded =
          was != keptByDate.end() && was->second.adjusted == current ? was->second.asTraded : current;
      // The history's close of the day, to the tenth, where it is the
      // position's; else the whole yen the position holds.
      const SplitFactor factor = splitFactorAt(own, *days[k]);
      std::int64_t now = adjustedWholeYen(traded, factor);
      if (!factor.isOne()) {
        if (!closes) closes = tradedCloses(db, schema, row.code, days);
        const auto close = closes->find(*days[k]);
        if (close != closes->end() && wholeYen(close->second) == traded)
          now = wholeYen(adjustedTenths(close->second, factor));
      }
      if (now != traded) {
        keep.reset();
        keep.bindAll({row.code, Value(dates[k]), Value(traded), Value(now)});
        keep.step();
      } else if (was != keptByDate.end()) {
        forget.reset();
        forget.bindAll({row.code, Value(dates[k])});
        forget.step();
      }
      if (was != keptByDate.end()) keptByDate.erase(was);
      if (now != current) {
        set += std::string(set.empty() ? "" : ", ") + "[kabuka" + std::to_string(k + 1) + "] = ?";
        values.emplace_back(now);
        ++changed;
      }
    }
    // Kept values of dates no longer among the positions are of no use.
    for (const auto& [date, unused] : keptByDate) {
      forget.reset();
      forget.bindAll({row.code, Value(date)});
      forget.step();
    }
    if (!set.empty()) {
      values.emplace_back(row.rowid);
      db.execute("update " + table(schema, "list") + " set " + set + " where rowid = ?", values);
    }
  }
  return changed;
}

}  // namespace

std::size_t rewriteSplitPositions(Database& db, const std::string& codeKeyText, const std::string& schema) {
  if (!schemaHasTable(db, schema, "list")) return 0;
  return rewriteRows(db, schema, positionRows(db, schema, &codeKeyText), readSplits(db, schema));
}

std::size_t rewriteAllSplitPositions(Database& db, const std::string& schema) {
  if (!schemaHasTable(db, schema, kSplitsTable) || !schemaHasTable(db, schema, "list")) return 0;
  const std::unordered_map<std::string, std::vector<Split>> splits = readSplits(db, schema);
  std::vector<PositionRow> rows;
  bool anyKept = db.scalar("select count(*) from " + table(schema, kSplitPositionsTable)).integer() > 0;
  if (splits.empty() && !anyKept) return 0;
  for (PositionRow& r : positionRows(db, schema, nullptr)) {
    const std::optional<std::string> key = codeKey(r.code);
    if (key && splits.count(*key)) rows.push_back(std::move(r));
  }
  return rewriteRows(db, schema, rows, splits);
}

std::int64_t asTradedPosition(Database& db, const Value& code, const std::string& recordDate, std::int64_t value) {
  if (!db.tableExists(kSplitPositionsTable)) return value;
  const QueryResult r =
      db.query("select [as_traded], [adjusted] from [split_positions] where [コード] = ? and [日付] = ?",
               {code, Value(recordDate)});
  if (r.rows.empty()) return value;
  const Row& row = r.rows.front();
  if (!row[0].isInteger() || !row[1].isInteger() || row[1].integer() != value) return value;
  return row[0].integer();
}

}  // namespace tavrin
