#pragma once
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace tavrin::ui {

// What a save dialog is asked: its title, the folder and name it proposes,
// the file-type filters ("CSV（UTF-8） (*.csv)") and the one chosen first.
struct SaveFileRequest {
  std::string title;
  std::string folder;
  std::string suggestedName;
  std::vector<std::string> filters;
  int selectedFilter = 0;
};

// The user's answer: the full path and the filter in force.
struct SaveFileChoice {
  std::string path;
  int filter = 0;
};

// Shows a save dialog; nullopt when the user cancels. The program's own is
// qtSaveFileDialog; tests put a scripted one in its place.
using SaveFileDialog = std::function<std::optional<SaveFileChoice>(QWidget* owner, const SaveFileRequest& request)>;

// The real dialog: asks before replacing a file, and adds the filter's
// extension to a name given without one.
std::optional<SaveFileChoice> qtSaveFileDialog(QWidget* owner, const SaveFileRequest& request);

}  // namespace tavrin::ui
