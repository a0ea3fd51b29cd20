#pragma once
#include <QIcon>

namespace tavrin::ui {

// The application's id on the desktop: the name of its desktop entry (without
// ".desktop"), of its icon and of its AppStream metadata.
inline constexpr const char* kDesktopId = "io.github.tavrin.Tavrin";

// The application icon in every size kept in the resources (16 to 256 pixels).
QIcon applicationIcon();

// Names the running application for the desktop (desktop entry, so the shell
// groups its windows under the menu entry) and gives every window its icon.
// Needs the QApplication.
void applyApplicationIdentity();

}  // namespace tavrin::ui
