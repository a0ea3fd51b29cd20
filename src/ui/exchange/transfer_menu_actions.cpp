#include "ui/exchange/transfer_menu_actions.h"

#include <QPointer>
#include <QTimer>
#include <cstring>

#include "base/log.h"
#include "exchange/companion.h"
#include "ui/app/app_context.h"
#include "ui/common/file_texts.h"
#include "ui/exchange/transfer_window.h"

namespace tavrin::ui {

namespace {

// Shows the transfer window first and then hands it the mode keyword; its
// activation, which runs once this action has returned, reads the keyword.
void openTransferWindow(AppContext& ctx, const char* keyword) {
  TransferWindow& w = ctx.transfer();
  w.show();
  w.raise();
  w.activateWindow();
  w.setModeKeyword(QString::fromUtf8(keyword));
  // Without a window manager (or with one that does not activate new
  // windows) no activation comes: run it once the action has returned.
  QPointer<TransferWindow> window(&w);
  QTimer::singleShot(0, &w, [window] {
    if (window && window->isVisible() && !window->isActiveWindow()) window->activate();
  });
}

void showInformation(AppContext& ctx) {
  MessageRequest m;
  m.title = "株価データの転送";
  m.buttons = MessageButtons::OkCancel;
  m.lines = {"Orvelがインストールされていれば", "株価データをOrvelに転送します。"};
  ctx.prompts().message(m);
}

}  // namespace

void runTransferMenuAction(AppContext& ctx, const char* buttonName) {
  const std::string name = buttonName ? buttonName : "";
  if (name == "Command26") {
    openTransferWindow(ctx, "day");
  } else if (name == "Command28" || name == "Command30") {
    // A fresh copy of the daily companion file beside the real one, which
    // the transfer fills and then puts in place; when it cannot be made the
    // real file stays as it was and the window opens without a companion
    // list, saying so on a start click.
    const CompanionMode mode = name == "Command28" ? CompanionMode::Week : CompanionMode::Month;
    PrepareOutcome prepared = prepareCompanion(ctx.paths(), mode);
    ctx.transfer().setPreparedCompanion(
        mode, prepared.done() ? std::optional<PreparedCompanion>(prepared.prepared) : std::nullopt);
    openTransferWindow(ctx, companionModeKeyword(mode));
  } else if (name == "Command6") {
    openTransferWindow(ctx, "old");
  } else if (name == "Command61") {
    const PrepareOutcome prepared = prepareCompanion(ctx.paths(), CompanionMode::WDivuzi);
    if (!prepared.done()) {
      // Writing into a stale copy would mix old and new data: the window
      // stays closed until the copy succeeds.
      MessageRequest m;
      m.icon = MessageIcon::Warning;
      m.lines = divuziCopyFailureLines(prepared);
      ctx.prompts().message(m);
      return;
    }
    openTransferWindow(ctx, "wDivuzi");
  } else if (name == "Command8") {
    showInformation(ctx);
  } else {
    logLine("transfer menu", "unknown button " + name);
  }
}

}  // namespace tavrin::ui
