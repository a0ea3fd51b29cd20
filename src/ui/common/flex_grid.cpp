#include "ui/common/flex_grid.h"

#include <QAbstractItemDelegate>
#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QPointer>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <sstream>

#include "app/paths.h"
#include "app/prompts.h"
#include "data/grid_sort.h"
#include "ui/app/app_context.h"
#include "ui/common/file_texts.h"
#include "ui/common/form_window.h"
#include "ui/common/qt_prompts.h"

namespace tavrin::ui {

namespace {

using exporting::ExportFormat;

// The save dialog's filters, one per format of FlexGrid::saveFormats().
const std::vector<std::string>& saveFilters() {
  static const std::vector<std::string> filters = {"CSV（UTF-8） (*.csv)", "CSV（Shift_JIS・cp932） (*.csv)",
                                                   "Excel形式 (*.xlsx)"};
  return filters;
}

const char* extensionFor(ExportFormat format) { return format == ExportFormat::Xlsx ? ".xlsx" : ".csv"; }

// What the last save chose: the next one offers the same.
ExportFormat lastSaveFormat = ExportFormat::CsvUtf8;
std::string lastSaveFolder;

// A file name from a title: no folder separators or characters other systems refuse.
QString fileNameFrom(QString name) {
  static const QString refused = QStringLiteral("/\\:*?\"<>|");
  for (QChar& c : name)
    if (refused.contains(c) || c.unicode() < 0x20) c = QLatin1Char('_');
  name = name.trimmed();
  return name.isEmpty() ? QStringLiteral("一覧") : name;
}

}  // namespace

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
  const Row& r = rowAt(di);
  if (static_cast<size_t>(gridCol - 1) >= r.size()) return {};
  return QString::fromStdString(r[static_cast<size_t>(gridCol - 1)].display());
}

const Row& FlexGridModel::rowAt(int di) const {
  if (const Row* kept = source_->keptRow(di)) return *kept;
  auto it = made_.find(di);
  if (it != made_.end()) return it->second;
  // The view asks for a screenful of rows, several roles a cell: a few
  // hundred rows made lately are enough to make each once.
  if (made_.size() >= 512) made_.clear();
  return made_.emplace(di, source_->row(di)).first->second;
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
  return &rowAt(dataIndex(gridRow));
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

void FlexGridModel::setCellToolTip(int gridRow, int gridCol, const QString& text) {
  if (gridCol < 0 || gridCol >= gridCols() || gridRow < 1 || gridRow >= gridRows()) return;
  toolTips_[key(dataIndex(gridRow), gridCol)] = text;
  QModelIndex i = index(gridRow - 1, gridCol);
  emit dataChanged(i, i, {Qt::ToolTipRole});
}

QString FlexGridModel::cellToolTip(int gridRow, int gridCol) const {
  if (gridCol < 0 || gridCol >= gridCols() || gridRow < 1 || gridRow >= gridRows()) return {};
  if (!toolTips_.empty()) {
    auto it = toolTips_.find(key(dataIndex(gridRow), gridCol));
    if (it != toolTips_.end()) return it->second;
  }
  // Narrow columns cut long names short; the pointer shows the whole text.
  return text(gridRow, gridCol);
}

QVariant FlexGridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const int gridRow = index.row() + 1;
  if (role == Qt::DisplayRole) return text(gridRow, index.column());
  if (role == Qt::ToolTipRole) return cellToolTip(gridRow, index.column());
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
  setRows(fields, std::make_shared<KeptGridRows>(std::move(rows)));
}

void FlexGridModel::setRows(const std::vector<std::string>& fields, std::shared_ptr<const GridRowSource> rows) {
  beginResetModel();
  titles_.assign(1, QString());
  for (const auto& f : fields) titles_.push_back(QString::fromStdString(f));
  titleColors_.assign(titles_.size(), QColor());
  source_ = rows ? std::move(rows) : std::make_shared<KeptGridRows>(std::vector<Row>());
  made_.clear();
  order_.resize(static_cast<size_t>(source_->rowCount()));
  for (size_t i = 0; i < order_.size(); ++i) order_[i] = static_cast<int>(i);
  overrides_.clear();
  colors_.clear();
  toolTips_.clear();
  endResetModel();
}

