#include "sample/sample_market.h"

#include <unistd.h>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>

#include "app/log.h"
#include "data/database.h"
#include "data/price_schema.h"
#include "exchange/companion.h"
#include "history/price_history.h"
#include "sample/demo_planting.h"
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
  char buf[16];
  std::snprintf(buf, sizeof buf, slashes ? "%02d/%02u/%02u" : "%02d%02u%02u", static_cast<int>(d.year()) % 100,
                static_cast<unsigned>(d.month()), static_cast<unsigned>(d.day()));
  return buf;
}

struct Stock {
  std::string code;
  std::string name;
  std::string market;
  int unit = 100;
  std::string section;
  std::map<sys_days, std::int64_t> price;  // closing price by business day
  sys_days listedFrom{};                   // no prices before this day
};

const std::vector<std::pair<std::string, int>> kMarkets = {{"東証１部", 40},     {"東証２部", 12}, {"マザーズ", 8},
                                                           {"ジャスダック", 15}, {"大証１部", 6},  {"大証２部", 5},
                                                           {"名証１部", 4},      {"名証２部", 3},  {"ヘラクレス", 7}};
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
const std::string kSections[] = {"水産・農林", "建設",     "食料品",     "繊維",     "化学",       "医薬品",  "鉄鋼",
                                 "機械",       "電気機器", "輸送用機器", "精密機器", "卸売",       "小売",    "銀行",
                                 "証券",       "不動産",   "陸運",       "海運",     "情報・通信", "サービス"};

std::vector<sys_days> businessDays(sys_days from, sys_days to) {
  std::vector<sys_days> out;
  for (sys_days d = from; d <= to; d += days{1}) {
    weekday w{d};
    if (w != Saturday && w != Sunday) out.push_back(d);
  }
  return out;
}

