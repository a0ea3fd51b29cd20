#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace tavrin {

// A text that came from a user or a file, made safe to show in one line of
// a message or the log: control characters (C0, DEL and the C1 range, ESC
// among them) become escapes such as "\x1b", "\n" and "\u0085", and so does
// every byte outside a well-formed UTF-8 sequence ("\xED\xA0\x80"); a
// backslash stays as it is. Everything else, Japanese text included, is kept.
std::string printableText(std::string_view text);

// The text without ASCII white space (blank, tab, CR, LF) at either end.
std::string trimmed(std::string_view text);
// The same, the ideographic space (U+3000) counted as a blank too.
std::string trimmedBlanks(std::string_view text);

// ASCII letters in lower case; every other byte as it is.
std::string asciiLower(std::string text);
// Whether two texts are equal with ASCII letters compared without case.
bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b);

inline bool isAsciiDigit(char c) { return c >= '0' && c <= '9'; }
inline bool isAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Full-width ASCII forms (Ａ, １, －, ，, ．) and the ideographic space as
// their ASCII counterparts; everything else as it is.
std::string foldFullWidth(std::string_view text);

// A whole number with its digits grouped by threes: "1,234", "-12,345".
std::string groupedCount(std::int64_t value);

}  // namespace tavrin
