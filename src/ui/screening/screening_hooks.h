#pragma once
#include <QString>

namespace tavrin::ui {

class ScreeningWindow;

// What the screening window hands over to the watch lists and chart links.
// The screening window owns the controls; these functions own the behaviour.

// A chart link (control name "HprLnkEx1" ...) was clicked.
void screeningChartLinkClicked(ScreeningWindow& window, const QString& controlName);
// "抽出" below "注目銘柄" (Command16, checklist) or below "トレンド" (Command26, trend).
void screeningExtractClicked(ScreeningWindow& window, const QString& controlName);
// Double-click in the grid: the selected stock goes on the trend list.
void screeningGridDoubleClicked(ScreeningWindow& window);
// "注目銘柄" (Command40) and "トレンド" (Command52): show the list windows.
void screeningListButtonClicked(ScreeningWindow& window, const QString& controlName);

}  // namespace tavrin::ui
