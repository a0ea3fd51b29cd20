#include "ui/app/main_menu_window.h"

#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "app/paths.h"
#include "base/encoding.h"
#include "base/log.h"
#include "ui/app/app_context.h"
#include "ui/common/file_texts.h"
#include "ui/common/flex_grid.h"
#include "ui/datafetch/data_fetch_window.h"
#include "ui/exchange/transfer_menu_actions.h"
#include "ui/history/history_import_window.h"
#include "ui/registration/list_browser_window.h"
#include "ui/registration/registration_window.h"
#include "ui/screening/screening_window.h"
#include "ui/settings/settings_window.h"
#include "ui/stocklist/stock_list_window.h"
#include "ui/utilities/backup_window.h"
#include "ui/utilities/memo_window.h"
#include "ui/watchlists/watch_menu_actions.h"
#include "utilities/memo.h"

namespace tavrin::ui {

namespace {
struct UniverseButton {
  const char* name;
  const char* caption;
  int selectorCode;
};
const UniverseButton kUniverseButtons[] = {
    {"Command53", "全市場", 1001},        {"Command11", "１部", 1002},          {"Command44", "２部", 1003},
    {"Command55", "新興", 1004},          {"Command56", "千株", 1005},          {"Command57", "百株", 1006},
    {"Command58", "一株", 1007},          {"Command59", "１部　1～20万", 1008}, {"Command54", "30～50万", 1009},
    {"Command1", "百株10-30万", 1010},    {"Command2", "１０万以下", 1011},     {"Command4", "20～30万", 1012},
    {"Command5", "東１千株・20万", 1013}, {"Command12", "１部　2～40万", 1014}, {"Command13", "50～100万", 1015},
    {"Command14", "10～20万", 1016},      {"Command15", "特殊単位", 1017},      {"Command17", "百株30万以上", 1018},
    {"Command18", "一株30万以上", 1019},  {"Command21", "100万以上", 1020},     {"Command24", "１部　4～60万", 1021},
};
}  // namespace

MainMenuWindow::MainMenuWindow(AppContext& ctx) : FormWindow(ctx, "Form5") {
  setWindowTitle(QStringLiteral("Ｍｅｎｕ"));
  auto* root = new QVBoxLayout(this);

  // Title plate and the date row.
  auto* top = new QHBoxLayout;
  QPushButton* plate = addButton("Command16", QStringLiteral("Tavrin.v1.80"));
  plate->setFlat(true);
  QFont f = plate->font();
  f.setPointSize(f.pointSize() + 6);
  f.setBold(true);
  plate->setFont(f);
  top->addWidget(plate);
  top->addStretch();
  QPushButton* end = addButton("Command3", QStringLiteral("ＥＮＤ"));
  end->setMinimumWidth(90);
  top->addWidget(end);
  root->addLayout(top);

  auto* dates = new QHBoxLayout;
  for (int i = 0; i < 12; ++i) {
    text3_[i] = makeText(QStringLiteral("Text3_%1").arg(i));
    text3_[i]->setReadOnly(true);
    const QString widest = i == 0 ? QStringLiteral("登録株価") : QStringLiteral("88/88/88");
    text3_[i]->setMinimumWidth(text3_[i]->fontMetrics().horizontalAdvance(widest) + 14);
    text3_[i]->setAlignment(Qt::AlignCenter);
    dates->addWidget(text3_[i]);
  }
  root->addLayout(dates);
  text4_ = makeText("Text4");
  text4_->hide();

  grid_ = new FlexGrid(this);
  grid_->setObjectName("MSFlexGrid1");
  grid_->hide();

  // Universes.
  auto* universes = new QGroupBox(QStringLiteral("トレンドの調査"), this);
  auto* ug = new QGridLayout(universes);
  int i = 0;
  for (const auto& u : kUniverseButtons) {
    QPushButton* b = addButton(u.name, QString::fromUtf8(u.caption));
    const int code = u.selectorCode;
    connect(b, &QPushButton::clicked, this, [this, code] { openUniverse(code); });
    ug->addWidget(b, i / 7, i % 7);
    ++i;
  }
  QPushButton* info51 = addButton("Command51", QString());
  info51->setFixedWidth(24);
  ug->addWidget(info51, 3, 0);
  QPushButton* trend = addButton("Command25", QStringLiteral("トレンド注目銘柄"));
  QPushButton* interest = addButton("Command9", QStringLiteral("注目銘柄（Orvel）"));
  QPushButton* info7 = addButton("Command7", QString());
  info7->setFixedWidth(24);
  ug->addWidget(trend, 3, 1, 1, 2);
  ug->addWidget(interest, 3, 3, 1, 2);
  ug->addWidget(info7, 3, 5);
  connect(trend, &QPushButton::clicked, this, [this] { openWatchedScreening(ctx_, 22); });
  connect(interest, &QPushButton::clicked, this, [this] { openWatchedScreening(ctx_, 23); });
  root->addWidget(universes);

  // Prices, memo, backup.
  auto* data = new QGroupBox(QStringLiteral("株価データ"), this);
  auto* dg = new QGridLayout(data);
  QPushButton* input = addButton("Command10", QStringLiteral("株価入力"));
  QPushButton* raw = addButton("Command22", QStringLiteral("株価の生データを見る"));
  QPushButton* memo = addButton("Command20", QStringLiteral("メモ帖の表示"));
  QPushButton* backup = addButton("Command49", QStringLiteral("株価情報のバックアップ"));
  QPushButton* info23 = addButton("Command23", QString());
  QPushButton* info33 = addButton("Command33", QString());
  QPushButton* info50 = addButton("Command50", QString());
  for (QPushButton* b : {info23, info33, info50}) b->setFixedWidth(24);
  dg->addWidget(info23, 0, 0);
  dg->addWidget(input, 0, 1);
  dg->addWidget(raw, 0, 2);
  dg->addWidget(info33, 1, 0);
  dg->addWidget(memo, 1, 1);
  dg->addWidget(info50, 1, 2, Qt::AlignRight);
  dg->addWidget(backup, 1, 3);
  // The stock list: kept from the exchange's list of listed issues.
  QPushButton* stocks = addButton("stockListUpdateButton", QStringLiteral("銘柄リストの更新"));
  dg->addWidget(stocks, 0, 3);
  // Downloaded history files into the open database's history.
  QPushButton* history = addButton("historyImportButton", QStringLiteral("株価履歴の取り込み"));
  dg->addWidget(history, 2, 3);
  connect(history, &QPushButton::clicked, this, [this] {
    HistoryImportWindow& w = ctx_.historyImport();
    // The date grid shows the days the positions were set at.
    connect(&w, &HistoryImportWindow::finished, this, &MainMenuWindow::activate, Qt::UniqueConnection);
    w.show();
    w.raise();
  });
  // Daily data from the data service, and the settings (its API key).
  QPushButton* fetch = addButton("dataFetchButton", QStringLiteral("データ取得"));
  QPushButton* settings = addButton("settingsButton", QStringLiteral("設定"));
  dg->addWidget(fetch, 2, 1);
  dg->addWidget(settings, 2, 2);
  connect(fetch, &QPushButton::clicked, this, [this] {
    DataFetchWindow& w = ctx_.dataFetch();
    // The date grid shows the days a fetch wrote.
    connect(&w, &DataFetchWindow::finished, this, &MainMenuWindow::activate, Qt::UniqueConnection);
    w.show();
    w.raise();
  });
  connect(settings, &QPushButton::clicked, this, [this] {
    SettingsWindow& w = ctx_.settings();
    w.show();
    w.raise();
  });
  root->addWidget(data);
  connect(stocks, &QPushButton::clicked, this, [this] {
    StockListWindow& w = ctx_.stockList();
    w.show();
    w.raise();
  });
  connect(input, &QPushButton::clicked, this, [this] {
    ctx_.state().selectorCode = 100;
    ctx_.listBrowser().show();
    ctx_.registration().show();
    hide();
  });
  connect(raw, &QPushButton::clicked, this, [this] { ctx_.listBrowser().show(); });
  connect(memo, &QPushButton::clicked, this, [this] {
    MemoWindow& m = ctx_.memo();
    m.show();
    m.raise();
  });
  connect(backup, &QPushButton::clicked, this, [this] {
    hide();
    ctx_.backup().show();
  });

  // Companion transfer.
  auto* exchange = new QGroupBox(QStringLiteral("Orvel"), this);
  auto* eg = new QGridLayout(exchange);
  QPushButton* day = addButton("Command26", QStringLiteral("株価データをOrvelへ日足"));
  QPushButton* week = addButton("Command28", QStringLiteral("株価データをOrvelへ週足"));
  QPushButton* month = addButton("Command30", QStringLiteral("株価データをOrvelへ月足"));
  QPushButton* old = addButton("Command6", QStringLiteral("株価データをOrvelへ"));
  QPushButton* divuzi = addButton("Command61", QStringLiteral("週足Divuzi株価データをOrvelへ"));
  QPushButton* info8 = addButton("Command8", QString());
  info8->setFixedWidth(24);
  QPushButton* mark27 = addButton("Command27", QString());
  QPushButton* mark29 = addButton("Command29", QString());
  for (QPushButton* b : {mark27, mark29}) {
    b->setFixedWidth(16);
    b->setFocusPolicy(Qt::NoFocus);
  }
  // The three unit buttons share one place; only the current unit's is shown.
  auto* unitSlot = new QHBoxLayout;
  unitSlot->addWidget(day);
  unitSlot->addWidget(week);
  unitSlot->addWidget(month);
  eg->addLayout(unitSlot, 0, 0);
  eg->addWidget(mark27, 0, 1);
  eg->addWidget(mark29, 0, 2);
  eg->addWidget(old, 1, 0);
  eg->addWidget(info8, 1, 1);
  eg->addWidget(divuzi, 2, 0);
  root->addWidget(exchange);
  for (const char* name : {"Command26", "Command28", "Command30", "Command6", "Command61", "Command8"}) {
    QPushButton* b = buttons_.value(QString::fromLatin1(name));
    const std::string n = name;
    connect(b, &QPushButton::clicked, this, [this, n] { runTransferMenuAction(ctx_, n.c_str()); });
  }

  // The caption-less information buttons carry the information icon.
  for (const char* name : {"Command23", "Command33", "Command50", "Command51", "Command7", "Command8"})
    buttons_.value(QString::fromLatin1(name))->setIcon(style()->standardIcon(QStyle::SP_MessageBoxInformation));
  for (const char* name : {"Command27", "Command29"})
    setBackground(buttons_.value(QString::fromLatin1(name)), QColor(0xC0, 0xFF, 0xC0));
  for (const char* name : {"Command23", "Command33", "Command50", "Command51", "Command7"}) {
    const QString n = QString::fromLatin1(name);
    connect(buttons_.value(n), &QPushButton::clicked, this, [this, n] { showInfo(n); });
  }
  connect(end, &QPushButton::clicked, this, &MainMenuWindow::Command3_Click);

  // Load: bind the date view once.
  data1_.setDatabaseName(ctx_.state().priceDbPath);
  data1_.setRecordSource("select * from [日付]");
  refreshDates();
}

QPushButton* MainMenuWindow::addButton(const QString& name, const QString& caption) {
  QPushButton* b = makeButton(name, caption);
  buttons_.insert(name, b);
  return b;
}

void MainMenuWindow::setPathBox(const QString& path) { text4_->setText(path); }
QString MainMenuWindow::pathBox() const { return text4_->text(); }

bool MainMenuWindow::event(QEvent* e) {
  if (e->type() == QEvent::WindowActivate) activate();
  return FormWindow::event(e);
}

void MainMenuWindow::refreshDates() {
  if (!data1_.refresh()) data1_.clear();  // another file's dates must not linger
  grid_->setContent(data1_.fields(), data1_.rows());
}

void MainMenuWindow::activate() {
  ctx_.state().priceDbPath = text4_->text().toStdString();
  data1_.setDatabaseName(ctx_.state().priceDbPath);
  data1_.setRecordSource("select * from [日付]");
  refreshDates();

  text3_[0]->setText(QStringLiteral("登録株価"));
  text3_[1]->setText(grid_->rows() > 1 ? grid_->textMatrix(1, 12) : QString());
  for (int k = 2; k <= 11; ++k) text3_[k]->setText(grid_->rows() > 1 ? grid_->textMatrix(1, k) : QString());

  auto setVisible = [this](const char* name, bool v) { buttons_.value(QString::fromLatin1(name))->setVisible(v); };
  setVisible("Command26", false);
  setVisible("Command28", false);
  setVisible("Command29", false);
  setVisible("Command30", false);
  setVisible("Command27", true);
  const QString unit = grid_->rows() > 1 ? grid_->textMatrix(1, 12) : QString();
  if (unit == QStringLiteral("day")) {
    setVisible("Command26", true);
    setVisible("Command27", true);
  } else if (unit == QStringLiteral("week")) {
    setVisible("Command28", true);
    setVisible("Command29", true);
    setVisible("Command26", false);
    setVisible("Command27", false);
  } else if (unit == QStringLiteral("month")) {
    for (const char* n : {"Command26", "Command27", "Command28", "Command29"}) setVisible(n, false);
    setVisible("Command30", true);
  }
}

void MainMenuWindow::openUniverse(int selectorCode) {
  ctx_.state().selectorCode = selectorCode;
  ctx_.screening().show();
  hide();
}

void MainMenuWindow::showInfo(const QString& name) {
  MessageRequest m;
  m.buttons = MessageButtons::OkCancel;
  if (name == "Command23") {
    m.title = "株価の入力";
    m.icon = MessageIcon::Warning;
    m.lines = {"カードに株価のデータを登録します。", "", "前もって　owarine.xls　に　株価データを",
               "登録しておく必要があります。"};
  } else if (name == "Command33") {
    m.title = "メモ帖";
    m.icon = MessageIcon::Information;
    m.lines = {"メモ帖です。", "", "自由に何でもメモ代わりに", "書き込んでください。", ""};
  } else if (name == "Command50") {
    m.title = "トレンドの調査";
    m.icon = MessageIcon::Information;
    m.lines = {"データのバックアップを", "行います。"};
  } else {
    m.title = "指定検索";
    m.lines = {"指定された条件で検索します"};
  }
  ctx_.prompts().message(m);
}

void MainMenuWindow::Command3_Click() {
  // Referencing the memo pad loads the memo file if it was never opened.
  MemoWindow& memo = ctx_.memo();
  const MemoSaveOutcome copied = saveMemoFile(ctx_.paths().memoCopyFile(), memo.text().toStdString());
  if (!copied.done()) {
    logLine("END", "memo copy not written: " + copied.detail);
    MessageRequest m;
    m.title = "メモ帖";
    m.lines = {memoFailureText(copied),
               "メモの写し（" + toUtf8(ctx_.paths().memoCopyFile().filename()) + "）は書かれていません。"};
    m.icon = MessageIcon::Warning;
    ctx_.prompts().message(m);
  }
  AppContext& ctx = ctx_;  // this window is gone once the event loop runs again
  ctx.unloadAll();
  ctx.quit();
}

}  // namespace tavrin::ui
