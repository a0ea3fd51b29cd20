#pragma once
#include <filesystem>
#include <optional>
#include <string>

namespace tavrin::datafetch {

// Where the API key comes from, in order: TAVRIN_JQUANTS_API_KEY, the
// desktop's secret store (src/platform/secret_store), the key file. The key
// is never written to a log, a message or a command line.
inline constexpr const char* kKeyVariable = "TAVRIN_JQUANTS_API_KEY";
std::optional<std::string> keyFromEnvironment();

// ~/.config/tavrin/jquants-key ($XDG_CONFIG_HOME/tavrin when set): the key
// file used where no secret store answers, mode 0600.
std::filesystem::path keyFilePath();
std::optional<std::string> readKeyFile();
// Writes it (the folder made 0700, the file 0600, replaced whole); false and
// why when it cannot be written.
bool writeKeyFile(const std::string& key, std::string& why);
bool removeKeyFile();

// A key as typed: blanks around it dropped; nothing for an empty key or one
// with characters a header cannot carry.
std::optional<std::string> cleanedKey(const std::string& typed);

}  // namespace tavrin::datafetch
