#include "datafetch/data_fetch.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "backtest/backtest.h"
#include "base/calendar.h"
#include "base/files.h"
#include "base/log.h"
#include "data/database.h"
#include "data/price_bars.h"
#include "data/price_schema.h"
#include "data/splits.h"
#include "data/stock_code.h"
#include "history/price_history.h"
#include "screening/pattern_catalogue.h"
#include "watchlists/watch_list_store.h"

namespace tavrin::datafetch {

namespace {

// The 市場・商品区分 text of the exchange's list for the service's market code,
// so that the master goes through the same words as the file.
std::string sectionOf(const MasterRow& r) {
  static const std::map<std::string, std::string> sections = {
      {"0111", "プライム（内国株式）"},     {"0112", "スタンダード（内国株式）"},
      {"0113", "グロース（内国株式）"},     {"0105", "TOKYO PRO MARKET"},
      {"0101", "市場第一部（内国株）"},     {"0102", "市場第二部（内国株）"},
      {"0104", "マザーズ（内国株）"},       {"0106", "JASDAQ(スタンダード・内国株）"},
      {"0107", "JASDAQ(グロース・内国株）"}};
  const auto it = sections.find(r.marketCode);
  return it != sections.end() ? it->second : r.marketName;
}

constexpr const char* kFundMarket = "0109";

void countSkipped(ListedIssues& out, SkippedRows::Reason reason, const std::string& section) {
  for (SkippedRows& s : out.skipped)
    if (s.reason == reason && s.section == section) {
      ++s.count;
      return;
    }
  out.skipped.push_back({reason, section, 1});
}

int weekdayOf(int day) { return ((day % 7) + 7 + 4) % 7; }  // 0 Sunday; 1970-01-01 was a Thursday
bool isWeekday(int day) {
  const int w = weekdayOf(day);
  return w != 0 && w != 6;
}
// The Friday of the day's week (Monday to Sunday).
int weekEnd(int day) {
  const int w = weekdayOf(day);
  return day + (w == 0 ? -2 : 5 - w);
}
// The last weekday of the day's month.
int monthEnd(int day) {
  int y = 0, m = 0, d = 0;
  civilFromDay(day, y, m, d);
  int last = *dayFromCivil(m == 12 ? y + 1 : y, m == 12 ? 1 : m + 1, 1) - 1;
  while (!isWeekday(last)) --last;
  return last;
}

std::optional<std::int32_t> tenths(const std::optional<double>& v) { return v ? tenthsOfPrice(*v) : std::nullopt; }

// The periods (weeks or months) the day history completes: per period its
// last trading day and every stock's bar gathered from its days.
struct Period {
  int lastDay = 0;
  std::vector<std::pair<Value, Bar>> bars;
};

// Periods whose last weekday lies from `lower` to `coverage`.
std::vector<Period> gatherPeriods(Database& day, int lower, int coverage, bool weeks) {
  std::map<int, Period> periods;  // by the period's last weekday
  forEachStockHistory(
      day,
      [&](const Value& code, const std::vector<Bar>& bars) {
        std::map<int, Bar> own;
        for (const Bar& b : bars) {
          const int end = weeks ? weekEnd(b.day) : monthEnd(b.day);
          if (end < lower || end > coverage) continue;
          auto [it, added] = own.emplace(end, b);
          Bar& g = it->second;
          if (!added) {
            if (g.open <= 0) g.open = b.open;
            g.high = b.high > 0 && (g.high <= 0 || b.high > g.high) ? b.high : g.high;
            g.low = b.low > 0 && (g.low <= 0 || b.low < g.low) ? b.low : g.low;
            g.close = b.close;
            g.volume = b.volume >= 0 ? std::max<std::int64_t>(g.volume, 0) + b.volume : g.volume;
            g.day = b.day;
          }
          Period& p = periods[end];
          p.lastDay = std::max(p.lastDay, b.day);
        }
        for (auto& [end, b] : own) periods[end].bars.emplace_back(code, b);
      },
      HistoryPrices::AsTraded);
  std::vector<Period> out;
  for (auto& [end, p] : periods) {
    for (auto& [code, b] : p.bars) b.day = p.lastDay;  // dated by the period's last trading day
    out.push_back(std::move(p));
  }
  return out;
}

// Writes the completed periods into a week or month file, the service's
// splits with them, and sets its positions at the latest period.
std::optional<int> followPeriods(const std::filesystem::path& file, const std::vector<Period>& periods,
                                 const std::vector<Split>& splits) {
  std::error_code ec;
  if (periods.empty() || !std::filesystem::is_regular_file(file, ec)) return std::nullopt;
  Database db(file, Database::Mode::ReadWrite);
  if (!db.tableExists("list")) return std::nullopt;
  {
    Transaction tx(db);
    const std::unordered_map<std::string, Value> codes = listCodes(db);
    HistoryWriter w(db);
    for (const Period& p : periods)
      for (const auto& [code, bar] : p.bars) {
        const std::optional<std::string> key = codeKey(code);
        const auto hit = key ? codes.find(*key) : codes.end();
        if (hit != codes.end()) w.put(hit->second, bar);
      }
    w.flush();
    if (!splits.empty()) {
      ensureSplitTables(db);
      for (const Split& s : splits) {
        const std::optional<std::string> key = codeKey(s.code);
        const auto hit = key ? codes.find(*key) : codes.end();
        if (hit == codes.end()) continue;
        db.execute("insert or replace into [splits] ([コード], [day], [ratio], [source]) values (?, ?, ?, 'service')",
                   {hit->second, Value(static_cast<std::int64_t>(s.day)), Value(s.ratio.value())});
      }
    }
    tx.commit();
  }
  const PositionsOutcome p = setPositionsFromHistory(db, periods.back().lastDay);
  if (!p.done()) {
    logLine("data fetch", toUtf8(file) + ": positions not set: " + p.detail);
    return std::nullopt;
  }
  return periods.back().lastDay;
}

}  // namespace

FetchListOutcome fetchStockList(JQuantsApi& api, const std::vector<StockListTarget>& targets,
                                const FetchListOptions& options) {
  FetchListOutcome out;
  std::vector<MasterRow> rows;
  out.service = api.master(rows);
  if (!out.service.done()) return out;
  ListedIssues& issues = out.issues;
  issues.hasMarketColumn = true;
  issues.source = "J-Quants";
  std::unordered_set<std::string> seen;
  std::map<int, std::size_t> dayRows;
  for (const MasterRow& r : rows) {
    ++issues.rows;
    if (r.day > 0) ++dayRows[r.day];
    const std::string section = sectionOf(r);
    if (r.code == "1000") {
      countSkipped(issues, SkippedRows::Reason::IndexCode, {});
      continue;
    }
    if (r.name.empty()) {
      countSkipped(issues, SkippedRows::Reason::NoName, {});
      continue;
    }
    IssueSection kind = classifySection(section);
    if (r.marketCode == kFundMarket) kind = {IssueSection::Kind::Fund, "東証"};
    if (kind.kind == IssueSection::Kind::Other || (kind.kind == IssueSection::Kind::Fund && !options.includeFunds)) {
      countSkipped(issues, SkippedRows::Reason::Section, section.empty() ? r.marketCode : section);
      continue;
    }
    if (!seen.insert(r.code).second) {
      countSkipped(issues, SkippedRows::Reason::Duplicate, {});
      continue;
    }
    issues.issues.push_back({r.code, r.name, kind.market, section});
  }
  if (issues.issues.empty()) {
    issues.fail(ListedIssuesFailure::NoColumns, "the service listed no stock");
    return out;
  }
  // The day most rows give, as for a file's 日付 column.
  std::size_t most = 0;
  for (const auto& [day, n] : dayRows)
    if (n >= most) {
      most = n;
      issues.listDay = day;
    }
  StockListUpdateOptions o;
  o.dryRun = options.dryRun;
  o.removeMissing = options.removeMissing;
  o.allowOlder = options.allowOlder;
  out.lists = updateStockLists(targets, issues, o);
  return out;
}

std::optional<int> latestHeldDay(const Paths& paths) {
  try {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(paths.dailyDb(), ec)) return std::nullopt;
    Database db = openForReading(paths.dailyDb());
    return latestHistoryDay(db);
  } catch (const std::exception& e) {
    logLine("data fetch", e.what());
    return std::nullopt;
  }
}

