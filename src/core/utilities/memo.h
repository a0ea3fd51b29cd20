#pragma once
#include <filesystem>
#include <optional>
#include <string>

#include "base/outcome.h"

namespace tavrin {

// What a memo file held and how it could be read.
enum class MemoEncoding { None, Cp932, Utf8 };
struct MemoContent {
  std::string text;  // UTF-8 with "\n" line ends, the final line break taken off
  MemoEncoding encoding = MemoEncoding::None;
  bool exists = false;  // there was a file
  bool whole = true;    // every byte was read and decoded
};

// Decodes the bytes of a memo file.
MemoContent decodeMemoBytes(std::string bytes);
MemoContent readMemoFile(const std::filesystem::path& path);

// Reads a memo file: the whole file from code page 932, with the one line
// break that every save appends taken off again. A missing or unreadable file
// gives an empty text (and false in *ok).
std::string loadMemoFile(const std::filesystem::path& path, bool* ok = nullptr);

enum class MemoFailure {
  None,
  NotCp932,       // the text has characters code page 932 cannot hold
  ReadOnly,       // the memo file may not be written
  CannotWrite,    // the file could not be written (the system's reason in detail)
  CannotKeepOld,  // the old file could not be kept beside it, so nothing was saved
};

// How a save went: saved, saved with the old file kept beside it, or left
// alone (nothing changed in a file that was not read whole).
enum class MemoSaved { Saved, SavedKeepingOld, LeftAlone };

// What a save ended with; path is the file concerned (the memo file, or the
// copy of the old one for CannotKeepOld).
struct MemoSaveOutcome : Outcome<MemoFailure> {
  MemoSaved saved = MemoSaved::Saved;
  std::filesystem::path path;
};

// Writes the text followed by one CR LF in code page 932, replacing the file.
// On failure nothing is written.
MemoSaveOutcome saveMemoFile(const std::filesystem::path& path, const std::string& text);

// The memo file as the memo pad sees it: read once, then saved over.
class MemoFile {
 public:
  explicit MemoFile(std::filesystem::path path);

  const MemoContent& loaded() const { return loaded_; }
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path backupPath() const;
  // The file is there but its text could not be read whole.
  bool damaged() const { return loaded_.exists && !loaded_.whole; }

  MemoSaveOutcome save(const std::string& text);

 private:
  std::filesystem::path path_;
  MemoContent loaded_;
};

}  // namespace tavrin
