#pragma once
#include <optional>

#include "stocklist/listed_issues.h"
#include "stocklist/stock_list_update.h"
#include "ui/common/form_window.h"

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace tavrin::ui {

// The stock list update: the user picks the exchange's listed-issues file
// (or any price file with code and name columns), sees what would change in
// the three price databases, chooses whether stocks no longer listed are
// removed, and applies it.
class StockListWindow : public FormWindow {
  Q_OBJECT
 public:
  explicit StockListWindow(AppContext& ctx);

  // Asks for the file through the open-file dialog and previews it.
  void chooseFile();
  // Reads the file and shows what the update would do; false when the file
  // cannot be used (the report says why).
  bool preview(const QString& file);
  // Writes the previewed update (after a confirmation when stocks are removed).
  void apply();
  void closeWindow();

  QString reportText() const;

 private:
  void showPreview();
  std::size_t missingCodes() const;

  QLineEdit* fileBox_;
  QPushButton* chooseButton_;
  QCheckBox* fundsCheck_;
  QCheckBox* removeCheck_;
  QPlainTextEdit* report_;
  QPushButton* applyButton_;
  QPushButton* closeButton_;

  QString file_;
  std::optional<ListedIssues> issues_;
  StockListOutcome preview_;
};

}  // namespace tavrin::ui
