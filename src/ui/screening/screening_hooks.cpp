#include "ui/screening/screening_hooks.h"

#include "ui/screening/screening_window.h"

namespace tavrin::ui {

void screeningChartLinkClicked(ScreeningWindow&, const QString&) {}
void screeningExtractClicked(ScreeningWindow&, const QString&) {}
void screeningGridDoubleClicked(ScreeningWindow&) {}
void screeningListButtonClicked(ScreeningWindow&, const QString&) {}

}  // namespace tavrin::ui
