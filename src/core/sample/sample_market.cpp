#include "sample/sample_market.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <unordered_map>
#include <unordered_set>

#include "base/calendar.h"
#include "base/log.h"
#include "data/database.h"
#include "data/price_schema.h"
#include "exchange/companion.h"
#include "history/price_history.h"
#include "sample/demo_planting.h"
#include "sample/sample_daily_csv.h"
#include "watchlists/watch_list_store.h"

namespace tavrin {

namespace {

using namespace std::chrono;

// A small deterministic generator, independent of the standard library's
// distributions so that a seed gives the same market everywhere.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : s_(seed * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull) {}
  std::uint64_t next() {
    std::uint64_t z = (s_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
  int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
  double normal() {
    double u1 = uniform(), u2 = uniform();
    if (u1 < 1e-300) u1 = 1e-300;
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
  }
  template <class T>
  const T& pick(const std::vector<std::pair<T, int>>& weighted) {
    int total = 0;
    for (const auto& w : weighted) total += w.second;
    int r = below(total);
    for (const auto& w : weighted) {
      if (r < w.second) return w.first;
      r -= w.second;
    }
    return weighted.back().first;
  }

 private:
  std::uint64_t s_;
};

std::string yymmdd(const year_month_day& d, bool slashes) {
  return twoDigitDate(static_cast<int>(d.year()), static_cast<int>(static_cast<unsigned>(d.month())),
                      static_cast<int>(static_cast<unsigned>(d.day())), slashes ? "/" : "");
}

// Today's segments for most stocks, a few on the regional exchanges, and a
// share carried over from earlier years with the words (and units) of then.
const std::vector<std::pair<std::string, int>> kMarkets = {
    {"東証プライム", 36}, {"東証スタンダード", 24}, {"東証グロース", 13}, {"名証プレミア", 2},
    {"名証メイン", 2},    {"名証ネクスト", 1},      {"福証", 1},          {"福証Q-Board", 1},
    {"札証", 1},          {"札証アンビシャス", 1},  {"東証１部", 6},      {"東証２部", 2},
    {"マザーズ", 2},      {"ジャスダック", 3},      {"大証１部", 1},      {"大証２部", 1},
    {"名証１部", 1},      {"名証２部", 1},          {"ヘラクレス", 1}};
// The 市場・商品区分 of the exchange's list of listed issues for a Tokyo
// segment; any other market keeps its own word there.
std::string listedSection(const std::string& market) {
  if (market == "東証プライム") return "プライム（内国株式）";
  if (market == "東証スタンダード") return "スタンダード（内国株式）";
  if (market == "東証グロース") return "グロース（内国株式）";
  return market;
}
bool isTodaysWord(const std::string& market) {
  for (const char* w : {"東証プライム", "東証スタンダード", "東証グロース", "名証プレミア", "名証メイン",
                        "名証ネクスト", "福証", "福証Q-Board", "札証", "札証アンビシャス"})
    if (market == w) return true;
  return false;
}
const std::vector<std::pair<int, int>> kUnits = {{1000, 30}, {100, 45}, {1, 8}, {10, 5}, {50, 4}, {500, 8}};
const char* kPrefixes[] = {"蒼海", "白峰", "霧島", "朝凪",   "銀嶺", "紅葉台", "若竹", "翠星", "琥珀",   "玄武",
                           "青嵐", "東雲", "北斗", "南風",   "山吹", "藤波",   "千歳", "瑞穂", "葵",     "桔梗",
                           "楓",   "常磐", "大鷹", "白鷺",   "黎明", "光輪",   "天城", "八雲", "星野",   "月読",
                           "陽向", "菫",   "皐月", "水無月", "雪嶺", "碧海",   "丸高", "共進", "協和台", "新興開"};
const char* kMiddles[] = {"", "", "", "日本", "中央", "東洋", "総合", "第一", "西部", "北部"};
const char* kTrades[] = {
    "電機",   "化学",      "製薬", "建設",     "鉄鋼",   "商事", "物産", "運輸",   "食品",
    "精機",   "工業",      "電子", "製紙",     "繊維",   "証券", "銀行", "不動産", "ホールディングス",
    "産業",   "興産",      "通信", "システム", "工機",   "海運", "電工", "製作所", "ガラス",
    "ゴム",   "薬品",      "技研", "水産",     "百貨店", "電力", "ガス", "リース", "ソフト",
    "フーズ", "メディカル"};

std::vector<sys_days> businessDays(sys_days from, sys_days to) {
  std::vector<sys_days> out;
  for (sys_days d = from; d <= to; d += days{1}) {
    weekday w{d};
    if (w != Saturday && w != Sunday) out.push_back(d);
  }
  return out;
}

// Stock codes as the exchanges issue them: four characters, the first and
// third a digit, the second and fourth a digit or one of the letters in use
// ("7203", "130A", "2A5B"). Most stocks get a plain number from 1301; past
// the four-character space come five characters: a four-character code
// followed by a digit ("72035"). Codes below 1301 are left for the index
// and the pattern samples. Every draw takes a code not drawn before, in
// time independent of how full the space is.
class CodePool {
 public:
  explicit CodePool(Rng& rng) : rng_(rng) {
    for (int n = 1301; n <= 9999; ++n) numeric_.push_back(std::to_string(n));
    static const std::string kSecond = std::string("0123456789") + kLetters;
    for (char d1 = '1'; d1 <= '9'; ++d1)
      for (char c2 : kSecond)
        for (char d3 = '0'; d3 <= '9'; ++d3)
          for (char c4 : kSecond)
            if (!(isDigit(c2) && isDigit(c4))) lettered_.push_back({d1, c2, d3, c4});
    fourCharacters_ = numeric_.size() + lettered_.size();
  }

  static constexpr const char* kLetters = "ACDFGHJKLMNPRSTUWXY";
  std::size_t fourCharacterCodes() const { return fourCharacters_; }

  std::string draw() {
    // About one new stock in a hundred has a lettered code while both kinds are left.
    if (numericTaken_ < numeric_.size() && (letteredTaken_ == lettered_.size() || rng_.below(100) != 0))
      return take(numeric_, numericTaken_);
    if (letteredTaken_ < lettered_.size()) return take(lettered_, letteredTaken_);
    for (;;) {
      const std::size_t k = static_cast<std::size_t>(rng_.next() % fourCharacters_);
      const std::string& base = k < numeric_.size() ? numeric_[k] : lettered_[k - numeric_.size()];
      std::string code = base + static_cast<char>('0' + rng_.below(10));
      if (fiveCharacters_.insert(code).second) return code;
    }
  }

 private:
  static bool isDigit(char c) { return c >= '0' && c <= '9'; }
  // One step of a shuffle: a random code from the part not yet taken.
  std::string take(std::vector<std::string>& pool, std::size_t& taken) {
    const std::size_t j = taken + static_cast<std::size_t>(rng_.next() % (pool.size() - taken));
    std::swap(pool[taken], pool[j]);
    return pool[taken++];
  }

  Rng& rng_;
  std::vector<std::string> numeric_, lettered_;
  std::size_t numericTaken_ = 0, letteredTaken_ = 0, fourCharacters_ = 0;
  std::unordered_set<std::string> fiveCharacters_;
};

// Closes of one stock on the days the sample keeps (index into keptDays; 0
// for none), whole yen, and the day's open, high and low (tenths of a yen)
// and volume around them.
struct Stock {
  std::string code;
  std::string name;
  std::string market;
  int unit = 100;
  std::string section;
  double volatility = 0.01;  // of the daily returns
  std::vector<std::int64_t> close;
  std::vector<std::int32_t> open, high, low;
  std::vector<std::int64_t> volume;  // -1: not known
};

// The exchange's price steps in tenths of a yen: the finer steps of the
// largest issues (0.1 yen up to 1,000 yen, 0.5 yen up to 3,000) and the
// standard ones (1 yen up to 3,000, 5 yen up to 5,000, ...).
std::int64_t tickOf(std::int64_t tenths, bool fine) {
  static const std::vector<std::pair<std::int64_t, std::int64_t>> kFine = {
      {10000, 1}, {30000, 5}, {100000, 10}, {300000, 50}, {1000000, 100}, {3000000, 500}, {10000000, 1000}};
  static const std::vector<std::pair<std::int64_t, std::int64_t>> kStandard = {
      {30000, 10},     {50000, 50},     {300000, 100},     {500000, 500},
      {3000000, 1000}, {5000000, 5000}, {30000000, 10000}, {50000000, 50000}};
  for (const auto& [upTo, tick] : fine ? kFine : kStandard)
    if (tenths <= upTo) return tick;
  return fine ? 5000 : 100000;
}
std::int32_t priceOnTicks(double tenths, bool fine, int direction) {
  const double v = std::clamp(tenths, 1.0, static_cast<double>(kMaxPriceTenths) / 2);
  const auto tick = static_cast<double>(tickOf(static_cast<std::int64_t>(v), fine));
  const double steps = direction > 0   ? std::ceil(v / tick)
                       : direction < 0 ? std::floor(v / tick)
                                       : std::round(v / tick);
  return static_cast<std::int32_t>(std::max(1.0, steps) * tick);
}

// Open, high, low and volume of each kept day around its close: the open
// near the close before, high and low beyond the body by a part of the
// stock's daily swing, on the price steps, and volumes in whole trading
// lots that grow with the day's move. The index has no volume.
void fillDailyBars(Stock& s, Rng& rng) {
  const bool fine = s.market == "東証プライム" && rng.below(5) == 0;
  const bool index = s.code == "1000";
  const double usualLots = std::exp(std::log(600.0) + 1.1 * rng.normal());
  const std::int64_t lot = std::max(100, s.unit);
  const std::size_t n = s.close.size();
  s.open.assign(n, 0);
  s.high.assign(n, 0);
  s.low.assign(n, 0);
  s.volume.assign(n, -1);
  double before = 0;  // the close before, tenths
  for (std::size_t k = 0; k < n; ++k) {
    if (s.close[k] <= 0) continue;
    const double close = static_cast<double>(s.close[k]) * 10;
    if (before <= 0) before = close;
    const double move = std::abs(std::log(close / before));
    const std::int32_t open = priceOnTicks(before * std::exp(0.3 * s.volatility * rng.normal()), fine, 0);
    const double top = std::max<double>(open, close), bottom = std::min<double>(open, close);
    s.open[k] = open;
    s.high[k] = std::max(priceOnTicks(top * (1 + 0.6 * s.volatility * std::abs(rng.normal())), fine, 1),
                         static_cast<std::int32_t>(top));
    s.low[k] = std::min(priceOnTicks(bottom * (1 - 0.6 * s.volatility * std::abs(rng.normal())), fine, -1),
                        static_cast<std::int32_t>(bottom));
    const double lots = usualLots * std::exp(0.45 * rng.normal()) * (1 + 2 * move / s.volatility);
    if (!index) s.volume[k] = std::max<std::int64_t>(1, std::llround(lots)) * lot;
    before = close;
  }
}

// The bar of kept days first..last of a stock (its days with a close): the
// first open, the highest high, the lowest low, the last close and the
// summed volume.
Bar periodBar(const Stock& s, int dayNumber, std::size_t first, std::size_t last) {
  Bar b;
  b.day = dayNumber;
  b.close = static_cast<std::int32_t>(s.close[last] * 10);
  for (std::size_t k = first; k <= last; ++k) {
    if (s.close[k] <= 0) continue;
    if (b.open == 0) {
      b.open = s.open[k];
      b.high = s.high[k];
      b.low = s.low[k];
    }
    b.high = std::max(b.high, s.high[k]);
    b.low = std::min(b.low, s.low[k]);
    if (s.volume[k] >= 0) b.volume = std::max<std::int64_t>(b.volume, 0) + s.volume[k];
  }
  return b;
}

// A planted pattern sample: its ten prices are the same in every unit's
// database, whatever the days of the positions, and it has one price for
// the day after the last registered one.
struct PlantedStock {
  Stock stock;
  std::vector<std::int64_t> ten;  // kabuka1..kabuka10 (0 for none)
  std::int64_t nextDay = 0;
};

Value codeValue(const std::string& code) {
  return isPlainNumberCode(code) ? Value(static_cast<std::int64_t>(std::stoll(code))) : Value(code);
}

struct SheetRow {
  const std::string* code;
  const std::string* name;
  std::int64_t close;
};
struct Sheet {
  std::string name;
  std::vector<SheetRow> rows;
};

std::string jsonQuote(const std::string& t) {
  std::string o = "\"";
  for (char c : t) {
    if (c == '"' || c == '\\') o += '\\';
    o += c;
  }
  return o + "\"";
}

// Writes one workbook through the xlwt writer from the JSON array of its
// sheets ([{"name": ..., "rows": [[...], ...]}, ...]); returns an empty text
// on success, else why not.
std::string runWorkbookWriter(const std::filesystem::path& path, const std::string& sheetsJson) {
  static const char* kScript =
      "import json, sys\n"
      "import xlwt\n"
      "request = json.load(sys.stdin)\n"
      "book = xlwt.Workbook(encoding='utf-8')\n"
      "for sheet in request['sheets']:\n"
      "    ws = book.add_sheet(sheet['name'])\n"
      "    for r, row in enumerate(sheet['rows']):\n"
      "        for c, v in enumerate(row):\n"
      "            if v is not None:\n"
      "                ws.write(r, c, v)\n"
      "book.save(request['path'])\n";
  const char* python = "/usr/bin/python3";
  if (::access(python, X_OK) != 0) return "no /usr/bin/python3";
  std::filesystem::path script = path;
  script += ".write.py";
  std::filesystem::path json = path;
  json += ".json";
  {
    std::ofstream s(script, std::ios::binary);
    s << kScript;
    std::ofstream(json, std::ios::binary)
        << "{\"path\": " + jsonQuote(toUtf8(path)) + ", \"sheets\": " + sheetsJson + "}";
  }
  std::string cmd = std::string(python) + " '" + toUtf8(script) + "' < '" + toUtf8(json) + "' 2>&1";
  FILE* p = ::popen(cmd.c_str(), "r");
  std::string out;
  if (p) {
    char buf[512];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  }
  int status = p ? ::pclose(p) : -1;
  std::error_code ec;
  std::filesystem::remove(script, ec);
  std::filesystem::remove(json, ec);
  if (status != 0) return out.empty() ? "the workbook writer failed" : out.substr(0, out.find('\n'));
  return {};
}

// A code as a cell: a plain number as a number cell, else text.
std::string codeCell(const std::string& code) { return isPlainNumberCode(code) ? code : jsonQuote(code); }

// The price workbook: one sheet per period, code, name and close.
std::string writeWorkbook(const std::filesystem::path& path, const std::vector<Sheet>& sheets) {
  std::string j = "[";
  for (size_t s = 0; s < sheets.size(); ++s) {
    j += (s ? ", " : "");
    j += "{\"name\": " + jsonQuote(sheets[s].name) + ", \"rows\": [[\"コード\", \"銘柄\", \"終値\"]";
    for (const SheetRow& r : sheets[s].rows)
      j += ", [" + codeCell(*r.code) + ", " + jsonQuote(*r.name) + ", " + std::to_string(r.close) + "]";
    j += "]}";
  }
  return runWorkbookWriter(path, j + "]");
}

// One row of the listed-issues workbook.
struct ListedRow {
  std::string code, name, section;
};

// The exchange's list of listed issues (data_j.xls): its header, one row per
// issue. Only the code, name and 市場・商品区分 carry meaning here.
std::string writeListedIssues(const std::filesystem::path& path, const std::vector<ListedRow>& rows) {
  if (rows.size() >= 65536) return "more issues than a sheet holds";
  std::string j =
      "[{\"name\": \"Sheet1\", \"rows\": [[\"日付\", \"コード\", \"銘柄名\", \"市場・商品区分\", \"33業種コード\", "
      "\"33業種区分\", \"17業種コード\", \"17業種区分\", \"規模コード\", \"規模区分\"]";
  for (const ListedRow& r : rows)
    j += ",\n[20261130, " + codeCell(r.code) + ", " + jsonQuote(r.name) + ", " + jsonQuote(r.section) +
         ", \"-\", \"-\", \"-\", \"-\", \"-\", \"-\"]";
  return runWorkbookWriter(path, j + "]}]");
}

// The days kept: each close of a stock is found by the day's index here.
struct KeptDays {
  std::vector<sys_days> days;  // ascending
  int indexOf(sys_days d) const {
    auto it = std::lower_bound(days.begin(), days.end(), d);
    return it != days.end() && *it == d ? static_cast<int>(it - days.begin()) : -1;
  }
};

// One unit's database: list and hojyo with every stock (the planted ones
// last), the history of historyDays (the positions among them) and the date
// record.
void fillPriceDb(const std::filesystem::path& path, const std::string& unit, const std::vector<Stock>& stocks,
                 const std::vector<PlantedStock>& planted, const KeptDays& kept, const std::vector<sys_days>& positions,
                 const std::string& sourceName, const std::vector<sys_days>& historyDays) {
  createPriceDatabase(path, unit);
  Database db(path);
  Transaction tx(db);
  std::vector<int> positionIndex;
  for (sys_days d : positions) positionIndex.push_back(kept.indexOf(d));
  for (const char* table : {"list", "hojyo"}) {
    Statement ins = db.prepare(std::string("insert into [") + table +
                               "] ([銘柄],[コード],[市場],[単位],[市場区分],[kabuka1],[kabuka2],[kabuka3],"
                               "[kabuka4],[kabuka5],[kabuka6],[kabuka7],[kabuka8],[kabuka9],[kabuka10]) "
                               "values (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
    auto insert = [&](const Stock& s, auto&& priceAt) {
      ins.reset();
      ins.bind(1, s.name);
      ins.bind(2, codeValue(s.code));
      ins.bind(3, s.market);
      ins.bind(4, s.unit);
      ins.bind(5, s.section);
      for (int k = 0; k < 10; ++k) {
        const std::int64_t p = priceAt(k);
        ins.bind(6 + k, p > 0 ? Value(p) : Value());
      }
      ins.step();
    };
    for (const Stock& s : stocks)
      insert(s, [&](int k) {
        const int i = static_cast<size_t>(k) < positionIndex.size() ? positionIndex[static_cast<size_t>(k)] : -1;
        return i < 0 ? std::int64_t{0} : s.close[static_cast<size_t>(i)];
      });
    for (const PlantedStock& p : planted)
      insert(p.stock, [&](int k) {
        return static_cast<size_t>(k) < p.ten.size() && static_cast<size_t>(k) < positions.size()
                   ? p.ten[static_cast<size_t>(k)]
                   : std::int64_t{0};
      });
  }
  // The kept days of each history day's period: the day itself, its week
  // (Monday to the Friday) or its month up to it.
  std::vector<std::pair<std::size_t, std::size_t>> periods;  // first and last kept index
  for (auto it = historyDays.rbegin(); it != historyDays.rend(); ++it) {
    const int last = kept.indexOf(*it);
    if (last < 0) continue;
    sys_days start = *it;
    if (unit == "week") start = *it - days{6};
    if (unit == "month") start = sys_days{year_month_day{*it}.year() / year_month_day{*it}.month() / 1};
    const auto first = std::lower_bound(kept.days.begin(), kept.days.end(), start) - kept.days.begin();
    periods.emplace_back(static_cast<std::size_t>(first), static_cast<std::size_t>(last));
  }
  HistoryWriter history(db);
  for (const Stock& s : stocks) {
    const Value code = codeValue(s.code);
    for (const auto& [first, last] : periods)
      if (s.close[last] > 0)
        history.put(code, periodBar(s, static_cast<int>(kept.days[last].time_since_epoch().count()), first, last));
  }
  // The pattern samples' ten prices, oldest first, each opening at the close
  // before.
  for (const PlantedStock& p : planted) {
    const Value code = codeValue(p.stock.code);
    Rng rng(std::stoull(p.stock.code));  // the samples have numeric codes
    std::int32_t before = 0;
    for (size_t k = positions.size(); k-- > 0;) {
      if (k >= p.ten.size() || p.ten[k] <= 0) continue;
      Bar b;
      b.day = static_cast<int>(positions[k].time_since_epoch().count());
      b.close = static_cast<std::int32_t>(p.ten[k] * 10);
      b.open = before > 0 ? before : b.close;
      b.high = priceOnTicks(std::max(b.open, b.close) * (1 + 0.01 * rng.uniform()), false, 1);
      b.low = priceOnTicks(std::min(b.open, b.close) * (1 - 0.01 * rng.uniform()), false, -1);
      b.high = std::max({b.high, b.open, b.close});
      b.low = std::min({b.low, b.open, b.close});
      b.volume = (20 + rng.below(400)) * 100;
      history.put(code, b);
      before = b.close;
    }
  }
  history.flush();
  DateRecord rec;
  for (size_t k = 0; k < 10 && k < positions.size(); ++k) {
    rec.dates[k] = yymmdd(year_month_day{positions[k]}, true);
    rec.sourceNames[k] = sourceName;
  }
  rec.unit = unit;
  writeDateRecord(db, rec);
  tx.commit();
}

// Each unit's database keeps at most about this many closes in its history:
// a large sample market keeps fewer days (never fewer than the ten positions).
constexpr std::size_t kHistoryCloses = 1'000'000;

}  // namespace

std::vector<std::string> sampleStockCodes(std::size_t count, std::uint64_t seed) {
  Rng rng(seed ^ 0xC0DE5EEDull);
  CodePool pool(rng);
  std::vector<std::string> out;
  out.reserve(count);
  for (std::size_t i = 0; i < count; ++i) out.push_back(pool.draw());
  return out;
}

namespace {

DemoResult makeDemoFiles(const Paths& paths, const DemoOptions& options) {
  DemoResult result;
  std::filesystem::create_directories(paths.root());
  std::filesystem::create_directories(paths.hpDataDir());
  const std::filesystem::path targets[] = {paths.dailyDb(),
                                           paths.weeklyDb(),
                                           paths.monthlyDb(),
                                           paths.watchListDb(),
                                           paths.companionDaily(),
                                           paths.divuziDb(),
                                           paths.workbook(kDemoWorkbook),
                                           paths.workbook(kDemoListedIssues),
                                           paths.root() / kDemoNextDayCsv};
  for (const auto& t : targets) {
    if (!std::filesystem::exists(t)) continue;
    if (!options.replace) {
      result.fail(DemoFailure::FilesExist, "file exists: " + toUtf8(t) + " (use --replace)");
      return result;
    }
    std::filesystem::remove(t);
  }

  Rng rng(options.seed);
  const sys_days lastRegistered = sys_days{2026y / December / 8};
  const sys_days nextDay = sys_days{2026y / December / 9};
  const std::vector<sys_days> calendar = businessDays(sys_days{2026y / January / 5}, nextDay);

  // Days of each unit's history, latest first; the first ten are its positions.
  std::vector<sys_days> dailyAll, weeklyAll, monthlyAll;
  for (auto it = calendar.rbegin(); it != calendar.rend(); ++it)
    if (*it <= lastRegistered) dailyAll.push_back(*it);
  for (auto it = calendar.rbegin(); it != calendar.rend(); ++it)
    if (*it <= lastRegistered && weekday{*it} == Friday) weeklyAll.push_back(*it);
  for (auto it = calendar.rbegin(); it != calendar.rend(); ++it) {
    if (*it > lastRegistered) continue;
    auto next = it;
    if (next == calendar.rbegin()) continue;
    --next;  // the following business day
    if (year_month_day{*next}.month() != year_month_day{*it}.month()) monthlyAll.push_back(*it);
  }
  const std::size_t randomStocks = static_cast<std::size_t>(options.stocks);
  const std::size_t historyLength = std::max<std::size_t>(10, kHistoryCloses / (randomStocks + 1));
  auto firstN = [](const std::vector<sys_days>& all, std::size_t n) {
    return std::vector<sys_days>(all.begin(), all.begin() + static_cast<long>(std::min(n, all.size())));
  };
  const std::vector<sys_days> daily = firstN(dailyAll, 10), weekly = firstN(weeklyAll, 10),
                              monthly = firstN(monthlyAll, 10);
  const std::vector<sys_days> dailyHistory = firstN(dailyAll, historyLength),
                              weeklyHistory = firstN(weeklyAll, historyLength),
                              monthlyHistory = firstN(monthlyAll, historyLength);
  KeptDays kept;
  {
    std::set<sys_days> all{nextDay};
    for (const auto* days : {&dailyHistory, &weeklyHistory, &monthlyHistory}) all.insert(days->begin(), days->end());
    kept.days.assign(all.begin(), all.end());
  }
  std::vector<int> keptIndex;  // by calendar day
  for (sys_days d : calendar) keptIndex.push_back(kept.indexOf(d));

  // Stocks: the index placeholder, then the random market.
  std::vector<Stock> stocks;
  stocks.reserve(randomStocks + 1);
  std::unordered_set<std::string> names;
  std::unordered_map<std::string, int> nameRepeats;
  Stock index;
  index.code = "1000";
  index.name = "日経平均（指数）";
  index.market = "指数";
  index.unit = 1;
  index.section = "指数";
  stocks.push_back(index);
  const std::vector<std::string> codes = sampleStockCodes(randomStocks, options.seed);
  for (std::size_t i = 0; i < randomStocks; ++i) {
    Stock s;
    s.code = codes[i];
    std::string n;
    for (int tries = 0; tries < 8; ++tries) {
      n = std::string(kPrefixes[rng.below(std::size(kPrefixes))]) + kMiddles[rng.below(std::size(kMiddles))] +
          kTrades[rng.below(std::size(kTrades))];
      if (!names.count(n)) break;
    }
    // Once the names run short, a number tells namesakes apart.
    if (names.count(n)) {
      std::string numbered;
      do numbered = n + std::to_string(++nameRepeats[n] + 1);
      while (names.count(numbered));
      n = numbered;
    }
    names.insert(n);
    s.name = std::move(n);
    s.market = rng.pick(kMarkets);
    // Every listed stock has traded in lots of 100 since October 2018; the
    // older units stay with the stocks carried over with the older words.
    s.unit = isTodaysWord(s.market) ? 100 : rng.pick(kUnits);
    s.section = listedSection(s.market);
    stocks.push_back(std::move(s));
  }

  // Daily closes: a random walk per stock; the index walks too.
  for (Stock& s : stocks) {
    const double lotCost = std::exp(std::log(300000.0) + 0.9 * rng.normal());
    double p = std::max(1.0, lotCost / s.unit);
    if (s.code == "1000") p = 38000;
    const double drift = 0.0004 * rng.normal();
    const double vol = 0.008 + 0.02 * rng.uniform();
    // A few stocks were listed recently and have no older prices.
    size_t listedFrom = 0;
    if (!isPlainNumberCode(s.code) || rng.below(150) == 0)
      listedFrom = calendar.size() - 1 - static_cast<size_t>(3 + rng.below(5));
    s.close.assign(kept.days.size(), 0);
    s.volatility = vol;
    for (size_t d = 0; d < calendar.size(); ++d) {
      p *= std::exp(drift + vol * rng.normal());
      if (p < 1) p = 1;
      if (d >= listedFrom && keptIndex[d] >= 0) s.close[static_cast<size_t>(keptIndex[d])] = std::llround(p);
    }
  }
  // Open, high, low and volume from a generator of their own, so that the
  // closes and everything drawn after them stay as they were.
  {
    Rng barRng(options.seed ^ 0x0B5A7C1D5EEDull);
    for (Stock& s : stocks) fillDailyBars(s, barRng);
  }

  // Pattern samples, the same ten prices in every unit's database: one set
  // that every pattern lists now, and one that every pattern lists once the
  // next day has been inserted and its prices read (a set whose positions 1
  // to 9 are the other's 2 to 10 and whose next-day price is the other's
  // latest).
  const auto samples = patternSamplePrices();
  std::vector<PlantedStock> planted;
  int sampleCode = 1101;
  for (int set = 0; set < 2; ++set) {
    for (size_t i = 0; i < samples.size(); ++i) {
      PlantedStock p;
      p.stock.code = std::to_string(sampleCode++);
      char buf[32];
      std::snprintf(buf, sizeof buf, "%02zu", i + 1);
      p.stock.name = std::string(set == 0 ? "見本トレンド" : "見本翌日トレンド") + buf;
      p.stock.market = "東証１部";
      p.stock.unit = 100;
      p.stock.section = listedSection(p.stock.market);
      const std::vector<std::int64_t>& v = samples[i];
      if (set == 0) {
        p.ten = v;
        p.nextDay = v.front();  // unchanged on the next day
      } else {
        p.ten.assign(v.begin() + 1, v.end());
        p.ten.push_back(v.back());
        p.nextDay = v.front();
      }
      planted.push_back(std::move(p));
    }
  }

  fillPriceDb(paths.dailyDb(), "day", stocks, planted, kept, daily, kDemoWorkbook, dailyHistory);
  fillPriceDb(paths.weeklyDb(), "week", stocks, planted, kept, weekly, "owarine-w", weeklyHistory);
  fillPriceDb(paths.monthlyDb(), "month", stocks, planted, kept, monthly, "owarine-m", monthlyHistory);
  result.files = {paths.dailyDb(), paths.weeklyDb(), paths.monthlyDb()};

  // Watch lists: a few stocks on each.
  createWatchListDatabase(paths.watchListDb());
  {
    Database db(paths.watchListDb());
    Transaction tx(db);
    const char* listDates[] = {"26/12/08", "26/12/07", "26/12/04", "26/12/03", "26/12/02", "26/12/01"};
    for (int i = 0; i < 6; ++i) {
      for (const char* table : {"trend", "checklist"}) {
        const Stock& s = stocks.size() > 1
                             ? stocks[1 + static_cast<size_t>(rng.below(static_cast<int>(stocks.size()) - 1))]
                             : planted[static_cast<size_t>(rng.below(static_cast<int>(planted.size())))].stock;
        db.execute(std::string("insert into [") + table + "] ([コード],[銘柄],[市場],[単位],[date]) values (?,?,?,?,?)",
                   {codeValue(s.code), s.name, s.market, s.unit, std::string(listDates[i])});
      }
    }
    tx.commit();
  }
  result.files.push_back(paths.watchListDb());

  // Companion databases: part of our stocks with old prices, and a few the
  // companion holds that we do not.
  std::unordered_set<std::string> taken;
  for (const Stock& s : stocks) taken.insert(s.code);
  for (const PlantedStock& p : planted) taken.insert(p.stock.code);
  auto makeCompanion = [&](const std::filesystem::path& path, int share) {
    createCompanionDatabase(path);
    Database db(path);
    Transaction tx(db);
    Statement ins = db.prepare(
        "insert into [list] ([コード],[銘柄],[kabuka1],[kabuka2],[kabuka3],[kabuka4],[kabuka5],[kabuka6],[kabuka7],"
        "[kabuka8],[kabuka9],[kabuka10]) values (?,?,?,?,?,?,?,?,?,?,?,?)");
    for (size_t i = 1; i < stocks.size(); ++i) {
      if (rng.below(100) >= share || !isPlainNumberCode(stocks[i].code)) continue;
      ins.reset();
      ins.bind(1, static_cast<std::int64_t>(std::stoll(stocks[i].code)));
      ins.bind(2, stocks[i].name);
      for (int k = 0; k < 10; ++k) ins.bind(3 + k, Value());
      ins.step();
    }
    for (int extra = 0; extra < 3; ++extra) {
      int code = 9990 + extra;
      while (taken.count(std::to_string(code))) ++code;
      ins.reset();
      ins.bind(1, code);
      ins.bind(2, std::string("他社管理銘柄") + std::to_string(extra + 1));
      for (int k = 0; k < 10; ++k) ins.bind(3 + k, 500 + 10 * k);
      ins.step();
    }
    tx.commit();
  };
  makeCompanion(paths.companionDaily(), 10);
  makeCompanion(paths.divuziDb(), 5);
  result.files.push_back(paths.companionDaily());
  result.files.push_back(paths.divuziDb());

  // The daily workbook: the ten registered days and the next day, every
  // planted stock on each, and as many of the others as a sheet holds.
  std::vector<Sheet> sheets;
  auto addSheet = [&](sys_days day, const std::string& name) {
    Sheet sheet;
    sheet.name = name;
    const int position = static_cast<int>(std::find(daily.begin(), daily.end(), day) - daily.begin());
    const int k = kept.indexOf(day);
    const std::size_t room = kMaxSheetStocks - planted.size();
    for (const Stock& s : stocks) {
      if (sheet.rows.size() >= room) break;
      if (s.code == "1000" || k < 0 || s.close[static_cast<size_t>(k)] <= 0) continue;
      sheet.rows.push_back({&s.code, &s.name, s.close[static_cast<size_t>(k)]});
    }
    for (const PlantedStock& p : planted) {
      const std::int64_t close = day == nextDay                                 ? p.nextDay
                                 : static_cast<size_t>(position) < p.ten.size() ? p.ten[static_cast<size_t>(position)]
                                                                                : 0;
      if (close > 0) sheet.rows.push_back({&p.stock.code, &p.stock.name, close});
    }
    result.workbookStocks = std::max(result.workbookStocks, sheet.rows.size());
    sheets.push_back(std::move(sheet));
  };
  for (auto it = daily.rbegin(); it != daily.rend(); ++it) addSheet(*it, "s" + yymmdd(year_month_day{*it}, false));
  addSheet(nextDay, kDemoNextDaySheet);
  result.stocks = stocks.size() - 1 + planted.size();

  // The exchange's list of a month later: the stocks of the Tokyo segments
  // and the others under their own words, with 20 new listings (one with a
  // lettered code), 5 renames, 5 moves between segments and 10 left out,
  // and a few funds that the update skips unless asked.
  {
    std::vector<ListedRow> rows;
    std::vector<std::size_t> tokyo;  // random stocks on today's Tokyo segments
    for (std::size_t i = 1; i < stocks.size(); ++i)
      if (listedSection(stocks[i].market) != stocks[i].market) tokyo.push_back(i);
    std::unordered_set<std::size_t> renamed, moved, left;
    const std::size_t step = std::max<std::size_t>(1, tokyo.size() / 20);
    for (std::size_t k = 0; k < 20 && k * step < tokyo.size(); ++k) {
      const std::size_t i = tokyo[k * step];
      (k < 5 ? renamed : k < 10 ? moved : left).insert(i);
    }
    auto add = [&](const Stock& s, std::size_t i) {
      if (left.count(i)) return;
      std::string name = s.name, market = s.market;
      if (renamed.count(i)) name += "ホールディングス";
      if (moved.count(i)) market = market == "東証プライム" ? "東証スタンダード" : "東証プライム";
      rows.push_back({s.code, name, listedSection(market)});
    };
    for (std::size_t i = 1; i < stocks.size(); ++i) add(stocks[i], i);
    for (const PlantedStock& p : planted) add(p.stock, 0);
    // New listings and funds on codes nobody holds.
    std::vector<std::string> fresh;
    for (int n = 9899; n > 1300 && fresh.size() < 23; --n)
      if (!taken.count(std::to_string(n))) fresh.push_back(std::to_string(n));
    std::string lettered;
    for (int n = 999; n >= 130 && lettered.empty(); --n) {
      const std::string c = std::to_string(n) + "A";
      if (!taken.count(c)) lettered = c;
    }
    const char* newSections[] = {"グロース（内国株式）", "スタンダード（内国株式）", "プライム（内国株式）",
                                 "グロース（外国株式）"};
    for (std::size_t k = 0; k < 20 && k < fresh.size(); ++k) {
      const std::string code = k == 0 && !lettered.empty() ? lettered : fresh[k];
      rows.push_back({code, "新規上場" + std::to_string(k + 1), newSections[k % 4]});
    }
    const char* funds[] = {"ETF・ETN", "ETF・ETN", "REIT・ベンチャーファンド・カントリーファンド・インフラファンド"};
    for (std::size_t k = 20; k < fresh.size(); ++k)
      rows.push_back({fresh[k], "見本ファンド" + std::to_string(k - 19), funds[k - 20]});
    const std::string note = writeListedIssues(paths.workbook(kDemoListedIssues), rows);
    if (note.empty())
      result.files.push_back(paths.workbook(kDemoListedIssues));
    else
      logLine("demo", "listed-issues workbook not written: " + note);
  }
  // The next day once more as a data service's CSV file: every stock, a few
  // of the random ones without a trade.
  {
    std::vector<DailyCsvRow> rows;
    const int next = kept.indexOf(nextDay), before = kept.indexOf(daily.front());
    for (const Stock& s : stocks) {
      if (s.code == "1000") continue;
      DailyCsvRow r{s.code, s.name, s.market, s.close[static_cast<size_t>(next)], s.close[static_cast<size_t>(before)]};
      if (rows.size() % 173 == 100) r.close = 0;
      rows.push_back(std::move(r));
    }
    for (const PlantedStock& p : planted)
      rows.push_back({p.stock.code, p.stock.name, p.stock.market, p.nextDay, p.ten.empty() ? 0 : p.ten.front()});
    try {
      writeDailyCsv(paths.root() / kDemoNextDayCsv, "2026/12/09", rows);
      result.files.push_back(paths.root() / kDemoNextDayCsv);
    } catch (const std::exception& e) {
      logLine("demo", std::string("next day's CSV not written: ") + e.what());
    }
  }
  const std::string note = writeWorkbook(paths.workbook(kDemoWorkbook), sheets);
  if (note.empty()) {
    result.files.push_back(paths.workbook(kDemoWorkbook));
  } else {
    result.fail(DemoFailure::WorkbookNotWritten, note);
    logLine("demo", "workbook not written: " + note);
  }
  return result;
}

}  // namespace

DemoResult makeDemo(const Paths& paths, const DemoOptions& options) {
  if (options.stocks < 0 || options.stocks > kMaxDemoStocks) {
    DemoResult refused;
    refused.fail(DemoFailure::StocksOutOfRange,
                 "the sample market holds 0 to " + std::to_string(kMaxDemoStocks) + " stocks");
    return refused;
  }
  try {
    return makeDemoFiles(paths, options);
  } catch (const std::exception& e) {
    DemoResult failed;
    failed.fail(DemoFailure::Failed, e.what());
    logLine("demo", failed.detail);
    return failed;
  }
}

}  // namespace tavrin
