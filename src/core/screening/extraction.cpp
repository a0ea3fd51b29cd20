#include "screening/extraction.h"

#include <algorithm>
#include <limits>

#include "watchlists/watch_query.h"

namespace tavrin {

std::string extractionQuery(const std::string& baseQuery, int universeIndex, const std::vector<std::string>& codes) {
  return appendCodeCondition(baseQuery, universeIndex >= 22, codes);
}

void sortByRatio1Descending(QueryResult& result) {
  const auto it = std::find(result.fields.begin(), result.fields.end(), "ratio1");
  if (it == result.fields.end()) return;
  const size_t col = static_cast<size_t>(it - result.fields.begin());
  auto key = [col](const Row& r) {
    if (col >= r.size()) return -std::numeric_limits<double>::infinity();
    return r[col].asNumber().value_or(-std::numeric_limits<double>::infinity());
  };
  std::stable_sort(result.rows.begin(), result.rows.end(), [&](const Row& a, const Row& b) { return key(b) < key(a); });
}

}  // namespace tavrin
