#pragma once
#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace tavrin::ui {

// Where top-level windows go on the screen. Every rectangle here is a frame
// rectangle: the window with its title bar and border.

// The frame moved into the available area; a frame larger than the area
// keeps its top-left corner at the area's.
QRect fitInside(const QRect& frame, const QRect& available);

// A frame of this size beside another window: right of it, else left of it,
// when it fits there whole; otherwise inside the area, overlapping the
// other window as little as the area allows.
QRect besideOrOver(const QSize& frame, const QRect& anchorFrame, const QRect& available, int gap = 8);

// The size a window gets so that its frame fits the available area: never
// larger than it is, never below its minimum (when even the minimum does
// not fit, the frame will stick out).
QSize fittedSize(const QSize& size, const QSize& minimum, const QMargins& frame, const QRect& available);

// The room a top-level window may take on its screen.
QRect availableArea(const QWidget* window);

// The frame margins of a window the window system has not framed yet: those
// of a framed window of this process, else a usual title bar and border.
QMargins expectedFrameMargins(const QWidget* window);

// Shrinks a resizable window so that its frame fits the available area
// (never below its minimum size) and moves it inside. A window shown for the
// first time without a position of its own is centred; one that has a
// position keeps it as far as the area allows. Called just before a window
// is shown; the explicit position it leaves also tells the window system to
// keep the window where it is when it is shown again.
void placeOnShow(QWidget* window);

// Moves a shown window back inside the available area when its frame
// reaches past it.
void keepInside(QWidget* window);

// Places a window beside another one (see besideOrOver) before it is shown.
void placeBeside(QWidget* window, const QWidget* anchor);

}  // namespace tavrin::ui