bool FlexGridModel::setOrder(const std::vector<int>& order) {
  if (order.size() != order_.size()) return false;
  std::vector<bool> seen(order_.size(), false);
  for (int i : order) {
    if (i < 0 || static_cast<size_t>(i) >= seen.size() || seen[static_cast<size_t>(i)]) return false;
    seen[static_cast<size_t>(i)] = true;
  }
  emit layoutAboutToBeChanged();
  order_ = order;
  emit layoutChanged();
  return true;
}

void FlexGridModel::sortByColumn(int gridCol, int setting) {
  if (gridCol < 1 || gridCol >= gridCols() || order_.size() < 2 || !isGridSortSetting(setting)) return;
  // A text written into a cell of the column sorts by what it shows.
  bool written = false;
  for (const auto& [k, text] : overrides_)
    if ((k & 0xFFFF) == static_cast<std::uint64_t>(gridCol)) written = true;
  std::vector<GridSortKey> keys;
  if ((setting == 1 || setting == 2) && !written && source_->sortKeys(gridCol - 1, keys) &&
      keys.size() == order_.size()) {
    emit layoutAboutToBeChanged();
    sortGridOrderByKeys(order_, keys, setting == 2);
    emit layoutChanged();
    return;
  }
  // The text each data row shows in the column, by data index.
  std::vector<std::string> texts(order_.size());
  for (size_t gi = 0; gi < order_.size(); ++gi)
    texts[static_cast<size_t>(order_[gi])] = text(static_cast<int>(gi) + 1, gridCol).toStdString();
  emit layoutAboutToBeChanged();
  sortGridOrder(order_, texts, setting);
  emit layoutChanged();
}

std::vector<int> FlexGridModel::rowsToMeasure() const {
  constexpr int kSample = 1000;
  const int n = rowCount();
  std::vector<int> rows;
  if (n <= kSample || (n > 0 && source_->keptRow(0))) {
    rows.resize(static_cast<size_t>(n));
    for (int r = 0; r < n; ++r) rows[static_cast<size_t>(r)] = r;
    return rows;
  }
  for (int k = 0; k < kSample; ++k)
    rows.push_back(static_cast<int>(static_cast<std::int64_t>(k) * (n - 1) / (kSample - 1)));
  return rows;
}

