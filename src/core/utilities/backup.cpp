#include "utilities/backup.h"

#include <signal.h>
#include <sqlite3.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "base/calendar.h"
#include "base/log.h"
#include "data/database.h"

namespace tavrin {

namespace fs = std::filesystem;

namespace {

// The process id of a name NAME.part-PID-N, optionally followed by one of
// SQLite's journal suffixes; 0 for any other name.
pid_t partFileOwner(const std::string& name) {
  std::string rest = name;
  for (const char* suffix : {"-journal", "-wal", "-shm"}) {
    const std::string s = suffix;
    if (rest.size() > s.size() && rest.compare(rest.size() - s.size(), s.size(), s) == 0) {
      rest.resize(rest.size() - s.size());
      break;
    }
  }
  const size_t at = rest.rfind(".part-");
  if (at == std::string::npos || at == 0) return 0;
  const std::string tail = rest.substr(at + 6);  // PID-N
  const size_t dash = tail.find('-');
  if (dash == 0 || dash == std::string::npos || dash + 1 == tail.size() || dash > 9) return 0;
  for (size_t i = 0; i < tail.size(); ++i)
    if (i != dash && (tail[i] < '0' || tail[i] > '9')) return 0;
  return static_cast<pid_t>(std::stol(tail.substr(0, dash)));
}

bool processRuns(pid_t pid) { return ::kill(pid, 0) == 0 || errno == EPERM; }

void removeQuietly(const fs::path& p) {
  std::error_code ec;
  fs::remove(p, ec);
}

// Journals SQLite keeps beside a database file.
void removeJournals(const fs::path& db) {
  for (const char* suffix : {"-journal", "-wal", "-shm"}) {
    fs::path j = db;
    j += suffix;
    removeQuietly(j);
  }
}

// Copies every page of source into a new file at tmp in one backup step, so
// that the whole copy is read under one read lock.
void backupInto(Database& source, const fs::path& tmp) {
  sqlite3* dst = nullptr;
  int rc = sqlite3_open_v2(toUtf8(tmp).c_str(), &dst, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (rc != SQLITE_OK) {
    std::string msg = dst ? sqlite3_errmsg(dst) : "out of memory";
    sqlite3_close(dst);
    throw DatabaseError("cannot create " + toUtf8(tmp) + ": " + msg);
  }
  sqlite3_backup* b = sqlite3_backup_init(dst, "main", source.handle(), "main");
  if (!b) {
    std::string msg = sqlite3_errmsg(dst);
    sqlite3_close(dst);
    throw DatabaseError("cannot start the copy: " + msg);
  }
  for (int attempt = 0;; ++attempt) {
    rc = sqlite3_backup_step(b, -1);
    if ((rc == SQLITE_BUSY || rc == SQLITE_LOCKED) && attempt < 100) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      continue;
    }
    break;
  }
  sqlite3_backup_finish(b);
  std::string msg = rc == SQLITE_DONE ? std::string() : std::string(sqlite3_errstr(rc));
  if (sqlite3_close(dst) != SQLITE_OK && msg.empty()) msg = "cannot close the copy";
  if (!msg.empty()) throw DatabaseError("copy of " + toUtf8(source.path()) + " failed: " + msg);
}

}  // namespace

std::size_t removeStalePartFiles(const fs::path& folder) {
  std::vector<fs::path> stale;
  std::error_code ec;
  for (fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec), end; !ec && it != end;
       it.increment(ec)) {
    const pid_t owner = partFileOwner(toUtf8(it->path().filename()));
    std::error_code st;
    if (owner > 0 && !processRuns(owner) && it->is_regular_file(st)) stale.push_back(it->path());
  }
  std::size_t removed = 0;
  for (const fs::path& p : stale) {
    std::error_code rm;
    if (fs::remove(p, rm)) {
      ++removed;
      logLine("cleanup", "removed what an interrupted copy left: " + toUtf8(p));
    }
  }
  return removed;
}

