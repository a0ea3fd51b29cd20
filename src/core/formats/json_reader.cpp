#include "formats/json_reader.h"

#include <cmath>
#include <cstdlib>

#include "formats/format_error.h"

namespace tavrin {

const JsonValue* JsonValue::find(std::string_view name) const {
  for (const auto& [k, v] : members_)
    if (k == name) return &v;
  return nullptr;
}

class JsonParser {
 public:
  JsonParser(std::string_view s, const JsonLimits& limits) : s_(s), limits_(limits) {}

  JsonValue document() {
    if (s_.size() > limits_.maxBytes)
      throw FormatError::damaged("JSON: " + std::to_string(s_.size()) + " bytes, more than " +
                                 std::to_string(limits_.maxBytes));
    if (s_.size() >= 3 && s_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;  // a BOM some servers send
    blanks();
    JsonValue v = value(0);
    blanks();
    if (pos_ != s_.size()) fail("nothing expected after the value");
    return v;
  }

 private:
  [[noreturn]] void fail(const std::string& what) const {
    std::size_t line = 1, col = 1;
    for (std::size_t i = 0; i < pos_ && i < s_.size(); ++i) {
      if (s_[i] == '\n') {
        ++line;
        col = 1;
      } else if ((static_cast<unsigned char>(s_[i]) & 0xC0) != 0x80) {
        ++col;
      }
    }
    throw FormatError::damaged("JSON: line " + std::to_string(line) + ", column " + std::to_string(col) + ": " + what);
  }
  bool at(char c) const { return pos_ < s_.size() && s_[pos_] == c; }
  void blanks() {
    while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\n' || s_[pos_] == '\r')) ++pos_;
  }
  void expect(char c, const char* what) {
    if (!at(c)) fail(std::string(what) + " expected");
    ++pos_;
  }
  void word(std::string_view w) {
    if (s_.substr(pos_, w.size()) != w) fail("a value expected");
    pos_ += w.size();
  }

  JsonValue value(std::size_t depth) {
    if (depth >= limits_.maxDepth) fail("nested more than " + std::to_string(limits_.maxDepth) + " deep");
    if (pos_ >= s_.size()) fail("a value expected, the text ends");
    JsonValue v;
    switch (s_[pos_]) {
      case '{': {
        v.type_ = JsonValue::Type::Object;
        ++pos_;
        blanks();
        if (at('}')) {
          ++pos_;
          return v;
        }
        for (;;) {
          blanks();
          if (!at('"')) fail("a member name in quotes expected");
          std::string name = string();
          blanks();
          expect(':', "a ':'");
          blanks();
          JsonValue member = value(depth + 1);
          v.members_.emplace_back(std::move(name), std::move(member));
          blanks();
          if (at(',')) {
            ++pos_;
            continue;
          }
          expect('}', "a ',' or '}'");
          return v;
        }
      }
      case '[': {
        v.type_ = JsonValue::Type::Array;
        ++pos_;
        blanks();
        if (at(']')) {
          ++pos_;
          return v;
        }
        for (;;) {
          blanks();
          v.items_.push_back(value(depth + 1));
          blanks();
          if (at(',')) {
            ++pos_;
            continue;
          }
          expect(']', "a ',' or ']'");
          return v;
        }
      }
      case '"':
        v.type_ = JsonValue::Type::String;
        v.text_ = string();
        return v;
      case 't':
        word("true");
        v.type_ = JsonValue::Type::Bool;
        v.bool_ = true;
        return v;
      case 'f':
        word("false");
        v.type_ = JsonValue::Type::Bool;
        return v;
      case 'n': word("null"); return v;
      default: return number();
    }
  }

  JsonValue number() {
    const std::size_t start = pos_;
    auto digits = [&] {
      const std::size_t from = pos_;
      while (pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9') ++pos_;
      return pos_ - from;
    };
    if (at('-')) ++pos_;
    if (at('0')) {
      ++pos_;
    } else if (digits() == 0) {
      fail("a value expected");
    }
    if (at('.')) {
      ++pos_;
      if (digits() == 0) fail("digits expected after '.'");
    }
    if (at('e') || at('E')) {
      ++pos_;
      if (at('+') || at('-')) ++pos_;
      if (digits() == 0) fail("digits expected in the exponent");
    }
    JsonValue v;
    v.type_ = JsonValue::Type::Number;
    v.text_ = std::string(s_.substr(start, pos_ - start));
    v.number_ = std::strtod(v.text_.c_str(), nullptr);
    if (!std::isfinite(v.number_)) fail("a number out of range");
    return v;
  }

  static void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }

  std::uint32_t hex4() {
    if (pos_ + 4 > s_.size()) fail("four hex digits expected after \\u");
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = s_[pos_++];
      v <<= 4;
      if (c >= '0' && c <= '9')
        v |= static_cast<std::uint32_t>(c - '0');
      else if (c >= 'a' && c <= 'f')
        v |= static_cast<std::uint32_t>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F')
        v |= static_cast<std::uint32_t>(c - 'A' + 10);
      else
        fail("four hex digits expected after \\u");
    }
    return v;
  }

  // One UTF-8 sequence, checked (no overlong forms, no surrogates).
  void utf8(std::string& out) {
    const auto b0 = static_cast<unsigned char>(s_[pos_]);
    std::size_t n = b0 >= 0xF0 ? 4 : b0 >= 0xE0 ? 3 : b0 >= 0xC0 ? 2 : 0;
    if (n == 0 || b0 > 0xF4 || pos_ + n > s_.size()) fail("text that is not UTF-8");
    std::uint32_t cp = b0 & (0x7F >> n);
    for (std::size_t i = 1; i < n; ++i) {
      const auto b = static_cast<unsigned char>(s_[pos_ + i]);
      if ((b & 0xC0) != 0x80) fail("text that is not UTF-8");
      cp = (cp << 6) | (b & 0x3F);
    }
    if ((n == 2 && cp < 0x80) || (n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
      fail("text that is not UTF-8");
    out.append(s_.substr(pos_, n));
    pos_ += n;
  }

  std::string string() {
    ++pos_;  // the opening quote
    std::string out;
    for (;;) {
      if (pos_ >= s_.size()) fail("a string without its closing quote");
      const char c = s_[pos_];
      if (c == '"') {
        ++pos_;
        return out;
      }
      if (static_cast<unsigned char>(c) < 0x20) fail("a control character in a string");
      if (static_cast<unsigned char>(c) >= 0x80) {
        utf8(out);
        continue;
      }
      if (c != '\\') {
        out += c;
        ++pos_;
        continue;
      }
      if (++pos_ >= s_.size()) fail("a string without its closing quote");
      const char e = s_[pos_++];
      switch (e) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          std::uint32_t cp = hex4();
          if (cp >= 0xD800 && cp <= 0xDBFF) {
            if (s_.substr(pos_, 2) != "\\u") fail("a lone surrogate in \\u");
            pos_ += 2;
            const std::uint32_t low = hex4();
            if (low < 0xDC00 || low > 0xDFFF) fail("a lone surrogate in \\u");
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
          } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            fail("a lone surrogate in \\u");
          }
          appendUtf8(out, cp);
          break;
        }
        default: --pos_; fail("an unknown escape in a string");
      }
    }
  }

  std::string_view s_;
  JsonLimits limits_;
  std::size_t pos_ = 0;
};

JsonValue parseJson(std::string_view text, const JsonLimits& limits) { return JsonParser(text, limits).document(); }

}  // namespace tavrin
