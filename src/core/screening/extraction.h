#pragma once
#include <string>
#include <vector>

#include "data/database.h"

namespace tavrin {

// After an extraction the grid is sorted by this column (ratio1) with this
// sort setting (numeric descending): the largest ratio1 comes first.
inline constexpr int kExtractionSortColumn = 8;
inline constexpr int kExtractionSortSetting = 4;

// The query of the "抽出" buttons: baseQuery kept to the listed codes, every
// code of the list taking part. In the plain universes the codes open the
// WHERE clause (" where (" ... ")" or, for one code, "where " ...); in the
// watch-list universes (universeIndex 22 and above, whose baseQuery already
// has a WHERE clause) they are joined with " and (" ... ")". An empty list
// gives a query that lists no stock.
std::string extractionQuery(const std::string& baseQuery, int universeIndex, const std::vector<std::string>& codes);

// Orders rows the way the grid is sorted after an extraction: ratio1
// descending by number, rows without a number last, equal rows in their
// previous order. Does nothing when there is no ratio1 field.
void sortByRatio1Descending(QueryResult& result);

}  // namespace tavrin
