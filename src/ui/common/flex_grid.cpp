#include "ui/common/flex_grid.h"

#include "data/grid_sort.h"

#include <QAbstractItemDelegate>
#include <QEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace tavrin::ui {

int twipsToPixels(int twips, QWidget* widget) {
  const double dpi = widget ? widget->logicalDpiX() : 96.0;
  return static_cast<int>(std::lround(twips / 15.0 * dpi / 96.0));
}

int FlexGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(order_.size());
}

int FlexGridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(titles_.size());
}

QString FlexGridModel::text(int gridRow, int gridCol) const {
  if (gridCol < 0 || gridCol >= gridCols() || gridRow < 0 || gridRow >= gridRows()) return {};
  if (gridRow == 0) return titles_[static_cast<size_t>(gridCol)];
  const int di = dataIndex(gridRow);
  if (!overrides_.empty()) {
    auto it = overrides_.find(key(di, gridCol));
    if (it != overrides_.end()) return it->second;
  }
  if (gridCol == 0) return {};
  const Row& r = rows_[static_cast<size_t>(di)];
  if (static_cast<size_t>(gridCol - 1) >= r.size()) return {};
  return QString::fromStdString(r[static_cast<size_t>(gridCol - 1)].display());
}

void FlexGridModel::setText(int gridRow, int gridCol, const QString& text) {
  if (gridCol < 0 || gridCol >= gridCols() || gridRow < 0 || gridRow >= gridRows()) return;
  if (gridRow == 0) {
    titles_[static_cast<size_t>(gridCol)] = text;
    emit headerDataChanged(Qt::Horizontal, gridCol, gridCol);
    return;
  }
  overrides_[key(dataIndex(gridRow), gridCol)] = text;
  QModelIndex i = index(gridRow - 1, gridCol);
  emit dataChanged(i, i);
}

const Row* FlexGridModel::rowValues(int gridRow) const {
  if (gridRow < 1 || gridRow >= gridRows()) return nullptr;
  return &rows_[static_cast<size_t>(dataIndex(gridRow))];
}

void FlexGridModel::setCellColor(int gridRow, int gridCol, const QColor& color) {
  if (gridCol < 0 || gridCol >= gridCols() || gridRow < 0 || gridRow >= gridRows()) return;
  if (gridRow == 0) {
    titleColors_[static_cast<size_t>(gridCol)] = color;
    emit headerDataChanged(Qt::Horizontal, gridCol, gridCol);
    return;
  }
  colors_[key(dataIndex(gridRow), gridCol)] = color;
  QModelIndex i = index(gridRow - 1, gridCol);
  emit dataChanged(i, i);
}

QColor FlexGridModel::cellColor(int gridRow, int gridCol) const {
  if (gridCol < 0 || gridCol >= gridCols() || gridRow < 0 || gridRow >= gridRows()) return {};
  if (gridRow == 0) return titleColors_[static_cast<size_t>(gridCol)];
  auto it = colors_.find(key(dataIndex(gridRow), gridCol));
  return it == colors_.end() ? QColor() : it->second;
}

QVariant FlexGridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const int gridRow = index.row() + 1;
  if (role == Qt::DisplayRole) return text(gridRow, index.column());
  // Narrow columns cut long names short; the pointer shows the whole text.
  if (role == Qt::ToolTipRole) return text(gridRow, index.column());
  if (role == Qt::BackgroundRole) {
    if (index.column() == 0) return QColor(Qt::lightGray);
    if (!colors_.empty()) {
      QColor c = cellColor(gridRow, index.column());
      if (c.isValid()) return c;
    }
  }
  return {};
}

QVariant FlexGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= gridCols()) return {};
  if (role == Qt::DisplayRole) return titles_[static_cast<size_t>(section)];
  if (role == Qt::BackgroundRole && titleColors_[static_cast<size_t>(section)].isValid())
    return titleColors_[static_cast<size_t>(section)];
  return {};
}

