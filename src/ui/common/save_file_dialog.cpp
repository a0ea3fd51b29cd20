#include "ui/common/save_file_dialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>

namespace tavrin::ui {

namespace {

// The extension of a filter's first pattern: "CSV (*.csv)" gives "csv".
QString extensionOf(const QString& filter) {
  static const QRegularExpression pattern(QStringLiteral("\\*\\.([A-Za-z0-9]+)"));
  const auto m = pattern.match(filter);
  return m.hasMatch() ? m.captured(1) : QString();
}

}  // namespace

std::optional<SaveFileChoice> qtSaveFileDialog(QWidget* owner, const SaveFileRequest& request) {
  QFileDialog dialog(owner, QString::fromStdString(request.title));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  QStringList filters;
  for (const auto& f : request.filters) filters << QString::fromStdString(f);
  dialog.setNameFilters(filters);
  if (request.selectedFilter >= 0 && request.selectedFilter < filters.size()) {
    dialog.selectNameFilter(filters[request.selectedFilter]);
    dialog.setDefaultSuffix(extensionOf(filters[request.selectedFilter]));
  }
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                   [&dialog](const QString& filter) { dialog.setDefaultSuffix(extensionOf(filter)); });
  if (!request.folder.empty()) dialog.setDirectory(QString::fromStdString(request.folder));
  dialog.selectFile(QString::fromStdString(request.suggestedName));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  SaveFileChoice choice;
  choice.path = QFileInfo(dialog.selectedFiles().front()).absoluteFilePath().toStdString();
  choice.filter = static_cast<int>(filters.indexOf(dialog.selectedNameFilter()));
  if (choice.filter < 0) choice.filter = request.selectedFilter;
  return choice;
}

}  // namespace tavrin::ui
