#pragma once
#include <QCoreApplication>

namespace tavrin::ui {

// Loads Qt's own Japanese texts (the buttons of the standard dialogs, the
// context menus of the text fields, ...) from the translations installed with
// Qt (Debian: qt6-translations-l10n) and installs them into app. The program's
// texts are Japanese whatever the locale says, so Qt's are made to match.
// Returns false (and logs) when the translation file is not there; the
// program then shows Qt's English texts.
bool installJapaneseQtTranslation(QCoreApplication& app);

}  // namespace tavrin::ui
