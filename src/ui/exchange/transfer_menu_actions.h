#pragma once

namespace tavrin::ui {

class AppContext;

// The main menu's companion-transfer buttons (Command26, Command28, Command30,
// Command6, Command61, Command8), by control name.
void runTransferMenuAction(AppContext& ctx, const char* buttonName);

}  // namespace tavrin::ui
