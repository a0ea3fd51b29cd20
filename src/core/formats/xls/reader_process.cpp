#include "formats/xls/reader_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <thread>

extern char** environ;

namespace tavrin {

namespace {

constexpr const char* kReaderName = "tavrin-xls-reader";

bool isExecutable(const std::filesystem::path& p) {
  std::error_code ec;
  return std::filesystem::is_regular_file(p, ec) && ::access(p.c_str(), X_OK) == 0;
}

// Waits for the child until the deadline, then kills its group and reaps it.
void reap(pid_t pid, std::chrono::steady_clock::time_point deadline, ReaderRun& run) {
  int status = 0;
  for (;;) {
    const pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == pid) break;
    if (r < 0 && errno != EINTR) return;
    if (r == 0 && std::chrono::steady_clock::now() >= deadline) {
      ::kill(-pid, SIGKILL);
      ::kill(pid, SIGKILL);
      while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
      if (run.end == ReaderRun::End::NotStarted) run.end = ReaderRun::End::TimedOut;
      return;
    }
    if (r == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  if (run.end != ReaderRun::End::NotStarted) return;  // already killed for a limit
  if (WIFEXITED(status)) {
    run.end = ReaderRun::End::Exited;
    run.code = WEXITSTATUS(status);
  } else {
    run.end = ReaderRun::End::Signalled;
    run.code = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  }
}

}  // namespace

std::string ReaderRun::describe() const {
  switch (end) {
    case End::Exited: return "exited with " + std::to_string(code);
    case End::Signalled: return "ended by signal " + std::to_string(code);
    case End::TimedOut: return "killed: no answer within its time limit";
    case End::OutputTooLarge: return "killed: output beyond its limit";
    case End::NotStarted: return "could not be started";
  }
  return {};
}

ReaderRun runReader(const std::filesystem::path& program, const std::vector<std::string>& args,
                    const ReaderLimits& limits) {
  ReaderRun run;
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return run;

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attr);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawnattr_setpgroup(&attr, 0);
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &all);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  std::vector<std::string> argStore;
  argStore.push_back(program.string());
  argStore.insert(argStore.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : argStore) argv.push_back(a.data());
  argv.push_back(nullptr);

  pid_t pid = -1;
  const int rc = ::posix_spawn(&pid, program.c_str(), &actions, &attr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  ::close(fds[1]);
  if (rc != 0) {
    ::close(fds[0]);
    return run;
  }

  const auto deadline = std::chrono::steady_clock::now() + limits.wallTime;
  char buffer[65536];
  for (;;) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) {
      run.end = ReaderRun::End::TimedOut;
      break;
    }
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
    pollfd p{fds[0], POLLIN, 0};
    const int n = ::poll(&p, 1, static_cast<int>(wait) + 1);
    if (n < 0) {
      if (errno == EINTR) continue;
      run.end = ReaderRun::End::TimedOut;  // cannot wait any more: treat as a hang
      break;
    }
    if (n == 0) continue;  // the loop head sees the deadline
    const ssize_t got = ::read(fds[0], buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      break;
    }
    if (got == 0) break;  // the child closed its output
    if (run.output.size() + static_cast<std::size_t>(got) > limits.outputBytes) {
      run.end = ReaderRun::End::OutputTooLarge;
      break;
    }
    run.output.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(fds[0]);
  if (run.end != ReaderRun::End::NotStarted) {
    ::kill(-pid, SIGKILL);
    ::kill(pid, SIGKILL);
  }
  reap(pid, deadline, run);
  return run;
}

std::filesystem::path xlsReaderProgram() {
  if (const char* env = std::getenv("TAVRIN_XLS_READER"); env && *env) return isExecutable(env) ? env : "";
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    const std::filesystem::path beside = self.parent_path() / kReaderName;
    if (isExecutable(beside)) return beside;
#ifdef TAVRIN_XLS_READER_FROM_BINDIR
    const std::filesystem::path installed = (self.parent_path() / TAVRIN_XLS_READER_FROM_BINDIR).lexically_normal();
    if (isExecutable(installed)) return installed;
#endif
  }
#ifdef TAVRIN_XLS_READER_INSTALLED
  if (isExecutable(TAVRIN_XLS_READER_INSTALLED)) return TAVRIN_XLS_READER_INSTALLED;
#endif
#ifdef TAVRIN_XLS_READER_BUILT
  if (isExecutable(TAVRIN_XLS_READER_BUILT)) return TAVRIN_XLS_READER_BUILT;
#endif
  return {};
}

}  // namespace tavrin
