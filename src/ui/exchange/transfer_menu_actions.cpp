#include "ui/exchange/transfer_menu_actions.h"

#include "ui/common/app_context.h"

namespace tavrin::ui {

void runTransferMenuAction(AppContext& ctx, const char* buttonName) {
  (void)ctx;
  (void)buttonName;
}

}  // namespace tavrin::ui
