#include "ui/screening/screening_window.h"

#include <QShowEvent>

#include "ui/common/flex_grid.h"

namespace tavrin::ui {

ScreeningWindow::ScreeningWindow(AppContext& ctx) : FormWindow(ctx, "Form6") { grid_ = new FlexGrid(this); }

bool ScreeningWindow::requery(const std::string& sql, const std::vector<Value>& params) {
  data1_.setRecordSource(sql, params);
  if (!data1_.refresh()) return false;
  grid_->setContent(data1_.fields(), data1_.rows());
  return true;
}

void ScreeningWindow::hi_title() {}
QString ScreeningWindow::selectedCode() const { return {}; }
QString ScreeningWindow::selectedMarket() const { return {}; }
void ScreeningWindow::load() {}
void ScreeningWindow::showEvent(QShowEvent* event) { FormWindow::showEvent(event); }

}  // namespace tavrin::ui
