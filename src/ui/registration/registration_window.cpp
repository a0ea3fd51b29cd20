#include "ui/registration/registration_window.h"

namespace tavrin::ui {

RegistrationWindow::RegistrationWindow(AppContext& ctx) : FormWindow(ctx, "Form1") {}

}  // namespace tavrin::ui
