#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/value.h"
#include "data/database.h"
#include "data/price_bars.h"

namespace tavrin {

// What a look over a stock's closes finds that deserves a second look. Nothing
// is changed by it: a spike is usually a wrong close of the source, a step a
// stock split or consolidation not yet entered.
enum class FindingKind {
  Spike,  // one close at least 2.5 times (or at most 1/2.5 of) both neighbours
  Step,   // a lasting change of level by a split or consolidation ratio
};

struct HistoryFinding {
  std::string code;  // code key: "7203", "130A"
  int day = 0;       // the spike's day, the first day at the new level
  FindingKind kind = FindingKind::Spike;
  // Step: shares after per share before that the step matches (5 for 1:5,
  // 0.1 for 10:1). Spike: the close over its neighbours' mean.
  double ratio = 0;
  // The closes around the day (tenths of a yen), oldest first, and the
  // position of the day among them.
  std::vector<Bar> around;
  std::size_t at = 0;
};

// The split and consolidation ratios a step is checked against (shares after
// per share before): 1:1.5, 1:2, 1:3, 1:4, 1:5, 1:10, 1:100 and the inverses.
const std::vector<double>& splitRatios();

// One stock's bars, oldest first.
std::vector<HistoryFinding> checkBars(const std::string& codeKey, const std::vector<Bar>& bars);

// Every stock of the history (or one: code key), in stored order.
std::vector<HistoryFinding> checkHistory(Database& db, const std::optional<std::string>& codeKey = std::nullopt);

// "1:5", "10:1", "1:1.5" for a ratio of splitRatios().
std::string ratioText(double ratio);

}  // namespace tavrin
