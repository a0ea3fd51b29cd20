#pragma once
#include <QString>

class QLineEdit;

namespace tavrin::ui {

// The width a text box needs to show this text whole in its own font, with
// its frame and margins.
int textBoxWidthFor(const QLineEdit* box, const QString& text);

// Keeps a text box at least as wide as the text it holds, whatever it is
// set to later, and never narrower than `sample` (its widest usual text).
void keepTextBoxWideEnough(QLineEdit* box, const QString& sample = {});

}  // namespace tavrin::ui
