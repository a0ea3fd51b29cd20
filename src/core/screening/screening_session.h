#pragma once
#include <optional>
#include <string>
#include <vector>

#include "data/data_view.h"
#include "screening/pattern_catalogue.h"
#include "screening/universe_cache.h"

namespace tavrin::screening {

// Retitles a screening grid (titles indexed by grid column, [0] the fixed
// column): columns 6 and 7 get the dates of positions 1 and 10, columns 8..16
// the ratio titles of the unit ("1日前" ...); an unknown unit word leaves
// those titles as they are.
void retitleScreeningGrid(std::vector<std::string>& titles, const std::string& latestDate,
                          const std::string& oldestDate, const std::string& unitWord);

// The base query of a universe: its view, or for the watch-list universes
// (22 and 23) the watch list's query.
std::string universeBaseQuery(int universeIndex, const std::string& watchQuery);

// What "コードで探す" did with an answer.
enum class CodeSearch {
  Listed,        // the stocks with that code are listed
  NothingAsked,  // Cancel or an empty answer: the rows stay
  NotACode,      // a text that is no code ("1e3", "7203 x"): the rows stay
  Rejected,      // the database rejected the query: the rows stay
};

// Whether an answer to "コードで探す" is a text that is no code (a blank
// answer is none: it asks for nothing).
bool isNoStockCode(const std::optional<std::string>& answer);

// The screening window's work: one data view over the price database, the
// row order the grid shows, the universe as loaded, the pattern whose hits
// are listed and the counts of every pattern. The window and the CLI both
// act through it; every action behaves as the window's button of the same
// name. A rejected query keeps the rows and their order (a sort that follows
// still applies to them).
class ScreeningSession {
 public:
  ScreeningSession() = default;
  ScreeningSession(std::string dbPath, int universeIndex, std::string baseQuery, std::string unitWord,
                   std::string latestDate = {}, std::string oldestDate = {});

  // The universe and base query that the following actions work on.
  void setUniverse(int universeIndex, std::string baseQuery);
  // The unit word of the prices (ranking thresholds, ratio titles).
  void setUnitWord(std::string unitWord) { unitWord_ = std::move(unitWord); }
  // The dates of positions 1 and 10 (the titles of grid columns 6 and 7).
  void setDates(std::string latestDate, std::string oldestDate);
  int universeIndex() const { return universeIndex_; }
  const std::string& baseQuery() const { return baseQuery_; }
  const std::string& unitWord() const { return unitWord_; }

  // Loads the universe of an index from dbPath: picks its view (watchQuery
  // for the watch-list universes) as the base query and loads it. Without
  // such a universe nothing is read and false is returned; the pattern is
  // forgotten and the rows are sorted by コード all the same.
  bool loadUniverse(const std::string& dbPath, int universeIndex, const std::string& watchQuery);
  bool load();  // the universe, sorted by コード; no pattern is current
  bool clickPattern(const ScreeningPattern& pattern);
  CodeSearch searchForCode(const std::optional<std::string>& answer);
  bool searchCode(const std::optional<std::string>& answer) { return searchForCode(answer) == CodeSearch::Listed; }
  bool searchName(const std::optional<std::string>& answer);
  // "元に戻す": the universe, sorted by 単位; the universe as read now is
  // what the pattern clicks and counts follow.
  bool restore();
  // "抽出": the listed codes of the universe, largest ratio1 first.
  bool extract(const std::vector<std::string>& codes);
  // Sets the view's query (parameters bound) and refreshes it. On success
  // the rows are listed as read and no pattern is current.
  bool requery(const std::string& sql, const std::vector<Value>& params = {});

  const DataView& view() const { return view_; }
  // The view itself, for its database name; rows are only changed by the actions.
  DataView& view() { return view_; }
  // Titles of grid columns 0..n after the window's retitling.
  std::vector<std::string> titles() const;
  // Retitles the kept titles with the unit word and dates set now; titles
  // that the unit word does not name stay as they were.
  void retitle();
  // View row indexes in grid order.
  const std::vector<int>& order() const { return order_; }
  // What the grid shows in a cell (grid row 1.., grid column 1..).
  std::string cellText(int gridRow, int gridCol) const;
  int listedCount() const { return static_cast<int>(order_.size()); }

  // Sorts by a grid column with a grid sort setting.
  void sort(int gridCol, int setting);
  // "並変え実行": ascending by a grid column, コード as text ignoring case,
  // the other columns 1..16 generic; any other column leaves the order.
  void sortAscending(int gridCol);

  // The pattern whose hits are listed now: set by a click whose query went
  // through, cleared by a load and by every other query that went through.
  const ScreeningPattern* currentPattern() const { return currentPattern_; }

  // Counts every pattern over the universe: over the rows read by the last
  // load or restore while the file is unchanged, else by reading the
  // universe once more. No counts when the universe could not be read.
  void countPatterns();
  // In catalogue order; empty before any count or when it failed.
  const std::vector<int>& patternCounts() const { return counts_; }
  // -1 when not counted.
  int patternCount(const std::string& control) const;

  // The universe as read by load() (valid while the file is unchanged).
  const UniverseCache& universe() const { return universe_; }

 private:
  // Lists the view's rows as read, after it got new content.
  void listViewRows();
  bool readUniverse();

  DataView view_;
  int universeIndex_ = 0;
  std::string baseQuery_;
  std::string unitWord_;
  std::string latestDate_, oldestDate_;
  std::vector<std::string> titles_;
  std::vector<int> order_;
  UniverseCache universe_;
  const ScreeningPattern* currentPattern_ = nullptr;
  std::vector<int> counts_;
};

// How many stocks each pattern lists in one universe: the universe is read
// once and every condition is evaluated over its ratios. Empty when the
// universe query fails.
std::vector<int> countAllPatterns(const std::string& dbPath, int universeIndex, const std::string& baseQuery,
                                  const std::string& unitWord);
// The same over ratios already read (columnar evaluation).
std::vector<int> countAllPatterns(const std::vector<Ratios>& universe, int universeIndex, const std::string& unitWord);
std::vector<int> countAllPatterns(const RatioColumns& universe, int universeIndex, const std::string& unitWord);
// The same one stock at a time with the row evaluator (kept for comparison).
std::vector<int> countAllPatternsByRow(const std::vector<Ratios>& universe, int universeIndex,
                                       const std::string& unitWord);

// Sets a pattern's query on a data view and fills it: from the remembered
// universe when it is current, else by asking the database. False when the
// database rejected the query (the view keeps its rows).
bool runPatternQuery(DataView& view, const UniverseCache& universe, const std::string& baseQuery, int universeIndex,
                     const ScreeningPattern& pattern, const std::string& unitWord);

}  // namespace tavrin::screening