exporting::ExportRows FlexGridModel::exportRows(const std::vector<int>& gridRows, std::string sheetName) const {
  exporting::ExportRows out;
  out.sheetName = std::move(sheetName);
  for (int c = 1; c < gridCols(); ++c) out.titles.push_back(titles_[static_cast<size_t>(c)].toStdString());
  std::vector<int> indexes;
  indexes.reserve(gridRows.size());
  for (int r : gridRows)
    if (r >= 1 && r < this->gridRows()) indexes.push_back(dataIndex(r));
  out.count = indexes.size();
  // The texts written into cells, by data index and column, as UTF-8.
  std::unordered_map<std::uint64_t, std::string> written;
  for (const auto& [k, text] : overrides_)
    if ((k & 0xFFFF) != 0) written.emplace(k, text.toStdString());
  const size_t fields = out.titles.size();
  out.row = [source = source_, indexes = std::move(indexes), written = std::move(written), fields](
                std::size_t i, std::vector<exporting::ExportCell>& cells) {
    const int di = indexes[i];
    Row made;
    const Row* values = source->keptRow(di);
    if (!values) {
      made = source->row(di);
      values = &made;
    }
    cells.resize(fields);
    for (size_t f = 0; f < fields; ++f) {
      exporting::ExportCell& cell = cells[f];
      const auto w = written.empty() ? written.end() : written.find((static_cast<std::uint64_t>(di) << 16) | (f + 1));
      const bool value = f < values->size();
      cell.text = w != written.end() ? w->second : value ? (*values)[f].display() : std::string();
      // A number stays one as long as the cell shows a number.
      cell.number = value && ((*values)[f].isInteger() || (*values)[f].isReal()) && parseNumber(cell.text).has_value();
    }
  };
  return out;
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
  // One cell is current; a range or every row (Ctrl+A) can be selected for copying.
  view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  view_->setSelectionBehavior(QAbstractItemView::SelectItems);
  view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view_->setWordWrap(false);
  layout->addWidget(view_);
  view_->installEventFilter(this);
  // The measured widths of the texts hold until the rows change.
  connect(model_, &QAbstractItemModel::modelReset, this, [this] { contentWidths_.clear(); });
  connect(model_, &QAbstractItemModel::rowsInserted, this, [this] { contentWidths_.clear(); });
  connect(model_, &QAbstractItemModel::rowsRemoved, this, [this] { contentWidths_.clear(); });
  connect(model_, &QAbstractItemModel::dataChanged, this, &FlexGrid::cellsChanged);

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
  // A title click makes only the column current (the windows sort by it);
  // it never selects the column's cells nor moves the current row.
  disconnect(view_->horizontalHeader(), &QHeaderView::sectionPressed, view_, nullptr);
  disconnect(view_->horizontalHeader(), &QHeaderView::sectionEntered, view_, nullptr);
  connect(view_->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int c) {
    col_ = c;
    emit headerClicked(c);
    emit cellEntered();
  });
  buildContextMenu();
}

void FlexGrid::buildContextMenu() {
  menu_ = new QMenu(this);
  menu_->setObjectName(QStringLiteral("gridContextMenu"));
  auto add = [this](const char* name, const QString& caption, const QKeySequence& keys, auto handler) {
    QAction* a = menu_->addAction(caption);
    a->setObjectName(QLatin1String(name));
    a->setShortcut(keys);
    // The keys themselves are handled by the grid; the menu only shows them.
    a->setShortcutContext(Qt::WidgetShortcut);
    connect(a, &QAction::triggered, this, handler);
    return a;
  };
  add("gridSelectAllAction", QStringLiteral("すべての行を選択"), QKeySequence::SelectAll, [this] { selectAllRows(); });
  add("gridCopyAction", QStringLiteral("選択した行をコピー"), QKeySequence::Copy, [this] { copySelectedRows(); });
  menu_->addSeparator();
  add("gridSaveCsvAction", QStringLiteral("CSVで保存…"), QKeySequence::Save,
      [this] { saveAs(lastSaveFormat == ExportFormat::Xlsx ? ExportFormat::CsvUtf8 : lastSaveFormat); });
  add("gridSaveExcelAction", QStringLiteral("Excel形式で保存…"), QKeySequence(),
      [this] { saveAs(ExportFormat::Xlsx); });
  view_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(view_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { menu_->popup(view_->viewport()->mapToGlobal(at)); });
}

bool FlexGrid::handleExportKey(QEvent* event) {
  auto* key = static_cast<QKeyEvent*>(event);
  const bool selectAll = key->matches(QKeySequence::SelectAll);
  const bool copy = key->matches(QKeySequence::Copy);
  const bool save = key->matches(QKeySequence::Save);
  if (!selectAll && !copy && !save) return false;
  // The grid takes these keys before any shortcut of its window.
  event->accept();
  if (event->type() == QEvent::ShortcutOverride) return true;
  if (selectAll)
    selectAllRows();
  else if (copy)
    copySelectedRows();
  else
    saveAs();
  return true;
}

const std::vector<ExportFormat>& FlexGrid::saveFormats() {
  static const std::vector<ExportFormat> formats = {ExportFormat::CsvUtf8, ExportFormat::CsvCp932, ExportFormat::Xlsx};
  return formats;
}

