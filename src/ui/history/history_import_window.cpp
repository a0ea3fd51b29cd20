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

#include "base/log.h"
#include "app/paths.h"
#include "chart/chart_data.h"
#include "ui/app/app_context.h"

namespace tavrin::ui {

namespace {

constexpr const char* kTitle = "株価履歴の取り込み";

QString number(std::size_t n) { return QString::fromStdString(groupedCount(static_cast<std::int64_t>(n))); }

QString codesText(const std::set<std::string>& codes, std::size_t max) {
  QStringList out;
  for (const std::string& c : codes) {
    if (static_cast<std::size_t>(out.size()) == max) {
      out << QStringLiteral("…");
      break;
    }
    out << QString::fromStdString(c);
  }
  return out.join(QStringLiteral(", "));
}

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
  QString failure;
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
      if (!db.tableExists("list")) throw DatabaseError("not a price database");
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
      if (askedPositions && !run.outcome.stopped) run.positions = setPositionsFromHistory(db);
    } catch (const std::exception& e) {
      logLine("history import", dbPath + ": " + e.what());
      run.failure = QString::fromStdString(e.what());
    }
    return run;
  };
  task_.start(
      work,
      [this, askedPositions](const HistoryImportRun& r) { done(r.outcome, r.positions, askedPositions, r.failure); },
      [this, dbPath, askedPositions](std::exception_ptr e) {
        const std::string what = BackgroundTask::message(e);
        logLine("history import", dbPath + ": " + what);
        done({}, {}, askedPositions, QString::fromStdString(what));
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

void HistoryImportWindow::done(const HistoryImportOutcome& o, const PositionsOutcome& positions, bool askedPositions,
                               const QString& failure) {
  setRunning(false);
  QStringList lines;
  lines << QStringLiteral("取り込み先: ") + QString::fromStdString(ctx_.state().priceDbPath);
  if (!failure.isEmpty()) {
    lines << QStringLiteral("株価データベースを開けませんでした（%1）。何も取り込んでいません。").arg(failure);
  } else {
    lines << QStringLiteral("%1 ファイルのうち %2 ファイルを取り込みました（%3 行、終値 %4 件を保存）。")
                 .arg(number(o.files), number(o.imported), number(o.lines), number(o.written));
    if (o.failed) lines << QStringLiteral("壊れているため飛ばしたファイル: %1").arg(number(o.failed));
    if (!o.unknownCodes.empty())
      lines << QStringLiteral("一覧にないため飛ばしたコード: %1（%2）")
                   .arg(number(o.unknownCodes.size()), codesText(o.unknownCodes, 20));
    if (o.stopped)
      lines << QStringLiteral("中止しました: 残りの %1 ファイルは取り込んでいません。")
                   .arg(number(o.files - o.imported - o.failed));
    if (!o.notes.empty()) {
      lines << QString() << QStringLiteral("— ファイルごとの注意 —");
      for (const HistoryFileReport& r : o.notes) {
        const QString name = QString::fromStdString(toUtf8(r.file));
        if (!r.imported)
          lines << QStringLiteral("%1: 壊れているため飛ばしました（%2）").arg(name, QString::fromStdString(r.error));
        else
          lines << QStringLiteral("%1: 一覧にないコードの %2 行を飛ばしました（%3）")
                       .arg(name, number(r.unknownLines), codesText(r.unknownCodes, 10));
      }
    }
    if (askedPositions) {
      lines << QString();
      if (o.stopped)
        lines << QStringLiteral("中止したため、登録株価と日付は変えていません。");
      else if (positions.done)
        lines << QStringLiteral(
                     "登録株価と日付を履歴の最新%1期間（%2 〜 %3）にしました: 銘柄 %4、うち最新の終値があるもの %5。")
                     .arg(positions.days.size())
                     .arg(QString::fromStdString(isoDate(positions.days.back())),
                          QString::fromStdString(isoDate(positions.days.front())), number(positions.stocks),
                          number(positions.withLatest));
      else
        lines << QStringLiteral("登録株価と日付は変えていません（%1）。").arg(QString::fromStdString(positions.detail));
    }
  }
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
