#pragma once
#include <QAbstractTableModel>
#include <QColor>
#include <QWidget>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "data/database.h"
#include "export/table_export.h"
#include "ui/common/background_task.h"
#include "ui/common/grid_row_source.h"
#include "ui/common/save_file_dialog.h"

class QMenu;
class QTableView;

namespace tavrin {
class Prompts;
}

namespace tavrin::ui {

// The grid's table model: row 0 of the grid is the header, column 0 a fixed
// unlabeled column, field k in column k. Rows are kept as delivered by the
// data view, or made by a row source when shown; sorting reorders an index,
// never copies cells.
class FlexGridModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  using QAbstractTableModel::QAbstractTableModel;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  void setContent(const std::vector<std::string>& fields, std::vector<Row> rows);
  void setRows(const std::vector<std::string>& fields, std::shared_ptr<const GridRowSource> rows);
  int gridRows() const { return static_cast<int>(order_.size()) + 1; }
  int gridCols() const { return static_cast<int>(titles_.size()); }
  QString text(int gridRow, int gridCol) const;
  void setText(int gridRow, int gridCol, const QString& text);
  // A row made on demand stays where it is until many other rows have been
  // asked for (or the grid is reloaded); kept rows stay until the reload.
  const Row* rowValues(int gridRow) const;
  void setCellColor(int gridRow, int gridCol, const QColor& color);
  QColor cellColor(int gridRow, int gridCol) const;
  // The pointer's text over a cell: its own text unless one is set here.
  void setCellToolTip(int gridRow, int gridCol, const QString& text);
  QString cellToolTip(int gridRow, int gridCol) const;
  void sortByColumn(int gridCol, int setting);
  // Shows the data rows in this order (indexes into the rows as delivered);
  // false, changing nothing, when it is no order of every row.
  bool setOrder(const std::vector<int>& order);
  // The rows of the view a column's width is measured on: every row, or for
  // a long list of rows made on demand a sample spread over it.
  std::vector<int> rowsToMeasure() const;
  // The grid rows given (1..) as they leave the program: titles of columns
  // 1.., cells as shown, a cell whose value is a number marked as one. The
  // rows are made as a writer asks for them, on any thread: what they need
  // is taken now, and changes to the grid after this do not reach them.
  exporting::ExportRows exportRows(const std::vector<int>& gridRows, std::string sheetName) const;

 private:
  std::uint64_t key(int dataIndex, int gridCol) const {
    return (static_cast<std::uint64_t>(dataIndex) << 16) | static_cast<std::uint64_t>(gridCol);
  }
  int dataIndex(int gridRow) const { return order_[static_cast<size_t>(gridRow - 1)]; }
  const Row& rowAt(int dataIndex) const;

  std::vector<QString> titles_;  // per grid column; [0] is the fixed column
  std::vector<QColor> titleColors_;
  std::shared_ptr<const GridRowSource> source_;
  mutable std::unordered_map<int, Row> made_;  // rows of the source made lately, by data index
  std::vector<int> order_;
  std::unordered_map<std::uint64_t, QString> overrides_;
  std::unordered_map<std::uint64_t, QColor> colors_;
  std::unordered_map<std::uint64_t, QString> toolTips_;
};

// A grid with the operations the windows rely on: Rows, Row, Col,
// TextMatrix, ColWidth (twips), Sort, CellBackColor and a redraw switch.
class FlexGrid : public QWidget {
  Q_OBJECT
 public:
  // Sort settings.
  enum Sort {
    GenericAscending = 1,
    GenericDescending = 2,
    NumericAscending = 3,
    NumericDescending = 4,
    TextAscendingNoCase = 5,
    TextAscending = 7
  };

  explicit FlexGrid(QWidget* parent = nullptr);

  // Reloads from a data view's result; titles become the field names.
  void setContent(const std::vector<std::string>& fields, std::vector<Row> rows);
  // The same for rows a source makes when they are shown (a list too long to
  // keep as values); everything below works on them alike.
  void setRows(const std::vector<std::string>& fields, std::shared_ptr<const GridRowSource> rows);
  void clear();

  int rows() const { return model_->gridRows(); }
  int cols() const { return model_->gridCols(); }
  int row() const { return row_; }
  int col() const { return col_; }
  void setRow(int r);
  void setCol(int c);
  QString textMatrix(int r, int c) const { return model_->text(r, c); }
  void setTextMatrix(int r, int c, const QString& text);
  const Row* rowValues(int r) const { return model_->rowValues(r); }

