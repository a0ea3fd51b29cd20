#pragma once
// Shared body of the price-file targets: open the bytes with one reader and
// read every sheet; the readers' own refusals are the expected outcome.
#include <cstddef>
#include <cstdint>
#include <string>

#include "readers/price_file.h"

namespace tavrin::fuzz {

template <typename Open>
int readEverySheet(Open open, const std::uint8_t* data, std::size_t size) {
  try {
    auto file = open(std::string(reinterpret_cast<const char*>(data), size));
    for (const std::string& name : file->sheetNames()) {
      try {
        (void)file->readSheet(name);
      } catch (const PriceFileError&) {
      }
    }
  } catch (const PriceFileError&) {
  }
  return 0;
}

}  // namespace tavrin::fuzz
