#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin {

// One stock's prices of one trading period (a day; in the week and month
// databases a week or a month, dated by its last trading day). Prices are
// kept in tenths of a yen, as the exchange quotes them; a price of 0 and a
// volume below 0 are not known (a history that has only closes).
struct Bar {
  std::int32_t day = 0;    // days since 1970-01-01
  std::int32_t close = 0;  // tenths of a yen, > 0
  std::int32_t open = 0;
  std::int32_t high = 0;
  std::int32_t low = 0;
  std::int64_t volume = -1;  // shares
  bool hasRange() const { return open > 0 && high > 0 && low > 0; }
  bool hasVolume() const { return volume >= 0; }
  friend bool operator==(const Bar&, const Bar&) = default;
};

// The largest price kept, in tenths of a yen (214 million yen).
inline constexpr std::int32_t kMaxPriceTenths = INT32_MAX;

// A price in tenths of a yen from a number: the nearest tenth; nothing for a
// number that is not positive, not finite or larger than kMaxPriceTenths.
std::optional<std::int32_t> tenthsOfPrice(double yen);
// A price in tenths of a yen from its decimal text as written ("2771.5",
// "280.70001220703125", "1e3"): rounded to the nearest tenth (halves to
// even, decided on the digits as written); nothing for text that is not a
// positive number.
std::optional<std::int32_t> tenthsOfPriceText(std::string_view text);

// A price in whole yen, as the ten positions hold it: halves to even.
std::int64_t wholeYen(std::int64_t tenths);

// "852", "2771.5": a price in tenths written without a trailing ".0".
std::string priceText(std::int64_t tenths);

// The history is stored in blocks of 64 consecutive day numbers per stock:
// the block of a day and the first day of a block.
inline constexpr int kBarBlockDays = 64;
inline int barBlockOf(int day) {
  return day >= 0 ? day / kBarBlockDays : -((-day + kBarBlockDays - 1) / kBarBlockDays);
}
inline int barBlockStart(int block) { return block * kBarBlockDays; }

// The stored form of one block: per bar its day within the block, which of
// open, high, low and volume are known, the close as a difference from the
// bar before, open, high and low as differences from the close, and the
// volume (varints). bars must be of the block, sorted by day, one per day.
std::string encodeBarBlock(int block, const std::vector<Bar>& bars);
// Appends the bars of a stored block to out; false (out as it was) for bytes
// that are not a block: a day outside it or out of order, a cut or
// overlong number, a price that is not positive.
bool decodeBarBlock(int block, std::string_view bytes, std::vector<Bar>& out);

}  // namespace tavrin
