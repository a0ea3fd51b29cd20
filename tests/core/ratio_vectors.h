#pragma once
// The ratio vectors the condition tests run through every evaluator: random
// walks like real prices, flat ones, wide random ones, band edges, Nulls, and
// vectors next to the planted sample stocks of every pattern.
#include <iterator>
#include <optional>
#include <random>
#include <vector>

#include "sample/demo_planting.h"
#include "screening/condition.h"

namespace tavrin::test {

inline std::vector<screening::Ratios> conditionTestVectors() {
  using screening::Ratios;
  std::mt19937 rng(20261209);
  std::vector<Ratios> vectors;
  const double edges[] = {-500, -150, -150.1, -125, -100, -16,  -15, -13, -12, -11,  -10,  -9,
                          -8,   -7,   -6,     -5,   -4,   -3.9, -3,  -2,  -1,  -0.3, 0,    0.5,
                          1,    2,    3,      3.5,  4,    5,    8,   10,  100, 500,  500.5};
  auto pick = [&](double base) -> std::optional<double> {
    const unsigned k = rng() % 100;
    if (k < 4) return std::nullopt;
    if (k < 20) return edges[rng() % std::size(edges)];
    if (k < 25) return base + 0.5;
    return base;
  };
  // Random walks like real prices, flat ones, and wide random ones.
  for (int i = 0; i < 6000; ++i) {
    Ratios r;
    const int kind = i % 3;
    double walk = 0;
    for (size_t n = 0; n < 9; ++n) {
      double base;
      if (kind == 0) {
        walk += static_cast<int>(rng() % 9) - 5;
        base = walk;
      } else if (kind == 1) {
        base = static_cast<int>(rng() % 9) - 4;
      } else {
        base = static_cast<int>(rng() % 301) - 150;
      }
      r[n] = pick(base);
    }
    vectors.push_back(r);
  }
  // Vectors next to the planted ones, so every pattern also sees hits and
  // near misses at its band edges.
  for (const auto& prices : patternSamplePrices()) {
    Ratios planted;
    for (size_t n = 0; n < 9; ++n) planted[n] = static_cast<double>(prices[n + 1] * 100 / prices[0] - 100);
    vectors.push_back(planted);
    for (int k = 0; k < 40; ++k) {
      Ratios r = planted;
      const size_t n = rng() % 9;
      const double deltas[] = {-1, 1, -0.5, 0.5, -2, 2};
      if (k % 10 == 9)
        r[n] = std::nullopt;
      else
        r[n] = *r[n] + deltas[rng() % std::size(deltas)];
      vectors.push_back(r);
    }
  }
  return vectors;
}

}  // namespace tavrin::test