void FlexGridModel::setContent(const std::vector<std::string>& fields, std::vector<Row> rows) {
  beginResetModel();
  titles_.assign(1, QString());
  for (const auto& f : fields) titles_.push_back(QString::fromStdString(f));
  titleColors_.assign(titles_.size(), QColor());
  rows_ = std::move(rows);
  order_.resize(rows_.size());
  for (size_t i = 0; i < order_.size(); ++i) order_[i] = static_cast<int>(i);
  overrides_.clear();
  colors_.clear();
  endResetModel();
}

void FlexGridModel::sortByColumn(int gridCol, int setting) {
  if (gridCol < 1 || gridCol >= gridCols() || order_.size() < 2 || !isGridSortSetting(setting)) return;
  // The text each data row shows in the column, by data index.
  std::vector<std::string> texts(rows_.size());
  for (size_t gi = 0; gi < order_.size(); ++gi)
    texts[static_cast<size_t>(order_[gi])] = text(static_cast<int>(gi) + 1, gridCol).toStdString();
  emit layoutAboutToBeChanged();
  sortGridOrder(order_, texts, setting);
  emit layoutChanged();
}

FlexGrid::FlexGrid(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  view_ = new QTableView(this);
  model_ = new FlexGridModel(this);
  view_->setModel(model_);
  view_->verticalHeader()->hide();
  view_->verticalHeader()->setDefaultSectionSize(view_->fontMetrics().height() + 4);
  view_->horizontalHeader()->setSectionsClickable(true);
  // The fixed column is a narrow strip, as wide as its twips say; the other
  // columns keep the header's own minimum, wide enough for a short value.
  dataColumnMinimum_ = view_->horizontalHeader()->minimumSectionSize();
  view_->horizontalHeader()->setMinimumSectionSize(8);
  view_->horizontalHeader()->setHighlightSections(false);
  view_->setSortingEnabled(false);
  view_->setSelectionMode(QAbstractItemView::SingleSelection);
  view_->setSelectionBehavior(QAbstractItemView::SelectItems);
  view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view_->setWordWrap(false);
  layout->addWidget(view_);
  view_->installEventFilter(this);

  connect(view_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& cur, const QModelIndex&) { enterCell(cur); });
  // A press on the cell the view already holds as current changes no current
  // index, yet it must still make that cell the grid's current cell (the grid
  // may have moved its current cell to the title row meanwhile).
  connect(view_, &QTableView::pressed, this, [this](const QModelIndex& index) { enterCell(index); });
  connect(view_, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
    enterCell(index);
    emit doubleClicked();
  });
  connect(view_->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int c) {
    col_ = c;
    emit headerClicked(c);
    emit cellEntered();
  });
}

bool FlexGrid::eventFilter(QObject* watched, QEvent* event) {
  // The view's font may change when it is first polished (item views can
  // have a font of their own): widths measured on texts follow it.
  if (watched == view_ &&
      (event->type() == QEvent::Polish || event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange))
    applyWidths();
  return QWidget::eventFilter(watched, event);
}

void FlexGrid::setContent(const std::vector<std::string>& fields, std::vector<Row> rows) {
  model_->setContent(fields, std::move(rows));
  row_ = model_->gridRows() > 1 ? 1 : 0;
  col_ = model_->gridCols() > 1 ? 1 : 0;
  widths_.resize(static_cast<size_t>(model_->gridCols()), 0);
  applyWidths();
  syncSelection();
}

void FlexGrid::clear() { setContent({}, {}); }

void FlexGrid::setRow(int r) {
  if (r < 0 || r >= rows()) return;
  row_ = r;
  syncSelection();
}

void FlexGrid::setCol(int c) {
  if (c < 0 || c >= cols()) return;
  col_ = c;
  syncSelection();
}

void FlexGrid::enterCell(const QModelIndex& index) {
  if (!index.isValid()) return;
  const int r = index.row() + 1, c = index.column();
  if (r == row_ && c == col_) return;
  row_ = r;
  col_ = c;
  emit cellEntered();
}