void FlexGrid::setSaveServices(SaveFileDialog dialog, Prompts* prompts) {
  saveDialog_ = std::move(dialog);
  prompts_ = prompts;
}

QString FlexGrid::exportName() const {
  if (!exportName_.isEmpty()) return exportName_;
  return window() ? window()->windowTitle() : QString();
}

namespace {

std::vector<int> everyRow(int gridRows) {
  std::vector<int> all(static_cast<size_t>(std::max(0, gridRows - 1)));
  for (size_t i = 0; i < all.size(); ++i) all[i] = static_cast<int>(i) + 1;
  return all;
}

exporting::ExportTable tableOf(const exporting::ExportRows& rows) {
  exporting::ExportTable table;
  table.titles = rows.titles;
  table.sheetName = rows.sheetName;
  table.rows.resize(rows.count);
  for (size_t i = 0; i < rows.count; ++i) rows.row(i, table.rows[i]);
  return table;
}

}  // namespace

exporting::ExportRows FlexGrid::exportRows() const {
  return model_->exportRows(everyRow(rows()), exportName().toStdString());
}

exporting::ExportTable FlexGrid::exportTable() const { return tableOf(exportRows()); }

std::vector<int> FlexGrid::selectedRows() const {
  std::vector<bool> chosen(static_cast<size_t>(std::max(0, rows() - 1)), false);
  bool any = false;
  for (const QItemSelectionRange& range : view_->selectionModel()->selection()) {
    for (int vr = range.top(); vr <= range.bottom(); ++vr) {
      if (vr < 0 || static_cast<size_t>(vr) >= chosen.size()) continue;
      chosen[static_cast<size_t>(vr)] = true;
      any = true;
    }
  }
  std::vector<int> out;
  if (!any) {
    if (row_ >= 1 && row_ < rows()) out.push_back(row_);
    return out;
  }
  for (size_t i = 0; i < chosen.size(); ++i)
    if (chosen[i]) out.push_back(static_cast<int>(i) + 1);
  return out;
}

exporting::ExportTable FlexGrid::selectedRowsTable() const {
  return tableOf(model_->exportRows(selectedRows(), exportName().toStdString()));
}

void FlexGrid::selectAllRows() {
  if (rows() < 2 || cols() < 1) return;
  // The current cell stays where it is.
  view_->selectionModel()->select(
      QItemSelection(model_->index(0, 0), model_->index(model_->rowCount() - 1, model_->columnCount() - 1)),
      QItemSelectionModel::Select);
}

void FlexGrid::copySelectedRows() {
  if (cols() < 2) return;
  // Every row of a long list may be selected: the text is made row by row.
  std::ostringstream text;
  writeDelimited(text, model_->exportRows(selectedRows(), exportName().toStdString()), exporting::ExportFormat::Tsv);
  QGuiApplication::clipboard()->setText(QString::fromStdString(text.str()));
}

