#pragma once
#include <string>
#include <string_view>

namespace tavrin {

// Failures that the user is not told about are written here, one line each
// (control characters escaped),
// so that a skipped step can still be traced afterwards.
void logLine(std::string_view where, std::string_view what);

// Where log lines go: stderr when empty (the default), else appended to a file.
void setLogFile(const std::string& path);

// Whether a log file that cannot be opened sends the line to stderr instead
// (the default) or drops it (a command whose stderr carries its one message).
void setLogStderrFallback(bool fallback);

// Silences the log (tests that provoke failures on purpose).
void setLogQuiet(bool quiet);

}  // namespace tavrin
