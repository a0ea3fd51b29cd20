#include "ui/utilities/backup_window.h"

namespace tavrin::ui {

BackupWindow::BackupWindow(AppContext& ctx) : FormWindow(ctx, "Form2") {}

}  // namespace tavrin::ui
