#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace tavrin {

// Path <-> UTF-8 text, for showing and storing paths.
std::string toUtf8(const std::filesystem::path& p);
std::filesystem::path fromUtf8(const std::string& s);

// The lengths of the lines of a file's bytes, fed as they are read: a line
// ends at LF, a CR before it belongs to the line end, and a UTF-8 byte order
// mark at the start belongs to no line. Lines are counted from 1.
class LineLengthCheck {
 public:
  explicit LineLengthCheck(std::size_t maxBytes) : max_(maxBytes) {}
  // False once a line is longer than the bound, as soon as its bytes say so
  // (line() is then its number).
  bool feed(std::string_view bytes);
  // At the end of the bytes: false when the last line is longer.
  bool finish();
  std::size_t line() const { return line_; }

 private:
  std::size_t allowed() const;

  std::size_t max_;
  std::size_t line_ = 1;
  std::size_t run_ = 0;  // bytes of the current line so far
  std::string head_;     // the first three bytes, for the byte order mark
  bool endsInCr_ = false;
  bool failed_ = false;
};
// The number of the first line longer than maxBytes, 0 when there is none.
std::size_t firstLineLongerThan(std::string_view bytes, std::size_t maxBytes);

// A whole file read into memory, at most a limit of bytes, and when a line
// limit is given no line longer than it: the reading stops at the first such
// line, keeping the bytes read so far.
struct FileBytes {
  enum class Failure { None, Missing, NotAFile, TooLarge, LineTooLong, Unreadable };
  Failure failure = Failure::None;
  std::error_code error;    // with Unreadable, when the system gave one
  std::uintmax_t size = 0;  // the size on disk, when known
  std::size_t line = 0;     // with LineTooLong, the line's number
  std::string bytes;
  bool ok() const { return failure == Failure::None; }
};
FileBytes readWholeFile(const std::filesystem::path& path, std::uintmax_t limit, std::size_t lineLimit = 0);

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
