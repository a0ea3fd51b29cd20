#include "ui/backtest/backtest_window.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <chrono>

#include "app/paths.h"
#include "backtest/backtest.h"
#include "base/log.h"
#include "base/text.h"
#include "data/price_schema.h"
#include "history/price_history.h"
#include "screening/pattern_catalogue.h"
#include "ui/app/app_context.h"
#include "ui/backtest/hit_rows.h"
#include "ui/chart/chart_entries.h"
#include "ui/common/backtest_texts.h"
#include "ui/common/flex_grid.h"

namespace tavrin::ui {

namespace {

// The unit word's suffix: "日", "週", "月".
QString unitSuffixOf(const std::string& unitWord) {
  if (unitWord == "day") return QStringLiteral("日");
  if (unitWord == "week") return QStringLiteral("週");
  if (unitWord == "month") return QStringLiteral("月");
  return QStringLiteral("期");
}

}  // namespace

// One run: its parameters and what it found. The task's thread fills it;
// the window reads it once the run has been delivered.
struct BacktestJob {
  int universeIndex = 1;
  std::string dbPath;
  std::vector<std::string> watchCodes;
  std::string unitWord;
  backtest::HistoryPanel panel;
  backtest::BacktestResult result;
  std::string error;
  double seconds = 0;

  void run(TaskControl& control) {
    const auto t0 = std::chrono::steady_clock::now();
    try {
      panel = backtest::loadHistoryPanel(fromUtf8(dbPath));
      if (panel.days.size() < 10) {
        error = "価格履歴が " + std::to_string(panel.days.size()) + " 日分しかありません（10 日分以上が必要です）";
        return;
      }
      backtest::BacktestRequest request;
      request.universeIndex = universeIndex;
      request.watchCodes = watchCodes;
      request.unitWord = unitWord;
      request.horizons = BacktestWindow::horizons();
      if (const std::optional<int> h = backtest::horizonBeyondHistory(panel, request)) {
        error = horizonBeyondHistoryText(*h, *backtest::longestHorizon(panel, request),
                                         QString::fromStdString(isoDate(*backtest::firstTestedDay(panel, request))),
                                         unitSuffixOf(unitWord))
                    .toStdString();
        return;
      }
      result = backtest::runBacktest(panel, request, [&control](std::size_t d, std::size_t t) {
        control.progress(d, t);
        return !control.cancelled();
      });
    } catch (const std::exception& e) {
      error = e.what();
    }
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  }
};

namespace {

QString text(const std::string& s) { return QString::fromStdString(s); }

Value number(const std::optional<double>& v) { return Value(backtest::formatNumber(v)); }

// The key of the summary's baseline row (patternAt).
constexpr const char* kBaselineKey = "baseline";

}  // namespace

const std::vector<int>& BacktestWindow::horizons() {
  static const std::vector<int> h = {1, 5, 10};
  return h;
}

BacktestWindow::BacktestWindow(AppContext& ctx) : FormWindow(ctx, "BacktestWindow") {
  setWindowTitle(QStringLiteral("パターンのバックテスト"));
  setTitleBarCloseAllowed(true);
  resize(1000, 660);
  auto* root = new QVBoxLayout(this);

  auto* top = new QHBoxLayout;
  universeLabel_ = makeLabel("backtestUniverseLabel", QString());
  runButton_ = makeButton("backtestRunButton", QStringLiteral("実行"));
  cancelButton_ = makeButton("backtestCancelButton", QStringLiteral("中止"));
  cancelButton_->setEnabled(false);
  progress_ = new QProgressBar(this);
  progress_->setObjectName(QStringLiteral("backtestProgress"));
  progress_->setRange(0, 1);
  progress_->setValue(0);
  progress_->setMaximumWidth(220);
  top->addWidget(universeLabel_, 1);
  top->addWidget(progress_);
  top->addWidget(runButton_);
  top->addWidget(cancelButton_);
  root->addLayout(top);

  status_ = makeLabel("backtestStatusLabel",
                      QStringLiteral("パターンごとに、過去の各日付で条件を満たした銘柄のその後の騰落率を集計します。"));
  status_->setWordWrap(true);
  root->addWidget(status_);

  summary_ = new FlexGrid(this);
  summary_->setObjectName(QStringLiteral("backtestSummaryGrid"));
  summary_->setMinimumHeight(200);
  root->addWidget(summary_, 3);

  hitsLabel_ = makeLabel("backtestHitsLabel", QStringLiteral("パターンを選ぶと、ヒットした日付と銘柄を表示します。"));
  root->addWidget(hitsLabel_);
  hits_ = new FlexGrid(this);
  hits_->setObjectName(QStringLiteral("backtestHitGrid"));
  hits_->setMinimumHeight(140);
  root->addWidget(hits_, 2);

  auto* bottom = new QHBoxLayout;
  chartButton_ = makeButton("backtestChartButton", QStringLiteral("チャートを開く"));
  closeButton_ = makeButton("backtestCloseButton", QStringLiteral("閉じる"));
  bottom->addWidget(makeLabel("backtestHintLabel", QStringLiteral("銘柄をダブルクリック ⇒ チャート")));
  bottom->addStretch();
  bottom->addWidget(chartButton_);
  bottom->addWidget(closeButton_);
  root->addLayout(bottom);

  connect(&task_, &BackgroundTask::progressed, this,
          [this](qint64 done, qint64 total, const QString&) { showProgress(done, total); });
  connect(runButton_, &QPushButton::clicked, this, &BacktestWindow::start);
  connect(cancelButton_, &QPushButton::clicked, this, &BacktestWindow::cancel);
  connect(closeButton_, &QPushButton::clicked, this, &BacktestWindow::closeWindow);
  connect(chartButton_, &QPushButton::clicked, this, &BacktestWindow::openSelectedChart);
  connect(summary_, &FlexGrid::cellEntered, this, &BacktestWindow::summaryRowEntered);
  connect(summary_, &FlexGrid::headerClicked, this, [this](int c) { sortOnHeader(summary_, c); });
  connect(hits_, &FlexGrid::headerClicked, this, [this](int c) { sortOnHeader(hits_, c); });
  connect(hits_, &FlexGrid::doubleClicked, this, &BacktestWindow::openSelectedChart);
}

BacktestWindow::~BacktestWindow() = default;

QString BacktestWindow::unitSuffix() const { return unitSuffixOf(unitWord_); }

QString BacktestWindow::statusText() const { return status_->text(); }

bool BacktestWindow::running() const { return task_.running(); }

void BacktestWindow::openFor(int universeIndex, const std::string& dbPath, const std::vector<std::string>& watchCodes,
                             const std::string& unitWord) {
  const bool same = shown_ && shown_->universeIndex == universeIndex && shown_->dbPath == dbPath &&
                    shown_->watchCodes == watchCodes && shown_->unitWord == unitWord;
  universeIndex_ = universeIndex;
  dbPath_ = dbPath;
  watchCodes_ = watchCodes;
  unitWord_ = unitWord;
  const UniverseInfo* u = universeByIndex(universeIndex);
  universeLabel_->setText(QStringLiteral("対象: %1（%2）")
                              .arg(u ? QString::fromUtf8(u->windowCaption) : QString::number(universeIndex + 1000),
                                   text(toUtf8(fromUtf8(dbPath).filename()))));
  if (!same && !running()) start();
}

void BacktestWindow::start() {
  if (running() || dbPath_.empty()) return;
  auto job = std::make_shared<BacktestJob>();
  job->universeIndex = universeIndex_;
  job->dbPath = dbPath_;
  job->watchCodes = watchCodes_;
  job->unitWord = unitWord_;
  runButton_->setEnabled(false);
  cancelButton_->setEnabled(true);
  progress_->setRange(0, 0);  // busy while the history is read
  status_->setText(QStringLiteral("価格履歴を読んでいます…"));
  task_.start([job](TaskControl& control) { job->run(control); }, [this, job] { finished(job, {}); },
              [this, job](std::exception_ptr e) { finished(job, BackgroundTask::message(e)); });
}

void BacktestWindow::cancel() {
  if (!running()) return;
  task_.cancel();
  status_->setText(QStringLiteral("中止しています…"));
}

bool BacktestWindow::waitForRun(int timeoutMs) { return task_.wait(timeoutMs); }

void BacktestWindow::showProgress(qint64 done, qint64 total) {
  if (!running() || total == 0 || task_.cancelRequested()) return;
  progress_->setRange(0, static_cast<int>(total));
  progress_->setValue(static_cast<int>(done));
  status_->setText(QStringLiteral("計算中… %1 / %2 日").arg(done).arg(total));
}

void BacktestWindow::finished(const std::shared_ptr<BacktestJob>& job, const std::string& failure) {
  if (!failure.empty() && job->error.empty()) job->error = failure;
  const bool cancelled = task_.cancelRequested();
  runButton_->setEnabled(true);
  cancelButton_->setEnabled(false);
  progress_->setRange(0, 1);
  progress_->setValue(cancelled ? 0 : 1);
  if (cancelled || job->result.cancelled) {
    status_->setText(QStringLiteral("中止しました。"));
  } else if (!job->error.empty()) {
    logLine("backtest", job->error);
    status_->setText(QStringLiteral("バックテストできませんでした: %1").arg(text(job->error)));
  } else {
    shown_ = job;
    fillSummary();
    const auto& r = job->result;
    const auto& days = job->panel.days;
    QString range;
    if (!r.dates.empty())
      range =
          QStringLiteral("（%1 ～ %2）").arg(text(isoDate(days[r.dates.front()])), text(isoDate(days[r.dates.back()])));
    status_->setText(
        QStringLiteral("%1 日%2、%3 銘柄、%4 秒。平均・中央値は %5 後の騰落率（%）、勝率は上昇した割合（%）。")
            .arg(r.dates.size())
            .arg(range)
            .arg(job->panel.stocks.size())
            .arg(job->seconds, 0, 'f', 2)
            .arg(QStringLiteral("1・5・10 ") + unitSuffix()));
  }
  emit runFinished();
}

void BacktestWindow::fillSummary() {
  const auto& catalogue = screening::patternCatalogue();
  const QString u = unitSuffix();
  std::vector<std::string> fields = {"パターン", "グループ", "ヒット"};
  for (int h : horizons()) {
    const std::string p = std::to_string(h) + u.toStdString() + "後 ";
    for (const char* t : {"件数", "平均%", "中央値%", "勝率%"}) fields.push_back(p + t);
  }
  // Each row ends with the pattern's control name, kept with the row and
  // not shown (patternAt).
  std::vector<Row> rows;
  const auto& r = shown_->result;
  for (const backtest::PatternResult& p : r.patterns) {
    const screening::ScreeningPattern& sp = catalogue[p.pattern];
    Row row = {Value(sp.caption), Value(screening::groupCaption(sp)), Value(static_cast<std::int64_t>(p.hits.size()))};
    for (const backtest::ReturnStats& s : p.stats) {
      row.push_back(Value(static_cast<std::int64_t>(s.events)));
      row.push_back(number(s.mean));
      row.push_back(number(s.median));
      row.push_back(number(s.win));
    }
    row.push_back(Value(sp.control));
    rows.push_back(std::move(row));
  }
  Row base = {Value("基準（全銘柄）"), Value(), Value()};
  for (const backtest::ReturnStats& s : r.baseline) {
    base.push_back(Value(static_cast<std::int64_t>(s.events)));
    base.push_back(number(s.mean));
    base.push_back(number(s.median));
    base.push_back(number(s.win));
  }
  base.push_back(Value(kBaselineKey));
  rows.push_back(std::move(base));
  summary_->setContent(fields, std::move(rows));
  // The pointer over a pattern's caption names its button.
  for (int row = 1; row < summary_->rows(); ++row) {
    const QString control = patternAt(row);
    if (control != QLatin1String(kBaselineKey)) summary_->setCellToolTip(row, 1, control);
  }
  const int widths[] = {150, 900, 1300, 800};
  for (int c = 0; c < summary_->cols(); ++c) {
    summary_->setColWidth(c, c < 4 ? widths[c] : 1150);
    if (c > 0) summary_->setColFitsContents(c);
  }
  sortCol_[0] = -1;
  shownPattern_.clear();
  hits_->clear();
  hitsLabel_->setText(QStringLiteral("パターンを選ぶと、ヒットした日付と銘柄を表示します。"));
}

QString BacktestWindow::patternAt(int row) const {
  const Row* values = summary_->rowValues(row);
  if (!values || values->empty() || !values->back().isText()) return {};
  return QString::fromStdString(values->back().textValue());
}

bool BacktestWindow::showPattern(const QString& control) {
  if (!shown_) return false;
  const auto& catalogue = screening::patternCatalogue();
  const backtest::PatternResult* found = nullptr;
  for (const backtest::PatternResult& p : shown_->result.patterns)
    if (control == QLatin1String(catalogue[p.pattern].control)) found = &p;
  if (!found) return false;
  const QString u = unitSuffix();
  std::vector<std::string> fields = {"日付", "コード", "銘柄", "市場", "終値"};
  for (int h : horizons()) fields.push_back(std::to_string(h) + u.toStdString() + "後%");
  // A pattern may have a million hits: the rows are made when shown.
  hits_->setRows(fields, std::make_shared<HitRows>(shown_, shown_->panel, found->hits, horizons()));
  // Fixed widths, for the same reason.
  const int widths[] = {150, 1300, 800, 2300, 1800, 1000};
  for (int c = 0; c < hits_->cols(); ++c) hits_->setColWidth(c, c < 6 ? widths[c] : 900);
  sortCol_[1] = -1;
  shownPattern_ = control;
  const screening::ScreeningPattern& sp = catalogue[found->pattern];
  // The button as the panel names it; its control name in the tooltip.
  hitsLabel_->setText(QStringLiteral("%1 のヒット: %2 件")
                          .arg(QString::fromStdString(screening::patternTitle(sp)),
                               QString::fromStdString(groupedCount(static_cast<std::int64_t>(found->hits.size())))));
  hitsLabel_->setToolTip(QString::fromLatin1(sp.control));
  return true;
}

void BacktestWindow::summaryRowEntered() {
  const int r = summary_->row();
  if (r < 1) return;
  const QString control = patternAt(r);
  if (control != shownPattern_) showPattern(control);
}

void BacktestWindow::sortOnHeader(FlexGrid* grid, int col) {
  if (col < 1) return;
  const int g = grid == summary_ ? 0 : 1;
  // The first click sorts the figures of the summary largest first and
  // everything else in ascending order; the next click on it turns it round.
  sortDescending_[g] = col == sortCol_[g] ? !sortDescending_[g] : (g == 0 && col > 2);
  sortCol_[g] = col;
  grid->setCol(col);
  grid->sort(sortDescending_[g] ? FlexGrid::GenericDescending : FlexGrid::GenericAscending);
}

void BacktestWindow::openSelectedChart() {
  const int r = hits_->row();
  if (r < 1 || r >= hits_->rows()) return;
  const QString code = hits_->textMatrix(r, 2);
  if (!code.isEmpty()) openChart(code);
}

void BacktestWindow::openChart(const QString& code) {
  emit chartRequested(code);
  ui::openChart(ctx_, code);
}

void BacktestWindow::closeWindow() {
  cancel();
  hide();
}

}  // namespace tavrin::ui
