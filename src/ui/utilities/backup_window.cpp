#include "ui/utilities/backup_window.h"

#include <QPushButton>
#include <QRegularExpression>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QVBoxLayout>

#include "app/paths.h"
#include "app/prompts.h"
#include "ui/app/app_context.h"
#include "ui/app/main_menu_window.h"
#include "ui/common/file_texts.h"
#include "ui/common/flex_grid.h"
#include "utilities/backup.h"

namespace tavrin::ui {

namespace {

// The design caption is laid out on two lines where its run of ideographic
// spaces stands; the caption text itself stays as it is.
QString twoLines(QString caption) {
  static const QRegularExpression run(QStringLiteral("\u3000{2,}"));
  return caption.replace(run, QStringLiteral("\n"));
}

class TwoLineButton : public QPushButton {
 public:
  using QPushButton::QPushButton;

  QSize sizeHint() const override {
    QStyleOptionButton opt;
    initStyleOption(&opt);
    const QSize text = fontMetrics().size(Qt::TextShowMnemonic, twoLines(opt.text));
    return style()->sizeFromContents(QStyle::CT_PushButton, &opt, text, this);
  }
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QStylePainter p(this);
    QStyleOptionButton opt;
    initStyleOption(&opt);
    opt.text = twoLines(opt.text);
    p.drawControl(QStyle::CE_PushButton, opt);
  }
};

}  // namespace

QString BackupWindow::designCaption() {
  // Twelve ideographic spaces break the caption into its two lines.
  return QStringLiteral("名前をつけて") + QString(12, QChar(0x3000)) + QStringLiteral("バックアップファイルの作成");
}

BackupWindow::BackupWindow(AppContext& ctx) : FormWindow(ctx, "Form2") {
  auto* root = new QVBoxLayout(this);
  command1_ = new TwoLineButton(designCaption(), this);
  command1_->setObjectName(QStringLiteral("Command1"));
  command1_->setMinimumHeight(48);
  root->addWidget(command1_);
  command4_ = makeButton("Command4", QString());
  command4_->setVisible(false);
  root->addWidget(command4_);
  command2_ = makeButton("Command2", QStringLiteral("OK"));
  root->addWidget(command2_);
  connect(command1_, &QPushButton::clicked, this, &BackupWindow::Command1_Click);
  connect(command2_, &QPushButton::clicked, this, &BackupWindow::Command2_Click);
}

void BackupWindow::makefile() {
  MessageRequest m;
  FlexGrid* grid = ctx_.mainMenu().dateGrid();
  if (!grid || grid->rows() < 2) {
    // No date record to read the unit from: the general message, no folder.
    m.lines = {backupFolderText(BackupFolderResult::NotCreated)};
    ctx_.prompts().message(m);
    return;
  }
  const BackupFolderResult folder = makeBackupFolder(ctx_.paths(), ctx_.unitWord());
  if (folder == BackupFolderResult::NoUnit) return;
  m.lines = {backupFolderText(folder)};
  ctx_.prompts().message(m);
}

void BackupWindow::Command1_Click() {
  makefile();

  InputRequest ask;
  ask.title = std::string();
  ask.promptLines = {"日付を入力してください"};
  ask.defaultAnswer = backupDateText(ctx_.now());
  const std::string dateText = ctx_.prompts().input(ask).value_or(std::string());

  const BackupOutcome r = makeBackup(ctx_.paths(), ctx_.unitWord(), dateText);
  if (r.failure == BackupFailure::UnsafeDateText) {
    MessageRequest m;
    m.icon = MessageIcon::Warning;
    m.lines = unsafeBackupDateLines(dateText);
    ctx_.prompts().message(m);
  }
  command1_->setText(r.done() ? QStringLiteral("バックアップファイル作成終わりました。") : designCaption());
  command4_->setText(QString::fromStdString(backupNoteText(r)));
  command4_->setVisible(true);
}

void BackupWindow::Command2_Click() {
  MainMenuWindow& menu = ctx_.mainMenu();
  ctx_.unload(this);
  menu.show();
  menu.activate();
}

}  // namespace tavrin::ui
