#include "screening/demo_planting.h"

namespace tavrin {

std::vector<std::vector<std::int64_t>> patternSamplePrices() { return {}; }

}  // namespace tavrin
