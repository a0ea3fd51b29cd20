#include "ui/common/text_fit.h"

#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>
#include <algorithm>

namespace tavrin::ui {

int textBoxWidthFor(const QLineEdit* box, const QString& text) {
  const QFontMetrics fm = box->fontMetrics();
  const QMargins tm = box->textMargins();
  // The line edit keeps 2 pixels each side of the text and 1 for the cursor.
  const int inner = fm.horizontalAdvance(text) + 2 * 2 + 1 + tm.left() + tm.right();
  QStyleOptionFrame opt;
  opt.initFrom(box);
  opt.lineWidth = box->hasFrame() ? box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, box) : 0;
  opt.midLineWidth = 0;
  opt.state |= QStyle::State_Sunken;
  const QSize outer = box->style()->sizeFromContents(QStyle::CT_LineEdit, &opt, QSize(inner, fm.height()), box);
  return std::max(outer.width(), inner);
}

void keepTextBoxWideEnough(QLineEdit* box, const QString& sample) {
  auto fit = [box, sample] {
    box->setMinimumWidth(std::max(textBoxWidthFor(box, box->text()), textBoxWidthFor(box, sample)));
  };
  QObject::connect(box, &QLineEdit::textChanged, box, fit);
  fit();
}

}  // namespace tavrin::ui
