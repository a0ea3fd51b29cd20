#include "ui/common/qt_prompts.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScreen>
#include <QVBoxLayout>

namespace tavrin::ui {

namespace {

// A report: its lines in a read-only text that scrolls, sized to the screen.
MessageAnswer showScrolling(const MessageRequest& request) {
  QDialog box(QApplication::activeWindow());
  box.setObjectName(QStringLiteral("reportDialog"));
  box.setWindowTitle(QString::fromStdString(request.shownTitle()));
  auto* layout = new QVBoxLayout(&box);
  auto* text = new QPlainTextEdit(&box);
  text->setObjectName(QStringLiteral("reportText"));
  text->setReadOnly(true);
  text->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  text->setPlainText(QString::fromStdString(request.text()));
  layout->addWidget(text);
  auto* buttons =
      new QDialogButtonBox(request.buttons == MessageButtons::OkCancel ? QDialogButtonBox::Ok | QDialogButtonBox::Cancel
                                                                       : QDialogButtonBox::Ok,
                           &box);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &box, &QDialog::reject);
  layout->addWidget(buttons);
  const QFontMetrics fm(text->font());
  QSize want(fm.horizontalAdvance(QLatin1Char('M')) * 70, fm.lineSpacing() * 24);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    want = want.boundedTo(QSize(area.width() * 9 / 10, area.height() * 3 / 4));
  }
  box.resize(want);
  return box.exec() == QDialog::Accepted ? MessageAnswer::Ok : MessageAnswer::Cancel;
}

}  // namespace

MessageAnswer QtPrompts::message(const MessageRequest& request) {
  if (request.scrolling) return showScrolling(request);
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
