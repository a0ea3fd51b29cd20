#include "ui/datafetch/data_fetch_window.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/paths.h"
#include "app/prompts.h"
#include "base/calendar.h"
#include "base/log.h"
#include "datafetch/data_fetch.h"
#include "datafetch/jquants_api.h"
#include "datafetch/service_key.h"
#include "platform/qt_http_client.h"
#include "platform/secret_store.h"
#include "stocklist/stock_list_update.h"
#include "ui/app/app_context.h"
#include "ui/common/import_texts.h"
#include "ui/common/secret_store_thread.h"
#include "ui/settings/settings_window.h"

namespace tavrin::ui {

namespace {

constexpr const char* kTitle = "データ取得";

QDate dateOf(int day) {
  int y = 0, m = 0, d = 0;
  civilFromDay(day, y, m, d);
  return QDate(y, m, d);
}

int dayOf(const QDate& date) { return dayFromCivil(date.year(), date.month(), date.day()).value_or(0); }

int today(const AppContext& ctx) {
  const std::tm t = ctx.now ? ctx.now() : localNow();
  return dayFromCivil(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday).value_or(0);
}

QDateEdit* makeDateEdit(QWidget* owner, const char* name) {
  auto* edit = new QDateEdit(owner);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
  edit->setCalendarPopup(true);
  return edit;
}

// The key must never travel further than the request's header: a text from
// the service or the transport that carries it loses it here.
void scrub(std::string& text, const std::string& key) {
  if (key.empty()) return;
  for (std::size_t at = text.find(key); at != std::string::npos; at = text.find(key, at))
    text.replace(at, key.size(), "***");
}

// The service as the task's thread uses it: an HTTP client of the thread's
// own, the address and the key; waits between tries end early on a cancel.
class ServiceSession {
 public:
  explicit ServiceSession(TaskControl& control) : control_(control) {}

  // False (and the failure in `failed`) when there is no usable address or key.
  bool open(datafetch::ServiceOutcome& failed) {
    std::string why;
    const std::optional<std::string> url = datafetch::serviceUrl(why);
    if (!url) {
      failed.fail(datafetch::ServiceFailure::BadAddress, why);
      return false;
    }
    const std::optional<std::string> key = runOnSecretStoreThread([] { return platform::apiKey(); });
    if (!key || key->empty()) {
      failed.fail(datafetch::ServiceFailure::NoKey, "no API key set");
      return false;
    }
    key_ = *key;
    http_ = std::make_unique<platform::QtHttpClient>();
    api_ = std::make_unique<datafetch::JQuantsApi>(
        *http_, datafetch::ServiceSettings{*url, key_}, [this](int ms) { sleep(ms); },
        [this] { return control_.cancelled(); });
    return true;
  }
  datafetch::JQuantsApi& api() { return *api_; }
  void scrub(std::string& text) const { tavrin::ui::scrub(text, key_); }
  // The progress as last reported, shown again with the wait.
  datafetch::FetchProgress last;

 private:
  void sleep(int ms) {
    if (ms >= 1000)
      control_.progress(last.done, last.total,
                        QStringLiteral("%1 の利用制限のため %2 秒待っています…")
                            .arg(QString::fromLatin1(kServiceName))
                            .arg((ms + 999) / 1000));
    using namespace std::chrono;
    const auto until = steady_clock::now() + milliseconds(ms);
    while (!control_.cancelled() && steady_clock::now() < until)
      std::this_thread::sleep_for(std::min<steady_clock::duration>(milliseconds(50), until - steady_clock::now()));
  }