FetchDayReport storeServiceDay(Database& day, const std::unordered_map<std::string, Value>& codes, int d,
                               const std::vector<DailyRow>& rows, std::vector<Split>& splits) {
  FetchDayReport rep;
  rep.day = d;
  // One transaction a day: a fetch cut off keeps whole days only.
  Transaction tx(day);
  HistoryWriter w(day);
  bool splitTable = false;
  for (const DailyRow& r : rows) {
    const auto hit = codes.find(r.code);
    if (hit == codes.end()) {
      ++rep.unknown;
      continue;
    }
    const std::optional<std::int32_t> close = tenths(r.close);
    if (!close) {
      ++rep.noTrade;
      continue;
    }
    Bar b;
    b.day = d;
    b.close = *close;
    const std::optional<std::int32_t> o = tenths(r.open), h = tenths(r.high), l = tenths(r.low);
    if (o && h && l) {
      b.open = *o;
      b.high = *h;
      b.low = *l;
    }
    if (r.volume && *r.volume >= 0 && *r.volume < 9e15) b.volume = std::llround(*r.volume);
    w.put(hit->second, b);
    ++rep.stocks;
    if (r.adjFactor && std::fabs(*r.adjFactor - 1) > 1e-9) {
      // The factor multiplies the prices before the day: 0.5 for a 1:2 split.
      const std::optional<SplitRatio> ratio = splitRatioOf(1 / *r.adjFactor);
      if (!ratio || ratio->isOne()) continue;
      if (!splitTable) {
        ensureSplitTables(day);
        splitTable = true;
      }
      day.execute("insert or replace into [splits] ([コード], [day], [ratio], [source]) values (?, ?, ?, 'service')",
                  {hit->second, Value(static_cast<std::int64_t>(d)), Value(ratio->value())});
      splits.push_back({hit->second, d, *ratio, SplitSource::Service});
      ++rep.splits;
    }
  }
  w.flush();
  tx.commit();
  return rep;
}

