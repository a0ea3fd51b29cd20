#include "base/files.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <optional>

namespace tavrin {

namespace fs = std::filesystem;

std::string toUtf8(const fs::path& p) {
  auto u8 = p.u8string();
  return std::string(u8.begin(), u8.end());
}

fs::path fromUtf8(const std::string& s) { return fs::path(std::u8string(s.begin(), s.end())); }

std::size_t LineLengthCheck::allowed() const { return max_ + (line_ == 1 && head_ == "\xEF\xBB\xBF" ? 3 : 0); }

bool LineLengthCheck::feed(std::string_view bytes) {
  if (failed_) return false;
  for (std::size_t k = 0; head_.size() < 3 && k < bytes.size(); ++k) head_ += bytes[k];
  std::size_t i = 0;
  while (i < bytes.size()) {
    const char* from = bytes.data() + i;
    const auto* nl = static_cast<const char*>(std::memchr(from, '\n', bytes.size() - i));
    const std::size_t part = nl ? static_cast<std::size_t>(nl - from) : bytes.size() - i;
    if (part > 0) {
      run_ += part;
      endsInCr_ = from[part - 1] == '\r';
    }
    // Longer than the bound even if a CR ends it.
    if (run_ > allowed() + 1 || (nl && run_ - (endsInCr_ ? 1 : 0) > allowed())) {
      failed_ = true;
      return false;
    }
    if (!nl) break;
    ++line_;
    run_ = 0;
    endsInCr_ = false;
    i += part + 1;
  }
  return true;
}

bool LineLengthCheck::finish() {
  if (!failed_ && run_ - (endsInCr_ ? 1 : 0) > allowed()) failed_ = true;
  return !failed_;
}

std::size_t firstLineLongerThan(std::string_view bytes, std::size_t maxBytes) {
  LineLengthCheck check(maxBytes);
  return check.feed(bytes) && check.finish() ? 0 : check.line();
}

FileBytes readWholeFile(const fs::path& path, std::uintmax_t limit, std::size_t lineLimit) {
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
  // Read a piece at a time into room reserved for the whole (memory is only
  // taken as it is filled), so that a file refused for a long line costs
  // about the line; never more than the size found above.
  constexpr std::size_t kPiece = 1u << 20;
  const auto total = static_cast<std::size_t>(out.size);
  out.bytes.reserve(total);
  std::optional<LineLengthCheck> lines;
  if (lineLimit > 0) lines.emplace(lineLimit);
  while (out.bytes.size() < total) {
    const std::size_t at = out.bytes.size();
    const std::size_t want = std::min(kPiece, total - at);
    out.bytes.resize(at + want);
    in.read(out.bytes.data() + at, static_cast<std::streamsize>(want));
    const auto got = static_cast<std::size_t>(in.gcount());
    out.bytes.resize(at + got);
    if (lines && !lines->feed(std::string_view(out.bytes).substr(at))) {
      out.failure = FileBytes::Failure::LineTooLong;
      out.line = lines->line();
      return out;
    }
    if (got < want) break;
  }
  if (in.bad()) {
    out.failure = FileBytes::Failure::Unreadable;
    out.bytes.clear();
    return out;
  }
  if (lines && !lines->finish()) {
    out.failure = FileBytes::Failure::LineTooLong;
    out.line = lines->line();
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
