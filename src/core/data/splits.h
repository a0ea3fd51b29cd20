#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/value.h"
#include "data/database.h"
#include "data/price_bars.h"

namespace tavrin {

// Shares after per share before, as a fraction in lowest terms: 5/1 for a
// 1:5 split, 1/10 for a 10:1 consolidation, 3/2 for 1:1.5.
struct SplitRatio {
  std::int64_t after = 1;
  std::int64_t before = 1;
  double value() const { return static_cast<double>(after) / static_cast<double>(before); }
  bool isOne() const { return after == before; }
  friend bool operator==(const SplitRatio&, const SplitRatio&) = default;
};

// The largest numerator or denominator a ratio may have.
inline constexpr std::int64_t kMaxSplitTerm = 10000;

// A ratio from a number of shares after per share before (5, 0.1, 1.5,
// 0.333333 for 1:3): the nearest fraction with terms up to kMaxSplitTerm
// within a millionth; nothing for a number that is not positive, or so large
// or small that no such fraction is near.
std::optional<SplitRatio> splitRatioOf(double sharesAfterPerShareBefore);
// From text as a user writes it: "1:5" (one share becomes five), "10:1",
// "1:1.5", or a number ("5", "0.1"); full-width digits and colon too.
std::optional<SplitRatio> parseSplitRatio(std::string_view text);
// "1:5", "10:1", "1:1.5", "2:3".
std::string splitRatioText(const SplitRatio& ratio);

enum class SplitSource { Entered, Check, Service };
// "entered", "check", "service": as stored and printed.
const char* splitSourceName(SplitSource source);
std::optional<SplitSource> splitSourceOf(std::string_view name);

// A split or consolidation of one stock: from its ex-date (the first trading
// day at the new share count) on, prices are as traded; before it they are
// divided by the ratio (volumes multiplied) to compare with today's.
struct Split {
  Value code;  // as list stores it
  int day = 0;
  SplitRatio ratio;
  SplitSource source = SplitSource::Entered;
};

// The tables of a price database (schema "main" or an attached file):
// [splits] ([コード], [day], [ratio], [source]) and [split_positions], the
// as-traded value of each position a split changed (so that removing a
// split brings the value back exactly).
inline constexpr const char* kSplitsTable = "splits";
inline constexpr const char* kSplitPositionsTable = "split_positions";
void ensureSplitTables(Database& db, const std::string& schema = "main");

// Every stock's splits (code key -> splits, oldest ex-date first), or one
// stock's; empty without the table.
std::unordered_map<std::string, std::vector<Split>> readSplits(Database& db, const std::string& schema = "main");
std::vector<Split> readSplitsOf(Database& db, const std::string& codeKey, const std::string& schema = "main");
// The splits of the stock whose code is stored as `code` (one query by key).
std::vector<Split> splitsOfStoredCode(Database& db, const Value& code, const std::string& schema = "main");

// The factor a price of `day` is multiplied by to compare with today's: the
// product of before/after over the splits after it.
struct SplitFactor {
  std::int64_t num = 1;
  std::int64_t den = 1;
  bool isOne() const { return num == den; }
};
SplitFactor splitFactorAt(const std::vector<Split>& splits, int day);
// A price in tenths times the factor, to the nearest tenth (halves to even);
// a price is never adjusted below a tenth.
std::int64_t adjustedTenths(std::int64_t tenths, const SplitFactor& factor);
// A volume divided by the factor, to the nearest share (halves to even).
std::int64_t adjustedVolume(std::int64_t volume, const SplitFactor& factor);
// A position in whole yen as the splits after its day make it: the adjusted
// tenths, then whole yen (halves to even at each step).
std::int64_t adjustedWholeYen(std::int64_t yen, const SplitFactor& factor);

// One stock's bars (oldest first) adjusted in place for its splits.
void adjustBars(std::vector<Bar>& bars, const std::vector<Split>& splits);

// Rewrites one stock's ten positions of a price database so that each is its
// as-traded value adjusted for the stock's splits after the position's date,
// keeping the as-traded values that differ in [split_positions] (inside the
// caller's transaction; the tables must exist). A position whose stored
// adjusted value no longer matches (a later import wrote it) counts as
// traded. Returns the positions whose value changed.
std::size_t rewriteSplitPositions(Database& db, const std::string& codeKey, const std::string& schema = "main");
// The same for every stock that has splits (after an import wrote positions).
std::size_t rewriteAllSplitPositions(Database& db, const std::string& schema = "main");

// The as-traded value of a position that holds `value` on the record date
// `recordDate` ("yy/mm/dd"): the kept value when a split changed it, else the
// value itself.
std::int64_t asTradedPosition(Database& db, const Value& code, const std::string& recordDate, std::int64_t value);

}  // namespace tavrin