FetchPricesOutcome fetchPrices(JQuantsApi& api, const Paths& paths, const FetchPricesOptions& options,
                               const FetchProgressFn& progress) {
  FetchPricesOutcome out;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(paths.dailyDb(), ec)) {
    out.fail(FetchFailure::NoDatabase, "no daily database " + toUtf8(paths.dailyDb()));
    return out;
  }
  try {
    Database day(paths.dailyDb(), Database::Mode::ReadWrite);
    if (!day.tableExists("list")) {
      out.fail(FetchFailure::NoDatabase, toUtf8(paths.dailyDb()) + " is not a price database");
      return out;
    }
    const std::optional<int> held = latestHistoryDay(day);
    out.to = options.to.value_or(options.today);
    out.from = options.from ? *options.from : held ? *held + 1 : options.today - 30;
    std::vector<int> asked;
    for (int d = out.from; d <= out.to; ++d)
      if (isWeekday(d)) asked.push_back(d);
    if (asked.empty()) {
      out.upToDate = true;
      return out;
    }
    out.from = asked.front();
    const std::unordered_map<std::string, Value> codes = listCodes(day);
    std::vector<Split> serviceSplits;
    int coverage = held.value_or(out.from - 1);
    std::vector<DailyRow> rows;
    for (std::size_t i = 0; i < asked.size(); ++i) {
      const int d = asked[i];
      if (progress) progress({d, i, asked.size()});
      const ServiceOutcome s = api.dailyBars(d, rows);
      if (!s.done()) {
        out.service = s;
        out.fail(FetchFailure::Service, isoDate(d) + ": " + s.detail);
        break;
      }
      if (rows.empty()) {
        ++out.holidays;
        coverage = std::max(coverage, d);
        continue;
      }
      FetchDayReport rep = storeServiceDay(day, codes, d, rows, serviceSplits);
      coverage = std::max(coverage, d);
      out.days.push_back(rep);
      logLine("data fetch", isoDate(d) + ": " + std::to_string(rep.stocks) + " stocks");
    }
    if (progress) progress({out.to, asked.size(), asked.size()});
    if (out.days.empty() && serviceSplits.empty()) return out;

    // The positions follow the history: the day file at its latest complete
    // day, the week and month files at their latest completed periods.
    const PositionsOutcome p = setPositionsFromHistory(day);
    if (p.done() && !p.days.empty()) out.positionsDay = p.days.front();
    // From the period after the latest one a file holds (a fetch stopped
    // before this step left it behind), or every period of the history.
    const int firstWritten = out.days.empty() ? out.from : out.days.front().day;
    auto lowestEnd = [&](const std::filesystem::path& file, int (*periodEnd)(int)) {
      std::error_code e;
      if (!std::filesystem::is_regular_file(file, e)) return periodEnd(firstWritten);
      Database db = openForReading(file);
      const std::optional<int> latest = latestHistoryDay(db);
      return latest ? std::min(periodEnd(firstWritten), periodEnd(*latest) + 1) : std::numeric_limits<int>::min();
    };
    out.weekDay = followPeriods(
        paths.weeklyDb(), gatherPeriods(day, lowestEnd(paths.weeklyDb(), weekEnd), coverage, true), serviceSplits);
    out.monthDay = followPeriods(
        paths.monthlyDb(), gatherPeriods(day, lowestEnd(paths.monthlyDb(), monthEnd), coverage, false), serviceSplits);
  } catch (const std::exception& e) {
    out.fail(FetchFailure::Database, e.what());
    logLine("data fetch", e.what());
  }
  return out;
}

