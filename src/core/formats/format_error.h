#pragma once
#include <stdexcept>
#include <string>

namespace tavrin {

// What every reader of outside files (price files, workbooks, the workbook
// reader's output) throws when a file cannot be used. The kind tells the two
// cases apart; the text gives the reason, in English.
class FormatError : public std::runtime_error {
 public:
  enum class Kind {
    Unavailable,  // missing, unreadable, its reader not installed: nothing is known of its content
    Damaged,      // its content breaks its layout, or is larger than its limits
  };
  FormatError(Kind kind, const std::string& reason) : std::runtime_error(reason), kind_(kind) {}
  static FormatError unavailable(const std::string& reason) { return {Kind::Unavailable, reason}; }
  static FormatError damaged(const std::string& reason) { return {Kind::Damaged, reason}; }

  Kind kind() const { return kind_; }
  bool isUnavailable() const { return kind_ == Kind::Unavailable; }
  bool isDamaged() const { return kind_ == Kind::Damaged; }

 private:
  Kind kind_;
};

}  // namespace tavrin
