#include "screening/query_assembly.h"

#include "data/price_schema.h"
#include "data/stock_code.h"

namespace tavrin::screening {

namespace {
std::string joiner(int universeIndex) { return universeHasWhere(universeIndex) ? " and " : " where "; }
}  // namespace

std::string appendCondition(const std::string& baseQuery, int universeIndex, const std::string& conditionSql) {
  return baseQuery + joiner(universeIndex) + "(" + conditionSql + ")";
}

std::string patternQuery(const std::string& baseQuery, int universeIndex, const ScreeningPattern& pattern,
                         const std::string& unitWord) {
  return appendCondition(baseQuery, universeIndex, conditionFor(pattern, universeIndex, unitWord).toSql());
}

std::optional<BoundQuery> codeSearchQuery(const std::string& baseQuery, int universeIndex,
                                          const std::optional<std::string>& answer) {
  if (!answer) return std::nullopt;
  // Only a code is searched for: "1e3" must not find the code 1000.
  const std::optional<std::string> parsed = parseStockCode(*answer);
  if (!parsed) return std::nullopt;
  const std::string& code = *parsed;
  BoundQuery q;
  q.sql = baseQuery + joiner(universeIndex) + "[コード] = ?";
  if (isPlainNumberCode(code))
    q.params.emplace_back(static_cast<std::int64_t>(std::stoll(code)));
  else
    q.params.emplace_back(code);
  return q;
}

BoundQuery nameSearchQuery(const std::string& baseQuery, int universeIndex, const std::optional<std::string>& answer) {
  std::string pattern = "%";
  if (answer) {
    for (char c : *answer) {
      if (c == '%' || c == '_' || c == '\\') pattern += '\\';
      pattern += c;
    }
  }
  pattern += "%";
  BoundQuery q;
  q.sql = baseQuery + joiner(universeIndex) + "[銘柄] like ? escape '\\'";
  q.params.emplace_back(pattern);
  return q;
}

}  // namespace tavrin::screening
