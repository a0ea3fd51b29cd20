#include "history/history_checks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "data/stock_code.h"
#include "history/price_history.h"

namespace tavrin {

namespace {

constexpr double kSpikeFactor = 2.5;
constexpr double kRatioTolerance = 0.02;
// A step lasts when the closes after it stay nearer the new level than the
// old one: checked over this many closes (fewer at the end of the history,
// but at least one).
constexpr std::size_t kLastingCloses = 5;
constexpr std::size_t kAroundEachSide = 3;

std::vector<Bar> around(const std::vector<Bar>& bars, std::size_t i, std::size_t& at) {
  const std::size_t from = i >= kAroundEachSide ? i - kAroundEachSide : 0;
  const std::size_t to = std::min(bars.size(), i + kAroundEachSide + 1);
  at = i - from;
  return std::vector<Bar>(bars.begin() + static_cast<std::ptrdiff_t>(from),
                          bars.begin() + static_cast<std::ptrdiff_t>(to));
}

}  // namespace

const std::vector<double>& splitRatios() {
  static const std::vector<double> ratios = {1.5, 2, 3, 4, 5, 10, 100, 1 / 1.5, 0.5, 1 / 3.0, 0.25, 0.2, 0.1, 0.01};
  return ratios;
}

std::string ratioText(double ratio) {
  char buf[32];
  auto number = [&](double v) {
    std::snprintf(buf, sizeof buf, "%.6g", v);
    return std::string(buf);
  };
  return ratio >= 1 ? "1:" + number(ratio) : number(1 / ratio) + ":1";
}

std::vector<HistoryFinding> checkBars(const std::string& codeKey, const std::vector<Bar>& bars) {
  std::vector<HistoryFinding> out;
  std::vector<bool> spike(bars.size(), false);
  for (std::size_t i = 1; i + 1 < bars.size(); ++i) {
    const double c = bars[i].close, a = bars[i - 1].close, b = bars[i + 1].close;
    const bool high = c >= kSpikeFactor * a && c >= kSpikeFactor * b;
    const bool low = c * kSpikeFactor <= a && c * kSpikeFactor <= b;
    if (!high && !low) continue;
    spike[i] = true;
    HistoryFinding f;
    f.code = codeKey;
    f.day = bars[i].day;
    f.kind = FindingKind::Spike;
    f.ratio = c / ((a + b) / 2);
    f.around = around(bars, i, f.at);
    out.push_back(std::move(f));
  }
  for (std::size_t i = 1; i < bars.size(); ++i) {
    if (spike[i] || spike[i - 1]) continue;
    const double before = bars[i - 1].close, after = bars[i].close;
    const double shares = before / after;  // a 1:5 split divides the price by 5
    double matched = 0;
    for (double r : splitRatios())
      if (std::fabs(shares / r - 1) <= kRatioTolerance) matched = r;
    if (matched == 0) continue;
    // Lasting: the next closes stay nearer the new level than the old.
    bool lasting = i + 1 < bars.size();
    for (std::size_t k = i + 1; k < bars.size() && k <= i + kLastingCloses; ++k) {
      const double c = bars[k].close;
      if (std::fabs(std::log(c / after)) >= std::fabs(std::log(c / before))) lasting = false;
    }
    if (!lasting) continue;
    HistoryFinding f;
    f.code = codeKey;
    f.day = bars[i].day;
    f.kind = FindingKind::Step;
    f.ratio = matched;
    f.around = around(bars, i, f.at);
    out.push_back(std::move(f));
  }
  std::sort(out.begin(), out.end(), [](const HistoryFinding& a, const HistoryFinding& b) { return a.day < b.day; });
  return out;
}

std::vector<HistoryFinding> checkHistory(Database& db, const std::optional<std::string>& key) {
  std::vector<HistoryFinding> out;
  auto one = [&](const Value& code, const std::vector<Bar>& bars) {
    const std::optional<std::string> k = codeKey(code);
    std::vector<HistoryFinding> f = checkBars(k ? *k : code.display(), bars);
    out.insert(out.end(), std::make_move_iterator(f.begin()), std::make_move_iterator(f.end()));
  };
  if (key)
    one(historyCodeValue(*key), readHistory(db, *key));
  else
    forEachStockHistory(db, one);
  return out;
}

}  // namespace tavrin
