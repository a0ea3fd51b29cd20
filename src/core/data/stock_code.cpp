#include "data/stock_code.h"

#include "app/printable_text.h"

namespace tavrin {

namespace {
// Full-width digits and capitals (what a Japanese input method types) as
// their ASCII forms; the ideographic space as a blank.
std::string narrowed(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c0 = static_cast<unsigned char>(text[i]);
    if (c0 == 0xEF && i + 2 < text.size()) {
      const auto c1 = static_cast<unsigned char>(text[i + 1]);
      const auto c2 = static_cast<unsigned char>(text[i + 2]);
      // U+FF10..U+FF19 = EF BC 90..99, U+FF21..U+FF3A = EF BC A1..BA
      if (c1 == 0xBC && c2 >= 0x90 && c2 <= 0x99) {
        out += static_cast<char>('0' + (c2 - 0x90));
        i += 2;
        continue;
      }
      if (c1 == 0xBC && c2 >= 0xA1 && c2 <= 0xBA) {
        out += static_cast<char>('A' + (c2 - 0xA1));
        i += 2;
        continue;
      }
    }
    if (c0 == 0xE3 && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0x80 &&
        static_cast<unsigned char>(text[i + 2]) == 0x80) {
      out += ' ';
      i += 2;
      continue;
    }
    out += static_cast<char>(c0);
  }
  return out;
}
}  // namespace

std::optional<std::string> parseStockCode(const std::string& typed) {
  const std::string text = narrowed(typed);
  size_t b = 0, e = text.size();
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (b < e && blank(text[b])) ++b;
  while (e > b && blank(text[e - 1])) --e;
  const std::string code = text.substr(b, e - b);
  if (code.empty()) return std::nullopt;
  bool allDigits = true, codeCharacters = true;
  for (char c : code) {
    const bool digit = c >= '0' && c <= '9';
    allDigits = allDigits && digit;
    codeCharacters = codeCharacters && (digit || (c >= 'A' && c <= 'Z'));
  }
  if (allDigits && code.size() <= 9) return code;
  if (codeCharacters && (code.size() == 4 || code.size() == 5)) return code;
  return std::nullopt;
}

std::string invalidStockCodeMessage(const std::string& text) {
  return "コードではありません：" + printableText(text) + "（数字と英大文字の4～5文字で入力してください）";
}

}  // namespace tavrin
