#include "ui/utilities/memo_window.h"

#include <QMenuBar>
#include <QPlainTextEdit>
#include <QShowEvent>
#include <QVBoxLayout>

#include "base/log.h"
#include "ui/app/app_context.h"
#include "ui/common/file_texts.h"
#include "utilities/memo.h"

namespace tavrin::ui {

MemoWindow::MemoWindow(AppContext& ctx) : FormWindow(ctx, "Form7") {
  setWindowTitle(QStringLiteral("メモ帖"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* bar = new QMenuBar(this);
  QMenu* file = bar->addMenu(QStringLiteral("ファイル"));
  file->setObjectName("mnuFILE");
  QAction* save = file->addAction(QStringLiteral("保存・終了"));
  save->setObjectName("mnuSAVE");
  QAction* end = file->addAction(QStringLiteral("終了"));
  end->setObjectName("mnuEND");
  layout->setMenuBar(bar);
  text1_ = new QPlainTextEdit(this);
  text1_->setObjectName("Text1");
  text1_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  layout->addWidget(text1_);
  resize(520, 420);
  connect(save, &QAction::triggered, this, [this] { mnuSAVE_Click(); });
  connect(end, &QAction::triggered, this, [this] { mnuEND_Click(); });

  text1_->clear();
  file_ = std::make_unique<MemoFile>(ctx_.paths().memoFile());
  if (!file_->loaded().exists) logLine("memo", "no memo file at " + toUtf8(file_->path()));
  text1_->setPlainText(QString::fromStdString(file_->loaded().text));
}

MemoWindow::~MemoWindow() = default;

void MemoWindow::showEvent(QShowEvent* event) {
  FormWindow::showEvent(event);
  // A file that could not be read whole is kept as it is until the text is
  // changed; the user hears so the first time the pad is shown.
  if (!file_->damaged() || damageTold_) return;
  damageTold_ = true;
  MessageRequest m;
  m.title = "メモ帖";
  m.lines = {
      "メモのファイルを全部は読めませんでした: " + toUtf8(file_->path()), "読めなかった部分は〓にしてあります。",
      "書き換えない限り、このファイルは上書きしません。",
      "書き換えて保存するときは、元のファイルを " + toUtf8(file_->backupPath().filename()) + " として残します。"};
  m.icon = MessageIcon::Warning;
  ctx_.prompts().message(m);
}

QString MemoWindow::text() const { return text1_->toPlainText(); }
void MemoWindow::setText(const QString& text) { text1_->setPlainText(text); }

bool MemoWindow::mnuSAVE_Click() {
  const MemoSaveOutcome saved = file_->save(text1_->toPlainText().toStdString());
  if (!saved.done()) {
    logLine("memo", saved.detail);
    MessageRequest m;
    m.title = "メモ帖";
    m.lines = {memoFailureText(saved), "メモは保存されていません。"};
    m.icon = MessageIcon::Warning;
    ctx_.prompts().message(m);
    return false;
  }
  hide();
  return true;
}

}  // namespace tavrin::ui
