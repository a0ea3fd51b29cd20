#include "utilities/memo.h"

#include <iconv.h>

#include <cerrno>
#include <exception>
#include <fstream>
#include <iterator>
#include <system_error>
#include <utility>

#include "app/log.h"
#include "app/paths.h"

namespace tavrin {

namespace {
constexpr const char* kNotCodePage932 = "メモにShift_JISで保存できない文字があります。";

std::optional<std::string> convert(const char* to, const char* from, const std::string& in) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out;
  out.resize(in.size() * 4 + 16);
  char* inPtr = const_cast<char*>(in.data());
  size_t inLeft = in.size();
  char* outPtr = out.data();
  size_t outLeft = out.size();
  bool ok = true;
  while (inLeft > 0) {
    size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    if (r == static_cast<size_t>(-1)) {
      if (errno == E2BIG) {
        size_t used = out.size() - outLeft;
        out.resize(out.size() * 2);
        outPtr = out.data() + used;
        outLeft = out.size() - used;
        continue;
      }
      ok = false;
      break;
    }
  }
  iconv_close(cd);
  if (!ok) return std::nullopt;
  out.resize(out.size() - outLeft);
  return out;
}
}  // namespace

std::optional<std::string> utf8ToCp932(const std::string& utf8) { return convert("CP932", "UTF-8", utf8); }
std::optional<std::string> cp932ToUtf8(const std::string& bytes) { return convert("UTF-8", "CP932", bytes); }

std::string toCrLf(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r') {
      out += "\r\n";
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (c == '\n') {
      out += "\r\n";
    } else {
      out += c;
    }
  }
  return out;
}

