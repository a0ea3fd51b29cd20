#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tavrin {

// Code page 932 (Shift_JIS with the Windows extensions) <-> UTF-8.
// nullopt when a character has no counterpart.
std::optional<std::string> utf8ToCp932(const std::string& utf8);
std::optional<std::string> cp932ToUtf8(const std::string& bytes);

// Code page 932 to UTF-8, every byte that cannot be converted (and NUL)
// replaced by "〓"; *replaced counts them.
std::string cp932ToUtf8Lenient(const std::string& in, std::size_t* replaced);

// Strict UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
// NUL is accepted here (a text check of its own refuses it).
bool validUtf8(std::string_view s);

// Length of the well-formed UTF-8 sequence at s[i] (NUL is none), 0 when
// there is none.
std::size_t utf8SequenceAt(std::string_view s, std::size_t i);

// The text with every byte outside a well-formed sequence written as an
// escape ("\xED\xA0\x80" for an encoded surrogate), so that a message that
// quotes a file name or a file's content is valid UTF-8 and still tells
// which bytes were there. NUL becomes "\x00"; valid text is returned as it is.
std::string escapeInvalidUtf8(std::string_view s);

// UTF-8 read leniently: every byte outside a well-formed sequence replaced by "〓".
struct Utf8Reading {
  std::string text;
  std::size_t sequences = 0;    // characters of more than one byte
  std::size_t replaced = 0;     // bytes outside any sequence
  bool beyondTwoBytes = false;  // a character from U+0800 on (all of Japanese)
};
Utf8Reading readUtf8Lenient(std::string_view s);

// A text file from outside (CSV, history files): UTF-8 with or without a byte
// order mark, else code page 932. The text as UTF-8 without a byte order
// mark; nothing when it is neither, or holds NUL bytes (not a text file).
std::optional<std::string> decodeTextFile(const std::string& raw);

// Line ends: "\n" in the program, CR LF in files.
std::string toCrLf(const std::string& text);
std::string fromCrLf(const std::string& text);

}  // namespace tavrin