  TaskControl& control_;
  std::string key_;
  std::unique_ptr<platform::QtHttpClient> http_;
  std::unique_ptr<datafetch::JQuantsApi> api_;
};

std::size_t missingStocks(const StockListOutcome& lists) {
  std::set<std::string> codes;
  for (const StockListReport& r : lists.reports)
    for (const StockListEntry& m : r.missing) codes.insert(m.code);
  return codes.size();
}

std::string failureDetail(const datafetch::ServiceOutcome& s) {
  return "service failure " + std::to_string(static_cast<int>(s.failure)) + " (HTTP " + std::to_string(s.status) +
         "): " + s.detail;
}

}  // namespace

struct DataFetchWindow::ListRun {
  datafetch::FetchListOutcome outcome;
  bool dryRun = false;
  bool removeMissing = false;
  bool allowOlder = false;
};

struct DataFetchWindow::PricesRun {
  datafetch::FetchPricesOutcome outcome;
  std::vector<std::string> report;  // the watch lists' stocks on the new latest day
  std::optional<int> latest;
};

DataFetchWindow::DataFetchWindow(AppContext& ctx) : FormWindow(ctx, "DataFetchWindow") {
  setWindowTitle(QStringLiteral("データ取得（J-Quants）"));
  setTitleBarCloseAllowed(true);
  auto* root = new QVBoxLayout(this);
  QLabel* help = makeLabel("dataFetchHelpLabel",
                           QStringLiteral("日本取引所グループのデータサービス J-Quants から、銘柄リストと日々の株価を"
                                          "日足・週足・月足の株価データベースに取り込みます。"));
  help->setWordWrap(true);
  root->addWidget(help);

  auto* keyRow = new QHBoxLayout;
  keyLabel_ = makeLabel("dataFetchKeyLabel", QStringLiteral("APIキー: 確かめています…"));
  settingsButton_ = makeButton("dataFetchSettingsButton", QStringLiteral("設定…"));
  keyRow->addWidget(keyLabel_, 1);
  keyRow->addWidget(settingsButton_);
  root->addLayout(keyRow);
  latestLabel_ = makeLabel("dataFetchLatestLabel", QString());
  root->addWidget(latestLabel_);

  auto* listBox = new QGroupBox(QStringLiteral("銘柄リスト"), this);
  listBox->setObjectName(QStringLiteral("dataFetchListBox"));
  auto* ll = new QHBoxLayout(listBox);
  auto* listChecks = new QVBoxLayout;
  includeFundsCheck_ = new QCheckBox(QStringLiteral("ETF・REIT・出資証券も取り込む"), listBox);
  includeFundsCheck_->setObjectName(QStringLiteral("dataFetchIncludeFundsCheck"));
  removeMissingCheck_ = new QCheckBox(QStringLiteral("一覧にない（上場していない）銘柄を削除する"), listBox);
  removeMissingCheck_->setObjectName(QStringLiteral("dataFetchRemoveMissingCheck"));
  listChecks->addWidget(includeFundsCheck_);
  listChecks->addWidget(removeMissingCheck_);
  listButton_ = makeButton("dataFetchListButton", QStringLiteral("銘柄リスト"));
  listButton_->setMinimumWidth(110);
  ll->addLayout(listChecks, 1);
  ll->addWidget(listButton_, 0, Qt::AlignVCenter);
  root->addWidget(listBox);

  auto* pricesBox = new QGroupBox(QStringLiteral("株価"), this);
  pricesBox->setObjectName(QStringLiteral("dataFetchPricesBox"));
  auto* pl = new QHBoxLayout(pricesBox);
  fromCheck_ = new QCheckBox(QStringLiteral("開始日"), pricesBox);
  fromCheck_->setObjectName(QStringLiteral("dataFetchFromCheck"));
  fromCheck_->setToolTip(QStringLiteral("指定しなければ、保存している最新の日の翌日からです"));
  fromEdit_ = makeDateEdit(pricesBox, "dataFetchFromEdit");
  toCheck_ = new QCheckBox(QStringLiteral("終了日"), pricesBox);
  toCheck_->setObjectName(QStringLiteral("dataFetchToCheck"));
  toCheck_->setToolTip(QStringLiteral("指定しなければ、今日までです"));
  toEdit_ = makeDateEdit(pricesBox, "dataFetchToEdit");
  pricesButton_ = makeButton("dataFetchPricesButton", QStringLiteral("株価"));
  pricesButton_->setMinimumWidth(110);
  pl->addWidget(fromCheck_);
  pl->addWidget(fromEdit_);
  pl->addSpacing(12);
  pl->addWidget(toCheck_);
  pl->addWidget(toEdit_);
  pl->addStretch();
  pl->addWidget(pricesButton_);
  root->addWidget(pricesBox);

  progress_ = new QProgressBar(this);
  progress_->setObjectName(QStringLiteral("dataFetchProgress"));
  progress_->setRange(0, 1);
  progress_->setValue(0);
  progress_->setFormat(QString());
  root->addWidget(progress_);

  log_ = new QPlainTextEdit(this);
  log_->setObjectName(QStringLiteral("dataFetchLog"));
  log_->setReadOnly(true);
  log_->setLineWrapMode(QPlainTextEdit::NoWrap);
  log_->setMinimumHeight(200);
  log_->setMaximumBlockCount(20000);
  root->addWidget(log_, 1);

  auto* buttons = new QHBoxLayout;
  cancelButton_ = makeButton("dataFetchCancelButton", QStringLiteral("中止"));
  closeButton_ = makeButton("dataFetchCloseButton", QStringLiteral("閉じる"));
  buttons->addStretch();
  buttons->addWidget(cancelButton_);
  buttons->addWidget(closeButton_);
  root->addLayout(buttons);

  connect(settingsButton_, &QPushButton::clicked, this, &DataFetchWindow::openSettings);
  connect(listButton_, &QPushButton::clicked, this, &DataFetchWindow::fetchStockList);
  connect(pricesButton_, &QPushButton::clicked, this, &DataFetchWindow::fetchPrices);
  connect(cancelButton_, &QPushButton::clicked, this, &DataFetchWindow::cancel);
  connect(closeButton_, &QPushButton::clicked, this, &DataFetchWindow::closeWindow);
  for (QCheckBox* check : {fromCheck_, toCheck_})
    connect(check, &QCheckBox::toggled, this, [this] {
      showDefaultRange();
      updateEnabled();
    });
  connect(&task_, &BackgroundTask::progressed, this, [this](qint64 done, qint64 total, const QString& text) {
    if (total > 0) {
      progress_->setRange(0, static_cast<int>(total));
      progress_->setValue(static_cast<int>(done));
    }
    progress_->setFormat(task_.cancelRequested() ? text + QStringLiteral("（中止しています…）") : text);
  });
  updateEnabled();
  resize(720, 560);
}

DataFetchWindow::~DataFetchWindow() = default;

void DataFetchWindow::showEvent(QShowEvent* event) {
  FormWindow::showEvent(event);
  refreshKey();
  if (!running()) refreshLatest();
}

QString DataFetchWindow::logText() const { return log_->toPlainText(); }

void DataFetchWindow::appendLines(const QStringList& lines) {
  for (const QString& line : lines) log_->appendPlainText(line);
  log_->verticalScrollBar()->setValue(log_->verticalScrollBar()->maximum());
}

void DataFetchWindow::refreshKey() {
  if (keyTask_.running()) return;
  keyTask_.start([](TaskControl&) { return readKeyPlaces(); },
                 [this](const KeyPlaces& p) {
                   keyPlaces_ = p;
                   keyLabel_->setText(keyShortText(p, datafetch::keyFilePath()));
                 },
                 [this](std::exception_ptr e) {
                   logLine("data fetch", "key places: " + BackgroundTask::message(e));
                   keyLabel_->setText(QStringLiteral("APIキー: 保管場所を読めませんでした"));
                 });
}

void DataFetchWindow::refreshLatest() {
  latest_.reset();
  try {
    latest_ = datafetch::latestHeldDay(ctx_.paths());
  } catch (const std::exception& e) {
    logLine("data fetch", std::string("latest day: ") + e.what());
  }
  latestLabel_->setText(latestHeldText(latest_));
  showDefaultRange();
}

void DataFetchWindow::showDefaultRange() {
  // An unchecked box shows what it stands for: from the weekday after the
  // latest day held (a month back with no history), up to today.
  const int now = today(ctx_);
  if (!fromCheck_->isChecked()) {
    QDate from = dateOf(latest_ ? std::min(*latest_ + 1, now) : now - 30);
    while (from.dayOfWeek() > 5 && dayOf(from) < now) from = from.addDays(1);
    fromEdit_->setDate(from);
  }
  if (!toCheck_->isChecked()) toEdit_->setDate(dateOf(now));
}

void DataFetchWindow::openSettings() {
  SettingsWindow& s = ctx_.settings();
  connect(&s, &SettingsWindow::keyChanged, this, &DataFetchWindow::refreshKey, Qt::UniqueConnection);
  s.show();
  s.raise();
  s.activateWindow();
}

void DataFetchWindow::setRunning(bool on) {
  running_ = on;
  if (on) {
    progress_->setRange(0, 0);  // busy until the first report
    progress_->setFormat(QString());
  }
  updateEnabled();
}

void DataFetchWindow::updateEnabled() {
  const bool idle = !running_;
  for (QWidget* w : std::initializer_list<QWidget*>{listButton_, removeMissingCheck_, includeFundsCheck_, fromCheck_,
                                                    toCheck_, pricesButton_, settingsButton_, closeButton_})
    w->setEnabled(idle);
  fromEdit_->setEnabled(idle && fromCheck_->isChecked());
  toEdit_->setEnabled(idle && toCheck_->isChecked());
  cancelButton_->setEnabled(running_ && task_.running() && !task_.cancelRequested());
}

bool DataFetchWindow::fetchStockList() {
  if (running()) return false;
  const std::vector<StockListTarget> targets = standardStockListTargets(ctx_.paths());
  datafetch::FetchListOptions options;
  options.includeFunds = includeFundsCheck_->isChecked();
  options.removeMissing = removeMissingCheck_->isChecked();
  // Removing stocks is asked first: a plan, then the question, then the update.
  options.dryRun = options.removeMissing;
  appendLines({QString(), QStringLiteral("【銘柄リストの取得】")});
  setRunning(true);
  auto work = [targets, options](TaskControl& control) {
    ListRun run;
    run.dryRun = options.dryRun;
    run.removeMissing = options.removeMissing;
    ServiceSession session(control);
    if (!session.open(run.outcome.service)) return run;
    run.outcome = datafetch::fetchStockList(session.api(), targets, options);
    session.scrub(run.outcome.service.detail);
    session.scrub(run.outcome.issues.detail);
    session.scrub(run.outcome.lists.detail);
    return run;
  };
  task_.start(
      work, [this](ListRun run) { listFetched(std::move(run)); },
      [this](std::exception_ptr e) { fetchFailed("stock list", e); });
  updateEnabled();
  return true;
}

void DataFetchWindow::listFetched(ListRun run) {
  const datafetch::FetchListOutcome& o = run.outcome;
  // A list older than the one a database followed last: asked, then applied
  // as it is or not at all.
  std::optional<std::vector<std::string>> older;
  if (!run.allowOlder && o.service.done() && o.issues.done() && o.issues.listDay) {
    if (o.lists.failure == StockListFailure::OlderList && o.lists.newerList)
      older = olderListLines(*o.issues.listDay, *o.lists.newerList);
    else if (o.lists.done() && run.dryRun)
      older = olderListQuestion(o.issues, o.lists);
  }
  if (!older && !o.done()) {
    logLine("data fetch", "stock list: " + (o.service.done() ? o.issues.done() ? o.lists.detail : o.issues.detail
                                                             : failureDetail(o.service)));
    appendLines(fetchListOutcomeText(o, run.dryRun));
    ended();
    return;
  }
  if (!older && !run.dryRun) {
    appendLines(fetchListOutcomeText(o, false));
    ended();
    return;
  }
  const auto ask = [this](const std::vector<std::string>& lines) {
    MessageRequest question;
    question.title = kTitle;
    question.icon = MessageIcon::Warning;
    question.buttons = MessageButtons::OkCancel;
    question.lines = lines;
    asking_ = true;
    const MessageAnswer answer = ctx_.prompts().message(question);
    asking_ = false;
    if (answer == MessageAnswer::Ok) return true;
    appendLines({QStringLiteral("取りやめました。銘柄リストは何も変えていません。")});
    ended();
    return false;
  };
  if (older && !ask(*older)) return;
  // The plan of an update that removes: ask before anything is written.
  const std::size_t missing = run.dryRun ? missingStocks(o.lists) : 0;
  if (missing > 0 && !ask(removeMissingQuestion(missing))) return;
  const std::vector<StockListTarget> targets = standardStockListTargets(ctx_.paths());
  auto shared = std::make_shared<ListRun>(std::move(run));
  auto work = [targets, shared](TaskControl&) {
    StockListUpdateOptions options;
    options.removeMissing = shared->removeMissing;
    options.allowOlder = true;
    ListRun applied;
    applied.allowOlder = true;
    applied.removeMissing = shared->removeMissing;
    applied.outcome.service = shared->outcome.service;
    applied.outcome.issues = shared->outcome.issues;
    applied.outcome.lists = updateStockLists(targets, shared->outcome.issues, options);
    return applied;
  };
  const bool started = task_.start(
      work, [this](ListRun r) { listFetched(std::move(r)); },
      [this](std::exception_ptr e) { fetchFailed("stock list", e); });
  if (!started) ended();
  updateEnabled();
}

bool DataFetchWindow::fetchPrices() {
  if (running()) return false;
  datafetch::FetchPricesOptions options;
  options.today = today(ctx_);
  if (fromCheck_->isChecked()) options.from = dayOf(fromEdit_->date());
  if (toCheck_->isChecked()) options.to = dayOf(toEdit_->date());
  const Paths paths = ctx_.paths();
  appendLines({QString(), QStringLiteral("【株価の取得】")});
  setRunning(true);
  auto work = [paths, options](TaskControl& control) {
    PricesRun run;
    ServiceSession session(control);
    if (!session.open(run.outcome.service)) {
      run.outcome.fail(datafetch::FetchFailure::Service, run.outcome.service.detail);
      run.latest = datafetch::latestHeldDay(paths);
      return run;
    }
    run.outcome = datafetch::fetchPrices(session.api(), paths, options, [&](const datafetch::FetchProgress& p) {
      session.last = p;
      control.progress(p.done, p.total, fetchProgressText(p));
    });
    session.scrub(run.outcome.detail);
    session.scrub(run.outcome.service.detail);
    if (run.outcome.done() && !run.outcome.days.empty()) run.report = datafetch::watchListReport(paths);
    run.latest = datafetch::latestHeldDay(paths);
    return run;
  };
  task_.start(
      work, [this](const PricesRun& r) { pricesFetched(r); },
      [this](std::exception_ptr e) { fetchFailed("prices", e); });
  updateEnabled();
  return true;
}

void DataFetchWindow::pricesFetched(const PricesRun& run) {
  const datafetch::FetchPricesOutcome& o = run.outcome;
  if (!o.done())
    logLine("data fetch",
            "prices: " + (o.failure == datafetch::FetchFailure::Service ? failureDetail(o.service) : o.detail));
  QStringList lines;
  for (const datafetch::FetchDayReport& d : o.days) lines << fetchDayText(d);
  lines << fetchPricesOutcomeText(o, run.latest);
  if (o.done() && !o.days.empty()) lines << watchListReportText(run.report, run.latest);
  appendLines(lines);
  ended();
}

void DataFetchWindow::fetchFailed(const char* what, std::exception_ptr error) {
  const std::string message = BackgroundTask::message(error);
  logLine("data fetch", std::string(what) + ": " + message);
  appendLines({QStringLiteral("取得できませんでした（%1）。").arg(QString::fromStdString(message))});
  ended();
}

void DataFetchWindow::ended() {
  setRunning(false);
  progress_->setRange(0, 1);
  progress_->setValue(1);
  progress_->setFormat(QString());
  refreshLatest();
  emit finished();
}

void DataFetchWindow::cancel() {
  if (!task_.running()) return;
  task_.cancel();
  progress_->setFormat(progress_->format() + QStringLiteral("（中止しています…）"));
  updateEnabled();
}

void DataFetchWindow::closeWindow() {
  if (running()) return;
  hide();
}

}  // namespace tavrin::ui