void FlexGrid::syncSelection() {
  QSignalBlocker block(view_->selectionModel());
  if (row_ >= 1 && col_ >= 0 && col_ < cols()) {
    view_->selectionModel()->setCurrentIndex(model_->index(row_ - 1, col_), QItemSelectionModel::ClearAndSelect);
  } else if (row_ == 0) {
    // The title row has no cell in the view: the view holds no current cell,
    // so that the next click on any cell is an entry.
    view_->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::Clear);
  }
}

void FlexGrid::setTextMatrix(int r, int c, const QString& text) {
  model_->setText(r, c, text);
  if (c >= 0 && static_cast<size_t>(c) < fitsContents_.size() && fitsContents_[static_cast<size_t>(c)]) applyWidths();
}

void FlexGrid::setColFitsContents(int c, bool fits) {
  if (c < 0) return;
  if (static_cast<size_t>(c) >= fitsContents_.size()) fitsContents_.resize(static_cast<size_t>(c) + 1, false);
  fitsContents_[static_cast<size_t>(c)] = fits;
  applyWidths();
}

int FlexGrid::contentPixels(int c) const {
  // As the view's own delegate lays the texts out (font, fallback fonts for
  // Japanese, margins), plus the grid line.
  QStyleOptionViewItem option;
  option.initFrom(view_);
  option.font = view_->font();
  option.fontMetrics = view_->fontMetrics();
  option.displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
  QAbstractItemDelegate* delegate = view_->itemDelegate();
  int widest = 0;
  for (int r = 0; r < model_->rowCount(); ++r)
    widest = std::max(widest, delegate->sizeHint(option, model_->index(r, c)).width());
  return widest + 1;
}

void FlexGrid::setColWidth(int c, int twips) {
  if (c < 0) return;
  if (static_cast<size_t>(c) >= widths_.size()) widths_.resize(static_cast<size_t>(c) + 1, 0);
  widths_[static_cast<size_t>(c)] = twips;
  if (c < cols()) view_->setColumnWidth(c, columnPixels(c, twips));
}

int FlexGrid::colWidth(int c) const {
  if (c < 0 || static_cast<size_t>(c) >= widths_.size() || widths_[static_cast<size_t>(c)] == 0) {
    if (c >= 0 && c < cols()) return view_->columnWidth(c) * 15 * 96 / std::max(1, logicalDpiX());
    return 0;
  }
  return widths_[static_cast<size_t>(c)];
}

int FlexGrid::columnPixels(int c, int twips) {
  const int px = twipsToPixels(twips, this);
  if (c == 0) return px;
  // A data column is never narrower than its title.
  const QFontMetrics fm = view_->horizontalHeader()->fontMetrics();
  const int title = fm.horizontalAdvance(model_->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString()) + 10;
  const bool fits = static_cast<size_t>(c) < fitsContents_.size() && fitsContents_[static_cast<size_t>(c)];
  return std::max({px, dataColumnMinimum_, title, fits ? contentPixels(c) : 0});
}

void FlexGrid::applyWidths() {
  for (int c = 0; c < cols(); ++c) {
    int w = static_cast<size_t>(c) < widths_.size() ? widths_[static_cast<size_t>(c)] : 0;
    const bool fits = static_cast<size_t>(c) < fitsContents_.size() && fitsContents_[static_cast<size_t>(c)];
    if (w > 0 || fits) view_->setColumnWidth(c, columnPixels(c, w > 0 ? w : colWidth(c)));
  }
}

void FlexGrid::sort(int setting) {
  model_->sortByColumn(col_, setting);
  syncSelection();
}

void FlexGrid::setCellBackColor(const QColor& color) { model_->setCellColor(row_, col_, color); }

void FlexGrid::setRedraw(bool on) {
  redraw_ = on;
  view_->setUpdatesEnabled(on);
}

}  // namespace tavrin::ui
