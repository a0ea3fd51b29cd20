#include "ui/app/file_select_window.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "base/log.h"
#include "ui/app/app_context.h"
#include "ui/app/main_menu_window.h"

namespace tavrin::ui {

FileSelectWindow::FileSelectWindow(AppContext& ctx) : FormWindow(ctx, "Form25") {
  setTitleBarCloseAllowed(true);
  auto* grid = new QGridLayout(this);
  grid->addWidget(makeLabel("Label1", QStringLiteral("ファイル名：")), 0, 0);
  text2_ = makeText("Text2", QStringLiteral("search"));
  grid->addWidget(text2_, 0, 1);
  text1_ = makeText("Text1");
  text1_->setMinimumWidth(360);
  grid->addWidget(text1_, 1, 0, 1, 2);
  auto* command1 = makeButton("Command1", QStringLiteral("ここをクリック"));
  // 7794374 is a colour value in blue-green-red order: RGB(198, 238, 118).
  setBackground(command1, QColor(198, 238, 118));
  grid->addWidget(command1, 1, 2);
  grid->addWidget(makeLabel("Label2", QStringLiteral(" 　　↑　　　　　　ファイルの選択")), 2, 2);
  auto* command3 = makeButton("Command3", QStringLiteral("OK"));
  grid->addWidget(command3, 3, 2);
  text1_->clear();
  connect(command1, &QPushButton::clicked, this, &FileSelectWindow::Command1_Click);
  connect(command3, &QPushButton::clicked, this, &FileSelectWindow::Command3_Click);
}

void FileSelectWindow::prepareSearch() {
  text1_->clear();
  text2_->setText(QStringLiteral("search"));
}

void FileSelectWindow::Command1_Click() {
  text1_->clear();
  if (text2_->text() != QStringLiteral("search")) {
    logLine("file selection", "unknown mode: " + text2_->text().toStdString());
    return;
  }
  std::string chosen = ctx_.openFileDialog(this, "Accessファイル(*.mdb)", "*.mdb", "ファイルを開く");
  text1_->setText(QString::fromStdString(chosen));
  MainMenuWindow& menu = ctx_.mainMenu();
  menu.setPathBox(text1_->text());
  hide();
  menu.show();
  menu.activate();
}

void FileSelectWindow::Command3_Click() {
  MainMenuWindow& menu = ctx_.mainMenu();
  ctx_.unload(this);
  menu.show();
  menu.activate();
}

}  // namespace tavrin::ui
