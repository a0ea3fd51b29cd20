#include "screening/screening_session.h"

#include "app/period_unit.h"
#include "data/grid_sort.h"
#include "screening/query_assembly.h"

namespace tavrin::screening {

void retitleScreeningGrid(std::vector<std::string>& titles, const std::string& latestDate,
                          const std::string& oldestDate, const std::string& unitWord) {
  if (titles.size() > 6) titles[6] = latestDate;
  if (titles.size() > 7) titles[7] = oldestDate;
  const auto unit = parsePeriodUnit(unitWord);
  if (!unit) return;
  for (int n = 1; n <= 9; ++n)
    if (titles.size() > static_cast<size_t>(7 + n)) titles[static_cast<size_t>(7 + n)] = screeningRatioTitle(*unit, n);
}

ScreeningSession::ScreeningSession(std::string dbPath, int universeIndex, std::string baseQuery, std::string unitWord,
                                   std::string latestDate, std::string oldestDate)
    : universeIndex_(universeIndex),
      baseQuery_(std::move(baseQuery)),
      unitWord_(std::move(unitWord)),
      latestDate_(std::move(latestDate)),
      oldestDate_(std::move(oldestDate)) {
  view_.setDatabaseName(std::move(dbPath));
}

bool ScreeningSession::requery(const std::string& sql, const std::vector<Value>& params) {
  view_.setRecordSource(sql, params);
  if (!view_.refresh()) return false;
  order_.resize(view_.rowCount());
  for (size_t i = 0; i < order_.size(); ++i) order_[i] = static_cast<int>(i);
  return true;
}

std::string ScreeningSession::cellText(int gridRow, int gridCol) const {
  if (gridRow < 1 || gridRow > listedCount() || gridCol < 1) return {};
  const Row& r = view_.rows()[static_cast<size_t>(order_[static_cast<size_t>(gridRow - 1)])];
  if (static_cast<size_t>(gridCol - 1) >= r.size()) return {};
  return r[static_cast<size_t>(gridCol - 1)].display();
}

void ScreeningSession::sort(int gridCol, int setting) {
  if (gridCol < 1 || static_cast<size_t>(gridCol) > view_.fields().size()) return;
  std::vector<std::string> texts(view_.rowCount());
  for (size_t i = 0; i < texts.size(); ++i) {
    const Row& r = view_.rows()[i];
    if (static_cast<size_t>(gridCol - 1) < r.size()) texts[i] = r[static_cast<size_t>(gridCol - 1)].display();
  }
  sortGridOrder(order_, texts, setting);
}

std::vector<std::string> ScreeningSession::titles() const {
  std::vector<std::string> t{std::string()};
  for (const auto& f : view_.fields()) t.push_back(f);
  retitleScreeningGrid(t, latestDate_, oldestDate_, unitWord_);
  return t;
}

bool ScreeningSession::load() {
  const bool ok = requery(baseQuery_);
  sort(3, 1);
  return ok;
}

bool ScreeningSession::clickPattern(const ScreeningPattern& pattern) {
  bool ok = false;
  try {
    ok = requery(patternQuery(baseQuery_, universeIndex_, pattern, unitWord_));
  } catch (const std::exception&) {
    ok = false;
  }
  for (const SortStep& s : pattern.sortSteps) sort(s.column, s.setting);
  return ok;
}

bool ScreeningSession::searchCode(const std::optional<std::string>& answer) {
  const auto q = codeSearchQuery(baseQuery_, universeIndex_, answer);
  if (!q) return false;
  return requery(q->sql, q->params);
}

bool ScreeningSession::searchName(const std::optional<std::string>& answer) {
  const BoundQuery q = nameSearchQuery(baseQuery_, universeIndex_, answer);
  return requery(q.sql, q.params);
}

bool ScreeningSession::restore() {
  const bool ok = requery(baseQuery_);
  sort(5, 1);
  return ok;
}

std::vector<int> countAllPatterns(const std::string& dbPath, int universeIndex, const std::string& baseQuery,
                                  const std::string& unitWord) {
  DataView v;
  v.setDatabaseName(dbPath);
  v.setRecordSource(baseQuery);
  if (!v.refresh()) return {};
  int first = v.fieldIndex("ratio1");
  if (first < 0) return {};
  std::vector<Ratios> all(v.rowCount());
  for (size_t i = 0; i < all.size(); ++i) {
    const Row& row = v.rows()[i];
    for (int n = 0; n < 9; ++n) {
      const size_t c = static_cast<size_t>(first + n);
      if (c < row.size()) all[i][static_cast<size_t>(n)] = row[c].asNumber();
    }
  }
  std::vector<int> counts;
  for (const auto& p : patternCatalogue()) {
    const Condition& cond = conditionFor(p, universeIndex, unitWord);
    int n = 0;
    for (const Ratios& r : all)
      if (cond.evaluate(r) == Truth::True) ++n;
    counts.push_back(n);
  }
  return counts;
}

}  // namespace tavrin::screening
