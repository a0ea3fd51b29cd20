#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tavrin {

// A JSON value as read from an answer of a web service. Numbers keep their
// text as written (so that a price is read as the digits say) and a double.
class JsonValue {
 public:
  enum class Type { Null, Bool, Number, String, Array, Object };
  Type type() const { return type_; }
  bool isNull() const { return type_ == Type::Null; }
  bool isObject() const { return type_ == Type::Object; }
  bool isArray() const { return type_ == Type::Array; }
  bool isString() const { return type_ == Type::String; }
  bool isNumber() const { return type_ == Type::Number; }

  bool boolean() const { return bool_; }
  double number() const { return number_; }
  // The number's text as written, or the string's characters (UTF-8).
  const std::string& text() const { return text_; }
  const std::vector<JsonValue>& items() const { return items_; }
  const std::vector<std::pair<std::string, JsonValue>>& members() const { return members_; }
  // The member of an object (the first of that name), or nullptr.
  const JsonValue* find(std::string_view name) const;

  static JsonValue makeNull() { return JsonValue(); }

 private:
  friend class JsonParser;
  Type type_ = Type::Null;
  bool bool_ = false;
  double number_ = 0;
  std::string text_;
  std::vector<JsonValue> items_;
  std::vector<std::pair<std::string, JsonValue>> members_;
};

struct JsonLimits {
  std::size_t maxBytes = 64u << 20;
  std::size_t maxDepth = 64;
};

// Reads one JSON text (RFC 8259: UTF-8, no comments, nothing after the value
// but blanks). Throws FormatError (damaged) naming the place and what is
// wrong: "line 3, column 14: a ',' or '}' expected".
JsonValue parseJson(std::string_view text, const JsonLimits& limits = {});

}  // namespace tavrin
