#include "ui/registration/list_browser_window.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "base/log.h"
#include "data/stock_code.h"
#include "ui/app/app_context.h"
#include "ui/app/main_menu_window.h"
#include "ui/chart/chart_entries.h"
#include "ui/common/file_texts.h"
#include "ui/common/flex_grid.h"
#include "ui/common/text_fit.h"
#include "ui/splits/splits_window.h"

namespace tavrin::ui {

namespace {
constexpr const char* kAll = "select * from [list]";

std::string trimmed(const std::string& text) { return QString::fromStdString(text).trimmed().toStdString(); }

// A LIKE pattern that finds the text anywhere, its own % _ and \ taken literally.
std::string containsPattern(const std::string& text) {
  std::string p = "%";
  for (char c : text) {
    if (c == '%' || c == '_' || c == '\\') p += '\\';
    p += c;
  }
  return p + "%";
}
}  // namespace

ListBrowserWindow::ListBrowserWindow(AppContext& ctx) : FormWindow(ctx, "Form28") {
  setWindowTitle(QStringLiteral("株価の入力画面"));
  auto* root = new QVBoxLayout(this);

  auto* top = new QHBoxLayout;
  auto addButton = [this](const char* name, const QString& caption) {
    QPushButton* b = makeButton(QString::fromLatin1(name), caption);
    buttons_.insert(QString::fromLatin1(name), b);
    return b;
  };
  QPushButton* ok = addButton("Command5", QStringLiteral("OK"));
  QPushButton* byCode = addButton("Command4", QStringLiteral("コードで探す"));
  QPushButton* byName = addButton("Command3", QStringLiteral("銘柄で探す"));
  QPushButton* sort = addButton("Command13", QStringLiteral("並変え実行"));
  top->addWidget(ok);
  top->addWidget(byName);
  top->addWidget(byCode);
  top->addWidget(sort);
  // Buttons of the window that do nothing.
  const std::pair<const char*, const char*> inert[] = {
      {"Command1", "注目"},     {"Command2", "手持ち"},     {"Command6", "検索カード表示"},
      {"Command7", "元に戻す"}, {"Command8", "並替え準備"}, {"Command9", "情報源"},
      {"Command10", "B10"},     {"Command11", "C50"},       {"Command12", "E500"}};
  for (const auto& [name, caption] : inert) top->addWidget(addButton(name, QString::fromUtf8(caption)));
  top->addStretch();
  count_ = makeText("Text7");
  // As wide as the count it shows, whatever the font.
  keepTextBoxWideEnough(count_, QStringLiteral("8888"));
  top->addWidget(count_);
  top->addWidget(makeLabel("Label1", QStringLiteral("枚")));
  root->addLayout(top);

  auto* details = new QHBoxLayout;
  const std::pair<int, const char*> detailBoxes[] = {{6, "銘柄"}, {3, "コード"},   {2, "市場"},
                                                     {4, "単位"}, {5, "市場区分"}, {1, "前回の株価"}};
  for (const auto& [i, what] : detailBoxes) {
    details_[static_cast<size_t>(i)] = makeText(QStringLiteral("Text%1").arg(i));
    details_[static_cast<size_t>(i)]->setReadOnly(true);
    details_[static_cast<size_t>(i)]->setPlaceholderText(QString::fromUtf8(what));
    details->addWidget(details_[static_cast<size_t>(i)]);
  }
  root->addLayout(details);

  grid_ = new FlexGrid(this);
  grid_->setObjectName("MSFlexGrid1");
  root->addWidget(grid_, 1);
  // The chart of the selected stock, after the sort button (also the Enter key and the grid's context menu).
  top->insertWidget(4, addChartEntries(*this, grid_, 3));
  // The splits of the selected stock (all stocks without a row).
  auto* splits = new QPushButton(QStringLiteral("株式分割…"), this);
  splits->setObjectName(QStringLiteral("listSplitsButton"));
  splits->setToolTip(QStringLiteral("選んだ銘柄の株式分割・併合を登録し、一覧します"));
  connect(splits, &QPushButton::clicked, this, [this] {
    const int r = grid_->row();
    const QString code = r >= 1 && r < grid_->rows() ? grid_->textMatrix(r, 3).trimmed() : QString();
    const std::optional<std::string> key = typedStockCodeKey(code.toStdString());
    SplitsWindow& w = ctx_.splits();
    w.showStock(key ? QString::fromStdString(*key) : QString());
    w.show();
    w.raise();
    w.activateWindow();
  });
  details->addWidget(splits);
  auto* list = new QListWidget(this);
  list->setObjectName("List1");
  list->hide();

  connect(byCode, &QPushButton::clicked, this, &ListBrowserWindow::Command4_Click);
  connect(byName, &QPushButton::clicked, this, &ListBrowserWindow::Command3_Click);
  connect(sort, &QPushButton::clicked, this, &ListBrowserWindow::Command13_Click);
  connect(ok, &QPushButton::clicked, this, &ListBrowserWindow::Command5_Click);
  connect(grid_, &FlexGrid::cellEntered, this, &ListBrowserWindow::showDetails);
  connect(count_, &QLineEdit::textEdited, this, [this] { showCount(); });

  // Load.
  data1_.setDatabaseName(ctx_.state().priceDbPath);
  data1_.setRecordSource(kAll);
  if (!data1_.refresh()) data1_.clear();
  reloadGrid();
  resize(900, 600);
}

void ListBrowserWindow::reloadGrid() {
  grid_->setContent(data1_.fields(), data1_.rows());
  const int widths[] = {200, 550, 1100, 600, 900, 700};
  for (int c = 0; c < 6; ++c) grid_->setColWidth(c, widths[c]);
  // The later price columns as wide as the first ones.
  for (int c = 6; c < std::max(11, grid_->cols()); ++c) grid_->setColWidth(c, 700);
  // The widths above are the least: IDs, codes, market words, units and
  // prices show whole, the names and the section texts share the room left.
  for (int c = 1; c < grid_->cols(); ++c) {
    if (c == 2 || c == 6)
      grid_->setColTakesRoomLeft(c);
    else
      grid_->setColFitsContents(c);
  }
  showCount();
}

void ListBrowserWindow::showCount() { count_->setText(QString::number(grid_->rows() - 1)); }

void ListBrowserWindow::showDetails() {
  const int r = grid_->row();
  if (r < 1 || r >= grid_->rows()) return;
  const std::pair<int, int> boxes[] = {{1, 8}, {2, 4}, {3, 3}, {4, 5}, {5, 6}, {6, 2}};
  for (const auto& [box, col] : boxes) details_[static_cast<size_t>(box)]->setText(grid_->textMatrix(r, col));
}

bool ListBrowserWindow::requery(const std::string& sql, const std::vector<Value>& params) {
  const std::string oldSql = data1_.recordSource();
  const std::vector<Value> oldParams = data1_.parameters();
  grid_->setCol(5);
  grid_->sort(FlexGrid::GenericAscending);
  data1_.setRecordSource(sql, params);
  if (!data1_.refresh()) {
    data1_.setRecordSource(oldSql, oldParams);  // the grid keeps what it shows
    return false;
  }
  reloadGrid();
  return true;
}

void ListBrowserWindow::refreshView() {
  if (data1_.refresh()) reloadGrid();
}

void ListBrowserWindow::Command4_Click() {
  InputRequest in;
  in.title = "検索";
  in.promptLines = {"検索するコードを入力してください"};
  const std::optional<std::string> answer = ctx_.prompts().input(in);
  const std::string typed = answer ? trimmed(*answer) : std::string();
  if (typed.empty()) return;  // nothing asked for: the grid stays as it is
  // "130a" and "１３０Ａ" are 130A.
  const std::optional<std::string> code = typedCodeOrWarning(ctx_.prompts(), "検索", typed);
  if (!code) return;
  // Bound as text: the code column reads "7203" as the number 7203, and
  // codes with letters ("130A") compare as they are.
  requery("select * from [list] where [コード] = ?", {Value(*code)});
}

void ListBrowserWindow::Command3_Click() {
  InputRequest in;
  in.title = "検索";
  in.promptLines = {"検索する銘柄を入力してください"};
  const std::optional<std::string> answer = ctx_.prompts().input(in);
  if (!answer || answer->empty()) {
    requery(kAll, {});
    return;
  }
  requery("select * from [list] where [銘柄] like ? escape '\\'", {Value(containsPattern(*answer))});
}

void ListBrowserWindow::Command13_Click() {
  const int c = grid_->col();
  if (c > 2 && c <= 15) grid_->sort(FlexGrid::GenericAscending);
}

void ListBrowserWindow::Command5_Click() {
  MainMenuWindow& menu = ctx_.mainMenu();
  menu.show();
  menu.activate();
  ctx_.unload(this);
}

}  // namespace tavrin::ui
