#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QStyleFactory>
#include <iostream>

#include "app/paths.h"
#include "base/log.h"
#include "tavrin_version.h"
#include "ui/app/app_context.h"
#include "ui/app/chooser_window.h"
#include "ui/common/app_identity.h"
#include "ui/common/qt_prompts.h"
#include "ui/common/qt_translation.h"

namespace {

QStringList argumentList(int argc, char** argv) {
  QStringList list;
  for (int i = 0; i < argc; ++i) list << QString::fromLocal8Bit(argv[i]);
  return list;
}

bool hasDisplay() {
  return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
         !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication::setApplicationName(QStringLiteral("tavrin"));
  QCoreApplication::setApplicationVersion(QString::fromUtf8(tavrin::kVersion));

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Tavrin: follows the price trends of Japanese stocks."));
  const QCommandLineOption helpOption = parser.addHelpOption();
  const QCommandLineOption versionOption = parser.addVersionOption();
  const QCommandLineOption rootOption(
      QStringLiteral("root"), QStringLiteral("The data folder (default: $TAVRIN_ROOT, else ~/.local/share/Zentavo)."),
      QStringLiteral("DIR"));
  parser.addOption(rootOption);

  // The version and the help need no window: they are answered before the
  // application (and its display connection) exists.
  QStringList early = argumentList(argc, argv);
  parser.parse(early);
  if (parser.isSet(versionOption)) {
    std::cout << "tavrin " << tavrin::kVersion << "\n";
    return 0;
  }
  const bool help = parser.isSet(helpOption) || early.contains(QStringLiteral("--help-all"));
  if (help && !hasDisplay()) qputenv("QT_QPA_PLATFORM", "offscreen");

  QApplication app(argc, argv);
  // --help lists Qt's own options (-platform, -style, ...) as well as ours.
  QStringList arguments = QCoreApplication::arguments();
  for (QString& a : arguments) {
    if (a == QStringLiteral("--help") || a == QStringLiteral("-h") || a == QStringLiteral("-?")) {
      a = QStringLiteral("--help-all");
    }
  }
  parser.process(arguments);

  std::optional<std::string> root;
  if (parser.isSet(rootOption)) root = QFile::encodeName(parser.value(rootOption)).toStdString();

  tavrin::ui::applyApplicationIdentity();
  QApplication::setStyle(QStyleFactory::create("Fusion"));
  QApplication::setQuitOnLastWindowClosed(false);
  tavrin::Paths paths(tavrin::Paths::resolveRoot(root));
  std::error_code ec;
  std::filesystem::create_directories(paths.root(), ec);
  tavrin::setLogFile(tavrin::toUtf8(paths.logFile()));
  // Qt's own texts (dialog buttons, text field menus) in Japanese like ours.
  tavrin::ui::installJapaneseQtTranslation(app);
  tavrin::ui::QtPrompts prompts;
  tavrin::ui::AppContext ctx(paths, prompts);
  ctx.chooser().show();
  return QApplication::exec();
}
