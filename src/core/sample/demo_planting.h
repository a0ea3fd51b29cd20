#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace tavrin {

// Price histories (kabuka1..kabuka10, latest first) that the sample data
// plants so that every screening pattern lists at least one stock.
std::vector<std::vector<std::int64_t>> patternSamplePrices();

}  // namespace tavrin
