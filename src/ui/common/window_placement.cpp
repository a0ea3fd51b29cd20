#include "ui/common/window_placement.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace tavrin::ui {

namespace {

// Title bar and border of a usual window manager, for windows not yet framed.
const QMargins kUsualFrame(4, 32, 4, 4);

QMargins frameMarginsOf(const QWidget* w) {
  const QRect frame = w->frameGeometry();
  const QRect inner = w->geometry();
  return {inner.left() - frame.left(), inner.top() - frame.top(), frame.right() - inner.right(),
          frame.bottom() - inner.bottom()};
}

bool isFramed(const QWidget* w) { return w->isVisible() && w->frameGeometry() != w->geometry(); }

// Puts the frame's top-left corner at `frameTopLeft`. The window is given
// its inner rectangle: a window not framed yet has no frame offset Qt could
// add to a frame position, and a window manager would put the inner corner
// where the frame's was asked for, the title bar above the screen's edge.
void moveFrameTo(QWidget* w, const QPoint& frameTopLeft, const QMargins& m) {
  w->setGeometry(QRect(frameTopLeft + QPoint(m.left(), m.top()), w->size()));
}

}  // namespace

QRect fitInside(const QRect& frame, const QRect& available) {
  if (available.isEmpty()) return frame;
  QRect r = frame;
  if (r.right() > available.right()) r.moveRight(available.right());
  if (r.bottom() > available.bottom()) r.moveBottom(available.bottom());
  if (r.left() < available.left()) r.moveLeft(available.left());
  if (r.top() < available.top()) r.moveTop(available.top());
  return r;
}

QRect besideOrOver(const QSize& frame, const QRect& anchorFrame, const QRect& available, int gap) {
  const QRect right(QPoint(anchorFrame.right() + 1 + gap, anchorFrame.top()), frame);
  const QRect left(QPoint(anchorFrame.left() - gap - frame.width(), anchorFrame.top()), frame);
  for (const QRect& side : {right, left}) {
    // Level with the other window, or as near as the area's height allows.
    QRect r = fitInside(side, available);
    r.moveLeft(side.left());
    if (available.isEmpty() || available.contains(r)) return r;
  }
  // No room on either side: as far right as the area allows, over it.
  return fitInside(right, available);
}

QSize fittedSize(const QSize& size, const QSize& minimum, const QMargins& frame, const QRect& available) {
  if (available.isEmpty()) return size;
  return size.boundedTo(available.size().shrunkBy(frame)).expandedTo(minimum);
}

QRect availableArea(const QWidget* window) {
  const QScreen* screen = window ? window->screen() : nullptr;
  if (!screen) screen = QGuiApplication::primaryScreen();
  return screen ? screen->availableGeometry() : QRect();
}

QMargins expectedFrameMargins(const QWidget* window) {
  if (window && isFramed(window)) return frameMarginsOf(window);
  for (const QWidget* w : QApplication::topLevelWidgets())
    if (w != window && isFramed(w)) return frameMarginsOf(w);
  // No framed window to learn from: without a window manager nothing is
  // framed, and assuming a frame only costs a few pixels.
  return kUsualFrame;
}

void placeOnShow(QWidget* window) {
  const QRect area = availableArea(window);
  if (area.isEmpty()) return;
  const QMargins m = expectedFrameMargins(window);
  // A window larger than the area gets smaller, as far as it can.
  const QSize fitted = fittedSize(window->size(), window->minimumSize(), m, area);
  if (fitted != window->size()) window->resize(fitted);
  QRect frame(window->pos(), window->size().grownBy(m));
  if (!window->testAttribute(Qt::WA_Moved)) frame.moveCenter(area.center());
  moveFrameTo(window, fitInside(frame, area).topLeft(), m);
}

void keepInside(QWidget* window) {
  const QRect area = availableArea(window);
  const QMargins m = expectedFrameMargins(window);
  const QRect frame(window->pos(), window->size().grownBy(m));
  if (area.isEmpty() || area.contains(frame)) return;
  moveFrameTo(window, fitInside(frame, area).topLeft(), m);
}

void placeBeside(QWidget* window, const QWidget* anchor) {
  const QRect area = availableArea(anchor);
  const QMargins m = expectedFrameMargins(window);
  const QRect anchorFrame = anchor->frameGeometry() == anchor->geometry()
                                ? QRect(anchor->pos(), anchor->size().grownBy(expectedFrameMargins(anchor)))
                                : anchor->frameGeometry();
  moveFrameTo(window, besideOrOver(window->size().grownBy(m), anchorFrame, area).topLeft(), m);
}

}  // namespace tavrin::ui
