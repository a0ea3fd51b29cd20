// The JSON reader of the data service's answers over any bytes: a value is
// read whole or refused with a FormatError, never anything else; a value read
// holds only what a text can (strings of valid UTF-8).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/encoding.h"
#include "formats/format_error.h"
#include "formats/json_reader.h"

namespace {

std::size_t walk(const tavrin::JsonValue& v, std::size_t depth) {
  if (depth > 64) __builtin_trap();
  std::size_t n = 1;
  if (v.isString() && !tavrin::validUtf8(v.text())) __builtin_trap();
  for (const tavrin::JsonValue& item : v.items()) n += walk(item, depth + 1);
  for (const auto& [name, member] : v.members()) {
    if (!tavrin::validUtf8(name)) __builtin_trap();
    n += walk(member, depth + 1);
  }
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    (void)walk(tavrin::parseJson(text, {1u << 20, 64}), 0);
  } catch (const tavrin::FormatError&) {
  }
  return 0;
}
