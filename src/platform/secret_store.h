#pragma once
#include <optional>
#include <string>

namespace tavrin::platform {

// The data service's API key in the desktop's secret store (QtKeychain:
// service "tavrin", entry "jquants-api-key"), else in the key file
// (datafetch/service_key.h) where no secret store answers. Call from a
// thread with a Qt event loop or none (each call runs its own loop).
struct StoredKey {
  std::optional<std::string> key;
  bool fromFile = false;  // the secret store did not answer; the key file held it
};
StoredKey readStoredKey();

struct KeySaved {
  bool ok = false;
  bool toFile = false;  // no secret store: written to the key file instead
  std::string why;      // when not ok (never the key)
};
KeySaved saveKey(const std::string& key);
bool forgetKey();  // from both places

// The key to use: TAVRIN_JQUANTS_API_KEY, else the stored one.
std::optional<std::string> apiKey();

}  // namespace tavrin::platform
