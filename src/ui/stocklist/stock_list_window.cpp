#include "ui/stocklist/stock_list_window.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>
#include <set>

#include "app/paths.h"
#include "app/prompts.h"
#include "base/log.h"
#include "ui/app/app_context.h"
#include "ui/common/import_texts.h"
#include "ui/common/message_text.h"

namespace tavrin::ui {

namespace {
constexpr const char* kTitle = "銘柄リストの更新";
}  // namespace

StockListWindow::StockListWindow(AppContext& ctx) : FormWindow(ctx, "StockListWindow") {
  setWindowTitle(QString::fromUtf8(kTitle));
  setTitleBarCloseAllowed(true);
  auto* root = new QVBoxLayout(this);
  root->addWidget(
      makeLabel("stockListHelpLabel", QStringLiteral("取引所の上場銘柄一覧（data_j.xls）から、日足・週足・月足の"
                                                     "株価データベースの銘柄を追加・更新します。")));
  auto* fileRow = new QHBoxLayout;
  fileBox_ = makeText("stockListFileBox");
  fileBox_->setReadOnly(true);
  fileBox_->setMinimumWidth(360);
  chooseButton_ = makeButton("stockListChooseButton", QStringLiteral("ファイルを選ぶ…"));
  fileRow->addWidget(fileBox_, 1);
  fileRow->addWidget(chooseButton_);
  root->addLayout(fileRow);

  fundsCheck_ = new QCheckBox(QStringLiteral("ETF・REIT・出資証券も取り込む"), this);
  fundsCheck_->setObjectName(QStringLiteral("stockListFundsCheck"));
  removeCheck_ = new QCheckBox(QStringLiteral("一覧にない（上場していない）銘柄を削除する"), this);
  removeCheck_->setObjectName(QStringLiteral("stockListRemoveCheck"));
  root->addWidget(fundsCheck_);
  root->addWidget(removeCheck_);

  report_ = new QPlainTextEdit(this);
  report_->setObjectName(QStringLiteral("stockListReport"));
  report_->setReadOnly(true);
  report_->setMinimumHeight(240);
  report_->setPlainText(QStringLiteral("ファイルを選ぶと、書き込む前に変更の内容を表示します。"));
  root->addWidget(report_, 1);

  auto* buttons = new QHBoxLayout;
  applyButton_ = makeButton("stockListApplyButton", QStringLiteral("更新する"));
  applyButton_->setEnabled(false);
  closeButton_ = makeButton("stockListCloseButton", QStringLiteral("閉じる"));
  buttons->addStretch();
  buttons->addWidget(applyButton_);
  buttons->addWidget(closeButton_);
  root->addLayout(buttons);

  connect(chooseButton_, &QPushButton::clicked, this, &StockListWindow::chooseFile);
  connect(applyButton_, &QPushButton::clicked, this, &StockListWindow::apply);
  connect(closeButton_, &QPushButton::clicked, this, &StockListWindow::closeWindow);
  // The preview follows the choices.
  connect(fundsCheck_, &QCheckBox::toggled, this, [this] {
    if (!file_.isEmpty()) preview(file_);
  });
  connect(removeCheck_, &QCheckBox::toggled, this, [this] {
    if (issues_) showPreview();
  });
}

QString StockListWindow::reportText() const { return report_->toPlainText(); }

void StockListWindow::chooseFile() {
  const std::string chosen = ctx_.openFileDialog(this, "ワークブックとCSV (*.xls *.xlsx *.ods *.csv)",
                                                 "*.xls;*.xlsx;*.ods;*.csv", "上場銘柄一覧のファイルを開く");
  if (chosen.empty()) return;
  preview(QString::fromStdString(chosen));
}

bool StockListWindow::runWork(const std::function<void()>& work, std::exception_ptr* error) {
  QPointer<StockListWindow> self(this);
  const bool applyEnabled = applyButton_->isEnabled();
  for (QWidget* w :
       std::initializer_list<QWidget*>{chooseButton_, fundsCheck_, removeCheck_, applyButton_, closeButton_})
    w->setEnabled(false);
  std::exception_ptr failure;
  task_.runAndWait([work](TaskControl&) { work(); }, [] {}, [&failure](std::exception_ptr e) { failure = e; });
  if (!self) return false;
  for (QWidget* w : std::initializer_list<QWidget*>{chooseButton_, fundsCheck_, removeCheck_, closeButton_})
    w->setEnabled(true);
  applyButton_->setEnabled(applyEnabled);
  *error = failure;
  return true;
}

StockListOutcome StockListWindow::updateOffThread(const StockListUpdateOptions& options, bool* gone) {
  StockListOutcome o;
  const std::vector<StockListTarget> targets = standardStockListTargets(ctx_.paths());
  const ListedIssues* issues = &*issues_;
  std::exception_ptr error;
  *gone = !runWork([&] { o = updateStockLists(targets, *issues, options); }, &error);
  if (error) {
    o = StockListOutcome{};
    o.fail(StockListFailure::Database, BackgroundTask::message(error));
    logLine("stock list", o.detail);
  }
  return o;
}

bool StockListWindow::preview(const QString& file) {
  if (task_.running()) return false;
  file_ = file;
  fileBox_->setText(file);
  issues_.reset();
  applyButton_->setEnabled(false);
  const std::filesystem::path path = fromUtf8(file.toStdString());
  const QString name = messageText(toUtf8(path.filename()));
  ListedIssuesOptions options;
  options.includeFunds = fundsCheck_->isChecked();
  std::optional<ListedIssues> read;
  std::exception_ptr error;
  if (!runWork([&] { read = readListedIssues(path, options); }, &error)) return false;
  if (error) {
    read.emplace();
    read->fail(ListedIssuesFailure::Unreadable, BackgroundTask::message(error));
  }
  if (!read->done()) {
    logLine("stock list", read->detail);
    report_->setPlainText(listedIssuesFailureText(read->failure, name, read->detail));
    return false;
  }
  issues_ = std::move(read);
  showPreview();
  return preview_.done();
}

void StockListWindow::showPreview() {
  if (task_.running() || !issues_) return;
  StockListUpdateOptions options;
  options.dryRun = true;
  options.removeMissing = removeCheck_->isChecked();
  bool gone = false;
  StockListOutcome o = updateOffThread(options, &gone);
  if (gone) return;
  preview_ = std::move(o);
  report_->setPlainText(stockListPreviewText(*issues_, preview_));
  applyButton_->setEnabled(preview_.done());
}

std::size_t StockListWindow::missingCodes() const {
  std::set<std::string> codes;
  for (const StockListReport& r : preview_.reports)
    for (const StockListEntry& m : r.missing) codes.insert(m.code);
  return codes.size();
}

void StockListWindow::apply() {
  if (task_.running() || !issues_ || !preview_.done()) return;
  StockListUpdateOptions options;
  options.removeMissing = removeCheck_->isChecked();
  const std::size_t missing = missingCodes();
  if (options.removeMissing && missing > 0) {
    MessageRequest ask;
    ask.title = kTitle;
    ask.icon = MessageIcon::Warning;
    ask.buttons = MessageButtons::OkCancel;
    ask.lines = {"一覧にない銘柄 " + std::to_string(missing) + " 銘柄を削除します。",
                 "削除した銘柄の株価も消えます。よろしいですか？"};
    if (ctx_.prompts().message(ask) != MessageAnswer::Ok) return;
  }
  if (const std::optional<std::vector<std::string>> older = olderListQuestion(*issues_, preview_)) {
    MessageRequest ask;
    ask.title = kTitle;
    ask.icon = MessageIcon::Warning;
    ask.buttons = MessageButtons::OkCancel;
    ask.lines = *older;
    if (ctx_.prompts().message(ask) != MessageAnswer::Ok) return;
    options.allowOlder = true;
  }
  bool gone = false;
  const StockListOutcome o = updateOffThread(options, &gone);
  if (gone) return;
  applyButton_->setEnabled(false);
  if (!o.done()) {
    MessageRequest m;
    m.title = kTitle;
    m.icon = MessageIcon::Warning;
    m.lines = stockListFailureLines(o);
    ctx_.prompts().message(m);
    report_->setPlainText(stockListAppliedText(*issues_, o));
    return;
  }
  report_->setPlainText(stockListAppliedText(*issues_, o));
  issues_.reset();
}

void StockListWindow::closeWindow() {
  // While the file or the databases are read or written the window stays
  // open, so that what the work did is seen when it ends.
  if (task_.running()) return;
  hide();
}

}  // namespace tavrin::ui
