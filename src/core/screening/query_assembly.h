#pragma once
#include <optional>
#include <string>
#include <vector>

#include "base/value.h"
#include "screening/pattern_catalogue.h"

namespace tavrin::screening {

// A query with its bound parameters.
struct BoundQuery {
  std::string sql;
  std::vector<Value> params;
};

// The watch-list universes (22 and 23) start from a query that already has a
// WHERE clause; every other universe starts from a bare view.
inline bool universeHasWhere(int universeIndex) { return universeIndex >= 22; }

// baseQuery + " where (" + condition + ")", or " and (" in the watch-list universes.
std::string appendCondition(const std::string& baseQuery, int universeIndex, const std::string& conditionSql);

// The query a pattern click sets; the ranking threshold follows the unit word.
std::string patternQuery(const std::string& baseQuery, int universeIndex, const ScreeningPattern& pattern,
                         const std::string& unitWord);

// "コードで探す": the stock with that code. A plain number compares as a
// number, any other code as text. nullopt for Cancel, an empty answer or a
// text that is no code (parseStockCode): the grid keeps its rows.
std::optional<BoundQuery> codeSearchQuery(const std::string& baseQuery, int universeIndex,
                                          const std::optional<std::string>& answer);

// "銘柄で探す": names containing the answer, every character taken literally.
// Cancel or an empty answer lists every stock that has a name.
BoundQuery nameSearchQuery(const std::string& baseQuery, int universeIndex, const std::optional<std::string>& answer);

}  // namespace tavrin::screening