std::string fromCrLf(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

namespace {

// Marks the bytes that could not be read, in the Japanese way; code page 932
// holds it, so a memo with it can still be saved.
constexpr const char* kReplacement = "〓";

// Code page 932 to UTF-8, every byte that cannot be converted replaced.
std::string cp932ToUtf8Lenient(const std::string& in, size_t* replaced) {
  *replaced = 0;
  std::string out;
  iconv_t cd = iconv_open("UTF-8", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    *replaced = in.size();
    return out;
  }
  std::string buf(in.size() * 3 + 16, '\0');
  char* inPtr = const_cast<char*>(in.data());
  size_t inLeft = in.size();
  while (inLeft > 0) {
    char* outPtr = buf.data();
    size_t outLeft = buf.size();
    size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    out.append(buf.data(), buf.size() - outLeft);
    if (r != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) continue;
    // EILSEQ or EINVAL: lose the one byte and go on after it.
    out += kReplacement;
    ++*replaced;
    ++inPtr;
    --inLeft;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  iconv_close(cd);
  // NUL converts, but is no text (a file cut short by a crash is often
  // padded with it).
  std::string text;
  text.reserve(out.size());
  for (char ch : out) {
    if (ch == '\0') {
      text += kReplacement;
      ++*replaced;
    } else {
      text += ch;
    }
  }
  return text;
}

// Length of the well-formed UTF-8 sequence at s[i], 0 when there is none.
size_t utf8SequenceAt(const std::string& s, size_t i) {
  auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char b = byte(i);
  if (b == 0) return 0;  // NUL is no text
  if (b < 0x80) return 1;
  size_t len;
  unsigned char lo = 0x80, hi = 0xBF;  // range of the second byte
  if (b >= 0xC2 && b <= 0xDF) {
    len = 2;
  } else if (b >= 0xE0 && b <= 0xEF) {
    len = 3;
    if (b == 0xE0) lo = 0xA0;  // no overlong forms
    if (b == 0xED) hi = 0x9F;  // no surrogates
  } else if (b >= 0xF0 && b <= 0xF4) {
    len = 4;
    if (b == 0xF0) lo = 0x90;
    if (b == 0xF4) hi = 0x8F;  // nothing past U+10FFFF
  } else {
    return 0;
  }
  if (i + len > s.size()) return 0;
  if (byte(i + 1) < lo || byte(i + 1) > hi) return 0;
  for (size_t k = 2; k < len; ++k) {
    if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
  }
  return len;
}

struct Utf8Reading {
  std::string text;             // with every byte outside a sequence replaced
  size_t sequences = 0;         // characters of more than one byte
  size_t replaced = 0;          // bytes outside any sequence
  bool beyondTwoBytes = false;  // a character from U+0800 on (all of Japanese)
};

Utf8Reading readUtf8(const std::string& s) {
  Utf8Reading r;
  r.text.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    size_t len = utf8SequenceAt(s, i);
    if (len == 0) {
      r.text += kReplacement;
      ++r.replaced;
      ++i;
      continue;
    }
    if (len > 1) ++r.sequences;
    if (len > 2) r.beyondTwoBytes = true;
    r.text.append(s, i, len);
    i += len;
  }
  return r;
}

}  // namespace

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
  Utf8Reading utf8 = readUtf8(bytes);
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

bool saveMemoFile(const std::filesystem::path& path, const std::string& text, std::string* error) {
  auto bytes = utf8ToCp932(toCrLf(text) + "\r\n");
  if (!bytes) {
    if (error) *error = kNotCodePage932;
    return false;
  }
  // Write beside the target first, so a failure leaves the old file whole.
  std::filesystem::path tmp = path;
  tmp += ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out) {
      if (error) *error = "メモを保存できません: " + toUtf8(path);
      return false;
    }
    out.write(bytes->data(), static_cast<std::streamsize>(bytes->size()));
    out.close();
    if (!out) {
      std::error_code ec;
      std::filesystem::remove(tmp, ec);
      if (error) *error = "メモを保存できません: " + toUtf8(path);
      return false;
    }
  }
  std::error_code ec;
  // A read-only target refuses the save rather than being replaced.
  if (std::filesystem::exists(path, ec)) {
    auto perms = std::filesystem::status(path, ec).permissions();
    if ((perms & std::filesystem::perms::owner_write) == std::filesystem::perms::none) {
      std::filesystem::remove(tmp, ec);
      if (error) *error = "メモのファイルが読み取り専用です: " + toUtf8(path);
      return false;
    }
  }
  std::filesystem::rename(tmp, path, ec);
  if (ec) {
    std::filesystem::remove(tmp, ec);
    if (error) *error = "メモを保存できません: " + toUtf8(path);
    return false;
  }
  return true;
}

MemoFile::MemoFile(std::filesystem::path path) : path_(std::move(path)), loaded_(readMemoFile(path_)) {}

std::filesystem::path MemoFile::backupPath() const {
  std::filesystem::path p = path_;
  p += ".bak";
  return p;
}

MemoFile::SaveOutcome MemoFile::save(const std::string& text, std::string* error) {
  const bool keepOld = damaged();
  if (keepOld) {
    // Only what the user wrote may replace a file that was not read whole,
    // and the old file stays beside it.
    if (text == loaded_.text) return SaveOutcome::LeftAlone;
    if (!utf8ToCp932(text)) {
      if (error) *error = kNotCodePage932;
      return SaveOutcome::Failed;
    }
    std::error_code ec;
    std::filesystem::copy_file(path_, backupPath(), std::filesystem::copy_options::overwrite_existing, ec);
    if (ec) {
      logLine("memo", "cannot keep " + toUtf8(path_) + " as " + toUtf8(backupPath()) + ": " + ec.message());
      if (error) *error = "元のメモを残せないため保存できません: " + toUtf8(backupPath());
      return SaveOutcome::Failed;
    }
  }
  if (!saveMemoFile(path_, text, error)) return SaveOutcome::Failed;
  loaded_.text = text;
  loaded_.encoding = MemoEncoding::Cp932;
  loaded_.exists = true;
  loaded_.whole = true;
  return keepOld ? SaveOutcome::SavedKeepingOld : SaveOutcome::Saved;
}

}  // namespace tavrin
