// Renders the windows on a data root to PNG files for the documentation:
//   screenshots --root DIR --out DIR
#include <QApplication>
#include <QFont>
#include <QPixmap>
#include <QStyleFactory>
#include <cstring>
#include <iostream>

#include "app/paths.h"
#include "ui/app/main_menu_window.h"
#include "ui/common/app_context.h"
#include "ui/common/qt_prompts.h"

int main(int argc, char** argv) {
  std::string root, out = ".";
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--root") == 0) root = argv[i + 1];
    if (std::strcmp(argv[i], "--out") == 0) out = argv[i + 1];
  }
  if (root.empty()) {
    std::cerr << "usage: screenshots --root DIR [--out DIR]\n";
    return 2;
  }
  QApplication app(argc, argv);
  QApplication::setStyle(QStyleFactory::create("Fusion"));
  QApplication::setFont(QFont("Noto Sans CJK JP", 9));
  tavrin::Paths paths{std::filesystem::path(root)};
  tavrin::ui::QtPrompts prompts;
  tavrin::ui::AppContext ctx(paths, prompts);
  auto& menu = ctx.mainMenu();
  menu.setPathBox(QString::fromStdString(tavrin::toUtf8(paths.dailyDb())));
  menu.show();
  menu.activate();
  menu.adjustSize();
  QApplication::processEvents();
  const QString file = QString::fromStdString(out) + "/main-menu.png";
  if (!menu.grab().save(file)) {
    std::cerr << "cannot write " << file.toStdString() << "\n";
    return 1;
  }
  std::cout << file.toStdString() << "\n";
  return 0;
}
