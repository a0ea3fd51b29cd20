#include "ui/chart/chart_entries.h"

#include <QAction>
#include <QEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QTableView>

#include "app/prompts.h"
#include "ui/app/app_context.h"
#include "ui/chart/chart_window.h"
#include "ui/common/flex_grid.h"
#include "ui/common/form_window.h"

namespace tavrin::ui {

namespace {

// The Enter key on the grid opens the chart of the current row.
class ChartKeyFilter : public QObject {
 public:
  ChartKeyFilter(FormWindow& window, FlexGrid* grid, int codeColumn)
      : QObject(grid), window_(window), grid_(grid), codeColumn_(codeColumn) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if ((key == Qt::Key_Return || key == Qt::Key_Enter) && grid_->rows() > 1) {
        openChartOfCurrentRow(window_, grid_, codeColumn_);
        return true;
      }
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  FormWindow& window_;
  FlexGrid* grid_;
  int codeColumn_;
};

}  // namespace

bool openChart(AppContext& ctx, const QString& code) {
  ChartWindow& w = ctx.chart();
  if (!w.showStock(ctx.state().priceDbPath, code)) return false;
  w.show();
  w.raise();
  w.activateWindow();
  return true;
}

bool openChartOfCurrentRow(FormWindow& window, FlexGrid* grid, int codeColumn) {
  const int r = grid->row();
  const QString code = r >= 1 && r < grid->rows() ? grid->textMatrix(r, codeColumn).trimmed() : QString();
  if (code.isEmpty()) {
    MessageRequest m;
    m.title = "チャート";
    m.lines = {"チャートを表示する銘柄を選んでください"};
    window.context().prompts().message(m);
    return false;
  }
  return openChart(window.context(), code);
}

QPushButton* addChartEntries(FormWindow& window, FlexGrid* grid, int codeColumn) {
  auto* button = new QPushButton(QStringLiteral("チャート"), &window);
  button->setObjectName(QStringLiteral("chartWindowButton"));
  button->setToolTip(QStringLiteral("選んだ銘柄のチャートを表示します（Enter キーでも開きます）"));
  QObject::connect(button, &QPushButton::clicked, &window,
                   [&window, grid, codeColumn] { openChartOfCurrentRow(window, grid, codeColumn); });
  grid->view()->installEventFilter(new ChartKeyFilter(window, grid, codeColumn));
  // A right click makes its row current before the menu shows.
  auto* action = new QAction(QStringLiteral("チャートを表示"), grid->view());
  action->setObjectName(QStringLiteral("chartWindowAction"));
  QObject::connect(action, &QAction::triggered, &window,
                   [&window, grid, codeColumn] { openChartOfCurrentRow(window, grid, codeColumn); });
  // First in the grid's own context menu, above copying and saving.
  QMenu* menu = grid->contextMenu();
  QAction* first = menu->actions().isEmpty() ? nullptr : menu->actions().first();
  menu->insertAction(first, action);
  menu->insertSeparator(first);
  return button;
}

}  // namespace tavrin::ui
