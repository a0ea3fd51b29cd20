#include "ui/common/qt_prompts.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>

namespace tavrin::ui {

MessageAnswer QtPrompts::message(const MessageRequest& request) {
  QMessageBox box(QApplication::activeWindow());
  box.setWindowTitle(QString::fromStdString(request.shownTitle()));
  box.setText(QString::fromStdString(request.text()));
  switch (request.icon) {
    case MessageIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    case MessageIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MessageIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case MessageIcon::Critical: box.setIcon(QMessageBox::Critical); break;
  }
  if (request.buttons == MessageButtons::OkCancel) {
    box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
  } else {
    box.setStandardButtons(QMessageBox::Ok);
  }
  box.setDefaultButton(QMessageBox::Ok);
  return box.exec() == QMessageBox::Ok ? MessageAnswer::Ok : MessageAnswer::Cancel;
}

std::optional<std::string> QtPrompts::input(const InputRequest& request) {
  bool ok = false;
  QString answer = QInputDialog::getText(QApplication::activeWindow(), QString::fromStdString(request.shownTitle()),
                                         QString::fromStdString(request.prompt()), QLineEdit::Normal,
                                         QString::fromStdString(request.defaultAnswer), &ok);
  if (!ok) return std::nullopt;
  return answer.toStdString();
}

}  // namespace tavrin::ui
