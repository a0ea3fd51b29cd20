#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>

namespace tavrin {

// A zip container held in memory, read through minizip. The container is
// untrusted: the number of entries and the bytes inflated from one entry are
// capped whatever the directory claims, so a crafted file cannot make the
// reader use more memory or time than those caps allow.
class ZipArchive {
 public:
  static constexpr std::size_t kMaxEntries = 4096;
  static constexpr std::size_t kMaxEntryBytes = 128u << 20;

  // Throws a damaged FormatError when the bytes are not a readable zip container.
  explicit ZipArchive(std::string bytes);
  ~ZipArchive();
  ZipArchive(const ZipArchive&) = delete;
  ZipArchive& operator=(const ZipArchive&) = delete;

  bool has(const std::string& name) const { return entries_.count(name) != 0; }
  // Inflates one entry piece by piece into sink (which returns false to stop
  // early). Throws a damaged FormatError when the entry is missing, damaged or larger
  // than maxBytes.
  void read(const std::string& name, const std::function<bool(const char*, std::size_t)>& sink,
            std::size_t maxBytes = kMaxEntryBytes) const;
  // The whole entry (small entries only).
  std::string readAll(const std::string& name, std::size_t maxBytes) const;

  // The buffer and the read position minizip's file functions work on.
  struct Stream {
    std::string bytes;
    std::uint64_t pos = 0;
  };

 private:
  struct Position {
    std::uint64_t directoryPos;
    std::uint64_t fileNumber;
  };
  void listEntries();

  Stream stream_;
  void* unz_ = nullptr;
  std::unordered_map<std::string, Position> entries_;
};

}  // namespace tavrin
