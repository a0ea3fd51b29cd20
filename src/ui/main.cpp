#include <QApplication>
#include <QStyleFactory>
#include <cstring>
#include <iostream>

#include "app/log.h"
#include "app/paths.h"
#include "ui/app/chooser_window.h"
#include "ui/common/app_context.h"
#include "ui/common/qt_prompts.h"

int main(int argc, char** argv) {
  std::optional<std::string> root;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--root") == 0 && i + 1 < argc) {
      root = argv[++i];
    } else if (std::strncmp(argv[i], "--root=", 7) == 0) {
      root = argv[i] + 7;
    } else if (std::strcmp(argv[i], "--help") == 0) {
      std::cout << "usage: tavrin [--root DIR]\n";
      return 0;
    }
  }
  QApplication app(argc, argv);
  QApplication::setStyle(QStyleFactory::create("Fusion"));
  QApplication::setQuitOnLastWindowClosed(false);
  tavrin::Paths paths(tavrin::Paths::resolveRoot(root));
  std::error_code ec;
  std::filesystem::create_directories(paths.root(), ec);
  tavrin::setLogFile(tavrin::toUtf8(paths.logFile()));
  tavrin::ui::QtPrompts prompts;
  tavrin::ui::AppContext ctx(paths, prompts);
  ctx.chooser().show();
  return QApplication::exec();
}
