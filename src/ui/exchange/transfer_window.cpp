#include "ui/exchange/transfer_window.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>
#include <filesystem>

#include "app/paths.h"
#include "base/log.h"
#include "ui/app/app_context.h"
#include "ui/app/main_menu_window.h"
#include "ui/common/file_texts.h"
#include "ui/common/flex_grid.h"

namespace tavrin::ui {

namespace {
const QString kStartCaption = QStringLiteral("ここから始めます");
const QString kDoneCaption = QStringLiteral("登録　完了しました");
// How often a running transfer repaints its counter.
constexpr qint64 kPaintIntervalMs = 40;
}  // namespace

TransferWindow::TransferWindow(AppContext& ctx) : FormWindow(ctx, "Form3") {
  auto* root = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  command3_ = makeButton("Command3", QStringLiteral("OK"));
  top->addWidget(command3_);
  auto startLabel = [this](const char* name) {
    auto* l = new ClickableLabel(kStartCaption, this);
    l->setObjectName(QString::fromLatin1(name));
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Raised);
    l->setMargin(4);
    l->setCursor(Qt::PointingHandCursor);
    return l;
  };
  label4_ = startLabel("Label4");
  label3_ = startLabel("Label3");
  label3_->setVisible(false);
  top->addWidget(label4_);
  top->addWidget(label3_);
  text2_ = makeText("Text2");
  text2_->setMaximumWidth(90);
  top->addWidget(text2_);
  text5_ = makeText("Text5");
  text5_->setMaximumWidth(90);
  top->addWidget(text5_);
  top->addStretch(1);
  root->addLayout(top);

  auto* senderHead = new QHBoxLayout;
  senderHead->addWidget(makeLabel("Label1", QStringLiteral("Tavrinのリスト（送り手側）")));
  text3_ = makeText("Text3");
  senderHead->addWidget(text3_, 1);
  root->addLayout(senderHead);
  grid1_ = new FlexGrid(this);
  grid1_->setObjectName("MSFlexGrid1");
  root->addWidget(grid1_, 1);

  auto* receiverHead = new QHBoxLayout;
  receiverHead->addWidget(makeLabel("Label2", QStringLiteral("Orvelのリスト（受け手側））")));
  text4_ = makeText("Text4");
  receiverHead->addWidget(text4_, 1);
  root->addLayout(receiverHead);
  grid2_ = new FlexGrid(this);
  grid2_->setObjectName("MSFlexGrid2");
  root->addWidget(grid2_, 1);
  resize(760, 620);

  connect(command3_, &QPushButton::clicked, this, &TransferWindow::Command3_Click);
  connect(label4_, &ClickableLabel::clicked, this, &TransferWindow::Label4_Click);
  connect(label3_, &ClickableLabel::clicked, this, &TransferWindow::Label3_Click);
}

void TransferWindow::setModeKeyword(const QString& keyword) { text5_->setText(keyword); }
QString TransferWindow::modeKeyword() const { return text5_->text(); }

bool TransferWindow::event(QEvent* e) {
  if (e->type() == QEvent::WindowActivate) activate();
  return FormWindow::event(e);
}

void TransferWindow::loadGrid(FlexGrid* grid, DataView& view) {
  grid->setRedraw(false);
  grid->setContent(view.fields(), view.rows());
  grid->setRedraw(true);
}

TransferWindow::~TransferWindow() {
  if (prepared_) discardPreparedCompanion(*prepared_);
}

void TransferWindow::setPreparedCompanion(CompanionMode mode, std::optional<PreparedCompanion> prepared) {
  if (prepared_) discardPreparedCompanion(*prepared_);
  preparedMode_ = mode;
  prepared_ = std::move(prepared);
}

void TransferWindow::activate() {
  // A running transfer lets the window system in between rows; coming back
  // to the window then must not reopen the lists under it.
  if (running_) return;
  ctx_.mainMenu().hide();

  const std::string& dbPath = ctx_.state().priceDbPath;
  data1_.setDatabaseName(dbPath);
  text3_->setText(QString::fromStdString(dbPath));
  data1_.setRecordSource("select * from [list]");
  if (!data1_.refresh()) data1_.clear();
  loadGrid(grid1_, data1_);

  if (auto mode = companionModeFromKeyword(text5_->text().toStdString())) {
    const std::filesystem::path target = companionFile(ctx_.paths(), *mode);
    std::filesystem::path file = target;
    if (preparedMode_ == *mode) file = prepared_ ? prepared_->writeTo : std::filesystem::path();
    data2_.setDatabaseName(toUtf8(file));
    std::error_code ec;
    if (!file.empty() && std::filesystem::is_regular_file(file, ec)) {
      text4_->setText(QString::fromStdString(toUtf8(target)));
      // A writable opening rolls back a transfer that was interrupted, which
      // the read-only list view could not do itself.
      try {
        Database recover(file, Database::Mode::ReadWrite);
      } catch (const std::exception& e) {
        logLine("transfer window", e.what());
      }
    }
    if (*mode == CompanionMode::WDivuzi) {
      label4_->setVisible(false);
      label3_->setVisible(true);
    } else {
      label4_->setVisible(true);
      label3_->setVisible(false);
    }
  }
  data2_.setRecordSource("select * from [list]");
  companionOpen_ = !data2_.databaseName().empty() && data2_.refresh();
  if (!companionOpen_) data2_.clear();
  loadGrid(grid2_, data2_);
}

