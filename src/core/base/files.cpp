#include "base/files.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <fstream>

namespace tavrin {

namespace fs = std::filesystem;

std::string toUtf8(const fs::path& p) {
  auto u8 = p.u8string();
  return std::string(u8.begin(), u8.end());
}

fs::path fromUtf8(const std::string& s) { return fs::path(std::u8string(s.begin(), s.end())); }

FileBytes readWholeFile(const fs::path& path, std::uintmax_t limit) {
  FileBytes out;
  std::error_code ec;
  const fs::file_status st = fs::status(path, ec);
  if (!fs::exists(st)) {
    out.failure =
        ec && ec != std::errc::no_such_file_or_directory ? FileBytes::Failure::Unreadable : FileBytes::Failure::Missing;
    out.error = ec;
    return out;
  }
  if (!fs::is_regular_file(st)) {
    out.failure = FileBytes::Failure::NotAFile;
    return out;
  }
  out.size = fs::file_size(path, ec);
  if (ec) {
    out.failure = FileBytes::Failure::Unreadable;
    out.error = ec;
    return out;
  }
  if (out.size > limit) {
    out.failure = FileBytes::Failure::TooLarge;
    return out;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    out.failure = FileBytes::Failure::Unreadable;
    out.error = std::error_code(errno, std::generic_category());
    return out;
  }
  out.bytes.assign(static_cast<std::size_t>(out.size), '\0');
  in.read(out.bytes.data(), static_cast<std::streamsize>(out.size));
  out.bytes.resize(static_cast<std::size_t>(in.gcount()));
  if (in.bad()) {
    out.failure = FileBytes::Failure::Unreadable;
    out.bytes.clear();
  }
  return out;
}

fs::path temporaryBeside(const fs::path& target) {
  static std::atomic<unsigned> counter{0};
  fs::path tmp = target;
  tmp += ".part-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
  return tmp;
}

std::error_code replaceWithWritten(const fs::path& written, const fs::path& target) {
  std::error_code ec;
  fs::rename(written, target, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(written, ignored);
  }
  return ec;
}

std::error_code writeFileReplacing(const fs::path& target, const std::string& bytes) {
  const fs::path tmp = temporaryBeside(target);
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out) return std::error_code(errno ? errno : EIO, std::generic_category());
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      std::error_code ignored;
      fs::remove(tmp, ignored);
      return std::make_error_code(std::errc::io_error);
    }
  }
  return replaceWithWritten(tmp, target);
}

}  // namespace tavrin
