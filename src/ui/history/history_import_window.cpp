#include "ui/history/history_import_window.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "app/paths.h"
#include "base/log.h"
#include "chart/chart_data.h"
#include "ui/app/app_context.h"
#include "ui/common/import_texts.h"

namespace tavrin::ui {

namespace {

constexpr const char* kTitle = "株価履歴の取り込み";

QString number(std::size_t n) { return QString::fromStdString(groupedCount(static_cast<std::int64_t>(n))); }

// The status line of a report of the import.
QString progressText(const HistoryImportProgress& p) {
  QString text = QStringLiteral("%1 / %2 ファイル、%3 行、終値 %4 件")
                     .arg(number(p.file), number(p.files), number(p.lines), number(p.written));
  if (p.file < p.files && !p.current.empty())
    text += QStringLiteral("  読み込み中: ") + QString::fromStdString(p.current);
  return text;
}

// What the import's thread hands back.
struct HistoryImportRun {
  HistoryImportOutcome outcome;
  PositionsOutcome positions;
};

}  // namespace

HistoryImportWindow::HistoryImportWindow(AppContext& ctx) : FormWindow(ctx, "HistoryImportWindow") {
  setWindowTitle(QString::fromUtf8(kTitle));
  setTitleBarCloseAllowed(true);
  auto* root = new QVBoxLayout(this);
  QLabel* help = makeLabel(
      "historyImportHelpLabel",
      QStringLiteral("ダウンロードした株価の履歴ファイル（銘柄ごとのファイル、または日ごとのCSV）を、開いている"
                     "株価データベースの履歴に取り込みます。一覧（list）にない銘柄は飛ばします。"));
  help->setWordWrap(true);
  root->addWidget(help);
  dbLabel_ = makeLabel("historyImportDbLabel", QString());
  dbLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  root->addWidget(dbLabel_);

  auto* fileRow = new QHBoxLayout;
  fileList_ = new QListWidget(this);
  fileList_->setObjectName(QStringLiteral("historyImportFileList"));
  fileList_->setMinimumHeight(90);
  chooseButton_ = makeButton("historyImportChooseButton", QStringLiteral("ファイルを選ぶ…"));
  fileRow->addWidget(fileList_, 1);
  fileRow->addWidget(chooseButton_, 0, Qt::AlignTop);
  root->addLayout(fileRow);

  positionsCheck_ = new QCheckBox(QStringLiteral("取り込んだ後、履歴の最新10期間を登録株価と日付にする"), this);
  positionsCheck_->setObjectName(QStringLiteral("historyImportSetPositionsCheck"));
  root->addWidget(positionsCheck_);

  progress_ = new QProgressBar(this);
  progress_->setObjectName(QStringLiteral("historyImportProgress"));
  progress_->setRange(0, 1);
  progress_->setValue(0);
  root->addWidget(progress_);
  statusLabel_ = makeLabel("historyImportStatusLabel", QString());
  root->addWidget(statusLabel_);

  report_ = new QPlainTextEdit(this);
  report_->setObjectName(QStringLiteral("historyImportReport"));
  report_->setReadOnly(true);
  report_->setMinimumHeight(180);
  report_->setLineWrapMode(QPlainTextEdit::NoWrap);
  root->addWidget(report_, 1);

  auto* buttons = new QHBoxLayout;
  startButton_ = makeButton("historyImportStartButton", QStringLiteral("取り込む"));
  startButton_->setEnabled(false);
  cancelButton_ = makeButton("historyImportCancelButton", QStringLiteral("中止"));
  cancelButton_->setEnabled(false);
  closeButton_ = makeButton("historyImportCloseButton", QStringLiteral("閉じる"));
  buttons->addStretch();
  buttons->addWidget(startButton_);
  buttons->addWidget(cancelButton_);
  buttons->addWidget(closeButton_);
  root->addLayout(buttons);

  connect(chooseButton_, &QPushButton::clicked, this, &HistoryImportWindow::chooseFiles);
  connect(startButton_, &QPushButton::clicked, this, &HistoryImportWindow::start);
  connect(cancelButton_, &QPushButton::clicked, this, &HistoryImportWindow::cancel);
  connect(closeButton_, &QPushButton::clicked, this, &HistoryImportWindow::closeWindow);
  connect(&task_, &BackgroundTask::progressed, this,
          [this](qint64 done, qint64, const QString& text) { showProgress(done, text); });

  chooseFilesDialog = [](QWidget* owner) {
    return QFileDialog::getOpenFileNames(owner, QString::fromUtf8(kTitle), QString(),
                                         QStringLiteral("履歴ファイル (*.csv *.txt);;すべてのファイル (*)"));
  };
  resize(640, 520);
}

HistoryImportWindow::~HistoryImportWindow() = default;

void HistoryImportWindow::showEvent(QShowEvent* event) {
  FormWindow::showEvent(event);
  if (!running()) dbLabel_->setText(QStringLiteral("取り込み先: ") + QString::fromStdString(ctx_.state().priceDbPath));
}

QString HistoryImportWindow::reportText() const { return report_->toPlainText(); }

void HistoryImportWindow::chooseFiles() {
  if (running() || !chooseFilesDialog) return;
  const QStringList chosen = chooseFilesDialog(this);
  if (!chosen.isEmpty()) setFiles(chosen);
}

void HistoryImportWindow::setFiles(const QStringList& files) {
  files_ = files;
  fileList_->clear();
  // A long list shows its first files and how many there are.
  constexpr int kShown = 500;
  for (int i = 0; i < files.size() && i < kShown; ++i) fileList_->addItem(files[i]);
  if (files.size() > kShown) fileList_->addItem(QStringLiteral("… ほか %1 ファイル").arg(files.size() - kShown));
  statusLabel_->setText(QStringLiteral("%1 ファイルを選びました").arg(number(static_cast<std::size_t>(files.size()))));
  startButton_->setEnabled(!files.isEmpty());
}

void HistoryImportWindow::setRunning(bool on) {
  startButton_->setEnabled(!on && !files_.isEmpty());
  chooseButton_->setEnabled(!on);
  positionsCheck_->setEnabled(!on);
  closeButton_->setEnabled(!on);
  cancelButton_->setEnabled(on);
}

bool HistoryImportWindow::start() {
  if (running() || files_.isEmpty()) return false;
  const std::string dbPath = ctx_.state().priceDbPath;
  dbLabel_->setText(QStringLiteral("取り込み先: ") + QString::fromStdString(dbPath));
  std::vector<std::filesystem::path> files;
  for (const QString& f : files_) files.push_back(fromUtf8(f.toStdString()));
  const bool askedPositions = positionsCheck_->isChecked();
  progress_->setRange(0, static_cast<int>(files.size()));
  progress_->setValue(0);
  report_->setPlainText(QStringLiteral("取り込んでいます…"));
  setRunning(true);

  auto work = [dbPath, files, askedPositions](TaskControl& control) {
    HistoryImportRun run;
    try {
      // The task's thread has a connection of its own; the window only hears of it.
      Database db(fromUtf8(dbPath), Database::Mode::ReadWrite);
      if (!db.tableExists("list")) {
        run.outcome.fail(HistoryImportFailure::Database, "not a price database");
        logLine("history import", dbPath + ": " + run.outcome.detail);
        return run;
      }
      QElapsedTimer sinceReport;
      sinceReport.start();
      run.outcome = importHistoryFiles(db, files, [&](const HistoryImportProgress& p) {
        // The text is made at most about twenty times a second.
        if (p.file == p.files || sinceReport.elapsed() >= 50) {
          sinceReport.restart();
          control.progress(p.file, p.files, progressText(p));
        }
        return !control.cancelled();
      });
      if (run.outcome.done() && askedPositions && !run.outcome.stopped) run.positions = setPositionsFromHistory(db);
    } catch (const std::exception& e) {
      run.outcome = HistoryImportOutcome{};
      run.outcome.fail(HistoryImportFailure::Database, e.what());
    }
    if (!run.outcome.done()) logLine("history import", dbPath + ": " + run.outcome.detail);
    return run;
  };
  task_.start(
      work, [this, askedPositions](const HistoryImportRun& r) { done(r.outcome, r.positions, askedPositions); },
      [this, dbPath, askedPositions](std::exception_ptr e) {
        const std::string what = BackgroundTask::message(e);
        logLine("history import", dbPath + ": " + what);
        HistoryImportOutcome failed;
        failed.fail(HistoryImportFailure::Database, what);
        done(failed, {}, askedPositions);
      });
  return true;
}

void HistoryImportWindow::cancel() {
  task_.cancel();
  cancelButton_->setEnabled(false);
  statusLabel_->setText(statusLabel_->text() + QStringLiteral("（中止しています…）"));
}

void HistoryImportWindow::showProgress(qint64 done, const QString& text) {
  progress_->setValue(static_cast<int>(done));
  statusLabel_->setText(task_.cancelRequested() ? text + QStringLiteral("（中止しています…）") : text);
}

void HistoryImportWindow::done(const HistoryImportOutcome& o, const PositionsOutcome& positions, bool askedPositions) {
  setRunning(false);
  const QStringList lines = historyImportReportText(ctx_.state().priceDbPath, o, positions, askedPositions);
  report_->setPlainText(lines.join(QLatin1Char('\n')));
  progress_->setValue(static_cast<int>(o.imported + o.failed));
  statusLabel_->setText(o.stopped ? QStringLiteral("中止しました") : QStringLiteral("終わりました"));
  emit finished();
}

void HistoryImportWindow::closeWindow() {
  if (running()) return;
  hide();
}

}  // namespace tavrin::ui