void TransferWindow::Label4_Click() { runTransfer(true); }
void TransferWindow::Label3_Click() { runTransfer(false); }

void TransferWindow::runTransfer(bool completionSign) {
  if (running_) return;
  if (!companionOpen_) {
    // Nothing to visit: say why, and end at once.
    MessageRequest m;
    m.icon = MessageIcon::Information;
    TransferFailure why = TransferFailure::NoCompanionList;
    std::error_code ec;
    if (!data2_.databaseName().empty() && std::filesystem::exists(fromUtf8(data2_.databaseName()), ec)) {
      try {
        Database probe(fromUtf8(data2_.databaseName()), Database::Mode::ReadOnly);
      } catch (const std::exception&) {
        why = TransferFailure::CompanionUnavailable;
        m.icon = MessageIcon::Warning;
      }
    }
    m.lines = {transferFailureText(why), "転送は行いませんでした。"};
    if (!data2_.databaseName().empty()) m.lines.push_back(data2_.databaseName());
    ctx_.prompts().message(m);
    return;
  }

  running_ = true;
  command3_->setEnabled(false);  // OK must not unload the window while the transfer runs
  QElapsedTimer sincePaint;
  sincePaint.start();
  // Each row's report, on this thread.
  auto progress = [this, &sincePaint](const TransferProgress& p) {
    if (progressHook) progressHook(p);
    if (sincePaint.elapsed() < kPaintIntervalMs) return;
    if (p.counted > 0) text2_->setText(QString::number(p.counted));
    sincePaint.restart();
  };
  // A prepared copy is written and put in place; any other file in place.
  PreparedCompanion into;
  into.target = into.writeTo = fromUtf8(data2_.databaseName());
  const bool draft = prepared_ && prepared_->writeTo == into.writeTo;
  const std::filesystem::path sender = fromUtf8(data1_.databaseName());
  struct Run {
    TransferOutcome result;
    PreparedCompanion companion;
  };
  Run run;
  run.companion = draft ? *prepared_ : into;
  QPointer<TransferWindow> self(this);
  // The rows' reports reach this thread at the paint interval (every one when
  // a hook watches them): a report per row would cost more than the transfer.
  const bool everyRow = static_cast<bool>(progressHook);
  task_.runAndWait(
      [sender, companion = run.companion, show = &progress, everyRow](TaskControl& control) mutable {
        Run done;
        QElapsedTimer sincePost;
        sincePost.start();
        // Each report runs on the window's thread before runAndWait returns, while progress lives.
        done.result = transferToPrepared(sender, companion, [&](const TransferProgress& p) {
          if (!everyRow && sincePost.elapsed() < kPaintIntervalMs) return;
          sincePost.restart();
          control.post([show, p] { (*show)(p); });
        });
        done.companion = companion;
        return done;
      },
      [&run](Run done) { run = std::move(done); },
      [&run](std::exception_ptr e) {
        run.result.fail(TransferFailure::CompanionUnavailable, BackgroundTask::message(e));
        logLine("transfer window", run.result.detail);
      });
  if (!self) return;
  const TransferOutcome& r = run.result;
  if (draft) *prepared_ = run.companion;
  if (draft && !prepared_->isDraft()) data2_.setDatabaseName(toUtf8(prepared_->target));
  running_ = false;
  command3_->setEnabled(true);

  if (!r.done()) {
    MessageRequest m;
    m.icon = MessageIcon::Warning;
    m.lines = {transferFailureText(r.failure), "転送は行いませんでした。",
               toUtf8(draft ? prepared_->target : into.target)};
    ctx_.prompts().message(m);
    return;
  }
  if (r.counted > 0) text2_->setText(QString::number(r.counted));

  if (!data2_.refresh()) data2_.clear();
  loadGrid(grid2_, data2_);
  data1_.setDatabaseName(ctx_.state().priceDbPath);
  data1_.setRecordSource("select * from [日付]");
  if (!data1_.refresh()) data1_.clear();
  loadGrid(grid1_, data1_);
  data2_.setRecordSource("select * from [日付]");
  if (!data2_.refresh()) data2_.clear();
  loadGrid(grid2_, data2_);

  if (completionSign) {
    label4_->setText(kDoneCaption);
    label4_->setVisible(true);
    text4_->setVisible(true);
  }
}

void TransferWindow::Command3_Click() {
  if (running_) return;
  // A copy that no transfer has put in place is of no further use.
  if (prepared_) discardPreparedCompanion(*prepared_);
  prepared_.reset();
  MainMenuWindow& menu = ctx_.mainMenu();
  ctx_.unload(this);
  menu.show();
  menu.activate();
}

}  // namespace tavrin::ui
