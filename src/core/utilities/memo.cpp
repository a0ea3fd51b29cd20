#include "utilities/memo.h"

#include <iconv.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <system_error>
#include <utility>

#include "app/log.h"
#include "app/paths.h"

namespace tavrin {

namespace {
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

MemoContent decodeMemoBytes(std::string bytes) {
  MemoContent c;
  c.exists = true;
  if (bytes.size() >= 2 && bytes.compare(bytes.size() - 2, 2, "\r\n") == 0) bytes.resize(bytes.size() - 2);
  auto text = cp932ToUtf8(bytes);
  if (!text) {
    c.whole = false;
    return c;
  }
  c.encoding = MemoEncoding::Cp932;
  c.text = fromCrLf(*text);
  return c;
}

MemoContent readMemoFile(const std::filesystem::path& path) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return {};
  std::ifstream in(path, std::ios::binary);
  std::string bytes;
  if (in) bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (!in || in.bad()) {
    logLine("memo", "cannot read " + toUtf8(path));
    MemoContent c;
    c.exists = true;
    c.whole = false;
    return c;
  }
  MemoContent c = decodeMemoBytes(std::move(bytes));
  if (!c.whole) logLine("memo", "not code page 932 text: " + toUtf8(path));
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
    if (error) *error = "メモにShift_JISで保存できない文字があります。";
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
  return saveMemoFile(path_, text, error) ? SaveOutcome::Saved : SaveOutcome::Failed;
}

}  // namespace tavrin
