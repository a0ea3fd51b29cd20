#pragma once
#include <QHash>
#include <array>

#include "data/data_view.h"
#include "ui/common/form_window.h"

class QLineEdit;
class QPushButton;

namespace tavrin::ui {

class FlexGrid;

// Price list browser (Form28): the list table of the open price database,
// searches by code and by name, sorting and the current stock's details.
class ListBrowserWindow : public FormWindow {
  Q_OBJECT
 public:
  explicit ListBrowserWindow(AppContext& ctx);

  FlexGrid* grid() const { return grid_; }  // MSFlexGrid1
  DataView& data1() { return data1_; }      // Data1
  QPushButton* button(const QString& name) const { return buttons_.value(name); }

  // Re-reads the current query (after an import changed the prices).
  void refreshView();

  void Command4_Click();   // find by code
  void Command3_Click();   // find by name
  void Command13_Click();  // sort by the current column
  void Command5_Click();   // OK

 private:
  bool requery(const std::string& sql, const std::vector<Value>& params);
  void reloadGrid();
  void showCount();
  void showDetails();

  DataView data1_;
  FlexGrid* grid_;
  QLineEdit* count_;
  std::array<QLineEdit*, 7> details_{};  // Text1..Text6
  QHash<QString, QPushButton*> buttons_;
};

}  // namespace tavrin::ui
