#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/encoding.h"
#include "base/text.h"

namespace tavrin {

// Lines and fields of CSV text (decoded by decodeTextFile).

// The longest line a text file from outside may hold (CSV and history files),
// its line end not counted: a longer one refuses the file, which is then not
// read further (base/files LineLengthCheck).
inline constexpr std::size_t kMaxLineBytes = 1'048'576;
// The reason given for such a file: "line 3 is longer than 1 MB".
std::string longLineReason(std::size_t line);

// The field separator a header line uses: the most frequent of comma, tab and
// semicolon outside quotes; a comma when it has none.
char detectSeparator(std::string_view headerLine);

// Splits one line at the separator; double quotes enclose a field (a doubled
// quote inside is one quote), blanks around unquoted fields are dropped.
// False on an unclosed quote.
bool splitCsvLine(std::string_view line, char sep, std::vector<std::string>& out);

// Walks the lines of a text (LF or CR LF), counting them from 1.
class TextLines {
 public:
  explicit TextLines(std::string_view text) : text_(text) {}
  bool next(std::string_view& line);
  std::size_t number() const { return number_; }
  std::size_t size() const { return text_.size(); }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
  std::size_t number_ = 0;
};

}  // namespace tavrin
