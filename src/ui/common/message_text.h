#pragma once
#include <QString>
#include <string>

#include "base/encoding.h"

namespace tavrin::ui {

// A text of the core (a file name, a reason quoting a file) for a window:
// bytes outside a well-formed UTF-8 sequence shown as escapes ("\xED"), not
// lost to a replacement character.
inline QString messageText(const std::string& text) { return QString::fromStdString(escapeInvalidUtf8(text)); }

}  // namespace tavrin::ui