std::vector<std::string> watchListReport(const Paths& paths) {
  std::vector<std::string> lines;
  try {
    const backtest::HistoryPanel panel = backtest::loadHistoryPanel(paths.dailyDb());
    if (panel.days.empty()) return lines;
    std::set<std::pair<std::string, std::string>> said;
    for (const auto& [universe, list] : {std::pair{22, WatchList::Trend}, std::pair{23, WatchList::Checklist}}) {
      backtest::BacktestRequest req;
      req.universeIndex = universe;
      req.watchCodes = readWatchCodes(paths.watchListDb(), list);
      if (req.watchCodes.empty()) continue;
      req.fromDay = panel.days.back();
      const backtest::BacktestResult r = backtest::runBacktest(panel, req);
      for (const backtest::PatternResult& pr : r.patterns)
        for (const backtest::Hit& h : pr.hits) {
          const backtest::PanelStock& s = panel.stocks[h.stock];
          const screening::ScreeningPattern& pat = screening::patternCatalogue()[pr.pattern];
          if (!said.insert({s.key, pat.control}).second) continue;
          // The group as the panel names it ("Label4" is 横這から上昇), then the button.
          std::string what = screening::groupCaption(pat);
          what += (what.empty() ? "" : " ") + std::string(pat.caption);
          lines.push_back(s.key + " " + s.name + ": " + what);
        }
    }
  } catch (const std::exception& e) {
    logLine("data fetch", std::string("watch-list report: ") + e.what());
  }
  return lines;
}

}  // namespace tavrin::datafetch
