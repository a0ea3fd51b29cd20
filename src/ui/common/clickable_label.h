#pragma once
#include <QLabel>

class QKeyEvent;
class QMouseEvent;

namespace tavrin::ui {

// A label that reacts to a click (and, when it has the focus, to Enter and
// the space bar): the chart links, "Delta Percent ？", the transfer's start labels.
class ClickableLabel : public QLabel {
  Q_OBJECT
 public:
  using QLabel::QLabel;

 signals:
  void clicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace tavrin::ui
