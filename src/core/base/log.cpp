#include "base/log.h"

#include <cstdio>
#include <ctime>
#include <mutex>

#include "base/text.h"

namespace tavrin {
namespace {
std::mutex g_mutex;
std::string g_file;
bool g_quiet = false;
bool g_stderrFallback = true;
}  // namespace

void setLogFile(const std::string& path) {
  std::lock_guard lock(g_mutex);
  g_file = path;
}

void setLogQuiet(bool quiet) {
  std::lock_guard lock(g_mutex);
  g_quiet = quiet;
}

void setLogStderrFallback(bool fallback) {
  std::lock_guard lock(g_mutex);
  g_stderrFallback = fallback;
}

void logLine(std::string_view where, std::string_view what) {
  std::lock_guard lock(g_mutex);
  if (g_quiet) return;
  std::time_t now = std::time(nullptr);
  char stamp[32] = {};
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", std::localtime(&now));
  FILE* out = stderr;
  FILE* file = nullptr;
  if (!g_file.empty()) {
    file = std::fopen(g_file.c_str(), "a");
    if (file)
      out = file;
    else if (!g_stderrFallback)
      return;
  }
  const std::string text = printableText(what);
  std::fprintf(out, "%s tavrin %.*s: %.*s\n", stamp, static_cast<int>(where.size()), where.data(),
               static_cast<int>(text.size()), text.data());
  if (file) std::fclose(file);
}

}  // namespace tavrin
