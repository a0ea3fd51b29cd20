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

GridSortKey gridSortKeyOf(const std::string& text) {
  GridSortKey k;
  if (text.empty()) return k;
  if (const std::optional<double> n = parseNumber(text)) {
    k.kind = GridSortKey::Number;
    k.value = *n;
    return k;
  }
  k.kind = GridSortKey::Text;
  k.text = text;
  return k;
}

void sortGridOrderByKeys(std::vector<int>& order, const std::vector<GridSortKey>& keys, bool descending) {
  if (order.size() < 2) return;
  // A strict order: empty cells, then numbers by value, then texts.
  auto less = [&](int a, int b) {
    const GridSortKey& x = keys[static_cast<size_t>(a)];
    const GridSortKey& y = keys[static_cast<size_t>(b)];
    if (x.kind != y.kind) return descending ? y.kind < x.kind : x.kind < y.kind;
    if (x.kind == GridSortKey::Empty) return false;
    if (x.value != y.value || x.kind == GridSortKey::Number) return descending ? y.value < x.value : x.value < y.value;
    const int c = x.text.compare(y.text);
    return descending ? c > 0 : c < 0;
  };
  std::stable_sort(order.begin(), order.end(), less);
}

void sortGridOrder(std::vector<int>& order, const std::vector<std::string>& textByIndex, int setting) {
  if (!isGridSortSetting(setting) || order.size() < 2) return;
  if (setting == 1 || setting == 2) {
    std::vector<GridSortKey> keys(textByIndex.size());
    for (int i : order) keys[static_cast<size_t>(i)] = gridSortKeyOf(textByIndex[static_cast<size_t>(i)]);
    sortGridOrderByKeys(order, keys, setting == 2);
    return;
  }
  // Numeric settings put what is no number first; the text settings compare bytes.
  const bool numeric = setting == 3 || setting == 4;
  const bool descending = setting == 4;
  std::vector<Key> keys(textByIndex.size());
  for (int i : order) {
    Key& k = keys[static_cast<size_t>(i)];
    const std::string& t = textByIndex[static_cast<size_t>(i)];
    if (numeric)
      k.number = parseNumber(t);
    else
      k.text = setting == 5 ? foldCase(t) : t;
  }
  auto less = [&](int a, int b) {
    const Key& x = keys[static_cast<size_t>(a)];
    const Key& y = keys[static_cast<size_t>(b)];
    if (numeric) {
      const double lo = -std::numeric_limits<double>::infinity();
      const double xv = x.number.value_or(lo), yv = y.number.value_or(lo);
      return descending ? yv < xv : xv < yv;
    }
    return x.text < y.text;
  };
  std::stable_sort(order.begin(), order.end(), less);
}

}  // namespace tavrin
