#include "screening/query_assembly.h"

#include "data/price_schema.h"

namespace tavrin::screening {

namespace {
std::string trimmed(const std::string& s) {
  const auto b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return {};
  const auto e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

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
  const std::string code = trimmed(*answer);
  if (code.empty()) return std::nullopt;
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
