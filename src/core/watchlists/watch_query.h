#pragma once
#include <string>
#include <vector>

namespace tavrin {

// The condition over the listed codes, in list order: "[コード]=7203" for one
// code, "[コード]=7203 Or  [コード]=6758" for more. Plain numeric codes stay
// bare, any other code is quoted with its quotes doubled ("[コード]='130A'").
// Codes that are empty after trimming are left out. Lists of more than 150
// codes become "[コード] in (...)" (each code once), which the database takes
// at any length and looks up faster.
// Empty when no code is left.
std::string watchCodeCondition(const std::vector<std::string>& codes);

// Appends the code condition to a query: with no WHERE clause yet
// " where (" + condition + ")" for several codes and "where " + condition for
// one; after an existing WHERE clause " and (" + condition + ")". A list
// without codes gives a query that lists nothing.
std::string appendCodeCondition(const std::string& query, bool hasWhere, const std::vector<std::string>& codes);

// watchQuery of the watch-list universes: "select * from [list1plus]"
// restricted to the listed codes; always carries a WHERE clause.
std::string watchListQuery(const std::vector<std::string>& codes);

}  // namespace tavrin
