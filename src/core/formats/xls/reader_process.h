#pragma once
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace tavrin {

// Limits on one run of a reader process.
struct ReaderLimits {
  std::chrono::milliseconds wallTime{10000};  // then it is killed
  std::size_t outputBytes = 64u << 20;        // more output and it is killed
};

struct ReaderRun {
  enum class End { Exited, Signalled, TimedOut, OutputTooLarge, NotStarted };
  End end = End::NotStarted;
  int code = 0;        // exit status or signal number
  std::string output;  // what it wrote to stdout (up to the limit)
  bool ok() const { return end == End::Exited && code == 0; }
  std::string describe() const;  // for logs: "exited with 3", "killed after 10000 ms", ...
};

// Runs `program args...` without a shell, stdin and stderr on /dev/null, and
// collects its stdout under the limits. The child runs in its own process
// group, which is killed (SIGKILL) when a limit is reached; the call always
// reaps it before returning.
ReaderRun runReader(const std::filesystem::path& program, const std::vector<std::string>& args,
                    const ReaderLimits& limits);

// Where the .xls reader program is: $TAVRIN_XLS_READER, else beside the
// running executable, else in the libexec folder of the tree the executable is
// installed in (bin/../libexec/tavrin), else the configured libexec folder,
// else the build tree.
// Empty when none exists.
std::filesystem::path xlsReaderProgram();

}  // namespace tavrin
