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

// The screening window's work without a window: one data view over the
// price database and the row order the grid shows. Every action behaves as
// the window's button of the same name; a rejected query keeps the rows.
class ScreeningSession {
 public:
  ScreeningSession(std::string dbPath, int universeIndex, std::string baseQuery, std::string unitWord,
                   std::string latestDate = {}, std::string oldestDate = {});

  bool load();  // the universe, sorted by コード
  bool clickPattern(const ScreeningPattern& pattern);
  bool searchCode(const std::optional<std::string>& answer);
  bool searchName(const std::optional<std::string>& answer);
  bool restore();  // "元に戻す": the universe, sorted by 単位
  // "抽出": the listed codes of the universe, largest ratio1 first.
  bool extract(const std::vector<std::string>& codes);

  const DataView& view() const { return view_; }
  // Titles of grid columns 0..n after the window's retitling.
  std::vector<std::string> titles() const;
  // View row indexes in grid order.
  const std::vector<int>& order() const { return order_; }
  // What the grid shows in a cell (grid row 1.., grid column 1..).
  std::string cellText(int gridRow, int gridCol) const;
  int listedCount() const { return static_cast<int>(order_.size()); }

  // Sorts by a grid column with a grid sort setting.
  void sort(int gridCol, int setting);

  // The universe as read by load() (valid while the file is unchanged).
  const UniverseCache& universe() const { return universe_; }

 private:
  bool requery(const std::string& sql, const std::vector<Value>& params = {});

  DataView view_;
  int universeIndex_;
  std::string baseQuery_;
  std::string unitWord_;
  std::string latestDate_, oldestDate_;
  std::vector<int> order_;
  UniverseCache universe_;
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
