#include "readers/csv_text.h"

#include "utilities/memo.h"

namespace tavrin {

bool validUtf8(std::string_view s) {
  size_t i = 0;
  const size_t n = s.size();
  while (i < n) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    const int extra = (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
    if (extra < 0 || c == 0xC0 || c == 0xC1 || c > 0xF4 || i + static_cast<size_t>(extra) >= n) return false;
    for (int k = 1; k <= extra; ++k)
      if ((static_cast<unsigned char>(s[i + static_cast<size_t>(k)]) & 0xC0) != 0x80) return false;
    i += static_cast<size_t>(extra) + 1;
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

std::string trimmedField(std::string_view v) {
  size_t b = 0, e = v.size();
  while (b < e && (v[b] == ' ' || v[b] == '\t' || v[b] == '\r')) ++b;
  while (e > b && (v[e - 1] == ' ' || v[e - 1] == '\t' || v[e - 1] == '\r')) --e;
  return std::string(v.substr(b, e - b));
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
    } else if (c == '"' && trimmedField(field).empty()) {
      quoted = wasQuoted = true;
      field.clear();
    } else if (c == sep) {
      out.push_back(wasQuoted ? field : trimmedField(field));
      field.clear();
      wasQuoted = false;
    } else {
      field += c;
    }
  }
  if (quoted) return false;
  out.push_back(wasQuoted ? field : trimmedField(field));
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
