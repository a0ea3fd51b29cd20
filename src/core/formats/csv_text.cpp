#include "formats/csv_text.h"

#include "base/text.h"

namespace tavrin {

std::string longLineReason(std::size_t line) { return "line " + std::to_string(line) + " is longer than 1 MB"; }

char detectSeparator(std::string_view line) {
  std::size_t comma = 0, tab = 0, semicolon = 0;
  bool quoted = false;
  for (char c : line) {
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    comma += c == ',';
    tab += c == '\t';
    semicolon += c == ';';
  }
  if (tab > comma && tab >= semicolon) return '\t';
  if (semicolon > comma && semicolon > tab) return ';';
  return ',';
}

bool splitCsvLine(std::string_view line, char sep, std::vector<std::string>& out) {
  out.clear();
  std::string field;
  bool quoted = false, wasQuoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted) {
      if (c == '"') {
        if (i + 1 < line.size() && line[i + 1] == '"') {
          field += '"';
          ++i;
        } else {
          quoted = false;
        }
      } else {
        field += c;
      }
    } else if (c == '"' && trimmed(field).empty()) {
      quoted = wasQuoted = true;
      field.clear();
    } else if (c == sep) {
      out.push_back(wasQuoted ? field : trimmed(field));
      field.clear();
      wasQuoted = false;
    } else {
      field += c;
    }
  }
  if (quoted) return false;
  out.push_back(wasQuoted ? field : trimmed(field));
  return true;
}

bool TextLines::next(std::string_view& line) {
  if (pos_ >= text_.size()) return false;
  size_t end = text_.find('\n', pos_);
  if (end == std::string_view::npos) end = text_.size();
  line = text_.substr(pos_, end - pos_);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  pos_ = end + 1;
  ++number_;
  return true;
}

}  // namespace tavrin
