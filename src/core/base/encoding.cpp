#include "base/encoding.h"

#include <iconv.h>

#include <cerrno>

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
// Marks the bytes that could not be read, in the Japanese way; code page 932
// holds it, so a memo with it can still be saved.
constexpr const char* kReplacement = "〓";

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
std::size_t utf8SequenceAt(std::string_view s, std::size_t i) {
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

Utf8Reading readUtf8Lenient(std::string_view s) {
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
    r.text.append(s.substr(i, len));
    i += len;
  }
  return r;
}

std::string escapeInvalidUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t len = utf8SequenceAt(s, i);
    if (len == 0) {
      static const char kHex[] = "0123456789ABCDEF";
      const auto b = static_cast<unsigned char>(s[i]);
      out += "\\x";
      out += kHex[b >> 4];
      out += kHex[b & 0xF];
      ++i;
      continue;
    }
    out.append(s.substr(i, len));
    i += len;
  }
  return out;
}

bool validUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    if (static_cast<unsigned char>(s[i]) < 0x80) {  // ASCII, NUL included
      ++i;
      continue;
    }
    const std::size_t len = utf8SequenceAt(s, i);
    if (len == 0) return false;
    i += len;
  }
  return true;
}

std::optional<std::string> decodeTextFile(const std::string& raw) {
  if (raw.find('\0') != std::string::npos) return std::nullopt;
  std::string_view all(raw);
  if (all.substr(0, 3) == "\xEF\xBB\xBF") all.remove_prefix(3);
  if (validUtf8(all)) return std::string(all);
  return cp932ToUtf8(raw);
}

}  // namespace tavrin