bool FlexGrid::saveAs(std::optional<ExportFormat> format) {
  if (saveTask_.running()) return false;
  const FormWindow* owner = nullptr;
  for (QWidget* w = parentWidget(); w && !owner; w = w->parentWidget()) owner = qobject_cast<FormWindow*>(w);
  SaveFileDialog dialog = saveDialog_;
  Prompts* prompts = prompts_;
  if (owner) {
    if (!dialog) dialog = owner->context().saveFileDialog;
    if (!prompts) prompts = &owner->context().prompts();
  }
  if (!dialog) dialog = qtSaveFileDialog;
  static QtPrompts realPrompts;
  if (!prompts) prompts = &realPrompts;

  const auto& formats = saveFormats();
  const ExportFormat first = format.value_or(lastSaveFormat);
  SaveFileRequest request;
  request.title = "一覧の保存";
  request.filters = saveFilters();
  request.selectedFilter = static_cast<int>(std::find(formats.begin(), formats.end(), first) - formats.begin()) %
                           static_cast<int>(formats.size());
  request.folder = lastSaveFolder.empty() ? QDir::homePath().toStdString() : lastSaveFolder;
  request.suggestedName = fileNameFrom(exportName()).toStdString() + extensionFor(first);
  const std::optional<SaveFileChoice> choice = dialog(this, request);
  if (!choice || choice->path.empty()) return false;

  ExportFormat chosen = choice->filter >= 0 && static_cast<size_t>(choice->filter) < formats.size()
                            ? formats[static_cast<size_t>(choice->filter)]
                            : first;
  std::filesystem::path path = fromUtf8(choice->path);
  if (!path.has_extension()) path += extensionFor(chosen);
  // A name typed with the other kind's extension: the name says what it holds.
  const QString extension = QString::fromStdString(toUtf8(path.extension())).toLower();
  if (extension == QLatin1String(".xlsx"))
    chosen = ExportFormat::Xlsx;
  else if (extension == QLatin1String(".csv") && chosen == ExportFormat::Xlsx)
    chosen = ExportFormat::CsvUtf8;
  std::string error;
  bool written = false;
  QPointer<FlexGrid> self(this);
  saveTask_.runAndWait(
      [path, rows = exportRows(), chosen](TaskControl&) { return exporting::writeTable(path, rows, chosen); },
      [&](exporting::ExportOutcome r) {
        written = r.done();
        error = exportFailureText(r);
      },
      [&](std::exception_ptr e) { error = BackgroundTask::message(e); });
  if (!self) return false;
  if (!written) {
    MessageRequest m;
    m.title = "一覧の保存";
    m.lines = {error, "一覧は保存されていません。"};
    m.icon = MessageIcon::Warning;
    prompts->message(m);
    return false;
  }
  lastSaveFormat = chosen;
  lastSaveFolder = toUtf8(path.parent_path());
  emit saved(QString::fromStdString(toUtf8(path)));
  return true;
}

bool FlexGrid::eventFilter(QObject* watched, QEvent* event) {
  if (watched == view_ && (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) &&
      handleExportKey(event))
    return true;
  // The view's font may change when it is first polished (item views can
  // have a font of their own): widths measured on texts follow it.
  if (watched == view_ && (event->type() == QEvent::Polish || event->type() == QEvent::FontChange ||
                           event->type() == QEvent::StyleChange)) {
    contentWidths_.clear();
    applyWidths();
  }
  // The long texts take the room the grid has.
  if (watched == view_ && event->type() == QEvent::Resize &&
      std::find(fits_.begin(), fits_.end(), ColFit::RoomLeft) != fits_.end())
    applyWidths();
  return QWidget::eventFilter(watched, event);
}

void FlexGrid::setContent(const std::vector<std::string>& fields, std::vector<Row> rows) {
  setRows(fields, std::make_shared<KeptGridRows>(std::move(rows)));
}

void FlexGrid::setRows(const std::vector<std::string>& fields, std::shared_ptr<const GridRowSource> rows) {
  model_->setRows(fields, std::move(rows));
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
  if (colFit(c) != ColFit::Set) applyWidths();
}

FlexGrid::ColFit FlexGrid::colFit(int c) const {
  return c >= 0 && static_cast<size_t>(c) < fits_.size() ? fits_[static_cast<size_t>(c)] : ColFit::Set;
}

void FlexGrid::setColFit(int c, ColFit fit) {
  if (c < 0) return;
  if (static_cast<size_t>(c) >= fits_.size()) fits_.resize(static_cast<size_t>(c) + 1, ColFit::Set);
  fits_[static_cast<size_t>(c)] = fit;
  applyWidths();
}

void FlexGrid::setColFitsContents(int c, bool fits) {
  if (fits || colFit(c) == ColFit::Whole) setColFit(c, fits ? ColFit::Whole : ColFit::Set);
}

