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
  std::map<int, std::pair<std::int64_t, bool>> byDay;  // close, registered
  for (const Bar& p : history)
    if (p.close > 0) byDay[p.day] = {wholeYen(p.close), false};
  for (const PositionClose& p : positions) {
    if (!p.day) continue;
    auto it = byDay.find(*p.day);
    if (it != byDay.end()) {
      it->second.second = true;
    } else if (p.close) {
      byDay[*p.day] = {*p.close, true};
    }
  }
  ChartSeries s;
  s.days.reserve(byDay.size());
  s.closes.reserve(byDay.size());
  s.registered.reserve(byDay.size());
  for (const auto& [day, v] : byDay) {
    s.days.push_back(day);
    s.closes.push_back(v.first);
    s.registered.push_back(v.second);
  }
  return s;
}

std::array<int, 3> averagePeriods(ChartUnit unit) {
  switch (unit) {
    case ChartUnit::Week: return {13, 26, 52};
    case ChartUnit::Month: return {12, 24, 60};
    case ChartUnit::Day: break;
  }
  return {5, 25, 75};
}

std::vector<std::optional<double>> movingAverage(const std::vector<std::int64_t>& closes, int periods) {
  std::vector<std::optional<double>> out(closes.size());
  if (periods <= 0) return out;
  const std::size_t n = static_cast<std::size_t>(periods);
  // Whole-number sums stay exact for any close the database holds.
  std::int64_t sum = 0;
  for (std::size_t i = 0; i < closes.size(); ++i) {
    sum += closes[i];
    if (i >= n) sum -= closes[i - n];
    if (i + 1 >= n) out[i] = static_cast<double>(sum) / static_cast<double>(n);
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

std::string pointDescription(const ChartSeries& series, std::size_t i, ChartUnit unit) {
  if (i >= series.size()) return {};
  std::string out = isoDate(series.days[i]);
  if (unit == ChartUnit::Day) {
    // 1970-01-01 was a Thursday.
    const int wd = ((series.days[i] % 7) + 7 + 4) % 7;
    out += std::string("（") + kWeekdays[wd] + "）";
  }
  out += "  終値 " + groupedCount(series.closes[i]) + "  " + changeWord(unit) + " ";
  if (i == 0) return out + "—";
  const std::int64_t prev = series.closes[i - 1];
  const std::int64_t change = series.closes[i] - prev;
  out += (change > 0 ? "+" : "") + groupedCount(change);
  if (prev != 0) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%+.2f%%", static_cast<double>(change) * 100.0 / static_cast<double>(prev));
    out += std::string("（") + buf + "）";
  }
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
  for (const Bar& p : history) s.historyPoints += p.close > 0 ? 1 : 0;
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

}  // namespace tavrin::chart
