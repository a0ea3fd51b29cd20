#include "ui/watchlists/watch_list_windows.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <set>

#include "base/log.h"
#include "ui/app/app_context.h"
#include "ui/common/file_texts.h"
#include "ui/common/flex_grid.h"
#include "ui/common/text_fit.h"

namespace tavrin::ui {

namespace {

// Makes the watch-list file usable; creates it when it is missing. When it
// cannot be opened the user hears of it once per process and file, and the
// windows go on with empty lists.
void prepareOrTellOnce(AppContext& ctx) {
  const std::filesystem::path path = ctx.paths().watchListDb();
  const Outcome<WatchListFailure> opened = openWatchLists(path);
  if (opened.done()) return;
  logLine("watch lists", toUtf8(path) + ": " + opened.detail);
  static std::set<std::string> told;
  if (!told.insert(toUtf8(path)).second) return;
  MessageRequest m;
  m.icon = MessageIcon::Warning;
  m.lines = watchListUnavailableLines(path);
  ctx.prompts().message(m);
}

}  // namespace

WatchListWindow::WatchListWindow(AppContext& ctx, const char* formName, WatchList list, const QString& title)
    : FormWindow(ctx, formName), list_(list) {
  setWindowTitle(title);
  auto* root = new QVBoxLayout(this);

  QLabel* label3 = makeLabel("Label3", title);
  QFont f = label3->font();
  f.setPointSize(f.pointSize() + 4);
  f.setBold(true);
  label3->setFont(f);
  root->addWidget(label3);

  auto* top = new QHBoxLayout;
  QPushButton* ok = makeButton("Command2", QStringLiteral("OK"));
  text9_ = makeText("Text9");
  text9_->setAlignment(Qt::AlignRight);
  QPushButton* sort = makeButton("Command3", QStringLiteral("並び換え"));
  top->addWidget(ok);
  top->addWidget(text9_);
  top->addWidget(sort);
  top->addStretch();
  root->addLayout(top);

  grid_ = new FlexGrid(this);
  grid_->setObjectName("MSFlexGrid1");
  root->addWidget(grid_, 1);

  auto* bottom = new QHBoxLayout;
  label2_ = makeLabel("Label2", QStringLiteral("削除準備"));
  label2_->setCursor(Qt::PointingHandCursor);
  label2_->setStyleSheet(QStringLiteral("QLabel { color: #0000C0; text-decoration: underline; }"));
  label2_->installEventFilter(this);
  QPushButton* del = makeButton("Command1", QStringLiteral("削除実行"));
  bottom->addWidget(label2_);
  bottom->addStretch();
  bottom->addWidget(del);
  root->addLayout(bottom);
  resize(520, 420);

  connect(ok, &QPushButton::clicked, this, [this] { Command2_Click(); });
  connect(sort, &QPushButton::clicked, this, [this] { Command3_Click(); });
  connect(del, &QPushButton::clicked, this, [this] { Command1_Click(); });
  connect(text9_, &QLineEdit::textChanged, this, [this] { setCount(); });

  // Load: the table is read once here.
  prepareOrTellOnce(ctx_);
  data1_.setDatabaseName(toUtf8(ctx_.paths().watchListDb()));
  data1_.setRecordSource(watchListSelect(list_));
  reload();
  static const int widths[] = {200, 450, 600, 850, 700, 500, 1100};
  for (int c = 0; c < 7; ++c) grid_->setColWidth(c, widths[c]);
  // IDs, codes, names, markets, units and dates show whole.
  for (int c = 1; c < 7; ++c) grid_->setColFitsContents(c);
  keepTextBoxWideEnough(text9_, QStringLiteral("8888"));
  setCount();
}

InterestListWindow::InterestListWindow(AppContext& ctx)
    : WatchListWindow(ctx, "Form13", WatchList::Checklist, QStringLiteral("注目銘柄")) {}

TrendListWindow::TrendListWindow(AppContext& ctx)
    : WatchListWindow(ctx, "Form17", WatchList::Trend, QStringLiteral("トレンド注目銘柄")) {}

QString WatchListWindow::countText() const { return text9_->text(); }

void WatchListWindow::setCount() {
  const QString count = QString::number(grid_->rows() - 1);
  if (text9_->text() != count) text9_->setText(count);
}

std::vector<std::string> WatchListWindow::listedCodes() const {
  std::vector<std::string> codes;
  codes.reserve(static_cast<size_t>(std::max(0, grid_->rows() - 1)));
  for (int r = 1; r < grid_->rows(); ++r) codes.push_back(grid_->textMatrix(r, 2).toStdString());
  return codes;
}

void WatchListWindow::reload() {
  if (!data1_.refresh() && data1_.fields().empty()) data1_.setContent(watchListFields(), {});
  grid_->setContent(data1_.fields(), data1_.rows());
  setCount();
}

void WatchListWindow::activate() {
  const int n = grid_->rows();
  grid_->setCol(2);
  grid_->sort(FlexGrid::GenericAscending);
  if (n >= 2) {
    std::vector<std::pair<std::string, std::int64_t>> rows;
    rows.reserve(static_cast<size_t>(n - 1));
    for (int r = 1; r < n; ++r) {
      const Row* values = grid_->rowValues(r);
      const std::optional<double> id = values && !values->empty() ? (*values)[0].asNumber() : std::nullopt;
      if (id) rows.emplace_back(grid_->textMatrix(r, 2).toStdString(), static_cast<std::int64_t>(*id));
    }
    if (const std::optional<std::int64_t> duplicate = firstDuplicateId(rows)) {
      const Outcome<WatchListFailure> deleted = deleteFromWatchList(ctx_.paths().watchListDb(), list_, *duplicate);
      if (deleted.failure == WatchListFailure::Unavailable)
        logLine("watch lists", "repeated code not removed: " + deleted.detail);
      reload();
    }
  }
  setCount();
  show();
}

void WatchListWindow::Command1_Click() {
  const int r = grid_->row();
  if (r >= 1 && r < grid_->rows()) {
    // The selected row goes, even when its code is listed more than once.
    const Row* values = grid_->rowValues(r);
    const std::optional<double> id = values && !values->empty() ? (*values)[0].asNumber() : std::nullopt;
    if (id) {
      const Outcome<WatchListFailure> deleted =
          deleteFromWatchList(ctx_.paths().watchListDb(), list_, static_cast<std::int64_t>(*id));
      if (deleted.failure == WatchListFailure::Unavailable)
        logLine("watch lists", "row not deleted: " + deleted.detail);
    }
  }
  reload();
  show();
}

void WatchListWindow::Command2_Click() { hide(); }

void WatchListWindow::Command3_Click() {
  const int c = grid_->col();
  if (c >= 1 && c <= 5)
    grid_->sort(FlexGrid::GenericAscending);
  else if (c == 6)
    grid_->sort(FlexGrid::TextAscending);
}

void WatchListWindow::Label2_Click() {
  MessageRequest m;
  m.title = "マイ　リストの削除";
  m.icon = MessageIcon::Information;
  m.buttons = MessageButtons::OkCancel;
  m.lines = {"削除しの準備をします", "　銘柄の見出し部分をダブルクリックします.",
             "　その後　削除ボタンをクリックしてください。", "", ""};
  ctx_.prompts().message(m);
}

bool WatchListWindow::event(QEvent* e) {
  if (e->type() == QEvent::WindowActivate) activate();
  return FormWindow::event(e);
}

bool WatchListWindow::eventFilter(QObject* watched, QEvent* e) {
  if (watched == label2_ && e->type() == QEvent::MouseButtonRelease) {
    Label2_Click();
    return true;
  }
  return FormWindow::eventFilter(watched, e);
}

}  // namespace tavrin::ui
