#include "base/text.h"

#include <cstdio>

#include "base/encoding.h"

namespace tavrin {

std::string printableText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    char buf[8];
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      std::snprintf(buf, sizeof buf, "\\x%02x", c);
      out += buf;
    } else if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
      // U+0080..U+009F in UTF-8: the C1 controls (CSI among them).
      std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned char>(text[i + 1]));
      out += buf;
      ++i;
    } else if (c >= 0x80) {
      // A well-formed sequence as it is; a byte outside one as an escape.
      const std::size_t len = utf8SequenceAt(text, i);
      if (len == 0) {
        std::snprintf(buf, sizeof buf, "\\x%02X", c);
        out += buf;
      } else {
        out.append(text.substr(i, len));
        i += len - 1;
      }
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

namespace {

// Bytes of the blank at the front (back: ending at `end`) of a text, 0 when none.
std::size_t blankAt(std::string_view s, std::size_t at, bool back, bool ideographic) {
  const char c = back ? s[at - 1] : s[at];
  if (c == ' ' || c == '\t' || c == '\r' || c == '\n') return 1;
  if (!ideographic) return 0;
  constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80";
  if (back ? (at >= 3 && s.substr(at - 3, 3) == kIdeographicSpace) : s.substr(at, 3) == kIdeographicSpace) return 3;
  return 0;
}

std::string trimmedText(std::string_view s, bool ideographic) {
  std::size_t b = 0, e = s.size();
  while (b < e) {
    const std::size_t n = blankAt(s, b, false, ideographic);
    if (!n) break;
    b += n;
  }
  while (e > b) {
    const std::size_t n = blankAt(s, e, true, ideographic);
    if (!n || n > e - b) break;
    e -= n;
  }
  return std::string(s.substr(b, e - b));
}

}  // namespace

std::string trimmed(std::string_view text) { return trimmedText(text, false); }
std::string trimmedBlanks(std::string_view text) { return trimmedText(text, true); }

std::string asciiLower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

std::string foldFullWidth(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto b0 = static_cast<unsigned char>(text[i]);
    if (b0 == 0xEF && i + 2 < text.size()) {
      // U+FF01..U+FF5E: EF BC 81..BF, EF BD 80..9E.
      const auto b1 = static_cast<unsigned char>(text[i + 1]);
      const auto b2 = static_cast<unsigned char>(text[i + 2]);
      int cp = -1;
      if (b1 == 0xBC && b2 >= 0x81 && b2 <= 0xBF) cp = 0xFF00 + (b2 - 0x80);
      if (b1 == 0xBD && b2 >= 0x80 && b2 <= 0x9E) cp = 0xFF40 + (b2 - 0x80);
      if (cp >= 0) {
        out += static_cast<char>(cp - 0xFF01 + 0x21);
        i += 2;
        continue;
      }
    }
    if (b0 == 0xE3 && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0x80 &&
        static_cast<unsigned char>(text[i + 2]) == 0x80) {
      out += ' ';  // U+3000
      i += 2;
      continue;
    }
    out += text[i];
  }
  return out;
}

std::string groupedCount(std::int64_t value) {
  const bool negative = value < 0;
  const std::uint64_t magnitude =
      negative ? std::uint64_t{0} - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  const std::string digits = std::to_string(magnitude);
  std::string out;
  const std::size_t n = digits.size();
  for (std::size_t i = 0; i < n; ++i) {
    out += digits[i];
    if ((n - i - 1) % 3 == 0 && i + 1 < n) out += ',';
  }
  return negative ? "-" + out : out;
}

}  // namespace tavrin
