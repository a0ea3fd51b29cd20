#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <variant>

namespace tavrin {

// One field value as the database delivers it.
class Value {
 public:
  Value() = default;  // Null
  Value(std::int64_t v) : v_(v) {}
  Value(int v) : v_(static_cast<std::int64_t>(v)) {}
  Value(double v) : v_(v) {}
  Value(std::string v) : v_(std::move(v)) {}
  Value(const char* v) : v_(std::string(v)) {}

  bool isNull() const { return std::holds_alternative<std::monostate>(v_); }
  bool isInteger() const { return std::holds_alternative<std::int64_t>(v_); }
  bool isReal() const { return std::holds_alternative<double>(v_); }
  bool isText() const { return std::holds_alternative<std::string>(v_); }

  std::int64_t integer() const { return std::get<std::int64_t>(v_); }
  double real() const { return std::get<double>(v_); }
  const std::string& textValue() const { return std::get<std::string>(v_); }

  // The value as a number when it is one, or a text that reads fully as one.
  std::optional<double> asNumber() const;
  // As a grid shows it: Null empty, whole reals without a decimal point.
  std::string display() const;

  bool operator==(const Value& other) const = default;

 private:
  std::variant<std::monostate, std::int64_t, double, std::string> v_;
};

// Reads a whole text as a number (surrounding blanks allowed); nullopt otherwise.
std::optional<double> parseNumber(const std::string& text);

}  // namespace tavrin