void FlexGrid::setColTakesRoomLeft(int c, bool takes) {
  if (takes || colFit(c) == ColFit::RoomLeft) setColFit(c, takes ? ColFit::RoomLeft : ColFit::Set);
}

namespace {

// How many rows a column's texts are read from, and how many of the longest
// of them are laid out, so that a fit costs the same for 100,000 rows as for
// 20,000.
constexpr int kScannedRows = 20000;
constexpr size_t kMeasuredTexts = 8;

// A text's length in half-width cells: full-width characters count two.
int cellsOf(const QString& text) {
  int n = 0;
  for (QChar ch : text) {
    const char16_t u = ch.unicode();
    n += u < 0x0300 || (u >= 0xFF61 && u <= 0xFF9F) ? 1 : 2;
  }
  return n;
}

}  // namespace

int FlexGrid::cellPixels(int viewRow, int c) const {
  // As the view's own delegate lays the texts out (font, fallback fonts for
  // Japanese, margins), plus the grid line.
  QStyleOptionViewItem option;
  option.initFrom(view_);
  option.font = view_->font();
  option.fontMetrics = view_->fontMetrics();
  option.displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
  return view_->itemDelegate()->sizeHint(option, model_->index(viewRow, c)).width() + 1;
}

int FlexGrid::measureContent(int c) const {
  // The longest texts by their length in cells, from every row, or in a big
  // grid from one row of each stretch of `step` rows, at a place in the
  // stretch that varies (rows repeating every few rows are still met); only
  // these texts are laid out.
  // Every row the grid keeps; a sample of the rows a source makes when shown.
  const std::vector<int> candidates = model_->rowsToMeasure();
  const int count = static_cast<int>(candidates.size());
  const int step = count > kScannedRows ? (count + kScannedRows - 1) / kScannedRows : 1;
  std::vector<std::pair<int, int>> longest;  // (cells, view row), longest first
  longest.reserve(kMeasuredTexts + 1);
  for (int first = 0; first < count; first += step) {
    const auto spread = static_cast<std::uint32_t>(first) * 2654435761u;
    const int r = candidates[static_cast<std::size_t>(
        step == 1 ? first
                  : std::min(count - 1, first + static_cast<int>((spread >> 16) % static_cast<std::uint32_t>(step))))];
    const int cells = cellsOf(model_->text(r + 1, c));
    if (cells == 0 || (longest.size() == kMeasuredTexts && cells <= longest.back().first)) continue;
    auto at = std::find_if(longest.begin(), longest.end(), [cells](const auto& e) { return e.first < cells; });
    longest.insert(at, {cells, r});
    if (longest.size() > kMeasuredTexts) longest.pop_back();
  }
  int widest = 0;
  for (const auto& [cells, r] : longest) widest = std::max(widest, cellPixels(r, c));
  return widest;
}

int FlexGrid::contentPixels(int c) const {
  if (c < 0 || c >= cols()) return 0;
  if (contentWidths_.size() != static_cast<size_t>(cols())) contentWidths_.assign(static_cast<size_t>(cols()), -1);
  int& w = contentWidths_[static_cast<size_t>(c)];
  if (w < 0) w = measureContent(c);
  return w;
}

void FlexGrid::cellsChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight) {
  if (!topLeft.isValid() || !bottomRight.isValid()) return;
  for (int c = topLeft.column(); c <= bottomRight.column(); ++c) {
    if (c < 0 || static_cast<size_t>(c) >= contentWidths_.size()) continue;
    int& w = contentWidths_[static_cast<size_t>(c)];
    if (w < 0) continue;
    // A cell written: the column widens to it (it never narrows); a wider
    // change is measured again when next asked.
    if (bottomRight.row() - topLeft.row() < static_cast<int>(kMeasuredTexts)) {
      for (int r = topLeft.row(); r <= bottomRight.row(); ++r) w = std::max(w, cellPixels(r, c));
    } else {
      w = -1;
    }
  }
}

