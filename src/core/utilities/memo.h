#pragma once
#include <filesystem>
#include <optional>
#include <string>

namespace tavrin {

// Code page 932 (Shift_JIS with the Windows extensions) <-> UTF-8.
// nullopt when a character has no counterpart.
std::optional<std::string> utf8ToCp932(const std::string& utf8);
std::optional<std::string> cp932ToUtf8(const std::string& bytes);

// Line ends: "\n" in the program, CR LF in files.
std::string toCrLf(const std::string& text);
std::string fromCrLf(const std::string& text);

// Reads a memo file: the whole file from code page 932, with the one line
// break that every save appends taken off again. A missing or unreadable file
// gives an empty text (and false in *ok).
std::string loadMemoFile(const std::filesystem::path& path, bool* ok = nullptr);

// Writes the text followed by one CR LF in code page 932, replacing the file.
// On failure nothing is written and *error says why (in Japanese, for the user).
bool saveMemoFile(const std::filesystem::path& path, const std::string& text, std::string* error = nullptr);

}  // namespace tavrin
