#include "ui/history/history_import_window.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>
#include <filesystem>

#include "app/paths.h"
#include "app/prompts.h"
#include "base/calendar.h"
#include "base/files.h"
#include "base/log.h"
#include "base/text.h"
#include "chart/chart_data.h"
#include "data/database.h"
#include "data/stock_code.h"
#include "history/price_history.h"
#include "ui/app/app_context.h"
#include "ui/common/file_texts.h"
#include "ui/common/import_texts.h"
#include "ui/common/message_text.h"

namespace tavrin::ui {

namespace {

constexpr const char* kTitle = "株価履歴の取り込み";

QString number(std::size_t n) { return QString::fromStdString(groupedCount(static_cast<std::int64_t>(n))); }

// The status line of a report of the import.
QString progressText(const HistoryImportProgress& p) {
  QString text = QStringLiteral("%1 / %2 ファイル、%3 行、終値 %4 件")
                     .arg(number(p.file), number(p.files), number(p.lines), number(p.written));
  if (p.file < p.files && !p.current.empty()) text += QStringLiteral("  読み込み中: ") + messageText(p.current);
  return text;
}

QDate today(const AppContext& ctx) {
  if (!ctx.now) return QDate::currentDate();
  const std::tm t = ctx.now();
  return QDate(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday);
}

QDateEdit* makeDateEdit(QWidget* owner, const char* name, const QDate& date) {
  auto* edit = new QDateEdit(date, owner);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
  edit->setCalendarPopup(true);
  return edit;
}

int dayOf(const QDate& date) { return dayFromCivil(date.year(), date.month(), date.day()).value_or(0); }

QDate dateOf(int day) {
  int y = 0, m = 0, d = 0;
  civilFromDay(day, y, m, d);
  return QDate(y, m, d);
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

  auto* positionsRow = new QHBoxLayout;
  positionsCheck_ = new QCheckBox(QStringLiteral("取り込んだ後、履歴の最新10期間を登録株価と日付にする"), this);
  positionsCheck_->setObjectName(QStringLiteral("historyImportSetPositionsCheck"));
  positionsDateCheck_ = new QCheckBox(QStringLiteral("日付を指定"), this);
  positionsDateCheck_->setObjectName(QStringLiteral("positionsDateCheck"));
  positionsDateCheck_->setToolTip(QStringLiteral("指定した日までの最新10期間にします"));
  positionsDateEdit_ = makeDateEdit(this, "positionsDateEdit", today(ctx));
  positionsRow->addWidget(positionsCheck_);
  positionsRow->addStretch();
  positionsRow->addWidget(positionsDateCheck_);
  positionsRow->addWidget(positionsDateEdit_);
  root->addLayout(positionsRow);

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
  // Lines wrap at the window's width: a report is read, not scrolled sideways.
  report_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  report_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  report_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  root->addWidget(report_, 1);

  removeBox_ = new QGroupBox(QStringLiteral("履歴から削除"), this);
  removeBox_->setObjectName(QStringLiteral("historyRemoveBox"));
  auto* removeLayout = new QVBoxLayout(removeBox_);
  QLabel* removeHelp =
      makeLabel("historyRemoveHelpLabel",
                QStringLiteral("コードだけ: その銘柄の全履歴　日付だけ: その日の全銘柄　両方: その銘柄のその日"));
  removeLayout->addWidget(removeHelp);
  auto* removeRow = new QHBoxLayout;
  QLabel* codeLabel = makeLabel("historyRemoveCodeLabel", QStringLiteral("コード"));
  removeCode_ = new QLineEdit(removeBox_);
  removeCode_->setObjectName(QStringLiteral("historyRemoveCode"));
  removeCode_->setMaxLength(16);
  removeCode_->setFixedWidth(removeCode_->fontMetrics().horizontalAdvance(QStringLiteral("00000000")) + 12);
  codeLabel->setBuddy(removeCode_);
  removeDayCheck_ = new QCheckBox(QStringLiteral("日付"), removeBox_);
  removeDayCheck_->setObjectName(QStringLiteral("historyRemoveDayCheck"));
  removeDay_ = makeDateEdit(removeBox_, "historyRemoveDay", today(ctx));
  removeButton_ = makeButton("historyRemoveButton", QStringLiteral("削除…"));
  removeRow->addWidget(codeLabel);
  removeRow->addWidget(removeCode_);
  removeRow->addSpacing(12);
  removeRow->addWidget(removeDayCheck_);
  removeRow->addWidget(removeDay_);
  removeRow->addStretch();
  removeRow->addWidget(removeButton_);
  removeLayout->addLayout(removeRow);
  root->addWidget(removeBox_);

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
  connect(removeButton_, &QPushButton::clicked, this, &HistoryImportWindow::removeFromHistory);
  connect(positionsCheck_, &QCheckBox::toggled, this, &HistoryImportWindow::updateEnabled);
  connect(positionsDateCheck_, &QCheckBox::toggled, this, &HistoryImportWindow::updateEnabled);
  connect(removeDayCheck_, &QCheckBox::toggled, this, &HistoryImportWindow::updateEnabled);
  connect(removeCode_, &QLineEdit::textChanged, this, &HistoryImportWindow::updateEnabled);
  connect(removeCode_, &QLineEdit::returnPressed, this, &HistoryImportWindow::removeFromHistory);
  connect(&task_, &BackgroundTask::progressed, this,
          [this](qint64 done, qint64, const QString& text) { showProgress(done, text); });

  chooseFilesDialog = [](QWidget* owner) {
    return QFileDialog::getOpenFileNames(owner, QString::fromUtf8(kTitle), QString(),
                                         QStringLiteral("履歴ファイル (*.csv *.txt);;すべてのファイル (*)"));
  };
  updateEnabled();
  resize(680, 600);
}

HistoryImportWindow::~HistoryImportWindow() = default;

void HistoryImportWindow::showEvent(QShowEvent* event) {
  FormWindow::showEvent(event);
  if (running()) return;
  dbLabel_->setText(QStringLiteral("取り込み先: ") + QString::fromStdString(ctx_.state().priceDbPath));
  followHistory();
}

void HistoryImportWindow::followHistory() {
  std::optional<int> latest;
  try {
    const std::filesystem::path file = fromUtf8(ctx_.state().priceDbPath);
    if (std::filesystem::is_regular_file(file)) {
      Database db(file, Database::Mode::ReadOnly);
      latest = latestHistoryDay(db);
    }
  } catch (const std::exception& e) {
    logLine("history window", e.what());
  }
  if (latest) {
    removeDay_->setDate(dateOf(*latest));
    positionsDateEdit_->setDate(dateOf(*latest));
  }
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
  // The report of the last run is not about these files.
  report_->clear();
  // A long list shows its first files and how many there are.
  constexpr int kShown = 500;
  for (int i = 0; i < files.size() && i < kShown; ++i) fileList_->addItem(files[i]);
  if (files.size() > kShown) fileList_->addItem(QStringLiteral("… ほか %1 ファイル").arg(files.size() - kShown));
  statusLabel_->setText(QStringLiteral("%1 ファイルを選びました").arg(number(static_cast<std::size_t>(files.size()))));
  updateEnabled();
}

void HistoryImportWindow::setRunning(bool on, bool importing) {
  running_ = on;
  importing_ = on && importing;
  updateEnabled();
}

void HistoryImportWindow::updateEnabled() {
  const bool idle = !running_;
  startButton_->setEnabled(idle && !files_.isEmpty());
  chooseButton_->setEnabled(idle);
  positionsCheck_->setEnabled(idle);
  positionsDateCheck_->setEnabled(idle && positionsCheck_->isChecked());
  positionsDateEdit_->setEnabled(idle && positionsCheck_->isChecked() && positionsDateCheck_->isChecked());
  closeButton_->setEnabled(idle);
  cancelButton_->setEnabled(importing_ && !task_.cancelRequested());
  removeCode_->setEnabled(idle);
  removeDayCheck_->setEnabled(idle);
  removeDay_->setEnabled(idle && removeDayCheck_->isChecked());
  removeButton_->setEnabled(idle && (removeDayCheck_->isChecked() || !removeCode_->text().trimmed().isEmpty()));
}

bool HistoryImportWindow::start() {
  if (running() || files_.isEmpty()) return false;
  const std::string dbPath = ctx_.state().priceDbPath;
  dbLabel_->setText(QStringLiteral("取り込み先: ") + QString::fromStdString(dbPath));
  std::vector<std::filesystem::path> files;
  for (const QString& f : files_) files.push_back(fromUtf8(f.toStdString()));
  const bool askedPositions = positionsCheck_->isChecked();
  std::optional<int> atDay;
  if (askedPositions && positionsDateCheck_->isChecked()) atDay = dayOf(positionsDateEdit_->date());
  progress_->setRange(0, static_cast<int>(files.size()));
  progress_->setValue(0);
  report_->setPlainText(QStringLiteral("取り込んでいます…"));
  setRunning(true, true);

  auto work = [dbPath, files, askedPositions, atDay](TaskControl& control) {
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
      if (run.outcome.done() && askedPositions && !run.outcome.stopped)
        run.positions = setPositionsFromHistory(db, atDay);
    } catch (const std::exception& e) {
      run.outcome = HistoryImportOutcome{};
      run.outcome.fail(HistoryImportFailure::Database, e.what());
    }
    if (!run.outcome.done()) logLine("history import", dbPath + ": " + run.outcome.detail);
    return run;
  };
  task_.start(
      work,
      [this, askedPositions, atDay](const HistoryImportRun& r) { done(r.outcome, r.positions, askedPositions, atDay); },
      [this, dbPath, askedPositions, atDay](std::exception_ptr e) {
        const std::string what = BackgroundTask::message(e);
        logLine("history import", dbPath + ": " + what);
        HistoryImportOutcome failed;
        failed.fail(HistoryImportFailure::Database, what);
        done(failed, {}, askedPositions, atDay);
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
                               std::optional<int> atDay) {
  setRunning(false);
  const QStringList lines = historyImportReportText(ctx_.state().priceDbPath, o, positions, askedPositions, atDay);
  report_->setPlainText(lines.join(QLatin1Char('\n')));
  progress_->setValue(static_cast<int>(o.imported + o.failed));
  statusLabel_->setText(o.stopped ? QStringLiteral("中止しました") : QStringLiteral("終わりました"));
  followHistory();
  if (!o.incompleteDays.empty()) removeDay_->setDate(dateOf(o.incompleteDays.back().day));
  if (positions.done() && !positions.days.empty()) positionsDateEdit_->setDate(dateOf(positions.days.front()));
  emit finished();
}

bool HistoryImportWindow::removeFromHistory() {
  if (running()) return false;
  std::optional<std::string> codeKey;
  const std::string typed = removeCode_->text().toStdString();
  if (!trimmed(typed).empty()) {
    codeKey = typedCodeOrWarning(ctx_.prompts(), kTitle, typed);
    if (!codeKey) return false;
    removeCode_->setText(QString::fromStdString(*codeKey));
  }
  std::optional<int> day;
  if (removeDayCheck_->isChecked()) day = dayOf(removeDay_->date());
  if (!codeKey && !day) {
    RemovalOutcome nothing;
    nothing.fail(RemovalFailure::NothingChosen, "neither a day nor a stock given");
    report_->setPlainText(historyRemovalText(nothing, day, codeKey));
    return false;
  }

  MessageRequest ask;
  ask.title = kTitle;
  ask.icon = MessageIcon::Warning;
  ask.buttons = MessageButtons::OkCancel;
  ask.lines = {historyRemovalQuestion(day, codeKey).toStdString()};
  if (ctx_.prompts().message(ask) != MessageAnswer::Ok) return false;

  const std::string dbPath = ctx_.state().priceDbPath;
  report_->setPlainText(QStringLiteral("履歴から削除しています…"));
  setRunning(true, false);
  auto work = [dbPath, day, codeKey](TaskControl&) {
    RemovalOutcome out;
    try {
      Database db(fromUtf8(dbPath), Database::Mode::ReadWrite);
      if (!db.tableExists("list")) {
        out.fail(RemovalFailure::Database, "not a price database");
      } else {
        std::optional<Value> code;
        if (codeKey) {
          // The history keeps a stock under the value list stores its code as.
          const auto codes = listCodes(db);
          const auto it = codes.find(*codeKey);
          code = it != codes.end() ? it->second : historyCodeValue(*codeKey);
        }
        out = tavrin::removeFromHistory(db, day, code);
      }
    } catch (const std::exception& e) {
      out = RemovalOutcome{};
      out.fail(RemovalFailure::Database, e.what());
    }
    if (!out.done()) logLine("history removal", dbPath + ": " + out.detail);
    return out;
  };
  task_.start(
      work, [this, day, codeKey](const RemovalOutcome& o) { removalDone(o, day, codeKey); },
      [this, dbPath, day, codeKey](std::exception_ptr e) {
        RemovalOutcome failed;
        failed.fail(RemovalFailure::Database, BackgroundTask::message(e));
        logLine("history removal", dbPath + ": " + failed.detail);
        removalDone(failed, day, codeKey);
      });
  return true;
}

void HistoryImportWindow::removalDone(const RemovalOutcome& o, std::optional<int> day,
                                      const std::optional<std::string>& codeKey) {
  setRunning(false);
  report_->setPlainText(historyRemovalText(o, day, codeKey));
  if (o.bars > 0) followHistory();
  statusLabel_->setText(!o.done()    ? QStringLiteral("削除できませんでした")
                        : o.bars > 0 ? QStringLiteral("履歴から削除しました")
                                     : QStringLiteral("削除するものはありませんでした"));
}

void HistoryImportWindow::closeWindow() {
  if (running()) return;
  hide();
}

}  // namespace tavrin::ui