// Writes one workbook through the xlwt writer; returns an empty text on
// success, else why not.
std::string writeWorkbook(const std::filesystem::path& path,
                          const std::vector<std::pair<std::string, std::vector<const Stock*>>>& sheets,
                          const std::vector<sys_days>& sheetDays) {
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
    std::ofstream j(json, std::ios::binary);
    auto quote = [](const std::string& t) {
      std::string o = "\"";
      for (char c : t) {
        if (c == '"' || c == '\\') o += '\\';
        o += c;
      }
      return o + "\"";
    };
    j << "{\"path\": " << quote(toUtf8(path)) << ", \"sheets\": [";
    for (size_t s = 0; s < sheets.size(); ++s) {
      j << (s ? ", " : "") << "{\"name\": " << quote(sheets[s].first)
        << ", \"rows\": [[\"コード\", \"銘柄\", \"終値\"]";
      for (const Stock* st : sheets[s].second) {
        auto it = st->price.find(sheetDays[s]);
        if (it == st->price.end()) continue;
        j << ", [";
        if (isPlainNumberCode(st->code))
          j << st->code;
        else
          j << quote(st->code);
        j << ", " << quote(st->name) << ", " << it->second << "]";
      }
      j << "]}";
    }
    j << "]}";
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

// Every stock's closes on historyDays go into the history (the positions are among them).
void fillPriceDb(const std::filesystem::path& path, const std::string& unit, const std::vector<Stock>& stocks,
                 const std::vector<sys_days>& positions, const std::string& sourceName,
                 const std::vector<sys_days>& historyDays) {
  createPriceDatabase(path, unit);
  Database db(path);
  Transaction tx(db);
  for (const char* table : {"list", "hojyo"}) {
    Statement ins = db.prepare(std::string("insert into [") + table +
                               "] ([銘柄],[コード],[市場],[単位],[市場区分],[kabuka1],[kabuka2],[kabuka3],"
                               "[kabuka4],[kabuka5],[kabuka6],[kabuka7],[kabuka8],[kabuka9],[kabuka10]) "
                               "values (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
    for (const Stock& s : stocks) {
      ins.reset();
      ins.bind(1, s.name);
      ins.bind(2, isPlainNumberCode(s.code) ? Value(static_cast<std::int64_t>(std::stoll(s.code))) : Value(s.code));
      ins.bind(3, s.market);
      ins.bind(4, s.unit);
      ins.bind(5, s.section);
      for (int k = 0; k < 10; ++k) {
        auto it = s.price.find(positions[static_cast<size_t>(k)]);
        ins.bind(6 + k, it == s.price.end() ? Value() : Value(it->second));
      }
      ins.step();
    }
  }
  HistoryWriter history(db);
  for (const Stock& s : stocks) {
    const Value code =
        isPlainNumberCode(s.code) ? Value(static_cast<std::int64_t>(std::stoll(s.code))) : Value(s.code);
    for (auto it = historyDays.rbegin(); it != historyDays.rend(); ++it) {
      auto p = s.price.find(*it);
      if (p != s.price.end()) history.put(code, static_cast<int>(it->time_since_epoch().count()), p->second);
    }
  }
  DateRecord rec;
  for (int k = 0; k < 10; ++k) {
    rec.dates[static_cast<size_t>(k)] = yymmdd(year_month_day{positions[static_cast<size_t>(k)]}, true);
    rec.sourceNames[static_cast<size_t>(k)] = sourceName;
  }
  rec.unit = unit;
  writeDateRecord(db, rec);
  tx.commit();
}

}  // namespace

DemoResult makeDemo(const Paths& paths, const DemoOptions& options) {
  DemoResult result;
  std::filesystem::create_directories(paths.root());
  std::filesystem::create_directories(paths.hpDataDir());
  const std::filesystem::path targets[] = {paths.dailyDb(),
                                           paths.weeklyDb(),
                                           paths.monthlyDb(),
                                           paths.watchListDb(),
                                           paths.companionDaily(),
                                           paths.divuziDb(),
                                           paths.workbook(kDemoWorkbook)};
  for (const auto& t : targets) {
    if (!std::filesystem::exists(t)) continue;
    if (!options.replace) throw std::runtime_error("file exists: " + toUtf8(t) + " (use --replace)");
    std::filesystem::remove(t);
  }

  Rng rng(options.seed);
  const sys_days lastRegistered = sys_days{2026y / December / 8};
  const sys_days nextDay = sys_days{2026y / December / 9};
  const std::vector<sys_days> calendar = businessDays(sys_days{2026y / January / 5}, nextDay);

  // Stocks: the index placeholder, the random market, then the pattern samples.
  std::vector<Stock> stocks;
  std::set<std::string> codes{"1000"}, names;
  Stock index;
  index.code = "1000";
  index.name = "日経平均（指数）";
  index.market = "指数";
  index.unit = 1;
  index.section = "指数";
  stocks.push_back(index);
  const int randomStocks = std::max(0, options.stocks);
  for (int i = 0; i < randomStocks; ++i) {
    Stock s;
    do {
      if (rng.below(100) == 0) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%d%c", 130 + rng.below(870), "ACDFGHJKLMNPRSTUWXY"[rng.below(19)]);
        s.code = buf;
      } else {
        s.code = std::to_string(1301 + rng.below(8697));
      }
    } while (!codes.insert(s.code).second);
    for (int tries = 0;; ++tries) {
      std::string n = std::string(kPrefixes[rng.below(std::size(kPrefixes))]) +
                      kMiddles[rng.below(std::size(kMiddles))] + kTrades[rng.below(std::size(kTrades))];
      if (tries > 20) n += std::to_string(tries);
      if (names.insert(n).second) {
        s.name = n;
        break;
      }
    }
    s.market = rng.pick(kMarkets);
    s.unit = rng.pick(kUnits);
    s.section = kSections[rng.below(std::size(kSections))];
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
    s.listedFrom = calendar.front();
    if (!isPlainNumberCode(s.code) || rng.below(150) == 0)
      s.listedFrom = calendar[calendar.size() - 1 - static_cast<size_t>(3 + rng.below(5))];
    for (sys_days d : calendar) {
      p *= std::exp(drift + vol * rng.normal());
      if (p < 1) p = 1;
      if (d >= s.listedFrom) s.price[d] = std::llround(p);
    }
  }

  // Patterns samples: the same ten prices in every unit's database.
  const auto samples = patternSamplePrices();
  std::vector<Stock> planted;
  int sampleCode = 1101;
  for (size_t i = 0; i < samples.size(); ++i) {
    Stock s;
    while (codes.count(std::to_string(sampleCode))) ++sampleCode;
    s.code = std::to_string(sampleCode++);
    codes.insert(s.code);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02zu", i + 1);
    s.name = std::string("見本トレンド") + buf;
    s.market = "東証１部";
    s.unit = 100;
    s.section = "見本";
    planted.push_back(std::move(s));
  }

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
  auto firstTen = [](const std::vector<sys_days>& all) {
    return std::vector<sys_days>(all.begin(), all.begin() + static_cast<long>(std::min<size_t>(10, all.size())));
  };
  const std::vector<sys_days> daily = firstTen(dailyAll), weekly = firstTen(weeklyAll), monthly = firstTen(monthlyAll);

  auto withSamples = [&](const std::vector<sys_days>& positions) {
    std::vector<Stock> all = stocks;
    for (size_t i = 0; i < planted.size(); ++i) {
      Stock s = planted[i];
      for (size_t k = 0; k < 10 && k < samples[i].size(); ++k)
        if (samples[i][k] > 0) s.price[positions[k]] = samples[i][k];
      all.push_back(std::move(s));
    }
    return all;
  };
  fillPriceDb(paths.dailyDb(), "day", withSamples(daily), daily, kDemoWorkbook, dailyAll);
  fillPriceDb(paths.weeklyDb(), "week", withSamples(weekly), weekly, "owarine-w", weeklyAll);
  fillPriceDb(paths.monthlyDb(), "month", withSamples(monthly), monthly, "owarine-m", monthlyAll);
  result.files = {paths.dailyDb(), paths.weeklyDb(), paths.monthlyDb()};

  // Watch lists: a few stocks on each.
  createWatchListDatabase(paths.watchListDb());
  {
    Database db(paths.watchListDb());
    Transaction tx(db);
    const char* listDates[] = {"26/12/08", "26/12/07", "26/12/04", "26/12/03", "26/12/02", "26/12/01"};
    for (int i = 0; i < 6; ++i) {
      for (const char* table : {"trend", "checklist"}) {
        const Stock& s = stocks[1 + static_cast<size_t>(rng.below(static_cast<int>(stocks.size()) - 1))];
        db.execute(std::string("insert into [") + table + "] ([コード],[銘柄],[市場],[単位],[date]) values (?,?,?,?,?)",
                   {isPlainNumberCode(s.code) ? Value(static_cast<std::int64_t>(std::stoll(s.code))) : Value(s.code),
                    s.name, s.market, s.unit, std::string(listDates[i])});
      }
    }
    tx.commit();
  }
  result.files.push_back(paths.watchListDb());

  // Companion databases: part of our stocks with old prices, and a few the
  // companion holds that we do not.
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
      while (codes.count(std::to_string(code))) ++code;
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

  // The daily workbook: the ten registered days and the next day.
  std::vector<std::pair<std::string, std::vector<const Stock*>>> sheets;
  std::vector<sys_days> sheetDays;
  std::vector<const Stock*> all;
  for (const Stock& s : stocks)
    if (s.code != "1000") all.push_back(&s);
  for (auto it = daily.rbegin(); it != daily.rend(); ++it) {
    sheets.push_back({"s" + yymmdd(year_month_day{*it}, false), all});
    sheetDays.push_back(*it);
  }
  sheets.push_back({kDemoNextDaySheet, all});
  sheetDays.push_back(nextDay);
  result.workbookNote = writeWorkbook(paths.workbook(kDemoWorkbook), sheets, sheetDays);
  if (result.workbookNote.empty())
    result.files.push_back(paths.workbook(kDemoWorkbook));
  else
    logLine("demo", "workbook not written: " + result.workbookNote);
  return result;
}

}  // namespace tavrin
