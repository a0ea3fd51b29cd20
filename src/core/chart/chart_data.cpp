#include "chart/chart_data.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

#include "app/paths.h"
#include "base/log.h"
#include "data/stock_code.h"

namespace tavrin::chart {

namespace {

int monthIndex(int day) {
  int y, m, d;
  civilFromDay(day, y, m, d);
  return y * 12 + (m - 1);
}

// Monday-based week number (1970-01-01 was a Thursday).
int weekIndex(int day) { return (day + 3) >= 0 ? (day + 3) / 7 : (day + 3 - 6) / 7; }

const char* const kWeekdays[] = {"日", "月", "火", "水", "木", "金", "土"};

const char* changeWord(ChartUnit unit) {
  switch (unit) {
    case ChartUnit::Week: return "前週比";
    case ChartUnit::Month: return "前月比";
    case ChartUnit::Day: break;
  }
  return "前日比";
}

}  // namespace

ChartUnit chartUnitFromWord(const std::string& w) {
  if (w == "week") return ChartUnit::Week;
  if (w == "month") return ChartUnit::Month;
  return ChartUnit::Day;
}

ChartSeries buildSeries(const std::vector<Bar>& history, const std::array<PositionClose, 10>& positions) {
  std::map<int, std::pair<Bar, bool>> byDay;  // bar, registered
  for (const Bar& b : history)
    if (b.close > 0) byDay[b.day] = {b, false};
  for (const PositionClose& p : positions) {
    if (!p.day) continue;
    auto it = byDay.find(*p.day);
    if (it != byDay.end()) {
      it->second.second = true;
    } else if (p.close && *p.close > 0 && *p.close <= kMaxPriceTenths / 10) {
      Bar b;
      b.day = *p.day;
      b.close = static_cast<std::int32_t>(*p.close * 10);
      byDay[*p.day] = {b, true};
    }
  }
  ChartSeries s;
  s.days.reserve(byDay.size());
  s.bars.reserve(byDay.size());
  s.registered.reserve(byDay.size());
  for (const auto& [day, v] : byDay) {
    s.days.push_back(day);
    s.bars.push_back(v.first);
    s.registered.push_back(v.second);
  }
  return s;
}

int periodOf(int day, ChartUnit unit) {
  switch (unit) {
    case ChartUnit::Week: return weekIndex(day);
    case ChartUnit::Month: return monthIndex(day);
    case ChartUnit::Day: break;
  }
  return day;
}

ChartSeries seriesInUnit(const ChartSeries& daily, ChartUnit unit) {
  if (unit == ChartUnit::Day) return daily;
  ChartSeries out;
  std::size_t i = 0;
  while (i < daily.size()) {
    const int period = periodOf(daily.days[i], unit);
    std::size_t end = i;
    while (end < daily.size() && periodOf(daily.days[end], unit) == period) ++end;
    const Bar& first = daily.bars[i];
    Bar bar;
    bar.day = daily.days[end - 1];
    bar.close = daily.bars[end - 1].close;
    bool anyOpen = false, anyHigh = false, anyLow = false, anyVolume = false, registered = false;
    std::int32_t high = 0, low = 0;
    std::int64_t volume = 0;
    for (std::size_t k = i; k < end; ++k) {
      const Bar& b = daily.bars[k];
      anyOpen = anyOpen || b.open > 0;
      anyHigh = anyHigh || b.high > 0;
      anyLow = anyLow || b.low > 0;
      const std::int32_t h = b.high > 0 ? b.high : b.close, l = b.low > 0 ? b.low : b.close;
      high = k == i ? h : std::max(high, h);
      low = k == i ? l : std::min(low, l);
      if (b.hasVolume()) {
        anyVolume = true;
        volume += b.volume;
      }
      registered = registered || daily.registered[k];
    }
    if (anyOpen || anyHigh || anyLow) {
      bar.open = first.open > 0 ? first.open : first.close;
      bar.high = high;
      bar.low = low;
    }
    bar.volume = anyVolume ? volume : -1;
    out.days.push_back(bar.day);
    out.bars.push_back(bar);
    out.registered.push_back(registered);
    i = end;
  }
  return out;
}

std::vector<ChartUnit> viewUnits(ChartUnit databaseUnit) {
  if (databaseUnit == ChartUnit::Day) return {ChartUnit::Day, ChartUnit::Week, ChartUnit::Month};
  return {databaseUnit};
}

std::vector<int> barDaysOf(const ChartSeries& series, const std::vector<int>& days, ChartUnit unit) {
  std::vector<int> out;
  for (int d : days) {
    // The bar of a period is dated by its last day: the first bar on or
    // after the day, if it is of the same period.
    const auto it = std::lower_bound(series.days.begin(), series.days.end(), d);
    if (it != series.days.end() && periodOf(*it, unit) == periodOf(d, unit)) out.push_back(*it);
  }
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

std::array<int, 3> averagePeriods(ChartUnit unit) {
  switch (unit) {
    case ChartUnit::Week: return {13, 26, 52};
    case ChartUnit::Month: return {12, 24, 60};
    case ChartUnit::Day: break;
  }
  return {5, 25, 75};
}

std::vector<std::optional<double>> movingAverage(const std::vector<Bar>& bars, int periods) {
  std::vector<std::optional<double>> out(bars.size());
  if (periods <= 0) return out;
  const std::size_t n = static_cast<std::size_t>(periods);
  // Whole-number sums of tenths stay exact for any close the database holds.
  std::int64_t sum = 0;
  for (std::size_t i = 0; i < bars.size(); ++i) {
    sum += bars[i].close;
    if (i >= n) sum -= bars[i - n].close;
    if (i + 1 >= n) out[i] = static_cast<double>(sum) / (10.0 * static_cast<double>(n));
  }
  return out;
}

std::array<RangeChoice, 4> rangeChoices(ChartUnit unit) {
  switch (unit) {
    case ChartUnit::Week: return {{{"6か月", 6}, {"1年", 12}, {"3年", 36}, {"全期間", 0}}};
    case ChartUnit::Month: return {{{"3年", 36}, {"5年", 60}, {"10年", 120}, {"全期間", 0}}};
    case ChartUnit::Day: break;
  }
  return {{{"3か月", 3}, {"6か月", 6}, {"1年", 12}, {"全期間", 0}}};
}

IndexRange rangeFor(const ChartSeries& series, int months) {
  IndexRange r;
  r.count = series.size();
  if (months <= 0 || series.empty()) return r;
  int y, m, d;
  civilFromDay(series.days.back(), y, m, d);
  int total = y * 12 + (m - 1) - months;
  const int cy = total / 12, cm = total % 12 + 1;
  std::optional<int> cutoff;
  for (int dd = d; dd >= 28 && !cutoff; --dd) cutoff = dayFromCivil(cy, cm, dd);
  if (!cutoff) cutoff = dayFromCivil(cy, cm, std::min(d, 28));
  if (!cutoff) return r;
  const auto it = std::upper_bound(series.days.begin(), series.days.end(), *cutoff);
  r.first = static_cast<std::size_t>(it - series.days.begin());
  r.count = series.size() - r.first;
  return r;
}

std::vector<DateLabel> dateLabels(const ChartSeries& series, IndexRange range, ChartUnit unit, std::size_t maxLabels) {
  std::vector<DateLabel> out;
  if (range.count == 0 || range.end() > series.size() || maxLabels == 0) return out;
  // Steps: 0 stands for weeks (day unit only), else months.
  std::vector<int> steps;
  if (unit == ChartUnit::Day) steps.push_back(0);
  if (unit != ChartUnit::Month) steps.push_back(1);
  for (int s : {3, 6, 12, 24, 60, 120, 240}) steps.push_back(s);
  auto bucket = [&](std::size_t i, int step) {
    return step == 0 ? weekIndex(series.days[i]) : monthIndex(series.days[i]) / step;
  };
  for (int step : steps) {
    std::vector<std::size_t> at;
    for (std::size_t i = std::max<std::size_t>(range.first, 1); i < range.end(); ++i)
      if (bucket(i, step) != bucket(i - 1, step)) at.push_back(i);
    if (at.size() > maxLabels && step != steps.back()) continue;
    for (std::size_t i : at) {
      int y, m, d;
      civilFromDay(series.days[i], y, m, d);
      DateLabel l;
      l.index = i;
      char buf[32];
      if (step == 0) {
        l.major = monthIndex(series.days[i]) != monthIndex(series.days[i - 1]);
        std::snprintf(buf, sizeof buf, "%d/%d", m, d);
      } else if (step < 12) {
        l.major = y != monthIndex(series.days[i - 1]) / 12;
        if (l.major || out.empty())
          std::snprintf(buf, sizeof buf, "%d/%d", y, m);
        else
          std::snprintf(buf, sizeof buf, "%d月", m);
      } else {
        l.major = true;
        std::snprintf(buf, sizeof buf, "%d", y);
      }
      l.text = buf;
      out.push_back(std::move(l));
      if (out.size() == maxLabels) break;
    }
    break;
  }
  return out;
}

BarKind barKind(const Bar& b) {
  if (!b.hasRange()) return BarKind::CloseOnly;
  if (b.close > b.open) return BarKind::Rising;
  if (b.close < b.open) return BarKind::Falling;
  return BarKind::Even;
}

PriceStyle priceStyle(const ChartSeries& series, IndexRange range, double width) {
  if (range.count == 0 || range.end() > series.size()) return PriceStyle::Line;
  std::size_t ranged = 0;
  for (std::size_t i = range.first; i < range.end(); ++i) ranged += series.bars[i].hasRange() ? 1 : 0;
  if (ranged == 0) return PriceStyle::Line;
  const double count = static_cast<double>(range.count);
  if (count * 3 <= width) return PriceStyle::Candles;
  if (count <= width) return PriceStyle::HighLow;
  return ranged * 2 >= range.count ? PriceStyle::Columns : PriceStyle::Line;
}

std::string priceLabel(std::int64_t tenths) {
  const std::int64_t magnitude = tenths < 0 ? -tenths : tenths;
  std::string out = (tenths < 0 ? "-" : "") + groupedCount(magnitude / 10);
  if (magnitude % 10 != 0) out += "." + std::to_string(magnitude % 10);
  return out;
}

std::string volumeLabel(double shares) {
  if (!std::isfinite(shares)) return {};
  const double magnitude = std::abs(shares);
  if (magnitude < 1e4) return groupedCount(std::llround(shares));
  const bool oku = magnitude >= 1e8;
  const double v = shares / (oku ? 1e8 : 1e4);
  // Up to two decimals, without trailing zeros; the whole part grouped.
  const std::int64_t hundredths = std::llround(v * 100);
  std::string out = (hundredths < 0 ? "-" : "") + groupedCount(std::abs(hundredths) / 100);
  std::string decimals = std::to_string(100 + std::abs(hundredths) % 100).substr(1);
  while (!decimals.empty() && decimals.back() == '0') decimals.pop_back();
  if (!decimals.empty()) out += "." + decimals;
  return out + (oku ? "億" : "万");
}

std::string barDate(const ChartSeries& series, std::size_t i, ChartUnit unit) {
  if (i >= series.size()) return {};
  std::string out = isoDate(series.days[i]);
  if (unit == ChartUnit::Day) {
    // 1970-01-01 was a Thursday.
    const int wd = ((series.days[i] % 7) + 7 + 4) % 7;
    out += std::string("（") + kWeekdays[wd] + "）";
  }
  return out;
}

namespace {

// The known prices of a bar as (word, text) pairs: 始値, 高値, 安値, 終値, 出来高.
std::vector<std::pair<const char*, std::string>> barFields(const Bar& b) {
  std::vector<std::pair<const char*, std::string>> out;
  if (b.open > 0) out.emplace_back("始値", priceLabel(b.open));
  if (b.high > 0) out.emplace_back("高値", priceLabel(b.high));
  if (b.low > 0) out.emplace_back("安値", priceLabel(b.low));
  out.emplace_back("終値", priceLabel(b.close));
  if (b.hasVolume()) out.emplace_back("出来高", groupedCount(b.volume));
  return out;
}

}  // namespace

std::string pointDescription(const ChartSeries& series, std::size_t i, ChartUnit unit) {
  if (i >= series.size()) return {};
  std::string out = barDate(series, i, unit);
  for (const auto& [word, text] : barFields(series.bars[i])) out += std::string("  ") + word + " " + text;
  out += std::string("  ") + changeWord(unit) + " ";
  if (i == 0) return out + "—";
  const std::int64_t prev = series.bars[i - 1].close;
  const std::int64_t change = series.bars[i].close - prev;
  out += (change > 0 ? "+" : "") + priceLabel(change);
  if (prev != 0) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%+.2f%%", static_cast<double>(change) * 100.0 / static_cast<double>(prev));
    out += std::string("（") + buf + "）";
  }
  return out;
}

std::vector<std::string> barDetails(const ChartSeries& series, std::size_t i, ChartUnit unit) {
  if (i >= series.size()) return {};
  std::vector<std::string> out{barDate(series, i, unit)};
  for (const auto& [word, text] : barFields(series.bars[i])) out.push_back(std::string(word) + " " + text);
  return out;
}

std::vector<double> valueTicks(double low, double high, int maxTicks) {
  std::vector<double> out;
  if (!(high >= low) || maxTicks < 1 || !std::isfinite(low) || !std::isfinite(high)) return out;
  if (high == low) return {low};
  double power = std::pow(10.0, std::floor(std::log10((high - low) / maxTicks)));
  // The smallest round step that gives no more than maxTicks values.
  for (;; power *= 10) {
    for (double f : {1.0, 2.0, 2.5, 5.0}) {
      const double step = power * f;
      const double first = std::ceil(low / step - 1e-9);
      const double last = std::floor(high / step + 1e-9);
      if (last - first + 1 > maxTicks) continue;
      for (double k = first; k <= last; ++k) out.push_back(k * step);
      return out;
    }
  }
}

ChartStock loadChartStock(Database& db, const std::string& code) {
  ChartStock s;
  if (!db.tableExists("list")) {
    s.error = "not a price database";
    return s;
  }
  std::string sql = "select [銘柄], [コード], [市場]";
  for (int k = 1; k <= 10; ++k) sql += ", [kabuka" + std::to_string(k) + "]";
  sql += " from [list] where [コード] = ? limit 1";
  QueryResult r = db.query(sql, {historyCodeValue(code)});
  if (r.rows.empty()) r = db.query(sql, {Value(code)});
  if (r.rows.empty()) {
    s.error = "no stock " + code;
    return s;
  }
  const Row& row = r.rows.front();
  s.found = true;
  s.name = row[0].isNull() ? std::string() : row[0].display();
  s.code = codeKey(row[1]).value_or(row[1].display());
  s.market = row[2].isNull() ? std::string() : row[2].display();
  const std::optional<DateRecord> rec = readDateRecord(db);
  s.unitWord = rec ? rec->unit : std::string();
  s.unit = chartUnitFromWord(s.unitWord);
  std::array<PositionClose, 10> positions;
  for (std::size_t k = 0; k < 10; ++k) {
    if (rec) positions[k].day = dayFromRecordDate(rec->dates[k]);
    const Value& v = row[3 + k];
    if (v.isInteger())
      positions[k].close = v.integer();
    else if (std::optional<double> n = v.asNumber(); n && !v.isText())
      positions[k].close = static_cast<std::int64_t>(std::llround(*n));
  }
  const std::vector<Bar> history = readHistory(db, row[1]);
  s.series = buildSeries(history, positions);
  for (const Bar& b : history) s.historyPoints += b.close > 0 ? 1 : 0;
  return s;
}

ChartStock loadChartStock(const std::filesystem::path& dbPath, const std::string& code) {
  try {
    Database db = openForReading(dbPath);
    return loadChartStock(db, code);
  } catch (const std::exception& e) {
    logLine("chart", toUtf8(dbPath) + ": " + e.what());
    ChartStock s;
    s.error = e.what();
    return s;
  }
}

std::string stockTitle(const ChartStock& s) {
  std::string inner = s.code;
  if (!s.market.empty()) inner += "・" + s.market;
  return s.name + "（" + inner + "）";
}

ChartSeries seriesOfStock(const ChartStock& stock, ChartUnit view) {
  if (stock.unit != ChartUnit::Day) return stock.series;
  return seriesInUnit(stock.series, view);
}

}  // namespace tavrin::chart