void FlexGrid::setColWidth(int c, int twips) {
  if (c < 0) return;
  if (static_cast<size_t>(c) >= widths_.size()) widths_.resize(static_cast<size_t>(c) + 1, 0);
  widths_[static_cast<size_t>(c)] = twips;
  if (c >= cols()) return;
  // The room left for the long texts depends on every column's width.
  if (std::any_of(fits_.begin(), fits_.end(), [](ColFit f) { return f == ColFit::RoomLeft; }))
    applyWidths();
  else
    view_->setColumnWidth(c, columnPixels(c, twips));
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
  QHeaderView* header = view_->horizontalHeader();
  const QFontMetrics fm = header->fontMetrics();
  const int title =
      std::max(fm.horizontalAdvance(model_->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString()) + 10,
               header->sectionSizeHint(c));
  return std::max({px, dataColumnMinimum_, title, colFit(c) == ColFit::Whole ? contentPixels(c) : 0});
}

int FlexGrid::roomForColumns() const {
  const QSize most = view_->maximumViewportSize();
  int room = most.width();
  const QScrollBar* bar = view_->verticalScrollBar();
  if (view_->verticalScrollBarPolicy() == Qt::ScrollBarAsNeeded && model_->rowCount() > 0 &&
      view_->verticalHeader()->length() > most.height() &&
      !style()->styleHint(QStyle::SH_ScrollBar_Transient, nullptr, bar))
    room -= bar->sizeHint().width();
  return room;
}

void FlexGrid::applyWidths() {
  const int n = cols();
  std::vector<int> px(static_cast<size_t>(n), 0);
  std::vector<int> wanted(static_cast<size_t>(n), 0);  // more pixels a long-text column would show whole in
  int used = 0;
  for (int c = 0; c < n; ++c) {
    const size_t i = static_cast<size_t>(c);
    const int w = i < widths_.size() ? widths_[i] : 0;
    const ColFit fit = colFit(c);
    if (w == 0 && fit == ColFit::Set) {
      px[i] = view_->columnWidth(c);  // left as it is
    } else if (fit == ColFit::RoomLeft) {
      // From its set width alone, so that it narrows again when the room does.
      px[i] = columnPixels(c, w);
      wanted[i] = std::max(0, contentPixels(c) - px[i]);
    } else {
      px[i] = columnPixels(c, w > 0 ? w : colWidth(c));
    }
    used += px[i];
  }
  // The room left, shared evenly among the long-text columns, none given more
  // than its longest text needs.
  int room = roomForColumns() - used;
  for (;;) {
    const auto open = static_cast<int>(std::count_if(wanted.begin(), wanted.end(), [](int w) { return w > 0; }));
    if (room <= 0 || open == 0) break;
    const int share = std::max(1, room / open);
    for (size_t i = 0; i < wanted.size() && room > 0; ++i) {
      if (wanted[i] <= 0) continue;
      const int given = std::min({share, wanted[i], room});
      px[i] += given;
      wanted[i] -= given;
      room -= given;
    }
  }
  for (int c = 0; c < n; ++c) {
    const size_t i = static_cast<size_t>(c);
    const int w = i < widths_.size() ? widths_[i] : 0;
    if ((w > 0 || colFit(c) != ColFit::Set) && view_->columnWidth(c) != px[i]) view_->setColumnWidth(c, px[i]);
  }
}

void FlexGrid::sort(int setting) {
  model_->sortByColumn(col_, setting);
  syncSelection();
}

void FlexGrid::setRowOrder(const std::vector<int>& order) {
  model_->setOrder(order);
  syncSelection();
}

void FlexGrid::setCellBackColor(const QColor& color) { model_->setCellColor(row_, col_, color); }

void FlexGrid::setRedraw(bool on) {
  redraw_ = on;
  view_->setUpdatesEnabled(on);
}

}  // namespace tavrin::ui
