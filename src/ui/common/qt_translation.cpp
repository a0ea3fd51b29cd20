#include "ui/common/qt_translation.h"

#include <QLibraryInfo>
#include <QTranslator>

#include "base/log.h"

namespace tavrin::ui {

bool installJapaneseQtTranslation(QCoreApplication& app) {
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  // The translator lives as long as the application: it is the app's child.
  auto* translator = new QTranslator(&app);
  if (!translator->load(QStringLiteral("qtbase_ja"), folder)) {
    logLine("Qt translation", "qtbase_ja.qm not found in " + folder.toStdString() + "; Qt's own texts stay in English");
    delete translator;
    return false;
  }
  QCoreApplication::installTranslator(translator);
  return true;
}

}  // namespace tavrin::ui
