#include "watchlists/watch_query.h"

#include <set>

#include "base/text.h"
#include "data/price_schema.h"

namespace tavrin {

namespace {

// Lists up to this length keep the plain chain of Or. Longer chains slow the
// scan (every code is compared with every row) and beyond about 1000 codes
// exceed the database's limit on the depth of one expression, so longer lists
// go into one in (...) list, which the database looks up instead.
constexpr size_t kLongestOrChain = 150;

std::vector<std::string> usableCodes(const std::vector<std::string>& codes) {
  std::vector<std::string> out;
  out.reserve(codes.size());
  for (const std::string& c : codes) {
    std::string t = trimmed(c);
    if (!t.empty()) out.push_back(std::move(t));
  }
  return out;
}

}  // namespace

std::string watchCodeCondition(const std::vector<std::string>& codes) {
  const std::vector<std::string> list = usableCodes(codes);
  if (list.empty()) return {};
  std::string cond;
  if (list.size() <= kLongestOrChain) {
    for (size_t i = 0; i < list.size(); ++i) {
      cond += i == 0 ? "[コード]=" : " Or  [コード]=";
      cond += codeSqlLiteral(list[i]);
    }
    return cond;
  }
  std::set<std::string> seen;
  cond = "[コード] in (";
  bool first = true;
  for (const std::string& c : list) {
    std::string literal = codeSqlLiteral(c);
    if (!seen.insert(literal).second) continue;
    if (!first) cond += ", ";
    cond += literal;
    first = false;
  }
  return cond + ")";
}

std::string appendCodeCondition(const std::string& query, bool hasWhere, const std::vector<std::string>& codes) {
  const std::vector<std::string> list = usableCodes(codes);
  if (list.empty()) return query + (hasWhere ? " and (1 = 0)" : " where 1 = 0");
  const std::string cond = watchCodeCondition(list);
  if (hasWhere) return query + " and (" + cond + ")";
  if (list.size() == 1) return query + "where " + cond;
  return query + " where (" + cond + ")";
}

std::string watchListQuery(const std::vector<std::string>& codes) {
  return appendCodeCondition("select * from [list1plus]", false, codes);
}

}  // namespace tavrin
