#include "ui/common/backtest_texts.h"

namespace tavrin::ui {

QString horizonBeyondHistoryText(int horizon, int longest, const QString& firstDate, const QString& unit) {
  return QStringLiteral(
             "価格履歴は最初の検証日（%1）の後に %2 %4分しかなく、%3 %4後の騰落率は求められません（最長 %2 %4後）。")
      .arg(firstDate)
      .arg(longest)
      .arg(horizon)
      .arg(unit);
}

}  // namespace tavrin::ui
