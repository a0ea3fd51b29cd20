#include "utilities/memo.h"

#include <cerrno>
#include <exception>
#include <fstream>
#include <iterator>
#include <system_error>
#include <utility>

#include "app/paths.h"
#include "base/encoding.h"
#include "base/files.h"
#include "base/log.h"

namespace tavrin {

MemoContent decodeMemoBytes(std::string bytes) {
  MemoContent c;
  c.exists = true;
  bool bom = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0;
  if (bom) bytes.erase(0, 3);
  // The line break every save appends (a Linux editor ends with LF alone).
  if (bytes.size() >= 2 && bytes.compare(bytes.size() - 2, 2, "\r\n") == 0) {
    bytes.resize(bytes.size() - 2);
  } else if (!bytes.empty() && bytes.back() == '\n') {
    bytes.pop_back();
  }
  Utf8Reading utf8 = readUtf8Lenient(bytes);
  size_t cpReplaced = 0;
  std::string cp = bom ? std::string() : cp932ToUtf8Lenient(bytes, &cpReplaced);
  // Well-formed UTF-8, or UTF-8 with a few stray bytes: far more multi-byte
  // characters than broken bytes (code page 932 text read as UTF-8 has hardly
  // any). Short runs of half-width katakana in code page 932 can look like
  // UTF-8; real Japanese UTF-8 text has characters from U+0800 on.
  bool useUtf8 =
      bom || (utf8.sequences > 0 && utf8.sequences >= 4 * utf8.replaced && (cpReplaced > 0 || utf8.beyondTwoBytes));
  if (useUtf8) {
    c.encoding = MemoEncoding::Utf8;
    c.whole = utf8.replaced == 0;
    c.text = fromCrLf(utf8.text);
  } else {
    c.encoding = MemoEncoding::Cp932;
    c.whole = cpReplaced == 0;
    c.text = fromCrLf(cp);
  }
  return c;
}

MemoContent readMemoFile(const std::filesystem::path& path) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return {};
  std::string bytes;
  bool read = false;
  try {
    std::ifstream in(path, std::ios::binary);
    if (in) bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    read = in && !in.bad();
  } catch (const std::exception&) {
    // A folder in its place, or a read error below the stream.
  }
  if (!read) {
    logLine("memo", "cannot read " + toUtf8(path));
    MemoContent c;
    c.exists = true;
    c.whole = false;
    return c;
  }
  MemoContent c = decodeMemoBytes(std::move(bytes));
  if (!c.whole) logLine("memo", "bytes that are no text replaced in " + toUtf8(path));
  return c;
}

std::string loadMemoFile(const std::filesystem::path& path, bool* ok) {
  MemoContent c = readMemoFile(path);
  if (ok) *ok = c.exists && c.whole;
  return c.text;
}

MemoSaveOutcome saveMemoFile(const std::filesystem::path& path, const std::string& text) {
  MemoSaveOutcome o;
  o.path = path;
  auto bytes = utf8ToCp932(toCrLf(text) + "\r\n");
  if (!bytes) {
    o.fail(MemoFailure::NotCp932, "the text has characters that code page 932 cannot hold");
    return o;
  }
  std::error_code ec;
  // A read-only target refuses the save rather than being replaced.
  if (std::filesystem::exists(path, ec)) {
    auto perms = std::filesystem::status(path, ec).permissions();
    if ((perms & std::filesystem::perms::owner_write) == std::filesystem::perms::none) {
      o.fail(MemoFailure::ReadOnly, "read-only: " + toUtf8(path));
      return o;
    }
  }
  // Written beside the target first, so a failure leaves the old file whole.
  if (const std::error_code written = writeFileReplacing(path, *bytes))
    o.fail(MemoFailure::CannotWrite, "cannot write " + toUtf8(path) + ": " + written.message());
  return o;
}

MemoFile::MemoFile(std::filesystem::path path) : path_(std::move(path)), loaded_(readMemoFile(path_)) {}

std::filesystem::path MemoFile::backupPath() const {
  std::filesystem::path p = path_;
  p += ".bak";
  return p;
}

MemoSaveOutcome MemoFile::save(const std::string& text) {
  MemoSaveOutcome o;
  o.path = path_;
  const bool keepOld = damaged();
  if (keepOld) {
    // Only what the user wrote may replace a file that was not read whole,
    // and the old file stays beside it.
    if (text == loaded_.text) {
      o.saved = MemoSaved::LeftAlone;
      return o;
    }
    if (!utf8ToCp932(text)) {
      o.fail(MemoFailure::NotCp932, "the text has characters that code page 932 cannot hold");
      return o;
    }
    std::error_code ec;
    std::filesystem::copy_file(path_, backupPath(), std::filesystem::copy_options::overwrite_existing, ec);
    if (ec) {
      o.path = backupPath();
      o.fail(MemoFailure::CannotKeepOld,
             "cannot keep " + toUtf8(path_) + " as " + toUtf8(backupPath()) + ": " + ec.message());
      logLine("memo", o.detail);
      return o;
    }
  }
  o = saveMemoFile(path_, text);
  if (!o.done()) return o;
  loaded_.text = text;
  loaded_.encoding = MemoEncoding::Cp932;
  loaded_.exists = true;
  loaded_.whole = true;
  o.saved = keepOld ? MemoSaved::SavedKeepingOld : MemoSaved::Saved;
  return o;
}

}  // namespace tavrin