  // The set width is the least a column is given; the fitting columns below
  // widen from it.
  void setColWidth(int c, int twips);
  int colWidth(int c) const;  // twips
  // A column of short texts (IDs, codes, market words, numbers, dates) that
  // widens (never narrows) to show every text it holds whole, after each
  // reload and cell write, whether the grid has room or not.
  void setColFitsContents(int c, bool fits = true);
  // A column of long texts (names) that widens towards its longest text only
  // into the room the grid has left once every other column has its width,
  // the room shared among such columns; again after each reload and resize.
  // A cell cut short shows its whole text in the tooltip.
  void setColTakesRoomLeft(int c, bool takes = true);

  // Sorts the data rows by the current column.
  void sort(int setting);
  // Shows the data rows in an order sorted elsewhere (indexes into the rows
  // as delivered by setContent); an order that is not one of every row is
  // ignored. The current cell stays where it is, as after sort().
  void setRowOrder(const std::vector<int>& order);
  // Background of the current cell (row 0 colours the title).
  void setCellBackColor(const QColor& color);
  QColor cellBackColor(int r, int c) const { return model_->cellColor(r, c); }
  void setCellToolTip(int r, int c, const QString& text) { model_->setCellToolTip(r, c, text); }
  QString cellToolTip(int r, int c) const { return model_->cellToolTip(r, c); }

  void setRedraw(bool on);
  bool redraw() const { return redraw_; }

  QTableView* view() const { return view_; }
  FlexGridModel* model() const { return model_; }

  // Taking the rows out (every grid, from its context menu and the keys):
  // Ctrl+A selects every row, Ctrl+C copies the selected rows with the title
  // row as TSV, Ctrl+S saves the whole grid as CSV or .xlsx.
  //
  // The grid as shown: titles of columns 1.., every row in the order shown,
  // cells as shown; a cell whose value is a number is marked as one.
  exporting::ExportTable exportTable() const;
  // The same rows made as a writer asks for them (what a save writes).
  exporting::ExportRows exportRows() const;
  // The rows 1.. that the selection touches, in grid order; the current row
  // when nothing is selected.
  std::vector<int> selectedRows() const;
  exporting::ExportTable selectedRowsTable() const;
  void selectAllRows();
  void copySelectedRows();
  // Asks for a file (the save dialog, first showing the format given, else
  // the last one used) and writes the grid there, on a task's thread while
  // the window keeps handling events; returns once the file is written.
  // False when the user cancelled, a save is still being written, or the
  // file could not be written (then a message says why).
  bool saveAs(std::optional<exporting::ExportFormat> format = std::nullopt);
  // The file name proposed by saveAs (without extension) and the name of the
  // worksheet; the window's title when not set.
  void setExportName(const QString& name) { exportName_ = name; }
  QString exportName() const;
  // The save dialog and the message boxes of a grid that is in no program
  // window (in a window they are the program's).
  void setSaveServices(SaveFileDialog dialog, Prompts* prompts);
  // The filters the save dialog offers, in the order of formats below.
  static const std::vector<exporting::ExportFormat>& saveFormats();
  QMenu* contextMenu() const { return menu_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 signals:
  void cellEntered();  // the current cell changed
  void doubleClicked();
  void headerClicked(int col);
  void saved(const QString& path);  // saveAs wrote the file

 private:
  void buildContextMenu();
  bool handleExportKey(QEvent* event);
  void syncSelection();
  void enterCell(const QModelIndex& index);
  enum class ColFit : unsigned char { Set, Whole, RoomLeft };
  ColFit colFit(int c) const;
  void setColFit(int c, ColFit fit);
  void applyWidths();
  int columnPixels(int c, int twips);
  // The width that shows every text of the column whole, measured once per
  // reload on the longest texts of a bounded sample of rows.
  int contentPixels(int c) const;
  int measureContent(int c) const;
  int cellPixels(int viewRow, int c) const;
  void cellsChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight);
  // The viewport's width once the vertical scroll bar has its room.
  int roomForColumns() const;

  QTableView* view_;
  FlexGridModel* model_;
  int row_ = 0;
  int col_ = 0;
  bool redraw_ = true;
  int dataColumnMinimum_ = 0;
  std::vector<int> widths_;  // twips per column; 0 = not set
  std::vector<ColFit> fits_;
  mutable std::vector<int> contentWidths_;  // pixels per column; -1 = not measured
  QMenu* menu_ = nullptr;
  QString exportName_;
  SaveFileDialog saveDialog_;
  Prompts* prompts_ = nullptr;
  BackgroundTask saveTask_;  // destroyed first, which joins a save being written
};

// Twips to pixels for this screen (15 twips a pixel at 96 dpi).
int twipsToPixels(int twips, QWidget* widget);

}  // namespace tavrin::ui
