#include "screening/screening_session.h"

#include "app/paths.h"
#include "app/period_unit.h"
#include "base/log.h"
#include "data/grid_sort.h"
#include "data/price_schema.h"
#include "data/stock_code.h"
#include "screening/columnar.h"
#include "screening/extraction.h"
#include "screening/query_assembly.h"

namespace tavrin::screening {

namespace {
// Grid columns and sort settings of the actions.
constexpr int kCodeColumn = 3;  // コード
constexpr int kUnitColumn = 5;  // 単位
constexpr int kGridGenericAscending = 1;
constexpr int kGridTextAscendingNoCase = 5;
}  // namespace

void retitleScreeningGrid(std::vector<std::string>& titles, const std::string& latestDate,
                          const std::string& oldestDate, const std::string& unitWord) {
  if (titles.size() > 6) titles[6] = latestDate;
  if (titles.size() > 7) titles[7] = oldestDate;
  const auto unit = parsePeriodUnit(unitWord);
  if (!unit) return;
  for (int n = 1; n <= 9; ++n)
    if (titles.size() > static_cast<size_t>(7 + n)) titles[static_cast<size_t>(7 + n)] = screeningRatioTitle(*unit, n);
}

std::string universeBaseQuery(int universeIndex, const std::string& watchQuery) {
  return universeHasWhere(universeIndex) ? watchQuery : universeQuery(universeIndex);
}

bool isNoStockCode(const std::optional<std::string>& answer) {
  return answer && answer->find_first_not_of(" \t") != std::string::npos && !parseStockCode(*answer);
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

void ScreeningSession::setUniverse(int universeIndex, std::string baseQuery) {
  universeIndex_ = universeIndex;
  baseQuery_ = std::move(baseQuery);
}

void ScreeningSession::setDates(std::string latestDate, std::string oldestDate) {
  latestDate_ = std::move(latestDate);
  oldestDate_ = std::move(oldestDate);
}

void ScreeningSession::listViewRows() {
  order_.resize(view_.rowCount());
  for (size_t i = 0; i < order_.size(); ++i) order_[i] = static_cast<int>(i);
  titles_.assign(1, std::string());
  titles_.insert(titles_.end(), view_.fields().begin(), view_.fields().end());
}

bool ScreeningSession::requery(const std::string& sql, const std::vector<Value>& params) {
  view_.setRecordSource(sql, params);
  if (!view_.refresh()) return false;
  listViewRows();
  currentPattern_ = nullptr;
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
  if (order_.size() != view_.rowCount()) return;  // rows not read by an action
  std::vector<std::string> texts(view_.rowCount());
  for (size_t i = 0; i < texts.size(); ++i) {
    const Row& r = view_.rows()[i];
    if (static_cast<size_t>(gridCol - 1) < r.size()) texts[i] = r[static_cast<size_t>(gridCol - 1)].display();
  }
  sortGridOrder(order_, texts, setting);
}

void ScreeningSession::sortAscending(int gridCol) {
  if (gridCol == 3)
    sort(gridCol, kGridTextAscendingNoCase);
  else if (gridCol >= 1 && gridCol <= 16)
    sort(gridCol, kGridGenericAscending);
}

std::vector<std::string> ScreeningSession::titles() const {
  std::vector<std::string> t = titles_;
  retitleScreeningGrid(t, latestDate_, oldestDate_, unitWord_);
  return t;
}

void ScreeningSession::retitle() { retitleScreeningGrid(titles_, latestDate_, oldestDate_, unitWord_); }

bool ScreeningSession::readUniverse() {
  const auto stamp = fileStamp(fromUtf8(view_.databaseName()));
  if (!requery(baseQuery_)) return false;
  universe_.remember(view_.databaseName(), baseQuery_, stamp, view_.fields(), view_.rows());
  return true;
}

bool ScreeningSession::loadUniverse(const std::string& dbPath, int universeIndex, const std::string& watchQuery) {
  universeIndex_ = universeIndex;
  if (!universeByIndex(universeIndex)) {
    currentPattern_ = nullptr;
    sort(kCodeColumn, kGridGenericAscending);
    return false;
  }
  view_.setDatabaseName(dbPath);
  baseQuery_ = universeBaseQuery(universeIndex, watchQuery);
  return load();
}

bool ScreeningSession::load() {
  currentPattern_ = nullptr;
  const bool ok = readUniverse();
  if (!ok) universe_.clear();
  sort(kCodeColumn, kGridGenericAscending);
  return ok;
}

bool ScreeningSession::clickPattern(const ScreeningPattern& pattern) {
  const bool ok = runPatternQuery(view_, universe_, baseQuery_, universeIndex_, pattern, unitWord_);
  if (ok) {
    listViewRows();
    currentPattern_ = &pattern;
  }
  for (const SortStep& s : pattern.sortSteps) sort(s.column, s.setting);
  return ok;
}

CodeSearch ScreeningSession::searchForCode(const std::optional<std::string>& answer) {
  if (isNoStockCode(answer)) return CodeSearch::NotACode;
  const auto q = codeSearchQuery(baseQuery_, universeIndex_, answer);
  if (!q) return CodeSearch::NothingAsked;
  return requery(q->sql, q->params) ? CodeSearch::Listed : CodeSearch::Rejected;
}

bool ScreeningSession::searchName(const std::optional<std::string>& answer) {
  const BoundQuery q = nameSearchQuery(baseQuery_, universeIndex_, answer);
  return requery(q.sql, q.params);
}

bool ScreeningSession::restore() {
  const bool ok = readUniverse();
  sort(kUnitColumn, kGridGenericAscending);
  return ok;
}

bool ScreeningSession::extract(const std::vector<std::string>& codes) {
  const bool ok = requery(extractionQuery(baseQuery_, universeIndex_, codes));
  sort(kExtractionSortColumn, kExtractionSortSetting);
  return ok;
}

void ScreeningSession::countPatterns() {
  if (universe_.current(view_.databaseName(), baseQuery_))
    counts_ = countAllPatterns(universe_.columns(), universeIndex_, unitWord_);
  else if (universeByIndex(universeIndex_))
    counts_ = countAllPatterns(view_.databaseName(), universeIndex_, baseQuery_, unitWord_);
  else
    counts_.clear();
  if (counts_.size() != patternCatalogue().size()) counts_.clear();
}

int ScreeningSession::patternCount(const std::string& control) const {
  const auto& catalogue = patternCatalogue();
  if (counts_.size() != catalogue.size()) return -1;
  for (size_t i = 0; i < catalogue.size(); ++i)
    if (control == catalogue[i].control) return counts_[i];
  return -1;
}

bool runPatternQuery(DataView& view, const UniverseCache& universe, const std::string& baseQuery, int universeIndex,
                     const ScreeningPattern& pattern, const std::string& unitWord) {
  try {
    const Condition& condition = conditionFor(pattern, universeIndex, unitWord);
    const std::string sql = appendCondition(baseQuery, universeIndex, condition.toSql());
    view.setRecordSource(sql);
    if (universe.current(view.databaseName(), baseQuery)) {
      view.setContent(universe.fields(), universe.filter(columnarFor(pattern, universeIndex, unitWord)));
      return true;
    }
    return view.refresh();
  } catch (const std::exception& e) {
    logLine("screening", std::string(pattern.control) + ": " + e.what());
    return false;
  }
}

std::vector<int> countAllPatterns(const RatioColumns& universe, int universeIndex, const std::string& unitWord) {
  std::vector<int> counts;
  std::vector<std::uint8_t> hits;
  for (const auto& p : patternCatalogue()) {
    columnarFor(p, universeIndex, unitWord).evaluate(universe, hits);
    int n = 0;
    for (std::uint8_t h : hits) n += h;
    counts.push_back(n);
  }
  return counts;
}

std::vector<int> countAllPatterns(const std::vector<Ratios>& universe, int universeIndex, const std::string& unitWord) {
  return countAllPatterns(RatioColumns::from(universe), universeIndex, unitWord);
}

std::vector<int> countAllPatternsByRow(const std::vector<Ratios>& universe, int universeIndex,
                                       const std::string& unitWord) {
  std::vector<int> counts;
  for (const auto& p : patternCatalogue()) {
    const Condition& cond = conditionFor(p, universeIndex, unitWord);
    int n = 0;
    for (const Ratios& r : universe)
      if (cond.evaluate(r) == Truth::True) ++n;
    counts.push_back(n);
  }
  return counts;
}

std::vector<int> countAllPatterns(const std::string& dbPath, int universeIndex, const std::string& baseQuery,
                                  const std::string& unitWord) {
  std::vector<Ratios> all;
  try {
    Database db(fromUtf8(dbPath), Database::Mode::ReadOnly);
    Statement st(db, "select " + ratioColumnList() + " from (" + baseQuery + ")");
    while (st.step()) {
      Ratios r;
      for (int n = 0; n < 9; ++n) {
        const Value v = st.column(n);
        if (v.isText()) throw DatabaseError("a ratio is text");
        r[static_cast<size_t>(n)] = v.asNumber();
      }
      all.push_back(r);
    }
  } catch (const std::exception& e) {
    logLine("screening", e.what());
    return {};
  }
  return countAllPatterns(all, universeIndex, unitWord);
}

}  // namespace tavrin::screening
