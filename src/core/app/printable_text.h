#pragma once
#include <string>
#include <string_view>

namespace tavrin {

// A text that came from a user or a file, made safe to show in one line of
// a message or the log: control characters (C0, DEL and the C1 range, ESC
// among them) become escapes such as "\x1b", "\n" and "\u0085"; a backslash
// stays as it is. Everything else, Japanese text included, is kept.
std::string printableText(std::string_view text);

}  // namespace tavrin