void copyDatabaseSnapshot(const fs::path& source, const fs::path& target, bool replace) {
  std::error_code ec;
  if (!replace && fs::exists(fs::symlink_status(target, ec))) throw DatabaseError("file exists: " + toUtf8(target));
  // Opened writable when possible so that a journal left by an interrupted
  // writer is rolled back before the pages are read.
  std::unique_ptr<Database> from;
  try {
    from = std::make_unique<Database>(source, Database::Mode::ReadWrite);
  } catch (const DatabaseError&) {
    from = std::make_unique<Database>(source, Database::Mode::ReadOnly);
  }
  removeStalePartFiles(target.parent_path());
  const fs::path tmp = temporaryBeside(target);
  try {
    backupInto(*from, tmp);
  } catch (...) {
    removeQuietly(tmp);
    removeJournals(tmp);
    throw;
  }
  from.reset();
  if (replace) {
    removeJournals(target);
    ec = replaceWithWritten(tmp, target);
    if (ec) {
      throw DatabaseError("cannot replace " + toUtf8(target) + ": " + ec.message());
    }
    return;
  }
  // A hard link is made only when the name is free, so an existing file that
  // appeared meanwhile is still never overwritten.
  if (::link(tmp.c_str(), target.c_str()) != 0) {
    const int err = errno;
    removeQuietly(tmp);
    throw DatabaseError((err == EEXIST ? "file exists: " : "cannot write ") + toUtf8(target) +
                        (err == EEXIST ? std::string() : ": " + std::string(std::strerror(err))));
  }
  removeQuietly(tmp);
}

std::string backupDateText(const std::tm& now) {
  return twoDigitDate(now.tm_year, (now.tm_mon % 12) + 1, now.tm_mday, "");
}

bool isSafeBackupDateText(const std::string& text) {
  if (text.find("..") != std::string::npos) return false;
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7F) return false;
    if (std::strchr("/\\:*?\"<>|", static_cast<char>(c))) return false;
  }
  return true;
}

namespace {
struct UnitFiles {
  fs::path folder;
  fs::path source;
  const char* prefix;
};

std::optional<UnitFiles> unitFiles(const Paths& paths, const std::string& unit) {
  if (unit == "day") return UnitFiles{paths.backupDirDaily(), paths.dailyDb(), "kabuka"};
  if (unit == "week") return UnitFiles{paths.backupDirWeekly(), paths.weeklyDb(), "Wkabuka"};
  if (unit == "month") return UnitFiles{paths.backupDirMonthly(), paths.monthlyDb(), "Tkabuka"};
  return std::nullopt;
}
}  // namespace

std::optional<BackupPlan> backupPlan(const Paths& paths, const std::string& unit, const std::string& dateText) {
  auto files = unitFiles(paths, unit);
  if (!files || !isSafeBackupDateText(dateText)) return std::nullopt;
  BackupPlan plan;
  plan.folder = files->folder;
  plan.source = files->source;
  plan.fileName = files->prefix + dateText + ".mdb";
  plan.target = plan.folder / fromUtf8(plan.fileName);
  return plan;
}

BackupFolderResult makeBackupFolder(const Paths& paths, const std::string& unit) {
  auto files = unitFiles(paths, unit);
  if (!files) return BackupFolderResult::NoUnit;
  std::error_code ec;
  if (fs::create_directories(files->folder, ec)) return BackupFolderResult::Created;
  if (ec) logLine("backup", "cannot create " + toUtf8(files->folder) + ": " + ec.message());
  return BackupFolderResult::NotCreated;
}

BackupOutcome makeBackup(const Paths& paths, const std::string& unit, const std::string& dateText) {
  BackupOutcome r;
  if (!unitFiles(paths, unit)) {
    r.fail(BackupFailure::NoUnit, "unknown unit '" + unit + "'");
    return r;
  }
  auto plan = backupPlan(paths, unit, dateText);
  if (!plan) {
    r.fail(BackupFailure::UnsafeDateText, "the date text cannot be part of a file name: " + dateText);
    return r;
  }
  r.plan = *plan;
  std::error_code ec;
  if (fs::exists(fs::symlink_status(plan->target, ec))) {
    r.fail(BackupFailure::TargetExists, "file exists: " + toUtf8(plan->target));
    return r;
  }
  if (!fs::is_regular_file(plan->source, ec)) {
    r.fail(BackupFailure::SourceMissing, "no database: " + toUtf8(plan->source));
    return r;
  }
  try {
    copyDatabaseSnapshot(plan->source, plan->target, false);
  } catch (const std::exception& e) {
    r.fail(fs::exists(fs::symlink_status(plan->target, ec)) ? BackupFailure::TargetExists : BackupFailure::CopyFailed,
           e.what());
    logLine("backup", r.detail);
  }
  return r;
}

}  // namespace tavrin
