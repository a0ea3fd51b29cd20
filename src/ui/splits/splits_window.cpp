#include "ui/splits/splits_window.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QStringList>
#include <QTableWidget>
#include <QVBoxLayout>
#include <filesystem>

#include "app/prompts.h"
#include "base/calendar.h"
#include "base/files.h"
#include "base/log.h"
#include "base/text.h"
#include "data/database.h"
#include "data/stock_code.h"
#include "ui/app/app_context.h"
#include "ui/common/file_texts.h"
#include "ui/common/split_texts.h"

namespace tavrin::ui {

namespace {

constexpr const char* kTitle = "株式分割・併合";

QString q(const std::string& s) { return QString::fromStdString(s); }

QDate dateOf(int day) {
  int y = 0, m = 0, d = 0;
  civilFromDay(day, y, m, d);
  return QDate(y, m, d);
}

int dayOf(const QDate& date) { return dayFromCivil(date.year(), date.month(), date.day()).value_or(0); }

QTableWidget* makeTable(QWidget* owner, const char* name, const QStringList& headers) {
  auto* t = new QTableWidget(0, static_cast<int>(headers.size()), owner);
  t->setObjectName(QString::fromLatin1(name));
  t->setHorizontalHeaderLabels(headers);
  t->setSelectionBehavior(QAbstractItemView::SelectRows);
  t->setSelectionMode(QAbstractItemView::SingleSelection);
  t->setEditTriggers(QAbstractItemView::NoEditTriggers);
  t->verticalHeader()->setVisible(false);
  t->horizontalHeader()->setStretchLastSection(true);
  return t;
}

void setCell(QTableWidget* t, int row, int col, const QString& text) {
  t->setItem(row, col, new QTableWidgetItem(text));
}

// "733.5 → 731 → [146.1] → 145.8": the closes around a step, the day marked.
QString aroundText(const HistoryFinding& f) {
  QStringList parts;
  for (std::size_t i = 0; i < f.around.size(); ++i) {
    const QString p = q(priceText(f.around[i].close));
    parts << (i == f.at ? QStringLiteral("[%1]").arg(p) : p);
  }
  return parts.join(QStringLiteral(" → "));
}

}  // namespace

SplitsWindow::SplitsWindow(AppContext& ctx) : FormWindow(ctx, "SplitsWindow"), task_(this) {
  setWindowTitle(QString::fromUtf8(kTitle));
  setTitleBarCloseAllowed(true);
  auto* root = new QVBoxLayout(this);
  QLabel* help =
      makeLabel("splitsHelpLabel",
                QStringLiteral("株式分割・併合を権利落ち日（新しい株数で売買される最初の日）とともに登録すると、"
                               "それより前の株価を比率で割って（出来高は掛けて）今の株価と比べられるようにします。"
                               "履歴には売買されたままの株価を残します。"));
  help->setWordWrap(true);
  root->addWidget(help);
  targetsLabel_ = makeLabel("splitsTargetsLabel", QString());
  targetsLabel_->setWordWrap(true);
  root->addWidget(targetsLabel_);

  auto* entry = new QHBoxLayout;
  entry->addWidget(new QLabel(QStringLiteral("コード"), this));
  codeEdit_ = makeText("splitCodeEdit");
  codeEdit_->setMaximumWidth(90);
  entry->addWidget(codeEdit_);
  entry->addWidget(new QLabel(QStringLiteral("権利落ち日"), this));
  dayEdit_ = new QDateEdit(QDate::currentDate(), this);
  dayEdit_->setObjectName(QStringLiteral("splitDayEdit"));
  dayEdit_->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
  dayEdit_->setCalendarPopup(true);
  entry->addWidget(dayEdit_);
  entry->addWidget(new QLabel(QStringLiteral("比率"), this));
  ratioEdit_ = makeText("splitRatioEdit");
  ratioEdit_->setPlaceholderText(QStringLiteral("1:5 / 10:1"));
  ratioEdit_->setToolTip(splitRatioHelp());
  ratioEdit_->setMaximumWidth(90);
  entry->addWidget(ratioEdit_);
  addButton_ = makeButton("splitAddButton", QStringLiteral("登録"));
  entry->addWidget(addButton_);
  entry->addStretch(1);
  root->addLayout(entry);

  auto* listHead = new QHBoxLayout;
  listHead->addWidget(new QLabel(QStringLiteral("登録済みの分割・併合"), this));
  listHead->addStretch(1);
  allStocksCheck_ = new QCheckBox(QStringLiteral("すべての銘柄"), this);
  allStocksCheck_->setObjectName(QStringLiteral("splitsAllStocksCheck"));
  listHead->addWidget(allStocksCheck_);
  removeButton_ = makeButton("splitRemoveButton", QStringLiteral("削除…"));
  listHead->addWidget(removeButton_);
  root->addLayout(listHead);
  splitsTable_ = makeTable(this, "splitsTable",
                           {QStringLiteral("コード"), QStringLiteral("銘柄"), QStringLiteral("権利落ち日"),
                            QStringLiteral("比率"), QStringLiteral("登録元")});
  root->addWidget(splitsTable_, 2);

  root->addWidget(new QLabel(QStringLiteral("値動きの確認で見つかった段差（分割・併合の比率に合うもの）"), this));
  candidatesTable_ = makeTable(this, "splitCandidatesTable",
                               {QStringLiteral("コード"), QStringLiteral("銘柄"), QStringLiteral("権利落ち日"),
                                QStringLiteral("比率"), QString(), QStringLiteral("前後の終値")});
  root->addWidget(candidatesTable_, 3);

  reportLabel_ = makeLabel("splitsReportLabel", QString());
  reportLabel_->setWordWrap(true);
  reportLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  root->addWidget(reportLabel_);
  auto* bottom = new QHBoxLayout;
  bottom->addStretch(1);
  closeButton_ = makeButton("splitsCloseButton", QStringLiteral("閉じる"));
  bottom->addWidget(closeButton_);
  root->addLayout(bottom);

  connect(addButton_, &QPushButton::clicked, this, [this] { addFromBoxes(); });
  connect(ratioEdit_, &QLineEdit::returnPressed, this, [this] { addFromBoxes(); });
  connect(removeButton_, &QPushButton::clicked, this, [this] {
    const int row = splitsTable_->currentRow();
    if (row >= 0) removeSplitAt(row);
  });
  connect(splitsTable_, &QTableWidget::itemSelectionChanged, this, [this] { updateEnabled(); });
  connect(allStocksCheck_, &QCheckBox::toggled, this, [this](bool all) {
    if (all) codeKey_.clear();
    refresh();
  });
  connect(closeButton_, &QPushButton::clicked, this, [this] { closeWindow(); });
  connect(&task_, &BackgroundTask::finished, this, [this] { updateEnabled(); });
  resize(760, 560);
  updateEnabled();
}

SplitsWindow::~SplitsWindow() = default;

void SplitsWindow::showEvent(QShowEvent* event) {
  FormWindow::showEvent(event);
  QStringList names;
  for (const auto& f : splitTargets(ctx_.paths(), fromUtf8(ctx_.state().priceDbPath)))
    names << QString::fromStdString(toUtf8(f.filename()));
  targetsLabel_->setText(names.isEmpty() ? QStringLiteral("株価データベースがありません。")
                                         : QStringLiteral("登録先: ") + names.join(QStringLiteral("、")));
  if (!running()) refresh();
}

void SplitsWindow::showStock(const QString& codeKey) {
  codeKey_ = codeKey.toStdString();
  codeEdit_->setText(codeKey);
  {
    const QSignalBlocker block(allStocksCheck_);
    allStocksCheck_->setChecked(codeKey_.empty());
  }
  if (isVisible() && !running()) refresh();
}

QString SplitsWindow::reportText() const { return reportLabel_->text(); }

QString SplitsWindow::nameOf(const std::string& key) const {
  for (const auto& [k, name] : listing_.names)
    if (k == key) return q(name);
  return {};
}

void SplitsWindow::updateEnabled() {
  const bool idle = !running();
  addButton_->setEnabled(idle);
  removeButton_->setEnabled(idle && splitsTable_->currentRow() >= 0);
  for (int r = 0; r < candidatesTable_->rowCount(); ++r)
    if (QWidget* w = candidatesTable_->cellWidget(r, 4)) w->setEnabled(idle);
}

void SplitsWindow::refresh() {
  const std::string dbPath = ctx_.state().priceDbPath;
  const std::optional<std::string> key = codeKey_.empty() ? std::nullopt : std::optional<std::string>(codeKey_);
  auto work = [dbPath, key](TaskControl&) {
    Listing l;
    try {
      const std::filesystem::path file = fromUtf8(dbPath);
      if (!std::filesystem::is_regular_file(file)) {
        l.error = "no price database";
        return l;
      }
      Database db = openForReading(file);
      if (!db.tableExists("list")) {
        l.error = "not a price database";
        return l;
      }
      l.splits = listSplits(db, key);
      l.candidates = splitCandidates(db, key);
      Statement st(db, "select [コード], [銘柄] from [list]");
      while (st.step())
        if (const std::optional<std::string> k = codeKey(st.column(0)))
          l.names.emplace_back(*k, st.column(1).display());
    } catch (const std::exception& e) {
      l.error = e.what();
    }
    return l;
  };
  task_.start(
      work, [this](const Listing& l) { showListing(l); },
      [this](std::exception_ptr) { reportLabel_->setText(QStringLiteral("分割の一覧を読めませんでした。")); });
  updateEnabled();
}

void SplitsWindow::showListing(const Listing& l) {
  listing_ = l;
  if (!l.error.empty()) {
    logLine("splits window", l.error);
    reportLabel_->setText(QStringLiteral("分割の一覧を読めませんでした（%1）。").arg(q(printableText(l.error))));
  }
  splitsTable_->setRowCount(static_cast<int>(l.splits.size()));
  for (int r = 0; r < static_cast<int>(l.splits.size()); ++r) {
    const Split& s = l.splits[static_cast<std::size_t>(r)];
    const std::string key = codeKey(s.code).value_or(s.code.display());
    setCell(splitsTable_, r, 0, q(key));
    setCell(splitsTable_, r, 1, nameOf(key));
    setCell(splitsTable_, r, 2, q(isoDate(s.day)));
    setCell(splitsTable_, r, 3, q(splitRatioText(s.ratio)));
    setCell(splitsTable_, r, 4, splitSourceText(s.source));
  }
  candidatesTable_->setRowCount(static_cast<int>(l.candidates.size()));
  for (int r = 0; r < static_cast<int>(l.candidates.size()); ++r) {
    const SplitCandidate& c = l.candidates[static_cast<std::size_t>(r)];
    setCell(candidatesTable_, r, 0, q(c.code));
    setCell(candidatesTable_, r, 1, nameOf(c.code));
    setCell(candidatesTable_, r, 2, q(isoDate(c.exDay)));
    setCell(candidatesTable_, r, 3, q(splitRatioText(c.ratio)));
    auto* enter = new QPushButton(QStringLiteral("登録"), candidatesTable_);
    enter->setObjectName(QStringLiteral("splitCandidateAdd%1").arg(r));
    enter->setToolTip(QStringLiteral("この段差を %1 の分割・併合として登録します").arg(q(splitRatioText(c.ratio))));
    connect(enter, &QPushButton::clicked, this, [this, r] { addCandidate(r); });
    candidatesTable_->setCellWidget(r, 4, enter);
    setCell(candidatesTable_, r, 5, aroundText(c.finding));
  }
  splitsTable_->resizeColumnsToContents();
  candidatesTable_->resizeColumnsToContents();
  updateEnabled();
}

bool SplitsWindow::addFromBoxes() {
  if (running()) return false;
  const std::string typed = codeEdit_->text().toStdString();
  const std::optional<std::string> key = typedCodeOrWarning(ctx_.prompts(), kTitle, typed);
  if (!key) return false;
  codeEdit_->setText(q(*key));
  const std::optional<SplitRatio> ratio = parseSplitRatio(ratioEdit_->text().toStdString());
  if (!ratio) {
    MessageRequest m;
    m.title = kTitle;
    m.icon = MessageIcon::Warning;
    m.lines = {splitRatioHelp().toStdString()};
    ctx_.prompts().message(m);
    return false;
  }
  return startChange(true, *key, dayOf(dayEdit_->date()), *ratio, SplitSource::Entered);
}

bool SplitsWindow::addCandidate(int row) {
  if (running() || row < 0 || row >= static_cast<int>(listing_.candidates.size())) return false;
  const SplitCandidate& c = listing_.candidates[static_cast<std::size_t>(row)];
  return startChange(true, c.code, c.exDay, c.ratio, SplitSource::Check);
}

bool SplitsWindow::removeSplitAt(int row) {
  if (running() || row < 0 || row >= static_cast<int>(listing_.splits.size())) return false;
  const Split s = listing_.splits[static_cast<std::size_t>(row)];
  const std::string key = codeKey(s.code).value_or(s.code.display());
  MessageRequest ask;
  ask.title = kTitle;
  ask.icon = MessageIcon::Warning;
  ask.buttons = MessageButtons::OkCancel;
  ask.lines = {splitRemovalQuestion(key, s.day, s.ratio).toStdString()};
  if (ctx_.prompts().message(ask) != MessageAnswer::Ok) return false;
  return startChange(false, key, s.day, s.ratio, s.source);
}

bool SplitsWindow::startChange(bool add, const std::string& key, int exDay, const SplitRatio& ratio,
                               SplitSource source) {
  const std::vector<std::filesystem::path> files = splitTargets(ctx_.paths(), fromUtf8(ctx_.state().priceDbPath));
  reportLabel_->setText(add ? QStringLiteral("登録しています…") : QStringLiteral("削除しています…"));
  auto work = [files, add, key, exDay, ratio, source](TaskControl&) {
    return add ? addSplit(files, key, exDay, ratio, source) : removeSplit(files, key, exDay);
  };
  const bool started = task_.start(
      work,
      [this, add](const SplitOutcome& o) {
        changing_ = false;
        reportLabel_->setText(add ? splitAddedText(o) : splitRemovedText(o));
        if (o.done()) {
          if (add) dayEdit_->setDate(dateOf(o.split.day));
          emit splitsChanged();
        }
        // The lists follow: a step entered leaves the candidates.
        QMetaObject::invokeMethod(
            this, [this] { refresh(); }, Qt::QueuedConnection);
      },
      [this](std::exception_ptr) {
        changing_ = false;
        reportLabel_->setText(QStringLiteral("分割を書き込めませんでした。"));
      });
  changing_ = started;
  updateEnabled();
  return started;
}

void SplitsWindow::closeWindow() {
  if (changing_) return;
  hide();
}

}  // namespace tavrin::ui
