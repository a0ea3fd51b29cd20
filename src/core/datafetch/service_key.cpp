#include "datafetch/service_key.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "base/text.h"

namespace tavrin::datafetch {

std::optional<std::string> keyFromEnvironment() {
  const char* v = std::getenv(kKeyVariable);
  if (!v) return std::nullopt;
  return cleanedKey(v);
}

std::filesystem::path keyFilePath() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  std::filesystem::path base;
  if (xdg && *xdg == '/') {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    base = std::filesystem::path(home && *home ? home : "/") / ".config";
  }
  return base / "tavrin" / "jquants-key";
}

std::optional<std::string> cleanedKey(const std::string& typed) {
  const std::string key = trimmed(typed);
  if (key.empty() || key.size() > 4096) return std::nullopt;
  for (unsigned char c : key)
    if (c < 0x21 || c > 0x7E) return std::nullopt;  // a header carries visible ASCII
  return key;
}

std::optional<std::string> readKeyFile() {
  std::ifstream in(keyFilePath(), std::ios::binary);
  if (!in) return std::nullopt;
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (text.size() > 8192) return std::nullopt;
  return cleanedKey(text);
}

bool writeKeyFile(const std::string& key, std::string& why) {
  const std::filesystem::path file = keyFilePath();
  std::error_code ec;
  std::filesystem::create_directories(file.parent_path(), ec);
  if (ec) {
    why = "cannot make " + file.parent_path().string() + ": " + ec.message();
    return false;
  }
  ::chmod(file.parent_path().c_str(), 0700);
  // Written beside it with mode 0600 from the start, then put in its place.
  const std::filesystem::path temp = file.string() + ".new";
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    why = "cannot write " + temp.string() + ": " + std::strerror(errno);
    return false;
  }
  ::fchmod(fd, 0600);
  const std::string text = key + "\n";
  const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) && ::fsync(fd) == 0;
  ::close(fd);
  if (!written || ::rename(temp.c_str(), file.c_str()) != 0) {
    why = "cannot write " + file.string() + ": " + std::strerror(errno);
    std::filesystem::remove(temp, ec);
    return false;
  }
  return true;
}

bool removeKeyFile() {
  std::error_code ec;
  return std::filesystem::remove(keyFilePath(), ec);
}

}  // namespace tavrin::datafetch
