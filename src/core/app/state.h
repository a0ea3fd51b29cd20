#pragma once
#include <cstdint>
#include <string>

namespace tavrin {

// The process-wide variables through which the windows hand each other work.
// One instance lives from start-up to exit; nothing of it is saved.
struct SharedState {
  std::int32_t selectorCode = 0;   // which universe the screening window opens on
  std::int32_t universeIndex = 0;  // selectorCode - 1000 while the screening window is open
  std::string priceDbPath;         // full path of the open price database (UTF-8)
  std::string baseQuery;           // SELECT of the current universe
  std::string watchQuery;          // SELECT over the watched codes (universes 22, 23)
};

}  // namespace tavrin
