#pragma once
#include <QHash>

#include "data/data_view.h"
#include "ui/common/form_window.h"

class QLineEdit;
class QPushButton;

namespace tavrin::ui {

class FlexGrid;

// Main menu (Form5): the hub. Shows the open database's unit and ten dates;
// its date grid is where every window reads the unit and the dates.
class MainMenuWindow : public FormWindow {
  Q_OBJECT
 public:
  explicit MainMenuWindow(AppContext& ctx);

  FlexGrid* dateGrid() const { return grid_; }
  DataView& data1() { return data1_; }
  void setPathBox(const QString& path);
  QString pathBox() const;

  // Runs every time the menu gets the focus.
  void activate();
  // Re-reads the date record (after a registration step changed it).
  void refreshDates();

  QPushButton* button(const QString& name) const { return buttons_.value(name); }

  void Command3_Click();  // END

 protected:
  bool event(QEvent* e) override;

 private:
  QPushButton* addButton(const QString& name, const QString& caption);
  void openUniverse(int selectorCode);
  void showInfo(const QString& name);

  DataView data1_;
  FlexGrid* grid_;
  QLineEdit* text4_;
  QLineEdit* text3_[12];
  QHash<QString, QPushButton*> buttons_;
};

}  // namespace tavrin::ui
