#include "app/paths.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "base/text.h"

namespace tavrin {

Paths::Paths(std::filesystem::path root) : root_(std::move(root)) {}

std::filesystem::path Paths::resolveRoot(const std::optional<std::string>& commandLineRoot) {
  if (commandLineRoot && !commandLineRoot->empty()) return fromUtf8(*commandLineRoot);
  if (const char* env = std::getenv("TAVRIN_ROOT"); env && *env) return fromUtf8(env);
  const char* home = std::getenv("HOME");
  std::filesystem::path base = (home && *home) ? fromUtf8(home) : std::filesystem::current_path();
  return base / ".local" / "share" / "Zentavo";
}

std::filesystem::path Paths::workbook(const std::string& baseName) const { return root_ / fromUtf8(baseName + ".xls"); }

namespace {
bool startsWithNoCase(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() && asciiLower(text.substr(0, prefix.size())) == asciiLower(prefix);
}

std::filesystem::path appendBackslashed(std::filesystem::path base, const std::string& rest) {
  std::string part;
  for (char c : rest) {
    if (c == '\\' || c == '/') {
      if (!part.empty()) base /= fromUtf8(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) base /= fromUtf8(part);
  return base;
}
}  // namespace

std::filesystem::path Paths::mapWindowsPath(const std::string& windowsPath) const {
  static const std::string kInstall = "C:\\Program Files\\Zentavo";
  static const std::string kHpData = "C:\\Documents and Settings\\hollin\\デスクトップ\\HPdata";
  if (startsWithNoCase(windowsPath, kInstall)) {
    std::string rest = windowsPath.substr(kInstall.size());
    if (rest.empty() || rest[0] == '\\' || rest[0] == '/') return appendBackslashed(root_, rest);
  }
  if (startsWithNoCase(windowsPath, kHpData)) {
    std::string rest = windowsPath.substr(kHpData.size());
    if (rest.empty() || rest[0] == '\\' || rest[0] == '/') return appendBackslashed(hpDataDir(), rest);
  }
  return fromUtf8(windowsPath);
}

}  // namespace tavrin
