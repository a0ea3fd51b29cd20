#include "ui/registration/registration_window.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/period_unit.h"
#include "base/log.h"
#include "data/stock_code.h"
#include "formats/price_file.h"
#include "formats/xls/workbook.h"
#include "registration/period_file.h"
#include "ui/app/app_context.h"
#include "ui/app/main_menu_window.h"
#include "ui/common/flex_grid.h"
#include "ui/common/import_texts.h"
#include "ui/common/text_fit.h"
#include "ui/registration/list_browser_window.h"

namespace tavrin::ui {

namespace {

const QColor kLightGreen(192, 255, 192);
constexpr int kSheetWidths[] = {100, 450, 950, 700};
// The sheet grid shows at most this many rows of a sheet.
constexpr std::size_t kSheetGridRows = 70000;

QString q(const std::string& s) { return QString::fromStdString(s); }
std::string s(const QString& t) { return t.toStdString(); }

// Characters from..from+1 (0-based) of a stored date, as the rows cut them out.
QString datePart(const std::string& date, int from) { return q(date).mid(from, 2); }

}  // namespace

RegistrationWindow::RegistrationWindow(AppContext& ctx) : FormWindow(ctx, "Form1") {
  setWindowTitle(QStringLiteral("株価の登録"));
  auto* root = new QVBoxLayout(this);

  label1_ = makeLabel("Label1", QStringLiteral("株価の登録"));
  QFont big = label1_->font();
  big.setPointSize(big.pointSize() + 6);
  big.setBold(true);
  label1_->setFont(big);
  auto* head = new QHBoxLayout;
  head->addWidget(label1_);
  text5_ = makeText("Text5");
  text5_->setReadOnly(true);
  // Room for the longest unit notice.
  text5_->setMinimumWidth(text5_->fontMetrics().horizontalAdvance(QStringLiteral("日単位が選ばれています")) + 16);
  head->addWidget(text5_);
  text15_ = makeText("Text15");
  text15_->setMaximumWidth(150);
  head->addWidget(text15_);
  head->addStretch();
  root->addLayout(head);

  label3_[0] = makeLabel("Label3_0", QString());
  label3_[0]->setWordWrap(true);
  root->addWidget(label3_[0]);

  auto* body = new QHBoxLayout;
  auto* rows = new QGridLayout;
  text3_[0] = makeText("Text3_0");
  text3_[0]->setReadOnly(true);
  rows->addWidget(text3_[0], 0, 6);
  for (int k = 1; k <= 10; ++k) {
    label3_[k] = makeLabel(QStringLiteral("Label3_%1").arg(k), QString());
    text16_[k] = makeText(QStringLiteral("Text16_%1").arg(k));
    text4_[k] = makeText(QStringLiteral("Text4_%1").arg(k));
    text11_[k] = makeText(QStringLiteral("Text11_%1").arg(k));
    text12_[k] = makeText(QStringLiteral("Text12_%1").arg(k));
    text13_[k] = makeText(QStringLiteral("Text13_%1").arg(k));
    text3_[k] = makeText(QStringLiteral("Text3_%1").arg(k));
    text16_[k]->setReadOnly(true);
    text13_[k]->setReadOnly(true);
    text16_[k]->setMaximumWidth(32);
    for (QLineEdit* t : {text4_[k], text11_[k], text12_[k]}) t->setMaximumWidth(36);
    text13_[k]->setMaximumWidth(70);
    // Room for the name of a data service's daily file.
    text3_[k]->setMinimumWidth(text3_[k]->fontMetrics().horizontalAdvance(QStringLiteral("kabuka_20261209.csv")) + 16);
    rows->addWidget(label3_[k], k, 0);
    rows->addWidget(text16_[k], k, 1);
    rows->addWidget(text4_[k], k, 2);
    rows->addWidget(text11_[k], k, 3);
    rows->addWidget(text12_[k], k, 4);
    rows->addWidget(text13_[k], k, 5);
    rows->addWidget(text3_[k], k, 6);
    for (QLineEdit* t : {text4_[k], text11_[k], text12_[k]})
      connect(t, &QLineEdit::textChanged, this, [this] { recomputeStamps(); });
    connect(text3_[k], &QLineEdit::textChanged, this, [this] { recomputePaths(); });
  }
  body->addLayout(rows);

  auto* side = new QGridLayout;
  auto addButton = [this](const char* name, const QString& caption) {
    QPushButton* b = makeButton(QString::fromLatin1(name), caption);
    buttons_.insert(QString::fromLatin1(name), b);
    return b;
  };
  QPushButton* start = addButton("Command3", QStringLiteral("まずは　ここから"));
  QPushButton* batch = addButton("Command4", QStringLiteral("一括入力実行"));
  QPushButton* insert = addButton("Command5", QStringLiteral("一日挿入"));
  QPushButton* next8 = addButton("Command8", QStringLiteral("next"));
  QPushButton* next6 = addButton("Command6", QStringLiteral("next"));
  QPushButton* latestDay = addButton("Command11", QStringLiteral("直近の日"));
  QPushButton* info7 = addButton("Command7", QStringLiteral("？"));
  QPushButton* note = addButton("Command1", QStringLiteral("note"));
  QPushButton* info9 = addButton("Command9", QStringLiteral("？"));
  QPushButton* info10 = addButton("Command10", QStringLiteral("？"));
  QPushButton* ok = addButton("Command2", QStringLiteral("OK"));
  for (QPushButton* b : {info7, info9, info10}) b->setFixedWidth(28);
  side->addWidget(note, 0, 0, 1, 2);
  side->addWidget(start, 1, 0, 1, 2);
  side->addWidget(batch, 2, 0);
  side->addWidget(info9, 2, 1);
  side->addWidget(insert, 3, 0);
  side->addWidget(info10, 3, 1);
  side->addWidget(next8, 4, 0, 1, 2);
  side->addWidget(latestDay, 5, 0);
  side->addWidget(info7, 5, 1);
  side->addWidget(next6, 6, 0, 1, 2);
  side->setRowStretch(7, 1);
  side->addWidget(ok, 8, 0, 1, 2);
  body->addLayout(side);
  root->addLayout(body);

  auto* status = new QHBoxLayout;
  label2_ = makeLabel("Label2", QStringLiteral("進行状況　　　　　　　　　枚数"));
  text2_ = makeText("Text2");
  text1_ = makeText("Text1");
  text1_->setReadOnly(true);
  text2_->setReadOnly(true);
  status->addWidget(label2_);
  status->addWidget(text2_);
  status->addWidget(text1_, 1);
  // Progress and failures read whole: the box is as wide as its message.
  keepTextBoxWideEnough(text1_);
  root->addLayout(status);
  grid2_ = new FlexGrid(this);
  grid2_->setObjectName("MSFlexGrid2");
  grid2_->setMinimumHeight(160);
  root->addWidget(grid2_, 1);

  connect(start, &QPushButton::clicked, this, &RegistrationWindow::Command3_Click);
  connect(batch, &QPushButton::clicked, this, &RegistrationWindow::Command4_Click);
  connect(insert, &QPushButton::clicked, this, &RegistrationWindow::Command5_Click);
  connect(next8, &QPushButton::clicked, this, &RegistrationWindow::Command8_Click);
  connect(next6, &QPushButton::clicked, this, &RegistrationWindow::Command8_Click);
  connect(ok, &QPushButton::clicked, this, &RegistrationWindow::Command2_Click);
  for (const char* name : {"Command1", "Command9", "Command10", "Command11", "Command7"}) {
    const QString n = QString::fromLatin1(name);
    connect(buttons_.value(n), &QPushButton::clicked, this, [this, n] { showInformation(n); });
  }
  connect(text15_, &QLineEdit::textChanged, this, [this] { showEntryNote(); });

  // Load.
  grid2_->hide();
  label2_->hide();
  text1_->hide();
  text2_->hide();
  for (const char* name : {"Command4", "Command5", "Command8", "Command11", "Command6"})
    buttons_.value(QString::fromLatin1(name))->hide();
  start->setText(QStringLiteral("まずは　ここから"));
  start->show();
}

PeriodSource RegistrationWindow::rowPeriod(int k) const {
  return periodFromParts(s(text4_[k]->text()), s(text11_[k]->text()), s(text12_[k]->text()), s(text3_[k]->text()));
}

void RegistrationWindow::recomputeStamps() {
  for (int k = 1; k <= 10; ++k) {
    const QString stamp = text4_[k]->text() + text11_[k]->text() + text12_[k]->text();
    text13_[k]->setText(stamp);
    sheet_[static_cast<size_t>(k)] = "s" + s(stamp);
  }
}

void RegistrationWindow::recomputePaths() {
  for (int k = 1; k <= 10; ++k)
    path_[static_cast<size_t>(k)] = toUtf8(resolvePriceFile(ctx_.paths(), s(text3_[k]->text())));
}

void RegistrationWindow::showEntryNote() {
  MessageRequest m;
  m.title = "入力の注意";
  m.lines = {"　年　月　　日　の入力は必ず2文字で", "**********************************", "　2004年　5月　9日は", "",
             "　年　→04　　月→05　　日→09"};
  m.buttons = MessageButtons::OkCancel;
  ctx_.prompts().message(m);
}

void RegistrationWindow::Command3_Click() {
  for (int k = 1; k <= 10; ++k) {
    const std::string date = ctx_.dateGridText(k + 1);
    text4_[k]->setText(datePart(date, 0));
    text11_[k]->setText(datePart(date, 3));
    text12_[k]->setText(datePart(date, 6));
    text16_[k]->setText(QString::number(k));
  }
  const std::string word = ctx_.dateGridText(12);
  const std::optional<PeriodUnit> unit = parsePeriodUnit(word);
  QPushButton* insert = buttons_.value("Command5");
  if (unit) {
    ctx_.state().selectorCode = *unit == PeriodUnit::Day ? 100 : 101;
    switch (*unit) {
      case PeriodUnit::Day:
        text5_->setText(QStringLiteral("日単位が選ばれています"));
        label3_[0]->setText(QStringLiteral("　ファイル名,シート名を　修正してください ｡"));
        break;
      case PeriodUnit::Week: text5_->setText(QStringLiteral("週単位が選ばれています")); break;
      case PeriodUnit::Month: text5_->setText(QStringLiteral("月単位が選ばれています")); break;
    }
    if (*unit != PeriodUnit::Day)
      label3_[0]->setText(
          QStringLiteral("　株価データを登録します。　　　　　　　　　　ファイル名,"
                         "日付を修正してください。　　　修正が終わったら実行に移ってください｡"));
    insert->setText(q(insertCaption(*unit)));
    label3_[1]->setText(q(kLatestTitle));
    for (int k = 2; k <= 10; ++k) label3_[k]->setText(q(registrationPositionTitle(*unit, k)));
    unit_ = unitWord(*unit);
    if (*unit == PeriodUnit::Day)
      for (const char* n : {"Command11", "Command6", "Command7"}) buttons_.value(QString::fromLatin1(n))->hide();
  }
  QPushButton* batch = buttons_.value("Command4");
  setBackground(batch, kLightGreen);
  batch->show();
  insert->show();
  buttons_.value("Command8")->show();
  if (unit && *unit != PeriodUnit::Day)
    for (const char* n : {"Command11", "Command6", "Command7"}) buttons_.value(QString::fromLatin1(n))->show();

  buttons_.value("Command3")->hide();
  label2_->show();
  text2_->show();
  text1_->show();
  text3_[0]->setText(QStringLiteral("Excelファイル"));
  for (int k = 1; k <= 10; ++k) text3_[k]->setText(q(ctx_.dateGridText(k + 12)));
  const QString hint = QStringLiteral("yy年 mm月 dd日");
  if (text15_->text() == hint)
    showEntryNote();  // a second start shows the note again
  else
    text15_->setText(hint);
}

void RegistrationWindow::setRunning(bool on) {
  running_ = on;
  for (QPushButton* b : buttons_) b->setEnabled(!on);
  if (ctx_.listBrowserLoaded()) ctx_.listBrowser().setEnabled(!on);
}

void RegistrationWindow::progress(const ImportProgress& p) {
  if (p.stage == ImportProgress::Stage::Reading)
    text2_->setText(q(p.sheet));
  else
    text1_->setText(QString::number(p.done));
}

void RegistrationWindow::showSheet(const PeriodSource& period) {
  // The sheet last read is shown below the rows.
  try {
    const std::filesystem::path file = resolvePriceFile(ctx_.paths(), period.baseName);
    QueryResult table = sheetTable(openPriceFile(file)->readSheet(period.sheet), kSheetGridRows);
    data1_.setContent(std::move(table.fields), std::move(table.rows));
  } catch (const std::exception& e) {
    logLine("registration", e.what());
    data1_.clear();
  }
  grid2_->setContent(data1_.fields(), data1_.rows());
  for (int c = 0; c < 4; ++c) grid2_->setColWidth(c, kSheetWidths[c]);
  grid2_->show();
}

void RegistrationWindow::reportFailure(const ImportOutcome& o) {
  text1_->setText(importStatusText(o));
  showImportReport(o);
}

void RegistrationWindow::showImportReport(const ImportOutcome& o) {
  MessageRequest m;
  m.title = "読み込みの結果";
  for (const QString& line : importReportText(o)) m.lines.push_back(s(line));
  m.icon = o.done() ? MessageIcon::Information : MessageIcon::Warning;
  m.scrolling = true;
  ctx_.prompts().message(m);
}

void RegistrationWindow::afterWrite() {
  ctx_.mainMenu().refreshDates();
  if (ctx_.listBrowserLoaded()) ctx_.listBrowser().refreshView();
}

bool RegistrationWindow::runImport(const std::function<ImportOutcome(Database&, const ProgressFn&)>& run) {
  setRunning(true);
  ImportOutcome outcome;
  const std::string dbPath = ctx_.state().priceDbPath;
  QPointer<RegistrationWindow> self(this);
  task_.runAndWait(
      [this, run, dbPath](TaskControl& control) {
        ImportOutcome o;
        try {
          Database db(fromUtf8(dbPath));
          // Every report reaches the boxes, in order, before the outcome.
          o = run(db, [this, &control](const ImportProgress& p) { control.post([this, p] { progress(p); }); });
        } catch (const std::exception& e) {
          o.fail(ImportFailure::Database, e.what());
          logLine("registration", e.what());
        }
        return o;
      },
      [&outcome](ImportOutcome o) { outcome = std::move(o); },
      [&outcome](std::exception_ptr e) {
        outcome.fail(ImportFailure::Database, BackgroundTask::message(e));
        logLine("registration", outcome.detail);
      });
  if (!self) return false;
  setRunning(false);
  lastOutcome_ = outcome;
  if (!outcome.done()) {
    reportFailure(outcome);
    return false;
  }
  afterWrite();
  return true;
}

void RegistrationWindow::Command4_Click() {
  if (running_) return;
  grid2_->hide();
  std::array<PeriodSource, 10> periods;
  for (int k = 1; k <= 10; ++k) periods[static_cast<size_t>(k - 1)] = rowPeriod(k);
  const bool done = runImport([paths = ctx_.paths(), periods, unit = unit_](Database& db, const ProgressFn& progress) {
    return importTenPeriods(db, paths, periods, unit, progress);
  });
  if (!done) return;
  showSheet(periods[9]);
  text1_->setText(QStringLiteral("登録　完了しました"));
  showImportReport(lastOutcome_);
}

void RegistrationWindow::Command5_Click() {
  if (running_) return;
  std::array<PeriodSource, 10> rows;
  for (int k = 1; k <= 10; ++k) rows[static_cast<size_t>(k - 1)] = rowPeriod(k);
  InsertOutcome outcome;
  setRunning(true);
  try {
    Database db(fromUtf8(ctx_.state().priceDbPath));
    outcome = insertPeriod(db, rows, unit_);
  } catch (const std::exception& e) {
    outcome.fail(InsertFailure::Database, e.what());
    logLine("registration", e.what());
  }
  setRunning(false);
  if (!outcome.done()) {
    text1_->setText(insertStatusText(outcome));
    return;
  }
  afterWrite();
  form4_.load(ctx_.state().priceDbPath);  // the scratch view follows the rebuilt hojyo
  show();
  text1_->setText(QStringLiteral("移動　完了しました"));
  MessageRequest m;
  m.title = "直近株価の入力";
  m.lines = {"直近の日付を書き入れてください。", "書き込んだら　NEXT　のボタンを押してください。"};
  m.buttons = MessageButtons::OkCancel;
  m.icon = MessageIcon::Warning;
  ctx_.prompts().message(m);
  fillRowsFromRecord();
  buttons_.value("Command5")->hide();
}

void RegistrationWindow::fillRowsFromRecord() {
  const std::optional<DateRecord> rec = readDateRecord(fromUtf8(ctx_.state().priceDbPath));
  const DateRecord r = rec.value_or(DateRecord{});
  for (int k = 1; k <= 10; ++k) {
    const std::string& date = r.dates[static_cast<size_t>(k - 1)];
    text4_[k]->setText(datePart(date, 0));
    text11_[k]->setText(datePart(date, 3));
    text12_[k]->setText(datePart(date, 6));
    text3_[k]->setText(q(r.sourceNames[static_cast<size_t>(k - 1)]));
  }
  text3_[0]->setText(QStringLiteral("Excelファイル"));
}

void RegistrationWindow::Command8_Click() {
  if (running_) return;
  grid2_->hide();
  const PeriodSource latest = rowPeriod(1);
  const bool done = runImport([paths = ctx_.paths(), latest, unit = unit_](Database& db, const ProgressFn& progress) {
    return importLatest(db, paths, latest, unit, progress);
  });
  if (!done) return;
  showSheet(latest);
  text1_->setText(QStringLiteral("登録　完了しました"));
  showImportReport(lastOutcome_);
  QPushButton* insert = buttons_.value("Command5");
  insert->show();
  setBackground(insert, kLightGreen);
}

void RegistrationWindow::Command2_Click() {
  if (running_) return;
  if (ctx_.listBrowserLoaded()) ctx_.unload(&ctx_.listBrowser());
  // The menu shows the dates as they are now, whether or not the window
  // system activates it on showing.
  MainMenuWindow& menu = ctx_.mainMenu();
  menu.show();
  menu.activate();
  ctx_.unload(this);
}

void RegistrationWindow::showInformation(const QString& button) {
  const std::optional<PeriodUnit> unit = parsePeriodUnit(unit_);
  MessageRequest m;
  m.buttons = MessageButtons::OkCancel;
  if (button == "Command1") {
    if (!unit) return;
    m.title = "株価入力を実行方法";
    switch (*unit) {
      case PeriodUnit::Day:
        m.lines = {"１０日の株価を入力します。", "右の　一括入力実行　か　一日挿入のいづれかを選んでください。"};
        break;
      case PeriodUnit::Week:
        m.lines = {"１０週の株価を入力します。",
                   "右の　一括入力実行　か　一週挿入　　直近の日付のいづれかを選んでください。"};
        break;
      case PeriodUnit::Month:
        m.lines = {"１０ヶ月の株価を入力します。",
                   "右の　一括入力実行　１月挿入　直近の日付かのいづれかを選んでください。"};
        break;
    }
  } else if (button == "Command9") {
    if (!unit) return;
    m.icon = MessageIcon::Warning;
    switch (*unit) {
      case PeriodUnit::Day:
        m.lines = {"１０日の株価を一括入力します。", "１０日の日付けを修正して　一括入力実行へ"};
        break;
      case PeriodUnit::Week:
        m.lines = {"１０週の株価を一括入力します。", "１０週週末の日付けを修正して　一括入力実行へ"};
        break;
      case PeriodUnit::Month:
        m.lines = {"１０ヶ月の株価を一括入力します。", "１０ヶ月の月末の日付けを修正して　一括入力実行へ"};
        break;
    }
  } else if (button == "Command10") {
    if (!unit) return;
    m.icon = MessageIcon::Warning;
    m.lines = {*unit == PeriodUnit::Day ? "直近の株価を一日挿入・更新するときに用います。"
                                        : "新しい週に入ったときに用います。",
               "",
               "操作の手順は",
               "①一日挿入　で　旧データを一日づつ　ずらします",
               "　　終わったらメッセイジが出ますので",
               "②直近の日にちを指定して",
               "　next　をクリックする"};
  } else if (button == "Command11") {
    m.lines = {"週（月）の途中ですか？", "それでは　直近の日にちを入力して", "next をクリックする。"};
  } else if (button == "Command7") {
    m.lines = {"週の途中(月の途中）で　直近の日付の株価を修正", "するときに行います"};
  } else {
    return;
  }
  ctx_.prompts().message(m);
}

}  // namespace tavrin::ui
