#pragma once
#include <filesystem>
#include <string>

namespace tavrin::test {

// A fresh empty folder below the system temp folder, removed at destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const;

 private:
  std::filesystem::path path_;
};

// Runs a shell command; returns its exit status and what it printed on stdout.
struct CommandResult {
  int status = -1;
  std::string out;
};
CommandResult runCommand(const std::string& command);

// The whole content of a file as bytes (empty when it cannot be read).
std::string readFileBytes(const std::filesystem::path& p);

// Path of the tavrin-cli binary built beside the tests.
std::string cliPath();

}  // namespace tavrin::test
