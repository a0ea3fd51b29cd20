#include "ui/common/form_window.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

#include "ui/common/window_placement.h"

namespace tavrin::ui {

FormWindow::FormWindow(AppContext& ctx, const char* formName, QWidget* parent) : QWidget(parent), ctx_(ctx) {
  setObjectName(QString::fromLatin1(formName));
  setWindowTitle(QString::fromLatin1(formName));
}

void FormWindow::closeEvent(QCloseEvent* event) {
  // Windows are left through their own buttons, which hide or unload them and
  // never send a close event; any close request comes from the title bar.
  event->ignore();
  if (titleBarCloseAllowed_) titleBarClose();
}

void FormWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!event->spontaneous() && isWindow()) placeOnShow(this);
}

void FormWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (isVisible() && isWindow()) keepInside(this);
}

QPushButton* FormWindow::makeButton(const QString& name, const QString& caption) {
  auto* b = new QPushButton(caption, this);
  b->setObjectName(name);
  return b;
}

QLabel* FormWindow::makeLabel(const QString& name, const QString& caption) {
  auto* l = new QLabel(caption, this);
  l->setObjectName(name);
  return l;
}

QLineEdit* FormWindow::makeText(const QString& name, const QString& text) {
  auto* t = new QLineEdit(text, this);
  t->setObjectName(name);
  return t;
}

void FormWindow::setBackground(QWidget* w, const QColor& color) {
  if (auto* b = qobject_cast<QPushButton*>(w)) {
    b->setStyleSheet(QStringLiteral("QPushButton#%1 { background-color: %2; }").arg(b->objectName(), color.name()));
    return;
  }
  QPalette p = w->palette();
  p.setColor(QPalette::Window, color);
  // Text boxes and grids inherit the palette: a window's colour stays out of
  // them, they keep their own white.
  if (!w->isWindow()) p.setColor(QPalette::Base, color);
  w->setAutoFillBackground(true);
  w->setPalette(p);
}

}  // namespace tavrin::ui
