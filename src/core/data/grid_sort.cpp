#include "data/grid_sort.h"

#include <algorithm>
#include <limits>
#include <optional>

#include "base/value.h"

namespace tavrin {

namespace {

// Case folding for setting 5: ASCII and full-width Latin letters.
std::string foldCase(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c >= 'A' && c <= 'Z') {
      out += static_cast<char>(c - 'A' + 'a');
    } else if (c == 0xEF && i + 2 < s.size() && static_cast<unsigned char>(s[i + 1]) == 0xBC &&
               static_cast<unsigned char>(s[i + 2]) >= 0xA1 && static_cast<unsigned char>(s[i + 2]) <= 0xBA) {
      // U+FF21..U+FF3A -> U+FF41..U+FF5A
      out += '\xEF';
      out += '\xBD';
      out += static_cast<char>(static_cast<unsigned char>(s[i + 2]) - 0xA1 + 0x81);
      i += 2;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

struct Key {
  std::optional<double> number;
  std::string text;
};

}  // namespace

bool isGridSortSetting(int setting) { return (setting >= 1 && setting <= 5) || setting == 7; }

void sortGridOrder(std::vector<int>& order, const std::vector<std::string>& textByIndex, int setting) {
  if (!isGridSortSetting(setting) || order.size() < 2) return;
  const bool numeric = setting == 3 || setting == 4;
  const bool generic = setting == 1 || setting == 2;
  const bool descending = setting == 2 || setting == 4;
  std::vector<Key> keys(textByIndex.size());
  for (int i : order) {
    Key& k = keys[static_cast<size_t>(i)];
    const std::string& t = textByIndex[static_cast<size_t>(i)];
    if (numeric || generic) k.number = parseNumber(t);
    if (!numeric) k.text = setting == 5 ? foldCase(t) : t;
  }
  auto less = [&](int a, int b) {
    const Key& x = keys[static_cast<size_t>(a)];
    const Key& y = keys[static_cast<size_t>(b)];
    if (numeric) {
      const double lo = -std::numeric_limits<double>::infinity();
      const double xv = x.number.value_or(lo), yv = y.number.value_or(lo);
      return descending ? yv < xv : xv < yv;
    }
    if (generic) {
      // A strict order: empty cells, then numbers by value, then texts.
      auto rank = [](const Key& k) { return k.text.empty() ? 0 : k.number ? 1 : 2; };
      const int rx = rank(x), ry = rank(y);
      if (rx != ry) return descending ? ry < rx : rx < ry;
      if (rx == 1) return descending ? *y.number < *x.number : *x.number < *y.number;
    }
    const int c = x.text.compare(y.text);
    return descending ? c > 0 : c < 0;
  };
  std::stable_sort(order.begin(), order.end(), less);
}

}  // namespace tavrin
