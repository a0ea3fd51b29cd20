#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

namespace tavrin {

// Path <-> UTF-8 text, for showing and storing paths.
std::string toUtf8(const std::filesystem::path& p);
std::filesystem::path fromUtf8(const std::string& s);

// A whole file read into memory, at most a limit of bytes.
struct FileBytes {
  enum class Failure { None, Missing, NotAFile, TooLarge, Unreadable };
  Failure failure = Failure::None;
  std::error_code error;    // with Unreadable, when the system gave one
  std::uintmax_t size = 0;  // the size on disk, when known
  std::string bytes;
  bool ok() const { return failure == Failure::None; }
};
FileBytes readWholeFile(const std::filesystem::path& path, std::uintmax_t limit);

// A name beside the target for a file in the making ("NAME.part-PID-N"),
// unique within the process.
std::filesystem::path temporaryBeside(const std::filesystem::path& target);

// Puts a file written beside the target in its place with one rename, so
// that the target is either the old file or the whole new one. On failure
// the written file is removed and the error returned.
std::error_code replaceWithWritten(const std::filesystem::path& written, const std::filesystem::path& target);

// Writes bytes to a file beside the target and renames it over the target.
std::error_code writeFileReplacing(const std::filesystem::path& target, const std::string& bytes);

}  // namespace tavrin
