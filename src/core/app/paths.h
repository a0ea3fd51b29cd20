#pragma once
#include <filesystem>
#include <optional>
#include <string>

#include "base/files.h"

namespace tavrin {

// Every fixed file of the system lives below one data root folder. The root is
// chosen once at start-up: --root DIR, else $TAVRIN_ROOT, else
// ~/.local/share/Zentavo. This module owns every fixed file name.
class Paths {
 public:
  explicit Paths(std::filesystem::path root);

  // --root wins over the environment, the environment over the default.
  static std::filesystem::path resolveRoot(const std::optional<std::string>& commandLineRoot);

  const std::filesystem::path& root() const { return root_; }

  std::filesystem::path dailyDb() const { return root_ / "kabuka.mdb"; }
  std::filesystem::path weeklyDb() const { return root_ / "Wkabuka.mdb"; }
  std::filesystem::path monthlyDb() const { return root_ / "Tkabuka.mdb"; }
  std::filesystem::path watchListDb() const { return root_ / "kabulist.mdb"; }
  std::filesystem::path memoFile() const { return root_ / "memo.txt"; }
  std::filesystem::path memoCopyFile() const { return root_ / "メモ帖.txt"; }
  std::filesystem::path backupDirDaily() const { return root_ / "Mdb-D"; }
  std::filesystem::path backupDirWeekly() const { return root_ / "Mdb-W"; }
  std::filesystem::path backupDirMonthly() const { return root_ / "Mdb-T"; }
  // Companion program files.
  std::filesystem::path companionDaily() const { return root_ / "quelvo.mdb"; }
  std::filesystem::path companionWeekly() const { return root_ / "Wquelvo.mdb"; }
  std::filesystem::path companionMonthly() const { return root_ / "Tquelvo.mdb"; }
  std::filesystem::path hpDataDir() const { return root_ / "HPdata"; }
  std::filesystem::path divuziDb() const { return hpDataDir() / "Divuzi.mdb"; }
  std::filesystem::path wDivuziDb() const { return hpDataDir() / "wDivuzi.mdb"; }
  // A period's workbook: root + base name + ".xls".
  std::filesystem::path workbook(const std::string& baseName) const;
  std::filesystem::path linksIni() const { return root_ / "links.ini"; }
  std::filesystem::path logFile() const { return root_ / "tavrin.log"; }

  // Maps a Windows path of the original installation to its place under the
  // root: "C:\Program Files\Zentavo\x" (any letter case) becomes root/x and
  // "C:\Documents and Settings\hollin\デスクトップ\HPdata\x" becomes
  // root/HPdata/x. Any other text is returned unchanged.
  std::filesystem::path mapWindowsPath(const std::string& windowsPath) const;

 private:
  std::filesystem::path root_;
};

}  // namespace tavrin
